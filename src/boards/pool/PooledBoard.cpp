#include "boards/pool/PooledBoard.h"

#include <utility>

namespace varnel::boards {
namespace {

// Longest channel list a run may have.
constexpr std::size_t kMaxListSize = 256;

}  // namespace

const char* BoardCallName(BoardCall call) {
  static constexpr const char* kNames[] = {
      "EnumerateBoards",        "InitializeBoard", "TerminateBoard",         "GetSubsystem",   "ReleaseSubsystem",
      "GetSubsystemCapability", "GetNativeRates",  "GetCodeFormat",          "CheckRun",       "Configure",
      "AllocateBuffer",         "FreeBuffer",      "QueueReadyBuffer",       "TakeDoneBuffer", "GetBufferData",
      "StartAcquisition",       "StopAcquisition", "EndAcquisitionAndFlush",
  };
  return kNames[static_cast<std::size_t>(call)];
}

PooledBoard::PooledBoard(std::unique_ptr<BoardDriver> driver)
    : driver_(std::move(driver)), statuses_(driver_->Statuses()), pool_(statuses_) {}

PooledBoard::~PooledBoard() {
  for (auto& [handle, board] : boards_) Release(board);
}

PooledBoard::OpenBoard* PooledBoard::FindBoard(BoardHandle board) {
  const auto it = boards_.find(board);
  return it == boards_.end() ? nullptr : &it->second;
}

PooledBoard::OpenBoard* PooledBoard::FindSubsystem(BoardHandle subsystem) {
  const auto it = boardOf_.find(subsystem);
  return it == boardOf_.end() ? nullptr : FindBoard(it->second);
}

BoardInput* PooledBoard::InputOf(BoardHandle subsystem) {
  OpenBoard* board = FindSubsystem(subsystem);
  return board == nullptr ? nullptr : board->input.get();
}

bool PooledBoard::Running(BoardHandle subsystem) const {
  const auto it = boardOf_.find(subsystem);
  return it != boardOf_.end() && boards_.at(it->second).running;
}

void PooledBoard::Stop(OpenBoard& board) {
  if (board.running) {
    board.input->Stop();
    board.running = false;
  }
  pool_.EndFilling(board.subsystem);
  pool_.SetEvents(board.subsystem, nullptr);
}

void PooledBoard::Release(OpenBoard& board) {
  if (board.subsystem == 0) return;
  Stop(board);
  pool_.RemoveInput(board.subsystem);
  boardOf_.erase(board.subsystem);
  if (lastSubsystem_ == board.subsystem) lastSubsystem_ = 0;
  board.subsystem = 0;
  board.configured = false;
}

// ---- boards and inputs ----

bool PooledBoard::LoadDriver() {
  return driver_->Available();
}

BoardStatus PooledBoard::EnumerateBoards(const BoardEnumCallback& callback) {
  const BoardStatus status = Intercept(BoardCall::EnumerateBoards);
  for (const std::string& name : driver_->List()) {
    if (callback(name) != 1) break;
  }
  return status;
}

BoardStatus PooledBoard::InitializeBoard(std::string_view name, BoardHandle* board) {
  if (const BoardStatus s = Intercept(BoardCall::InitializeBoard)) return s;
  if (board == nullptr) return statuses_.badValue;
  *board = 0;
  std::unique_ptr<BoardInput> input;
  if (const BoardStatus s = driver_->Open(name, &input)) return s;
  *board = nextBoard_++;
  boards_[*board].input = std::move(input);
  return kBoardSuccess;
}

BoardStatus PooledBoard::TerminateBoard(BoardHandle board) {
  if (const BoardStatus s = Intercept(BoardCall::TerminateBoard)) return s;
  OpenBoard* open = FindBoard(board);
  if (open == nullptr) return statuses_.badHandle;
  Release(*open);
  boards_.erase(board);
  return kBoardSuccess;
}

BoardStatus PooledBoard::GetSubsystem(BoardHandle board, BoardHandle* subsystem) {
  if (const BoardStatus s = Intercept(BoardCall::GetSubsystem)) return s;
  if (subsystem == nullptr) return statuses_.badValue;
  *subsystem = 0;
  OpenBoard* open = FindBoard(board);
  if (open == nullptr) return statuses_.badHandle;
  if (open->subsystem != 0) return statuses_.busy;
  open->subsystem = *subsystem = nextSubsystem_++;
  boardOf_[*subsystem] = board;
  pool_.AddInput(*subsystem);
  lastSubsystem_ = *subsystem;
  return kBoardSuccess;
}

BoardStatus PooledBoard::ReleaseSubsystem(BoardHandle subsystem) {
  if (const BoardStatus s = Intercept(BoardCall::ReleaseSubsystem)) return s;
  OpenBoard* open = FindSubsystem(subsystem);
  if (open == nullptr) return statuses_.badHandle;
  Release(*open);
  return kBoardSuccess;
}

// ---- what an input offers ----

BoardStatus PooledBoard::GetSubsystemCapability(BoardHandle subsystem, BoardCapability which, double* value) {
  if (const BoardStatus s = Intercept(BoardCall::GetSubsystemCapability)) return s;
  OpenBoard* open = FindSubsystem(subsystem);
  if (open == nullptr) return statuses_.badHandle;
  if (value == nullptr) return statuses_.badValue;
  const InputCapabilities& caps = open->input->Capabilities();
  switch (which) {
    case BoardCapability::ChannelCount:
      *value = caps.channels;
      break;
    case BoardCapability::GainCount:
      *value = caps.gains;
      break;
    case BoardCapability::Simultaneous:
      *value = caps.simultaneous ? 1 : 0;
      break;
    case BoardCapability::MaxThroughput:
      *value = caps.maxThroughput;
      break;
    default:
      return statuses_.unsupported;
  }
  return kBoardSuccess;
}

BoardStatus PooledBoard::GetNativeRates(BoardHandle subsystem, std::vector<int32_t>* rates) {
  if (const BoardStatus s = Intercept(BoardCall::GetNativeRates)) return s;
  OpenBoard* open = FindSubsystem(subsystem);
  if (open == nullptr) return statuses_.badHandle;
  if (rates == nullptr) return statuses_.badValue;
  const auto& native = open->input->Capabilities().nativeRates;
  if (!native) return statuses_.unsupported;
  *rates = *native;
  return kBoardSuccess;
}

BoardStatus PooledBoard::GetCodeFormat(BoardHandle subsystem, CodeFormat* format) {
  if (const BoardStatus s = Intercept(BoardCall::GetCodeFormat)) return s;
  OpenBoard* open = FindSubsystem(subsystem);
  if (open == nullptr) return statuses_.badHandle;
  if (format == nullptr) return statuses_.badValue;
  *format = open->input->Capabilities().codes;
  return kBoardSuccess;
}

// ---- a run ----

BoardStatus PooledBoard::CheckShape(const RunSettings& run) const {
  if (run.channels.empty() || run.channels.size() > kMaxListSize || run.gains.size() != run.channels.size()) {
    return statuses_.badValue;
  }
  return kBoardSuccess;
}

BoardStatus PooledBoard::CheckRun(BoardHandle subsystem, const RunSettings& run, std::string* refusal) {
  if (const BoardStatus s = Intercept(BoardCall::CheckRun)) return s;
  OpenBoard* open = FindSubsystem(subsystem);
  if (open == nullptr) return statuses_.badHandle;
  if (const BoardStatus s = CheckShape(run)) return s;
  return open->input->Check(run, refusal);
}

BoardStatus PooledBoard::Configure(BoardHandle subsystem, const RunSettings& run) {
  if (const BoardStatus s = Intercept(BoardCall::Configure)) return s;
  OpenBoard* open = FindSubsystem(subsystem);
  if (open == nullptr) return statuses_.badHandle;
  if (open->running) return statuses_.busy;
  if (const BoardStatus s = CheckShape(run)) return s;
  if (const BoardStatus s = open->input->Check(run, nullptr)) return s;
  if (const BoardStatus s = pool_.SetScanSize(subsystem, static_cast<uint32_t>(run.channels.size()))) return s;
  const BoardStatus status = open->input->Configure(run);
  open->configured = status == kBoardSuccess;
  return status;
}

BoardStatus PooledBoard::StartAcquisition(BoardHandle subsystem, BoardEvents* events) {
  if (const BoardStatus s = Intercept(BoardCall::StartAcquisition)) return s;
  OpenBoard* open = FindSubsystem(subsystem);
  if (open == nullptr) return statuses_.badHandle;
  if (open->running) return statuses_.busy;
  if (!open->configured) return statuses_.notConfigured;
  pool_.SetEvents(subsystem, events);
  if (const BoardStatus s = open->input->Start(pool_.Filler(subsystem))) {
    pool_.SetEvents(subsystem, nullptr);
    return s;
  }
  open->running = true;
  return kBoardSuccess;
}

BoardStatus PooledBoard::StopAcquisition(BoardHandle subsystem) {
  if (const BoardStatus s = Intercept(BoardCall::StopAcquisition)) return s;
  OpenBoard* open = FindSubsystem(subsystem);
  if (open == nullptr) return statuses_.badHandle;
  Stop(*open);
  return kBoardSuccess;
}

BoardStatus PooledBoard::EndAcquisitionAndFlush(BoardHandle subsystem) {
  if (const BoardStatus s = Intercept(BoardCall::EndAcquisitionAndFlush)) return s;
  OpenBoard* open = FindSubsystem(subsystem);
  if (open == nullptr) return statuses_.badHandle;
  Stop(*open);
  pool_.Flush(subsystem);
  return kBoardSuccess;
}

// ---- buffers ----

BoardStatus PooledBoard::AllocateBuffer(uint32_t samples, BoardHandle* buffer) {
  if (const BoardStatus s = Intercept(BoardCall::AllocateBuffer)) {
    if (buffer != nullptr) *buffer = 0;
    return s;
  }
  return pool_.Allocate(samples, buffer);
}

BoardStatus PooledBoard::FreeBuffer(BoardHandle buffer) {
  if (const BoardStatus s = Intercept(BoardCall::FreeBuffer)) return s;
  return pool_.Free(buffer);
}

BoardStatus PooledBoard::QueueReadyBuffer(BoardHandle subsystem, BoardHandle buffer) {
  if (const BoardStatus s = Intercept(BoardCall::QueueReadyBuffer)) return s;
  OpenBoard* open = FindSubsystem(subsystem);
  if (open == nullptr) return statuses_.badHandle;
  if (const BoardStatus s = pool_.Queue(subsystem, buffer)) return s;
  if (open->running) open->input->BufferQueued();
  return kBoardSuccess;
}

BoardStatus PooledBoard::TakeDoneBuffer(BoardHandle subsystem, BoardHandle* buffer) {
  if (const BoardStatus s = Intercept(BoardCall::TakeDoneBuffer)) return s;
  if (buffer == nullptr) return statuses_.badValue;
  *buffer = 0;
  if (FindSubsystem(subsystem) == nullptr) return statuses_.badHandle;
  return pool_.TakeDone(subsystem, buffer);
}

BoardStatus PooledBoard::GetBufferData(BoardHandle buffer, BufferData* data) {
  if (const BoardStatus s = Intercept(BoardCall::GetBufferData)) return s;
  return pool_.Data(buffer, data);
}

}  // namespace varnel::boards
