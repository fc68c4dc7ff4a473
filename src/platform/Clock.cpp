#include "platform/Clock.h"

namespace varnel::platform {
namespace {
std::atomic<Clock*> g_clock{nullptr};
}

Clock& GetClock() {
  if (Clock* clock = g_clock.load()) return *clock;
  static SystemClock systemClock;
  return systemClock;
}

Clock* SetClock(Clock* clock) { return g_clock.exchange(clock); }

LocalTime FakeClock::Now() {
  // Walk the base time forward by the ticks elapsed, with a proleptic calendar
  // only as far as seconds/minutes/hours; days are enough for tests.
  LocalTime t = base_;
  uint64_t ms = static_cast<uint32_t>(ticks_.load() - baseTick_) + static_cast<uint64_t>(t.millisecond);
  t.millisecond = static_cast<int32_t>(ms % 1000);
  uint64_t s = ms / 1000 + static_cast<uint64_t>(t.second) + 60ull * t.minute + 3600ull * t.hour;
  t.second = static_cast<int32_t>(s % 60);
  t.minute = static_cast<int32_t>((s / 60) % 60);
  t.hour = static_cast<int32_t>((s / 3600) % 24);
  t.day += static_cast<int32_t>(s / 86400);
  return t;
}

}  // namespace varnel::platform
