#pragma once
// The conversation's wire: one client conversation with a named service on a
// topic. Every call carries its time-out; failures come back as error codes
// that the link writes into its traces.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace varnel {

// 0 is success; the others name what went wrong. A platform library with
// codes of its own (DDEML) returns those instead, so the traces carry them.
enum class TransportError : int32_t {
  None = 0,
  NotInitialised = 0x4001,
  NoConversation = 0x4002,
  ServiceNotFound = 0x4003,
  Timeout = 0x4004,
  Refused = 0x4005,
  Failed = 0x4006,
};

class AnalyzerTransport {
 public:
  virtual ~AnalyzerTransport() = default;

  // Opens the client side; false when the bus cannot be reached.
  virtual bool Initialize() = 0;
  virtual TransportError Connect(std::string_view service, std::string_view topic, uint32_t timeoutMs) = 0;
  virtual bool Connected() const = 0;
  // The command as sent, terminating NUL included.
  virtual TransportError Execute(std::span<const uint8_t> command, uint32_t timeoutMs) = 0;
  virtual TransportError Request(std::string_view item, std::string& text, uint32_t timeoutMs) = 0;
  virtual TransportError Poke(std::string_view item, std::span<const uint8_t> payload, uint32_t timeoutMs) = 0;
  virtual void DisconnectConversation() = 0;
  // Closes the client side; what the platform's uninitialise returns (1 = done).
  virtual int Uninitialize() = 0;
};

}  // namespace varnel
