#include "platform/Trace.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace varnel::platform {
namespace {

std::atomic<TraceSink*> g_sink{nullptr};

TraceSink& CurrentSink() {
  if (TraceSink* sink = g_sink.load()) return *sink;
  return SystemTraceSink();
}

}  // namespace

void TraceText(std::string_view text) { CurrentSink().Write(text); }

void Trace(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) return;
  TraceText(std::string_view(buffer, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buffer - 1)));
}

TraceSink* SetTraceSink(TraceSink* sink) { return g_sink.exchange(sink); }

void MemoryTraceSink::Write(std::string_view text) {
  std::lock_guard lock(mutex_);
  lines_.emplace_back(text);
}

std::vector<std::string> MemoryTraceSink::Lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

std::size_t MemoryTraceSink::Count(std::string_view text) const {
  std::lock_guard lock(mutex_);
  std::size_t n = 0;
  for (const auto& line : lines_) n += line == text;
  return n;
}

bool MemoryTraceSink::Contains(std::string_view fragment) const {
  std::lock_guard lock(mutex_);
  for (const auto& line : lines_)
    if (line.find(fragment) != std::string::npos) return true;
  return false;
}

void MemoryTraceSink::Clear() {
  std::lock_guard lock(mutex_);
  lines_.clear();
}

ScopedTraceCapture::ScopedTraceCapture() : previous_(SetTraceSink(&sink_)) {}
ScopedTraceCapture::~ScopedTraceCapture() { SetTraceSink(previous_); }

}  // namespace varnel::platform
