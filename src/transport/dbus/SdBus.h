#pragma once
// Owning handles for the few sd-bus objects we use, so that every path out
// of a call releases what it took. Each bus connection belongs to one thread.

#include <systemd/sd-bus.h>

#include <memory>
#include <string>

namespace varnel::transport::dbus {

struct BusCloser {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct MessageUnref {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
struct SlotUnref {
  void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};

using BusPtr = std::unique_ptr<sd_bus, BusCloser>;
using MessagePtr = std::unique_ptr<sd_bus_message, MessageUnref>;
using SlotPtr = std::unique_ptr<sd_bus_slot, SlotUnref>;

// A new reference to a message the library lent us.
inline MessagePtr RefMessage(sd_bus_message* message) {
  return MessagePtr(sd_bus_message_ref(message));
}

// sd_bus_error freed on scope exit.
class BusError {
 public:
  BusError() = default;
  ~BusError() { sd_bus_error_free(&error_); }
  BusError(const BusError&) = delete;
  BusError& operator=(const BusError&) = delete;

  sd_bus_error* Get() { return &error_; }
  bool IsSet() const { return sd_bus_error_is_set(&error_); }
  bool Is(const char* name) const { return sd_bus_error_has_name(&error_, name); }
  std::string Name() const { return error_.name ? error_.name : ""; }
  std::string Text() const { return error_.message ? error_.message : ""; }

 private:
  sd_bus_error error_ = SD_BUS_ERROR_NULL;
};

// Connects to the user's own session bus; nullptr (and the errno in *error) when it cannot be reached.
BusPtr OpenUserBus(int* error = nullptr);

}  // namespace varnel::transport::dbus
