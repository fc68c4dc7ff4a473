#include <gtest/gtest.h>

#include "WaveTestHelpers.h"
#include "platform/Files.h"
#include "support/ShownAsBoxes.h"
#include "support/TempDir.h"
#include "wave/CalibrationChunk.h"
#include "wave/WaveIO.h"

namespace varnel {
namespace {

using test::ReadFile;
using test::ScriptedUiServices;
using test::TempDir;
using test::U16At;
using test::U32At;

TEST(SampleFormat, SetNormalisesAndDerivesRange) {
  struct Case {
    uint32_t rate, channels, bytes;
    uint32_t wantRate, wantChannels, wantBytes, wantBits;
    int32_t max, min, zero;
  };
  const Case cases[] = {
      {8000, 1, 1, 8000, 1, 1, 8, 255, 0, 127},
      {48000, 2, 2, 48000, 2, 2, 16, 32767, -32767, 0},
      {96000, 1, 3, 96000, 1, 3, 24, 8388607, -8388607, 0},
      {1, 2, 4, 1, 2, 4, 32, 1073741824, -1073741824, 0},
      {0, 0, 0, 44100, 1, 2, 16, 32767, -32767, 0},
      {22050, 6, 5, 22050, 1, 2, 16, 32767, -32767, 0},
  };
  for (const Case& c : cases) {
    SampleFormat f;
    f.Set(c.rate, c.channels, c.bytes);
    EXPECT_EQ(c.wantRate, f.SampleRate);
    EXPECT_EQ(c.wantChannels, f.Channels);
    EXPECT_EQ(c.wantBytes, f.BytesPerSample);
    EXPECT_EQ(c.wantBits, f.BitsPerSample);
    EXPECT_EQ(c.max, f.MaxValue);
    EXPECT_EQ(c.min, f.MinValue);
    EXPECT_EQ(c.zero, f.ZeroValue);
  }
  SampleFormat def;
  EXPECT_EQ(44100u, def.SampleRate);
  EXPECT_EQ(2u, def.BlockAlign());
  SampleFormat stereo24 = test::Format(8000, 2, 3);
  EXPECT_EQ(6u, stereo24.BlockAlign());
  EXPECT_EQ(600u, stereo24.Bytes(100));
  EXPECT_EQ(100u, stereo24.Frames(605));
  SampleFormat broken = def;
  broken.Channels = 0;  // words are copied verbatim, so arithmetic must cope
  EXPECT_EQ(0u, broken.Frames(1000));
}

TEST(WaveMessages, EveryReasonHasItsText) {
  const std::pair<WaveError, const char*> texts[] = {
      {WaveError::kNone, ""},
      {WaveError::kFileOpenFail, "FILE_OPEN_FAIL"},
      {WaveError::kInvalidWaveFile, "INVALID_WAVE_FILE"},
      {WaveError::kFailureWritingWaveFile, "FAILURE_WRITING_WAVE_FILE"},
      {WaveError::kFailureClosingWaveFile, "FAILURE_WRITING_WAVE_FILE"},
      {WaveError::kFailureDeletingTempFile, "FAILURE_DELETING_TEMP_FILE"},
      {WaveError::kDiskFull, "the disk is full"},
      {WaveError::kSizeLimit, "the wave file reached the 4 GiB size limit"},
      {WaveError::kWriteError, "the wave file could not be written"},
  };
  for (const auto& [error, text] : texts) EXPECT_EQ(text, WaveErrorText(error)) << static_cast<int>(error);
}

TEST(WaveIOWriter, WorkingFileHasSkeletonAndCurrentDataSize) {
  TempDir dir;
  ScriptedUiServices ui;
  auto wave = WaveIO::CreateForRecording(test::Format(25000, 1, 2), dir.Path(), {}, test::BoxesFor(ui));
  ASSERT_EQ(0, wave->Failed);
  EXPECT_EQ(1, wave->DeleteWorkingFile);
  EXPECT_EQ(dir.Path(), wave->WorkingFolder);
  std::string name = wave->WorkingFileName;
  EXPECT_EQ(dir.Path(), platform::FolderOf(name));
  EXPECT_EQ(0u, platform::FileNameOf(name).find("wav"));
  EXPECT_EQ(44u, wave->DataOffset);

  const std::string expected(
      "RIFF\x04\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\xa8\x61\0\0\x50\xc3\0\0\x02\0\x10\0data\0\0\0\0", 44);
  EXPECT_EQ(expected, ReadFile(name));

  auto block = test::Samples(1000);
  ASSERT_EQ(1, wave->Append(block.data(), 2000));
  ASSERT_EQ(1, wave->Append(block.data(), 2000));
  std::string bytes = ReadFile(name);
  ASSERT_EQ(44u + 4000u, bytes.size());
  EXPECT_EQ(4u, U32At(bytes, 4)) << "the form counts only its type until finalised";
  EXPECT_EQ(4000u, U32At(bytes, 40));
  EXPECT_EQ(2000u, wave->GetLength());
  EXPECT_EQ(4000u, wave->ByteSize);
  EXPECT_EQ(2000u, wave->Position);
  EXPECT_EQ(2000u, wave->HighWaterMark);
  wave.reset();
  EXPECT_FALSE(platform::FileExists(name)) << "a working file without a final name is discarded";
  EXPECT_TRUE(ui.Messages().empty());
}

TEST(WaveIOWriter, FinishedFileWithAndWithoutCalibration) {
  TempDir dir;
  ScriptedUiServices ui;
  const std::string samples = test::Bytes(test::Samples(300).data(), 600);
  ASSERT_TRUE(test::Record(ui, dir.Path(), dir.File("plain.wav"), test::Format(8000, 1, 2), samples));
  std::string plain = ReadFile(dir.File("plain.wav"));
  ASSERT_EQ(44u + 600u, plain.size());
  EXPECT_EQ(36u + 600u, U32At(plain, 4));
  EXPECT_EQ(600u, U32At(plain, 40));
  EXPECT_EQ(samples, plain.substr(44));

  const CalibrationRecord cal = test::SampleCalibration();
  ASSERT_TRUE(test::Record(ui, dir.Path(), dir.File("cal.wav"), test::Format(8000, 1, 2), samples, &cal));
  std::string withCal = ReadFile(dir.File("cal.wav"));
  ASSERT_EQ(44u + 600u + 8u + 2048u, withCal.size());
  EXPECT_EQ(plain, withCal.substr(0, 644)) << "the calibration chunk lies outside the form";
  EXPECT_EQ(std::string("\x66\0\0\0\0\x08\0\0", 8), withCal.substr(644, 8));
  EXPECT_EQ(test::Bytes(&cal, sizeof cal), withCal.substr(652));
  EXPECT_TRUE(test::WorkingFiles(dir.Path()).empty());
}

TEST(WaveIOWriter, OddDataSizeGetsPadByteThatNextBlockOverwrites) {
  TempDir dir;
  ScriptedUiServices ui;
  WaveIO wave(test::Format(8000, 1, 1), dir.Path(), {}, test::BoxesFor(ui));
  wave.SetFileName(dir.File("odd.wav"));
  const unsigned char a[3] = {1, 2, 3}, b[2] = {4, 5};
  ASSERT_EQ(1, wave.Append(a, 3));
  std::string bytes = ReadFile(wave.WorkingFileName);
  ASSERT_EQ(48u, bytes.size());
  EXPECT_EQ(3u, U32At(bytes, 40));
  EXPECT_EQ('\0', bytes[47]);
  ASSERT_EQ(1, wave.Append(b, 2));
  ASSERT_EQ(1, wave.Append(a, 3));
  bytes = ReadFile(wave.WorkingFileName);
  EXPECT_EQ(8u, U32At(bytes, 40));
  EXPECT_EQ(std::string("\1\2\3\4\5\1\2\3", 8), bytes.substr(44)) << "no pad byte between blocks";
  ASSERT_EQ(1, wave.Append(b, 1));
  wave.SetCalibration(test::SampleCalibration());
  ASSERT_EQ(1, wave.Close());
  bytes = ReadFile(dir.File("odd.wav"));
  ASSERT_EQ(44u + 9u + 1u + 8u + 2048u, bytes.size());
  EXPECT_EQ(9u, U32At(bytes, 40));
  EXPECT_EQ(37u + 9u, U32At(bytes, 4));
  EXPECT_EQ('\0', bytes[53]);
  EXPECT_EQ(0x66u, U32At(bytes, 54));
}

TEST(WaveIOWriter, AppendRefusalsAndPartFrames) {
  TempDir dir;
  ScriptedUiServices ui;
  WaveIO wave(test::Format(8000, 2, 2), dir.Path(), {}, test::BoxesFor(ui));
  const char block[10] = {};
  EXPECT_EQ(0, wave.Append(block, 0));
  EXPECT_EQ(0, wave.Append(nullptr, 4));
  EXPECT_EQ(0, wave.Failed);
  ASSERT_EQ(1, wave.Append(block, 10));  // two frames and half of a third
  EXPECT_EQ(2u, wave.Position);
  EXPECT_EQ(2u, wave.GetLength());
  EXPECT_EQ(8u, wave.ByteSize);
  EXPECT_EQ(10u, U32At(ReadFile(wave.WorkingFileName), 40)) << "the block is written whole";
  wave.SetFileName(dir.File("part.wav"));
  ASSERT_EQ(1, wave.Save());
  std::string bytes = ReadFile(dir.File("part.wav"));
  EXPECT_EQ(44u + 8u, bytes.size()) << "the finished file holds whole frames only";
  EXPECT_EQ(8u, U32At(bytes, 40));
}

TEST(WaveIOWriter, SaveReopensFinalFileAndSecondSaveOnlyUpdatesSize) {
  TempDir dir;
  ScriptedUiServices ui;
  const std::string finalName = dir.File("take.wav");
  {
    WaveIO wave(test::Format(16000, 1, 2), dir.Path(), {}, test::BoxesFor(ui));
    wave.SetFormat(test::Format(16000, 1, 2));
    wave.SetFileName(finalName);
    auto block = test::Samples(500);
    ASSERT_EQ(1, wave.Append(block.data(), 1000));
    const std::string working = wave.WorkingFileName;
    ASSERT_EQ(1, wave.Save());
    EXPECT_FALSE(platform::FileExists(working));
    EXPECT_STREQ(wave.FinalFileName, wave.WorkingFileName);
    EXPECT_TRUE(wave.IsOpen());
    EXPECT_EQ(0, wave.Failed);
    EXPECT_EQ(500u, wave.Position);
    EXPECT_EQ(500u, wave.GetLength());
    EXPECT_EQ(44u, wave.DataOffset);
    EXPECT_EQ(0, wave.HasCalibration);

    // Further samples after Save land at the end of the data; Save then only updates the data size.
    ASSERT_EQ(1, wave.Append(block.data(), 1000));
    ASSERT_EQ(1, wave.Save());
    std::string bytes = ReadFile(finalName);
    EXPECT_EQ(2000u, U32At(bytes, 40));
    EXPECT_EQ(36u + 1000u, U32At(bytes, 4)) << "a second Save leaves the RIFF size alone";
  }
  EXPECT_TRUE(platform::FileExists(finalName)) << "the destructor keeps a saved file";
  EXPECT_TRUE(test::WorkingFiles(dir.Path()).empty());
  EXPECT_TRUE(ui.Messages().empty());
}

TEST(WaveIOWriter, SaveReplacesExistingFinalFileOnlyWithCompleteRecording) {
  TempDir dir;
  ScriptedUiServices ui;
  const std::string finalName = dir.File("exists.wav");
  test::WriteFile(finalName, "an older recording");
  WaveIO wave(test::Format(8000, 1, 2), dir.Path(), {}, test::BoxesFor(ui));
  wave.SetFileName(finalName);
  auto block = test::Samples(100);
  ASSERT_EQ(1, wave.Append(block.data(), 200));
  EXPECT_EQ("an older recording", ReadFile(finalName)) << "nothing is written under the final name before Save";
  ASSERT_EQ(1, wave.Save());
  EXPECT_EQ(244u, ReadFile(finalName).size());
  EXPECT_TRUE(test::WorkingFiles(dir.Path()).empty());
}

TEST(WaveIOWriter, CloseEmptiesObject) {
  TempDir dir;
  ScriptedUiServices ui;
  WaveIO wave(test::Format(8000, 1, 2), dir.Path(), {}, test::BoxesFor(ui));
  wave.SetFileName(dir.File("c.wav"));
  wave.SetCalibration(test::SampleCalibration());
  auto block = test::Samples(10);
  ASSERT_EQ(1, wave.Append(block.data(), 20));
  ASSERT_EQ(1, wave.Close());
  EXPECT_FALSE(wave.IsOpen());
  EXPECT_EQ(0u, wave.GetLength());
  EXPECT_EQ(0u, wave.Position);
  EXPECT_EQ(0u, wave.ByteSize);
  EXPECT_EQ(0, wave.HasCalibration);
  EXPECT_EQ(0, wave.DeleteWorkingFile);
  EXPECT_STREQ("", wave.FinalFileName);
  EXPECT_STREQ("", wave.WorkingFileName);
  EXPECT_STREQ("", wave.WorkingFolder);
  EXPECT_EQ(0, wave.Append(block.data(), 20));
  EXPECT_EQ(0, wave.Failed);
  EXPECT_EQ(1, wave.Save());
  EXPECT_EQ(1, wave.Close());
  EXPECT_EQ(44u + 20u + 2056u, ReadFile(dir.File("c.wav")).size());
}

TEST(WaveIOWriter, DestructorDeletesWorkingFileOnlyWhenAsked) {
  TempDir dir;
  ScriptedUiServices ui;
  std::string kept, discarded;
  {
    WaveIO keep(test::Format(8000, 1, 2), dir.Path(), {}, test::BoxesFor(ui));
    keep.SetFileName(dir.File("never-saved.wav"));
    kept = keep.WorkingFileName;
    WaveIO discard(test::Format(8000, 1, 2), dir.Path(), {}, test::BoxesFor(ui));
    discard.SetFileName(dir.File("discarded.wav"));
    discard.DeleteWorkingFile = 1;
    discarded = discard.WorkingFileName;
  }
  EXPECT_TRUE(platform::FileExists(kept));
  EXPECT_FALSE(platform::FileExists(discarded));
  EXPECT_FALSE(platform::FileExists(dir.File("never-saved.wav")));
}

TEST(WaveIOWriter, DestructorReportsWorkingFileItCannotDelete) {
  TempDir dir;
  ScriptedUiServices ui;
  auto wave = std::make_unique<WaveIO>(test::Format(8000, 1, 2), dir.Path(), WaveFileChoice{}, test::BoxesFor(ui));
  ASSERT_TRUE(platform::DeleteFile(wave->WorkingFileName));
  ui.ExpectMessageBox("FAILURE_DELETING_TEMP_FILE", ui::DialogResult::OK);
  wave.reset();
  ASSERT_EQ(1u, ui.Messages().size());
  EXPECT_EQ("WaveIO", ui.Messages()[0].caption);
  EXPECT_EQ(ui::mb::kIconError | ui::mb::kOk, ui.Messages()[0].style);
}

TEST(WaveIOWriter, SizeLimitFailsAppendBeforeRiffSizeOverflows) {
  TempDir dir;
  ScriptedUiServices ui;
  ScopedWaveRiffSizeLimit limit(36 + 1000);
  WaveIO wave(test::Format(8000, 1, 2), dir.Path(), {}, test::BoxesFor(ui));
  wave.SetFileName(dir.File("full.wav"));
  auto block = test::Samples(200);
  for (int i = 0; i < 2; ++i) ASSERT_EQ(1, wave.Append(block.data(), 400));
  EXPECT_EQ(0, wave.Append(block.data(), 400)) << "1200 bytes would not fit";
  EXPECT_EQ(1, wave.Failed);
  EXPECT_EQ(400u, wave.GetLength());
  std::string bytes = ReadFile(wave.WorkingFileName);
  EXPECT_EQ(844u, bytes.size());
  EXPECT_EQ(800u, U32At(bytes, 40));
  ASSERT_EQ(1, wave.Append(block.data(), 200)) << "exactly at the limit";
  ASSERT_EQ(1, wave.Close());
  EXPECT_EQ(1036u, U32At(ReadFile(dir.File("full.wav")), 4));
}

TEST(WaveIOWriter, OverlongPathsAreRefusedNotCut) {
  TempDir dir;
  ScriptedUiServices ui;
  const std::string longFolder = dir.Path() + "/" + std::string(260, 'f');
  ui.ExpectMessageBox("FILE_OPEN_FAIL", ui::DialogResult::OK);
  WaveIO tooLong(test::Format(8000, 1, 2), longFolder, {}, test::BoxesFor(ui));
  EXPECT_EQ(1, tooLong.Failed);
  EXPECT_STREQ("", tooLong.WorkingFileName);

  WaveIO wave(test::Format(8000, 1, 2), dir.Path(), {}, test::BoxesFor(ui));
  wave.SetFileName(dir.Path() + "/" + std::string(255, 'n') + ".wav");
  EXPECT_STREQ("", wave.FinalFileName);
  EXPECT_EQ(0, wave.DeleteWorkingFile);
  auto block = test::Samples(4);
  ASSERT_EQ(1, wave.Append(block.data(), 8));
  ui.ExpectMessageBox("FAILURE_WRITING_WAVE_FILE", ui::DialogResult::OK);
  EXPECT_EQ(0, wave.Save());
  EXPECT_EQ(1u, test::WorkingFiles(dir.Path()).size()) << "the recording stays in its working file";
}

}  // namespace
}  // namespace varnel
