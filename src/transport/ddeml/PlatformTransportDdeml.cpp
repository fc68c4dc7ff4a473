#include "transport/PlatformTransport.h"
#include "transport/ddeml/DdemlTransport.h"

namespace varnel {

std::unique_ptr<AnalyzerTransport> MakePlatformTransport() {
  return MakeDdemlTransport();
}

}  // namespace varnel
