#include "boards/openlayers/OpenLayersBoard.h"

#include <string>

#include "boards/openlayers/OpenLayersApi.h"
#include "boards/openlayers/OpenLayersCodes.h"
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
  if (*handle == nullptr) return kUnknownHandle;
  return kBoardSuccess;
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

BoardStatus OpenLayersBoard::GetSubsystem(BoardHandle board, BoardHandle* subsystem) {
  if (!driver_) return kDriverNotLoaded;
  Handle b = boards_.Find(board);
  if (!b) return kUnknownHandle;
  Handle h = nullptr;
  const auto status = static_cast<BoardStatus>(driver_->getSubsystem(b, kSubsystemAnalogInput, 0, &h));
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

BoardStatus OpenLayersBoard::GetSubsystemCapability(BoardHandle subsystem, BoardCapability which, double* value) {
  Handle h = nullptr;
  if (BoardStatus s = OnSubsystem(subsystem, &h)) return s;
  if (!value) return kBadArgument;
  if (which == BoardCapability::MaxThroughput) {
    return static_cast<BoardStatus>(driver_->getCapabilityValue(h, kCapMaxThroughput, value));
  }
  const int32_t code = which == BoardCapability::ChannelCount ? kCapChannelCount
                       : which == BoardCapability::GainCount  ? kCapGainCount
                                                              : kCapSimultaneous;
  int32_t v = 0;
  const auto status = static_cast<BoardStatus>(driver_->getCapability(h, code, &v));
  if (status == kBoardSuccess) *value = v;
  return status;
}

BoardStatus OpenLayersBoard::GetNativeRates(BoardHandle subsystem, std::vector<int32_t>*) {
  Handle h = nullptr;
  if (BoardStatus s = OnSubsystem(subsystem, &h)) return s;
  return kNoRateList;  // any rate up to the maximum
}

BoardStatus OpenLayersBoard::GetCodeFormat(BoardHandle subsystem, CodeFormat* format) {
  Handle h = nullptr;
  if (BoardStatus s = OnSubsystem(subsystem, &h)) return s;
  if (!format) return kBadArgument;
  double upper = 0.0, lower = 0.0;
  int32_t encoding = 0, resolution = 0;
  // What the driver does not report stays as it was.
  auto status = static_cast<BoardStatus>(driver_->getRange(h, &upper, &lower));
  if (status == kBoardSuccess) format->upper = upper, format->lower = lower;
  if (const auto s = static_cast<BoardStatus>(driver_->getEncoding(h, &encoding)); s == kBoardSuccess) {
    format->encoding = encoding;
  } else {
    status = s;
  }
  if (const auto s = static_cast<BoardStatus>(driver_->getResolution(h, &resolution)); s == kBoardSuccess) {
    format->resolution = resolution;
  } else {
    status = s;
  }
  return status;
}

BoardStatus OpenLayersBoard::CheckRun(BoardHandle subsystem, const RunSettings&, std::string*) {
  // The driver cannot be asked in advance: Configure judges.
  Handle h = nullptr;
  return OnSubsystem(subsystem, &h);
}

BoardStatus OpenLayersBoard::Configure(BoardHandle subsystem, const RunSettings& run) {
  Handle h = nullptr;
  if (BoardStatus s = OnSubsystem(subsystem, &h)) return s;
  auto call = [](Status status) { return static_cast<BoardStatus>(status); };
  if (BoardStatus s = call(driver_->setDataFlow(h, kDataFlowContinuous))) return s;
  if (BoardStatus s = call(driver_->setWrapMode(h, kWrapModeMultiple))) return s;
  if (BoardStatus s = call(driver_->setClockFrequency(h, run.clockHz))) return s;
  if (BoardStatus s = call(driver_->setClockSource(h, kClockSourceInternal))) return s;
  if (BoardStatus s = call(driver_->setChannelListSize(h, static_cast<int32_t>(run.channels.size())))) return s;
  for (std::size_t k = 0; k < run.channels.size(); ++k) {
    const auto index = static_cast<uint32_t>(k);
    if (BoardStatus s = call(driver_->setChannelListEntry(h, index, run.channels[k]))) return s;
    const double gain = k < run.gains.size() ? run.gains[k] : 1.0;
    if (BoardStatus s = call(driver_->setGainListEntry(h, index, gain))) return s;
  }
  if (BoardStatus s = call(driver_->setTrigger(h, run.trigger))) return s;
  return call(driver_->applySettings(h));
}

BoardStatus OpenLayersBoard::StartAcquisition(BoardHandle subsystem, BoardEvents* events) {
  Handle h = nullptr;
  if (BoardStatus s = OnSubsystem(subsystem, &h)) return s;
  // The driver posts to a window of the platform; without one it tells nobody.
  HWND hwnd = events ? reinterpret_cast<HWND>(events->NativeWindow()) : nullptr;
  // The start's status is the one that counts.
  driver_->setWindow(h, hwnd, 0);
  driver_->applySettings(h);
  return static_cast<BoardStatus>(driver_->start(h));
}

BoardStatus OpenLayersBoard::StopAcquisition(BoardHandle subsystem) {
  Handle h = nullptr;
  if (BoardStatus s = OnSubsystem(subsystem, &h)) return s;
  return static_cast<BoardStatus>(driver_->stop(h));
}

BoardStatus OpenLayersBoard::EndAcquisitionAndFlush(BoardHandle subsystem) {
  Handle h = nullptr;
  if (BoardStatus s = OnSubsystem(subsystem, &h)) return s;
  return static_cast<BoardStatus>(driver_->flush(h));
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

BoardStatus OpenLayersBoard::AllocateBuffer(uint32_t samples, BoardHandle* buffer) {
  if (!driver_) return kDriverNotLoaded;
  Handle b = nullptr;
  const auto status = static_cast<BoardStatus>(driver_->allocateBuffer(0, 0, samples, sizeof(uint16_t), &b));
  const BoardHandle number = status == kBoardSuccess ? buffers_.Map(b) : 0;
  if (number != 0) bufferSizes_[number] = samples;
  if (buffer) *buffer = number;
  return status;
}

BoardStatus OpenLayersBoard::FreeBuffer(BoardHandle buffer) {
  if (!driver_) return kDriverNotLoaded;
  Handle b = buffers_.Find(buffer);
  if (!b) return kUnknownHandle;
  const auto status = static_cast<BoardStatus>(driver_->freeBuffer(b));
  buffers_.Forget(buffer);
  bufferSizes_.erase(buffer);
  return status;
}

BoardStatus OpenLayersBoard::GetBufferData(BoardHandle buffer, BufferData* data) {
  if (!driver_) return kDriverNotLoaded;
  Handle b = buffers_.Find(buffer);
  if (!b) return kUnknownHandle;
  if (!data) return kBadArgument;
  // The valid count first, then the address, as the driver wants them.
  int32_t valid = 0;
  if (driver_->getValidSamples(b, &valid) != 0) valid = 0;
  void* p = nullptr;
  const auto status = static_cast<BoardStatus>(driver_->getBufferData(b, &p));
  data->samples = static_cast<uint16_t*>(p);
  data->valid = valid;
  data->size = bufferSizes_[buffer];
  return status;
}

std::unique_ptr<BoardApi> MakeOpenLayersBoard(DriverFiles files) {
  return std::make_unique<OpenLayersBoard>(std::move(files));
}

}  // namespace varnel::openlayers
