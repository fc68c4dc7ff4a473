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

Clock* SetClock(Clock* clock) {
  return g_clock.exchange(clock);
}

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

WallTime FakeClock::WallNow() {
  const LocalTime t = Now();
  // Days from the civil date (proleptic Gregorian), as the system's calendar counts them.
  const int32_t y = t.year - (t.month <= 2 ? 1 : 0);
  const int32_t era = (y >= 0 ? y : y - 399) / 400;
  const int32_t yoe = y - era * 400;
  const int32_t doy = (153 * (t.month + (t.month > 2 ? -3 : 9)) + 2) / 5 + t.day - 1;
  const int64_t days = int64_t{era} * 146097 + int64_t{yoe} * 365 + yoe / 4 - yoe / 100 + doy - 719468;
  const int64_t localSeconds = days * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
  const int32_t zone = zoneOffset_.load();
  return {(localSeconds - zone) * 1000000 + int64_t{t.millisecond} * 1000, zone};
}

}  // namespace varnel::platform
