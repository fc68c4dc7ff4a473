#pragma once
// A device on the simulated board in step mode, with a board settings file in a
// temporary folder, captured traces and a fake clock.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "acquisition/AcquisitionDevice.h"
#include "boards/sim/SimulatedBoard.h"
#include "platform/Clock.h"
#include "platform/QueueMessageLoop.h"
#include "platform/Trace.h"
#include "support/TempDir.h"

namespace varnel::test {

class DeviceTest : public ::testing::Test {
 public:
  explicit DeviceTest(const std::string& ini = "") {
    if (!ini.empty()) WriteFile(IniPath(), ini);
    board_ = std::make_unique<sim::SimulatedBoard>(IniPath());
    board_->SetStepMode(true);
    device_ = std::make_unique<AcquisitionDevice>(*board_, loop_);
    LastBufferTick = 0;
    channels_ = DefaultChannels();
  }
  ~DeviceTest() override { device_.reset(); }

  std::string IniPath() const { return dir_.File("olsim.ini"); }
  sim::SimulatedBoard& Board() { return *board_; }
  AcquisitionDevice& Device() { return *device_; }

  // Only the given rows enabled, in order, with their gains.
  void EnableOnly(const std::vector<int32_t>& rows, const std::vector<int32_t>& gains = {}) {
    for (auto& c : channels_) c.bIsEnabled = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      channels_[rows[i]].bIsEnabled = 1;
      channels_[rows[i]].Gain = i < gains.size() ? gains[i] : 1;
    }
  }
  // Enumerates, opens board 0, configures and starts.
  void Run(int32_t rate, int32_t trigger = 0) {
    ASSERT_EQ(0, device_->EnumerateBoards());
    ASSERT_EQ(1, device_->Open(nullptr, 0));
    device_->SetChannelSettings(channels_);
    ASSERT_EQ(1, device_->Configure(rate, trigger));
    ASSERT_EQ(1, device_->Start());
  }
  // One buffer of the given codes through the board and the device.
  void Deliver(const std::vector<uint16_t>& codes) {
    ASSERT_TRUE(board_->StepBuffer(codes));
    ASSERT_EQ(1, device_->ProcessBuffer());
  }
  void DeliverConstant(uint16_t code) { Deliver({code}); }

  platform::FakeClock clock_{5000};
  platform::ScopedClock scopedClock_{clock_};
  platform::ScopedTraceCapture traces_;
  TempDir dir_;
  platform::QueueMessageLoop loop_;
  ChannelSettingsArray channels_;
  std::unique_ptr<sim::SimulatedBoard> board_;
  std::unique_ptr<AcquisitionDevice> device_;
};

}  // namespace varnel::test
