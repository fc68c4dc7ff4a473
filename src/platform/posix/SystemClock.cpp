#include "platform/Clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace varnel::platform {

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

WallTime SystemClock::WallNow() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  std::tm tm{};
  ::localtime_r(&now.tv_sec, &tm);
  return {int64_t{now.tv_sec} * 1000000 + now.tv_nsec / 1000, static_cast<int32_t>(tm.tm_gmtoff)};
}

}  // namespace varnel::platform
