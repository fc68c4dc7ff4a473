#pragma once
// Reads an in-memory dialog template back, byte by byte, without trusting the
// writer: every field is bounded by the buffer, and every item must start on
// a DWORD boundary.

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace varnel::test {

struct ReadItem {
  std::size_t offset = 0;
  uint32_t style = 0;
  uint32_t exStyle = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  uint16_t id = 0;
  uint16_t classAtom = 0;
  std::u16string title;
  uint16_t creationData = 0;
};

struct ReadTemplate {
  uint32_t style = 0;
  uint32_t exStyle = 0;
  uint16_t count = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  uint16_t menu = 0;
  uint16_t windowClass = 0;
  std::u16string title;
  uint16_t pointSize = 0;
  std::u16string font;
  std::vector<ReadItem> items;
  std::size_t end = 0;  // one past the last byte read
};

class TemplateReader {
 public:
  TemplateReader(const void* data, std::size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}

  // Nothing when the template is cut short or misaligned.
  std::optional<ReadTemplate> Read() {
    ReadTemplate t;
    if (!Get(t.style) || !Get(t.exStyle) || !Get(t.count) || !Get(t.x) || !Get(t.y) || !Get(t.cx) || !Get(t.cy))
      return std::nullopt;
    if (!Get(t.menu) || t.menu != 0 || !Get(t.windowClass) || t.windowClass != 0 || !Text(t.title)) return std::nullopt;
    if ((t.style & 0x40) != 0 && (!Get(t.pointSize) || !Text(t.font))) return std::nullopt;
    for (uint16_t i = 0; i < t.count; ++i) {
      at_ = (at_ + 3) & ~std::size_t{3};
      if (reinterpret_cast<uintptr_t>(data_ + at_) % 4 != 0) return std::nullopt;
      ReadItem item;
      item.offset = at_;
      uint16_t marker = 0;
      if (!Get(item.style) || !Get(item.exStyle) || !Get(item.x) || !Get(item.y) || !Get(item.cx) || !Get(item.cy) ||
          !Get(item.id) || !Get(marker) || marker != 0xFFFF || !Get(item.classAtom) || !Text(item.title) ||
          !Get(item.creationData))
        return std::nullopt;
      t.items.push_back(item);
    }
    t.end = at_;
    return t;
  }

 private:
  template <typename T>
  bool Get(T& value) {
    if (at_ + sizeof(T) > size_) return false;
    std::memcpy(&value, data_ + at_, sizeof(T));
    at_ += sizeof(T);
    return true;
  }
  bool Text(std::u16string& text) {
    for (;;) {
      uint16_t c = 0;
      if (!Get(c)) return false;
      if (c == 0) return true;
      text.push_back(static_cast<char16_t>(c));
    }
  }

  const uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

}  // namespace varnel::test
