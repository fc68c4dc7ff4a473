#include "platform/Clock.h"

#include <chrono>
#include <ctime>
#include <thread>

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

uint32_t SystemClock::TickCount() {
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SystemClock::Sleep(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

LocalTime SystemClock::Now() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t seconds = system_clock::to_time_t(now);
  std::tm tm{};
  ::localtime_r(&seconds, &tm);
  auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int32_t>(ms)};
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

}  // namespace varnel::platform
