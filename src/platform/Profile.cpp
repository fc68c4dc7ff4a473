#include "platform/Profile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <vector>

#include "platform/Files.h"

namespace varnel::platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return text;
}

// One line of the file: [begin, end) is its text without the line break,
// [end, next) the line break itself (empty on a last line without one).
struct Line {
  std::size_t begin;
  std::size_t end;
  std::size_t next;
};

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t nl = text.find('\n', pos);
    std::size_t next = nl == std::string_view::npos ? text.size() : nl + 1;
    std::size_t end = nl == std::string_view::npos ? text.size() : nl;
    if (end > pos && text[end - 1] == '\r') --end;
    lines.push_back({pos, end, next});
    pos = next;
  }
  return lines;
}

// "[name]" gives name; anything else gives nothing.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  line.remove_prefix(1);
  std::size_t close = line.find(']');
  return Trim(close == std::string_view::npos ? line : line.substr(0, close));
}

struct KeyLine {
  std::string_view key;
  std::string_view value;
  std::size_t equalsOffset;  // within the line
};

std::optional<KeyLine> ParseKeyLine(std::string_view line) {
  std::string_view trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[') return std::nullopt;
  std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return KeyLine{Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)), eq};
}

struct Location {
  std::optional<std::size_t> sectionLine;  // index of the "[section]" line
  std::optional<std::size_t> keyLine;      // index of the key's line
  std::size_t lastContentLine = 0;         // last non-blank line of the section
};

Location Find(std::string_view text, const std::vector<Line>& lines, std::string_view section,
              std::string_view key) {
  Location loc;
  bool inSection = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string_view line = text.substr(lines[i].begin, lines[i].end - lines[i].begin);
    if (auto name = SectionName(line)) {
      if (inSection) break;  // the first section of that name is the one used
      inSection = EqualsNoCase(*name, section);
      if (inSection) loc.sectionLine = loc.lastContentLine = i;
      continue;
    }
    if (!inSection) continue;
    if (!Trim(line).empty()) loc.lastContentLine = i;
    if (auto kv = ParseKeyLine(line); kv && EqualsNoCase(kv->key, key)) {
      loc.keyLine = i;
      break;
    }
  }
  return loc;
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

// A value must stay on its line.
std::string_view OneLine(std::string_view value) {
  return value.substr(0, std::min(value.find('\n'), value.find('\r')));
}

std::string DominantLineBreak(std::string_view text) {
  std::size_t nl = text.find('\n');
  return (nl != std::string_view::npos && nl > 0 && text[nl - 1] == '\r') ? "\r\n" : "\n";
}

std::optional<std::string_view> LookUp(const std::string& text, std::string_view section, std::string_view key) {
  auto lines = SplitLines(text);
  Location loc = Find(text, lines, section, key);
  if (!loc.keyLine) return std::nullopt;
  const Line& l = lines[*loc.keyLine];
  return ParseKeyLine(std::string_view(text).substr(l.begin, l.end - l.begin))->value;
}

std::string Edited(const std::string& text, std::string_view section, std::string_view key, std::string_view value) {
  auto lines = SplitLines(text);
  Location loc = Find(text, lines, section, key);
  const std::string eol = DominantLineBreak(text);
  std::string out;
  out.reserve(text.size() + key.size() + value.size() + section.size() + 8);
  if (loc.keyLine) {
    const Line& l = lines[*loc.keyLine];
    auto kv = ParseKeyLine(std::string_view(text).substr(l.begin, l.end - l.begin));
    out.append(text, 0, l.begin + kv->equalsOffset + 1);
    out.append(value);
    out.append(text, l.end, std::string::npos);
  } else if (loc.sectionLine) {
    const Line& l = lines[loc.lastContentLine];
    out.append(text, 0, l.next);
    if (l.next == l.end) out.append(eol);  // the section ends the file without a line break
    out.append(key).append("=").append(value).append(eol);
    out.append(text, l.next, std::string::npos);
  } else {
    out = text;
    if (!out.empty() && out.back() != '\n') out.append(eol);
    out.append("[").append(section).append("]").append(eol);
    out.append(key).append("=").append(value).append(eol);
  }
  return out;
}

}  // namespace

int32_t ParseProfileInt(std::string_view text, int32_t defaultValue) {
  text = Trim(text);
  if (text.empty()) return defaultValue;
  bool negative = false;
  if (text.front() == '+' || text.front() == '-') {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = std::min<int64_t>(value * 10 + (c - '0'), int64_t{INT32_MAX} + 1);
  }
  if (negative) value = -value;
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

ProfileReader::ProfileReader(const std::string& path) : text_(ReadWholeFile(path)) {}

int32_t ProfileReader::ReadInt(std::string_view section, std::string_view key, int32_t defaultValue) const {
  if (!text_) return defaultValue;
  auto value = LookUp(*text_, section, key);
  return value ? ParseProfileInt(Unquote(*value), defaultValue) : defaultValue;
}

std::string ProfileReader::ReadString(std::string_view section, std::string_view key, std::string_view defaultValue,
                                      std::size_t bufferSize) const {
  if (bufferSize == 0) return {};
  std::string result(defaultValue);
  if (text_) {
    if (auto value = LookUp(*text_, section, key)) result = std::string(Unquote(*value));
  }
  result = result.substr(0, std::min(result.find('\0'), bufferSize - 1));
  return result;
}

int32_t ReadProfileInt(const std::string& path, std::string_view section, std::string_view key,
                       int32_t defaultValue) {
  return ProfileReader(path).ReadInt(section, key, defaultValue);
}

std::string ReadProfileString(const std::string& path, std::string_view section, std::string_view key,
                              std::string_view defaultValue, std::size_t bufferSize) {
  return ProfileReader(path).ReadString(section, key, defaultValue, bufferSize);
}

ProfileEdit::ProfileEdit(const std::string& path) : target_(ResolvedPath(path)) {
  auto existing = ReadWholeFile(target_);
  // There, but unreadable: writing would drop every line we could not read.
  if (!existing && FileExists(target_)) readable_ = false;
  text_ = existing.value_or(std::string());
}

void ProfileEdit::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  if (readable_) text_ = Edited(text_, OneLine(section), OneLine(key), OneLine(value));
}

bool ProfileEdit::Commit() { return readable_ && WriteFileAtomically(target_, text_); }

bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
  ProfileEdit edit(path);
  edit.WriteString(section, key, value);
  return edit.Commit();
}

}  // namespace varnel::platform
