// The headless recorder where unattended runs go wrong: a closed terminal, no
// session bus, a full disk, and the end of a timed run.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <cstdio>
#include <cstdlib>

#include "ChildProcess.h"
#include "support/InterruptedRecording.h"
#include "support/RecorderRig.h"
#include "support/ShownAsBoxes.h"

namespace varnel {
namespace {

std::string Tool() {
  const char* build = std::getenv("VARNEL_BUILD_DIR");
  return std::string(build ? build : "build") + "/bin/varnel-record";
}

std::string Settings(test::RecorderRig& rig, std::vector<int> channels, int32_t rate) {
  rig.UseChannels(channels, channels);
  rig.settings.SamplingRate = rate;
  const std::string ini = rig.dir.File("headless.ini");
  SaveSettings(ini, rig.channels, rig.settings);
  return ini;
}

uint64_t FramesOf(const std::string& path) {
  test::ScriptedUiServices ui;
  WaveIO wave(test::BoxesFor(ui));
  return wave.OpenExisting(path) == 1 ? wave.Length : 0;
}

TEST(HeadlessFaults, SighupStopsAndSavesLikeSigterm) {
  test::RecorderRig rig;
  const std::string ini = Settings(rig, {0, 1}, 20000);
  test::ChildProcess recorder({Tool(), "--quiet", "--continue-without-analyser", "--settings", ini},
                              rig.dir.File("out.log"));
  // Hung up once both channels hold samples, however long that takes.
  ASSERT_TRUE(test::WaitUntil([&] { return test::WorkingFilesWithData(rig.wavePath) == 2; }, 120000))
      << recorder.Output();
  recorder.Signal(SIGHUP);
  EXPECT_EQ(0, recorder.Wait(120000));
  const std::string out = recorder.Output();
  EXPECT_NE(std::string::npos, out.find("wrote " + rig.wavePath + "/Channel_1.wav (")) << out;
  EXPECT_EQ((std::vector<std::string>{"Channel_0.wav", "Channel_1.wav"}), rig.WaveFiles());
  EXPECT_GT(FramesOf(rig.wavePath + "/Channel_0.wav"), 0u);
  EXPECT_NE(std::string::npos, test::ReadFile(ini).find("ChannelIndex=1"));
}

// B runs while A records into the same folder: B is warned, and A, stopping
// last, leaves B's file as it is and saves its own under a new name.
TEST(HeadlessFaults, TwoRecordersInOneFolderKeepBothRecordings) {
  test::RecorderRig rig;
  const std::string ini = Settings(rig, {0}, 20000);
  test::ChildProcess a({Tool(), "--quiet", "--continue-without-analyser", "--settings", ini}, rig.dir.File("a.log"));
  ASSERT_TRUE(test::WaitUntil([&] { return test::WorkingFilesWithData(rig.wavePath) == 1; }, 120000)) << a.Output();
  int status = -1;
  const std::string b = test::RunCommand(
      Tool() + " --quiet --continue-without-analyser --seconds 1 --settings '" + ini + "' 2>&1", &status);
  EXPECT_EQ(0, status) << b;
  EXPECT_NE(std::string::npos, b.find("Another recorder is writing in " + rig.wavePath)) << b;
  const uint64_t bFrames = FramesOf(rig.wavePath + "/Channel_0.wav");
  EXPECT_NE(std::string::npos, b.find("(" + std::to_string(bFrames) + " frames)")) << b;
  a.Signal(SIGTERM);
  EXPECT_EQ(0, a.Wait(120000));
  EXPECT_EQ(bFrames, FramesOf(rig.wavePath + "/Channel_0.wav"));
  EXPECT_GT(FramesOf(rig.wavePath + "/Channel_0_2.wav"), 0u);
  EXPECT_NE(std::string::npos, a.Output().find("saved as " + rig.wavePath + "/Channel_0_2.wav")) << a.Output();
}

TEST(HeadlessFaults, NoSessionBusIsAnAnalyserThatDoesNotAnswer) {
  test::RecorderRig rig;
  const std::string ini = Settings(rig, {0}, 20000);
  const std::string noBus = "env -u DBUS_SESSION_BUS_ADDRESS -u XDG_RUNTIME_DIR " + Tool() + " --quiet --seconds 1 ";
  int status = 0;
  std::string out = test::RunCommand(noBus + "--settings '" + ini + "' 2>&1", &status);
  EXPECT_EQ(1, status) << out;
  EXPECT_NE(std::string::npos, out.find("Continue anyway? -> No")) << out;
  EXPECT_EQ(std::string::npos, out.find("DdeInitialize failed.")) << out;
  out = test::RunCommand(noBus + "--continue-without-analyser --settings '" + ini + "' 2>&1", &status);
  EXPECT_EQ(0, status) << out;
  EXPECT_GE(FramesOf(rig.wavePath + "/Channel_0.wav"), 20000u) << out;
}

TEST(HeadlessFaults, ATimedRunKeepsWhatTheBoardDeliveredUpToItsStop) {
  // 16 channels at 31250 Hz fill a buffer every 0.262 s; 2.05 s used to keep
  // only the 7 buffers handled before the stop.
  test::RecorderRig rig;
  std::vector<int> all;
  for (int i = 0; i < kChannelCount; ++i) all.push_back(i);
  const std::string ini = Settings(rig, all, 31250);
  int status = 0;
  const std::string out = test::RunCommand(
      Tool() + " --quiet --seconds 2.05 --continue-without-analyser --settings '" + ini + "' 2>&1", &status);
  EXPECT_EQ(0, status) << out;
  const uint64_t frames = FramesOf(rig.wavePath + "/Channel_15.wav");
  EXPECT_GT(frames, static_cast<uint64_t>(2.05 * 31250)) << out;
}

// Where the recorder's own output goes cannot end a recording: a reader that
// went away (`| head -1`, once a pipe's reader closed it, used to end it with
// SIGPIPE at the Stop, the files left as working files) or an output that
// refuses every write.
TEST(HeadlessFaults, OutputThatCannotBeWrittenNeverEndsTheRecording) {
  const struct {
    const char* name;
    const char* command;  // %s: the recorder's command line
  } cases[] = {
      {"a reader that went away", "{ %s 2>/dev/null; echo $? > status; } | head -1 >/dev/null"},
      {"a full output", "%s >/dev/full 2>/dev/full; echo $? > status"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::RecorderRig rig;
    const std::string ini = Settings(rig, {0}, 20000);
    const std::string recorder = Tool() + " --seconds 2 --continue-without-analyser --settings '" + ini + "'";
    char command[4096];
    std::snprintf(command, sizeof command, c.command, recorder.c_str());
    test::RunCommand(std::string("cd '") + rig.dir.Path() + "' && " + command, nullptr);
    EXPECT_EQ("0\n", test::ReadFile(rig.dir.File("status")));
    EXPECT_EQ((std::vector<std::string>{"Channel_0.wav"}), rig.WaveFiles());
    EXPECT_GE(FramesOf(rig.wavePath + "/Channel_0.wav"), 20000u);
  }
}

// The board beside the program never sees its trigger.
TEST(HeadlessFaults, ATriggerThatNeverCameIsSaidAndEndsWithStatusOne) {
  test::RecorderRig rig;
  rig.settings.TriggerEnable = 1;
  const std::string ini = Settings(rig, {0}, 20000);
  int status = 0;
  const std::string out = test::RunCommand(
      Tool() + " --quiet --seconds 0.5 --continue-without-analyser --settings '" + ini + "' 2>&1", &status);
  EXPECT_EQ(1, status) << out;
  EXPECT_NE(std::string::npos, out.find("status: Waiting for Trigger...\n")) << out;
  EXPECT_NE(std::string::npos, out.find("status: Stopped: no trigger came; nothing was recorded\n")) << out;
  EXPECT_EQ(out.size() - 38, out.rfind("no trigger came; nothing was recorded\n")) << out;
  EXPECT_TRUE(rig.WaveFiles().empty());
}

// The recorder on a terminal of its own, which the test types into.
class OnATerminal {
 public:
  explicit OnATerminal(std::vector<std::string> args) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    const std::string slave = ::ptsname(master_);
    pid_ = ::fork();
    if (pid_ != 0) return;
    ::setsid();
    const int fd = ::open(slave.c_str(), O_RDWR);  // the controlling terminal
    termios t{};
    ::tcgetattr(fd, &t);
    t.c_iflag |= IXON;  // Ctrl-S and Ctrl-Q stop and restart the output
    ::tcsetattr(fd, TCSANOW, &t);
    for (int i = 0; i < 3; ++i) ::dup2(fd, i);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ~OnATerminal() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) ::close(master_);
  }
  bool Started() const { return pid_ > 0; }
  void Type(char c) const { (void)!::write(master_, &c, 1); }
  // Reads what the terminal shows until it shows `text`, or until it closes
  // (text empty); whether it did within the time.
  bool ReadUntil(const std::string& text, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (text.empty() || shown.find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() > end) return false;
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n <= 0) return text.empty();  // closed: the program ended
      shown.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
  }
  int Wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  std::string shown;

 private:
  int master_ = -1;
  pid_t pid_ = -1;
};

// Ctrl-S held the thread that takes the board's buffers as soon as it printed:
// after 60 queued buffers (7.5 s at 100 kHz) the board overran and the run
// lost the rest of the stall. Now only the console waits.
TEST(HeadlessFaults, AStalledTerminalLosesNoSample) {
  test::RecorderRig rig;
  const std::string ini = Settings(rig, {0}, 100000);
  OnATerminal recorder({Tool(), "--seconds", "10", "--continue-without-analyser", "--settings", ini});
  ASSERT_TRUE(recorder.Started());
  ASSERT_TRUE(recorder.ReadUntil("status: Running...", 120000)) << recorder.shown;
  recorder.Type('\x13');  // Ctrl-S
  std::this_thread::sleep_for(std::chrono::seconds(9));
  recorder.Type('\x11');  // Ctrl-Q
  EXPECT_TRUE(recorder.ReadUntil("", 120000)) << recorder.shown;
  EXPECT_EQ(0, recorder.Wait()) << recorder.shown;
  EXPECT_EQ(std::string::npos, recorder.shown.find("overrun")) << recorder.shown;
  EXPECT_NE(std::string::npos, recorder.shown.find("status: Stopped")) << recorder.shown;
  EXPECT_GE(FramesOf(rig.wavePath + "/Channel_0.wav"), 10u * 100000) << recorder.shown;
}

TEST(HeadlessFaults, AFullDiskGivesItsReasonAtOnceTheWholeListAndExitStatusThree) {
  test::RecorderRig rig;
  const std::string small = rig.dir.File("small");
  platform::CreateFolders(small);
  if (::geteuid() != 0 || ::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=100k") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here";
  CopyCut(rig.settings.szWavePath, small);
  rig.wavePath = small;
  const std::string ini = Settings(rig, {0, 1}, 250000);
  int status = 0;
  const std::string out = test::RunCommand(
      Tool() + " --quiet --seconds 1.5 --continue-without-analyser --settings '" + ini + "' 2>&1", &status);
  EXPECT_EQ(3, status) << out;
  EXPECT_NE(std::string::npos, out.find("is not being recorded: the disk is full.")) << out;
  EXPECT_NE(std::string::npos, out.find("not recorded again")) << out;
  EXPECT_EQ(std::string::npos, out.find("wrote  (")) << out;
  for (const std::string& f : rig.WaveFiles()) {
    EXPECT_NE(std::string::npos, out.find("wrote " + small + "/" + f + " (")) << f << out;
    int soxStatus = 0;
    test::RunCommand("sox --i '" + small + "/" + f + "' 2>&1", &soxStatus);
    EXPECT_EQ(0, soxStatus) << f;
  }
  ::umount2(small.c_str(), MNT_DETACH);
}

}  // namespace
}  // namespace varnel
