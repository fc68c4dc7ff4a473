#pragma once
// The monitor's window: for Left and Right the latest block's waveform and
// the averaged calibrated spectrum with its peak, the FFT size and averaging
// choices, and a status line with the conversation's state and the last
// refusal. The window shows the model; the server hands it what arrived.
//
// Created and called on the GUI thread only.

#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <string>

#include "monitor/MonitorModel.h"
#include "monitor/MonitorServer.h"
#include "monitor/PlotColumns.h"

class QComboBox;
class QLabel;

namespace varnel::monitor {

class PlotWidget;

struct MonitorOptions {
  uint32_t fftSize = kDefaultFftSize;
  Averaging averaging = Averaging::Linear;
  std::string screenshot;  // written after `afterBlocks` blocks, then the program ends
  uint64_t afterBlocks = 20;
  bool report = false;  // one line per event on standard output
};

class MonitorWindow : public QMainWindow {
  Q_OBJECT
 public:
  MonitorWindow(MonitorServer& server, const MonitorOptions& options, QWidget* parent = nullptr);

  const MonitorModel& Model() const { return model_; }
  const PlotWidget& Waveform(int side) const { return *waveforms_[side]; }
  const PlotWidget& SpectrumPlot(int side) const { return *spectra_[side]; }
  QString StatusText() const;
  QString RefusalText() const;
  void SelectFftSize(uint32_t size);
  void SelectAveraging(Averaging averaging);

  // Takes what the server holds and shows it; queued by the server's wake-up.
  void Drain();
  // One interleaved Left/Right block through the model into the plots.
  void ShowBlock(const std::vector<int16_t>& interleaved);

 private:
  void Show(int side);
  void Report(const std::string& line) const;
  void ReportEvent(const LinkEvent& event) const;
  void MaybeScreenshot();

  MonitorServer& server_;
  MonitorOptions options_;
  MonitorModel model_;
  Mail mail_;
  QComboBox* fftSize_ = nullptr;
  QComboBox* averaging_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* refusal_ = nullptr;
  QLabel* headers_[2] = {};
  PlotWidget* waveforms_[2] = {};
  PlotWidget* spectra_[2] = {};
  SpectrumColumns spectrumColumns_[2];
  bool screenshotTaken_ = false;
};

}  // namespace varnel::monitor
