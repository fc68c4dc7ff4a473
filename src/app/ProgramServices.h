#pragma once
// What every program of the recorder is made of on this platform: where it is
// (and so its settings files), its boards and its analyser transport. The
// window's main(), the Win32 window's WinMain() and the headless recorder's
// main() all get them here, and give them to the dialog or the engine.
//
// Main thread only.

#include <memory>

#include "analyzer/AnalyzerTransport.h"
#include "app/RecorderApp.h"
#include "app/RecorderDialog.h"
#include "boards/BoardApi.h"
#include "engine/RecordingEngine.h"
#include "platform/MessageLoop.h"
#include "ui/UiServices.h"

namespace varnel {

struct ProgramServices {
  RecorderApp app;  // must outlive what it is given to
  std::unique_ptr<BoardApi> board;
  std::unique_ptr<AnalyzerTransport> transport;
};

// The running program's: its folder and its settings folder from the
// executable, and the board set and the analyser transport of this platform.
ProgramServices ComposeProgramServices();

// The window's services: the program's parts with the view's ui and loop.
RecorderServices RecorderServicesOf(ProgramServices& program, ui::UiServices& ui, platform::MessageLoop& loop);
// The engine's, for a front end without a window.
EngineServices EngineServicesOf(ProgramServices& program, ui::UiServices& ui, platform::MessageLoop& loop);

}  // namespace varnel
