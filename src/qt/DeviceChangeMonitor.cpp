#include "qt/DeviceChangeMonitor.h"

#include <libudev.h>

#include <QDateTime>
#include <QDir>
#include <QFileSystemWatcher>
#include <QSocketNotifier>
#include <cstring>

#include "ui/Messages.h"

namespace varnel::qt {

struct DeviceChangeMonitor::Udev {
  struct Deleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_monitor* m) const { udev_monitor_unref(m); }
  };
  std::unique_ptr<udev, Deleter> context;
  std::unique_ptr<udev_monitor, Deleter> monitor;  // declared last, released first
};

DeviceChangeMonitor::DeviceChangeMonitor(QObject* parent) : QObject(parent) {
  settle_.setSingleShot(true);
  settle_.setInterval(100);
  connect(&settle_, &QTimer::timeout, this, &DeviceChangeMonitor::DeviceChanged);
}

DeviceChangeMonitor::~DeviceChangeMonitor() {
  delete usbNotifier_;  // before the monitor whose socket it watches
  usbNotifier_ = nullptr;
}

bool DeviceChangeMonitor::StartUsbMonitor() {
  if (usbNotifier_) return true;
  auto state = std::make_unique<Udev>();
  state->context.reset(udev_new());
  if (!state->context) return false;
  state->monitor.reset(udev_monitor_new_from_netlink(state->context.get(), "udev"));
  if (!state->monitor) return false;
  if (udev_monitor_filter_add_match_subsystem_devtype(state->monitor.get(), "usb", "usb_device") < 0) return false;
  // Sound cards (built-in ones too) come and go as the ALSA boards do.
  if (udev_monitor_filter_add_match_subsystem_devtype(state->monitor.get(), "sound", nullptr) < 0) return false;
  if (udev_monitor_enable_receiving(state->monitor.get()) < 0) return false;
  const int fd = udev_monitor_get_fd(state->monitor.get());
  if (fd < 0) return false;
  udev_ = std::move(state);
  usbNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
  connect(usbNotifier_, &QSocketNotifier::activated, this, &DeviceChangeMonitor::ReadUdevEvents);
  return true;
}

void DeviceChangeMonitor::ReadUdevEvents() {
  // The monitor's socket does not block: drain everything that is there.
  while (udev_device* device = udev_monitor_receive_device(udev_->monitor.get())) {
    const char* action = udev_device_get_action(device);
    if (action && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0)) settle_.start();
    udev_device_unref(device);
  }
}

void DeviceChangeMonitor::WatchFile(const QString& path) {
  file_ = QFileInfo(path).absoluteFilePath();
  if (!watcher_) {
    watcher_ = new QFileSystemWatcher(this);
    // A write in place may keep size and time to the millisecond: trust the event.
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, [this] {
      RewatchFile();
      FileStateChanged();
      settle_.start();
    });
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &DeviceChangeMonitor::OnFileEvent);
  }
  // The folder tells us when the file appears or is replaced; the file itself
  // when it is written in place.
  const QString folder = QFileInfo(file_).absolutePath();
  if (!watcher_->directories().contains(folder)) watcher_->addPath(folder);
  RewatchFile();
  lastSeen_ = QFileInfo(file_);
  lastExists_ = lastSeen_.exists();
}

void DeviceChangeMonitor::RewatchFile() {
  if (QFileInfo::exists(file_) && !watcher_->files().contains(file_)) watcher_->addPath(file_);
}

bool DeviceChangeMonitor::FileStateChanged() {
  QFileInfo now(file_);
  now.refresh();
  const bool exists = now.exists();
  const bool changed =
      exists != lastExists_ || (exists && (now.lastModified() != lastSeen_.lastModified() ||
                                           now.size() != lastSeen_.size() || now.birthTime() != lastSeen_.birthTime()));
  lastSeen_ = now;
  lastExists_ = exists;
  return changed;
}

void DeviceChangeMonitor::OnFileEvent() {
  RewatchFile();
  // Folder events also come for the other files in the settings folder (settings,
  // wave files): report only when our file is not as it was.
  if (FileStateChanged()) settle_.start();
}

void DeviceChangeMonitor::PostTo(ui::MessageLoop& loop) {
  connect(this, &DeviceChangeMonitor::DeviceChanged, this, [&loop] {
    loop.Post({ui::WM_DEVICECHANGE, kDbtDevNodesChanged, 0});
  });
}

}  // namespace varnel::qt
