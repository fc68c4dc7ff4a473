#include "transport/dbus/SdBus.h"

namespace varnel::transport::dbus {

BusPtr OpenUserBus(int* error) {
  sd_bus* raw = nullptr;
  int r = sd_bus_open_user(&raw);
  if (error) *error = r < 0 ? -r : 0;
  if (r < 0) return nullptr;
  return BusPtr(raw);
}

}  // namespace varnel::transport::dbus
