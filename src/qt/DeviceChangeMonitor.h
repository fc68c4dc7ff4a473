#pragma once
// Tells the main window that boards may have come or gone: a USB device or a
// sound device was added or removed (udev), or the simulated board's settings
// file changed.
// Bursts (a device with several interfaces, an editor saving in steps) are
// merged into one report after a short settling time.
//
// Main thread only.

#include <QFileInfo>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

#include "platform/MessageLoop.h"

class QFileSystemWatcher;
class QSocketNotifier;

namespace varnel::qt {

// The device-change notification's code for "devices were added or removed".
inline constexpr uintptr_t kDbtDevNodesChanged = 0x0007;

class DeviceChangeMonitor : public QObject {
  Q_OBJECT

 public:
  explicit DeviceChangeMonitor(QObject* parent = nullptr);
  ~DeviceChangeMonitor() override;

  // False when udev cannot be reached (no netlink, as in some containers);
  // the file watch still works then.
  bool StartUsbMonitor();
  bool UsbMonitoring() const { return usbNotifier_ != nullptr; }

  // Watches a file that may not exist yet; creating, changing, replacing and
  // removing it all count as a change.
  void WatchFile(const QString& path);

  // Every report posts WM_DEVICECHANGE to this loop.
  void PostTo(platform::MessageLoop& loop);

  void SetSettleTime(int ms) { settle_.setInterval(ms); }

 signals:
  void DeviceChanged();

 private:
  struct Udev;
  void ReadUdevEvents();
  void OnFileEvent();
  void RewatchFile();
  bool FileStateChanged();

  std::unique_ptr<Udev> udev_;
  QSocketNotifier* usbNotifier_ = nullptr;  // owned as a child
  QFileSystemWatcher* watcher_ = nullptr;   // owned as a child
  QString file_;
  QFileInfo lastSeen_;  // the file as last reported
  bool lastExists_ = false;
  QTimer settle_;
};

}  // namespace varnel::qt
