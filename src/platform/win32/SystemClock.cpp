#include "platform/Clock.h"
#include "platform/win32/WindowsApi.h"

namespace varnel::platform {

uint32_t SystemClock::TickCount() {
  return ::GetTickCount();
}

void SystemClock::Sleep(uint32_t milliseconds) {
  ::Sleep(milliseconds);
}

LocalTime SystemClock::Now() {
  SYSTEMTIME t{};
  ::GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

WallTime SystemClock::WallNow() {
  FILETIME utc{};
  ::GetSystemTimePreciseAsFileTime(&utc);
  FILETIME local{};
  ::FileTimeToLocalFileTime(&utc, &local);
  auto units = [](const FILETIME& f) {
    return static_cast<int64_t>((uint64_t{f.dwHighDateTime} << 32) | f.dwLowDateTime);
  };
  constexpr int64_t kUnitsTo1970 = 116444736000000000;  // 100 ns units from 1601 to 1970
  const int64_t offsetUnits = units(local) - units(utc);
  return {(units(utc) - kUnitsTo1970) / 10, static_cast<int32_t>(offsetUnits / 10000000)};
}

}  // namespace varnel::platform
