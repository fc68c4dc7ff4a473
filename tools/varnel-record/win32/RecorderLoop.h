#pragma once
// The headless recorder's message loop on Windows: a window of the main
// thread, because the board's driver posts its messages to a window.

#include "platform/win32/WindowMessageLoop.h"

namespace varnel::record {
using RecorderLoop = platform::WindowMessageLoop;
}
