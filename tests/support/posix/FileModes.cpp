#include "support/FileModes.h"

#include <sys/stat.h>
#include <unistd.h>

namespace varnel::test {

bool FileModesApply() { return ::geteuid() != 0; }

bool SetFileMode(const std::string& path, unsigned mode) { return ::chmod(path.c_str(), mode) == 0; }

}  // namespace varnel::test
