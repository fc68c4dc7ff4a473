#include "boards/comedi/ComediBoard.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "boards/comedi/ComediInput.h"
#include "platform/Trace.h"

namespace varnel::comedi {
namespace {

// An errno as a board status.
BoardStatus FromErrno(int error) {
  return error < 0 ? -error : kComediUnsupported;
}

// The comedi devices of the folder, each opened by its file.
class ComediDriver final : public boards::BoardDriver {
 public:
  explicit ComediDriver(std::shared_ptr<ComediCalls> calls) : calls_(std::move(calls)) {}

  std::vector<std::string> List() override {
    listed_ = ListDevices(*calls_);
    std::vector<std::string> names;
    for (const ListedDevice& device : listed_) names.push_back(device.label);
    return names;
  }

  BoardStatus Open(std::string_view name, std::unique_ptr<boards::BoardInput>* input) override {
    if (listed_.empty()) listed_ = ListDevices(*calls_);
    const auto it =
        std::find_if(listed_.begin(), listed_.end(), [&](const ListedDevice& d) { return d.label == name; });
    if (it == listed_.end()) return kComediNoSuchBoard;
    int error = it->error;
    std::unique_ptr<ComediDevice> device = error == 0 ? calls_->Open(it->path, &error) : nullptr;
    if (device == nullptr) {
      platform::Trace("comedi cannot open %s: %s\n", it->path.c_str(), std::strerror(-error));
      return FromErrno(error);
    }
    DeviceInfo info;
    const std::string file = it->path.substr(it->path.rfind('/') + 1);
    const std::string reason = Probe(*device, file, &info);
    // What was listed must still be there: another board in its place is not the one chosen.
    if (!reason.empty() || info.label != it->label || info.busy) {
      platform::Trace("comedi cannot use %s: %s\n", it->path.c_str(),
                      !reason.empty() ? reason.c_str()
                      : info.busy     ? "busy"
                                      : "another board is there now");
      return info.busy ? EBUSY : kComediNoSuchBoard;
    }
    *input = std::make_unique<ComediInput>(std::move(device), info);
    return kBoardSuccess;
  }

  const boards::PoolStatuses& Statuses() const override { return kStatuses; }

 private:
  static constexpr boards::PoolStatuses kStatuses{kComediBadHandle, kComediBadValue,    kComediNotConfigured,
                                                  kComediBusy,      kComediNoSuchBoard, kComediUnsupported};
  const std::shared_ptr<ComediCalls> calls_;
  std::vector<ListedDevice> listed_;
};

boards::InputCapabilities CapabilitiesOf(const DeviceInfo& info) {
  boards::InputCapabilities caps;
  caps.channels = static_cast<int32_t>(info.channels);
  caps.gains = static_cast<int32_t>(info.gains.size());
  // One converter after a multiplexer: the clock is the rate of all channels together.
  caps.simultaneous = false;
  caps.maxThroughput = std::floor(info.maxScanHz * info.channels);
  // Codes count up from the bottom of the range (offset binary for a bipolar
  // one): the gain-1 range's limits, and the gain's range scales them.
  caps.codes = {info.gains[0].max, info.gains[0].min, kEncodingUnsigned, info.resolution};
  return caps;
}

}  // namespace

ComediBoard::ComediBoard(std::shared_ptr<ComediCalls> calls)
    : PooledBoard(std::make_unique<ComediDriver>(std::move(calls))) {}

ComediInput::ComediInput(std::unique_ptr<ComediDevice> device, const DeviceInfo& info)
    : device_(std::move(device)),
      info_(info),
      caps_(CapabilitiesOf(info)),
      wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ComediInput::~ComediInput() {
  Stop();
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

void ComediInput::Wake() const {
  if (wakeFd_ < 0) return;
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
}

BoardStatus ComediInput::Start(boards::BufferFiller filler) {
  if (wakeFd_ < 0) return EMFILE;
  Stop();  // a reader that ended on a vanished device
  const int started = device_->Command(&command_);
  if (started < 0) {
    platform::Trace("comedi %s cannot start: %s\n", info_.label.c_str(), std::strerror(-started));
    return started == -EBUSY ? kComediBusy : FromErrno(started);
  }
  partBytes_ = 0;
  lossTold_ = false;
  reader_ = std::thread(&ComediInput::Read, this, filler);
  return kBoardSuccess;
}

void ComediInput::Stop() {
  if (!reader_.joinable()) return;
  stopRequested_ = true;
  Wake();
  reader_.join();
  stopRequested_ = false;
  device_->Cancel(info_.subdevice);
}

}  // namespace varnel::comedi
