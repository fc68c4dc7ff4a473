#pragma once
// Debug traces: single lines such as "Open Successful\n". By default they go to
// the platform's debug output (SystemTraceSink); tests install a sink that
// keeps them in memory.
//
// Thread-safe: the board's producer thread traces too.

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::platform {

class TraceSink {
 public:
  virtual ~TraceSink() = default;
  virtual void Write(std::string_view text) = 0;
};

// printf-style, because the traces are given as C format strings.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void TraceText(std::string_view text);

// The platform's debug output: the system log on POSIX, OutputDebugStringA on
// Windows (the build picks posix/ or win32/SystemTrace.cpp).
TraceSink& SystemTraceSink();

// Replaces the process-wide sink; nullptr restores the system's.
// Returns the sink that was installed before.
TraceSink* SetTraceSink(TraceSink* sink);

// Keeps every trace in order; for tests.
class MemoryTraceSink : public TraceSink {
 public:
  void Write(std::string_view text) override;
  std::vector<std::string> Lines() const;
  std::size_t Count(std::string_view text) const;  // exact matches
  bool Contains(std::string_view fragment) const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

// Installs a MemoryTraceSink for the lifetime of the object.
class ScopedTraceCapture {
 public:
  ScopedTraceCapture();
  ~ScopedTraceCapture();
  ScopedTraceCapture(const ScopedTraceCapture&) = delete;
  ScopedTraceCapture& operator=(const ScopedTraceCapture&) = delete;
  MemoryTraceSink& Sink() { return sink_; }

 private:
  MemoryTraceSink sink_;
  TraceSink* previous_;
};

}  // namespace varnel::platform
