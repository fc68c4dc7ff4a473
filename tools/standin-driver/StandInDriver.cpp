// oldaapi32.dll of the stand-in driver: the simulated board behind the
// driver's entry points, exported by ordinal only (oldaapi32.def). It keeps
// each sub-system's settings as the driver's calls make them and applies
// them at ordinal 46, reads olsim.ini beside the DLL, hands out pointer-sized
// handles whose upper half carries the number on 64-bit Windows (so a caller
// that truncates them breaks at once), and posts its messages to the window
// given with ordinal 67 from the board's own thread.
//
// [StandIn] InitializeStatus=n in olsim.ini makes InitializeBoard refuse
// with status n, as a driver that finds no board does; StepMode=1 makes the
// board wait for the stand-in's own step calls (ordinals 900 and 901) instead
// of filling in real time, for tests that say when each buffer fills.

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <utility>

#include "boards/openlayers/OpenLayersApi.h"
#include "boards/openlayers/OpenLayersCodes.h"
#include "boards/sim/SimulatedBoard.h"
#include "platform/Files.h"
#include "platform/Profile.h"
//
#include "platform/win32/WindowsApi.h"

namespace {

using varnel::BoardHandle;
using varnel::BoardStatus;
using Status = uint32_t;
using Handle = void*;
namespace sim = varnel::sim;

constexpr int kShift = sizeof(void*) > 4 ? 32 : 0;
constexpr uintptr_t kTag = sizeof(void*) > 4 ? 0x5A5Au : 0u;
constexpr UINT kBufferDone = 0x0400 + 103;
constexpr UINT kOverrun = 0x0400 + 102;

Handle Out(BoardHandle h) {
  return h == 0 ? nullptr : reinterpret_cast<Handle>((uintptr_t{h} << kShift) | kTag);
}
BoardHandle In(Handle h) {
  return static_cast<BoardHandle>(reinterpret_cast<uintptr_t>(h) >> kShift);
}

HMODULE g_module = nullptr;

std::string SettingsPath() {
  char path[MAX_PATH * 4] = {};
  const DWORD n = ::GetModuleFileNameA(g_module, path, sizeof path);
  const std::string_view self(path, n < sizeof path ? n : 0);
  return varnel::platform::JoinPath(varnel::platform::FolderOf(self), "olsim.ini");
}

// Posts to a window what the board tells of a sub-system.
class WindowPoster : public varnel::BoardEvents {
 public:
  WindowPoster(HWND window, LPARAM context, BoardHandle subsystem)
      : window_(window), context_(context), subsystem_(subsystem) {}
  void BufferDone() override { Post(kBufferDone); }
  void Overrun() override { Post(kOverrun); }

 private:
  void Post(UINT message) const {
    ::PostMessageA(window_, message, reinterpret_cast<WPARAM>(Out(subsystem_)), context_);
  }
  HWND window_;
  LPARAM context_;
  BoardHandle subsystem_;
};

// A sub-system's settings as the driver's calls leave them.
struct Settings {
  varnel::RunSettings run;
  HWND window = nullptr;
  LPARAM context = 0;
};

struct Driver {
  Driver() { board.SetStepMode(varnel::platform::ReadProfileInt(settings, "StandIn", "StepMode", 0) == 1); }
  const std::string settings = SettingsPath();
  sim::SimulatedBoard board{settings};
  std::map<BoardHandle, Settings> subsystems;
  // Never freed while the DLL is loaded: the board's thread may still post through one.
  std::mutex mutex;
  std::map<std::pair<HWND, LPARAM>, std::map<BoardHandle, std::unique_ptr<WindowPoster>>> posters;
};

// Made on first use and never destroyed: destroying it when the DLL is
// unloaded would join the board's thread under the loader lock.
Driver& TheDriver() {
  static Driver* driver = std::make_unique<Driver>().release();
  return *driver;
}

sim::SimulatedBoard& Board() {
  return TheDriver().board;
}

// The settings of a sub-system this driver gave, or null.
Settings* SettingsOf(Handle sub) {
  auto& all = TheDriver().subsystems;
  const auto it = all.find(In(sub));
  return it == all.end() ? nullptr : &it->second;
}

// Calls `set` on the settings of `sub`; an unknown sub-system is refused.
template <typename Set>
Status Setting(Handle sub, Set&& set) {
  Settings* settings = SettingsOf(sub);
  return settings == nullptr ? static_cast<Status>(sim::kSimBadHandle) : static_cast<Status>(set(*settings));
}

varnel::BoardEvents* PosterFor(const Settings& settings, BoardHandle subsystem) {
  if (settings.window == nullptr) return nullptr;
  Driver& d = TheDriver();
  std::lock_guard lock(d.mutex);
  auto& slot = d.posters[{settings.window, settings.context}][subsystem];
  if (!slot) slot = std::make_unique<WindowPoster>(settings.window, settings.context, subsystem);
  return slot.get();
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = module;
  return TRUE;
}

using varnel::openlayers::EnumCallback;

extern "C" {

Status WINAPI SiEnumBoards(EnumCallback callback, LPARAM context) {
  if (callback == nullptr) return sim::kSimBadValue;
  return static_cast<Status>(Board().EnumerateBoards([&](std::string_view name) -> int32_t {
    std::string text(name);
    char driver[] = "olsim";
    return callback(text.data(), driver, context) ? 1 : 0;
  }));
}

Status WINAPI SiInitializeBoard(LPSTR name, Handle* board) {
  if (board) *board = nullptr;
  const int32_t refusal = varnel::platform::ReadProfileInt(TheDriver().settings, "StandIn", "InitializeStatus", 0);
  if (refusal != 0) return static_cast<Status>(refusal);
  BoardHandle h = 0;
  const auto status = static_cast<Status>(Board().InitializeBoard(name ? name : "", &h));
  if (board) *board = Out(h);
  return status;
}

Status WINAPI SiTerminateBoard(Handle board) {
  return static_cast<Status>(Board().TerminateBoard(In(board)));
}

Status WINAPI SiGetSubsystem(Handle board, int32_t type, uint32_t element, Handle* sub) {
  if (sub) *sub = nullptr;
  if (type != varnel::kSubsystemAnalogInput || element != 0) return sim::kSimUnsupported;
  BoardHandle h = 0;
  const auto status = static_cast<Status>(Board().GetSubsystem(In(board), &h));
  if (status == 0) TheDriver().subsystems[h] = {};
  if (sub) *sub = Out(h);
  return status;
}

Status WINAPI SiReleaseSubsystem(Handle sub) {
  TheDriver().subsystems.erase(In(sub));
  return static_cast<Status>(Board().ReleaseSubsystem(In(sub)));
}

Status WINAPI SiGetCapability(Handle sub, int32_t code, int32_t* value) {
  const auto which = code == varnel::kCapChannelCount   ? varnel::BoardCapability::ChannelCount
                     : code == varnel::kCapGainCount    ? varnel::BoardCapability::GainCount
                     : code == varnel::kCapSimultaneous ? varnel::BoardCapability::Simultaneous
                                                        : varnel::BoardCapability::MaxThroughput;
  if (which == varnel::BoardCapability::MaxThroughput) return sim::kSimUnsupported;
  double v = 0;
  const auto status = static_cast<Status>(Board().GetSubsystemCapability(In(sub), which, &v));
  if (status == 0 && value) *value = static_cast<int32_t>(v);
  return status;
}

Status WINAPI SiGetCapabilityValue(Handle sub, int32_t code, double* value) {
  if (code != varnel::kCapMaxThroughput) return sim::kSimUnsupported;
  return static_cast<Status>(Board().GetSubsystemCapability(In(sub), varnel::BoardCapability::MaxThroughput, value));
}

Status WINAPI SiSetDataFlow(Handle sub, int32_t v) {
  return Setting(sub, [&](Settings&) -> BoardStatus {
    if (v != varnel::kDataFlowContinuous) return sim::kSimUnsupported;
    return 0;
  });
}
Status WINAPI SiSetWrapMode(Handle sub, int32_t) {
  return Setting(sub, [](Settings&) -> BoardStatus { return 0; });
}
Status WINAPI SiSetClockFrequency(Handle sub, double hz) {
  return Setting(sub, [&](Settings& s) -> BoardStatus { return s.run.clockHz = hz, 0; });
}
Status WINAPI SiSetClockSource(Handle sub, int32_t v) {
  return Setting(sub, [&](Settings&) -> BoardStatus {
    if (v != varnel::kClockSourceInternal) return sim::kSimUnsupported;
    return 0;
  });
}
Status WINAPI SiSetChannelListSize(Handle sub, int32_t v) {
  return Setting(sub, [&](Settings& s) -> BoardStatus {
    if (v < 1 || v > 256) return sim::kSimBadValue;
    s.run.channels.assign(static_cast<std::size_t>(v), -1);
    s.run.gains.assign(static_cast<std::size_t>(v), 1.0);
    return 0;
  });
}
Status WINAPI SiSetChannelListEntry(Handle sub, uint32_t index, int32_t channel) {
  return Setting(sub, [&](Settings& s) -> BoardStatus {
    if (index >= s.run.channels.size()) return sim::kSimBadValue;
    return s.run.channels[index] = channel, 0;
  });
}
Status WINAPI SiSetGainListEntry(Handle sub, uint32_t index, double gain) {
  return Setting(sub, [&](Settings& s) -> BoardStatus {
    if (index >= s.run.gains.size()) return sim::kSimBadValue;
    return s.run.gains[index] = gain, 0;
  });
}
Status WINAPI SiSetTrigger(Handle sub, int32_t v) {
  return Setting(sub, [&](Settings& s) -> BoardStatus { return s.run.trigger = v, 0; });
}
Status WINAPI SiApplySettings(Handle sub) {
  return Setting(sub, [&](Settings& s) -> BoardStatus {
    const auto& list = s.run.channels;
    if (list.empty() || std::find(list.begin(), list.end(), -1) != list.end()) return sim::kSimNotConfigured;
    return Board().Configure(In(sub), s.run);
  });
}

Status WINAPI SiSetWindow(Handle sub, HWND window, LPARAM context) {
  return Setting(sub, [&](Settings& s) -> BoardStatus { return s.window = window, s.context = context, 0; });
}

Status WINAPI SiStart(Handle sub) {
  Settings* settings = SettingsOf(sub);
  if (settings == nullptr) return sim::kSimBadHandle;
  return static_cast<Status>(Board().StartAcquisition(In(sub), PosterFor(*settings, In(sub))));
}
Status WINAPI SiStop(Handle sub) {
  return static_cast<Status>(Board().StopAcquisition(In(sub)));
}
Status WINAPI SiFlush(Handle sub) {
  return static_cast<Status>(Board().EndAcquisitionAndFlush(In(sub)));
}

Status WINAPI SiTakeDoneBuffer(Handle sub, Handle* buffer) {
  BoardHandle h = 0;
  const auto status = static_cast<Status>(Board().TakeDoneBuffer(In(sub), &h));
  if (buffer) *buffer = Out(h);
  return status;
}

Status WINAPI SiQueueReadyBuffer(Handle sub, Handle buffer) {
  return static_cast<Status>(Board().QueueReadyBuffer(In(sub), In(buffer)));
}

Status WINAPI SiGetRange(Handle sub, double* upper, double* lower) {
  varnel::CodeFormat codes;
  const auto status = static_cast<Status>(Board().GetCodeFormat(In(sub), &codes));
  if (status == 0 && upper) *upper = codes.upper;
  if (status == 0 && lower) *lower = codes.lower;
  return status;
}
Status WINAPI SiGetEncoding(Handle sub, int32_t* v) {
  varnel::CodeFormat codes;
  const auto status = static_cast<Status>(Board().GetCodeFormat(In(sub), &codes));
  if (status == 0 && v) *v = codes.encoding;
  return status;
}
Status WINAPI SiGetResolution(Handle sub, int32_t* v) {
  varnel::CodeFormat codes;
  const auto status = static_cast<Status>(Board().GetCodeFormat(In(sub), &codes));
  if (status == 0 && v) *v = codes.resolution;
  return status;
}

// For olmem32.dll: the buffers live with the board.
Status WINAPI SiAllocateBuffer(uint32_t, uint32_t, uint32_t samples, uint32_t bytes, Handle* buffer) {
  if (buffer) *buffer = nullptr;
  if (bytes != sizeof(uint16_t)) return sim::kSimBadValue;
  BoardHandle h = 0;
  const auto status = static_cast<Status>(Board().AllocateBuffer(samples, &h));
  if (buffer) *buffer = Out(h);
  return status;
}
Status WINAPI SiFreeBuffer(Handle buffer) {
  return static_cast<Status>(Board().FreeBuffer(In(buffer)));
}
Status WINAPI SiGetBufferData(Handle buffer, void** data) {
  varnel::BufferData d;
  const auto status = static_cast<Status>(Board().GetBufferData(In(buffer), &d));
  if (data) *data = d.samples;
  return status;
}
Status WINAPI SiGetValidSamples(Handle buffer, int32_t* samples) {
  varnel::BufferData d;
  const auto status = static_cast<Status>(Board().GetBufferData(In(buffer), &d));
  if (samples) *samples = d.valid;
  return status;
}

// The stand-in's own, for tests in step mode: fill the rest of the buffer
// being filled (or the oldest ready one), or `scans` scans of it.
BOOL WINAPI SiStepBuffer() {
  return Board().StepBuffer() ? TRUE : FALSE;
}
BOOL WINAPI SiStepPartialBuffer(uint32_t scans) {
  return Board().StepPartialBuffer(scans) ? TRUE : FALSE;
}

}  // extern "C"

// The stand-in's entry points have exactly the types the recorder imports them
// with, calling convention included: on i686, where the convention is part of
// the type, a mismatch fails this build instead of corrupting the stack.
namespace da = varnel::openlayers::da;
namespace mem = varnel::openlayers::mem;
static_assert(std::is_same_v<decltype(&SiEnumBoards), da::EnumBoards>);
static_assert(std::is_same_v<decltype(&SiInitializeBoard), da::InitializeBoard>);
static_assert(std::is_same_v<decltype(&SiTerminateBoard), da::TerminateBoard>);
static_assert(std::is_same_v<decltype(&SiGetSubsystem), da::GetSubsystem>);
static_assert(std::is_same_v<decltype(&SiReleaseSubsystem), da::ReleaseSubsystem>);
static_assert(std::is_same_v<decltype(&SiGetCapability), da::GetCapability>);
static_assert(std::is_same_v<decltype(&SiGetCapabilityValue), da::GetCapabilityValue>);
static_assert(std::is_same_v<decltype(&SiSetDataFlow), da::SetInt>);
static_assert(std::is_same_v<decltype(&SiSetWrapMode), da::SetInt>);
static_assert(std::is_same_v<decltype(&SiSetClockFrequency), da::SetDouble>);
static_assert(std::is_same_v<decltype(&SiSetClockSource), da::SetInt>);
static_assert(std::is_same_v<decltype(&SiSetChannelListSize), da::SetInt>);
static_assert(std::is_same_v<decltype(&SiSetChannelListEntry), da::SetListEntry>);
static_assert(std::is_same_v<decltype(&SiSetGainListEntry), da::SetGainEntry>);
static_assert(std::is_same_v<decltype(&SiSetTrigger), da::SetInt>);
static_assert(std::is_same_v<decltype(&SiApplySettings), da::SubsystemCall>);
static_assert(std::is_same_v<decltype(&SiSetWindow), da::SetWindow>);
static_assert(std::is_same_v<decltype(&SiStart), da::SubsystemCall>);
static_assert(std::is_same_v<decltype(&SiStop), da::SubsystemCall>);
static_assert(std::is_same_v<decltype(&SiFlush), da::SubsystemCall>);
static_assert(std::is_same_v<decltype(&SiTakeDoneBuffer), da::TakeBuffer>);
static_assert(std::is_same_v<decltype(&SiQueueReadyBuffer), da::QueueBuffer>);
static_assert(std::is_same_v<decltype(&SiGetRange), da::GetRange>);
static_assert(std::is_same_v<decltype(&SiGetEncoding), da::GetInt>);
static_assert(std::is_same_v<decltype(&SiGetResolution), da::GetInt>);
static_assert(std::is_same_v<decltype(&SiAllocateBuffer), mem::AllocateBuffer>);
static_assert(std::is_same_v<decltype(&SiFreeBuffer), mem::FreeBuffer>);
static_assert(std::is_same_v<decltype(&SiGetBufferData), mem::GetBufferData>);
static_assert(std::is_same_v<decltype(&SiGetValidSamples), mem::GetValidSamples>);
