#include "DdeRig.h"

#include <atomic>

#include "transport/ddeml/DdemlTransport.h"

namespace varnel::test {

std::string UniqueServiceName(const std::string& tag) {
  static std::atomic<int> next{0};
  return "VarnelDde_" + tag + "_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(next++);
}

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

std::vector<uint8_t> TestMonitor::ExpectedPayload(int32_t frames) const {
  std::vector<uint8_t> bytes;
  for (int64_t f = produced_ - frames; f < produced_; ++f) {
    for (int16_t v : {LeftSample(f), RightSample(f)}) {
      const auto u = static_cast<uint16_t>(v);
      bytes.push_back(static_cast<uint8_t>(u & 0xFF));
      bytes.push_back(static_cast<uint8_t>(u >> 8));
    }
  }
  return bytes;
}

int TestMonitor::ReadMonitorFrames(int32_t count, int32_t, int32_t, int16_t* out, int32_t) {
  const int64_t frames = count / 2;
  if (produced_ == 0 || produced_ < frames) return 0;
  for (int64_t i = 0; i < frames; ++i) {
    const int64_t f = produced_ - frames + i;
    out[2 * i] = LeftSample(f);
    out[2 * i + 1] = RightSample(f);
  }
  return 1;
}

DdeRig::DdeRig()
    : settings_(DefaultRecorderSettings()), channels_(DefaultChannels()), service_(UniqueServiceName("rig")) {
  WriteServerName(service_);
}

DdeRig::~DdeRig() {
  link_.reset();
  server_.reset();
}

void DdeRig::WriteServerName(const std::string& name) {
  WriteFile(dir_.File("orvantis.ini"), "[DDE]\r\nServerName=" + name + "\r\n");
}

AnalyzerLink& DdeRig::Link() {
  if (!link_) {
    AnalyzerLinkContext context;
    context.settings = &settings_;
    context.channels = &channels_;
    context.calibrationRecords = &records_;
    context.monitor = &monitor_;
    context.loop = &loop_;
    context.ui = &ui_;
    context.bIsRunning = &running_;
    context.analyzerSettingsPath = dir_.File("orvantis.ini");
    link_ = std::make_unique<AnalyzerLink>(context, MakeDdemlTransport());
  }
  return *link_;
}

peer::DdeServer& DdeRig::StartServer(peer::PeerOptions options) {
  options.serverName = service_;
  server_ = std::make_unique<peer::DdeServer>(options);
  std::string error;
  EXPECT_TRUE(server_->Start(&error)) << error;
  return *server_;
}

}  // namespace varnel::test
