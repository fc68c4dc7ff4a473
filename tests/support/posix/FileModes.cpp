#include "support/FileModes.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Files.h"

namespace varnel::test {

bool FileModesApply() {
  return ::geteuid() != 0;
}

bool SetFileMode(const std::string& path, unsigned mode) {
  return ::chmod(path.c_str(), mode) == 0;
}

bool MakeFifo(const std::string& path) {
  return ::mkfifo(path.c_str(), 0644) == 0;
}

UnwritableFolder::UnwritableFolder(std::string path) : path_(std::move(path)) {
  platform::CreateFolders(path_);
  if (FileModesApply()) {
    if (::chmod(path_.c_str(), 0555) != 0) reason_ = std::string("chmod: ") + std::strerror(errno);
  } else if (::mount("tmpfs", path_.c_str(), "tmpfs", MS_RDONLY, "size=16k") == 0) {
    mounted_ = true;
  } else {
    reason_ = std::string("a read-only tmpfs cannot be mounted: ") + std::strerror(errno);
  }
}

UnwritableFolder::~UnwritableFolder() {
  if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  ::chmod(path_.c_str(), 0755);
}

}  // namespace varnel::test
