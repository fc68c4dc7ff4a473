// The capture thread of the comedi boards: reading the driver's buffer
// straight into the queued buffer, and what an overflow or a vanished device
// does.

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "boards/comedi/ComediInput.h"
#include "platform/Trace.h"

namespace varnel::comedi {
namespace {

void Drain(int fd) {
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t got = ::read(fd, &count, sizeof count);
}

}  // namespace

void ComediInput::TellLoss(boards::BufferFiller& filler, const char* why) {
  if (lossTold_) return;
  lossTold_ = true;
  platform::Trace("comedi %s: %s\n", info_.label.c_str(), why);
  filler.Overrun();
}

void ComediInput::WaitForBuffer(boards::BufferFiller& filler) {
  // Only a queued buffer or a stop wakes it; meanwhile the driver's buffer
  // may overflow, which ends the command: that loss is told at once.
  pollfd wake{wakeFd_, POLLIN, 0};
  while (::poll(&wake, 1, 20) < 0 && errno == EINTR) {
  }
  Drain(wakeFd_);
  const int flags = device_->SubdeviceFlags(info_.subdevice);
  if (flags >= 0 && !(flags & SDF_RUNNING)) TellLoss(filler, "the driver's buffer overflowed: samples lost");
}

ssize_t ComediInput::ReadInto(boards::BufferFiller& filler, const boards::BufferFiller::Target& target) {
  const std::size_t scan = command_.chanlist_len;
  const std::size_t room = std::size_t{target.capacity - target.filled} * scan;  // samples
  uint16_t* out = target.samples + std::size_t{target.filled} * scan;
  if (!info_.longSamples) {
    // The driver's samples are the buffer's: no copy of our own.
    const ssize_t got = device_->Read(reinterpret_cast<char*>(out) + partBytes_, room * sizeof(sampl_t) - partBytes_);
    if (got <= 0) return got;
    const std::size_t bytes = partBytes_ + static_cast<std::size_t>(got);
    partBytes_ = bytes % (scan * sizeof(sampl_t));
    filler.Filled(static_cast<uint32_t>(bytes / (scan * sizeof(sampl_t))));
    return got;
  }
  // 32-bit samples: the top 16 bits of the board's resolution.
  const std::size_t scanBytes = scan * sizeof(lsampl_t);
  const std::size_t want = std::min(room, wide_.size() / scan * scan) * sizeof(lsampl_t) - partBytes_;
  const ssize_t got = device_->Read(reinterpret_cast<char*>(wide_.data()) + partBytes_, want);
  if (got <= 0) return got;
  const std::size_t bytes = partBytes_ + static_cast<std::size_t>(got);
  const std::size_t scans = bytes / scanBytes;
  for (std::size_t i = 0; i < scans * scan; ++i) out[i] = static_cast<uint16_t>(wide_[i] >> info_.shift);
  partBytes_ = bytes - scans * scanBytes;
  std::memmove(wide_.data(), wide_.data() + scans * scan, partBytes_);
  filler.Filled(static_cast<uint32_t>(scans));
  return got;
}

bool ComediInput::Restart(boards::BufferFiller& filler) {
  TellLoss(filler, "the driver's buffer overflowed: samples lost");
  // What is left of a scan before the loss belongs to no scan after it.
  partBytes_ = 0;
  device_->Cancel(info_.subdevice);
  const int started = device_->Command(&command_);
  if (started < 0) {
    platform::Trace("comedi %s cannot start again: %s\n", info_.label.c_str(), std::strerror(-started));
    return false;
  }
  lossTold_ = false;
  return true;
}

void ComediInput::Read(boards::BufferFiller filler) {
  while (!stopRequested_) {
    const boards::BufferFiller::Target target = filler.Current();
    if (!target) {
      WaitForBuffer(filler);
      continue;
    }
    device_->Wait(wakeFd_, 1000);
    Drain(wakeFd_);
    if (stopRequested_) break;
    const ssize_t got = ReadInto(filler, target);
    if (got > 0 || got == -EAGAIN) continue;
    if (got == -EPIPE) {
      if (Restart(filler)) continue;
      break;
    }
    // Unplugged, or the board gone from its driver: the run cannot go on,
    // and the program hears of it as of a loss.
    TellLoss(filler, got == 0 ? "the command ended by itself: capture ends" : "the device is gone: capture ends");
    platform::Trace("comedi %s: %s\n", info_.label.c_str(), got == 0 ? "ended" : std::strerror(static_cast<int>(-got)));
    break;
  }
}

}  // namespace varnel::comedi
