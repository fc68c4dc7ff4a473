#include "StopRequests.h"

#include <atomic>

#include "platform/win32/WindowsApi.h"

namespace varnel::record {
namespace {

std::atomic<bool> g_stop{false};
HANDLE g_saved = nullptr;  // set when the files are saved

// Runs on a thread the system makes for it. For a closing console, logoff or
// shutdown the process ends as soon as this returns, so it waits for the save
// (the system allows about five seconds).
BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      g_stop = true;
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      g_stop = true;
      if (g_saved) ::WaitForSingleObject(g_saved, 4500);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void InstallStopRequests() {
  g_saved = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool StopRequested() {
  return g_stop;
}

void StopCompleted() {
  if (g_saved) ::SetEvent(g_saved);
}

}  // namespace varnel::record
