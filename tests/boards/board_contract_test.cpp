// The board contract over our own kinds: the simulated board in step mode
// and, on Linux, the ALSA board on a private configuration whose delivery the
// test holds (support/PcmFaults.h), and the comedi board on a scripted device. The Windows suite adds the vendor's
// driver.

#include "support/BoardContract.h"

#include <chrono>
#include <thread>

#include "boards/sim/SimulatedBoard.h"
#include "support/TempDir.h"
#ifndef _WIN32
#include "boards/alsa/AlsaBoard.h"
#include "boards/comedi/ComediBoard.h"
#include "support/AlsaTestConfig.h"
#include "support/FakeComedi.h"
#include "support/PcmFaults.h"
#endif

namespace varnel::test {
namespace {

class SimRig : public ContractRig {
 public:
  SimRig() {
    WriteFile(dir_.File("olsim.ini"), "[Boards]\nCount=2\n[Board1]\nName=Rig\nChannels=4\nGains=2\n");
    board_.SetStepMode(true);
  }
  BoardApi& Board() override { return board_; }
  std::string BoardName() override { return "Rig"; }
  RunSettings GoodRun() override { return {4000, {2, 0, 3}, {1, 2, 1}, kTriggerImmediate}; }
  std::vector<RunSettings> ImpossibleRuns() override {
    return {{4000, {4}, {1}, kTriggerImmediate},
            {600000, {0}, {1}, kTriggerImmediate},
            {4000, {0}, {4}, kTriggerImmediate},
            {4000, {0}, {1}, 999}};
  }
  void Fill(int count, uint32_t) override {
    for (int i = 0; i < count; ++i) board_.StepBuffer();
  }
  bool FillPart(uint32_t scans) override { return board_.StepPartialBuffer(scans); }
  void Starve() override { board_.StepBuffer(); }

 private:
  TempDir dir_;
  sim::SimulatedBoard board_{dir_.File("olsim.ini")};
};

#ifndef _WIN32
// Lets `scans` more scans through `source` and waits until the board took them all.
template <typename Source>
bool FillExactly(Source& source, uint32_t scans) {
  source.Allow(scans);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (source.Taken() < source.Allowed() && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return source.Taken() == source.Allowed();
}

class AlsaRig : public ContractRig {
 public:
  BoardApi& Board() override { return board_; }
  std::string BoardName() override { return AlsaTestConfig::InputName(2); }
  RunSettings GoodRun() override { return {48000, {1, 0}, {1, 1}, kTriggerImmediate}; }
  std::vector<RunSettings> ImpossibleRuns() override {
    return {{48000, {2}, {1}, kTriggerImmediate},
            {12345, {0}, {1}, kTriggerImmediate},
            {48000, {0}, {2}, kTriggerImmediate},
            {48000, {0}, {1}, kTriggerExternalTtl}};
  }
  void Fill(int count, uint32_t scans) override { ring_->Allow(int64_t{count} * scans); }
  bool FillPart(uint32_t scans) override { return FillExactly(*ring_, scans); }
  void Starve() override { ring_->Starve(); }

 protected:
  AlsaTestConfig config_{1 << 18};
  std::shared_ptr<ScriptedRing> ring_ = std::make_shared<ScriptedRing>();
  alsa::AlsaBoard board_{ring_};
};

// A sound server's device: its ring fills while the board has no buffer, and
// it never reports the overrun.
class AlsaSilentRig : public AlsaRig {
 public:
  void Starve() override { ring_->Starve(false); }
};

// A scripted comedi device (support/FakeComedi.h) without an external
// trigger, whose stream the test lets through; reads end inside scans.
class ComediRig : public ContractRig {
 public:
  ComediRig() { device_->LimitReads(301); }
  BoardApi& Board() override { return board_; }
  std::string BoardName() override { return "comedi0: fake_daq fake-6016"; }
  // The clock counts the conversions of all entries: 10000 scans a second.
  RunSettings GoodRun() override { return {20000, {1, 0}, {1, 2}, kTriggerImmediate}; }
  std::vector<RunSettings> ImpossibleRuns() override {
    return {{10000, {16}, {1}, kTriggerImmediate},
            {30000, {0}, {1}, kTriggerImmediate},
            {10000, {0}, {16}, kTriggerImmediate},
            {10000, {0}, {1}, kTriggerExternalTtl},
            {10000, {0}, {1}, 999}};
  }
  void Fill(int count, uint32_t scans) override { device_->Allow(uint64_t(count) * scans); }
  bool FillPart(uint32_t scans) override { return FillExactly(*device_, scans); }
  void Starve() override { device_->Overflow(); }

 private:
  TempDir dir_;
  std::shared_ptr<FakeComediCalls> calls_ = std::make_shared<FakeComediCalls>(dir_.Path());
  std::shared_ptr<FakeComediState> device_ = calls_->Add("comedi0");
  comedi::ComediBoard board_{calls_};
};
#endif

template <typename Rig>
ContractKind Kind(const char* name) {
  return {name, [] { return std::make_unique<Rig>(); }};
}

// One line per kind.
std::vector<ContractKind> Kinds() {
  return {
      Kind<SimRig>("Simulated"),
#ifndef _WIN32
      Kind<AlsaRig>("Alsa"),
      Kind<AlsaSilentRig>("AlsaSilentDevice"),
      Kind<ComediRig>("Comedi"),
#endif
  };
}

INSTANTIATE_TEST_SUITE_P(Kinds, BoardContract, ::testing::ValuesIn(Kinds()), KindName);

}  // namespace
}  // namespace varnel::test
