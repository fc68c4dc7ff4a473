#pragma once
// The headless recorder's message loop on POSIX: a queue of its own.

#include "ui/QueueMessageLoop.h"

namespace varnel::record {
using RecorderLoop = ui::QueueMessageLoop;
}
