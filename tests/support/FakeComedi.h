#pragma once
// A scripted comedi device behind the board's seam (boards/comedi/ComediCalls.h):
// device files in a real folder, each with a board as a spec describes it
// (names, subdevice, flags, channels, maxdata, range table, trigger sources,
// a timer of 50 ns steps), the command test's answers as a driver gives them,
// and a stream of known samples the test lets through scan by scan. A test
// can make the driver's buffer overflow, or the device vanish.
//
// Sample of list entry e at scan s: Code(channel of e, s).

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "boards/comedi/ComediCalls.h"

namespace varnel::test {

struct FakeComediSpec {
  std::string driver = "fake_daq";
  std::string board = "fake-6016";
  int openError = 0;  // what opening the file gives, as a negative errno
  int type = COMEDI_SUBD_AI;
  bool streams = true;  // has a read subdevice
  int flags = SDF_READABLE | SDF_CMD_READ | SDF_GROUND | SDF_COMMON | SDF_DIFF;
  unsigned channels = 16;
  lsampl_t maxdata = 0xFFFF;
  std::vector<comedi_range> ranges = {{-10, 10, UNIT_volt},     {-5, 5, UNIT_volt}, {-2.5, 2.5, UNIT_volt},
                                      {-1.25, 1.25, UNIT_volt}, {0, 10, UNIT_volt}, {0, 5, UNIT_volt}};
  // Channels from this one on have the first `shortTable` ranges only (a
  // board whose channels have tables of their own).
  unsigned shortFrom = UINT32_MAX;
  std::size_t shortTable = 0;
  unsigned startSources = TRIG_NOW | TRIG_INT;
  unsigned convertSources = TRIG_TIMER;
  unsigned timerStepNs = 50;
  unsigned fastestConvertNs = 4000;  // 250 kS/s over all channels
};

// The state of one device file, shared by every open of it and the test.
class FakeComediState {
 public:
  explicit FakeComediState(FakeComediSpec spec) : spec(std::move(spec)) {}

  // The code of `channel` at scan `scan`: the channel in the top 4 bits, the
  // scan's low bits below.
  lsampl_t Code(unsigned channel, uint64_t scan) const {
    const int bits = Bits();
    const uint64_t low = (uint64_t{1} << (bits - 4)) - 1;
    return static_cast<lsampl_t>((uint64_t{channel} << (bits - 4)) | (scan & low));
  }
  int Bits() const {
    int bits = 0;
    while (bits < 32 && (uint64_t{spec.maxdata} >> bits) != 0) ++bits;
    return bits;
  }

  // Lets `scans` more scans into the driver's buffer (unlimited: as many as read).
  void Allow(uint64_t scans) {
    std::lock_guard lock(mutex_);
    allowed_ += scans * ListLength();
  }
  void AllowUnlimited() {
    std::lock_guard lock(mutex_);
    allowed_ = UINT64_MAX / 2;
  }
  // The driver's buffer overflows: the command stops; `lost` scans are never delivered.
  void Overflow(uint64_t lost = 1000) {
    std::lock_guard lock(mutex_);
    overflowed_ = true;
    running_ = false;
    lost_ = lost;
  }
  void Vanish() {
    std::lock_guard lock(mutex_);
    vanished_ = true;
    running_ = false;
  }
  // Samples read so far, and allowed so far.
  uint64_t Taken() const {
    std::lock_guard lock(mutex_);
    return taken_;
  }
  uint64_t Allowed() const {
    std::lock_guard lock(mutex_);
    return allowed_;
  }
  int Commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
  }
  int Cancels() const {
    std::lock_guard lock(mutex_);
    return cancels_;
  }
  // The last command started, with its channel list.
  comedi_cmd LastCommand(std::vector<unsigned>* chanlist) const {
    std::lock_guard lock(mutex_);
    *chanlist = chanlist_;
    return command_;
  }
  unsigned BufferSizeAsked() const {
    std::lock_guard lock(mutex_);
    return bufferSize_;
  }
  // At most this many samples per read (0: any), for reads that end inside a scan.
  void LimitReads(std::size_t samples) {
    std::lock_guard lock(mutex_);
    readLimit_ = samples;
  }

  const FakeComediSpec spec;

  // The device's side, as FakeComediDevice calls it.
  int Flags() const {
    std::lock_guard lock(mutex_);
    if (vanished_) return -ENODEV;
    return spec.flags | (running_ ? SDF_RUNNING | SDF_BUSY | SDF_BUSY_OWNER : 0) |
           (spec.maxdata > 0xFFFF ? SDF_LSAMPL : 0);
  }
  int Test(comedi_cmd* cmd) const {
    std::lock_guard lock(mutex_);
    if (vanished_) return -ENODEV;
    return TestLocked(cmd);
  }
  int Start(const comedi_cmd& cmd) {
    std::lock_guard lock(mutex_);
    if (vanished_) return -ENODEV;
    if (running_) return -EBUSY;
    comedi_cmd tested = cmd;
    if (TestLocked(&tested) != 0) return -EINVAL;
    command_ = cmd;
    chanlist_.assign(cmd.chanlist, cmd.chanlist + cmd.chanlist_len);
    command_.chanlist = nullptr;
    ++commands_;
    running_ = true;
    // A new command after an overflow begins after the scans lost.
    scan_ += lost_;
    lost_ = 0;
    overflowed_ = false;
    allowed_ = std::max(allowed_, taken_);
    partial_ = 0;
    return 0;
  }
  int Cancel() {
    std::lock_guard lock(mutex_);
    ++cancels_;
    if (vanished_) return -ENODEV;
    running_ = false;
    overflowed_ = false;
    // What the driver held goes with the command.
    allowed_ = taken_;
    if (partial_ != 0) ++scan_;
    partial_ = 0;
    return 0;
  }
  unsigned SetBufferSize(unsigned bytes) {
    std::lock_guard lock(mutex_);
    return bufferSize_ = bytes;
  }
  bool Readable() const {
    std::lock_guard lock(mutex_);
    return vanished_ || overflowed_ || (running_ && allowed_ > taken_);
  }
  ssize_t Read(void* to, std::size_t bytes) {
    std::lock_guard lock(mutex_);
    if (vanished_) return -ENODEV;
    const std::size_t size = spec.maxdata > 0xFFFF ? sizeof(lsampl_t) : sizeof(sampl_t);
    std::size_t n = std::min<uint64_t>(bytes / size, allowed_ - taken_);
    if (!running_ && !overflowed_) n = 0;
    if (readLimit_ != 0) n = std::min(n, readLimit_);
    if (n == 0) {
      if (overflowed_) return -EPIPE;
      return running_ ? -EAGAIN : 0;
    }
    const std::size_t list = chanlist_.size();
    const int bits = Bits();
    const uint64_t low = (uint64_t{1} << (bits - 4)) - 1;
    for (std::size_t i = 0; i < n; ++i) {
      const auto code = static_cast<lsampl_t>((uint64_t{CR_CHAN(chanlist_[partial_])} << (bits - 4)) | (scan_ & low));
      if (size == sizeof(sampl_t)) {
        static_cast<sampl_t*>(to)[i] = static_cast<sampl_t>(code);
      } else {
        static_cast<lsampl_t*>(to)[i] = code;
      }
      if (++partial_ == list) partial_ = 0, ++scan_;
    }
    taken_ += n;
    return static_cast<ssize_t>(n * size);
  }

 private:
  std::size_t ListLength() const { return std::max<std::size_t>(chanlist_.size(), command_.chanlist_len); }

  static int Narrow(unsigned* src, unsigned offered) {
    const unsigned before = *src;
    *src &= offered;
    return *src != before || *src == 0;
  }
  static bool Single(unsigned src) { return src != 0 && (src & (src - 1)) == 0; }
  unsigned Round(unsigned ns) const { return (ns + spec.timerStepNs / 2) / spec.timerStepNs * spec.timerStepNs; }

  // The steps of a driver's command test: sources, their combination,
  // arguments within limits, timers rounded, the channel list.
  int TestLocked(comedi_cmd* cmd) const {
    if (!(spec.flags & SDF_CMD_READ)) return -EIO;
    int changed = 0;
    changed |= Narrow(&cmd->start_src, spec.startSources);
    changed |= Narrow(&cmd->scan_begin_src, TRIG_TIMER | TRIG_FOLLOW);
    changed |= Narrow(&cmd->convert_src, spec.convertSources);
    changed |= Narrow(&cmd->scan_end_src, TRIG_COUNT);
    changed |= Narrow(&cmd->stop_src, TRIG_COUNT | TRIG_NONE);
    if (changed) return 1;
    for (unsigned src : {cmd->start_src, cmd->scan_begin_src, cmd->convert_src, cmd->stop_src}) {
      if (!Single(src)) return 2;
    }
    if (cmd->scan_begin_src == TRIG_FOLLOW && cmd->convert_src != TRIG_TIMER) return 2;
    const unsigned list = std::max(cmd->chanlist_len, 1u);
    const unsigned convert = cmd->convert_src == TRIG_TIMER ? std::max(cmd->convert_arg, spec.fastestConvertNs) : 0;
    auto fix = [&](unsigned* arg, unsigned value) {
      changed |= *arg != value;
      *arg = value;
    };
    fix(&cmd->start_arg, 0);
    fix(&cmd->convert_arg, convert);
    if (cmd->scan_begin_src == TRIG_TIMER) {
      fix(&cmd->scan_begin_arg, std::max(cmd->scan_begin_arg, spec.fastestConvertNs * list));
    }
    fix(&cmd->scan_end_arg, cmd->chanlist_len);
    if (cmd->stop_src == TRIG_NONE) fix(&cmd->stop_arg, 0);
    if (changed) return 3;
    if (cmd->scan_begin_src == TRIG_TIMER) fix(&cmd->scan_begin_arg, Round(cmd->scan_begin_arg));
    if (cmd->convert_src == TRIG_TIMER) fix(&cmd->convert_arg, Round(cmd->convert_arg));
    if (changed) return 4;
    if (cmd->chanlist != nullptr) {
      for (unsigned e = 0; e < cmd->chanlist_len; ++e) {
        if (CR_CHAN(cmd->chanlist[e]) >= spec.channels || CR_RANGE(cmd->chanlist[e]) >= spec.ranges.size()) return 5;
      }
    }
    return 0;
  }

  mutable std::mutex mutex_;
  bool running_ = false;
  bool overflowed_ = false;
  bool vanished_ = false;
  uint64_t allowed_ = 0;  // samples
  uint64_t taken_ = 0;    // samples
  uint64_t scan_ = 0;     // of the next sample read
  uint64_t lost_ = 0;
  std::size_t partial_ = 0;  // list entry of the next sample read
  std::size_t readLimit_ = 0;
  comedi_cmd command_{};
  std::vector<unsigned> chanlist_;
  int commands_ = 0;
  int cancels_ = 0;
  unsigned bufferSize_ = 0;
};

class FakeComediDevice final : public comedi::ComediDevice {
 public:
  explicit FakeComediDevice(std::shared_ptr<FakeComediState> state) : state_(std::move(state)) {}
  std::string DriverName() override { return state_->spec.driver; }
  std::string BoardName() override { return state_->spec.board; }
  int ReadSubdevice() override { return state_->spec.streams ? 0 : -1; }
  int SubdeviceType(unsigned sub) override { return sub == 0 ? state_->spec.type : -EINVAL; }
  int SubdeviceFlags(unsigned sub) override { return sub == 0 ? state_->Flags() : -EINVAL; }
  int Channels(unsigned) override { return static_cast<int>(state_->spec.channels); }
  lsampl_t MaxData(unsigned, unsigned) override { return state_->spec.maxdata; }
  int RangeCount(unsigned, unsigned channel) override { return static_cast<int>(Ranges(channel)); }
  bool Range(unsigned, unsigned channel, unsigned range, comedi_range* out) override {
    if (range >= Ranges(channel)) return false;
    *out = state_->spec.ranges[range];
    return true;
  }
  int GenericTimed(unsigned sub, comedi_cmd* cmd, unsigned channels, unsigned periodNs) override {
    *cmd = {};
    cmd->subdev = sub;
    cmd->start_src = TRIG_NOW;
    cmd->scan_begin_src = TRIG_TIMER;
    cmd->scan_begin_arg = periodNs;
    cmd->convert_src = TRIG_TIMER;
    cmd->scan_end_src = TRIG_COUNT;
    cmd->scan_end_arg = channels;
    cmd->chanlist_len = channels;
    cmd->stop_src = TRIG_COUNT;
    cmd->stop_arg = 2;
    int result = 0;
    for (int round = 0; round < 5; ++round) {
      result = state_->Test(cmd);
      if (result != 3 && result != 4) break;
    }
    return result == 0 ? 0 : -EINVAL;
  }
  int CommandTest(comedi_cmd* cmd) override { return state_->Test(cmd); }
  int Command(comedi_cmd* cmd) override { return state_->Start(*cmd); }
  int Cancel(unsigned) override { return state_->Cancel(); }
  int SetBufferSize(unsigned, unsigned bytes) override { return static_cast<int>(state_->SetBufferSize(bytes)); }
  void Wait(int wakeFd, int timeoutMs) override {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd wake{wakeFd, POLLIN, 0};
    while (!state_->Readable() && std::chrono::steady_clock::now() < until) {
      if (::poll(&wake, 1, 1) > 0) return;
    }
  }
  ssize_t Read(void* to, std::size_t bytes) override { return state_->Read(to, bytes); }

 private:
  std::size_t Ranges(unsigned channel) const {
    const FakeComediSpec& spec = state_->spec;
    return channel >= spec.shortFrom ? std::min(spec.shortTable, spec.ranges.size()) : spec.ranges.size();
  }
  std::shared_ptr<FakeComediState> state_;
};

// Device files in `folder` (a test's temporary one), each with its state.
class FakeComediCalls final : public comedi::ComediCalls {
 public:
  explicit FakeComediCalls(std::string folder) : folder_(std::move(folder)) {}
  // Adds the file `name` with a board as described; its state for the test.
  std::shared_ptr<FakeComediState> Add(const std::string& name, FakeComediSpec spec = {});
  std::string Folder() const override { return folder_; }
  std::unique_ptr<comedi::ComediDevice> Open(const std::string& path, int* error) override {
    const auto it = states_.find(path.substr(path.rfind('/') + 1));
    *error = it == states_.end() ? -ENOTTY : it->second->spec.openError;
    if (*error != 0) return nullptr;
    ++opens;
    return std::make_unique<FakeComediDevice>(it->second);
  }
  int opens = 0;

 private:
  std::string folder_;
  std::map<std::string, std::shared_ptr<FakeComediState>> states_;
};

inline std::shared_ptr<FakeComediState> FakeComediCalls::Add(const std::string& name, FakeComediSpec spec) {
  if (std::FILE* f = std::fopen((folder_ + "/" + name).c_str(), "w")) std::fclose(f);
  auto state = std::make_shared<FakeComediState>(std::move(spec));
  states_[name] = state;
  return state;
}

}  // namespace varnel::test
