#pragma once
// Several kinds of board behind one BoardApi: the device list shows the boards
// of every kind in the order the kinds were given, and every later call goes
// to the kind that listed the board. Handles are the set's own, so two kinds
// may hand out the same numbers without meeting. A kind may be given a label
// that goes before each of its board names ("Simulated "), so the list says
// what kind a board is; names are cut to what the device list keeps, and a
// board is found again by the name as listed.
//
// Called on the main thread only, like any BoardApi.

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "acquisition/BoardApi.h"

namespace varnel::boards {

// Status of a board name that no kind listed at the last enumeration.
inline constexpr BoardStatus kUnknownBoardStatus = 15;
// Status of a handle the set never handed out.
inline constexpr BoardStatus kBadHandleStatus = 10;

// Longest board name the device list keeps.
inline constexpr std::size_t kListedNameLength = 78;

struct BoardKind {
  std::unique_ptr<BoardApi> api;
  std::string label;  // put before every board name of the kind
  // Asked at every enumeration; a kind that is not present lists no board.
  std::function<bool()> present;
};

class BoardSet final : public BoardApi {
 public:
  explicit BoardSet(std::vector<std::unique_ptr<BoardApi>> kinds);
  explicit BoardSet(std::vector<BoardKind> kinds);

  size_t KindCount() const { return kinds_.size(); }
  BoardApi& Kind(size_t index) { return *kinds_[index].api; }

  bool LoadDriver() override;
  BoardStatus EnumerateBoards(const BoardEnumCallback& callback) override;
  BoardStatus InitializeBoard(std::string_view name, BoardHandle* board) override;
  BoardStatus TerminateBoard(BoardHandle board) override;
  BoardStatus GetSubsystem(BoardHandle board, int32_t type, int32_t element, BoardHandle* subsystem) override;
  BoardStatus ReleaseSubsystem(BoardHandle subsystem) override;
  BoardStatus GetSubsystemCapability(BoardHandle subsystem, int32_t code, int32_t* value) override;
  BoardStatus GetSubsystemCapabilityValue(BoardHandle subsystem, int32_t code, double* value) override;
  BoardStatus SetDataFlow(BoardHandle subsystem, int32_t flow) override;
  BoardStatus SetWrapMode(BoardHandle subsystem, int32_t mode) override;
  BoardStatus SetClockFrequency(BoardHandle subsystem, double hz) override;
  BoardStatus SetClockSource(BoardHandle subsystem, int32_t source) override;
  BoardStatus SetChannelListSize(BoardHandle subsystem, int32_t size) override;
  BoardStatus SetChannelListEntry(BoardHandle subsystem, int32_t index, int32_t channel) override;
  BoardStatus SetGainListEntry(BoardHandle subsystem, int32_t index, double gain) override;
  BoardStatus SetTrigger(BoardHandle subsystem, int32_t trigger) override;
  BoardStatus ApplySettings(BoardHandle subsystem) override;
  BoardStatus CheckRun(BoardHandle subsystem, double clockHz, int32_t trigger, std::span<const int32_t> channels,
                       std::string* refusal) override;
  BoardStatus GetNativeRates(BoardHandle subsystem, std::vector<int32_t>* rates) override;
  BoardStatus SetNotificationWindow(BoardHandle subsystem, platform::MessageLoop* window, intptr_t lParam) override;
  BoardStatus StartAcquisition(BoardHandle subsystem) override;
  BoardStatus StopAcquisition(BoardHandle subsystem) override;
  BoardStatus EndAcquisitionAndFlush(BoardHandle subsystem) override;
  BoardStatus TakeDoneBuffer(BoardHandle subsystem, BoardHandle* buffer) override;
  BoardStatus QueueReadyBuffer(BoardHandle subsystem, BoardHandle buffer) override;
  BoardStatus GetRange(BoardHandle subsystem, double* upper, double* lower) override;
  BoardStatus GetEncoding(BoardHandle subsystem, int32_t* encoding) override;
  BoardStatus GetResolution(BoardHandle subsystem, int32_t* bits) override;
  BoardStatus AllocateBuffer(uint32_t flags, uint32_t reserved, uint32_t samples, uint32_t sampleBytes,
                             BoardHandle* buffer) override;
  BoardStatus FreeBuffer(BoardHandle buffer) override;
  BoardStatus GetBufferData(BoardHandle buffer, uint16_t** data) override;
  BoardStatus GetValidSamples(BoardHandle buffer, int32_t* samples) override;

 private:
  struct Inner {
    size_t kind = 0;
    BoardHandle handle = 0;
  };
  const Inner* Find(BoardHandle outer) const;
  BoardHandle Wrap(size_t kind, BoardHandle inner);
  void Forget(BoardHandle outer);
  // Calls `call(kind, innerHandle)` for a handle of the set; kBadHandleStatus otherwise.
  template <typename Call>
  BoardStatus Route(BoardHandle outer, Call&& call);

  struct Listed {
    std::string name;   // as the list shows it
    size_t kind = 0;
    std::string inner;  // as the kind named it
  };
  std::vector<BoardKind> kinds_;
  std::vector<Listed> listed_;  // as last enumerated
  std::map<BoardHandle, Inner> handles_;
  std::map<std::pair<size_t, BoardHandle>, BoardHandle> outerOf_;
  // Buffers are allocated before a kind is known by handle; they belong to the
  // kind of the board opened last, which is the one the device configures.
  size_t currentKind_ = 0;
  BoardHandle nextHandle_ = 1;
};

}  // namespace varnel::boards
