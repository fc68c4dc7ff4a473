#include "boards/comedi/ComediCalls.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace varnel::comedi {
namespace {

// The character-device number every comedi device file has.
constexpr unsigned kComediMajor = 98;

// comedilib's errno of the last failure (its own codes, beyond errno's, as EIO).
int LastError() {
  const int error = comedi_errno();
  return error > 0 && error < 0x1000 ? -error : -EIO;
}

int Checked(int result) {
  return result < 0 ? LastError() : result;
}

class RealDevice final : public ComediDevice {
 public:
  explicit RealDevice(comedi_t* device) : device_(device), fd_(comedi_fileno(device)) {
    // Reads take what the driver holds and never wait: the capture thread
    // waits in poll, where a stop can wake it.
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd_, F_SETFD, FD_CLOEXEC);
  }
  ~RealDevice() override { comedi_close(device_); }
  RealDevice(const RealDevice&) = delete;
  RealDevice& operator=(const RealDevice&) = delete;

  std::string DriverName() override { return Text(comedi_get_driver_name(device_)); }
  std::string BoardName() override { return Text(comedi_get_board_name(device_)); }
  int ReadSubdevice() override { return Checked(comedi_get_read_subdevice(device_)); }
  int SubdeviceType(unsigned sub) override { return Checked(comedi_get_subdevice_type(device_, sub)); }
  int SubdeviceFlags(unsigned sub) override { return Checked(comedi_get_subdevice_flags(device_, sub)); }
  int Channels(unsigned sub) override { return Checked(comedi_get_n_channels(device_, sub)); }
  lsampl_t MaxData(unsigned sub, unsigned channel) override { return comedi_get_maxdata(device_, sub, channel); }
  int RangeCount(unsigned sub, unsigned channel) override {
    return Checked(comedi_get_n_ranges(device_, sub, channel));
  }
  bool Range(unsigned sub, unsigned channel, unsigned range, comedi_range* out) override {
    const comedi_range* found = comedi_get_range(device_, sub, channel, range);
    if (found != nullptr) *out = *found;
    return found != nullptr;
  }
  int GenericTimed(unsigned sub, comedi_cmd* cmd, unsigned channels, unsigned periodNs) override {
    return Checked(comedi_get_cmd_generic_timed(device_, sub, cmd, channels, periodNs));
  }
  int CommandTest(comedi_cmd* cmd) override { return Checked(comedi_command_test(device_, cmd)); }
  int Command(comedi_cmd* cmd) override { return Checked(comedi_command(device_, cmd)); }
  int Cancel(unsigned sub) override { return Checked(comedi_cancel(device_, sub)); }
  int SetBufferSize(unsigned sub, unsigned bytes) override {
    const int most = comedi_get_max_buffer_size(device_, sub);
    if (most > 0) bytes = std::min(bytes, static_cast<unsigned>(most));
    return Checked(comedi_set_buffer_size(device_, sub, bytes));
  }
  void Wait(int wakeFd, int timeoutMs) override {
    pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    while (::poll(fds, 2, timeoutMs) < 0 && errno == EINTR) {
    }
  }
  ssize_t Read(void* to, size_t bytes) override {
    ssize_t got;
    do {
      got = ::read(fd_, to, bytes);
    } while (got < 0 && errno == EINTR);
    return got < 0 ? -errno : got;
  }

 private:
  static std::string Text(const char* text) { return text == nullptr ? std::string() : std::string(text); }
  comedi_t* const device_;
  const int fd_;
};

class RealCalls final : public ComediCalls {
 public:
  explicit RealCalls(std::string folder) : folder_(std::move(folder)) {}
  std::string Folder() const override { return folder_; }
  std::unique_ptr<ComediDevice> Open(const std::string& path, int* error) override {
    // Only a comedi device is opened: comedilib opens for writing, and a
    // terminal or another driver's device must never see that.
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
      *error = -errno;
      return nullptr;
    }
    if (!S_ISCHR(status.st_mode) || major(status.st_rdev) != kComediMajor) {
      *error = -ENOTTY;
      return nullptr;
    }
    comedi_t* device = comedi_open(path.c_str());
    if (device == nullptr) {
      *error = LastError();
      return nullptr;
    }
    *error = 0;
    return std::make_unique<RealDevice>(device);
  }

 private:
  const std::string folder_;
};

}  // namespace

std::shared_ptr<ComediCalls> RealComediCalls(std::string folder) {
  return std::make_shared<RealCalls>(std::move(folder));
}

}  // namespace varnel::comedi
