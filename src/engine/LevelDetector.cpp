#include "engine/LevelDetector.h"

#include <algorithm>
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

// Most stretches of a signal change nothing: no sample in them arms or
// fires. Their extremes (a loop the compiler vectorises) say so at once.
bool LevelDetector::Quiet(const int16_t* samples) const {
  int32_t low = samples[0];
  int32_t high = samples[0];
  for (std::size_t i = 0; i < kStretch; ++i) {
    low = std::min<int32_t>(low, samples[i]);
    high = std::max<int32_t>(high, samples[i]);
  }
  const bool fires = (armedLow_ && high >= riseAt_) || (armedHigh_ && low <= fallAt_);
  const bool arms = (!armedLow_ && low <= lowArm_) || (!armedHigh_ && high >= highArm_);
  return !fires && !arms;
}

std::optional<std::size_t> LevelDetector::Find(std::span<const int16_t> samples) {
  std::size_t i = 0;
  while (i < samples.size()) {
    if (samples.size() - i >= kStretch && Quiet(samples.data() + i)) {
      i += kStretch;
      continue;
    }
    const std::size_t end = std::min(samples.size(), i + kStretch);
    for (; i < end; ++i) {
      if (Step(samples[i])) return i;
    }
  }
  return std::nullopt;
}

void LevelDetector::Pass(std::span<const int16_t> samples) {
  // A crossing while not looking fires nothing; the search goes on after it.
  while (const auto hit = Find(samples)) samples = samples.subspan(*hit + 1);
}

}  // namespace varnel
