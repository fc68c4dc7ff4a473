#pragma once
// The recording engine: what a recording needs beyond one call — the
// configuration it records with, the acquisition device, the recording file
// set, the calibration records, the analyser link and the run state — and the
// Run and Stop sequences and the buffer path. Front ends (the main window, the
// headless recorder) drive it and hear what happens through its observer; it
// asks the user its questions through UiServices.
//
// Main thread only; the board's thread only posts messages to the loop.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/AcquisitionDevice.h"
#include "analyzer/AnalyzerLink.h"
#include "calibration/ChannelScale.h"
#include "engine/RecordingFileSet.h"
#include "engine/TimedRun.h"
#include "engine/TriggerStage.h"
#include "platform/MessageLoop.h"
#include "records/ChannelSettings.h"
#include "ui/UiServices.h"
#include "wave/CalibrationRecord.h"

namespace varnel {

// What a front end hears of a recording. Called on the main thread, from
// inside the engine's operations; the defaults ignore it.
class RecordingObserver {
 public:
  virtual ~RecordingObserver() = default;
  // The status line's new text (" Running...", " Stopped", ...), told when it changes.
  virtual void StatusChanged(const std::string& text) { (void)text; }
  // The board runs: what must not change during a run is locked now.
  virtual void RunStarted() {}
  // The board has stopped (bIsRunning is 0); the files are being saved.
  virtual void AcquisitionStopped() {}
  // The run is over and the device closed.
  virtual void RunEnded() {}
  // After every buffer: the Level of every enabled channel is new.
  virtual void LevelsChanged() {}
  // The user took the lower sampling rate that the Run offered.
  virtual void SamplingRateChanged(int32_t rate) { (void)rate; }
  // A channel stopped being written (written false) or is written again;
  // `notice` is what the user is told of it.
  virtual void ChannelWritingChanged(int32_t channel, bool written, const std::string& notice) {
    (void)channel, (void)written, (void)notice;
  }
  // The board overran `atSeconds` into the run; `count` overruns in this run so far.
  virtual void OverrunCounted(std::size_t count, double atSeconds) { (void)count, (void)atSeconds; }
  // A level-triggered run's event is in its files; `line` tells it (time of
  // the trigger sample, channel, level reached, frames before and after).
  virtual void EventRecorded(const TriggerEvent& event, const std::string& line) { (void)event, (void)line; }
};

struct EngineServices {
  ui::UiServices* ui = nullptr;           // the questions and the boxes of a Run
  platform::MessageLoop* loop = nullptr;  // the board's messages, the refresh timer, the engine's own messages
  std::unique_ptr<BoardApi> board;
  std::unique_ptr<AnalyzerTransport> transport;
  std::string analyzerSettingsPath;  // orvantis.ini, read anew at every Run
};

class RecordingEngine : public platform::MessageHandler {
  // First: Device drives it until the very end.
  std::unique_ptr<BoardApi> board_;

 public:
  explicit RecordingEngine(EngineServices services);
  ~RecordingEngine() override;
  RecordingEngine(const RecordingEngine&) = delete;
  RecordingEngine& operator=(const RecordingEngine&) = delete;

  // nullptr: nobody hears.
  void SetObserver(RecordingObserver* observer) { observer_ = observer; }

  // The board's messages (buffer done, overrun), the refresh timer, the
  // calibration re-send and the run's notices; 0 for every other message.
  intptr_t HandleMessage(const platform::Message& message) override;

  // The device list and the chosen device.
  // Fills the board table; DeviceIndex stays within it (-1: no board). Returns the count.
  int32_t EnumerateDevices();
  // The capabilities of the device at DeviceIndex (or of the open one), into Settings.
  void QueryDeviceCapabilities();
  // The channels the chosen device offers: rows beyond MaxChannels are neither
  // enabled, recorded nor monitored; a device of one gain records every row at gain 1.
  void FitChannelsToDevice();
  // DeviceIndex = index, as the user chose it (its name is kept), with its capabilities.
  void ChooseDevice(int32_t index);
  // The device at DeviceIndex is the chosen one (its name is kept).
  void NoteChosenDevice();
  // False, after saying so, when the device at DeviceIndex is not the one chosen.
  bool CheckChosenDevice();
  // What the window's grid makes of the records when a Run reads them, for
  // front ends without one: every flag is 0 or 1, and a channel that is not
  // enabled is neither recorded nor monitored.
  void NormaliseChannelFlags();

  // Run/Stop.
  // Starts a run with Channels and Settings as they are; stops one that runs.
  void OnRun();
  int ValidateSamplingRate();
  void StopRecording();
  intptr_t OnBufferDone();
  intptr_t OnBufferOverrun();
  void OnRefreshTimer();
  // The notices of what the run lost, found inside the buffer path, shown now.
  void ShowRunNotices();

  // Recording file set. WriteChannelData is the buffer path's end: every
  // converted buffer reaches the files through it, the board's last one at
  // Stop included.
  int CreateWaveFiles() { return Files.CreateWaveFiles(); }
  void WriteChannelData();
  void SaveWaveFiles() { Files.SaveWaveFiles(); }
  bool LoadChannelCalibrations();

  const std::string& Status() const { return status_; }
  // The level trigger of the run (on when the run started with it).
  bool LevelTriggered() const { return levelTriggered_; }
  const TriggerStage& Trigger() const { return trigger_; }
  // A run with a start time that still waits for it.
  bool WaitingForStart() const { return timed_ && timingPlan_.startUtc && !timedStarted_; }

  ChannelSettingsArray Channels = DefaultChannels();
  RecorderSettings Settings = DefaultRecorderSettings();
  int32_t bIsRunning = 0;
  std::array<CalibrationRecord, kChannelCount> CalibrationRecords{};
  AcquisitionDevice Device;
  RecordingFileSet Files;
  AnalyzerLink Link;

 private:
  void SetStatus(const std::string& text);
  bool CheckFolders();
  bool CheckLabels();
  bool CheckGainsOffered();
  bool CheckRunOnDevice();
  bool CheckSplitPeriod();
  bool ConfigureAndStart();
  void AbandonRun(bool saveFiles, bool disconnect);
  void QueueRunNotice(const std::string& text);
  // The run's time line, from the clock: where it began at the latest (each
  // buffer bounds it, as no frame arrives before it was sampled), and the
  // frames lost beyond what was delivered.
  void NoteBufferTime();
  uint64_t MeasureLoss();
  // The latest converted buffer, channel by channel.
  ChannelBlocks ConvertedBuffer();
  // The level trigger (TriggerPath.cpp): its plan, made before anything of
  // the run is, and the stage every buffer goes through while it is on.
  bool CheckLevelTrigger();
  ChannelScale TriggerChannelScale() const;
  void StartLevelTrigger();
  void TakeTriggered(const ChannelBlocks& buffer);
  void TriggerOverrun(uint64_t lost, double at);
  void EndLevelTrigger();
  // A run with a start or stop time (TimedPath.cpp): its plan, made before
  // anything of the run is, and its window on the run's timeline, which every
  // buffer goes through while it is on.
  bool CheckTiming();
  void StartTiming();
  void TakeTimed(const ChannelBlocks& buffer);
  void TimedOverrun(uint64_t lost);
  bool TimedRunOver() const;
  void EndTiming();
  std::string RunningStatus() const;
  std::string EventLine(const TriggerEvent& event) const;
  // The trigger stage's frames into the files, its events to the observer.
  class EventWriter : public TriggerSink {
   public:
    explicit EventWriter(RecordingEngine& engine) : engine_(engine) {}
    void EventBegins(const TriggerEvent& event) override;
    void Write(const ChannelBlocks& piece) override;
    void EventEnds(const TriggerEvent& event) override;

   private:
    RecordingEngine& engine_;
  };

  ui::UiServices& ui_;
  platform::MessageLoop& loop_;
  RecordingObserver* observer_ = nullptr;
  std::string status_ = " Stopped";
  std::vector<std::string> runNotices_;
  uint32_t runTick_ = 0;       // the clock at the Start of the run
  double startBoundMs_ = 0.0;  // the run's first frame, at the latest, in ms after runTick_
  bool startBound_ = false;    // a buffer has set startBoundMs_
  uint64_t lostFrames_ = 0;    // frames of the run lost to overruns
  bool levelTriggered_ = false;
  TriggerPlan triggerPlan_;
  ChannelScale triggerScale_;
  std::string waitingStatus_;
  TriggerStage trigger_;
  EventWriter eventWriter_{*this};
  bool timed_ = false;
  TimingPlan timingPlan_;
  std::string waitingUntil_;
  RunWindow window_;
  bool windowKnown_ = false;  // the run's first sample is placed in time
  bool timedStarted_ = false;  // the window's first frame has come
  uint64_t timedFrame_ = 0;    // the run's frame of the next buffer's first, frames lost included
};

}  // namespace varnel
