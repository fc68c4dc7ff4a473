#pragma once
// Finds the trigger sample of a level trigger in one channel's samples: the
// first sample at or beyond the level in the slope's direction after the
// signal was beyond the hysteresis band on the other side. Once it fires it
// waits for the signal to go back across the band before it can fire again;
// samples it was shown while it did not look for triggers count for that too.
//
// Thresholds in codes of the converted samples (32768: full scale). Main thread only.

#include <cstdint>
#include <optional>
#include <span>

#include "records/LevelTrigger.h"

namespace varnel {

struct LevelThresholds {
  double level = 0.0;       // codes
  double hysteresis = 0.0;  // codes, >= 0
  TriggerSlope slope = TriggerSlope::kRising;
};

class LevelDetector {
 public:
  explicit LevelDetector(const LevelThresholds& thresholds = {});

  // The index of the first trigger sample in `samples`; the samples after it
  // are not looked at. Nothing when none fires.
  std::optional<std::size_t> Find(std::span<const int16_t> samples);
  // Goes through the samples without firing: a crossing among them is no
  // trigger, and the band must be crossed again after it.
  void Pass(std::span<const int16_t> samples);
  // The slope of the latest trigger (rising or falling, also for either).
  TriggerSlope LastSlope() const { return lastSlope_; }

 private:
  static constexpr std::size_t kStretch = 64;
  // True when sample s fires.
  bool Step(int32_t s);
  // True when no sample of the kStretch from `samples` on arms or fires.
  bool Quiet(const int16_t* samples) const;

  int32_t riseAt_;   // a rising trigger: s >= riseAt_
  int32_t lowArm_;   // armed for rising once s <= lowArm_
  int32_t fallAt_;   // a falling trigger: s <= fallAt_
  int32_t highArm_;  // armed for falling once s >= highArm_
  bool rising_;
  bool falling_;
  bool armedLow_ = false;
  bool armedHigh_ = false;
  TriggerSlope lastSlope_ = TriggerSlope::kRising;
};

}  // namespace varnel
