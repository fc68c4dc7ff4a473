#pragma once
// The buffers of one board of ours and, per input, the queues they move
// through: held by the program -> ready -> being filled -> done -> held by
// the program again. The one place that says what happens to a buffer.
//
// - Allocate makes a buffer of 16-bit codes, held by the program; Free ends
//   it (refused while it is being filled; a queued one leaves its queue).
// - Queue hands a held buffer to an input's ready queue with no valid sample;
//   a buffer already queued, or one without room for one scan, is refused.
// - A running input fills the oldest ready buffer scan by scan (BufferFiller);
//   a full buffer goes to the done queue and is told (BoardEvents::BufferDone).
// - TakeDone gives the oldest done buffer back to the program (0: none).
// - EndFilling, once the input stopped: the buffer part way through goes to
//   the done queue with the scans it holds; one with none goes back to the
//   front of the ready queue. Flush then moves every ready buffer, empty, to
//   the done queue. So after a stop and a flush the done queue holds every
//   buffer with samples, in the order filled, each with its true count, and
//   after them the empty ones; nothing is left ready or being filled.
// - RemoveInput takes back every buffer queued to the input.
//
// Thread-safe: the program's calls come from the main thread, BufferFiller's
// from the input's own thread; events are told outside the pool's lock.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include "boards/BoardApi.h"

namespace varnel::boards {

// A board kind's own numbers for what the pool and the pooled board refuse.
struct PoolStatuses {
  BoardStatus badHandle;      // a handle it never gave, or one already ended
  BoardStatus badValue;       // a size or setting out of range
  BoardStatus notConfigured;  // started before a run was set up
  BoardStatus busy;           // in use: running, being filled, already queued
  BoardStatus noSuchBoard;    // a name it does not list
  BoardStatus unsupported;    // something this kind has not got
};

class BufferPool;

// The pool as one running input fills it. Thread-safe.
class BufferFiller {
 public:
  // The buffer being filled, as whole scans: `filled` of `capacity` written.
  struct Target {
    uint16_t* samples = nullptr;  // its first scan
    uint32_t capacity = 0;
    uint32_t filled = 0;
    explicit operator bool() const { return samples != nullptr; }
  };
  BufferFiller(BufferPool& pool, BoardHandle input) : pool_(&pool), input_(input) {}
  // The buffer being filled; when there is none, the oldest ready one
  // becomes it. Empty when no buffer is ready.
  Target Current();
  // `scans` more scans of the current buffer are written; a full buffer goes
  // to the done queue and is told.
  void Filled(uint32_t scans);
  // Samples were lost; told, and counted.
  void Overrun();
  uint32_t ScanSize() const;

 private:
  BufferPool* pool_;
  BoardHandle input_;
};

class BufferPool {
 public:
  // Buffers larger than this are refused.
  static constexpr uint32_t kMaxSamples = 1u << 26;

  explicit BufferPool(const PoolStatuses& statuses) : statuses_(statuses) {}

  BoardStatus Allocate(uint32_t samples, BoardHandle* buffer);
  BoardStatus Free(BoardHandle buffer);
  BoardStatus Queue(BoardHandle input, BoardHandle buffer);
  BoardStatus TakeDone(BoardHandle input, BoardHandle* buffer);
  BoardStatus Data(BoardHandle buffer, BufferData* data) const;

  void AddInput(BoardHandle input);
  void RemoveInput(BoardHandle input);
  // Samples of one scan (the channel list's length); refused while a queued
  // buffer has no room for one.
  BoardStatus SetScanSize(BoardHandle input, uint32_t samples);
  // Where the input's buffers are told (null: nowhere).
  void SetEvents(BoardHandle input, BoardEvents* events);
  BufferFiller Filler(BoardHandle input) { return BufferFiller(*this, input); }
  // After the input's filling has stopped.
  void EndFilling(BoardHandle input);
  void Flush(BoardHandle input);

  // For views and tests.
  std::size_t Buffers() const;
  std::size_t ReadyCount(BoardHandle input) const;
  std::size_t DoneCount(BoardHandle input) const;
  uint64_t Overruns() const;

 private:
  friend class BufferFiller;
  enum class Place { Held, Ready, Filling, Done };
  struct Buffer {
    std::vector<uint16_t> samples;
    uint32_t valid = 0;  // in samples: whole scans
    Place place = Place::Held;
    BoardHandle input = 0;
  };
  struct Queues {
    std::deque<BoardHandle> ready;
    std::deque<BoardHandle> done;
    BoardHandle filling = 0;
    uint32_t scanSize = 1;
    BoardEvents* events = nullptr;
  };

  Buffer* Find(BoardHandle buffer);                     // lock held
  Queues* FindInput(BoardHandle input);                 // lock held
  void MoveToDone(Queues& queues, BoardHandle buffer);  // lock held

  const PoolStatuses statuses_;
  mutable std::mutex mutex_;
  std::map<BoardHandle, Buffer> buffers_;
  std::map<BoardHandle, Queues> inputs_;
  BoardHandle next_ = 0x10000;
  uint64_t overruns_ = 0;
};

}  // namespace varnel::boards
