#pragma once
// The codes the vendor's driver takes for what this program always asks of
// a run, and for its sub-systems and capabilities. Its adapter and its
// stand-in speak them; nothing else needs them.

#include <cstdint>

namespace varnel {

// The sub-system type of OLDAAPI32 13 and the capability codes of 18 (integers) and 19 (doubles).
enum OpenLayersSubsystem : int32_t { kSubsystemAnalogInput = 0 };
enum OpenLayersCapability : int32_t {
  kCapChannelCount = 0,
  kCapGainCount = 4,
  kCapSimultaneous = 54,
  kCapMaxThroughput = 61
};
// Settings of every run.
enum OpenLayersSetting : int32_t { kDataFlowContinuous = 800, kWrapModeMultiple = 1001, kClockSourceInternal = 100 };

}  // namespace varnel
