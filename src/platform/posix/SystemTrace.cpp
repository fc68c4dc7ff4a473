#include <syslog.h>

#include "platform/Trace.h"

namespace varnel::platform {
namespace {

// Debug priority under the identifier "varnel".
class SyslogSink : public TraceSink {
 public:
  SyslogSink() { ::openlog("varnel", LOG_PID, LOG_USER); }
  void Write(std::string_view text) override {
    ::syslog(LOG_DEBUG, "%.*s", static_cast<int>(text.size()), text.data());
  }
};

}  // namespace

TraceSink& SystemTraceSink() {
  static SyslogSink sink;
  return sink;
}

}  // namespace varnel::platform
