#pragma once
// One open comedi device as a board's analog input: the runs it accepts and
// the command that makes them (ComediSetup.cpp), and its capture thread
// (ComediCapture.cpp).
//
// A run is one command: the channel list with a range per entry, a scan
// every 1/rate s by the board's clock, conversions as fast as it allows, no
// end. The thread reads the device file straight into the buffer being
// filled (the driver gives the samples in the list's order, scan by scan).
// While the program has no ready buffer it stops reading and the driver's
// buffer holds the signal; when that overflows (samples lost) it tells of
// it, and once the samples from before the loss are read, starts the command
// again. A device that vanishes ends the run, told as a loss.
//
// Set-up on the main thread; the capture thread only reads, fills and tells.

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "boards/comedi/ComediCalls.h"
#include "boards/comedi/ComediDevices.h"
#include "boards/pool/BoardKind.h"

namespace varnel::comedi {

class ComediInput final : public boards::BoardInput {
 public:
  ComediInput(std::unique_ptr<ComediDevice> device, const DeviceInfo& info);
  ~ComediInput() override;
  ComediInput(const ComediInput&) = delete;
  ComediInput& operator=(const ComediInput&) = delete;

  const boards::InputCapabilities& Capabilities() const override { return caps_; }
  BoardStatus Check(const RunSettings& run, std::string* refusal) const override;
  BoardStatus Configure(const RunSettings& run) override;
  BoardStatus Start(boards::BufferFiller filler) override;
  void Stop() override;
  void BufferQueued() override { Wake(); }

 private:
  // A command for the run, tested; its channel list lives in `chanlist`.
  // A refusal's status, with a sentence in `refusal`, when it cannot run.
  BoardStatus MakeCommand(const RunSettings& run, comedi_cmd* cmd, std::vector<unsigned>* chanlist,
                          std::string* refusal) const;
  // Tests `cmd` at a scan period until the board takes it; its result.
  int TestAt(comedi_cmd* cmd, unsigned periodNs) const;
  // Whole rates near `rate` that the board's clock runs exactly.
  std::vector<unsigned> NearestRates(const comedi_cmd& tried, double rate) const;
  void Wake() const;
  // The capture thread and its steps.
  void Read(boards::BufferFiller filler);
  // Reads what the driver holds into the buffer being filled; the read's result.
  ssize_t ReadInto(boards::BufferFiller& filler, const boards::BufferFiller::Target& target);
  // After an overflow: false when the command cannot be started again.
  bool Restart(boards::BufferFiller& filler);
  void WaitForBuffer(boards::BufferFiller& filler);
  // Tells of the loss of the running command once.
  void TellLoss(boards::BufferFiller& filler, const char* why);

  const std::unique_ptr<ComediDevice> device_;
  const DeviceInfo info_;
  boards::InputCapabilities caps_;
  comedi_cmd command_{};
  std::vector<unsigned> chanlist_;
  int wakeFd_ = -1;
  // Capture thread: bytes beyond the last whole scan in the buffer being
  // filled (or, for 32-bit samples, in `wide_`), and whether the loss of the
  // running command was told.
  std::size_t partBytes_ = 0;
  std::vector<lsampl_t> wide_;
  bool lossTold_ = false;
  std::atomic<bool> stopRequested_{false};
  std::thread reader_;
};

}  // namespace varnel::comedi
