#pragma once
// The link's own fields, shared by the conversation and the monitoring
// transfer. Private to src/analyzer (and its tests).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analyzer/AnalyzerLink.h"
#include "analyzer/AnalyzerTransport.h"

namespace varnel {

inline constexpr uint32_t kConnectTimeoutMs = 1000;
inline constexpr uint32_t kExecuteTimeoutMs = 1000;
inline constexpr uint32_t kRequestTimeoutMs = 100;
inline constexpr uint32_t kPokeTimeoutMs = 100;
inline constexpr std::size_t kServerNameSize = 80;
inline constexpr std::size_t kFftAnswerSize = 80;
inline constexpr uint32_t kFftRequestInterval = 40;
inline constexpr uint32_t kPokeCounterLimit = 16777215;
// Larger blocks than this cannot come from the ten-second monitor store of
// any board we drive, and 4 bytes a frame must stay far from int32 overflow;
// an analyser that reports more keeps the block length it had.
inline constexpr int32_t kMaxFftSize = 1 << 24;
// A calibration poke that the analyser refuses or lets time out is tried this
// often through WM_POKE_CALIBRATION before the link gives up until the next
// change; one turned away because another poke is under way always comes back.
inline constexpr int kCalibrationPokeAttempts = 5;

// Time-series pokes of the program's life; never reset by a Run.
uint32_t& PokeCounter();

// "FFT Size" as the analyser wrote it: a decimal integer after optional
// white space and sign; 0 when there are no digits. Huge values saturate.
int32_t ParseFftSize(const std::string& text);

// An item name the conversation can use; empty names are refused.
using StringHandle = std::string;

struct AnalyzerLink::State {
  enum class CalibrationOutcome { Sent, Busy, Failed };

  uint32_t instance = 0;
  bool marker = false;
  bool conversation = false;
  StringHandle service;
  StringHandle topic;
  StringHandle timeSeriesItem;
  StringHandle calibrationItem;
  StringHandle waveItem;
  std::optional<std::array<uint8_t, sizeof(CalibrationRecord)>> calibrationData;
  std::optional<std::vector<int16_t>> timeSeriesData;  // the app-owned payload, written in place
  std::optional<std::vector<int16_t>> TimeSeriesBuffer;
  int32_t PokeInProgress = 0;
  TransportError lastError = TransportError::None;
  CalibrationOutcome lastCalibration = CalibrationOutcome::Sent;
  int calibrationFailures = 0;

  bool Linked() const { return instance != 0 && marker && conversation; }
};

}  // namespace varnel
