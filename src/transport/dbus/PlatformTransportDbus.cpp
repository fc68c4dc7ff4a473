#include "transport/PlatformTransport.h"
#include "transport/dbus/DbusTransport.h"

namespace varnel {

std::unique_ptr<AnalyzerTransport> MakePlatformTransport() { return MakeDbusTransport(); }

}  // namespace varnel
