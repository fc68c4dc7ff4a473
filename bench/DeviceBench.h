#pragma once
// What the device-level benchmarks share: a running AcquisitionDevice on the
// simulated board in step mode, every board buffer filled once, with a loop
// that goes nowhere.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "acquisition/AcquisitionDevice.h"
#include "boards/sim/SimulatedBoard.h"
#include "platform/Files.h"
#include "platform/MessageLoop.h"

namespace varnel::bench {

class NullLoop : public platform::MessageLoop {
 public:
  void Post(const platform::Message&) override {}
  void SetTimer(uint32_t, uint32_t) override {}
  void KillTimer(uint32_t) override {}
  void SetHandler(platform::MessageHandler*) override {}
};

// `ini`: the simulated board's olsim.ini ("" for its default tones).
struct DeviceRig {
  DeviceRig(const std::string& ini, const ChannelSettingsArray& enabled, int32_t rate)
      : iniPath(std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/varnel_bench_olsim_" +
                std::to_string(::getpid()) + ".ini"),
        channels(enabled) {
    if (FILE* f = std::fopen(iniPath.c_str(), "w")) {
      std::fputs(ini.c_str(), f);
      std::fclose(f);
    }
    board = std::make_unique<sim::SimulatedBoard>(iniPath);
    board->SetStepMode(true);
    device = std::make_unique<AcquisitionDevice>(*board, loop);
    device->EnumerateBoards();
    device->Open(nullptr, 0);
    device->SetChannelSettings(channels);
    device->Configure(rate, 0);
    device->Start();
    for (int32_t i = 0; i < kQueuedBuffers; ++i) {
      board->StepBuffer();
      device->ProcessBuffer();
    }
  }
  ~DeviceRig() {
    device.reset();
    platform::DeleteFile(iniPath);
  }
  std::string iniPath;
  NullLoop loop;
  ChannelSettingsArray channels;
  std::unique_ptr<sim::SimulatedBoard> board;
  std::unique_ptr<AcquisitionDevice> device;
};

}  // namespace varnel::bench
