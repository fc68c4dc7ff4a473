// The real main window on the simulated board, driven as a user would.

#include <gtest/gtest.h>

#include "app/RecorderApp.h"
#include "app/RecorderDialog.h"
#include "app/SettingsFile.h"
#include "boards/sim/SimulatedBoard.h"
#include "platform/Files.h"
#include "platform/FixedString.h"
#include "platform/Profile.h"
#include "support/RecorderFolder.h"
#include "transport/dbus/DbusTransport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QElapsedTimer>
#include <QImage>

#include "QtTestSupport.h"
#include "app/LabelDialog.h"
#include "app/RecordingOptionsDialog.h"
#include "calibration/CalibrationOptionsDialog.h"
#include "calibration/CreateCalibrationDialog.h"
#include "platform/Messages.h"
#include "qt/QtMessageLoop.h"
#include "qt/QtUiServices.h"
#include "qt/RecorderWindow.h"
#include "qt/TerminationSignals.h"

#include <csignal>
#include <sys/resource.h>

namespace varnel {
namespace {

// Select all and delete, as a user would (a programmatic clear is no edit).
void ClearAsTyped(QLineEdit* edit) {
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(edit, Qt::Key_Backspace);
}

// One recorder with its window in a recorder folder of its own, channels 0
// to 2 enabled, every channel with a calibration file; the test plays the
// user inside the window's run.
class WindowRig : public test::RecorderFolder {
 public:
  WindowRig() {
    UseChannels({0, 1, 2});
    for (int i = 3; i < kChannelCount; ++i) GiveCalibrationFile(i);
    settings.SamplingRate = 20000;
    WriteSettings();

    RecorderServices services;
    services.ui = &ui;
    services.loop = &loop;
    services.board = sim::MakeSimulatedBoard(dir.File("olsim.ini"));
    services.transport = MakeDbusTransport();
    services.app = &app;
    recorder = std::make_unique<RecorderDialog>(std::move(services));
    loop.SetHandler(recorder.get());
    window = std::make_unique<qt::RecorderWindow>(*recorder, loop);
    ui.SetViewConfigurator([this](ui::Dialog& d, qt::DialogView& v) {
      if (&d != recorder.get()) return;
      view = &v;
      window->Attach(v);
    });
  }
  ~WindowRig() { loop.SetHandler(nullptr); }

  // Runs the window; `script` plays the user once it is shown.
  ui::DialogResult RunWith(std::function<void()> script) {
    QTimer::singleShot(0, [this, script] {
      ASSERT_TRUE(test::RunUntil([this] { return view && view->isVisible(); }));
      script();
    });
    return ui.RunModal(*recorder);
  }

  QAbstractButton* Button(int32_t id) { return qobject_cast<QAbstractButton*>(view->Widget().ControlWidget(id)); }
  void Click(int32_t id) {
    ASSERT_NE(nullptr, Button(id)) << id;
    QTest::mouseClick(Button(id), Qt::LeftButton);
  }
  // Clicks a button that opens a modal window, which `user` then handles.
  void ClickIntoModal(int32_t id, const std::function<void(QWidget*)>& user) {
    test::WhenModal(user);
    Click(id);
  }
  static void AnswerBox(QWidget* box, QMessageBox::StandardButton button, std::string* text = nullptr) {
    auto* message = qobject_cast<QMessageBox*>(box);
    ASSERT_NE(nullptr, message);
    if (text) *text = message->text().toStdString();
    QAbstractButton* answer = message->button(button);
    ASSERT_NE(nullptr, answer) << message->text().toStdString();
    QTest::mouseClick(answer, Qt::LeftButton);
  }
  std::string Status() { return recorder->GetText(kIdStatus); }
  QString StatusShown() {
    auto* label = qobject_cast<QLabel*>(view->Widget().ControlWidget(kIdStatus));
    return label ? label->text() : QString();
  }

  qt::QtMessageLoop loop;
  qt::QtUiServices ui{&loop};
  std::unique_ptr<RecorderDialog> recorder;
  std::unique_ptr<qt::RecorderWindow> window;
  qt::DialogView* view = nullptr;
};

TEST(MainWindow, AUserConfiguresRecordsAndStopsThroughTheWindow) {
  WindowRig rig;
  std::string emptyLabelMessage, shortTimeMessage;
  int levelBefore = 0;
  ui::DialogResult result = rig.RunWith([&] {
    RecorderDialog& r = *rig.recorder;
    EXPECT_EQ(QStringLiteral("OV5 Tessaline"), rig.view->windowTitle());
    EXPECT_EQ(QStringLiteral(" Stopped"), rig.StatusShown());
    const GridRow& row = kGridRows[1];
    rig.Click(row.rec);
    rig.Click(row.left);
    rig.Click(kGridRows[2].right);
    rig.Click(kGridRows[2].rec);
    EXPECT_EQ(1, r.Channels[1].bIsRecording);
    EXPECT_TRUE(rig.Button(row.left)->isChecked());
    // Untick Enable of row 0: its Rec, L, R are cleared and disabled.
    rig.Click(kGridRows[0].rec);
    rig.Click(kGridRows[0].enable);
    EXPECT_FALSE(rig.Button(kGridRows[0].rec)->isEnabled());
    EXPECT_FALSE(rig.Button(kGridRows[0].rec)->isChecked());
    EXPECT_EQ(0, r.Channels[0].bIsRecording);
    rig.Click(row.gain);
    EXPECT_EQ(QStringLiteral("2"), rig.Button(row.gain)->text());
    EXPECT_EQ(2, r.Channels[1].Gain);

    // The label editor refuses an empty label, then takes one.
    rig.ClickIntoModal(row.label, [&](QWidget* dialog) {
      auto* view = qobject_cast<qt::DialogView*>(dialog);
      ASSERT_NE(nullptr, view);
      auto* edit = qobject_cast<QLineEdit*>(view->Widget().ControlWidget(LabelDialog::kIdLabel));
      ClearAsTyped(edit);
      test::WhenModal([&](QWidget* box) {
        WindowRig::AnswerBox(box, QMessageBox::Ok, &emptyLabelMessage);
        QTimer::singleShot(20, view, [view, edit] {
          QTest::keyClicks(edit, "Pressure");
          QTest::mouseClick(qobject_cast<QPushButton*>(view->Widget().ControlWidget(ui::kIdOk)), Qt::LeftButton);
        });
      });
      QTest::mouseClick(qobject_cast<QPushButton*>(view->Widget().ControlWidget(ui::kIdOk)), Qt::LeftButton);
    });
    EXPECT_EQ(QStringLiteral("Pressure"), rig.Button(row.label)->text());

    // The options dialog refuses 0.09 s.
    rig.ClickIntoModal(kIdOptions, [&](QWidget* dialog) {
      auto* view = qobject_cast<qt::DialogView*>(dialog);
      ASSERT_NE(nullptr, view);
      // A press on the box itself (its rectangle is wider than its text).
      qobject_cast<QAbstractButton*>(view->Widget().ControlWidget(RecordingOptionsDialog::kIdTriggerEnable))->click();
      auto* time = qobject_cast<QLineEdit*>(view->Widget().ControlWidget(RecordingOptionsDialog::kIdPostTriggerTime));
      ClearAsTyped(time);
      QTest::keyClicks(time, "0.09");
      test::WhenModal([&](QWidget* box) {
        WindowRig::AnswerBox(box, QMessageBox::Ok, &shortTimeMessage);
        QTimer::singleShot(20, view, [view] {
          QTest::mouseClick(qobject_cast<QPushButton*>(view->Widget().ControlWidget(ui::kIdCancel)), Qt::LeftButton);
        });
      });
      QTest::mouseClick(qobject_cast<QPushButton*>(view->Widget().ControlWidget(ui::kIdOk)), Qt::LeftButton);
    });
    EXPECT_EQ(0, r.Settings.TriggerEnable);

    // Run on the simulated board in real time.
    levelBefore = r.Channels[1].Level;
    rig.ClickIntoModal(kIdRun, [](QWidget* box) { WindowRig::AnswerBox(box, QMessageBox::Yes); });
    EXPECT_EQ(QStringLiteral("&Stop"), rig.Button(kIdRun)->text());
    EXPECT_FALSE(rig.view->Widget().ControlWidget(kIdOptions)->isEnabled());
    EXPECT_TRUE(test::RunUntil([&] { return r.Engine.Device.GetRunTime() > 1.0f; }));
    EXPECT_EQ(QStringLiteral(" Running..."), rig.StatusShown());
    EXPECT_NE(levelBefore, r.Channels[1].Level);
    EXPECT_GT(rig.view->Widget().Canvas().OperationCount(), 0u);
    test::SaveScreenshot(*rig.view, "main-window-running");
    rig.Click(kIdRun);
    EXPECT_EQ(QStringLiteral(" Stopped"), rig.StatusShown());
    rig.view->close();  // the title-bar close button
  });
  EXPECT_EQ(ui::DialogResult::OK, result);
  EXPECT_EQ("The channel label must have at least one character", emptyLabelMessage);
  EXPECT_EQ("The post trigger run time must be at least 0.100 sec.", shortTimeMessage);
  EXPECT_TRUE(platform::FileExists(rig.wavePath + "/Pressure.wav"));
  EXPECT_TRUE(platform::FileExists(rig.wavePath + "/Channel_2.wav"));
  EXPECT_FALSE(platform::FileExists(rig.wavePath + "/Channel_0.wav"));
  const std::string ini = FieldText(rig.app.SettingsFilePath).data();
  EXPECT_EQ("Pressure", platform::ReadProfileString(ini, "Channel_1", "szLabel", "", 256));
  EXPECT_EQ(2, platform::ReadProfileInt(ini, "Channel_1", "Gain", 0));
  EXPECT_NE("", platform::ReadProfileString(ini, "Main", "WindowPosition", "", 128));
}

TEST(MainWindow, ClosingWhileRunningSavesTheFilesAndTheSettings) {
  WindowRig rig;
  rig.RunWith([&] {
    rig.Click(kGridRows[0].rec);
    rig.ClickIntoModal(kIdRun, [](QWidget* box) { WindowRig::AnswerBox(box, QMessageBox::Yes); });
    ASSERT_TRUE(test::RunUntil([&] { return rig.recorder->Engine.Device.GetRunTime() > 0.5f; }));
    rig.view->close();
  });
  EXPECT_EQ(0, rig.recorder->bIsRunning);
  EXPECT_TRUE(platform::FileExists(rig.wavePath + "/Channel_0.wav"));
  const std::string ini = FieldText(rig.app.SettingsFilePath).data();
  EXPECT_EQ(1, platform::ReadProfileInt(ini, "Channel_0", "bIsRecording", 0));
}

TEST(MainWindow, EscapeAndTheSessionEndingNeverLoseARecording) {
  WindowRig rig;
  qt::TerminationSignals termination([&](int) { rig.loop.Post({platform::WM_CLOSE, 0, 0}); });
  rig.RunWith([&] {
    rig.Click(kGridRows[1].rec);
    rig.ClickIntoModal(kIdRun, [](QWidget* box) { WindowRig::AnswerBox(box, QMessageBox::Yes); });
    ASSERT_TRUE(test::RunUntil([&] { return rig.recorder->Engine.Device.GetRunTime() > 0.5f; }));
    QTest::keyClick(rig.view, Qt::Key_Escape);
    QTest::qWait(100);
    EXPECT_TRUE(rig.view->isVisible());
    EXPECT_EQ(1, rig.recorder->bIsRunning);
    std::raise(SIGTERM);
  });
  EXPECT_EQ(0, rig.recorder->bIsRunning);
  EXPECT_TRUE(platform::FileExists(rig.wavePath + "/Channel_1.wav"));
  const std::string ini = FieldText(rig.app.SettingsFilePath).data();
  EXPECT_EQ(1, platform::ReadProfileInt(ini, "Channel_1", "bIsRecording", 0));
}

// Saves the look of a modal dialog once it is shown, then cancels it.
void ShootAndCancel(ui::UiServices& ui, ui::Dialog& dialog, const std::string& name) {
  test::WhenModal([name](QWidget* shown) {
    QTest::qWait(20);
    test::SaveScreenshot(*shown, name);
    auto* view = qobject_cast<qt::DialogView*>(shown);
    ASSERT_NE(nullptr, view);
    QTest::mouseClick(qobject_cast<QPushButton*>(view->Widget().ControlWidget(ui::kIdCancel)), Qt::LeftButton);
  });
  EXPECT_EQ(ui::DialogResult::Cancel, ui.RunModal(dialog));
}

TEST(Screenshot, TheMainWindowIdleAndEveryDialog) {
  WindowRig rig;
  rig.RunWith([&] {
    QTest::qWait(20);
    const QString idle = test::SaveScreenshot(*rig.view, "main-window-idle");
    QImage image(idle);
    EXPECT_EQ(rig.view->size() * rig.view->devicePixelRatio(), image.size());
    rig.view->close();
  });
  char label[256] = "Pressure";
  LabelDialog labelDialog(rig.ui, 3, label);
  ShootAndCancel(rig.ui, labelDialog, "label-dialog");
  // The options with the level trigger on a channel in pascals, for the README.
  RecorderSettings settings = DefaultRecorderSettings();
  CopyCut(settings.szWavePath, "/home/user/orvanta/wave");
  CopyCut(settings.szCalPath, "/home/user/orvanta/cal");
  rig.MeasureInPascals(2);
  CopyCut(rig.channels[2].szLabel, "Mic");
  settings.LevelTriggerEnable = 1;
  settings.LevelTriggerChannel = 2;
  settings.LevelTrigger = {2.0, false};
  settings.PreTriggerSeconds = 0.5;
  settings.PostTriggerRunTime = 2.0f;
  settings.TriggerEvents = 5;
  CopyCut(settings.StartAt, "08:00");
  CopyCut(settings.StopAt, "18:00");
  settings.SplitEverySeconds = 3600;
  RecordingOptionsDialog options(rig.ui, settings, rig.channels);
  ShootAndCancel(rig.ui, options, "recording-options-dialog");
  char cal[260] = "/home/user/orvanta/cal/mic.cal";
  CalibrationOptionsDialog calibration(rig.dir.File("cal"), cal, "varnel", rig.ui);
  ShootAndCancel(rig.ui, calibration, "calibration-options-dialog");
  char created[260] = {};
  CreateCalibrationDialog create(rig.dir.File("cal"), created, "varnel", rig.ui);
  ShootAndCancel(rig.ui, create, "create-calibration-dialog");
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Not a test of a figure: bench/window_load.sh runs it to measure the share of
// a core the window uses while recording 16 channels at the board's maximum.
TEST(Load, DISABLED_SixteenChannelsAtTheMaximumRate) {
  WindowRig rig;
  const double seconds = qEnvironmentVariableIntValue("VARNEL_LOAD_SECONDS") > 0
                             ? qEnvironmentVariableIntValue("VARNEL_LOAD_SECONDS")
                             : 20.0;
  rig.RunWith([&] {
    for (int i = 0; i < kChannelCount; ++i) {
      if (!rig.Button(kGridRows[i].enable)->isChecked()) rig.Click(kGridRows[i].enable);
      rig.Click(kGridRows[i].rec);
    }
    auto* rate = qobject_cast<QLineEdit*>(rig.view->Widget().ControlWidget(kIdSamplingRate));
    ClearAsTyped(rate);
    QTest::keyClicks(rate, "31250");
    rig.ClickIntoModal(kIdRun, [](QWidget* box) { WindowRig::AnswerBox(box, QMessageBox::Yes); });
    ASSERT_EQ(1, rig.recorder->bIsRunning);
    QTest::qWait(1000);
    const double cpu0 = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(static_cast<int>(seconds * 1000));
    const double cpu = CpuSeconds() - cpu0;
    const double elapsed = wall.elapsed() / 1000.0;
    std::printf("window load: 16 channels x 31250 Hz, %.1f s: %.3f s of CPU, %.1f%% of one core\n", elapsed, cpu,
                100.0 * cpu / elapsed);
    rig.Click(kIdRun);
    rig.view->close();
  });
}

}  // namespace
}  // namespace varnel
