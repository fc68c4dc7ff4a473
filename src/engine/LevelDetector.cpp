#include "engine/LevelDetector.h"

#include <cmath>

namespace varnel {
namespace {

// Integer thresholds beyond every sample disable a side.
constexpr int32_t kNever = 1 << 20;

}  // namespace

LevelDetector::LevelDetector(const LevelThresholds& t)
    : riseAt_(static_cast<int32_t>(std::ceil(t.level))),
      lowArm_(static_cast<int32_t>(std::floor(t.level - t.hysteresis))),
      fallAt_(static_cast<int32_t>(std::floor(t.level))),
      highArm_(static_cast<int32_t>(std::ceil(t.level + t.hysteresis))),
      rising_(t.slope != TriggerSlope::kFalling),
      falling_(t.slope != TriggerSlope::kRising) {
  if (!rising_) riseAt_ = kNever, lowArm_ = -kNever;
  if (!falling_) fallAt_ = -kNever, highArm_ = kNever;
}

bool LevelDetector::Step(int32_t s) {
  if (armedLow_ && s >= riseAt_) {
    armedLow_ = armedHigh_ = false;
    lastSlope_ = TriggerSlope::kRising;
    return true;
  }
  if (armedHigh_ && s <= fallAt_) {
    armedLow_ = armedHigh_ = false;
    lastSlope_ = TriggerSlope::kFalling;
    return true;
  }
  if (s <= lowArm_) armedLow_ = true;
  if (s >= highArm_) armedHigh_ = true;
  return false;
}

std::optional<std::size_t> LevelDetector::Find(std::span<const int16_t> samples) {
  for (std::size_t i = 0; i < samples.size(); ++i) {
    if (Step(samples[i])) return i;
  }
  return std::nullopt;
}

void LevelDetector::Pass(std::span<const int16_t> samples) {
  for (const int16_t s : samples) Step(s);
}

}  // namespace varnel
