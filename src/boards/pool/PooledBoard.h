#pragma once
// The BoardApi of every kind of board of ours, written once over a
// BoardDriver (the kind's set-up and filling) and the BufferPool:
//
// - handles: boards from 0x100, inputs from 0x1000, buffers from 0x10000;
//   a handle it never gave, or one already ended, is refused with the kind's
//   badHandle status, a second input of one board with busy;
// - a run: CheckRun and Configure ask the input's Check (Configure refuses
//   while running), Start needs a configured input and is refused while
//   running (busy); Stop and Flush are what the pool says;
// - closing: TerminateBoard and ReleaseSubsystem stop a running input first
//   and take back the buffers queued to it; the destructor closes all.
//
// Main thread only, as any BoardApi; the inputs fill on their own threads.

#include <cstdint>
#include <map>
#include <memory>

#include "boards/BoardApi.h"
#include "boards/pool/BoardKind.h"
#include "boards/pool/BufferPool.h"

namespace varnel::boards {

// The calls of the interface, for a board's test controls.
enum class BoardCall {
  EnumerateBoards,
  InitializeBoard,
  TerminateBoard,
  GetSubsystem,
  ReleaseSubsystem,
  GetSubsystemCapability,
  GetNativeRates,
  GetCodeFormat,
  CheckRun,
  Configure,
  AllocateBuffer,
  FreeBuffer,
  QueueReadyBuffer,
  TakeDoneBuffer,
  GetBufferData,
  StartAcquisition,
  StopAcquisition,
  EndAcquisitionAndFlush,
};
const char* BoardCallName(BoardCall call);

class PooledBoard : public BoardApi {
 public:
  explicit PooledBoard(std::unique_ptr<BoardDriver> driver);
  ~PooledBoard() override;
  PooledBoard(const PooledBoard&) = delete;
  PooledBoard& operator=(const PooledBoard&) = delete;

  // Overruns told since the board was made.
  uint64_t OverrunCount() const { return pool_.Overruns(); }

  bool LoadDriver() override;
  BoardStatus EnumerateBoards(const BoardEnumCallback& callback) override;
  BoardStatus InitializeBoard(std::string_view name, BoardHandle* board) override;
  BoardStatus TerminateBoard(BoardHandle board) override;
  BoardStatus GetSubsystem(BoardHandle board, BoardHandle* subsystem) override;
  BoardStatus ReleaseSubsystem(BoardHandle subsystem) override;
  BoardStatus GetSubsystemCapability(BoardHandle subsystem, BoardCapability which, double* value) override;
  BoardStatus GetNativeRates(BoardHandle subsystem, std::vector<int32_t>* rates) override;
  BoardStatus GetCodeFormat(BoardHandle subsystem, CodeFormat* format) override;
  BoardStatus CheckRun(BoardHandle subsystem, const RunSettings& run, std::string* refusal) override;
  BoardStatus Configure(BoardHandle subsystem, const RunSettings& run) override;
  BoardStatus AllocateBuffer(uint32_t samples, BoardHandle* buffer) override;
  BoardStatus FreeBuffer(BoardHandle buffer) override;
  BoardStatus QueueReadyBuffer(BoardHandle subsystem, BoardHandle buffer) override;
  BoardStatus TakeDoneBuffer(BoardHandle subsystem, BoardHandle* buffer) override;
  BoardStatus GetBufferData(BoardHandle buffer, BufferData* data) override;
  BoardStatus StartAcquisition(BoardHandle subsystem, BoardEvents* events) override;
  BoardStatus StopAcquisition(BoardHandle subsystem) override;
  BoardStatus EndAcquisitionAndFlush(BoardHandle subsystem) override;

 protected:
  // Every call above but LoadDriver passes here first; a non-zero status
  // fails the call at once (an enumeration still lists its boards).
  virtual BoardStatus Intercept(BoardCall) { return kBoardSuccess; }
  // The input of a sub-system, and the sub-system obtained last (0: none).
  BoardInput* InputOf(BoardHandle subsystem);
  BoardHandle LastSubsystem() const { return lastSubsystem_; }
  bool Running(BoardHandle subsystem) const;
  const BufferPool& Pool() const { return pool_; }
  BoardDriver& Driver() { return *driver_; }
  const BoardDriver& Driver() const { return *driver_; }

 private:
  struct OpenBoard {
    std::unique_ptr<BoardInput> input;
    BoardHandle subsystem = 0;
    bool configured = false;
    bool running = false;
  };
  OpenBoard* FindBoard(BoardHandle board);
  OpenBoard* FindSubsystem(BoardHandle subsystem);
  void Stop(OpenBoard& board);
  void Release(OpenBoard& board);
  BoardStatus CheckShape(const RunSettings& run) const;

  const std::unique_ptr<BoardDriver> driver_;
  const PoolStatuses statuses_;
  BufferPool pool_;
  std::map<BoardHandle, OpenBoard> boards_;
  std::map<BoardHandle, BoardHandle> boardOf_;  // sub-system -> board
  BoardHandle nextBoard_ = 0x100;
  BoardHandle nextSubsystem_ = 0x1000;
  BoardHandle lastSubsystem_ = 0;
};

}  // namespace varnel::boards
