#include "boards/alsa/AlsaBoard.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "boards/alsa/AlsaInput.h"
#include "platform/Trace.h"

namespace varnel::alsa {
namespace {

constexpr double kRangeVolts = 10.0;
constexpr int32_t kTwosComplement = 0;

// The capture devices ALSA lists, each opened by its stable name.
class AlsaDriver final : public boards::BoardDriver {
 public:
  explicit AlsaDriver(std::shared_ptr<PcmCalls> calls) : calls_(std::move(calls)) { RouteAlsaErrorsToTraces(); }

  std::vector<std::string> List() override {
    listed_ = ListCaptureDevices();
    std::vector<std::string> names;
    for (const CaptureDevice& device : listed_) names.push_back(device.label);
    return names;
  }

  BoardStatus Open(std::string_view name, std::unique_ptr<boards::BoardInput>* input) override {
    if (listed_.empty()) listed_ = ListCaptureDevices();
    const auto it =
        std::find_if(listed_.begin(), listed_.end(), [&](const CaptureDevice& d) { return d.label == name; });
    if (it == listed_.end()) return kAlsaNoSuchBoard;
    snd_pcm_t* pcm = nullptr;
    const int opened = snd_pcm_open(&pcm, it->pcm.c_str(), SND_PCM_STREAM_CAPTURE, CaptureOpenFlags());
    if (opened < 0) {
      platform::Trace("ALSA cannot open %s: %s\n", it->pcm.c_str(), snd_strerror(opened));
      return FromAlsa(opened);
    }
    const DeviceCaps caps = ProbeOpenPcm(pcm);
    if (caps.error < 0 || caps.channels == 0) {
      snd_pcm_close(pcm);
      return FromAlsa(caps.error);
    }
    *input = std::make_unique<AlsaInput>(it->label, pcm, caps, calls_, clipped_);
    return kBoardSuccess;
  }

  const boards::PoolStatuses& Statuses() const override { return kStatuses; }
  uint64_t Clipped() const { return *clipped_; }

 private:
  static constexpr boards::PoolStatuses kStatuses{kAlsaBadHandle, kAlsaBadValue,    kAlsaNotConfigured,
                                                  kAlsaBusy,      kAlsaNoSuchBoard, kAlsaUnsupported};
  const std::shared_ptr<PcmCalls> calls_;
  std::vector<CaptureDevice> listed_;
  const std::shared_ptr<std::atomic<uint64_t>> clipped_ = std::make_shared<std::atomic<uint64_t>>(0);
};

boards::InputCapabilities CapabilitiesOf(const DeviceCaps& device) {
  boards::InputCapabilities caps;
  caps.channels = static_cast<int32_t>(device.channels);
  caps.gains = 1;
  caps.simultaneous = true;
  caps.maxThroughput = device.rates.empty() ? 0.0 : static_cast<double>(device.rates.back());
  caps.nativeRates.emplace(device.rates.begin(), device.rates.end());
  caps.codes = {kRangeVolts, -kRangeVolts, kTwosComplement, 16};
  return caps;
}

}  // namespace

std::shared_ptr<PcmCalls> RealPcmCalls() {
  return std::make_shared<PcmCalls>();
}

AlsaBoard::AlsaBoard(std::shared_ptr<PcmCalls> calls) : PooledBoard(std::make_unique<AlsaDriver>(std::move(calls))) {}

uint64_t AlsaBoard::ClippedSamples() const {
  return static_cast<const AlsaDriver&>(Driver()).Clipped();
}

AlsaInput::AlsaInput(std::string label, snd_pcm_t* pcm, const DeviceCaps& caps, std::shared_ptr<PcmCalls> calls,
                     std::shared_ptr<std::atomic<uint64_t>> clipped)
    : label_(std::move(label)),
      pcm_(pcm),
      device_(caps),
      calls_(std::move(calls)),
      caps_(CapabilitiesOf(caps)),
      wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      clippedTotal_(std::move(clipped)) {}

AlsaInput::~AlsaInput() {
  Stop();
  if (wakeFd_ >= 0) ::close(wakeFd_);
  snd_pcm_close(pcm_);
}

void AlsaInput::Wake() const {
  if (wakeFd_ < 0) return;
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
}

BoardStatus AlsaInput::Start(boards::BufferFiller filler) {
  if (wakeFd_ < 0) return FromAlsa(-EMFILE);
  Stop();  // a reader that ended on a lost device
  runClipped_ = 0;
  reader_ = std::thread(&AlsaInput::Read, this, filler);
  return kBoardSuccess;
}

void AlsaInput::Stop() {
  if (!reader_.joinable()) return;
  stopRequested_ = true;
  Wake();
  reader_.join();
  stopRequested_ = false;
  // Never drain a capture: what is still in the ring is not wanted.
  calls_->Drop(pcm_);
  if (runClipped_ > 0) {
    platform::Trace("ALSA %s: %llu samples beyond full scale clipped\n", label_.c_str(),
                    static_cast<unsigned long long>(runClipped_));
  }
}

}  // namespace varnel::alsa
