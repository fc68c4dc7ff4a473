#pragma once
// UiServices on plain Win32: MessageBoxA with the logic's own captions, texts
// and styles; the common open- and save-file dialogs; modal runs of any
// ui::Dialog through a DialogWindow; the wait cursor. Every box and dialog
// runs the platform's modal loop, so posted messages and timers keep being
// handled while it is open.
//
// Main thread only.

#include "win32/Windows.h"

#include <functional>
#include <string>
#include <vector>

#include "platform/MessageLoop.h"
#include "ui/UiServices.h"
#include "win32/DialogWindow.h"

namespace varnel::win32 {

// "Description|pattern|...||" as the file dialogs' filter: pairs of
// zero-terminated texts, ending in an empty one.
std::string ToFilterPairs(std::string_view filter);
// "*.cal", ".cal" and "cal" all mean the extension "cal".
std::string ToDefaultExtension(std::string_view extension);
// The names a multi-select open dialog returns: the folder then the names,
// zero-separated, or one full path. Full paths either way.
std::vector<std::string> SplitSelection(const char* buffer, std::size_t size);

class Win32UiServices : public ui::UiServices {
 public:
  Win32UiServices() = default;
  ~Win32UiServices() override;

  // Called with each view before its run (the main window wires its meters,
  // icon, placement and close command).
  using ViewConfigurator = std::function<void(ui::Dialog&, DialogWindow&)>;
  void SetViewConfigurator(ViewConfigurator configurator) { configurator_ = std::move(configurator); }

  ui::DialogResult MessageBox(std::string_view text, std::string_view caption, uint32_t style) override;
  std::optional<std::vector<std::string>> OpenFileDialog(const ui::FileDialogRequest& request) override;
  std::optional<std::string> SaveFileDialog(const ui::FileDialogRequest& request) override;
  ui::DialogResult RunModal(ui::Dialog& dialog) override;
  void SetWaitCursor(bool on) override;
  bool WaitCursor() const { return waitCursor_; }

  // The innermost open dialog (message boxes and dialogs are owned by it).
  HWND ActiveOwner() const;
  // Every dialog open now, outermost first.
  const std::vector<DialogWindow*>& OpenViews() const { return views_; }

  // The buffer the open dialog returns its names in (the logic's 260
  // characters, or more for a wider multi-selection).
  void SetOpenBufferSize(std::size_t size) { openBufferSize_ = size; }

  // Ends every open dialog whose model has ended. Called after each posted
  // message (ViewMessageHandler); call it after ending a model from anywhere else.
  void CheckEnded();

 private:
  ViewConfigurator configurator_;
  std::vector<DialogWindow*> views_;
  bool waitCursor_ = false;
  HCURSOR previousCursor_ = nullptr;
  std::size_t openBufferSize_ = 260;
};

// Between the message loop and its handler: after each message, the dialogs
// whose models ended while handling it are closed.
class ViewMessageHandler : public platform::MessageHandler {
 public:
  ViewMessageHandler(platform::MessageHandler& inner, Win32UiServices& ui) : inner_(inner), ui_(ui) {}
  intptr_t HandleMessage(const platform::Message& message) override {
    const intptr_t result = inner_.HandleMessage(message);
    ui_.CheckEnded();
    return result;
  }

 private:
  platform::MessageHandler& inner_;
  Win32UiServices& ui_;
};

}  // namespace varnel::win32
