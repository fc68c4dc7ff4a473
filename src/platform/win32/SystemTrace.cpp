#include "platform/Trace.h"
#include "platform/win32/WindowsApi.h"

#include <string>

namespace varnel::platform {
namespace {

// What a debug viewer shows; the text needs a terminating NUL of its own.
class DebugOutputSink : public TraceSink {
 public:
  void Write(std::string_view text) override { ::OutputDebugStringA(std::string(text).c_str()); }
};

}  // namespace

TraceSink& SystemTraceSink() {
  static DebugOutputSink sink;
  return sink;
}

}  // namespace varnel::platform
