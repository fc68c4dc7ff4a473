// olmem32.dll of the stand-in driver: its buffers live with the board in
// oldaapi32.dll beside it, so every entry point forwards there, by ordinal.

#include <windows.h>

#include <cstdint>
#include <string>

namespace {

using Status = uint32_t;
using Handle = void*;
constexpr Status kNoDriver = 0x6001;

HMODULE g_module = nullptr;

// oldaapi32.dll from this DLL's own folder, loaded on first use (never in DllMain).
FARPROC Entry(WORD ordinal) {
  static HMODULE driver = [] {
    char path[MAX_PATH * 4] = {};
    const DWORD n = ::GetModuleFileNameA(g_module, path, sizeof path);
    std::string folder(path, n < sizeof path ? n : 0);
    folder.erase(folder.find_last_of("\\/") == std::string::npos ? 0 : folder.find_last_of("\\/") + 1);
    return ::LoadLibraryA((folder + "oldaapi32.dll").c_str());
  }();
  return driver ? ::GetProcAddress(driver, MAKEINTRESOURCEA(ordinal)) : nullptr;
}

template <typename Fn>
Fn EntryAs(WORD ordinal) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(Entry(ordinal)));
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = module;
  return TRUE;
}

extern "C" {

Status WINAPI SmAllocateBuffer(uint32_t flags, uint32_t reserved, uint32_t samples, uint32_t bytes, Handle* buffer) {
  auto fn = EntryAs<Status(WINAPI*)(uint32_t, uint32_t, uint32_t, uint32_t, Handle*)>(231);
  return fn ? fn(flags, reserved, samples, bytes, buffer) : kNoDriver;
}

Status WINAPI SmFreeBuffer(Handle buffer) {
  auto fn = EntryAs<Status(WINAPI*)(Handle)>(238);
  return fn ? fn(buffer) : kNoDriver;
}

Status WINAPI SmGetBufferData(Handle buffer, void** data) {
  auto fn = EntryAs<Status(WINAPI*)(Handle, void**)>(242);
  return fn ? fn(buffer, data) : kNoDriver;
}

Status WINAPI SmGetValidSamples(Handle buffer, int32_t* samples) {
  auto fn = EntryAs<Status(WINAPI*)(Handle, int32_t*)>(251);
  return fn ? fn(buffer, samples) : kNoDriver;
}

}  // extern "C"
