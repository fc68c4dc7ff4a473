#pragma once
// The BoardApi over the vendor's Open Layers driver, oldaapi32.dll and
// olmem32.dll, loaded with LoadLibraryA and every entry point taken by its
// ordinal: the one adapter that speaks them. Each call maps onto the entry
// points in the order the driver expects (Configure: data flow, wrap mode,
// clock, clock source, list size, each entry's channel and gain, trigger,
// apply; StartAcquisition: the window, apply again, start; the first refusal
// ends the call). Statuses pass through unchanged. A driver that cannot be
// loaded, or lacks one of the ordinals, is not loaded at all: LoadDriver is
// false, every call fails with kDriverNotLoaded, and nothing is called
// through a null pointer. The driver posts its buffer-done and overrun
// messages itself, to the events' NativeWindow().
//
// Called on the main thread only.

#include <map>
#include <memory>
#include <string>

#include "boards/BoardApi.h"
#include "boards/openlayers/HandleMap.h"

namespace varnel::openlayers {

// Statuses of the adapter itself: every call while the driver is not loaded;
// a handle this board never handed out; GetNativeRates (the driver's boards
// run any rate up to their maximum); a call without the place for its answer.
enum OpenLayersStatus : BoardStatus { kDriverNotLoaded = 0x7001, kUnknownHandle, kNoRateList, kBadArgument };

struct DriverFiles {
  std::string dataAcquisition = "oldaapi32.dll";
  std::string memory = "olmem32.dll";
};

class OpenLayersBoard final : public BoardApi {
 public:
  explicit OpenLayersBoard(DriverFiles files = {});
  ~OpenLayersBoard() override;
  OpenLayersBoard(const OpenLayersBoard&) = delete;
  OpenLayersBoard& operator=(const OpenLayersBoard&) = delete;

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
  struct Driver;
  BoardStatus OnSubsystem(BoardHandle subsystem, void** handle) const;

  const DriverFiles files_;
  std::unique_ptr<Driver> driver_;  // null until loaded
  bool failureTraced_ = false;      // a driver that will not load is traced once
  HandleMap boards_;
  HandleMap subsystems_;
  HandleMap buffers_;
  std::map<BoardHandle, uint32_t> bufferSizes_;  // samples, as allocated
};

// The Open Layers boards of this machine: the vendor's driver DLLs by name.
std::unique_ptr<BoardApi> MakeOpenLayersBoard(DriverFiles files = {});

}  // namespace varnel::openlayers
