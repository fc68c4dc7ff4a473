#include <gtest/gtest.h>

#include <cctype>

#include "platform/FileLock.h"
#include "platform/FileSync.h"
#include "recovery/RecoverWorkingFiles.h"
#include "recovery/RecoveryOffer.h"
#include "support/FileModes.h"
#include "support/InterruptedRecording.h"
#include "support/ScriptedUiServices.h"

namespace varnel {
namespace {

using test::TempDir;

struct Wave {
  uint32_t frames = 0;
  int32_t hasCalibration = 0;
  CalibrationRecord calibration{};
  std::string bytes;
};

Wave ReadWave(const std::string& path) {
  test::ScriptedUiServices ui;
  WaveIO wave(ui);
  Wave w;
  w.bytes = test::ReadFile(path);
  if (wave.OpenExisting(path) != 1) return w;
  w.frames = wave.Length;
  w.hasCalibration = wave.HasCalibration;
  w.calibration = wave.Calibration;
  return w;
}

void ExpectPattern(const Wave& w, uint32_t frames) {
  ASSERT_GE(w.bytes.size(), 44u + 2u * frames);
  for (uint32_t f = 0; f < frames; ++f) {
    int16_t s;
    std::memcpy(&s, w.bytes.data() + 44 + 2 * f, 2);
    ASSERT_EQ(test::PatternSample(f), s) << f;
  }
}

std::vector<RecoveredFile> RecoverAll(const std::string& folder) {
  return RecoverRecordings(FindInterruptedRecordings(folder));
}

TEST(Recovery, RepairsAJournaledFileUnderItsFinalNameWithItsCalibration) {
  TempDir dir;
  const std::string working = test::MakeWorkingFile(dir.Path(), dir.File("Channel_2.wav"), 1001);
  const std::string journal = test::WriteDeadJournal(dir.Path(), {test::EntryFor(working, dir.File("Channel_2.wav"), 2)});
  EXPECT_EQ(4u, test::U32AtFile(working, 4)) << "a working file says it is unfinished";

  InterruptedRecordings found = FindInterruptedRecordings(dir.Path());
  ASSERT_EQ(1u, found.files.size());
  EXPECT_EQ("Channel_2.wav, started 2026-12-09 05:30:00, 0.1 s", DescribeInterruptedFile(found.files[0]));
  auto results = RecoverRecordings(found);
  ASSERT_EQ(1u, results.size());
  EXPECT_EQ(dir.File("Channel_2.wav"), results[0].recoveredFile) << results[0].error;
  EXPECT_FALSE(platform::FileExists(working));
  EXPECT_FALSE(platform::FileExists(journal));

  Wave w = ReadWave(dir.File("Channel_2.wav"));
  EXPECT_EQ(1001u, w.frames);
  EXPECT_EQ(36u + 2002u, test::U32AtFile(dir.File("Channel_2.wav"), 4));
  ExpectPattern(w, 1001);
  ASSERT_EQ(1, w.hasCalibration);
  EXPECT_FLOAT_EQ(2.25f, w.calibration.Left.CalRatio);
  EXPECT_EQ(44u + 2002u + 8u + 2048u, w.bytes.size());
  if (!test::HostToolsAvailable()) return;
  int status = 0;
  std::string info = test::RunCommand("sndfile-info '" + dir.File("Channel_2.wav") + "' 2>&1", &status);
  EXPECT_NE(std::string::npos, info.find("Frames      : 1001")) << info;
  info = test::RunCommand("sox --i -s '" + dir.File("Channel_2.wav") + "' 2>&1", &status);
  EXPECT_EQ("1001\n", info);
}

// What the file holds counts, whole frames only: a block cut off part-way
// keeps its whole frames, a half frame goes.
TEST(Recovery, TakesTheDataPresentInWholeFrames) {
  struct Case {
    const char* what;
    uint32_t appended;
    std::string tail;
    uint32_t frames;
  };
  for (const Case& c : {Case{"size field behind the data", 100, std::string("\x07\x08\x09\x0a", 4), 102},
                        Case{"a half frame at the end", 100, std::string("\x07", 1), 100},
                        Case{"nothing more", 64, "", 64}}) {
    TempDir dir;
    const std::string working = test::MakeWorkingFile(dir.Path(), dir.File("A.wav"), c.appended);
    test::WriteFile(working, test::ReadFile(working) + c.tail);
    test::WriteDeadJournal(dir.Path(), {test::EntryFor(working, dir.File("A.wav"), 0, false)});
    RecoverAll(dir.Path());
    Wave w = ReadWave(dir.File("A.wav"));
    EXPECT_EQ(c.frames, w.frames) << c.what;
    EXPECT_EQ(44u + 2 * c.frames, w.bytes.size()) << c.what;
    ExpectPattern(w, c.appended);
  }
}

TEST(Recovery, NeverReplacesAnExistingFile) {
  TempDir dir;
  test::WriteFile(dir.File("A.wav"), "the newer recording");
  test::WriteFile(dir.File("A_recovered.wav"), "an earlier recovery");
  const std::string first = test::MakeWorkingFile(dir.Path(), dir.File("A.wav"), 10);
  const std::string second = test::MakeWorkingFile(dir.Path(), dir.File("A.wav"), 20);
  test::WriteDeadJournal(dir.Path(), {test::EntryFor(first, dir.File("A.wav"), 0), test::EntryFor(second, dir.File("A.wav"), 1)});
  auto results = RecoverAll(dir.Path());
  ASSERT_EQ(2u, results.size());
  EXPECT_EQ("the newer recording", test::ReadFile(dir.File("A.wav")));
  EXPECT_EQ("an earlier recovery", test::ReadFile(dir.File("A_recovered.wav")));
  std::vector<uint32_t> frames = {ReadWave(dir.File("A_recovered_2.wav")).frames,
                                  ReadWave(dir.File("A_recovered_3.wav")).frames};
  std::sort(frames.begin(), frames.end());
  EXPECT_EQ((std::vector<uint32_t>{10, 20}), frames);
}

TEST(Recovery, AFileWithoutAJournalEntryGetsANameThatSaysSo) {
  TempDir dir;
  const std::string old = test::MakeWorkingFile(dir.Path(), dir.File("A.wav"), 30);
  const std::string fresh = test::MakeWorkingFile(dir.Path(), dir.File("B.wav"), 30);
  test::AgeFile(old, 60);
  auto results = RecoverAll(dir.Path());
  ASSERT_EQ(1u, results.size()) << "a file written to just now may belong to a recorder that is starting";
  const std::string name(platform::FileNameOf(results[0].recoveredFile));
  EXPECT_EQ(0u, name.rfind("unknown_channel_")) << name;
  // The working file's stem, whatever case the system gave its unique part.
  std::string stem(platform::FileNameOf(old));
  stem = stem.substr(0, stem.find('.'));
  std::string lowerName = name;
  for (std::string* t : {&stem, &lowerName})
    for (char& c : *t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_NE(std::string::npos, lowerName.find(stem)) << name;
  EXPECT_NE(std::string::npos, name.find("_recovered.wav")) << name;
  Wave w = ReadWave(results[0].recoveredFile);
  EXPECT_EQ(30u, w.frames);
  EXPECT_EQ(0, w.hasCalibration);
  EXPECT_TRUE(platform::FileExists(fresh));
}

TEST(Recovery, AJournalCutShortLosesNoWorkingFile) {
  TempDir dir;
  const std::string a = test::MakeWorkingFile(dir.Path(), dir.File("A.wav"), 40);
  const std::string b = test::MakeWorkingFile(dir.Path(), dir.File("B.wav"), 50);
  const std::string journal =
      test::WriteDeadJournal(dir.Path(), {test::EntryFor(a, dir.File("A.wav"), 0), test::EntryFor(b, dir.File("B.wav"), 1)});
  const std::string text = test::ReadFile(journal);
  test::WriteFile(journal, text.substr(0, text.rfind("Calibration=") + 100));
  auto results = RecoverAll(dir.Path());
  ASSERT_EQ(2u, results.size());
  EXPECT_TRUE(platform::FileExists(dir.File("A.wav")));
  EXPECT_EQ(1, ReadWave(dir.File("A.wav")).hasCalibration);
  const std::string other = results[0].workingFile == b ? results[0].recoveredFile : results[1].recoveredFile;
  EXPECT_NE(std::string::npos, other.find("unknown_channel_")) << other;
  EXPECT_EQ(50u, ReadWave(other).frames);
  EXPECT_FALSE(platform::FileExists(journal));
}

TEST(Recovery, LeavesARunningRecorderAndFilesNotOursAlone) {
  TempDir dir;
  const std::string live = test::MakeWorkingFile(dir.Path(), dir.File("A.wav"), 40);
  JournalFile j;
  j.owner = platform::ProcessIdentity();
  j.entries = {test::EntryFor(live, dir.File("A.wav"), 0)};
  test::WriteFile(dir.File("varnel-journal-7.ini"), FormatJournal(j));
  test::WriteFile(dir.File("wav00FF.tmp"), std::string(300, 'x'));
  test::WriteFile(dir.File("notes.tmp"), "mine");
  test::AgeFile(dir.File("wav00FF.tmp"), 60);
  InterruptedRecordings found = FindInterruptedRecordings(dir.Path());
  EXPECT_TRUE(found.Empty());
  RecoverRecordings(found);
  for (const char* name : {"varnel-journal-7.ini", "wav00FF.tmp", "notes.tmp"})
    EXPECT_TRUE(platform::FileExists(dir.File(name))) << name;
  EXPECT_TRUE(platform::FileExists(live));
}

// A recorder in another PID namespace or on another machine has an identity
// that means nothing here: its journal's lock says that it runs.
TEST(Recovery, AJournalWhoseLockIsHeldIsLeftAloneWhateverItsOwnerSays) {
  TempDir dir;
  const std::string working = test::MakeWorkingFile(dir.Path(), dir.File("A.wav"), 40);
  const std::string journal = test::WriteDeadJournal(dir.Path(), {test::EntryFor(working, dir.File("A.wav"), 0)});
  platform::FileLock recorder;
  ASSERT_EQ(platform::FileLock::Outcome::kTaken, recorder.Take(journal));
  InterruptedRecordings found = FindInterruptedRecordings(dir.Path());
  EXPECT_TRUE(found.Empty());
  ASSERT_EQ(1u, found.liveJournals.size());
  EXPECT_EQ("varnel-journal-1.ini", platform::FileNameOf(found.liveJournals[0]));
  EXPECT_TRUE(RecoverRecordings(found).empty());
  EXPECT_TRUE(platform::FileExists(working));
  EXPECT_TRUE(platform::FileExists(journal));

  recorder.Release();  // the recorder ended without saving
  ASSERT_EQ(1u, RecoverAll(dir.Path()).size());
  EXPECT_EQ(40u, ReadWave(dir.File("A.wav")).frames);
  EXPECT_FALSE(platform::FileExists(journal));
}

// Two windows started together: the search holds what it found until it has
// recovered it, so the other finds it in use.
TEST(Recovery, TwoSearchesNeverTakeTheSameFiles) {
  TempDir dir;
  const std::string working = test::MakeWorkingFile(dir.Path(), dir.File("A.wav"), 40);
  const std::string journal = test::WriteDeadJournal(dir.Path(), {test::EntryFor(working, dir.File("A.wav"), 0)});
  InterruptedRecordings first = FindInterruptedRecordings(dir.Path());
  ASSERT_EQ(1u, first.files.size());
  InterruptedRecordings second = FindInterruptedRecordings(dir.Path());
  EXPECT_TRUE(second.files.empty());
  EXPECT_EQ(1u, second.liveJournals.size());
  const auto results = RecoverRecordings(first);
  ASSERT_EQ(1u, results.size());
  EXPECT_EQ(dir.File("A.wav"), results[0].recoveredFile) << results[0].error;
  EXPECT_TRUE(RecoverRecordings(second).empty());
  EXPECT_FALSE(platform::FileExists(journal));
  EXPECT_FALSE(platform::FileExists(working));
}

// A journal that cannot be read may be a running recorder's: no working file
// is taken for one without a journal while it is there, and both are named.
TEST(Recovery, AJournalThatCannotBeReadKeepsEveryFileItMayNameAndSaysSo) {
  if (!test::FileModesApply()) GTEST_SKIP() << "file modes keep nobody out here (root, or Windows)";
  TempDir dir;
  const std::string working = test::MakeWorkingFile(dir.Path(), dir.File("A.wav"), 40);
  test::AgeFile(working, 60);
  const std::string journal = test::WriteDeadJournal(dir.Path(), {test::EntryFor(working, dir.File("A.wav"), 0)});
  ASSERT_TRUE(test::SetFileMode(journal, 0));
  const auto results = RecoverAll(dir.Path());
  test::SetFileMode(journal, 0644);
  ASSERT_EQ(2u, results.size());
  EXPECT_EQ(journal, results[0].workingFile);
  EXPECT_NE(std::string::npos, results[0].error.find("cannot be read")) << results[0].error;
  EXPECT_EQ(working, results[1].workingFile);
  EXPECT_EQ("no journal that could be read names it", results[1].error);
  EXPECT_TRUE(platform::FileExists(working));
}

TEST(Recovery, RemovesJournaledLeftoversThatHoldNoSamples) {
  TempDir dir;
  const std::string empty = test::MakeWorkingFile(dir.Path(), dir.File("A.wav"), 0);
  const std::string journal = test::WriteDeadJournal(dir.Path(), {test::EntryFor(empty, dir.File("A.wav"), 0)});
  InterruptedRecordings found = FindInterruptedRecordings(dir.Path());
  EXPECT_TRUE(found.files.empty());
  EXPECT_TRUE(RecoverRecordings(found).empty());
  EXPECT_FALSE(platform::FileExists(empty));
  EXPECT_FALSE(platform::FileExists(journal));
  EXPECT_FALSE(platform::FileExists(dir.File("A.wav")));
}

// Killed between the RIFF size and the rename: sizes set, a calibration chunk half written.
TEST(Recovery, FinishesAFinalisationThatWasCutOff) {
  TempDir dir;
  const std::string working = test::MakeWorkingFile(dir.Path(), dir.File("A.wav"), 77);
  std::string bytes = test::ReadFile(working);
  const uint32_t riff = 36 + 154;
  std::memcpy(bytes.data() + 4, &riff, 4);
  test::WriteFile(working, bytes + std::string("\x66\0\0\0\0\x08\0\0partial", 15));
  test::WriteDeadJournal(dir.Path(), {test::EntryFor(working, dir.File("A.wav"), 1)});
  RecoverAll(dir.Path());
  Wave w = ReadWave(dir.File("A.wav"));
  EXPECT_EQ(77u, w.frames);
  ASSERT_EQ(1, w.hasCalibration);
  EXPECT_FLOAT_EQ(1.25f, w.calibration.Left.CalRatio);
  EXPECT_EQ(44u + 154u + 8u + 2048u, w.bytes.size());
}

TEST(Recovery, TheWindowAsksOnceAndRecoversOnYes) {
  TempDir dir;
  const std::string working = test::MakeWorkingFile(dir.Path(), dir.File("Mic.wav"), 8000);
  test::WriteDeadJournal(dir.Path(), {test::EntryFor(working, dir.File("Mic.wav"), 0)});
  {
    test::ScriptedUiServices ui;
    ui.ExpectMessageBox(ui::DialogResult::No);
    OfferRecovery(ui, dir.Path());
    ASSERT_EQ(1u, ui.Messages().size());
    const test::ShownMessage& m = ui.Messages()[0];
    EXPECT_NE(std::string::npos, m.text.find("Mic.wav, started 2026-12-09 05:30:00, 1.0 s")) << m.text;
    EXPECT_EQ("Tessaline", m.caption);
    EXPECT_EQ(ui::mb::kYesNo | ui::mb::kIconQuestion, m.style);
  }
  EXPECT_TRUE(platform::FileExists(working)) << "No keeps the files as they are";
  test::ScriptedUiServices ui;
  ui.ExpectMessageBox(ui::DialogResult::Yes);
  OfferRecovery(ui, dir.Path());
  EXPECT_EQ(8000u, ReadWave(dir.File("Mic.wav")).frames);
  test::ScriptedUiServices again;  // nothing is left to ask about
  OfferRecovery(again, dir.Path());
  EXPECT_TRUE(again.Messages().empty());
}

}  // namespace
}  // namespace varnel
