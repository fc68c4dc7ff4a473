#pragma once
// SIGTERM (the session ending), SIGHUP (its terminal closing) and SIGINT, turned into a call on the main
// thread, so the window can close the way its close box does and no
// recording is lost. The signal handler only writes a byte to a pipe; the
// event loop reads it and calls the handler.
//
// One instance at a time; construct and destroy on the main thread. The
// previous signal dispositions are restored on destruction.

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace varnel::qt {

class TerminationSignals : public QObject {
  Q_OBJECT

 public:
  explicit TerminationSignals(std::function<void(int signal)> handler, QObject* parent = nullptr);
  ~TerminationSignals() override;

  bool Installed() const { return notifier_ != nullptr; }

 private:
  void Read();

  std::function<void(int)> handler_;
  QSocketNotifier* notifier_ = nullptr;  // owned as a child
};

}  // namespace varnel::qt
