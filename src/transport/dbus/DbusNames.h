#pragma once
// How the conversation's names appear on the session bus. Service and topic
// names compare without regard to ASCII case, as the analyser's users expect,
// so both are folded to lower case before they become bus names and paths.

#include <cstddef>
#include <string>
#include <string_view>

namespace varnel::transport::dbus {

inline constexpr const char* kInterface = "org.varnel.Dde";
inline constexpr const char* kBusNamePrefix = "org.varnel.dde.";
inline constexpr const char* kObjectPathPrefix = "/org/varnel/dde/";
// The analyser answers a transaction it will not carry out with this error.
inline constexpr const char* kErrorNotProcessed = "org.varnel.Dde.Error.NotProcessed";

// The largest slice of a poke payload sent in one method call. Far below the
// protocol's 64 MiB array and 128 MiB message limits and the 32 MiB message
// limit a system-style bus configuration sets; a time series of 262144
// frames (1 MiB) still goes in one call.
inline constexpr std::size_t kMaxPokeChunkBytes = std::size_t{4} << 20;

// One bus-name element or path element: ASCII letters folded to lower case,
// letters and digits kept, every other byte (and a leading digit) as "_xx"
// in lower-case hex. Empty in, empty out.
std::string EscapeNameElement(std::string_view name);

// "org.varnel.dde.<service>", or empty when the service name is empty or the
// result is longer than a bus name may be.
std::string ServiceBusName(std::string_view service);
// "/org/varnel/dde/<topic>", or empty when the topic is empty.
std::string TopicObjectPath(std::string_view topic);

}  // namespace varnel::transport::dbus
