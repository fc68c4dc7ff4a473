#include "acquisition/AcquisitionDevice.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/FixedString.h"
#include "platform/Trace.h"

namespace varnel {

std::array<BoardEntry, kBoardTableRows> BoardTable{};
int32_t BoardCount = 0;
uint32_t LastBufferTick = 0;

AcquisitionDevice::AcquisitionDevice(BoardApi& board, platform::MessageLoop& loop)
    : board_(board), loop_(loop), hWndNotify(&loop) {
  for (int32_t i = 0; i < kChannelCount; ++i) {
    ChannelList[i] = i;
    GainList[i] = 1;
  }
}

AcquisitionDevice::~AcquisitionDevice() {
  Close();
  // The blocks and stores go with their vectors.
}

int32_t AcquisitionDevice::EnumerateBoards() {
  BoardCount = 0;
  for (BoardEntry& entry : BoardTable) entry.bPresent = 0;
  const BoardEnumCallback addBoard = [](std::string_view name) -> int32_t {
    // Boards beyond the table are not listed.
    if (BoardCount < kBoardTableRows) {
      BoardEntry& entry = BoardTable[BoardCount];
      entry.bPresent = 1;
      CopyCut(entry.szName, name.substr(0, kBoardNameSize - 2));
      ++BoardCount;
    }
    return 1;
  };
  BoardStatus status = kBoardSuccess;
  for (int32_t attempt = 0; attempt < kBoardTableRows; ++attempt) {
    status = board_.EnumerateBoards(addBoard);
    if (status == kBoardSuccess) break;
  }
  return status;
}

int32_t AcquisitionDevice::GetBoardCount() const { return BoardCount; }

void AcquisitionDevice::GetBoardName(int32_t index, char* text) const {
  if (text == nullptr || index < 0 || index >= BoardCount) return;
  std::memcpy(text, BoardTable[index].szName, kBoardNameSize);
}

int AcquisitionDevice::Open(platform::MessageLoop* window, int32_t index) {
  hWndNotify = window ? window : &loop_;
  problem_ = {};
  if (bIsOpen == 1) return 1;
  if (index < 0 || index >= BoardCount) return 0;
  if (!board_.LoadDriver()) return 0;
  const BoardStatus status = board_.InitializeBoard(FieldText(BoardTable[index].szName), &hBoard);
  if (status != kBoardSuccess) {
    bIsOpen = 0;
    hBoard = 0;
    problem_ = {DeviceError::kOpenFailed, std::string(FieldText(BoardTable[index].szName)), status};
    return 0;
  }
  platform::Trace("%s\n", BoardTable[index].szName);
  bIsOpen = 1;
  if (board_.GetSubsystem(hBoard, &hSubsystem) != kBoardSuccess) {
    hSubsystem = 0;
    return 0;
  }
  return 1;
}

void AcquisitionDevice::Close() {
  if (bIsAcquiring == 1) Stop();
  if (bIsOpen == 1 && hBoard != 0) {
    if (hSubsystem != 0) {
      // Buffers of a configuration that never started still belong to the board.
      if (boardBuffers_ > 0) {
        board_.EndAcquisitionAndFlush(hSubsystem);
        ReleaseBoardBuffers(0);
      }
      board_.ReleaseSubsystem(hSubsystem);
      hSubsystem = 0;
    }
    board_.TerminateBoard(hBoard);
    hBoard = 0;
    bIsOpen = 0;
  }
  boardBuffers_ = 0;
}

bool AcquisitionDevice::QueryCapability(BoardCapability which, double* value) {
  // A value no int32 holds is no usable answer.
  return hSubsystem != 0 && board_.GetSubsystemCapability(hSubsystem, which, value) == kBoardSuccess &&
         *value > -2147483648.0 && *value < 2147483648.0;
}

int32_t AcquisitionDevice::GetChannelCount() {
  double value = 0;
  if (!QueryCapability(BoardCapability::ChannelCount, &value) || value <= 0 || value > kChannelCount) {
    return kChannelCount;
  }
  return static_cast<int32_t>(value);
}

int32_t AcquisitionDevice::GetGainCount() {
  double value = 0;
  if (!QueryCapability(BoardCapability::GainCount, &value)) return 4;
  if (value <= 0) return 1;
  return value > 4 ? 4 : static_cast<int32_t>(value);
}

int32_t AcquisitionDevice::GetMaxThroughput() {
  double value = 0.0;
  return QueryCapability(BoardCapability::MaxThroughput, &value) ? static_cast<int32_t>(value) : 0;
}

int32_t AcquisitionDevice::SupportsSimultaneous() {
  double value = 0;
  return (QueryCapability(BoardCapability::Simultaneous, &value) && value == 1) ? 1 : 0;
}

void AcquisitionDevice::SetChannelSettings(ChannelSettings* table) { ChannelSettingsTable = table; }

int AcquisitionDevice::Configure(int32_t rate, int32_t triggerMode) {
  if (bIsOpen != 1) return 0;
  if (bIsAcquiring == 1) Stop();
  if (hBoard == 0 || hSubsystem == 0 || ChannelSettingsTable == nullptr) return 0;

  int32_t listSize = 0;
  for (int32_t row = 0; row < kChannelCount; ++row) {
    const ChannelSettings& channel = ChannelSettingsTable[row];
    if (!IsSet(channel.bIsEnabled)) continue;
    ChannelList[listSize] = channel.ChannelIndex;
    GainList[listSize] = channel.Gain;
    ++listSize;
  }
  if (listSize == 0) return 0;
  ListSize = listSize;
  ChannelRate = rate;
  const int64_t clock = SupportsSimultaneous() == 1 ? int64_t{rate} : int64_t{rate} * ListSize;
  ClockFrequency = static_cast<int32_t>(clock > INT32_MAX ? INT32_MAX : clock);
  SizeBuffers();

  const BoardHandle sub = hSubsystem;
  RunSettings run;
  run.clockHz = static_cast<double>(ClockFrequency);
  run.channels.assign(ChannelList.begin(), ChannelList.begin() + ListSize);
  run.gains.assign(GainList.begin(), GainList.begin() + ListSize);
  bTriggered = triggerMode == 1 ? 0 : 1;
  run.trigger = triggerMode == 1 ? kTriggerExternalTtl : kTriggerImmediate;
  if (board_.Configure(sub, run) != kBoardSuccess) return 0;

  for (int32_t i = 0; i < kQueuedBuffers; ++i) {
    BoardHandle buffer = 0;
    if (board_.AllocateBuffer(static_cast<uint32_t>(BufferSamples), &buffer) != kBoardSuccess) return 0;
    ++boardBuffers_;
    if (board_.QueueReadyBuffer(sub, buffer) != kBoardSuccess) {
      board_.FreeBuffer(buffer);
      --boardBuffers_;
      return 0;
    }
  }
  return 1;
}

bool AcquisitionDevice::CheckRun(const ChannelSettings* table, int32_t rate, int32_t triggerMode,
                                 std::string* refusal) {
  if (hSubsystem == 0 || table == nullptr) return true;
  RunSettings run;
  for (int32_t row = 0; row < kChannelCount; ++row) {
    if (!IsSet(table[row].bIsEnabled)) continue;
    run.channels.push_back(table[row].ChannelIndex);
    run.gains.push_back(table[row].Gain);
  }
  run.clockHz = SupportsSimultaneous() == 1 ? double{1.0} * rate : double{1.0} * rate * run.channels.size();
  run.trigger = triggerMode == 1 ? kTriggerExternalTtl : kTriggerImmediate;
  std::string text;
  const BoardStatus status = board_.CheckRun(hSubsystem, run, &text);
  if (status == kBoardSuccess || text.empty()) return true;
  if (refusal) *refusal = std::move(text);
  return false;
}

int AcquisitionDevice::Start() {
  if (hBoard == 0 || hSubsystem == 0 || bIsOpen != 1) return 0;
  if (bIsAcquiring == 1) return 1;
  problem_ = {};
  ClearChannelBlocks();
  ClearMonitorStore();
  runFrames_ = 0;
  events_.Aim(hWndNotify, hSubsystem);
  if (board_.StartAcquisition(hSubsystem, &events_) != kBoardSuccess) {
    problem_.error = DeviceError::kStartFailed;
    return 0;
  }
  bIsAcquiring = 1;
  return 1;
}

void AcquisitionDevice::ReleaseBoardBuffers(int32_t atLeast) {
  // Every buffer is on the done queue after a flush; take as many as were
  // allocated so that none is left behind.
  const int32_t attempts = boardBuffers_ > atLeast ? boardBuffers_ : atLeast;
  for (int32_t i = 0; i < attempts; ++i) {
    BoardHandle buffer = 0;
    if (board_.TakeDoneBuffer(hSubsystem, &buffer) != kBoardSuccess || buffer == 0) continue;
    if (board_.FreeBuffer(buffer) == kBoardSuccess && boardBuffers_ > 0) --boardBuffers_;
  }
}

void AcquisitionDevice::Stop() {
  if (bIsOpen != 1 || bIsAcquiring != 1) return;
  if (bTriggered == 1) board_.StopAcquisition(hSubsystem);
  board_.EndAcquisitionAndFlush(hSubsystem);
  // A trigger that came after the last buffer was taken left samples in the
  // part-filled one; before any trigger every buffer is empty.
  DrainCompletedBuffers();
  ReleaseBoardBuffers(kQueuedBuffers);
  board_.ReleaseSubsystem(hSubsystem);
  hSubsystem = 0;
  bIsAcquiring = 0;
}

void AcquisitionDevice::DrainCompletedBuffers() {
  // The done queue holds, in order, the buffers completed before the stop, the
  // partly filled one and the flushed empty ones; each is freed once handled.
  const int32_t queued = boardBuffers_;
  for (int32_t i = 0; i < queued; ++i) {
    BoardHandle buffer = 0;
    if (board_.TakeDoneBuffer(hSubsystem, &buffer) != kBoardSuccess || buffer == 0) break;
    BufferData data;
    const int32_t valid = board_.GetBufferData(buffer, &data) == kBoardSuccess ? data.valid : 0;
    const int32_t frames = ListSize > 0 ? std::min(valid / ListSize, SamplesPerChannel) : 0;
    if (frames > 0 && ConvertTaken(buffer, frames)) {
      runFrames_ += frames;
      platform::Trace("Final buffer: %d frames\n", frames);
      if (onFinalBuffer) onFinalBuffer();
    }
    if (board_.FreeBuffer(buffer) == kBoardSuccess && boardBuffers_ > 0) --boardBuffers_;
  }
}

}  // namespace varnel
