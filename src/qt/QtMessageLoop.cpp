#include "qt/QtMessageLoop.h"

#include <QCoreApplication>
#include <QEvent>

#include "platform/Messages.h"

namespace varnel::qt {
namespace {

const QEvent::Type kPostedMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class PostedMessageEvent : public QEvent {
 public:
  explicit PostedMessageEvent(const platform::Message& message) : QEvent(kPostedMessageEvent), message(message) {}
  platform::Message message;
};

}  // namespace

QtMessageLoop::QtMessageLoop(QObject* parent) : QObject(parent) {}

QtMessageLoop::~QtMessageLoop() = default;

void QtMessageLoop::Post(const platform::Message& message) {
  // Qt delivers posted events of one receiver and priority in posting order.
  QCoreApplication::postEvent(this, new PostedMessageEvent(message));
}

void QtMessageLoop::customEvent(QEvent* event) {
  if (event->type() == kPostedMessageEvent) Deliver(static_cast<PostedMessageEvent*>(event)->message);
}

void QtMessageLoop::SetTimer(uint32_t timerId, uint32_t periodMs) {
  auto& timer = timers_[timerId];
  if (!timer) {
    timer = std::make_unique<QTimer>();
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer.get(), &QTimer::timeout, this, [this, timerId] {
      // A tick queued before KillTimer must not arrive after it.
      if (TimerActive(timerId)) Deliver({platform::WM_TIMER, timerId, 0});
    });
  }
  timer->start(static_cast<int>(periodMs == 0 ? 1 : periodMs));
}

void QtMessageLoop::KillTimer(uint32_t timerId) {
  auto it = timers_.find(timerId);
  if (it != timers_.end()) it->second->stop();
}

bool QtMessageLoop::TimerActive(uint32_t timerId) const {
  auto it = timers_.find(timerId);
  return it != timers_.end() && it->second->isActive();
}

uint32_t QtMessageLoop::TimerPeriod(uint32_t timerId) const {
  auto it = timers_.find(timerId);
  return it != timers_.end() && it->second->isActive() ? static_cast<uint32_t>(it->second->interval()) : 0;
}

void QtMessageLoop::Deliver(const platform::Message& message) {
  if (handler_) handler_->HandleMessage(message);
  emit Delivered();
}

}  // namespace varnel::qt
