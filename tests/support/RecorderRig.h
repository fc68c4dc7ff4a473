#pragma once
// A recorder on the simulated board in step mode, in a recorder folder of its
// own, with a fake clock, scripted answers and the program's transport: the
// main window's logic as the windows open it (Open), or the engine alone as
// the headless recorder drives it (OpenEngine).

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/RecorderDialog.h"
#include "app/SettingsFile.h"
#include "boards/sim/SimulatedBoard.h"
#include "calibration/CalibrationFile.h"
#include "engine/RecordingEngine.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/FixedString.h"
#include "platform/QueueMessageLoop.h"
#include "support/RecorderFolder.h"
#include "support/ScriptedUiServices.h"
#include "wave/WaveIO.h"

namespace varnel::test {

class RecorderRig : public RecorderFolder {
 public:
  RecorderRig();
  ~RecorderRig();

  // Writes the settings file and opens the window's logic on it, on the
  // simulated board in step mode or on the given board.
  void Open();
  void Open(std::unique_ptr<BoardApi> driver);
  // The engine alone, set up from the settings file as varnel-record does.
  void OpenEngine();

  RecordingEngine& Engine() { return dialog ? dialog->Engine : *engine; }
  // Presses Run (or starts the engine), going on without the analyser.
  void Run();

  // One buffer of known codes: entry e of frame f holds 32768 + 1000 e + f % 700.
  void StepBuffers(int count);
  // The sample the board produced for list entry e at frame f of the run.
  static int16_t Expected(int32_t entry, int64_t frame) { return static_cast<int16_t>(1000 * entry + frame % 700); }

  // The fake clock the run's waits and times go through.
  platform::FakeClock& Clock() { return clock_; }

  ScriptedUiServices ui;
  platform::QueueMessageLoop loop;
  sim::SimulatedBoard* board = nullptr;
  std::unique_ptr<RecorderDialog> dialog;
  std::unique_ptr<RecordingEngine> engine;

 private:
  std::unique_ptr<BoardApi> SteppedBoard();

  platform::FakeClock clock_;
  platform::ScopedClock scoped_;
  int bufferIndex_ = 0;
};

}  // namespace varnel::test
