#include <gtest/gtest.h>

#include "platform/FileLock.h"
#include "platform/FileSync.h"
#include "recovery/RecordingJournal.h"
#include "support/InterruptedRecording.h"

namespace varnel {
namespace {

void ExpectSameEntry(const JournalEntry& a, const JournalEntry& b) {
  EXPECT_EQ(a.channel, b.channel);
  EXPECT_EQ(a.workingFile, b.workingFile);
  EXPECT_EQ(a.finalFile, b.finalFile);
  EXPECT_EQ(a.label, b.label);
  EXPECT_EQ(a.format.SampleRate, b.format.SampleRate);
  EXPECT_EQ(a.started, b.started);
  EXPECT_EQ(a.storeCalibration, b.storeCalibration);
  ASSERT_EQ(a.calibration.has_value(), b.calibration.has_value());
  if (a.calibration) {
    EXPECT_EQ(0, std::memcmp(&*a.calibration, &*b.calibration, sizeof(CalibrationRecord)));
  }
}

TEST(Journal, ReadsBackWhatItWrote) {
  JournalFile j;
  j.owner = platform::ProcessIdentity();
  j.started = "2026-12-09 05:30:00";
  j.entries = {test::EntryFor("/w/wav00AB.tmp", "/w/Mic A=1 [x].wav", 3),
               test::EntryFor("/w/wav00AC.tmp", "/w/B.wav", 15, false, 250000)};
  JournalFile back = ParseJournal(FormatJournal(j));
  EXPECT_EQ(j.owner, back.owner);
  ASSERT_EQ(2u, back.entries.size());
  for (std::size_t i = 0; i < 2; ++i) ExpectSameEntry(j.entries[i], back.entries[i]);
  EXPECT_TRUE(back.untrustedWorkingFiles.empty());
}

// Cut anywhere, a journal gives whole entries only: never a shortened name
// or calibration, and the working file of a cut entry is still named.
TEST(Journal, CutShortAnywhereGivesOnlyWholeEntries) {
  JournalFile j;
  j.owner = "boot 1 2";
  j.entries = {test::EntryFor("/w/wav0001.tmp", "/w/Channel_0.wav", 0),
               test::EntryFor("/w/wav0002.tmp", "/w/Channel_1.wav", 1)};
  const std::string text = FormatJournal(j);
  for (std::size_t cut = 0; cut < text.size(); cut += 5) {
    JournalFile back = ParseJournal(text.substr(0, cut));
    ASSERT_LE(back.entries.size(), 2u);
    for (std::size_t i = 0; i < back.entries.size(); ++i) ExpectSameEntry(j.entries[i], back.entries[i]);
    for (const std::string& w : back.untrustedWorkingFiles) EXPECT_EQ('/', w[0]) << cut;
  }
  std::string damaged = text;
  damaged[damaged.find("Channel_1.wav")] = 'X';
  JournalFile back = ParseJournal(damaged);
  ASSERT_EQ(1u, back.entries.size());
  EXPECT_EQ((std::vector<std::string>{"/w/wav0002.tmp"}), back.untrustedWorkingFiles);
}

TEST(Journal, LivesFromTheFirstCommitUntilARunEndsWithEverythingSaved) {
  test::TempDir dir;
  RecordingJournal journal;
  journal.Begin(dir.Path());
  journal.Track(0, test::EntryFor(dir.File("wav0001.tmp"), dir.File("A.wav"), 0));
  journal.Track(1, test::EntryFor(dir.File("wav0002.tmp"), dir.File("B.wav"), 1));
  ASSERT_TRUE(journal.Commit());
  ASSERT_EQ(1u, ReadJournals(dir.Path()).size());
  EXPECT_EQ(platform::ProcessIdentity(), ReadJournals(dir.Path())[0].owner);
  EXPECT_TRUE(platform::ProcessIsRunning(ReadJournals(dir.Path())[0].owner));
  journal.Finalised(0, true);
  journal.End();
  EXPECT_TRUE(ReadJournals(dir.Path()).empty());

  // A file left behind by a failed finalisation stays journaled.
  journal.Begin(dir.Path());
  journal.Track(0, test::EntryFor(dir.File("wav0003.tmp"), dir.File("A.wav"), 0));
  journal.Commit();
  journal.Finalised(0, false);
  journal.End();
  auto left = ReadJournals(dir.Path());
  ASSERT_EQ(1u, left.size());
  ASSERT_EQ(1u, left[0].entries.size());
  EXPECT_EQ(dir.File("wav0003.tmp"), left[0].entries[0].workingFile);
}

// Its lock is what tells others that the recorder runs: held from the first
// commit through every rewrite until the run ends. Recorders of two PID
// namespaces may have one pid: the second never takes the first's journal.
TEST(Journal, IsHeldWhileItsRunLastsAndNeverReplacesAnotherRecordersJournal) {
  test::TempDir dir;
  RecordingJournal first, second;
  first.Begin(dir.Path());
  first.Track(0, test::EntryFor(dir.File("wav0001.tmp"), dir.File("A.wav"), 0));
  ASSERT_TRUE(first.Commit());
  second.Begin(dir.Path());
  second.Track(0, test::EntryFor(dir.File("wav0002.tmp"), dir.File("B.wav"), 0));
  ASSERT_TRUE(second.Commit());
  EXPECT_NE(first.Path(), second.Path());

  platform::FileLock probe;
  for (const RecordingJournal* j : {&first, &second})
    EXPECT_EQ(platform::FileLock::Outcome::kHeldElsewhere, probe.Take(j->Path())) << j->Path();
  first.Track(0, test::EntryFor(dir.File("wav0003.tmp"), dir.File("A.wav"), 0));  // a rollover
  ASSERT_TRUE(first.Commit());
  EXPECT_EQ(platform::FileLock::Outcome::kHeldElsewhere, probe.Take(first.Path()));
  EXPECT_EQ(dir.File("wav0003.tmp"), ReadJournal(first.Path()).entries.at(0).workingFile);
  EXPECT_EQ(dir.File("wav0002.tmp"), ReadJournal(second.Path()).entries.at(0).workingFile);

  const std::string left = second.Path();
  second.Finalised(0, false);
  second.End();  // a file was left behind: the journal stays, free for recovery
  EXPECT_EQ(platform::FileLock::Outcome::kTaken, probe.Take(left));
  probe.Release();
  first.Finalised(0, true);
  first.End();
  EXPECT_EQ((std::vector<std::string>{left}), JournalPaths(dir.Path()));
}

TEST(Journal, ProcessIdentityTellsTheLivingFromTheDead) {
  const std::string mine = platform::ProcessIdentity();
  EXPECT_TRUE(platform::ProcessIsRunning(mine)) << mine;
  for (const char* dead : {"", "garbage", "no-such-boot 1 1"}) EXPECT_FALSE(platform::ProcessIsRunning(dead)) << dead;
  EXPECT_FALSE(platform::ProcessIsRunning(mine + "0")) << "a reused pid started at another time: " << mine;
}

}  // namespace
}  // namespace varnel
