#include "support/FileModes.h"

namespace varnel::test {

bool FileModesApply() {
  return false;
}

bool SetFileMode(const std::string&, unsigned) {
  return false;
}

bool MakeFifo(const std::string&) {
  return false;
}

}  // namespace varnel::test
