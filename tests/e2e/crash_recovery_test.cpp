// Recordings killed at random moments and recovered: by a forked writer that
// reports every completed append, and by the headless recorder on the
// simulated board in real time.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "ChildProcess.h"
#include "RecorderRig.h"
#include "platform/FileLock.h"
#include "recovery/RecoverWorkingFiles.h"
#include "support/InterruptedRecording.h"

namespace varnel {
namespace {

constexpr uint32_t kBlockFrames = 1024;

int16_t Sample(int32_t channel, int64_t frame) { return static_cast<int16_t>(test::PatternSample(frame) + channel); }

class PatternBlocks : public ChannelBlockSource {
 public:
  const int16_t* GetChannelBlock(int32_t channel) override {
    block_.resize(kBlockFrames);
    for (uint32_t f = 0; f < kBlockFrames; ++f) block_[f] = Sample(channel, int64_t{kBlockFrames} * index + f);
    return block_.data();
  }
  uint32_t GetChannelBlockBytes() override { return kBlockFrames * 2; }
  int64_t index = 0;

 private:
  std::vector<int16_t> block_;
};

// The child: sixteen channels enabled (the journal's largest), two of them
// appended block by block, the count of completed
// appends written to the pipe after each. Never returns.
[[noreturn]] void WriteUntilKilled(const std::string& folder, int out) {
  ui::QuietUiServices ui;
  RecorderSettings settings = DefaultRecorderSettings();
  CopyCut(settings.szWavePath, folder);
  settings.SamplingRate = 8000;
  settings.bAppendTimeStamp = 0;
  ChannelSettingsArray channels = DefaultChannels();
  for (int c : {0, 1}) channels[c].bIsEnabled = channels[c].bIsRecording = 1;
  std::array<CalibrationRecord, kChannelCount> calibrations{};
  for (int c : {0, 1}) calibrations[c] = test::TestCalibration(0.5f + c);
  RecordingFileSet files(ui, settings, channels, calibrations, [](const std::string&) {});
  if (files.CreateWaveFiles() != 1) ::_exit(2);
  files.CalibrationsLoaded();
  PatternBlocks blocks;
  for (int64_t done = 1;; ++done) {
    files.WriteChannelData(blocks);
    ++blocks.index;
    if (::write(out, &done, sizeof done) != sizeof done) ::_exit(3);
    ::usleep(2000);  // about 0.4 s at most: the periodic sync runs now and then
  }
}

TEST(CrashRecovery, EveryCompletedAppendSurvivesASigkill) {
  std::mt19937 random(std::random_device{}());
  for (int run = 0; run < 6; ++run) {
    test::TempDir dir;
    const int64_t killAfter = std::uniform_int_distribution<int64_t>(1, 200)(random);
    int pipeFds[2];
    ASSERT_EQ(0, ::pipe(pipeFds));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(pipeFds[0]);
      WriteUntilKilled(dir.Path(), pipeFds[1]);
    }
    ::close(pipeFds[1]);
    int64_t completed = 0, n = 0;
    while (completed < killAfter && ::read(pipeFds[0], &n, sizeof n) == sizeof n) completed = n;
    ::kill(child, SIGKILL);
    while (::read(pipeFds[0], &n, sizeof n) == sizeof n) completed = n;
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "run " << run;

    std::vector<RecoveredFile> results = RecoverRecordings(FindInterruptedRecordings(dir.Path()));
    ASSERT_EQ(2u, results.size()) << "run " << run;
    for (int32_t c : {0, 1}) {
      const std::string name = dir.File("Channel_" + std::to_string(c) + ".wav");
      test::ScriptedUiServices ui;
      WaveIO wave(ui);
      ASSERT_EQ(1, wave.OpenExisting(name)) << name << " run " << run;
      ASSERT_GE(wave.Length, completed * kBlockFrames) << "run " << run << " killed after " << completed;
      ASSERT_EQ(1, wave.HasCalibration);
      EXPECT_FLOAT_EQ(0.5f + c, wave.Calibration.Left.CalRatio);
      const std::string bytes = test::ReadFile(name);
      for (int64_t f = 0; f < static_cast<int64_t>(wave.Length); f += 97) {
        int16_t s;
        std::memcpy(&s, bytes.data() + 44 + 2 * f, 2);
        ASSERT_EQ(Sample(c, f), s) << name << " frame " << f;
      }
    }
    EXPECT_EQ((std::vector<std::string>{"Channel_0.wav", "Channel_1.wav"}),
              test::RecorderRig::ListFolder(dir.Path()))
        << "run " << run << ": neither working files nor the journal are left";
  }
}

std::string Tool() {
  const char* build = std::getenv("VARNEL_BUILD_DIR");
  return std::string(build ? build : "build") + "/bin/varnel-record";
}

// The recorder is killed mid-run; a later run tells about it, and --recover
// brings the files back beside what that run wrote.
TEST(CrashRecovery, HeadlessRecorderKilledMidRunIsRecoveredByRecover) {
  test::RecorderRig rig;
  rig.UseChannels({0, 1}, {0, 1});
  rig.settings.SamplingRate = 20000;
  const std::string ini = rig.dir.File("headless.ini");
  SaveSettings(ini, rig.channels, rig.settings);
  const std::string record = Tool() + " --quiet --continue-without-analyser --settings '" + ini + "'";
  {
    test::ChildProcess recorder({Tool(), "--quiet", "--continue-without-analyser", "--settings", ini},
                                rig.dir.File("killed.log"));
    // Killed once both channels hold samples, however long that takes.
    ASSERT_TRUE(test::WaitUntil([&] { return test::WorkingFilesWithData(rig.wavePath) == 2; }, 120000))
        << recorder.Output();
    recorder.Signal(SIGKILL);
    ASSERT_EQ(128 + SIGKILL, recorder.Wait(60000));
  }

  std::vector<std::string> left = rig.WaveFiles();
  ASSERT_EQ(3u, left.size()) << "two working files and the journal";
  std::map<std::string, std::string> appended;  // working file -> the data its size field counts
  for (const std::string& name : left) {
    if (!IsWorkingFileName(name)) continue;
    const std::string bytes = test::ReadFile(rig.wavePath + "/" + name);
    EXPECT_EQ(4u, test::U32AtFile(rig.wavePath + "/" + name, 4));
    appended[name] = bytes.substr(44, test::U32AtFile(rig.wavePath + "/" + name, 40));
    EXPECT_GT(appended[name].size(), 0u) << "at least one buffer was appended";
  }

  int status = 0;
  std::string out = test::RunCommand(record + " --seconds 1.0 2>&1", &status);
  EXPECT_NE(std::string::npos, out.find("2 file(s) of an interrupted recording in " + rig.wavePath)) << out;
  EXPECT_NE(std::string::npos, out.find("varnel-record --recover")) << out;

  out = test::RunCommand(Tool() + " --recover --settings '" + ini + "' 2>&1", &status);
  EXPECT_EQ(0, status) << out;
  for (int c : {0, 1}) {
    const std::string name = rig.wavePath + "/Channel_" + std::to_string(c) + "_recovered.wav";
    EXPECT_NE(std::string::npos, out.find("recovered " + name)) << out;
    test::ScriptedUiServices ui;
    WaveIO wave(ui);
    ASSERT_EQ(1, wave.OpenExisting(name)) << out;
    ASSERT_EQ(1, wave.HasCalibration);
    EXPECT_FLOAT_EQ(1.0f + c, wave.Calibration.Left.RefLevel);
    const std::string data = test::ReadFile(name).substr(44, wave.ByteSize);
    bool kept = false;
    for (const auto& [working, bytes] : appended) kept = kept || data.compare(0, bytes.size(), bytes) == 0;
    EXPECT_TRUE(kept) << name << " holds every completed append";
    std::string info = test::RunCommand("sndfile-info '" + name + "' 2>&1");
    EXPECT_NE(std::string::npos, info.find("Frames      : " + std::to_string(wave.Length))) << info;
  }
  EXPECT_EQ((std::vector<std::string>{"Channel_0.wav", "Channel_0_recovered.wav", "Channel_1.wav",
                                      "Channel_1_recovered.wav"}),
            rig.WaveFiles());
  out = test::RunCommand(Tool() + " --recover '" + rig.wavePath + "' 2>&1", &status);
  EXPECT_EQ(0, status);
  EXPECT_NE(std::string::npos, out.find("nothing to recover")) << out;
}

// The first child of a process, as this PID namespace numbers it; 0 when none.
pid_t ChildOf(pid_t parent) {
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator("/proc", ec); !ec && it != std::filesystem::directory_iterator();
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string stat = test::ReadFile("/proc/" + name + "/stat");
    const std::size_t close = stat.rfind(')');
    int ppid = 0;
    char state = 0;
    if (close != std::string::npos && std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) == 2 &&
        ppid == parent)
      return static_cast<pid_t>(std::stol(name));
  }
  return 0;
}

// How to run a program in a PID namespace of its own here, or why it cannot be.
std::string PidNamespaceCommand(std::string* why) {
  for (const char* command : {"unshare -p -f --mount-proc", "unshare -U -r -p -f --mount-proc"}) {
    int status = 0;
    *why = test::RunCommand(std::string(command) + " true 2>&1", &status);
    if (status == 0) return command;
  }
  return {};
}

// A recorder in another PID namespace names itself by a pid that is another
// process here (its own pid 1 is this machine's init): its journal's lock
// keeps --recover from renaming the files it is writing.
TEST(CrashRecovery, ARecorderInAnotherPidNamespaceIsLeftAloneByRecover) {
  std::string why;
  const std::string unshare = PidNamespaceCommand(&why);
  if (unshare.empty()) GTEST_SKIP() << "no PID namespace can be made here: " << why;
  test::RecorderRig rig;
  rig.UseChannels({0, 1}, {0, 1});
  rig.settings.SamplingRate = 20000;
  rig.settings.bAppendTimeStamp = 0;
  const std::string ini = rig.dir.File("headless.ini");
  SaveSettings(ini, rig.channels, rig.settings);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The recorder goes with unshare if the test ends early (--kill-child).
    const std::string command = "exec " + unshare + " --kill-child " + Tool() +
                                " --seconds 120 --quiet --continue-without-analyser --settings '" + ini +
                                "' >/dev/null 2>&1";
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  struct KillOnExit {
    pid_t pid;
    ~KillOnExit() {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  } unshareGoes{child};
  auto workingFiles = [&] {
    std::vector<std::string> names;
    for (const std::string& name : rig.WaveFiles())
      if (IsWorkingFileName(name)) names.push_back(name);
    return names;
  };
  ASSERT_TRUE(
      test::WaitUntil([&] { return JournalPaths(rig.wavePath).size() == 1 && workingFiles().size() == 2; }, 60000));
  const std::vector<std::string> journal = JournalPaths(rig.wavePath);
  const std::vector<std::string> working = workingFiles();

  int status = -1;
  const std::string out = test::RunCommand(Tool() + " --recover '" + rig.wavePath + "' 2>&1", &status);
  EXPECT_EQ(0, status) << out;
  EXPECT_NE(std::string::npos, out.find("left alone: " + journal[0])) << out;
  EXPECT_EQ(std::string::npos, out.find("recovered")) << out;
  EXPECT_EQ(working, workingFiles());
  EXPECT_EQ(journal, JournalPaths(rig.wavePath));

  // unshare keeps SIGTERM from itself; the recorder (its namespace's init) is
  // told directly, from here, and saves its files.
  const pid_t recorder = ChildOf(child);
  ASSERT_GT(recorder, 0);
  ::kill(recorder, SIGTERM);
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(test::WaitUntil([&] { return JournalPaths(rig.wavePath).empty(); }, 60000))
      << "the recorder saved its files";
  EXPECT_EQ((std::vector<std::string>{"Channel_0.wav", "Channel_1.wav"}), rig.WaveFiles());
  for (int c : {0, 1}) {
    test::ScriptedUiServices ui;
    WaveIO wave(ui);
    ASSERT_EQ(1, wave.OpenExisting(rig.wavePath + "/Channel_" + std::to_string(c) + ".wav"));
    EXPECT_GT(wave.Length, 0u);
  }
}

// The same where no namespace can be made: a journal whose owner is unknown
// here, its lock held by another process for as long as that one lives.
TEST(CrashRecovery, AJournalLockedByAnotherProcessIsRecoveredOnlyOnceThatProcessIsGone) {
  test::TempDir dir;
  const std::string working = test::MakeWorkingFile(dir.Path(), dir.File("Mic.wav"), 4000);
  const std::string journal = test::WriteDeadJournal(dir.Path(), {test::EntryFor(working, dir.File("Mic.wav"), 0)});
  int ready[2];
  ASSERT_EQ(0, ::pipe(ready));
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    platform::FileLock lock;
    const char taken = lock.Take(journal) == platform::FileLock::Outcome::kTaken ? 'y' : 'n';
    if (::write(ready[1], &taken, 1) != 1) ::_exit(1);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  char taken = 0;
  ASSERT_EQ(1, ::read(ready[0], &taken, 1));
  ::close(ready[0]);
  ASSERT_EQ('y', taken);

  int status = -1;
  std::string out = test::RunCommand(Tool() + " --recover '" + dir.Path() + "' 2>&1", &status);
  EXPECT_EQ(0, status) << out;
  EXPECT_NE(std::string::npos, out.find("left alone: " + journal)) << out;
  EXPECT_TRUE(platform::FileExists(working));

  ::kill(child, SIGKILL);
  ::waitpid(child, &status, 0);
  out = test::RunCommand(Tool() + " --recover '" + dir.Path() + "' 2>&1", &status);
  EXPECT_EQ(0, status) << out;
  EXPECT_NE(std::string::npos, out.find("recovered " + dir.File("Mic.wav") + " (4000 frames)")) << out;
  EXPECT_FALSE(platform::FileExists(journal));
}

// A folder made read-only for the test's lifetime: a read-only bind mount as
// root (whom file modes do not stop), its mode otherwise.
class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(const std::string& path) : path_(path) {
    if (::geteuid() != 0) {
      applied_ = ::chmod(path.c_str(), 0555) == 0;
    } else if (::mount(path.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) == 0) {
      mounted_ = true;
      applied_ = ::mount(nullptr, path.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    }
    if (!applied_) reason_ = std::string("cannot make the folder read-only: ") + std::strerror(errno);
  }
  ~ReadOnlyFolder() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    if (::geteuid() != 0) ::chmod(path_.c_str(), 0755);
  }
  bool Applied() const { return applied_; }
  const std::string& Reason() const { return reason_; }

 private:
  std::string path_;
  std::string reason_;
  bool mounted_ = false;
  bool applied_ = false;
};

TEST(CrashRecovery, RecoverInAFolderItCannotWriteNamesEveryFileAndChangesNothing) {
  test::TempDir dir;
  const std::string folder = dir.File("wave");
  platform::CreateFolders(folder);
  const std::string a = test::MakeWorkingFile(folder, folder + "/A.wav", 300);
  const std::string b = test::MakeWorkingFile(folder, folder + "/B.wav", 500);
  test::WriteDeadJournal(folder, {test::EntryFor(a, folder + "/A.wav", 0), test::EntryFor(b, folder + "/B.wav", 1)});
  const std::vector<std::string> before = test::RecorderRig::ListFolder(folder);
  const std::string bytes = test::ReadFile(a);
  int status = -1;
  std::string out;
  {
    ReadOnlyFolder readOnly(folder);
    if (!readOnly.Applied()) GTEST_SKIP() << readOnly.Reason();
    out = test::RunCommand(Tool() + " --recover '" + folder + "' 2>&1", &status);
  }
  EXPECT_EQ(1, status) << out;
  EXPECT_EQ(std::string::npos, out.find("nothing to recover")) << out;
  for (const std::string& working : {a, b})
    EXPECT_NE(std::string::npos, out.find("cannot recover " + working + ": the folder cannot be written: ")) << out;
  EXPECT_EQ(before, test::RecorderRig::ListFolder(folder));
  EXPECT_EQ(bytes, test::ReadFile(a)) << "nothing is repaired that cannot be renamed";

  out = test::RunCommand(Tool() + " --recover '" + folder + "' 2>&1", &status);
  EXPECT_EQ(0, status) << out;
  EXPECT_EQ((std::vector<std::string>{"A.wav", "B.wav"}), test::RecorderRig::ListFolder(folder));
}

TEST(CrashRecovery, TheWindowAsksAtStartAndRecoversOnYes) {
  test::RecorderRig rig;
  const std::string working = test::MakeWorkingFile(rig.wavePath, rig.wavePath + "/Mic.wav", 16000);
  test::WriteDeadJournal(rig.wavePath, {test::EntryFor(working, rig.wavePath + "/Mic.wav", 3)});
  rig.ui.ExpectMessageBox(ui::DialogResult::Yes);
  rig.Open();
  ASSERT_EQ(1u, rig.ui.Messages().size());
  EXPECT_NE(std::string::npos, rig.ui.Messages()[0].text.find("Mic.wav, started 2026-12-09 05:30:00, 2.0 s"))
      << rig.ui.Messages()[0].text;
  EXPECT_EQ((std::vector<std::string>{"Mic.wav"}), rig.WaveFiles());
  EXPECT_EQ(" Stopped", rig.dialog->GetText(kIdStatus));
}

}  // namespace
}  // namespace varnel

namespace varnel {
namespace {

// The journal names the open working files with their calibration from Run on,
// follows every rollover, and goes when the run ends with everything saved.
TEST(CrashRecovery, TheJournalFollowsTheRunThroughRollovers) {
  test::RecorderRig rig;
  rig.UseChannels({0, 1}, {0, 1});
  rig.settings.bAppendTimeStamp = 0;
  rig.Open();
  ScopedWaveRiffSizeLimit limit(36 + 2 * 8192 * 2);
  rig.Run();
  auto journaled = [&] {
    std::vector<JournalFile> journals = ReadJournals(rig.wavePath);
    std::map<int32_t, std::string> working;
    if (journals.size() != 1) return working;
    for (const JournalEntry& e : journals[0].entries) {
      EXPECT_TRUE(e.calibration.has_value());
      EXPECT_EQ(rig.dialog->CalibrationRecords[e.channel].Left.RefLevel, e.calibration->Left.RefLevel);
      working[e.channel] = e.workingFile;
    }
    return working;
  };
  auto open = [&] {
    std::map<int32_t, std::string> working;
    for (int32_t c : {0, 1}) working[c] = std::string(FieldText(rig.dialog->Files.WaveFiles[c]->WorkingFileName));
    return working;
  };
  const auto first = open();
  EXPECT_EQ(first, journaled());
  rig.StepBuffers(3);  // the third buffer of each channel rolls it over
  EXPECT_NE(first, open());
  EXPECT_EQ(open(), journaled());
  rig.dialog->Click(kIdRun);
  EXPECT_TRUE(ReadJournals(rig.wavePath).empty());
  for (const std::string& f : rig.WaveFiles()) EXPECT_FALSE(IsWorkingFileName(f)) << f;
}

}  // namespace
}  // namespace varnel
