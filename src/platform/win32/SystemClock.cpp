#include "platform/Clock.h"
#include "platform/win32/WindowsApi.h"

namespace varnel::platform {

uint32_t SystemClock::TickCount() { return ::GetTickCount(); }

void SystemClock::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

LocalTime SystemClock::Now() {
  SYSTEMTIME t{};
  ::GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

}  // namespace varnel::platform
