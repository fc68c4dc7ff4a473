#pragma once
// The vendor's driver entry points as this program imports them: by ordinal,
// with the driver's calling convention (WINAPI: on i686 a wrong convention
// corrupts the stack), 32-bit statuses and pointer-sized handles. The stand-in
// driver of the tests exports the same table.

#include <cstdint>

#include "platform/win32/WindowsApi.h"

namespace varnel::openlayers {

using Status = uint32_t;  // 0 = success
using Handle = void*;     // board, sub-system and buffer handles

// Called once per board, name first; returns 1 to go on.
using EnumCallback = BOOL(CALLBACK*)(LPSTR name, LPSTR driver, LPARAM context);

namespace da {                                                                                    // oldaapi32.dll
using EnumBoards = Status(WINAPI*)(EnumCallback callback, LPARAM context);                        // 97
using InitializeBoard = Status(WINAPI*)(LPSTR name, Handle* board);                               // 11
using TerminateBoard = Status(WINAPI*)(Handle board);                                             // 12
using GetSubsystem = Status(WINAPI*)(Handle board, int32_t type, uint32_t element, Handle* sub);  // 13
using ReleaseSubsystem = Status(WINAPI*)(Handle sub);                                             // 14
using GetCapability = Status(WINAPI*)(Handle sub, int32_t code, int32_t* value);                  // 18
using GetCapabilityValue = Status(WINAPI*)(Handle sub, int32_t code, double* value);              // 19
using SetInt = Status(WINAPI*)(Handle sub, int32_t value);                                        // 71 69 61 53 38
using SetDouble = Status(WINAPI*)(Handle sub, double value);                                      // 44
using SetListEntry = Status(WINAPI*)(Handle sub, uint32_t index, int32_t channel);                // 55
using SetGainEntry = Status(WINAPI*)(Handle sub, uint32_t index, double gain);                    // 28
using SubsystemCall = Status(WINAPI*)(Handle sub);                                                // 46 47 48 77
using SetWindow = Status(WINAPI*)(Handle sub, HWND window, LPARAM context);                       // 67
using TakeBuffer = Status(WINAPI*)(Handle sub, Handle* buffer);                                   // 75
using QueueBuffer = Status(WINAPI*)(Handle sub, Handle buffer);                                   // 76
using GetRange = Status(WINAPI*)(Handle sub, double* upper, double* lower);                       // 58
using GetInt = Status(WINAPI*)(Handle sub, int32_t* value);                                       // 37 41
}  // namespace da

namespace mem {  // olmem32.dll
using AllocateBuffer = Status(WINAPI*)(uint32_t flags, uint32_t reserved, uint32_t samples, uint32_t sampleBytes,
                                       Handle* buffer);                    // 31
using FreeBuffer = Status(WINAPI*)(Handle buffer);                         // 38
using GetBufferData = Status(WINAPI*)(Handle buffer, void** data);         // 42
using GetValidSamples = Status(WINAPI*)(Handle buffer, int32_t* samples);  // 51
}  // namespace mem

// The ordinals, one per entry point.
enum DaOrdinal : uint16_t {
  kEnumBoards = 97,
  kInitializeBoard = 11,
  kTerminateBoard = 12,
  kGetSubsystem = 13,
  kReleaseSubsystem = 14,
  kGetCapability = 18,
  kGetCapabilityValue = 19,
  kSetDataFlow = 71,
  kSetWrapMode = 69,
  kSetClockFrequency = 44,
  kSetClockSource = 61,
  kSetChannelListSize = 53,
  kSetChannelListEntry = 55,
  kSetGainListEntry = 28,
  kSetTrigger = 38,
  kApplySettings = 46,
  kSetWindow = 67,
  kStart = 47,
  kStop = 48,
  kFlush = 77,
  kTakeDoneBuffer = 75,
  kQueueReadyBuffer = 76,
  kGetRange = 58,
  kGetEncoding = 37,
  kGetResolution = 41,
};

enum MemOrdinal : uint16_t {
  kAllocateBuffer = 31,
  kFreeBuffer = 38,
  kGetBufferData = 42,
  kGetValidSamples = 51,
};

}  // namespace varnel::openlayers
