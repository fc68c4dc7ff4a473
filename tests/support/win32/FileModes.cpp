#include "support/FileModes.h"

namespace varnel::test {

bool FileModesApply() { return false; }

bool SetFileMode(const std::string&, unsigned) { return false; }

}  // namespace varnel::test
