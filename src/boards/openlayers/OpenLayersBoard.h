#pragma once
// The BoardApi over the vendor's Open Layers driver, oldaapi32.dll and
// olmem32.dll, loaded with LoadLibraryA and every entry point taken by its
// ordinal. Statuses pass through unchanged. A driver that cannot be loaded, or
// lacks one of the ordinals, is not loaded at all: LoadDriver is false, every
// call fails with kDriverNotLoaded, and nothing is called through a null
// pointer. The driver posts buffer-done and overrun messages to the window of
// the message loop given with SetNotificationWindow (its NativeWindow()).
//
// Called on the main thread only.

#include <memory>
#include <string>

#include "acquisition/BoardApi.h"
#include "boards/openlayers/HandleMap.h"

namespace varnel::openlayers {

// Status of every call while the driver is not loaded, and of a handle this
// board never handed out.
inline constexpr BoardStatus kDriverNotLoaded = 0x7001;
inline constexpr BoardStatus kUnknownHandle = 0x7002;

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
  struct Driver;
  BoardStatus OnSubsystem(BoardHandle subsystem, void** handle) const;

  const DriverFiles files_;
  std::unique_ptr<Driver> driver_;  // null until loaded
  bool failureTraced_ = false;      // a driver that will not load is traced once
  HandleMap boards_;
  HandleMap subsystems_;
  HandleMap buffers_;
};

// The Open Layers boards of this machine: the vendor's driver DLLs by name.
std::unique_ptr<BoardApi> MakeOpenLayersBoard(DriverFiles files = {});

}  // namespace varnel::openlayers
