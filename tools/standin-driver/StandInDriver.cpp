// oldaapi32.dll of the stand-in driver: the simulated board behind the
// driver's entry points, exported by ordinal only (oldaapi32.def). It reads
// olsim.ini beside the DLL, hands out pointer-sized handles whose upper half
// carries the number on 64-bit Windows (so a caller that truncates them
// breaks at once), and posts its messages to the window given with ordinal 67
// from the board's own thread.
//
// [StandIn] InitializeStatus=n in olsim.ini makes InitializeBoard refuse
// with status n, as a driver that finds no board does.

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <utility>

#include "boards/openlayers/OpenLayersApi.h"
#include "boards/sim/SimulatedBoard.h"
#include "platform/Files.h"
#include "platform/MessageLoop.h"
#include "platform/Profile.h"
//
#include "platform/win32/WindowsApi.h"

namespace {

using varnel::BoardHandle;
using Status = uint32_t;
using Handle = void*;

constexpr int kShift = sizeof(void*) > 4 ? 32 : 0;
constexpr uintptr_t kTag = sizeof(void*) > 4 ? 0x5A5Au : 0u;

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

// Posts to a window what the board would post to a message loop.
class WindowPoster : public varnel::platform::MessageLoop {
 public:
  WindowPoster(HWND window, LPARAM context) : window_(window), context_(context) {}
  void Post(const varnel::platform::Message& m) override {
    ::PostMessageA(window_, m.id, reinterpret_cast<WPARAM>(Out(static_cast<BoardHandle>(m.wParam))), context_);
  }
  void SetTimer(uint32_t, uint32_t) override {}
  void KillTimer(uint32_t) override {}
  void SetHandler(varnel::platform::MessageHandler*) override {}

 private:
  HWND window_;
  LPARAM context_;
};

struct Driver {
  const std::string settings = SettingsPath();
  varnel::sim::SimulatedBoard board{settings};
  std::mutex mutex;
  // Never freed while the DLL is loaded: the board's thread may still post through one.
  std::map<std::pair<HWND, LPARAM>, std::unique_ptr<WindowPoster>> posters;
};

// Made on first use and never destroyed: destroying it when the DLL is
// unloaded would join the board's thread under the loader lock.
Driver& TheDriver() {
  static Driver* driver = std::make_unique<Driver>().release();
  return *driver;
}

varnel::sim::SimulatedBoard& Board() {
  return TheDriver().board;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = module;
  return TRUE;
}

using varnel::openlayers::EnumCallback;

extern "C" {

Status WINAPI SiEnumBoards(EnumCallback callback, LPARAM context) {
  if (callback == nullptr) return varnel::sim::kSimBadValue;
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
  BoardHandle h = 0;
  const auto status = static_cast<Status>(Board().GetSubsystem(In(board), type, static_cast<int32_t>(element), &h));
  if (sub) *sub = Out(h);
  return status;
}

Status WINAPI SiReleaseSubsystem(Handle sub) {
  return static_cast<Status>(Board().ReleaseSubsystem(In(sub)));
}

Status WINAPI SiGetCapability(Handle sub, int32_t code, int32_t* value) {
  return static_cast<Status>(Board().GetSubsystemCapability(In(sub), code, value));
}

Status WINAPI SiGetCapabilityValue(Handle sub, int32_t code, double* value) {
  return static_cast<Status>(Board().GetSubsystemCapabilityValue(In(sub), code, value));
}

Status WINAPI SiSetDataFlow(Handle sub, int32_t v) {
  return static_cast<Status>(Board().SetDataFlow(In(sub), v));
}
Status WINAPI SiSetWrapMode(Handle sub, int32_t v) {
  return static_cast<Status>(Board().SetWrapMode(In(sub), v));
}
Status WINAPI SiSetClockFrequency(Handle sub, double hz) {
  return static_cast<Status>(Board().SetClockFrequency(In(sub), hz));
}
Status WINAPI SiSetClockSource(Handle sub, int32_t v) {
  return static_cast<Status>(Board().SetClockSource(In(sub), v));
}
Status WINAPI SiSetChannelListSize(Handle sub, int32_t v) {
  return static_cast<Status>(Board().SetChannelListSize(In(sub), v));
}
Status WINAPI SiSetChannelListEntry(Handle sub, uint32_t index, int32_t channel) {
  return static_cast<Status>(Board().SetChannelListEntry(In(sub), static_cast<int32_t>(index), channel));
}
Status WINAPI SiSetGainListEntry(Handle sub, uint32_t index, double gain) {
  return static_cast<Status>(Board().SetGainListEntry(In(sub), static_cast<int32_t>(index), gain));
}
Status WINAPI SiSetTrigger(Handle sub, int32_t v) {
  return static_cast<Status>(Board().SetTrigger(In(sub), v));
}
Status WINAPI SiApplySettings(Handle sub) {
  return static_cast<Status>(Board().ApplySettings(In(sub)));
}

Status WINAPI SiSetWindow(Handle sub, HWND window, LPARAM context) {
  Driver& d = TheDriver();
  varnel::platform::MessageLoop* poster = nullptr;
  if (window != nullptr) {
    std::lock_guard lock(d.mutex);
    auto& slot = d.posters[{window, context}];
    if (!slot) slot = std::make_unique<WindowPoster>(window, context);
    poster = slot.get();
  }
  return static_cast<Status>(d.board.SetNotificationWindow(In(sub), poster, context));
}

Status WINAPI SiStart(Handle sub) {
  return static_cast<Status>(Board().StartAcquisition(In(sub)));
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
  return static_cast<Status>(Board().GetRange(In(sub), upper, lower));
}
Status WINAPI SiGetEncoding(Handle sub, int32_t* v) {
  return static_cast<Status>(Board().GetEncoding(In(sub), v));
}
Status WINAPI SiGetResolution(Handle sub, int32_t* v) {
  return static_cast<Status>(Board().GetResolution(In(sub), v));
}

// For olmem32.dll: the buffers live with the board.
Status WINAPI SiAllocateBuffer(uint32_t flags, uint32_t reserved, uint32_t samples, uint32_t bytes, Handle* buffer) {
  BoardHandle h = 0;
  const auto status = static_cast<Status>(Board().AllocateBuffer(flags, reserved, samples, bytes, &h));
  if (buffer) *buffer = Out(h);
  return status;
}
Status WINAPI SiFreeBuffer(Handle buffer) {
  return static_cast<Status>(Board().FreeBuffer(In(buffer)));
}
Status WINAPI SiGetBufferData(Handle buffer, void** data) {
  uint16_t* p = nullptr;
  const auto status = static_cast<Status>(Board().GetBufferData(In(buffer), &p));
  if (data) *data = p;
  return status;
}
Status WINAPI SiGetValidSamples(Handle buffer, int32_t* samples) {
  return static_cast<Status>(Board().GetValidSamples(In(buffer), samples));
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
