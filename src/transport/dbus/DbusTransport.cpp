#include "transport/dbus/DbusTransport.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>

#include "transport/dbus/DbusNames.h"
#include "transport/dbus/SdBus.h"

namespace varnel {
namespace {

using namespace transport::dbus;
using SteadyClock = std::chrono::steady_clock;

uint64_t Microseconds(uint32_t ms) {
  return uint64_t{ms} * 1000;
}

// How a finished call maps onto the conversation's error codes.
TransportError Classify(int r, const BusError& error) {
  if (r >= 0) return TransportError::None;
  if (r == -ETIMEDOUT || error.Is(SD_BUS_ERROR_NO_REPLY) || error.Is(SD_BUS_ERROR_TIMEOUT))
    return TransportError::Timeout;
  if (error.Is(SD_BUS_ERROR_SERVICE_UNKNOWN) || error.Is(SD_BUS_ERROR_NAME_HAS_NO_OWNER))
    return TransportError::ServiceNotFound;
  if (error.Is(kErrorNotProcessed)) return TransportError::Refused;
  if (r == -ENOTCONN || r == -ECONNRESET) return TransportError::NotInitialised;
  return TransportError::Failed;
}

class DbusTransport final : public AnalyzerTransport {
 public:
  bool Initialize() override {
    bus_ = OpenUserBus();
    return bus_ != nullptr;
  }

  TransportError Connect(std::string_view service, std::string_view topic, uint32_t timeoutMs) override {
    if (!bus_) return TransportError::NotInitialised;
    peer_.clear();
    const std::string name = ServiceBusName(service);
    const std::string path = TopicObjectPath(topic);
    if (name.empty() || path.empty()) return TransportError::ServiceNotFound;

    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    // The conversation is with the connection that owns the name now: a later
    // owner of the same name is another conversation, as it would be elsewhere.
    std::string owner;
    TransportError result = NameOwner(name, owner, timeoutMs);
    if (result != TransportError::None) return result;

    MessagePtr ping;
    if (NewCall(owner.c_str(), path.c_str(), "org.freedesktop.DBus.Peer", "Ping", ping) < 0)
      return TransportError::Failed;
    MessagePtr reply;
    result = Call(ping, Remaining(deadline), reply);
    if (result != TransportError::None) return result;
    peer_ = owner;
    path_ = path;
    return TransportError::None;
  }

  bool Connected() const override { return !peer_.empty(); }

  TransportError Execute(std::span<const uint8_t> command, uint32_t timeoutMs) override {
    MessagePtr call;
    if (TransportError e = Begin("Execute", call); e != TransportError::None) return e;
    if (sd_bus_message_append_array(call.get(), 'y', command.data(), command.size()) < 0) return TransportError::Failed;
    MessagePtr reply;
    return Call(call, timeoutMs, reply);
  }

  TransportError Request(std::string_view item, std::string& text, uint32_t timeoutMs) override {
    text.clear();
    MessagePtr call;
    if (TransportError e = Begin("Request", call); e != TransportError::None) return e;
    const std::string itemName(item);
    if (sd_bus_message_append(call.get(), "s", itemName.c_str()) < 0) return TransportError::Failed;
    MessagePtr reply;
    if (TransportError e = Call(call, timeoutMs, reply); e != TransportError::None) return e;
    const void* data = nullptr;
    std::size_t size = 0;
    if (sd_bus_message_read_array(reply.get(), 'y', &data, &size) < 0) return TransportError::Failed;
    text.assign(static_cast<const char*>(data), size);
    return TransportError::None;
  }

  TransportError Poke(std::string_view item, std::span<const uint8_t> payload, uint32_t timeoutMs) override {
    if (!bus_) return TransportError::NotInitialised;
    if (peer_.empty()) return TransportError::NoConversation;
    if (payload.size() > UINT32_MAX) return TransportError::Failed;
    const std::string itemName(item);
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    const auto total = static_cast<uint32_t>(payload.size());
    std::size_t offset = 0;
    // The whole poke keeps to one time-out, however many slices it takes.
    do {
      const std::size_t length = std::min(kMaxPokeChunkBytes, payload.size() - offset);
      const uint32_t remaining = offset == 0 ? timeoutMs : Remaining(deadline);
      if (remaining == 0) return TransportError::Timeout;
      MessagePtr call;
      if (TransportError e = Begin("Poke", call); e != TransportError::None) return e;
      if (sd_bus_message_append(call.get(), "suu", itemName.c_str(), static_cast<uint32_t>(offset), total) < 0 ||
          sd_bus_message_append_array(call.get(), 'y', payload.data() + offset, length) < 0)
        return TransportError::Failed;
      MessagePtr reply;
      if (TransportError e = Call(call, remaining, reply); e != TransportError::None) return e;
      offset += length;
    } while (offset < payload.size());
    return TransportError::None;
  }

  void DisconnectConversation() override { peer_.clear(); }

  int Uninitialize() override {
    peer_.clear();
    bus_.reset();
    return 1;
  }

 private:
  static uint32_t Remaining(SteadyClock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
    return left > 0 ? static_cast<uint32_t>(left) : 0;
  }

  int NewCall(const char* destination, const char* path, const char* interface, const char* member, MessagePtr& call) {
    sd_bus_message* raw = nullptr;
    int r = sd_bus_message_new_method_call(bus_.get(), &raw, destination, path, interface, member);
    if (r < 0) return r;
    call.reset(raw);
    // Never start a program on the user's behalf: the analyser runs or it does not.
    return sd_bus_message_set_auto_start(raw, 0);
  }

  TransportError Begin(const char* member, MessagePtr& call) {
    if (!bus_) return TransportError::NotInitialised;
    if (peer_.empty()) return TransportError::NoConversation;
    return NewCall(peer_.c_str(), path_.c_str(), kInterface, member, call) < 0 ? TransportError::Failed
                                                                               : TransportError::None;
  }

  TransportError NameOwner(const std::string& name, std::string& owner, uint32_t timeoutMs) {
    MessagePtr call;
    if (NewCall("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetNameOwner", call) < 0 ||
        sd_bus_message_append(call.get(), "s", name.c_str()) < 0)
      return TransportError::Failed;
    MessagePtr reply;
    if (TransportError e = Call(call, timeoutMs, reply); e != TransportError::None) return e;
    const char* unique = nullptr;
    if (sd_bus_message_read(reply.get(), "s", &unique) < 0 || !unique) return TransportError::Failed;
    owner = unique;
    return TransportError::None;
  }

  TransportError Call(MessagePtr& call, uint32_t timeoutMs, MessagePtr& reply) {
    BusError error;
    sd_bus_message* raw = nullptr;
    int r = sd_bus_call(bus_.get(), call.get(), Microseconds(std::max<uint32_t>(timeoutMs, 1)), error.Get(), &raw);
    reply.reset(raw);
    DropStrayMessages();
    return Classify(r, error);
  }

  // Replies that arrive after their call gave up, and signals nobody asked
  // for, queue up inside the connection; let the library discard them.
  void DropStrayMessages() {
    for (int i = 0; i < 1024; ++i) {
      if (sd_bus_process(bus_.get(), nullptr) <= 0) break;
    }
  }

  BusPtr bus_;
  std::string peer_;  // unique name of the analyser's connection; empty without a conversation
  std::string path_;
};

}  // namespace

std::unique_ptr<AnalyzerTransport> MakeDbusTransport() {
  return std::make_unique<DbusTransport>();
}

}  // namespace varnel
