#include "SampleBlocks.h"

#include <algorithm>
#include <cstring>

#include "WaveInfo.h"

namespace varnel::info {
namespace {

constexpr uint64_t kFramesPerBlock = 65536;

double Code(const unsigned char* p, SampleCoding coding, uint32_t bytes) {
  if (coding == SampleCoding::kFloat) {
    if (bytes == 8) {
      double d;
      std::memcpy(&d, p, 8);
      return d * 32768.0;
    }
    float f;
    std::memcpy(&f, p, 4);
    return static_cast<double>(f) * 32768.0;
  }
  if (bytes == 1) return (static_cast<double>(p[0]) - 128.0) * 256.0;  // 8-bit samples are unsigned
  uint32_t u = 0;
  for (uint32_t i = 0; i < bytes; ++i) u |= static_cast<uint32_t>(p[i]) << (8 * i + 8 * (4 - bytes));
  return static_cast<double>(static_cast<int32_t>(u)) / 65536.0;
}

}  // namespace

SampleBlocks::SampleBlocks(platform::RiffFile& file, const WaveInfo& info) : file_(file), info_(info) {}

const std::vector<double>& SampleBlocks::Next() {
  codes_.clear();
  const uint64_t frames = std::min(kFramesPerBlock, info_.frames - framesRead_);
  if (frames == 0 || failed_) return codes_;
  const uint32_t frameBytes = info_.layout.fmt.blockAlign;
  const std::size_t count = static_cast<std::size_t>(frames * frameBytes);
  bytes_.resize(count);
  if (!file_.Seek(info_.layout.dataOffset + framesRead_ * frameBytes) || file_.Read(bytes_.data(), count) != count) {
    failed_ = true;
    return codes_;
  }
  const uint32_t channels = info_.Channels();
  codes_.resize(static_cast<std::size_t>(frames * channels));
  for (std::size_t i = 0; i < codes_.size(); ++i)
    codes_[i] = Code(bytes_.data() + i * info_.bytesPerSample, info_.coding, info_.bytesPerSample);
  framesRead_ += frames;
  return codes_;
}

}  // namespace varnel::info
