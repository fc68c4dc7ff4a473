#include "StopRequests.h"

#include <csignal>

namespace varnel::record {
namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) {
  g_stop = 1;
}

}  // namespace

void InstallStopRequests() {
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGHUP, OnSignal);  // the terminal went away: stop and save as for SIGTERM
  // A reader that went away (`| head`) must not end the recording: the
  // write fails, and the recorder goes on.
  std::signal(SIGPIPE, SIG_IGN);
}

bool StopRequested() {
  return g_stop != 0;
}

void StopCompleted() {}

}  // namespace varnel::record
