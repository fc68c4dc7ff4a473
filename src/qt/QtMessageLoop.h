#pragma once
// The main window's message loop on Qt's event loop. Posted messages travel
// as Qt events, so they arrive in the order posted and keep arriving while a
// modal dialog or message box runs its nested loop. Timers are QTimers.
//
// Post is thread-safe (the board posts from its own thread); everything else
// is called on the thread that owns the QApplication. Stop every posting
// thread before destroying the loop.

#include <QObject>
#include <QTimer>
#include <map>
#include <memory>

#include "platform/MessageLoop.h"

namespace varnel::qt {

class QtMessageLoop : public QObject, public platform::MessageLoop {
  Q_OBJECT

 public:
  explicit QtMessageLoop(QObject* parent = nullptr);
  ~QtMessageLoop() override;

  void Post(const platform::Message& message) override;
  void SetTimer(uint32_t timerId, uint32_t periodMs) override;
  void KillTimer(uint32_t timerId) override;
  void SetHandler(platform::MessageHandler* handler) override { handler_ = handler; }

  bool TimerActive(uint32_t timerId) const;
  uint32_t TimerPeriod(uint32_t timerId) const;  // 0 when not active

 signals:
  // After every message or timer tick handed to the handler; views use it to
  // notice a model that ended itself while handling it.
  void Delivered();

 protected:
  void customEvent(QEvent* event) override;

 private:
  void Deliver(const platform::Message& message);

  platform::MessageHandler* handler_ = nullptr;
  // Killed timers are stopped, not destroyed: a handler may kill the timer
  // whose tick it is handling.
  std::map<uint32_t, std::unique_ptr<QTimer>> timers_;
};

}  // namespace varnel::qt
