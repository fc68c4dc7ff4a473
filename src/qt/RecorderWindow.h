#pragma once
// The main window: a view of RecorderDialog's model with its meters, its
// icon, its placement and the close command wired to the close sequence.
//
// Main thread only.

#include <QIcon>
#include <memory>

#include "app/RecorderDialog.h"
#include "qt/DialogView.h"
#include "qt/QtWindowHost.h"

namespace varnel::qt {

// The program's icon, drawn rather than loaded so the program needs no files.
QIcon RecorderIcon();

class RecorderWindow {
 public:
  // Close requests go through the loop, so the view sees the window end.
  RecorderWindow(RecorderDialog& recorder, platform::MessageLoop& loop);
  // Called for the view of the main window before it runs.
  void Attach(DialogView& view);

 private:
  void FitWindow();
  void DrawMeters();

  RecorderDialog& recorder_;
  platform::MessageLoop& loop_;
  DialogView* view_ = nullptr;
  std::unique_ptr<QtWindowHost> host_;
};

}  // namespace varnel::qt
