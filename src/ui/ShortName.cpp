#include "ui/ShortName.h"

namespace varnel::ui {
namespace {

constexpr std::string_view kEllipsis = "\xE2\x80\xA6";  // U+2026

bool IsContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string ShortName(std::string_view name, const std::function<bool(std::string_view)>& fits) {
  if (fits(name)) return std::string(name);
  auto tail = [&](std::size_t from) { return std::string(kEllipsis) + std::string(name.substr(from)); };
  // Whole words first, the longest tail that fits.
  std::size_t lastWord = 0;
  for (std::size_t space = name.find(' '); space != std::string_view::npos; space = name.find(' ', space + 1)) {
    if (space + 1 >= name.size() || name[space + 1] == ' ') continue;
    lastWord = space + 1;
    if (fits(tail(lastWord))) return tail(lastWord);
  }
  // Not even the last word: its last characters.
  for (std::size_t from = lastWord + 1; from < name.size(); ++from) {
    if (IsContinuationByte(name[from])) continue;
    if (fits(tail(from))) return tail(from);
  }
  return std::string(kEllipsis);
}

}  // namespace varnel::ui
