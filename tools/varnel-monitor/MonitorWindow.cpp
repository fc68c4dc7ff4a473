#include "MonitorWindow.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>

#include "PlotWidget.h"

namespace varnel::monitor {
namespace {

constexpr double kSpectrumSpanDb = 120.0;

const char* AveragingName(Averaging a) {
  switch (a) {
    case Averaging::None:
      return "None";
    case Averaging::Linear:
      return "Linear";
    case Averaging::Exponential:
      return "Exponential";
  }
  return "";
}

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

MonitorWindow::MonitorWindow(MonitorServer& server, const MonitorOptions& options, QWidget* parent)
    : QMainWindow(parent), server_(server), options_(options) {
  setWindowTitle("Varnel monitor - " + Q(server.ServerName()));
  model_.SetAveraging(options.averaging);

  auto* bar = addToolBar("Analysis");
  bar->setMovable(false);
  bar->addWidget(new QLabel(" FFT size "));
  fftSize_ = new QComboBox;
  for (uint32_t size : kFftSizes) fftSize_->addItem(QString::number(size), size);
  bar->addWidget(fftSize_);
  bar->addWidget(new QLabel("  Averaging "));
  averaging_ = new QComboBox;
  for (Averaging a : {Averaging::None, Averaging::Linear, Averaging::Exponential})
    averaging_->addItem(AveragingName(a), static_cast<int>(a));
  bar->addWidget(averaging_);
  auto* restart = new QPushButton("Restart average");
  bar->addWidget(restart);

  auto* central = new QWidget;
  auto* grid = new QGridLayout(central);
  for (int side = 0; side < 2; ++side) {
    headers_[side] = new QLabel;
    QFont bold = headers_[side]->font();
    bold.setBold(true);
    headers_[side]->setFont(bold);
    waveforms_[side] = new PlotWidget;
    spectra_[side] = new PlotWidget;
    grid->addWidget(headers_[side], side * 2, 0, 1, 2);
    grid->addWidget(waveforms_[side], side * 2 + 1, 0);
    grid->addWidget(spectra_[side], side * 2 + 1, 1);
  }
  grid->setRowStretch(1, 1);
  grid->setRowStretch(3, 1);
  grid->setColumnStretch(0, 2);
  grid->setColumnStretch(1, 3);
  setCentralWidget(central);
  status_ = new QLabel;
  refusal_ = new QLabel;
  refusal_->setStyleSheet("color: #b00000");
  statusBar()->addWidget(status_, 1);
  statusBar()->addPermanentWidget(refusal_);

  SelectFftSize(options.fftSize);
  averaging_->setCurrentIndex(averaging_->findData(static_cast<int>(options.averaging)));
  connect(fftSize_, &QComboBox::currentIndexChanged, this,
          [this] { server_.SetFftSize(fftSize_->currentData().toUInt()); });
  connect(averaging_, &QComboBox::currentIndexChanged, this,
          [this] { model_.SetAveraging(static_cast<Averaging>(averaging_->currentData().toInt())); });
  connect(restart, &QPushButton::clicked, this, [this] {
    const Averaging a = model_.GetAveraging();
    model_.SetAveraging(Averaging::None);
    model_.SetAveraging(a);
  });
  for (int side = 0; side < 2; ++side) Show(side);
  status_->setText(Q(model_.StatusLine()) + "   serving " + Q(server.BusName()));
  resize(1100, 720);

  server_.SetWake([this] { QMetaObject::invokeMethod(this, &MonitorWindow::Drain, Qt::QueuedConnection); });
}

void MonitorWindow::SelectFftSize(uint32_t size) {
  const int index = fftSize_->findData(size);
  if (index >= 0) fftSize_->setCurrentIndex(index);
  server_.SetFftSize(fftSize_->currentData().toUInt());
}

void MonitorWindow::SelectAveraging(Averaging averaging) {
  averaging_->setCurrentIndex(averaging_->findData(static_cast<int>(averaging)));
}

QString MonitorWindow::StatusText() const {
  return status_->text();
}
QString MonitorWindow::RefusalText() const {
  return refusal_->text();
}

void MonitorWindow::Drain() {
  server_.Take(mail_);
  for (const LinkEvent& event : mail_.events) {
    model_.Apply(event);
    ReportEvent(event);
    if (event.kind == EventKind::Refusal) refusal_->setText(Q(event.text));
  }
  if (mail_.hasBlock) {
    ShowBlock(mail_.block);
    if (options_.report) {
      char line[64];
      std::snprintf(line, sizeof line, "block %llu of %zu frames: ", static_cast<unsigned long long>(model_.Blocks()),
                    mail_.block.size() / 2);
      Report(line + model_.PeakText(0) + "; " + model_.PeakText(1));
    }
  }
  for (int side = 0; side < 2; ++side) Show(side);
  status_->setText(Q(model_.StatusLine()) + "   serving " + Q(server_.BusName()));
  MaybeScreenshot();
}

void MonitorWindow::ShowBlock(const std::vector<int16_t>& interleaved) {
  model_.AddBlock(interleaved);
  for (int side = 0; side < 2; ++side) Show(side);
}

void MonitorWindow::Show(int side) {
  const ChannelView& c = model_.Channel(side);
  const double rate = model_.SamplingRate();
  headers_[side]->setText(Q(std::string(kSideNames[side]) + " - " + model_.PeakText(side)));

  PlotSeries wave;
  const double perCode = c.scale.UnitsPerCode();
  int lowest = 0;
  int highest = 0;
  for (int16_t v : c.waveform) {
    lowest = std::min<int>(lowest, v);
    highest = std::max<int>(highest, v);
  }
  auto extent = static_cast<float>(std::max(std::abs(lowest * perCode), std::abs(highest * perCode)));
  if (!(extent > 0.0f)) extent = static_cast<float>(32768.0 * perCode);
  const double step = TickStep(extent, 4);
  wave.yHigh = std::ceil(extent * 1.05 / step) * step;
  wave.yLow = -wave.yHigh;
  const double frames = static_cast<double>(std::max<std::size_t>(c.waveform.size(), 2) - 1);
  wave.xLast = rate > 0.0 ? frames / rate * 1000.0 : frames;
  wave.xLabel = rate > 0.0 ? "Time (ms)" : "Sample";
  wave.yLabel = Q(c.scale.WaveformUnits());
  wave.title = "Waveform, latest block";
  wave.reduce = [this, side](std::size_t columns, ColumnEnvelope& out) {
    const ChannelView& shown = model_.Channel(side);
    SampleColumns(shown.waveform, shown.scale.UnitsPerCode(), columns, out);
  };
  waveforms_[side]->SetSeries(std::move(wave));

  PlotSeries spectrum;
  const std::size_t length = c.spectrum.Length();
  spectrum.xLast = length > 0 ? BinFrequency(c.spectrum.Bins() - 1, length, rate) : 1.0;
  const double top =
      c.peak.found && std::isfinite(c.peak.decibels) ? std::ceil((c.peak.decibels + 5.0) / 10.0) * 10.0 : 0.0;
  spectrum.yHigh = top;
  spectrum.yLow = top - kSpectrumSpanDb;
  spectrum.xLabel = rate > 0.0 ? "Frequency (Hz)" : "Frequency (bin)";
  spectrum.yLabel = Q(c.scale.logUnits);
  spectrum.title = Q("Spectrum, " + std::string(AveragingName(model_.GetAveraging())) + " average of " +
                     std::to_string(c.spectrum.Blocks()));
  if (c.peak.found && std::isfinite(c.peak.decibels)) {
    spectrum.hasMarker = true;
    spectrum.markerX = c.peak.frequency;
    spectrum.markerY = c.peak.decibels;
  }
  spectrum.reduce = [this, side](std::size_t columns, ColumnEnvelope& out) {
    const ChannelView& shown = model_.Channel(side);
    spectrumColumns_[side].Reduce(shown.spectrum, model_.SamplingRate(), shown.scale, columns, out);
  };
  spectra_[side]->SetSeries(std::move(spectrum));
}

void MonitorWindow::Report(const std::string& line) const {
  if (options_.report) std::cout << line << std::endl;
}

void MonitorWindow::ReportEvent(const LinkEvent& event) const {
  switch (event.kind) {
    case EventKind::Command:
      Report("command: " + CommandText(event.command));
      break;
    case EventKind::FftRequest:
      Report("FFT Size asked: " + event.text);
      break;
    case EventKind::Refusal:
      Report("refused: " + event.text);
      break;
    case EventKind::Calibration:
      for (int side = 0; side < 2; ++side) {
        const ChannelScale& s = model_.Channel(side).scale;
        Report(std::string("calibration ") + kSideNames[side] + ": " + s.name + " [" + s.logUnits + "]");
      }
      break;
  }
}

void MonitorWindow::MaybeScreenshot() {
  if (options_.screenshot.empty() || screenshotTaken_ || model_.Blocks() < options_.afterBlocks) return;
  screenshotTaken_ = true;
  const bool saved = grab().save(Q(options_.screenshot));
  Report(saved ? "screenshot " + options_.screenshot : "cannot write " + options_.screenshot);
  QCoreApplication::exit(saved ? 0 : 1);
}

}  // namespace varnel::monitor
