// The board contract over the vendor's driver: the Open Layers board on the
// stand-in DLLs, the stand-in in step mode (its own ordinals 900 and 901 fill
// a buffer or part of one), its messages coming through a window.

#include <string>

#include "StandInRig.h"
#include "acquisition/BoardMessages.h"
#include "boards/openlayers/OpenLayersBoard.h"
#include "platform/Messages.h"
#include "platform/win32/WindowMessageLoop.h"
#include "support/BoardContract.h"
//
#include "platform/win32/WindowsApi.h"

namespace varnel::test {
namespace {

class OpenLayersRig : public ContractRig, platform::MessageHandler {
 public:
  OpenLayersRig() {
    loop_.SetHandler(this);
    stepper_ = ::LoadLibraryA(standIn_.Files().dataAcquisition.c_str());
  }
  ~OpenLayersRig() override {
    if (stepper_) ::FreeLibrary(stepper_);
  }
  BoardApi& Board() override { return board_; }
  std::string BoardName() override { return "DT9834(00)"; }
  RunSettings GoodRun() override { return {4000, {2, 0, 3}, {1, 2, 1}, kTriggerImmediate}; }
  std::vector<RunSettings> ImpossibleRuns() override {
    return {{4000, {4}, {1}, kTriggerImmediate},
            {600000, {0}, {1}, kTriggerImmediate},
            {4000, {0}, {4}, kTriggerImmediate}};
  }
  // The driver cannot be asked in advance.
  bool ChecksInAdvance() const override { return false; }

  void Fill(int count, uint32_t) override {
    for (int i = 0; i < count; ++i) Step<BOOL(WINAPI*)()>(900);
  }
  bool FillPart(uint32_t scans) override { return Step<BOOL(WINAPI*)(uint32_t)>(901, scans); }
  void Starve() override { Step<BOOL(WINAPI*)()>(900); }

  BoardEvents* Events() override { return &messages_; }
  bool WaitForBuffers(int total) override {
    return Pump([&] { return events_.Buffers() >= total; });
  }
  bool WaitForOverruns(int total) override {
    return Pump([&] { return events_.Overruns() >= total; });
  }

  intptr_t HandleMessage(const platform::Message& m) override {
    if (m.id == platform::kBufferDoneMessage) events_.BufferDone();
    if (m.id == platform::kBufferOverrunMessage) events_.Overrun();
    return 0;
  }

 private:
  template <typename Fn, typename... Args>
  bool Step(WORD ordinal, Args... args) {
    auto step = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(stepper_, MAKEINTRESOURCEA(ordinal))));
    return step != nullptr && step(args...) == TRUE;
  }
  template <typename Done>
  bool Pump(Done done) {
    for (int i = 0; i < 600 && !done(); ++i) loop_.WaitAndDispatch(50);
    return done();
  }

  StandInRig standIn_{"[StandIn]\nStepMode=1\n[Boards]\nCount=1\n[Board0]\nChannels=4\nGains=2\n"};
  platform::WindowMessageLoop loop_;
  BoardMessages messages_{&loop_};
  openlayers::OpenLayersBoard board_{standIn_.Files()};
  HMODULE stepper_ = nullptr;
};

INSTANTIATE_TEST_SUITE_P(Kinds, BoardContract,
                         ::testing::Values(ContractKind{"OpenLayers",
                                                        [] { return std::make_unique<OpenLayersRig>(); }}),
                         KindName);

}  // namespace
}  // namespace varnel::test
