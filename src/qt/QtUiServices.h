#pragma once
// UiServices on Qt: message boxes, the file dialogs, modal runs of any
// ui::Dialog through a DialogView, and the wait cursor. Every box and dialog
// runs a nested event loop, so posted messages and timers keep being handled
// while it is open.
//
// Main thread only.

#include <QStringList>
#include <functional>

#include "ui/UiServices.h"

class QWidget;

namespace varnel::qt {

class DialogView;
class QtMessageLoop;

// "Description|pattern;pattern|...||" as Qt's name filters
// ("Description (pattern pattern)"). "*.*" means every file.
QStringList ToQtNameFilters(std::string_view filter);
// "*.cal", ".cal" and "cal" all mean the extension "cal".
QString ToDefaultSuffix(std::string_view extension);

class QtUiServices : public ui::UiServices {
 public:
  // With a loop, a modal view also notices a model that ended itself while
  // handling a posted message.
  explicit QtUiServices(QtMessageLoop* loop = nullptr) : loop_(loop) {}
  ~QtUiServices() override;

  // Called with each view before its run, to fit it to its model (the main
  // window hands its model the view's canvas, sets its icon, close handler...).
  using ViewConfigurator = std::function<void(ui::Dialog&, DialogView&)>;
  void SetViewConfigurator(ViewConfigurator configurator) { configurator_ = std::move(configurator); }

  ui::DialogResult MessageBox(std::string_view text, std::string_view caption, uint32_t style) override;
  std::optional<std::vector<std::string>> OpenFileDialog(const ui::FileDialogRequest& request) override;
  std::optional<std::string> SaveFileDialog(const ui::FileDialogRequest& request) override;
  ui::DialogResult RunModal(ui::Dialog& dialog) override;
  void SetWaitCursor(bool on) override;

 private:
  static QWidget* ModalParent();

  QtMessageLoop* loop_;
  ViewConfigurator configurator_;
  bool waitCursor_ = false;
};

}  // namespace varnel::qt
