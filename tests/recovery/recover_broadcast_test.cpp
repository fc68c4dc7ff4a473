// Recovery of broadcast wave working files: below 4 GiB they become ordinary
// wave files that keep their bext; past it, RF64, whether the recorder had
// turned the reserve into ds64 before it was killed or not. Files past 4 GiB
// are sparse: only their first and last blocks are written.

#include <gtest/gtest.h>

#include "recovery/RecoverWorkingFiles.h"
#include "support/BigFiles.h"
#include "support/InterruptedRecording.h"
#include "support/ScriptedUiServices.h"
#include "wave/Bext.h"

namespace varnel {
namespace {

using test::LittleAt;
using test::ReadAt;
using test::TempDir;

constexpr uint32_t kFrames = 1001;

WaveFileChoice Broadcast() {
  RecordingStart start;
  start.utcMicroseconds = 1796824800000123;
  start.sampleRate = 8000;
  start.label = "Channel_0";
  return {WaveFileFormat::kBroadcast, start};
}

std::string Pattern(uint64_t from, uint32_t frames) {
  std::string out;
  for (uint32_t f = 0; f < frames; ++f) {
    const int16_t s = test::PatternSample(static_cast<int64_t>(from + f));
    out.append(reinterpret_cast<const char*>(&s), 2);
  }
  return out;
}

// Recovers the folder's one interrupted file; its recovered path.
std::string RecoverOne(const TempDir& dir, const std::string& working, WaveFileFormat journaled) {
  JournalEntry entry = test::EntryFor(working, dir.File("Channel_0.wav"), 0);
  entry.fileFormat = journaled;
  test::WriteDeadJournal(dir.Path(), {entry});
  auto results = RecoverRecordings(FindInterruptedRecordings(dir.Path()));
  if (results.size() != 1 || !results[0].error.empty()) return {};
  return results[0].recoveredFile;
}

struct Read {
  uint64_t frames = 0;
  int32_t hasCalibration = 0;
};
Read ReadBack(const std::string& path) {
  test::ScriptedUiServices ui;
  WaveIO wave(ui);
  if (wave.OpenExisting(path) != 1) return {};
  return {wave.GetLength(), wave.HasCalibration};
}

TEST(BroadcastRecovery, BelowFourGiBAnOrdinaryWaveFileThatKeepsItsBext) {
  struct Case {
    const char* what;
    uint32_t limit;   // the recorder's limit: a low one turned the file RF64 before the kill
    bool tornHeader;  // the header never reached the disk
  };
  for (const Case& c : {Case{"recording", UINT32_MAX, false}, Case{"turned RF64 early", 1016 + 1000, false},
                        Case{"header lost", UINT32_MAX, true}}) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    std::string working;
    {
      ScopedWaveRiffSizeLimit limit(c.limit);
      working = test::MakeWorkingFile(dir.Path(), dir.File("Channel_0.wav"), kFrames, 8000, Broadcast());
    }
    if (c.tornHeader) test::WriteAt(working, 0, std::string(1024, '\0'));
    const std::string recovered = RecoverOne(dir, working, WaveFileFormat::kBroadcast);
    ASSERT_EQ(dir.File("Channel_0.wav"), recovered);
    const std::string bytes = test::ReadFile(recovered);
    ASSERT_EQ(1024u + 2 * kFrames + 8 + 2048, bytes.size());
    EXPECT_EQ("RIFF", bytes.substr(0, 4));
    EXPECT_EQ(1016u + 2 * kFrames, LittleAt(bytes, 4, 4));
    EXPECT_EQ("JUNK", bytes.substr(12, 4));
    EXPECT_EQ(std::string(28, '\0'), bytes.substr(20, 28)) << "a half-made ds64 goes";
    EXPECT_EQ(2u * kFrames, LittleAt(bytes, 1020, 4));
    EXPECT_EQ(Pattern(0, kFrames), bytes.substr(1024, 2 * kFrames));
    const auto bext = wave::DecodeBext(reinterpret_cast<const unsigned char*>(bytes.data()) + 56, 936);
    ASSERT_TRUE(bext);
    EXPECT_EQ("Channel_0", wave::DescriptionValue(bext->description, wave::kChannelKey));
    EXPECT_EQ(c.tornHeader ? std::nullopt : std::optional<std::string>("2026-12-09T14:00:00.000123Z"),
              wave::DescriptionValue(bext->description, wave::kStartUtcKey));
    const Read back = ReadBack(recovered);
    EXPECT_EQ(kFrames, back.frames);
    EXPECT_EQ(1, back.hasCalibration);
  }
}

// The kill came before the reserve became ds64, or after: either way the
// data present past 4 GiB is kept, in one RF64 file.
TEST(BroadcastRecovery, PastFourGiBOneRf64File) {
  if (!test::HostToolsAvailable()) GTEST_SKIP() << "sparse files and the readers are the Linux build's";
  for (uint32_t recorderLimit : {UINT32_MAX, 1016u + 1000u}) {
    SCOPED_TRACE(recorderLimit == UINT32_MAX ? "no ds64 yet" : "ds64 written");
    TempDir dir;
    std::string working;
    {
      ScopedWaveRiffSizeLimit limit(recorderLimit);
      working = test::MakeWorkingFile(dir.Path(), dir.File("Channel_0.wav"), kFrames, 8000, Broadcast());
    }
    const uint64_t data = test::kFourGiB + 4000;
    const uint64_t frames = data / 2;
    ASSERT_TRUE(test::SetFileSize(working, 1024 + data + 1));  // and half a frame
    ASSERT_TRUE(test::WriteAt(working, 1024 + data - 2000, Pattern(frames - 1000, 1000)));
    EXPECT_EQ(4u, LittleAt(ReadAt(working, 0, 48), recorderLimit == UINT32_MAX ? 4 : 20, 4)) << "still recording";

    const std::string recovered = RecoverOne(dir, working, WaveFileFormat::kBroadcast);
    ASSERT_EQ(dir.File("Channel_0.wav"), recovered);
    test::ExpectFinishedRf64(recovered, data);
    EXPECT_EQ(Pattern(0, kFrames), ReadAt(recovered, 1024, 2 * kFrames));
    EXPECT_EQ(Pattern(frames - 1000, 1000), ReadAt(recovered, 1024 + data - 2000, 2000));
    const Read back = ReadBack(recovered);
    EXPECT_EQ(frames, back.frames);
    EXPECT_EQ(1, back.hasCalibration);
  }
}

TEST(BroadcastRecovery, TheJournalKeepsTheLayout) {
  JournalFile journal;
  journal.owner = "boot 1 1";
  JournalEntry wave = test::EntryFor("/w/wav1.tmp", "/w/A.wav", 0), broadcast = wave;
  broadcast.fileFormat = WaveFileFormat::kBroadcast;
  journal.entries = {wave, broadcast};
  const std::string text = FormatJournal(journal);
  EXPECT_EQ(std::string::npos, text.find("FileFormat=wav")) << "a journal of wave files reads as it always did";
  const JournalFile back = ParseJournal(text);
  ASSERT_EQ(2u, back.entries.size());
  EXPECT_EQ(WaveFileFormat::kWave, back.entries[0].fileFormat);
  EXPECT_EQ(WaveFileFormat::kBroadcast, back.entries[1].fileFormat);
}

}  // namespace
}  // namespace varnel
