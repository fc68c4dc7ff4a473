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

#include "boards/BoardApi.h"

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
    std::string name;  // as the list shows it
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
