#include "platform/FileSync.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/Files.h"
#include "platform/posix/Descriptors.h"

namespace varnel::platform {
namespace {

std::string BootId() {
  std::ifstream in("/proc/sys/kernel/random/boot_id");
  std::string id;
  std::getline(in, id);
  return id.empty() ? "unknown" : id;
}

// Field 22 of /proc/<pid>/stat: when the process started, in ticks since boot;
// "" for a process that is gone or a zombie.
std::string StartTicks(long pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return {};
  std::istringstream fields(text.substr(close + 1));
  std::string field;
  fields >> field;  // state, field 3
  if (field == "Z" || field == "X") return {};
  for (int n = 4; n <= 22 && fields >> field; ++n) {
  }
  return field;
}

}  // namespace

int OpenRetrying(const std::string& path, int flags) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool SyncFile(const std::string& path) {
  int fd = OpenRetrying(path, O_WRONLY);
  if (fd < 0) fd = OpenRetrying(path, O_RDONLY);
  if (fd < 0) return false;
  const bool ok = ::fdatasync(fd) == 0;
  ::close(fd);
  return ok;
}

bool SyncFolder(const std::string& folder) {
  int fd = OpenRetrying(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

int WriteSyncedTemporary(const std::string& path, const std::string& contents, std::string* tmp) {
  *tmp = path + ".XXXXXX";
  int fd = ::mkostemp(tmp->data(), O_CLOEXEC);
  if (fd < 0) return -1;
  ::fchmod(fd, 0644);
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < contents.size()) {
    ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    if (n > 0) done += static_cast<std::size_t>(n);
  }
  if (ok && ::fdatasync(fd) == 0) return fd;
  ::close(fd);
  ::unlink(tmp->c_str());
  return -1;
}

bool WriteFileDurably(const std::string& path, const std::string& contents) {
  std::string tmp;
  const int fd = WriteSyncedTemporary(path, contents, &tmp);
  if (fd < 0) return false;
  if (::close(fd) != 0 || ::rename(tmp.c_str(), path.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return false;
  }
  SyncFolder(std::string(FolderOf(path)));
  return true;
}

bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
#ifdef SYS_renameat2
  constexpr unsigned kNoReplace = 1;  // RENAME_NOREPLACE
  if (::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), kNoReplace) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
#endif
  // File systems without that flag: a hard link refuses an existing name too.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return true;
  }
  if (errno == EEXIST) return false;
  // Neither (FAT): the check and the rename are two steps, the best there is.
  if (FileExists(to)) return false;
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool FileModifiedLocalTime(const std::string& path, std::tm* time) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && ::localtime_r(&st.st_mtime, time) != nullptr;
}

long long SecondsSinceModified(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return -1;
  return static_cast<long long>(std::time(nullptr) - st.st_mtime);
}

std::string ProcessIdentity() {
  const long pid = static_cast<long>(::getpid());
  return BootId() + " " + std::to_string(pid) + " " + StartTicks(pid);
}

bool ProcessIsRunning(const std::string& identity) {
  std::istringstream in(identity);
  std::string boot, ticks;
  long pid = 0;
  if (!(in >> boot >> pid >> ticks) || pid <= 0) return false;
  if (boot != BootId()) return false;
  const std::string now = StartTicks(pid);
  return !now.empty() && now == ticks;
}

}  // namespace varnel::platform
