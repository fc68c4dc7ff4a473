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

UnwritableFolder::UnwritableFolder(std::string path) : path_(std::move(path)), reason_("Windows has no file modes") {}
UnwritableFolder::~UnwritableFolder() = default;

}  // namespace varnel::test
