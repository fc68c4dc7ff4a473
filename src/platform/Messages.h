#pragma once
// Message numbers of the main window, with the platform's values so that
// traces and peers speak of the same numbers.

#include <cstdint>

namespace varnel::platform {

inline constexpr uint32_t WM_USER = 0x0400;
inline constexpr uint32_t WM_TIMER = 0x0113;
inline constexpr uint32_t WM_DEVICECHANGE = 0x0219;
inline constexpr uint32_t WM_CLOSE = 0x0010;

inline constexpr uint32_t kBufferOverrunMessage = WM_USER + 102;  // from the board
inline constexpr uint32_t kBufferDoneMessage = WM_USER + 103;     // from the board
inline constexpr uint32_t WM_POKE_CALIBRATION = WM_USER + 301;
// Shows what a run lost, outside the buffer handler that found it.
inline constexpr uint32_t kRunNoticeMessage = WM_USER + 302;

inline constexpr uint32_t kRefreshTimerId = 101;

}  // namespace varnel::platform
