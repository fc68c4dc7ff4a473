#include "PeerProcess.h"

namespace varnel::test {
namespace {

std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, n);
  return folder.substr(0, folder.find_last_of("\\/"));
}

std::string CommandLine(const std::string& program, const std::vector<std::string>& arguments) {
  std::string line = "\"" + program + "\"";
  for (const auto& argument : arguments) line += " \"" + argument + "\"";
  return line;
}

}  // namespace

PeerProcess::~PeerProcess() {
  Kill();
  if (output_) CloseHandle(output_);
}

void PeerProcess::Kill() {
  if (!process_.hProcess) return;
  TerminateProcess(process_.hProcess, 0);
  WaitForSingleObject(process_.hProcess, 5000);
  CloseHandle(process_.hProcess);
  CloseHandle(process_.hThread);
  process_ = {};
}

bool PeerProcess::Start(const std::vector<std::string>& arguments) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE write = nullptr;
  if (!CreatePipe(&output_, &write, &inherit, 0)) return false;
  SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  std::string line = CommandLine(ProgramFolder() + "\\orvantis-peer.exe", arguments);
  const BOOL started =
      CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process_);
  CloseHandle(write);
  if (!started) return false;
  std::string said;
  char buffer[256];
  DWORD got = 0;
  while (said.find("ready") == std::string::npos && ::ReadFile(output_, buffer, sizeof buffer, &got, nullptr) && got)
    said.append(buffer, got);
  return said.find("ready") != std::string::npos;
}

}  // namespace varnel::test
