#include "transport/dbus/DbusNames.h"

namespace varnel::transport::dbus {
namespace {

constexpr std::size_t kMaxBusNameLength = 255;

bool IsLower(unsigned char c) {
  return c >= 'a' && c <= 'z';
}
bool IsDigit(unsigned char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::string EscapeNameElement(std::string_view name) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(name.size() * 3);
  for (std::size_t i = 0; i < name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
    if (IsLower(c) || (IsDigit(c) && i != 0)) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('_');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xF]);
    }
  }
  return out;
}

std::string ServiceBusName(std::string_view service) {
  if (service.empty()) return {};
  std::string name = kBusNamePrefix + EscapeNameElement(service);
  if (name.size() > kMaxBusNameLength) return {};
  return name;
}

std::string TopicObjectPath(std::string_view topic) {
  if (topic.empty()) return {};
  return kObjectPathPrefix + EscapeNameElement(topic);
}

}  // namespace varnel::transport::dbus
