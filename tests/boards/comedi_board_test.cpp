// The comedi boards on scripted devices (support/FakeComedi.h): Linux only.
#ifndef _WIN32

#include "boards/comedi/ComediBoard.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "boards/comedi/ComediDevices.h"
#include "platform/Trace.h"
#include "support/FakeComedi.h"
#include "support/TempDir.h"

namespace varnel::comedi {
namespace {

using test::FakeComediSpec;
using test::FakeComediState;

std::string GroupOf(const std::string& path) {
  struct stat status {};
  ::stat(path.c_str(), &status);
  const group* owner = ::getgrgid(status.st_gid);
  return owner != nullptr ? owner->gr_name : std::to_string(status.st_gid);
}

// What a board tells, counted; waited for with a generous bound.
class Told : public BoardEvents {
 public:
  void BufferDone() override { ++buffers; }
  void Overrun() override { ++overruns; }
  bool WaitForBuffers(int total) const { return WaitFor(buffers, total); }
  bool WaitForOverruns(int total) const { return WaitFor(overruns, total); }
  std::atomic<int> buffers{0};
  std::atomic<int> overruns{0};

 private:
  static bool WaitFor(const std::atomic<int>& counter, int total) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (counter < total && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return counter >= total;
  }
};

class ComediBoardTest : public ::testing::Test {
 protected:
  std::shared_ptr<FakeComediState> Add(const std::string& name, FakeComediSpec spec = {}) {
    return calls_->Add(name, std::move(spec));
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    board_.EnumerateBoards([&](std::string_view n) { return names.emplace_back(n), 1; });
    return names;
  }
  // Opens the board of `file` and its input.
  void Open(const std::string& file) {
    std::string name;
    for (const std::string& n : Names()) {
      if (n.rfind(file + ":", 0) == 0) name = n;
    }
    ASSERT_EQ(kBoardSuccess, board_.InitializeBoard(name, &handle_)) << file;
    ASSERT_EQ(kBoardSuccess, board_.GetSubsystem(handle_, &sub_));
  }
  // Rate per channel; the clock counts every entry's conversion.
  static RunSettings Run(double rate, const std::vector<int32_t>& list, std::vector<double> gains = {},
                         int32_t trigger = kTriggerImmediate) {
    if (gains.empty()) gains.assign(list.size(), 1.0);
    return {rate * static_cast<double>(list.size()), list, gains, trigger};
  }
  std::string Refusal(const RunSettings& run) {
    std::string refusal;
    EXPECT_NE(kBoardSuccess, board_.CheckRun(sub_, run, &refusal));
    return refusal;
  }
  // Configures `run`, queues `buffers` buffers of `scans` scans and starts.
  void Start(const RunSettings& run, int buffers, uint32_t scans) {
    ASSERT_EQ(kBoardSuccess, board_.Configure(sub_, run));
    for (int i = 0; i < buffers; ++i) {
      BoardHandle buffer = 0;
      ASSERT_EQ(kBoardSuccess, board_.AllocateBuffer(scans * static_cast<uint32_t>(run.channels.size()), &buffer));
      ASSERT_EQ(kBoardSuccess, board_.QueueReadyBuffer(sub_, buffer));
    }
    ASSERT_EQ(kBoardSuccess, board_.StartAcquisition(sub_, &events_));
  }
  // The codes of every done buffer, in order.
  std::vector<uint16_t> TakeCodes() {
    std::vector<uint16_t> codes;
    for (BoardHandle buffer = 0;;) {
      EXPECT_EQ(kBoardSuccess, board_.TakeDoneBuffer(sub_, &buffer));
      if (buffer == 0) return codes;
      BufferData data;
      EXPECT_EQ(kBoardSuccess, board_.GetBufferData(buffer, &data));
      codes.insert(codes.end(), data.samples, data.samples + data.valid);
    }
  }
  // The codes `device` gives for `list` from scan `first` on, as the recorder gets them.
  static std::vector<uint16_t> Expected(const FakeComediState& device, const std::vector<int32_t>& list, uint64_t first,
                                        uint64_t scans) {
    const int shift = std::max(device.Bits() - 16, 0);
    std::vector<uint16_t> codes;
    for (uint64_t s = first; s < first + scans; ++s) {
      for (int32_t c : list) codes.push_back(static_cast<uint16_t>(device.Code(static_cast<unsigned>(c), s) >> shift));
    }
    return codes;
  }

  test::TempDir dir_;
  std::shared_ptr<test::FakeComediCalls> calls_ = std::make_shared<test::FakeComediCalls>(dir_.Path());
  ComediBoard board_{calls_};
  Told events_;
  BoardHandle handle_ = 0;
  BoardHandle sub_ = 0;
};

TEST_F(ComediBoardTest, ListsEveryDeviceThatStreamsAndSaysWhyOthersCannotBeUsed) {
  Add("comedi0", {.driver = "ni_pcimio", .board = "pci-6221"});
  Add("comedi1", {.openError = -EACCES});
  Add("comedi2", {.openError = -EBUSY});
  Add("comedi3", {.streams = false});
  Add("comedi4", {.type = COMEDI_SUBD_DI});
  Add("comedi6", {.openError = -ENODEV});
  Add("comedi7", {.flags = SDF_READABLE | SDF_GROUND});
  Add("comedi8", {.ranges = {{0, 20, UNIT_mA}}});
  Add("comedi10", {.driver = "adv_pci1710", .board = "pci1710", .flags = SDF_READABLE | SDF_CMD_READ | SDF_BUSY});
  test::WriteFile(dir_.File("comedi5"), "a regular file, no comedi device");
  for (const char* other : {"comedi", "comedi0x", "comedi_config", "ttyS0"}) test::WriteFile(dir_.File(other), "");
  EXPECT_EQ((std::vector<std::string>{
                "comedi0: ni_pcimio pci-6221",
                "comedi1: no permission, the user must be in group " + GroupOf(dir_.File("comedi1")),
                "comedi2: busy, in use by another program",
                "comedi10: adv_pci1710 pci1710 (busy, in use by another program)",
            }),
            Names());
  BoardHandle handle = 0;
  EXPECT_EQ(EACCES, board_.InitializeBoard(Names()[1], &handle));
  EXPECT_EQ(EBUSY, board_.InitializeBoard(Names()[3], &handle));
}

TEST_F(ComediBoardTest, OffersTheGainsItHasRangesForAndItsCodes) {
  struct Case {
    const char* what;
    std::vector<comedi_range> table;
    lsampl_t maxdata;
    std::vector<unsigned> gainRanges;  // table index of gain 1, 2, 4, 8
    CodeFormat codes;
  };
  const comedi_range b10{-10, 10, UNIT_volt}, b5{-5, 5, UNIT_volt}, b25{-2.5, 2.5, UNIT_volt};
  const comedi_range b125{-1.25, 1.25, UNIT_volt}, u10{0, 10, UNIT_volt}, u5{0, 5, UNIT_volt};
  const Case cases[] = {
      {"16 bits, four bipolar ranges",
       {b10, b5, b25, b125, u10},
       0xFFFF,
       {0, 1, 2, 3},
       {10, -10, kEncodingUnsigned, 16}},
      {"unipolar ranges first in the table", {u10, u5, b5, b25}, 0xFFF, {2, 3}, {5, -5, kEncodingUnsigned, 12}},
      {"a gap ends the list", {b10, b25, b125}, 0xFFFF, {0}, {10, -10, kEncodingUnsigned, 16}},
      {"unipolar only", {u10, u5, {0, 2.5, UNIT_volt}}, 0xFFFF, {0, 1, 2}, {10, 0, kEncodingUnsigned, 16}},
      {"18 bits keep their top 16", {b10, {0, 20, UNIT_mA}}, 0x3FFFF, {0}, {10, -10, kEncodingUnsigned, 16}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<VoltRange> gains = GainRanges(c.table);
    std::vector<unsigned> indexes;
    for (const VoltRange& r : gains) indexes.push_back(r.index);
    EXPECT_EQ(c.gainRanges, indexes);

    test::TempDir dir;
    auto calls = std::make_shared<test::FakeComediCalls>(dir.Path());
    calls->Add("comedi0", {.maxdata = c.maxdata, .ranges = c.table});
    ComediBoard board(calls);
    BoardHandle handle = 0, sub = 0;
    board.EnumerateBoards([](std::string_view) { return 1; });
    ASSERT_EQ(kBoardSuccess, board.InitializeBoard("comedi0: fake_daq fake-6016", &handle));
    ASSERT_EQ(kBoardSuccess, board.GetSubsystem(handle, &sub));
    double count = 0, channels = 0, max = 0;
    board.GetSubsystemCapability(sub, BoardCapability::GainCount, &count);
    board.GetSubsystemCapability(sub, BoardCapability::ChannelCount, &channels);
    board.GetSubsystemCapability(sub, BoardCapability::MaxThroughput, &max);
    EXPECT_EQ(static_cast<double>(c.gainRanges.size()), count);
    EXPECT_EQ(16, channels);
    EXPECT_EQ(250000, max);  // 4 us a conversion
    CodeFormat codes;
    EXPECT_EQ(kBoardSuccess, board.GetCodeFormat(sub, &codes));
    EXPECT_EQ(c.codes, codes);
  }
  EXPECT_EQ(12, BitsOf(0xFFF));
  EXPECT_EQ(16, BitsOf(0xFFFF));
  EXPECT_EQ(18, BitsOf(0x3FFFF));
}

TEST_F(ComediBoardTest, RunsOneCommandWithTheListsRangesAtTheRateAsked) {
  const auto device = Add("comedi0", {.startSources = TRIG_NOW | TRIG_EXT, .convertSources = TRIG_TIMER | TRIG_NOW});
  Open("comedi0");
  platform::MemoryTraceSink traces;
  platform::TraceSink* before = platform::SetTraceSink(&traces);
  Start(Run(10000, {3, 0, 3}, {1, 4, 2}, kTriggerExternalTtl), 1, 100);
  platform::SetTraceSink(before);
  std::vector<unsigned> list;
  const comedi_cmd cmd = device->LastCommand(&list);
  EXPECT_EQ(TRIG_EXT, cmd.start_src);
  EXPECT_EQ(TRIG_TIMER, cmd.scan_begin_src);
  EXPECT_EQ(100000u, cmd.scan_begin_arg);
  EXPECT_EQ(TRIG_NOW, cmd.convert_src);  // as fast as the board converts
  EXPECT_EQ(3u, cmd.scan_end_arg);
  EXPECT_EQ(TRIG_NONE, cmd.stop_src);
  EXPECT_EQ((std::vector<unsigned>{CR_PACK(3, 0, AREF_GROUND), CR_PACK(0, 2, AREF_GROUND), CR_PACK(3, 1, AREF_GROUND)}),
            list);
  EXPECT_LE(20000u, device->BufferSizeAsked());  // half a second of samples at least
  for (const char* line : {"channel 3 at range 0, -10 V to 10 V", "channel 0 at range 2, -2.5 V to 2.5 V",
                           "channel 3 at range 1, -5 V to 5 V", "ground reference"}) {
    EXPECT_TRUE(traces.Contains(line)) << line;
  }
}

TEST_F(ComediBoardTest, MeasuresAgainstGroundWhereTheBoardOffersIt) {
  const std::pair<int, const char*> cases[] = {
      {SDF_GROUND | SDF_DIFF, "ground"}, {SDF_COMMON | SDF_DIFF, "common"}, {SDF_DIFF, "differential"}};
  int n = 0;
  for (const auto& [reference, name] : cases) {
    SCOPED_TRACE(name);
    const std::string file = "comedi" + std::to_string(n++);
    const auto device = Add(file, {.flags = SDF_READABLE | SDF_CMD_READ | reference});
    Open(file);
    platform::MemoryTraceSink traces;
    platform::TraceSink* before = platform::SetTraceSink(&traces);
    Start(Run(1000, {2}), 1, 10);
    platform::SetTraceSink(before);
    std::vector<unsigned> list;
    device->LastCommand(&list);
    const unsigned aref = reference & SDF_GROUND ? AREF_GROUND : reference & SDF_COMMON ? AREF_COMMON : AREF_DIFF;
    EXPECT_EQ(std::vector<unsigned>{CR_PACK(2, 0, aref)}, list);
    EXPECT_TRUE(traces.Contains(std::string(name) + " reference"));
    EXPECT_EQ(kBoardSuccess, board_.TerminateBoard(handle_));
  }
}

TEST_F(ComediBoardTest, RefusesWhatItCannotRunWithTheReasonAndStartsNothing) {
  const auto device =
      Add("comedi0", {.ranges = {{-10, 10, UNIT_volt}, {-5, 5, UNIT_volt}}, .shortFrom = 12, .shortTable = 1});
  Open("comedi0");
  struct Case {
    RunSettings run;
    std::string said;  // "": refused without a sentence of its own
  };
  const std::string board = "\"comedi0: fake_daq fake-6016\"";
  const Case cases[] = {
      {Run(30000, {0}), board + " cannot sample at exactly 30000 Hz: its clock would run 29985 Hz.  Rates near it "
                                "that it runs: 25000 Hz and 31250 Hz."},
      {Run(20000, std::vector<int32_t>(16, 0)), board + " cannot sample at exactly 20000 Hz: its clock would run "
                                                        "15625 Hz.  Rates near it that it runs: 15625 Hz."},
      {Run(1000, std::vector<int32_t>(17, 0)), board + " has 16 input channels; 17 were asked for."},
      {Run(1000, {16}), "Channel 16 is not an input of " + board + ": it has 16 input channels (0 to 15)."},
      {Run(1000, {-1}), "Channel -1 is not an input of " + board + ": it has 16 input channels (0 to 15)."},
      {Run(1000, {0}, {4}), ""},
      {Run(1000, {0, 12}, {2, 2}), "Channel 12 of " + board + " has no range of -5 V to 5 V for its gain of 2."},
      {Run(1000, {0}, {3}), ""},
      {Run(1000, {0}, {1}, kTriggerExternalTtl),
       board + " cannot start on an external TTL trigger.  Switch off the trigger in the Recording Options to "
               "record from it."},
      {Run(0.5, {0}), board + " cannot sample at this rate."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.run.clockHz);
    EXPECT_EQ(c.said, Refusal(c.run));
    EXPECT_NE(kBoardSuccess, board_.Configure(sub_, c.run));
  }
  EXPECT_NE(kBoardSuccess, board_.StartAcquisition(sub_, &events_));
  EXPECT_EQ(0, device->Commands());
  EXPECT_EQ(kBoardSuccess, board_.CheckRun(sub_, Run(15625, std::vector<int32_t>(16, 0)), nullptr));
}

TEST_F(ComediBoardTest, GivesTheBoardsCodesInListOrderWhateverTheirWidth) {
  for (const lsampl_t maxdata : {lsampl_t{0xFFFF}, lsampl_t{0xFFF}, lsampl_t{0x3FFFF}}) {
    SCOPED_TRACE(maxdata);
    const std::string file = "comedi" + std::to_string(maxdata & 0xF);
    const auto device = Add(file, {.maxdata = maxdata});
    device->LimitReads(7);  // reads that end inside a scan
    Open(file);
    const std::vector<int32_t> list = {5, 0, 15};
    Start(Run(1000, list), 3, 50);
    device->Allow(150);
    ASSERT_TRUE(events_.WaitForBuffers(3));
    EXPECT_EQ(Expected(*device, list, 0, 150), TakeCodes());
    EXPECT_EQ(kBoardSuccess, board_.TerminateBoard(handle_));
    events_.buffers = 0;
  }
}

TEST_F(ComediBoardTest, AnOverflowIsAnOverrunAfterWhichTheCommandStartsAgain) {
  const auto device = Add("comedi0");
  Open("comedi0");
  const std::vector<int32_t> list = {2, 1};
  Start(Run(1000, list), 4, 100);
  device->Allow(150);
  ASSERT_TRUE(events_.WaitForBuffers(1));
  // The scans before the loss are read first, then the command starts again.
  device->Overflow(1000);
  ASSERT_TRUE(events_.WaitForOverruns(1));
  device->Allow(250);
  ASSERT_TRUE(events_.WaitForBuffers(4));
  EXPECT_EQ(1, events_.overruns.load());
  EXPECT_EQ(2, device->Commands());
  EXPECT_EQ(1, device->Cancels());
  std::vector<uint16_t> want = Expected(*device, list, 0, 150);
  const std::vector<uint16_t> after = Expected(*device, list, 1150, 250);
  want.insert(want.end(), after.begin(), after.end());
  EXPECT_EQ(want, TakeCodes());
  EXPECT_EQ(kBoardSuccess, board_.StopAcquisition(sub_));
}

TEST_F(ComediBoardTest, AVanishedDeviceEndsTheRunAsALoss) {
  const auto device = Add("comedi0");
  Open("comedi0");
  const std::vector<int32_t> list = {0};
  Start(Run(1000, list), 3, 100);
  device->Allow(100);
  ASSERT_TRUE(events_.WaitForBuffers(1));
  device->Vanish();
  ASSERT_TRUE(events_.WaitForOverruns(1));
  EXPECT_EQ(kBoardSuccess, board_.StopAcquisition(sub_));
  EXPECT_EQ(kBoardSuccess, board_.EndAcquisitionAndFlush(sub_));
  EXPECT_EQ(Expected(*device, list, 0, 100), TakeCodes());
  EXPECT_EQ(1, events_.overruns.load());
  EXPECT_NE(kBoardSuccess, board_.StartAcquisition(sub_, &events_));
}

TEST(ComediFiles, OnlyComediDevicesAreOpened) {
  test::TempDir dir;
  test::WriteFile(dir.File("comedi5"), "not a device");
  ASSERT_EQ(0, ::symlink("/dev/null", dir.File("comedi6").c_str()));
  const auto calls = RealComediCalls(dir.Path());
  for (const auto& [file, error] : {std::pair{"comedi5", -ENOTTY}, {"comedi6", -ENOTTY}, {"comedi7", -ENOENT}}) {
    int got = 0;
    EXPECT_EQ(nullptr, calls->Open(dir.File(file), &got));
    EXPECT_EQ(error, got) << file;
  }
  EXPECT_TRUE(ListDevices(*calls).empty());
}

}  // namespace
}  // namespace varnel::comedi

#endif  // _WIN32
