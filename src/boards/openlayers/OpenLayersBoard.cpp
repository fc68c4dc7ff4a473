#include "boards/openlayers/OpenLayersBoard.h"

#include <string>

#include "boards/openlayers/OpenLayersApi.h"
#include "platform/Trace.h"

namespace varnel::openlayers {
namespace {

// A module that is freed with its owner.
class Module {
 public:
  explicit Module(const std::string& file) : module_(::LoadLibraryA(file.c_str())) {}
  ~Module() {
    if (module_) ::FreeLibrary(module_);
  }
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
  bool Loaded() const { return module_ != nullptr; }
  FARPROC Find(uint16_t ordinal) const { return ::GetProcAddress(module_, MAKEINTRESOURCEA(ordinal)); }

 private:
  HMODULE module_;
};

// The callback of one enumeration; enumerations run on the main thread, one at a time.
const BoardEnumCallback* g_enumeration = nullptr;

BOOL CALLBACK OnBoard(LPSTR name, LPSTR, LPARAM) {
  if (g_enumeration == nullptr || name == nullptr) return FALSE;
  return (*g_enumeration)(name) != 0 ? TRUE : FALSE;
}

}  // namespace

struct OpenLayersBoard::Driver {
  Driver(const DriverFiles& files) : da(files.dataAcquisition), mem(files.memory) {}

  // Every entry point, or false naming the first that is missing.
  bool Resolve(std::string& missing) {
    bool ok = true;
    auto take = [&](const Module& module, uint16_t ordinal, auto& entry, const char* file) {
      entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(reinterpret_cast<void*>(module.Find(ordinal)));
      if (entry == nullptr && ok) {
        missing = std::string(file) + " ordinal " + std::to_string(ordinal);
        ok = false;
      }
    };
    const char* d = "oldaapi32.dll";
    take(da, kEnumBoards, enumBoards, d);
    take(da, kInitializeBoard, initializeBoard, d);
    take(da, kTerminateBoard, terminateBoard, d);
    take(da, kGetSubsystem, getSubsystem, d);
    take(da, kReleaseSubsystem, releaseSubsystem, d);
    take(da, kGetCapability, getCapability, d);
    take(da, kGetCapabilityValue, getCapabilityValue, d);
    take(da, kSetDataFlow, setDataFlow, d);
    take(da, kSetWrapMode, setWrapMode, d);
    take(da, kSetClockFrequency, setClockFrequency, d);
    take(da, kSetClockSource, setClockSource, d);
    take(da, kSetChannelListSize, setChannelListSize, d);
    take(da, kSetChannelListEntry, setChannelListEntry, d);
    take(da, kSetGainListEntry, setGainListEntry, d);
    take(da, kSetTrigger, setTrigger, d);
    take(da, kApplySettings, applySettings, d);
    take(da, kSetWindow, setWindow, d);
    take(da, kStart, start, d);
    take(da, kStop, stop, d);
    take(da, kFlush, flush, d);
    take(da, kTakeDoneBuffer, takeDoneBuffer, d);
    take(da, kQueueReadyBuffer, queueReadyBuffer, d);
    take(da, kGetRange, getRange, d);
    take(da, kGetEncoding, getEncoding, d);
    take(da, kGetResolution, getResolution, d);
    const char* m = "olmem32.dll";
    take(mem, kAllocateBuffer, allocateBuffer, m);
    take(mem, kFreeBuffer, freeBuffer, m);
    take(mem, kGetBufferData, getBufferData, m);
    take(mem, kGetValidSamples, getValidSamples, m);
    return ok;
  }

  Module da;
  Module mem;
  da::EnumBoards enumBoards = nullptr;
  da::InitializeBoard initializeBoard = nullptr;
  da::TerminateBoard terminateBoard = nullptr;
  da::GetSubsystem getSubsystem = nullptr;
  da::ReleaseSubsystem releaseSubsystem = nullptr;
  da::GetCapability getCapability = nullptr;
  da::GetCapabilityValue getCapabilityValue = nullptr;
  da::SetInt setDataFlow = nullptr;
  da::SetInt setWrapMode = nullptr;
  da::SetDouble setClockFrequency = nullptr;
  da::SetInt setClockSource = nullptr;
  da::SetInt setChannelListSize = nullptr;
  da::SetListEntry setChannelListEntry = nullptr;
  da::SetGainEntry setGainListEntry = nullptr;
  da::SetInt setTrigger = nullptr;
  da::SubsystemCall applySettings = nullptr;
  da::SetWindow setWindow = nullptr;
  da::SubsystemCall start = nullptr;
  da::SubsystemCall stop = nullptr;
  da::SubsystemCall flush = nullptr;
  da::TakeBuffer takeDoneBuffer = nullptr;
  da::QueueBuffer queueReadyBuffer = nullptr;
  da::GetRange getRange = nullptr;
  da::GetInt getEncoding = nullptr;
  da::GetInt getResolution = nullptr;
  mem::AllocateBuffer allocateBuffer = nullptr;
  mem::FreeBuffer freeBuffer = nullptr;
  mem::GetBufferData getBufferData = nullptr;
  mem::GetValidSamples getValidSamples = nullptr;
};

OpenLayersBoard::OpenLayersBoard(DriverFiles files) : files_(std::move(files)) {}

OpenLayersBoard::~OpenLayersBoard() = default;

bool OpenLayersBoard::LoadDriver() {
  if (driver_) return true;
  auto driver = std::make_unique<Driver>(files_);
  std::string why;
  if (!driver->da.Loaded())
    why = "cannot load " + files_.dataAcquisition;
  else if (!driver->mem.Loaded())
    why = "cannot load " + files_.memory;
  else if (!driver->Resolve(why))
    why = "no " + why;
  if (!why.empty()) {
    if (!failureTraced_) platform::Trace("Open Layers driver: %s\n", why.c_str());
    failureTraced_ = true;
    return false;
  }
  driver_ = std::move(driver);
  return true;
}

BoardStatus OpenLayersBoard::OnSubsystem(BoardHandle subsystem, void** handle) const {
  if (!driver_) return kDriverNotLoaded;
  *handle = subsystems_.Find(subsystem);
  return *handle ? kBoardSuccess : kUnknownHandle;
}

BoardStatus OpenLayersBoard::EnumerateBoards(const BoardEnumCallback& callback) {
  // The first use loads the driver, whoever asks first.
  if (!LoadDriver()) return kDriverNotLoaded;
  const BoardEnumCallback* outer = g_enumeration;
  g_enumeration = &callback;
  const BoardStatus status = static_cast<BoardStatus>(driver_->enumBoards(OnBoard, 0));
  g_enumeration = outer;
  return status;
}

BoardStatus OpenLayersBoard::InitializeBoard(std::string_view name, BoardHandle* board) {
  if (!LoadDriver()) return kDriverNotLoaded;
  std::string text(name);
  Handle h = nullptr;
  const auto status = static_cast<BoardStatus>(driver_->initializeBoard(text.data(), &h));
  if (board) *board = status == kBoardSuccess ? boards_.Map(h) : 0;
  return status;
}

BoardStatus OpenLayersBoard::TerminateBoard(BoardHandle board) {
  if (!driver_) return kDriverNotLoaded;
  Handle h = boards_.Find(board);
  if (!h) return kUnknownHandle;
  const auto status = static_cast<BoardStatus>(driver_->terminateBoard(h));
  boards_.Forget(board);
  return status;
}

BoardStatus OpenLayersBoard::GetSubsystem(BoardHandle board, int32_t type, int32_t element, BoardHandle* subsystem) {
  if (!driver_) return kDriverNotLoaded;
  Handle b = boards_.Find(board);
  if (!b) return kUnknownHandle;
  Handle h = nullptr;
  const auto status = static_cast<BoardStatus>(driver_->getSubsystem(b, type, static_cast<uint32_t>(element), &h));
  if (subsystem) *subsystem = status == kBoardSuccess ? subsystems_.Map(h) : 0;
  return status;
}

BoardStatus OpenLayersBoard::ReleaseSubsystem(BoardHandle subsystem) {
  Handle h = nullptr;
  if (BoardStatus s = OnSubsystem(subsystem, &h)) return s;
  const auto status = static_cast<BoardStatus>(driver_->releaseSubsystem(h));
  subsystems_.Forget(subsystem);
  return status;
}

BoardStatus OpenLayersBoard::GetSubsystemCapability(BoardHandle subsystem, int32_t code, int32_t* value) {
  Handle h = nullptr;
  if (BoardStatus s = OnSubsystem(subsystem, &h)) return s;
  int32_t v = 0;
  const auto status = static_cast<BoardStatus>(driver_->getCapability(h, code, &v));
  if (value) *value = v;
  return status;
}

BoardStatus OpenLayersBoard::GetSubsystemCapabilityValue(BoardHandle subsystem, int32_t code, double* value) {
  Handle h = nullptr;
  if (BoardStatus s = OnSubsystem(subsystem, &h)) return s;
  double v = 0.0;
  const auto status = static_cast<BoardStatus>(driver_->getCapabilityValue(h, code, &v));
  if (value) *value = v;
  return status;
}

#define VARNEL_FORWARD(Method, entry, Type)                                \
  BoardStatus OpenLayersBoard::Method(BoardHandle subsystem, Type value) { \
    Handle h = nullptr;                                                    \
    if (BoardStatus s = OnSubsystem(subsystem, &h)) return s;              \
    return static_cast<BoardStatus>(driver_->entry(h, value));             \
  }
VARNEL_FORWARD(SetDataFlow, setDataFlow, int32_t)
VARNEL_FORWARD(SetWrapMode, setWrapMode, int32_t)
VARNEL_FORWARD(SetClockFrequency, setClockFrequency, double)
VARNEL_FORWARD(SetClockSource, setClockSource, int32_t)
VARNEL_FORWARD(SetChannelListSize, setChannelListSize, int32_t)
VARNEL_FORWARD(SetTrigger, setTrigger, int32_t)
#undef VARNEL_FORWARD

#define VARNEL_FORWARD(Method, entry)                          \
  BoardStatus OpenLayersBoard::Method(BoardHandle subsystem) { \
    Handle h = nullptr;                                        \
    if (BoardStatus s = OnSubsystem(subsystem, &h)) return s;  \
    return static_cast<BoardStatus>(driver_->entry(h));        \
  }
VARNEL_FORWARD(ApplySettings, applySettings)
VARNEL_FORWARD(StartAcquisition, start)
VARNEL_FORWARD(StopAcquisition, stop)
VARNEL_FORWARD(EndAcquisitionAndFlush, flush)
#undef VARNEL_FORWARD

BoardStatus OpenLayersBoard::SetChannelListEntry(BoardHandle subsystem, int32_t index, int32_t channel) {
  Handle h = nullptr;
  if (BoardStatus s = OnSubsystem(subsystem, &h)) return s;
  return static_cast<BoardStatus>(driver_->setChannelListEntry(h, static_cast<uint32_t>(index), channel));
}

BoardStatus OpenLayersBoard::SetGainListEntry(BoardHandle subsystem, int32_t index, double gain) {
  Handle h = nullptr;
  if (BoardStatus s = OnSubsystem(subsystem, &h)) return s;
  return static_cast<BoardStatus>(driver_->setGainListEntry(h, static_cast<uint32_t>(index), gain));
}

BoardStatus OpenLayersBoard::SetNotificationWindow(BoardHandle subsystem, platform::MessageLoop* window,
                                                   intptr_t lParam) {
  Handle h = nullptr;
  if (BoardStatus s = OnSubsystem(subsystem, &h)) return s;
  // A loop without a window of the platform gets no messages from the driver.
  HWND hwnd = window ? reinterpret_cast<HWND>(window->NativeWindow()) : nullptr;
  return static_cast<BoardStatus>(driver_->setWindow(h, hwnd, static_cast<LPARAM>(lParam)));
}

BoardStatus OpenLayersBoard::TakeDoneBuffer(BoardHandle subsystem, BoardHandle* buffer) {
  Handle h = nullptr;
  if (BoardStatus s = OnSubsystem(subsystem, &h)) return s;
  Handle b = nullptr;
  const auto status = static_cast<BoardStatus>(driver_->takeDoneBuffer(h, &b));
  if (buffer) *buffer = status == kBoardSuccess ? buffers_.Map(b) : 0;
  return status;
}

BoardStatus OpenLayersBoard::QueueReadyBuffer(BoardHandle subsystem, BoardHandle buffer) {
  Handle h = nullptr;
  if (BoardStatus s = OnSubsystem(subsystem, &h)) return s;
  Handle b = buffers_.Find(buffer);
  if (!b) return kUnknownHandle;
  return static_cast<BoardStatus>(driver_->queueReadyBuffer(h, b));
}

BoardStatus OpenLayersBoard::GetRange(BoardHandle subsystem, double* upper, double* lower) {
  Handle h = nullptr;
  if (BoardStatus s = OnSubsystem(subsystem, &h)) return s;
  double hi = 0.0;
  double lo = 0.0;
  const auto status = static_cast<BoardStatus>(driver_->getRange(h, &hi, &lo));
  if (upper) *upper = hi;
  if (lower) *lower = lo;
  return status;
}

BoardStatus OpenLayersBoard::GetEncoding(BoardHandle subsystem, int32_t* encoding) {
  Handle h = nullptr;
  if (BoardStatus s = OnSubsystem(subsystem, &h)) return s;
  int32_t v = 0;
  const auto status = static_cast<BoardStatus>(driver_->getEncoding(h, &v));
  if (encoding) *encoding = v;
  return status;
}

BoardStatus OpenLayersBoard::GetResolution(BoardHandle subsystem, int32_t* bits) {
  Handle h = nullptr;
  if (BoardStatus s = OnSubsystem(subsystem, &h)) return s;
  int32_t v = 0;
  const auto status = static_cast<BoardStatus>(driver_->getResolution(h, &v));
  if (bits) *bits = v;
  return status;
}

BoardStatus OpenLayersBoard::AllocateBuffer(uint32_t flags, uint32_t reserved, uint32_t samples, uint32_t sampleBytes,
                                            BoardHandle* buffer) {
  if (!driver_) return kDriverNotLoaded;
  Handle b = nullptr;
  const auto status = static_cast<BoardStatus>(driver_->allocateBuffer(flags, reserved, samples, sampleBytes, &b));
  if (buffer) *buffer = status == kBoardSuccess ? buffers_.Map(b) : 0;
  return status;
}

BoardStatus OpenLayersBoard::FreeBuffer(BoardHandle buffer) {
  if (!driver_) return kDriverNotLoaded;
  Handle b = buffers_.Find(buffer);
  if (!b) return kUnknownHandle;
  const auto status = static_cast<BoardStatus>(driver_->freeBuffer(b));
  buffers_.Forget(buffer);
  return status;
}

BoardStatus OpenLayersBoard::GetBufferData(BoardHandle buffer, uint16_t** data) {
  if (!driver_) return kDriverNotLoaded;
  Handle b = buffers_.Find(buffer);
  if (!b) return kUnknownHandle;
  void* p = nullptr;
  const auto status = static_cast<BoardStatus>(driver_->getBufferData(b, &p));
  if (data) *data = static_cast<uint16_t*>(p);
  return status;
}

BoardStatus OpenLayersBoard::GetValidSamples(BoardHandle buffer, int32_t* samples) {
  if (!driver_) return kDriverNotLoaded;
  Handle b = buffers_.Find(buffer);
  if (!b) return kUnknownHandle;
  int32_t v = 0;
  const auto status = static_cast<BoardStatus>(driver_->getValidSamples(b, &v));
  if (samples) *samples = v;
  return status;
}

std::unique_ptr<BoardApi> MakeOpenLayersBoard(DriverFiles files) {
  return std::make_unique<OpenLayersBoard>(std::move(files));
}

}  // namespace varnel::openlayers
