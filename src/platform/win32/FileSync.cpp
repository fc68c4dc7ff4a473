#include "platform/FileSync.h"
#include "platform/win32/WindowsApi.h"

#include <sys/stat.h>

#include <sstream>

#include "platform/Files.h"

namespace varnel::platform {
namespace {

uint64_t CreationTime(HANDLE process) {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

}  // namespace

bool SyncFile(const std::string& path) {
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool ok = ::FlushFileBuffers(h) != 0;
  ::CloseHandle(h);
  return ok;
}

// Folder entries reach the disk through the write-through renames below;
// flushing a folder handle needs rights an ordinary user does not have.
bool SyncFolder(const std::string& folder) { return FolderExists(folder.empty() ? "." : folder); }

bool WriteFileDurably(const std::string& path, const std::string& contents) {
  const std::string tmp = path + ".new";
  HANDLE h = ::CreateFileA(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = contents.empty() ||
            (::WriteFile(h, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr) &&
             written == contents.size());
  ok = ::FlushFileBuffers(h) != 0 && ok;
  ok = ::CloseHandle(h) != 0 && ok;
  if (!ok || !::MoveFileExA(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ::DeleteFileA(tmp.c_str());
    return false;
  }
  return true;
}

bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
  // Without MOVEFILE_REPLACE_EXISTING the move fails when `to` exists.
  return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

bool FileModifiedLocalTime(const std::string& path, std::tm* time) {
  struct _stat64 st {};
  if (::_stat64(path.c_str(), &st) != 0) return false;
  const __time64_t changed = st.st_mtime;
  return ::_localtime64_s(time, &changed) == 0;
}

long long SecondsSinceModified(const std::string& path) {
  struct _stat64 st {};
  if (::_stat64(path.c_str(), &st) != 0) return -1;
  return static_cast<long long>(::_time64(nullptr) - st.st_mtime);
}

std::string ProcessIdentity() {
  return std::to_string(::GetCurrentProcessId()) + " " + std::to_string(CreationTime(::GetCurrentProcess()));
}

bool ProcessIsRunning(const std::string& identity) {
  std::istringstream in(identity);
  unsigned long pid = 0;
  uint64_t created = 0;
  if (!(in >> pid >> created) || pid == 0) return false;
  HANDLE h = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (!h) return false;
  DWORD code = 0;
  const bool running = ::GetExitCodeProcess(h, &code) && code == STILL_ACTIVE && CreationTime(h) == created;
  ::CloseHandle(h);
  return running;
}

}  // namespace varnel::platform
