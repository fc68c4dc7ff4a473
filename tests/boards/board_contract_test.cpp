// The board contract over our own kinds: the simulated board in step mode
// and, on Linux, the ALSA board on a private configuration whose delivery the
// test holds (support/PcmFaults.h). The Windows suite adds the vendor's driver.

#include "support/BoardContract.h"

#include <chrono>
#include <thread>

#include "boards/sim/SimulatedBoard.h"
#include "support/TempDir.h"
#ifndef _WIN32
#include "boards/alsa/AlsaBoard.h"
#include "support/AlsaTestConfig.h"
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
  bool FillPart(uint32_t scans) override {
    ring_->Allow(scans);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (ring_->Taken() < ring_->Allowed() && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return ring_->Taken() == ring_->Allowed();
  }
  void Starve() override { ring_->Starve(); }

 private:
  AlsaTestConfig config_{1 << 18};
  std::shared_ptr<ScriptedRing> ring_ = std::make_shared<ScriptedRing>();
  alsa::AlsaBoard board_{ring_};
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
#endif
  };
}

INSTANTIATE_TEST_SUITE_P(Kinds, BoardContract, ::testing::ValuesIn(Kinds()), KindName);

}  // namespace
}  // namespace varnel::test
