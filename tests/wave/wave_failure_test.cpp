// What survives when things go wrong: a killed process, a full disk, folders
// and names that cannot be written.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>

#include "WaveTestHelpers.h"
#include "platform/Files.h"
#include "support/ShownAsBoxes.h"
#include "support/TempDir.h"
#include "wave/WaveIO.h"

namespace varnel {
namespace {

using test::ReadFile;
using test::RunCommand;
using test::ScriptedUiServices;
using test::TempDir;
using test::U32At;

// A tmpfs mounted for the test's lifetime; needs root.
class ScopedTmpfs {
 public:
  ScopedTmpfs(const std::string& path, const char* options, unsigned long flags = 0) : path_(path) {
    platform::CreateFolders(path);
    if (::geteuid() != 0) {
      reason_ = "mounting a tmpfs needs root";
    } else if (::mount("tmpfs", path.c_str(), "tmpfs", flags, options) != 0) {
      reason_ = std::string("tmpfs mount refused: ") + std::strerror(errno);
    } else {
      mounted_ = true;
    }
  }
  ~ScopedTmpfs() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }
  const std::string& Reason() const { return reason_; }

 private:
  std::string path_;
  std::string reason_;
  bool mounted_ = false;
};

TEST(WaveIOCrash, KilledRecordingKeepsEveryAppendedBlock) {
  TempDir dir;
  int ready[2];
  ASSERT_EQ(0, ::pipe(ready));
  constexpr int kBlocks = 5;
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(ready[0]);
    test::QuietUiServices quiet;
    WaveIO wave(test::Format(65536, 1, 2), dir.Path(), {}, test::BoxesFor(quiet));
    wave.SetFileName(dir.File("never.wav"));
    for (int i = 0; i < kBlocks; ++i) {
      auto block = test::Samples(8192, i);
      if (wave.Append(block.data(), 16384) != 1) ::_exit(1);
    }
    if (::write(ready[1], "k", 1) != 1) ::_exit(1);
    for (;;) ::pause();  // killed here, between appends
  }
  ::close(ready[1]);
  char c = 0;
  ASSERT_EQ(1, ::read(ready[0], &c, 1));
  ::close(ready[0]);
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));

  auto left = test::WorkingFiles(dir.Path());
  ASSERT_EQ(1u, left.size());
  const std::string bytes = ReadFile(left[0]);
  ASSERT_EQ(44u + kBlocks * 16384u, bytes.size());
  EXPECT_EQ(4u, U32At(bytes, 4));
  EXPECT_EQ(kBlocks * 16384u, U32At(bytes, 40));
  for (int i = 0; i < kBlocks; ++i) {
    auto block = test::Samples(8192, i);
    EXPECT_EQ(test::Bytes(block.data(), 16384), bytes.substr(44 + i * 16384, 16384)) << "block " << i;
  }
  // Such a file is not a valid wave file for this system: its form holds only the form type.
  ScriptedUiServices ui;
  ui.ExpectMessageBox("INVALID_WAVE_FILE", ui::DialogResult::OK);
  WaveIO reader(test::BoxesFor(ui));
  EXPECT_EQ(0, reader.OpenExisting(left[0]));
}

TEST(WaveIODiskFull, AppendStopsAndSaveKeepsWhatFits) {
  TempDir dir;
  const std::string small = dir.File("small");
  ScopedTmpfs tmpfs(small, "size=256k");
  if (!tmpfs.Mounted()) GTEST_SKIP() << tmpfs.Reason();

  ScriptedUiServices ui;
  WaveIO wave(test::Format(65536, 1, 2), small, {}, test::BoxesFor(ui));
  ASSERT_EQ(0, wave.Failed);
  wave.SetFileName(small + "/full.wav");
  wave.SetCalibration(test::SampleCalibration());
  std::string written;
  int appended = 0;
  for (int i = 0; i < 64; ++i) {
    auto block = test::Samples(8192, i);
    if (wave.Append(block.data(), 16384) == 0) break;
    written += test::Bytes(block.data(), 16384);
    ++appended;
  }
  ASSERT_GT(appended, 0);
  ASSERT_LT(appended, 64) << "the file system never filled";
  EXPECT_EQ(1, wave.Failed);
  EXPECT_EQ(appended * 8192u, wave.GetLength());

  std::string bytes = ReadFile(wave.WorkingFileName);
  EXPECT_EQ(written.size(), U32At(bytes, 40)) << "the size counts the blocks that reached the file";
  EXPECT_EQ(44u + written.size(), bytes.size());
  EXPECT_EQ(written, bytes.substr(44));

  // Leave no room for the calibration chunk either.
  {
    int fd = ::open((small + "/filler").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    char chunk[4096] = {};
    while (::write(fd, chunk, sizeof chunk) > 0) {
    }
    while (::write(fd, chunk, 1) > 0) {
    }
    ::close(fd);
  }
  // The file's last page may still have room: fill it with smaller blocks.
  for (int i = 0; i < 16; ++i) {
    auto block = test::Samples(256, 100 + i);
    if (wave.Append(block.data(), 512) == 0) break;
    written += test::Bytes(block.data(), 512);
  }
  ASSERT_EQ(written.size(), U32At(ReadFile(wave.WorkingFileName), 40));
  ASSERT_EQ(1, wave.Save());
  bytes = ReadFile(small + "/full.wav");
  EXPECT_EQ(44u + written.size(), bytes.size()) << "no torn calibration chunk";
  EXPECT_EQ(36u + written.size(), U32At(bytes, 4));
  EXPECT_TRUE(test::WorkingFiles(small).empty());
  int status = 0;
  std::string frames = RunCommand(
      "python3 -c \"import sys, wave; print(wave.open(sys.argv[1]).getnframes())\" '" + small + "/full.wav'", &status);
  EXPECT_EQ(0, status);
  EXPECT_EQ(std::to_string(written.size() / 2) + "\n", frames);
  EXPECT_EQ(written, bytes.substr(44));

  // A recording that cannot even get its header leaves no working file behind.
  WaveIO late(test::Format(65536, 1, 2), small, {}, test::BoxesFor(ui));
  EXPECT_EQ(1, late.Failed);
  EXPECT_TRUE(test::WorkingFiles(small).empty());
}

TEST(WaveIOFolders, FolderThatCannotHoldWorkingFile) {
  TempDir dir;
  // As root, permissions do not stop a write: a read-only mount does.
  const std::string readOnly = dir.File("ro");
  ScopedTmpfs ro(readOnly, "size=64k", MS_RDONLY);
  if (!ro.Mounted()) ::chmod(readOnly.c_str(), 0555);
  for (const std::string& folder : {readOnly, dir.File("missing")}) {
    SCOPED_TRACE(folder);
    ScriptedUiServices ui;
    ui.ExpectMessageBox("FILE_OPEN_FAIL", ui::DialogResult::OK);
    WaveIO wave(test::Format(8000, 1, 2), folder, {}, test::BoxesFor(ui));
    EXPECT_EQ(1, wave.Failed);
    EXPECT_EQ("", ui.Messages().at(0).caption);
    EXPECT_EQ(ui::mb::kOk, ui.Messages().at(0).style);
    const char block[4] = {};
    EXPECT_EQ(0, wave.Append(block, 4));
    EXPECT_EQ(1, wave.Save());
    EXPECT_EQ(1, wave.Close());
  }
  if (::geteuid() == 0 && !ro.Mounted()) GTEST_SKIP() << "read-only case not reached: " << ro.Reason();
}

TEST(WaveIOFolders, FinalNameThatCannotBeWrittenKeepsWorkingFile) {
  TempDir dir;
  ScriptedUiServices ui;
  std::string working;
  const CalibrationRecord cal = test::SampleCalibration();
  {
    WaveIO wave(test::Format(8000, 1, 2), dir.Path(), {}, test::BoxesFor(ui));
    wave.SetFileName(dir.File("no such folder/take.wav"));
    wave.SetCalibration(cal);
    auto block = test::Samples(100);
    ASSERT_EQ(1, wave.Append(block.data(), 200));
    working = wave.WorkingFileName;
    ui.ExpectMessageBox("FAILURE_WRITING_WAVE_FILE", ui::DialogResult::OK);
    EXPECT_EQ(0, wave.Save());
    EXPECT_FALSE(wave.IsOpen());
    EXPECT_EQ("", ui.Messages().at(0).caption);
  }
  // The working file is a finished recording under its temporary name.
  const std::string bytes = ReadFile(working);
  EXPECT_EQ(44u + 200u + 2056u, bytes.size());
  EXPECT_EQ(236u, U32At(bytes, 4));
  WaveIO reader(test::BoxesFor(ui));
  ASSERT_EQ(1, reader.OpenExisting(working));
  EXPECT_EQ(100u, reader.GetLength());
  EXPECT_EQ(1, reader.HasCalibration);
}

TEST(WaveIOFolders, FinalNameOnAnotherFileSystemIsCopied) {
  TempDir dir;
  const std::string other = dir.File("other");
  ScopedTmpfs tmpfs(other, "size=1m");
  if (!tmpfs.Mounted()) GTEST_SKIP() << tmpfs.Reason();
  ScriptedUiServices ui;
  test::WriteFile(other + "/take.wav", "older");
  const std::string samples = test::Bytes(test::Samples(300).data(), 600);
  ASSERT_TRUE(test::Record(ui, dir.Path(), other + "/take.wav", test::Format(8000, 1, 2), samples));
  EXPECT_EQ(644u, ReadFile(other + "/take.wav").size());
  EXPECT_TRUE(test::WorkingFiles(dir.Path()).empty()) << "the copied working file is deleted";
}

}  // namespace
}  // namespace varnel
