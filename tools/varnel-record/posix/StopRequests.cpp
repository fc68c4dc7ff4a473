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
}

bool StopRequested() {
  return g_stop != 0;
}

void StopCompleted() {}

}  // namespace varnel::record
