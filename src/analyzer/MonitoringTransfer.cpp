// The calibration and time-series pokes of a running recording.

#include <cstring>
#include <new>

#include "analyzer/AnalyzerLink.h"
#include "analyzer/LinkState.h"
#include "platform/Messages.h"
#include "platform/Trace.h"

namespace varnel {
namespace {

// The highest-indexed channel whose flag is 1, else the fallback.
int32_t MonitorChannel(const ChannelSettingsArray& channels, int32_t ChannelSettings::*flag, int32_t fallback) {
  int32_t chosen = fallback;
  for (int32_t i = 0; i < kChannelCount; ++i)
    if (IsSet(channels[static_cast<std::size_t>(i)].*flag)) chosen = i;
  return chosen;
}

// No file name and no tail: only the two monitored channels' Left halves.
CalibrationRecord CalibrationPayload(const ChannelSettingsArray& channels,
                                     const std::array<CalibrationRecord, kChannelCount>& records) {
  const int32_t left = MonitorChannel(channels, &ChannelSettings::bIsMonitoringLeft, 0);
  const int32_t right = MonitorChannel(channels, &ChannelSettings::bIsMonitoringRight, 1);
  CalibrationRecord payload = ZeroCalibrationRecord();
  payload.Left = records[static_cast<std::size_t>(left)].Left;
  payload.Right = records[static_cast<std::size_t>(right)].Left;
  return payload;
}

// Zero-filled; nothing when memory is short.
std::optional<std::vector<int16_t>> ZeroBlock(std::size_t values) {
  try {
    return std::vector<int16_t>(values, 0);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace

bool AnalyzerLink::DDEPokeCalibrationData() {
  State& s = *state_;
  if (s.PokeInProgress == 1) {
    platform::TraceText("DDEPokeCalibrationData Aborted - poke in progress\n");
    s.lastCalibration = State::CalibrationOutcome::Busy;
    return false;
  }
  s.lastCalibration = State::CalibrationOutcome::Sent;
  if (!s.Linked() || s.calibrationItem.empty() || !context_.channels || !context_.calibrationRecords) return true;

  s.PokeInProgress = 1;
  platform::TraceText("Calling DDEPokeCalibrationData\n");
  s.calibrationData.reset();
  const CalibrationRecord payload = CalibrationPayload(*context_.channels, *context_.calibrationRecords);
  s.calibrationData.emplace();
  std::memcpy(s.calibrationData->data(), &payload, sizeof payload);

  s.lastError = transport_->Poke(s.calibrationItem, *s.calibrationData, kPokeTimeoutMs);
  s.PokeInProgress = 0;
  if (s.lastError != TransportError::None) {
    platform::Trace("DDEPokeCalibrationData Failed - DDEML Error code = %u\n", static_cast<unsigned>(s.lastError));
    s.lastCalibration = State::CalibrationOutcome::Failed;
    return false;
  }
  platform::TraceText("Done DDEPokeCalibrationData\n");
  return true;
}

intptr_t AnalyzerLink::OnPokeCalibration() {
  State& s = *state_;
  if (DDEPokeCalibrationData()) {
    s.calibrationFailures = 0;
    return 1;
  }
  // Turned away by a poke under way: that one ends, so this one comes back.
  // Refused or timed out by the analyser: a few more tries, not a busy loop.
  if (s.lastCalibration == State::CalibrationOutcome::Failed && ++s.calibrationFailures >= kCalibrationPokeAttempts) {
    s.calibrationFailures = 0;
    return 1;
  }
  if (context_.loop) context_.loop->Post({platform::WM_POKE_CALIBRATION, 0, 0});
  return 1;
}

bool AnalyzerLink::DDEPokeTimeSeriesData() {
  State& s = *state_;
  if (s.PokeInProgress == 1) return false;
  const bool running = context_.bIsRunning && *context_.bIsRunning == 1;
  if (!s.Linked() || s.timeSeriesItem.empty() || !running || !context_.settings || !context_.monitor) return true;

  s.PokeInProgress = 1;
  RecorderSettings& settings = *context_.settings;
  const int32_t oldSize = settings.FftSize;

  if (PokeCounter() % kFftRequestInterval == 0) {
    char answer[kFftAnswerSize] = {};
    if (RequestItem("FFT Size", answer, sizeof answer)) {
      const int32_t size = ParseFftSize(answer);
      settings.FftSize = size > 0 && size <= kMaxFftSize ? size : oldSize;
    }
  }
  if (++PokeCounter() > kPokeCounterLimit) PokeCounter() = 0;
  // The timer follows a new size on every way out, also when this poke fails.
  struct Rearm {
    platform::MessageLoop* loop;
    const int32_t& size;
    int32_t old;
    ~Rearm() {
      if (size != old && loop) {
        loop->KillTimer(platform::kRefreshTimerId);
        loop->SetTimer(platform::kRefreshTimerId, RefreshTimerPeriod(size));
      }
    }
  } rearm{context_.loop, settings.FftSize, oldSize};

  const int32_t n = settings.FftSize;
  // A size that arrived from elsewhere is held to the same bounds.
  if (n <= 0 || n > kMaxFftSize) {
    s.PokeInProgress = 0;
    return false;
  }
  const auto values = static_cast<std::size_t>(n) * 2;
  if (n != oldSize || !s.TimeSeriesBuffer) {
    s.TimeSeriesBuffer.reset();
    s.TimeSeriesBuffer = ZeroBlock(values);
    if (!s.TimeSeriesBuffer) {
      s.PokeInProgress = 0;
      return false;
    }
  }
  if (n != oldSize || !s.timeSeriesData) {
    s.timeSeriesData.reset();
    try {
      s.timeSeriesData = *s.TimeSeriesBuffer;
    } catch (const std::bad_alloc&) {
      s.timeSeriesData.reset();
    }
    platform::TraceText("Creating Data Handle\n");
  }
  if (!s.timeSeriesData || s.timeSeriesData->size() != values) {
    s.PokeInProgress = 0;
    return false;
  }

  bool result = false;
  int16_t* data = s.timeSeriesData->data();
  if (context_.monitor->ReadMonitorFrames(n * 2, 1, 1, data, 0) == 1) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(data);
    s.lastError =
        transport_->Poke(s.timeSeriesItem, std::span<const uint8_t>(bytes, values * sizeof(int16_t)), kPokeTimeoutMs);
    result = s.lastError == TransportError::None;
    if (!result)
      platform::Trace("DDEPokeTimeSeriesData Failed - DDEML Error code = %u\n", static_cast<unsigned>(s.lastError));
  }
  s.PokeInProgress = 0;
  return result;
}

void AnalyzerLink::ReleaseTimeSeriesBuffer() {
  state_->TimeSeriesBuffer.reset();
}

}  // namespace varnel
