#pragma once
// How much memory the machine can still give: what a run that keeps seconds
// of samples in memory is measured against before it starts.
//
// Safe from any thread.

#include <cstdint>
#include <optional>

namespace varnel::platform {

// Bytes of memory available to a new allocation without swapping; nothing
// when the system does not say.
std::optional<uint64_t> AvailableMemoryBytes();

}  // namespace varnel::platform
