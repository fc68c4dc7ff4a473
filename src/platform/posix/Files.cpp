#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

namespace varnel::platform {

const char kPathSeparator = '/';

namespace {

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::string ReserveUniqueFileName(const std::string& folder, std::string_view prefix) {
  static std::atomic<uint32_t> counter{static_cast<uint32_t>(std::random_device{}())};
  for (int attempt = 0; attempt < 1000; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "%04X.tmp", (counter++ ^ static_cast<uint32_t>(::getpid())) & 0xFFFFu);
    std::string path = folder + kPathSeparator + std::string(prefix) + name;
    int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
    if (fd >= 0) {
      ::close(fd);
      return path;
    }
    if (errno != EEXIST) return {};
  }
  return {};
}

bool RenameFile(const std::string& from, const std::string& to, bool replaceExisting) {
  if (replaceExisting) return ::rename(from.c_str(), to.c_str()) == 0;
  // link + unlink refuses an existing target without a window in which it could be overwritten.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  ::unlink(from.c_str());
  return true;
}

bool CopyFileReplacing(const std::string& from, const std::string& to) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  std::string tmp = std::string(FolderOf(to).empty() ? "." : FolderOf(to)) + "/.copyXXXXXX";
  int out = ::mkstemp(tmp.data());
  if (out < 0) {
    ::close(in);
    return false;
  }
  ::fchmod(out, 0644);
  bool ok = true;
  char buffer[1 << 16];
  for (;;) {
    ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    if (!WriteAll(out, buffer, static_cast<std::size_t>(n))) {
      ok = false;
      break;
    }
  }
  ok = (::fsync(out) == 0) && ok;
  ok = (::close(out) == 0) && ok;
  ::close(in);
  if (ok && ::rename(tmp.c_str(), to.c_str()) == 0) return true;
  ::unlink(tmp.c_str());
  return false;
}

bool DeleteFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0;
}

bool FileReadable(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool FolderExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateFolders(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  return FolderExists(path);
}

bool RegularFileReadable(const std::string& path) {
  // Non-blocking, so that a pipe of that name is refused instead of waited on.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  ::close(fd);
  return regular;
}

bool WriteFileAtomically(const std::string& path, const std::string& contents) {
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists && ::access(path.c_str(), W_OK) != 0) return false;

  std::string tmp = path + ".XXXXXX";
  int fd = ::mkstemp(tmp.data());
  if (fd < 0) return false;
  ::fchmod(fd, exists ? (st.st_mode & 07777) : 0644);
  bool ok = WriteAll(fd, contents.data(), contents.size());
  ok = (::close(fd) == 0) && ok;
  if (ok && ::rename(tmp.c_str(), path.c_str()) == 0) return true;
  ::unlink(tmp.c_str());
  return false;
}

std::string ResolvedPath(const std::string& path) {
  char buf[PATH_MAX];
  return ::realpath(path.c_str(), buf) ? std::string(buf) : path;
}

std::string DefaultDataFolder(std::string_view kind) {
  const char* home = std::getenv("HOME");
  return std::string((home && *home) ? home : ".") + "/orvanta/" + std::string(kind);
}

std::string FolderWriteProblem(const std::string& folder) {
  if (::access(folder.c_str(), W_OK | X_OK) == 0) return {};
  return std::strerror(errno);
}

bool IsPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

bool IsReservedFileName(std::string_view) {
  return false;
}

// Linux file systems tell case apart. The odd folder that does not (a FAT
// stick, a case-folded ext4 folder) is not guessed at from here.
bool SameFileName(std::string_view a, std::string_view b) {
  return a == b;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  return std::string(folder) + kPathSeparator + std::string(name);
}

std::string ExecutableFolder() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  return std::string(FolderOf(std::string_view(buf, static_cast<std::size_t>(n))));
}

std::string_view FolderOf(std::string_view path) {
  std::size_t slash = path.rfind(kPathSeparator);
  if (slash == std::string_view::npos) return {};
  return path.substr(0, slash == 0 ? 1 : slash);
}

std::string_view FileNameOf(std::string_view path) {
  std::size_t slash = path.rfind(kPathSeparator);
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::optional<std::string> ReadRegularFile(const std::string& path) {
  int fd = -1;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  std::optional<std::string> text;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    text.emplace();
    text->reserve(static_cast<std::size_t>(st.st_size));
    char chunk[65536];
    for (;;) {
      const ssize_t n = ::read(fd, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) text.reset();
      if (n <= 0) break;
      text->append(chunk, static_cast<std::size_t>(n));
    }
  }
  ::close(fd);
  return text;
}

}  // namespace varnel::platform
