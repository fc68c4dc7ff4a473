#pragma once
// The conversation with the live analyser: start-of-run commands, the
// calibration of the two monitored channels and their time series.
//
// Main thread only.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "analyzer/AnalyzerTransport.h"
#include "records/ChannelSettings.h"
#include "acquisition/MonitorSource.h"
#include "ui/MessageLoop.h"
#include "ui/UiServices.h"
#include "wave/CalibrationRecord.h"

namespace varnel {

// The main window's state the link reads and, for FftSize, writes.
struct AnalyzerLinkContext {
  RecorderSettings* settings = nullptr;
  ChannelSettingsArray* channels = nullptr;
  std::array<CalibrationRecord, kChannelCount>* calibrationRecords = nullptr;
  MonitorSource* monitor = nullptr;
  ui::MessageLoop* loop = nullptr;
  ui::UiServices* ui = nullptr;
  const int32_t* bIsRunning = nullptr;
  // orvantis.ini in the settings folder; read anew at every Connect.
  std::string analyzerSettingsPath;
};

// Refresh-timer period in milliseconds for a block length.
uint32_t RefreshTimerPeriod(int32_t fftSize);

class AnalyzerLink {
 public:
  AnalyzerLink(AnalyzerLinkContext context, std::unique_ptr<AnalyzerTransport> transport);
  ~AnalyzerLink();
  AnalyzerLink(const AnalyzerLink&) = delete;
  AnalyzerLink& operator=(const AnalyzerLink&) = delete;

  bool Connect();
  void PrepareAnalyzer();
  void Execute(const char* command);
  bool RequestItem(const char* item, char* buffer, std::size_t size);
  int Disconnect();

  bool DDEPokeCalibrationData();
  bool DDEPokeTimeSeriesData();
  // WM_POKE_CALIBRATION; returns 1 (handled).
  intptr_t OnPokeCalibration();
  // Called at Stop: the time-series payload is released.
  void ReleaseTimeSeriesBuffer();

 private:
  struct State;
  AnalyzerLinkContext context_;
  std::unique_ptr<AnalyzerTransport> transport_;
  std::unique_ptr<State> state_;
};

}  // namespace varnel
