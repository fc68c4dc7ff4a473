#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <thread>

#include "QtTestSupport.h"
#include "SampleDialog.h"
#include "qt/DialogView.h"
#include "qt/QtMessageLoop.h"
#include "qt/QtUiServices.h"
#include "support/TempDir.h"
#include "ui/Messages.h"

namespace varnel::qt {
namespace {

// The file dialog lists its folder in the background; choosing a file
// before the listing is there may be ignored.
void WaitForListing(QFileDialog& dialog, int files) {
  auto* model = dialog.findChild<QFileSystemModel*>();
  ASSERT_NE(nullptr, model);
  const QString folder = dialog.directory().absolutePath();
  ASSERT_TRUE(test::RunUntil([&] { return model->rowCount(model->index(folder)) >= files; }));
}

// Types the name, as a user would; selectFile() leaves a focused name field alone.
void TypeFileName(QFileDialog& dialog, const QString& text) {
  auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(nullptr, name);
  name->setText(text);
}

struct BoxCase {
  uint32_t style;
  QMessageBox::Icon icon;
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton press;
  ui::DialogResult expected;
  const char* screenshot;
};

TEST(QtUiServices, MessageBoxesShowCaptionIconAndButtonsAndReturnTheAnswer) {
  const BoxCase cases[] = {
      {ui::mb::kOk | ui::mb::kIconError, QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok, ui::DialogResult::OK,
       "messagebox_error"},
      {ui::mb::kYesNo | ui::mb::kIconQuestion, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
       QMessageBox::No, ui::DialogResult::No, "messagebox_question"},
      {ui::mb::kYesNo | ui::mb::kIconQuestion, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
       QMessageBox::Yes, ui::DialogResult::Yes, nullptr},
      {ui::mb::kOkCancel | ui::mb::kIconWarning, QMessageBox::Warning, QMessageBox::Ok | QMessageBox::Cancel,
       QMessageBox::Cancel, ui::DialogResult::Cancel, "messagebox_warning"},
      {ui::mb::kYesNoCancel | ui::mb::kIconInformation, QMessageBox::Information,
       QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Cancel, ui::DialogResult::Cancel,
       "messagebox_information"},
  };
  QtUiServices services;
  for (const BoxCase& c : cases) {
    SCOPED_TRACE(c.style);
    test::WhenModal([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(nullptr, box);
      EXPECT_EQ(QStringLiteral("Tessaline"), box->windowTitle());
      EXPECT_EQ(QStringLiteral("Failure <b>deleting</b> file!"), box->text());  // plain text, as given
      EXPECT_EQ(Qt::PlainText, box->textFormat());
      EXPECT_EQ(c.icon, box->icon());
      EXPECT_EQ(c.buttons, box->standardButtons());
      if (c.screenshot) test::SaveScreenshot(*box, c.screenshot);
      QTest::mouseClick(box->button(c.press), Qt::LeftButton);
    });
    EXPECT_EQ(c.expected, services.MessageBox("Failure <b>deleting</b> file!", "Tessaline", c.style));
  }
}

TEST(QtUiServices, EscapeOnAYesNoBoxAnswersNo) {
  QtUiServices services;
  test::WhenModal([](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
  EXPECT_EQ(ui::DialogResult::No, services.MessageBox("Are you sure?", "Tessaline", ui::mb::kYesNo));
}

TEST(QtUiServices, FileFiltersBecomeQtNameFilters) {
  EXPECT_EQ(QStringList{"Wave Files (*.wav)"}, ToQtNameFilters("Wave Files (*.wav)|*.wav||"));
  EXPECT_EQ((QStringList{"Calibration Files (*.cal)", "All Files (*)"}),
            ToQtNameFilters("Calibration Files (*.cal)|*.cal|All Files (*.*)|*.*||"));
  EXPECT_EQ(QStringList{"Sound (*.wav *.aif)"}, ToQtNameFilters("Sound|*.wav;*.aif||"));
  EXPECT_EQ(QStringList{"Text (*.txt)"}, ToQtNameFilters("Text|*.txt"));  // closing bars missing
  EXPECT_TRUE(ToQtNameFilters("").isEmpty());
  EXPECT_EQ(QStringLiteral("cal"), ToDefaultSuffix("*.cal"));
  EXPECT_EQ(QStringLiteral("wav"), ToDefaultSuffix(".wav"));
  EXPECT_EQ(QStringLiteral("ini"), ToDefaultSuffix("ini"));
  EXPECT_EQ(QString(), ToDefaultSuffix(""));
}

TEST(QtUiServices, OpenFileDialogStartsInTheFolderAndReturnsEveryChosenFile) {
  test::TempDir dir;
  test::WriteFile(dir.File("a.wav"), "x");
  test::WriteFile(dir.File("b.wav"), "y");
  QtUiServices services;
  ui::FileDialogRequest request{"Select Files to Delete",
                                "Wave Files (*.wav)|*.wav||",
                                "",
                                dir.Path(),
                                "",
                                ui::fd::kAllowMultiSelect | ui::fd::kFileMustExist | ui::fd::kHideReadOnly};
  test::WhenModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(QStringLiteral("Select Files to Delete"), dialog->windowTitle());
    EXPECT_EQ(QStringList{"Wave Files (*.wav)"}, dialog->nameFilters());
    EXPECT_EQ(QFileDialog::ExistingFiles, dialog->fileMode());
    EXPECT_EQ(QString::fromStdString(dir.Path()), dialog->directory().absolutePath());
    WaitForListing(*dialog, 2);
    test::SaveScreenshot(*dialog, "filedialog_open");
    TypeFileName(*dialog, QStringLiteral("\"a.wav\" \"b.wav\""));
    static_cast<QDialog*>(dialog)->accept();
  });
  auto files = services.OpenFileDialog(request);
  ASSERT_TRUE(files.has_value());
  EXPECT_EQ((std::vector<std::string>{dir.File("a.wav"), dir.File("b.wav")}), *files);

  test::WhenModal([](QWidget* modal) { modal->close(); });
  EXPECT_FALSE(services.OpenFileDialog(request).has_value());
}

TEST(QtUiServices, SaveFileDialogAddsTheDefaultExtensionAndAsksBeforeOverwriting) {
  test::TempDir dir;
  test::WriteFile(dir.File("old.cal"), "x");
  QtUiServices services;
  ui::FileDialogRequest request{"Save Calibration File", "Calibration Files (*.cal)|*.cal||", "*.cal", dir.Path(), "",
                                ui::fd::kOverwritePrompt};
  test::WhenModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(QFileDialog::AcceptSave, dialog->acceptMode());
    WaitForListing(*dialog, 1);
    TypeFileName(*dialog, QStringLiteral("new"));
    static_cast<QDialog*>(dialog)->accept();
  });
  EXPECT_EQ(std::optional<std::string>(dir.File("new.cal")), services.SaveFileDialog(request));

  bool asked = false;
  test::WhenModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(nullptr, dialog);
    WaitForListing(*dialog, 1);
    test::WhenModal([&](QWidget* box) {
      auto* question = qobject_cast<QMessageBox*>(box);
      ASSERT_NE(nullptr, question);
      asked = true;
      QTest::mouseClick(question->button(QMessageBox::Yes), Qt::LeftButton);
    });
    TypeFileName(*dialog, QStringLiteral("old.cal"));
    static_cast<QDialog*>(dialog)->accept();
  });
  EXPECT_EQ(std::optional<std::string>(dir.File("old.cal")), services.SaveFileDialog(request));
  EXPECT_TRUE(asked);
}

class Recorder : public ui::MessageHandler {
 public:
  intptr_t HandleMessage(const ui::Message& message) override {
    received.push_back(message);
    if (onMessage) onMessage(message);
    return 1;
  }
  std::vector<ui::Message> received;
  std::function<void(const ui::Message&)> onMessage;
};

TEST(QtUiServices, PostsFromAnotherThreadArriveInOrderDuringAModalDialog) {
  QtMessageLoop loop;
  Recorder handler;
  loop.SetHandler(&handler);
  QtUiServices services(&loop);
  test::SampleDialog dialog;
  constexpr uintptr_t kCount = 2000;
  std::thread board;
  int ticksDuringModal = 0;
  bool lastArrived = false;
  handler.onMessage = [&](const ui::Message& message) {
    if (message.id == ui::WM_TIMER) ++ticksDuringModal;
    if (message.id == ui::kBufferDoneMessage && message.wParam == kCount - 1) lastArrived = true;
    // The model ends from inside a message handler: the view must notice. It
    // waits for a tick too, which a busy machine may give only after the last buffer.
    if (lastArrived && ticksDuringModal > 0 && !dialog.IsEnded()) dialog.EndDialog(ui::DialogResult::OK);
  };
  test::WhenModal([&](QWidget*) {
    loop.SetTimer(ui::kRefreshTimerId, 5);
    board = std::thread([&] {
      for (uintptr_t i = 0; i < kCount; ++i) {
        loop.Post({ui::kBufferDoneMessage, i, static_cast<intptr_t>(i * 3)});
        if (i % 100 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    });
  });
  EXPECT_EQ(ui::DialogResult::OK, services.RunModal(dialog));
  if (board.joinable()) board.join();
  loop.KillTimer(ui::kRefreshTimerId);
  std::vector<uintptr_t> order;
  for (const ui::Message& m : handler.received)
    if (m.id == ui::kBufferDoneMessage) {
      order.push_back(m.wParam);
      EXPECT_EQ(static_cast<intptr_t>(m.wParam * 3), m.lParam);
    }
  ASSERT_EQ(kCount, order.size());
  for (uintptr_t i = 0; i < kCount; ++i) ASSERT_EQ(i, order[i]);
  EXPECT_GT(ticksDuringModal, 0);
}

TEST(QtUiServices, TheConfiguratorSeesEveryModalView) {
  QtUiServices services;
  test::SampleDialog dialog;
  ui::Dialog* seen = nullptr;
  services.SetViewConfigurator([&](ui::Dialog& model, DialogView& view) {
    seen = &model;
    view.Widget().SetCloseHandler([&model] { model.EndDialog(ui::DialogResult::No); });
  });
  // The title-bar button is the close command; Escape stays the dialog's cancel.
  test::WhenModal([](QWidget* modal) { modal->close(); });
  EXPECT_EQ(ui::DialogResult::No, services.RunModal(dialog));
  EXPECT_EQ(&dialog, seen);
}

TEST(QtUiServices, WaitCursorIsSetOnceAndRestored) {
  QtUiServices services;
  services.SetWaitCursor(true);
  services.SetWaitCursor(true);
  ASSERT_NE(nullptr, QApplication::overrideCursor());
  EXPECT_EQ(Qt::WaitCursor, QApplication::overrideCursor()->shape());
  services.SetWaitCursor(false);
  EXPECT_EQ(nullptr, QApplication::overrideCursor());
}

}  // namespace
}  // namespace varnel::qt
