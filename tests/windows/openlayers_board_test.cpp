#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "StandInRig.h"
#include "acquisition/AcquisitionDevice.h"
#include "boards/openlayers/HandleMap.h"
#include "boards/openlayers/OpenLayersBoard.h"
#include "boards/sim/SimulatedBoard.h"
#include "platform/Messages.h"
#include "platform/Trace.h"
#include "platform/win32/WindowMessageLoop.h"

namespace varnel::openlayers {
namespace {

using test::StandInRig;

TEST(HandleMap, PointerSizedHandlesGetNumbersOfTheirOwn) {
  HandleMap map;
  // Equal in their lower 32 bits: truncating them would make them one.
  auto* a = reinterpret_cast<void*>(uintptr_t{0x1} << 32 | 0x5A5A);
  auto* b = reinterpret_cast<void*>(uintptr_t{0x2} << 32 | 0x5A5A);
  const BoardHandle na = map.Map(a);
  const BoardHandle nb = map.Map(b);
  EXPECT_NE(0u, na);
  EXPECT_NE(na, nb);
  EXPECT_EQ(na, map.Map(a));
  EXPECT_EQ(a, map.Find(na));
  EXPECT_EQ(b, map.Find(nb));
  EXPECT_EQ(0u, map.Map(nullptr));
  EXPECT_EQ(nullptr, map.Find(0));
  map.Forget(na);
  EXPECT_EQ(nullptr, map.Find(na));
  EXPECT_EQ(b, map.Find(nb));
  EXPECT_EQ(1u, map.Size());
}

std::vector<std::string> Names(OpenLayersBoard& board) {
  std::vector<std::string> names;
  board.EnumerateBoards([&](std::string_view name) {
    names.emplace_back(name);
    return 1;
  });
  return names;
}

TEST(OpenLayersBoard, EnumeratesTheBoardsTheDriverReports) {
  StandInRig rig("[Boards]\nCount=2\n[Board0]\nName=DT9834(00)\n[Board1]\nName=DT9834(01)\nChannels=8\n");
  OpenLayersBoard board(rig.Files());
  ASSERT_TRUE(board.LoadDriver());
  EXPECT_EQ((std::vector<std::string>{"DT9834(00)", "DT9834(01)"}), Names(board));
}

TEST(OpenLayersBoard, CapabilitiesAndStatusesPassThrough) {
  StandInRig rig("[Boards]\nCount=1\n[Board0]\nName=B\nChannels=8\nGains=2\nMaxThroughput=200000\nSimultaneous=1\n");
  OpenLayersBoard board(rig.Files());
  ASSERT_TRUE(board.LoadDriver());
  Names(board);
  BoardHandle b = 0, sub = 0;
  ASSERT_EQ(kBoardSuccess, board.InitializeBoard("B", &b));
  ASSERT_EQ(kBoardSuccess, board.GetSubsystem(b, &sub));
  double value = 0;
  double hz = 0;
  EXPECT_EQ(kBoardSuccess, board.GetSubsystemCapability(sub, BoardCapability::ChannelCount, &value));
  EXPECT_EQ(8, value);
  EXPECT_EQ(kBoardSuccess, board.GetSubsystemCapability(sub, BoardCapability::Simultaneous, &value));
  EXPECT_EQ(1, value);
  EXPECT_EQ(kBoardSuccess, board.GetSubsystemCapability(sub, BoardCapability::MaxThroughput, &hz));
  EXPECT_DOUBLE_EQ(200000.0, hz);
  CodeFormat codes{0, 0, 0, 0};
  EXPECT_EQ(kBoardSuccess, board.GetCodeFormat(sub, &codes));
  EXPECT_DOUBLE_EQ(10.0, codes.upper);
  EXPECT_DOUBLE_EQ(-10.0, codes.lower);
  // The driver's own refusals come back unchanged.
  BoardHandle other = 0;
  EXPECT_EQ(sim::kSimNoSuchBoard, board.InitializeBoard("Nope", &other));
  EXPECT_EQ(sim::kSimBadValue, board.Configure(sub, {1000, {0}, {3.0}, kTriggerImmediate}));
  EXPECT_EQ(kUnknownHandle, board.Configure(sub + 1000, {1000, {0}, {1.0}, kTriggerImmediate}));
  EXPECT_EQ(kBoardSuccess, board.ReleaseSubsystem(sub));
  EXPECT_EQ(kBoardSuccess, board.TerminateBoard(b));
}

struct DriverCase {
  const char* name;
  bool noOrdinals;  // else the DLL is not there at all
  const char* trace;
};

class BrokenDriver : public ::testing::TestWithParam<DriverCase> {};

TEST_P(BrokenDriver, OpenFailsSilentlyAndNothingIsCalled) {
  const DriverCase& c = GetParam();
  StandInRig rig;
  DriverFiles files = rig.Files();
  files.dataAcquisition = c.noOrdinals ? StandInRig::NoOrdinalsDll() : rig.dir.File("missing.dll");
  platform::ScopedTraceCapture traces;
  OpenLayersBoard board(files);
  platform::WindowMessageLoop loop;
  AcquisitionDevice device(board, loop);
  EXPECT_FALSE(board.LoadDriver());
  EXPECT_NE(kBoardSuccess, device.EnumerateBoards());
  EXPECT_EQ(0, device.GetBoardCount());
  BoardCount = 1;  // as if a board had been listed before the driver went
  EXPECT_EQ(0, device.Open(&loop, 0));
  BoardCount = 0;
  EXPECT_FALSE(device.LastProblem());
  BoardHandle h = 7;
  EXPECT_EQ(kDriverNotLoaded, board.InitializeBoard("DT9834(00)", &h));
  EXPECT_EQ(kDriverNotLoaded, board.AllocateBuffer(16, &h));
  EXPECT_TRUE(traces.Sink().Contains(c.trace)) << traces.Sink().Lines().front();
  EXPECT_EQ(1u, traces.Sink().Count(traces.Sink().Lines().front()));  // traced once, not at every call
}

INSTANTIATE_TEST_SUITE_P(Drivers, BrokenDriver,
                         ::testing::Values(DriverCase{"Missing", false, "cannot load"},
                                           DriverCase{"WithoutOrdinals", true, "ordinal 97"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OpenLayersBoard, ARefusedInitializeGivesTheStatus) {
  StandInRig rig("[StandIn]\nInitializeStatus=7\n");
  OpenLayersBoard board(rig.Files());
  platform::WindowMessageLoop loop;
  AcquisitionDevice device(board, loop);
  ASSERT_EQ(0, device.EnumerateBoards());
  ASSERT_EQ(1, device.GetBoardCount());
  EXPECT_EQ(0, device.Open(&loop, 0));
  EXPECT_EQ(DeviceError::kOpenFailed, device.LastProblem().error);
  EXPECT_EQ(7, device.LastProblem().status);
  EXPECT_FALSE(device.IsOpen());
}

// The driver's messages as the main window gets them: each buffer-done is processed.
class BufferCounter : public platform::MessageHandler {
 public:
  explicit BufferCounter(AcquisitionDevice& device) : device_(device) {}
  intptr_t HandleMessage(const platform::Message& m) override {
    if (m.id == platform::kBufferDoneMessage) processed += device_.ProcessBuffer();
    if (m.id == platform::kBufferOverrunMessage) ++overruns;
    return 0;
  }
  int processed = 0;
  int overruns = 0;

 private:
  AcquisitionDevice& device_;
};

TEST(OpenLayersBoard, RecordsThroughTheDriverAndItsWindowMessages) {
  StandInRig rig("[Boards]\nCount=1\n[Board0]\nName=DT9834(00)\n[Board0_Channel1]\nSignal=dc\nAmplitude=5\n");
  OpenLayersBoard board(rig.Files());
  platform::WindowMessageLoop loop;
  ASSERT_TRUE(loop.Valid());
  AcquisitionDevice device(board, loop);
  BufferCounter counter(device);
  loop.SetHandler(&counter);
  ASSERT_EQ(0, device.EnumerateBoards());
  ASSERT_EQ(1, device.Open(&loop, 0));
  ChannelSettingsArray channels = DefaultChannels();
  for (auto& c : channels) c.bIsEnabled = 0;
  channels[0].bIsEnabled = channels[1].bIsEnabled = 1;
  device.SetChannelSettings(channels);
  ASSERT_EQ(1, device.Configure(8000, 0));
  ASSERT_EQ(1, device.Start());
  for (int i = 0; i < 200 && counter.processed < 3; ++i) loop.WaitAndDispatch(50);
  device.Stop();
  device.Close();
  loop.DispatchPending();
  EXPECT_GE(counter.processed, 3);
  EXPECT_EQ(0, counter.overruns);
  // 5 V of a dc signal at gain 1 is half of full scale.
  const int16_t* block = device.GetChannelBlock(1);
  ASSERT_NE(nullptr, block);
  EXPECT_NEAR(16384, block[0], 2);
}

}  // namespace
}  // namespace varnel::openlayers
