#pragma once
// The boards the simulated driver offers, read from its own settings file
// "olsim.ini" in the settings folder. Without the file there is one board named
// like a DT9834: 16 channels, gains 1/2/4/8, 500 kHz aggregate, not
// simultaneous, +-10 V, unsigned 16-bit codes, a sine on every channel.
//
//   [Boards]
//   Count=2                  ; boards reported (0 = none)
//   [Board0]
//   Name=DT9834(00)
//   Channels=16
//   Gains=4                  ; gains 1, 2, 4, ... (2^k for k < Gains)
//   MaxThroughput=500000     ; Hz
//   Simultaneous=0
//   Encoding=200             ; 200 unsigned codes, anything else two's complement
//   Resolution=16            ; bits, 1..16
//   RangeHigh=10             ; volts
//   RangeLow=-10
//   TriggerDelayMs=1000      ; when the external TTL trigger fires after the start
//   [Board0_Channel3]
//   Signal=sine              ; sine, noise, dc, silence or pulse
//   Frequency=440            ; Hz (sine)
//   Amplitude=2.5            ; volts: sine peak, noise standard deviation, dc level, pulse level
//   Low=0                    ; volts: the pulse's level outside its pulses
//   PulseAt=1000             ; the scan of the run at which the first pulse begins
//   PulseWidth=0             ; scans a pulse lasts (0: it stays, a step)
//   PulsePeriod=0            ; scans from one pulse's start to the next (0: one pulse)
//
// Pure functions; safe from any thread.

#include <cstdint>
#include <string>
#include <vector>

namespace varnel::sim {

enum class SignalKind { Sine, Noise, Dc, Silence, Pulse };

struct ChannelSignal {
  SignalKind kind = SignalKind::Sine;
  double frequency = 1000.0;
  double amplitude = 1.0;
  // A pulse changes at known scans of the run, whatever the rate.
  double low = 0.0;
  uint64_t pulseAt = 0;
  uint64_t pulseWidth = 0;
  uint64_t pulsePeriod = 0;

  // A pulse's level at scan `scan` of the run.
  double PulseValue(uint64_t scan) const;
};

struct BoardModel {
  std::string name = "DT9834(00)";
  int32_t channels = 16;
  int32_t gainCount = 4;
  double maxThroughput = 500000.0;
  int32_t simultaneous = 0;
  int32_t encoding = 200;
  int32_t resolution = 16;
  double rangeHigh = 10.0;
  double rangeLow = -10.0;
  uint32_t triggerDelayMs = 1000;
  std::vector<ChannelSignal> signals;  // one per channel

  // Gains 1, 2, 4, ... of the board.
  bool SupportsGain(double gain) const;
};

inline constexpr int32_t kMaxSimulatedBoards = 32;

// The model of board `index` with nothing configured: default signals.
BoardModel DefaultBoardModel(int32_t index);
// The boards of the settings file; a missing file gives the default board.
std::vector<BoardModel> ReadBoardModels(const std::string& iniPath);
// "olsim.ini" in the program's settings folder (platform/SettingsFolder.h).
std::string DefaultSimSettingsPath();

}  // namespace varnel::sim
