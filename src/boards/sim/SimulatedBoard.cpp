#include "boards/sim/SimulatedBoard.h"

#include <algorithm>

namespace varnel::sim {

// The boards of olsim.ini, read anew at every enumeration.
class SimDriver final : public boards::BoardDriver {
 public:
  explicit SimDriver(std::string iniPath) : iniPath_(std::move(iniPath)) {}

  bool Available() override { return available_; }
  std::vector<std::string> List() override {
    models_ = ReadBoardModels(iniPath_);
    std::vector<std::string> names;
    for (const BoardModel& model : models_) names.push_back(model.name);
    return names;
  }
  BoardStatus Open(std::string_view name, std::unique_ptr<boards::BoardInput>* input) override {
    if (models_.empty()) models_ = ReadBoardModels(iniPath_);
    const auto it = std::find_if(models_.begin(), models_.end(), [&](const BoardModel& m) { return m.name == name; });
    if (it == models_.end()) return kSimNoSuchBoard;
    *input = std::make_unique<SimInput>(*it, stepMode_);
    return kBoardSuccess;
  }
  const boards::PoolStatuses& Statuses() const override { return kStatuses; }

  bool available_ = true;
  bool stepMode_ = false;

 private:
  static constexpr boards::PoolStatuses kStatuses{kSimBadHandle, kSimBadValue,    kSimNotConfigured,
                                                  kSimBusy,      kSimNoSuchBoard, kSimUnsupported};
  const std::string iniPath_;
  std::vector<BoardModel> models_;
};

SimulatedBoard::SimulatedBoard(std::string iniPath) : PooledBoard(std::make_unique<SimDriver>(std::move(iniPath))) {}

SimDriver& SimulatedBoard::Sim() {
  return static_cast<SimDriver&>(Driver());
}

SimInput* SimulatedBoard::LastInput() {
  return static_cast<SimInput*>(InputOf(LastSubsystem()));
}

// ---- test controls ----

void SimulatedBoard::SetStepMode(bool on) {
  Sim().stepMode_ = on;
}

void SimulatedBoard::SetDriverAvailable(bool available) {
  Sim().available_ = available;
}

bool SimulatedBoard::StepBuffer() {
  SimInput* input = LastInput();
  return input != nullptr && input->Step(SimFill::Signals, {});
}

bool SimulatedBoard::StepBuffer(std::span<const uint16_t> codes) {
  SimInput* input = LastInput();
  return input != nullptr && input->Step(SimFill::Codes, codes);
}

bool SimulatedBoard::StepBufferUnchanged() {
  SimInput* input = LastInput();
  return input != nullptr && input->Step(SimFill::Unchanged, {});
}

bool SimulatedBoard::StepPartialBuffer(std::size_t scans) {
  SimInput* input = LastInput();
  return input != nullptr && input->StepPart(scans);
}

void SimulatedBoard::FailCall(SimCall call, BoardStatus status, int32_t times) {
  std::lock_guard lock(mutex_);
  failures_[call] = {status, times};
}

void SimulatedBoard::SetCallLogging(bool on) {
  std::lock_guard lock(mutex_);
  logging_ = on;
}

std::vector<std::string> SimulatedBoard::CallLog() const {
  std::lock_guard lock(mutex_);
  return callLog_;
}

void SimulatedBoard::ClearCallLog() {
  std::lock_guard lock(mutex_);
  callLog_.clear();
}

BoardStatus SimulatedBoard::Intercept(boards::BoardCall call) {
  std::lock_guard lock(mutex_);
  if (logging_) callLog_.emplace_back(boards::BoardCallName(call));
  const auto it = failures_.find(call);
  if (it == failures_.end() || it->second.second <= 0) return kBoardSuccess;
  const BoardStatus status = it->second.first;
  if (--it->second.second == 0) failures_.erase(it);
  return status;
}

SubsystemView SimulatedBoard::View() {
  SubsystemView view;
  const SimInput* input = LastInput();
  if (input == nullptr) return view;
  view.exists = true;
  if (input->Configured()) {
    view.dataFlow = kDataFlowContinuous;
    view.wrapMode = kWrapModeMultiple;
    view.clockSource = kClockSourceInternal;
    view.clockFrequency = input->Run().clockHz;
    view.trigger = input->Run().trigger;
    view.channels = input->Run().channels;
    view.gains = input->Run().gains;
  }
  view.running = Running(LastSubsystem()) && input->Producing();
  view.overrun = input->Overrun();
  view.ready = Pool().ReadyCount(LastSubsystem());
  view.done = Pool().DoneCount(LastSubsystem());
  return view;
}

std::size_t SimulatedBoard::AllocatedBuffers() const {
  return Pool().Buffers();
}

std::unique_ptr<BoardApi> MakeSimulatedBoard(std::string iniPath) {
  if (iniPath.empty()) iniPath = DefaultSimSettingsPath();
  return std::make_unique<SimulatedBoard>(std::move(iniPath));
}

}  // namespace varnel::sim
