#pragma once
// The headless recorder's message loop on POSIX: a queue of its own.

#include "platform/QueueMessageLoop.h"

namespace varnel::record {
using RecorderLoop = platform::QueueMessageLoop;
}
