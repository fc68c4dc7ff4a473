#include "qt/TerminationSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

namespace varnel::qt {
namespace {

int g_pipe[2] = {-1, -1};
struct sigaction g_oldTerm;
struct sigaction g_oldInt;
struct sigaction g_oldHup;

void OnSignal(int signal) {
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(signal);
  [[maybe_unused]] ssize_t written = write(g_pipe[1], &byte, 1);  // async-signal-safe
  errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)) {
  if (g_pipe[0] >= 0) return;  // another instance owns the signals
  if (pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    g_pipe[0] = g_pipe[1] = -1;
    return;
  }
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, &g_oldTerm);
  sigaction(SIGINT, &action, &g_oldInt);
  // A closed terminal must not cost the recording or the settings.
  sigaction(SIGHUP, &action, &g_oldHup);
  notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::Read);
}

TerminationSignals::~TerminationSignals() {
  if (!notifier_) return;
  sigaction(SIGTERM, &g_oldTerm, nullptr);
  sigaction(SIGINT, &g_oldInt, nullptr);
  sigaction(SIGHUP, &g_oldHup, nullptr);
  delete notifier_;
  close(g_pipe[0]);
  close(g_pipe[1]);
  g_pipe[0] = g_pipe[1] = -1;
}

void TerminationSignals::Read() {
  unsigned char byte = 0;
  while (read(g_pipe[0], &byte, 1) == 1) {
    if (handler_) handler_(byte);
  }
}

}  // namespace varnel::qt
