#pragma once
// Private-profile (INI) files with the observable behaviour the settings and
// calibration files rely on: sections and keys matched without regard to ASCII
// case, white space around keys and values dropped, one pair of enclosing
// quotes removed, the caller's default for anything missing, and writes that
// change one line and keep every other byte of the file.
//
// Each call opens, reads or rewrites, and closes the file; nothing is held open.
// Safe to call from any thread for different files.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace varnel::platform {

// The integer at the start of the value: optional white space, optional sign,
// decimal digits; the rest is ignored. A value without digits reads as 0, an
// empty value or a missing key as the default. Out-of-range numbers saturate.
int32_t ReadProfileInt(const std::string& path, std::string_view section, std::string_view key,
                       int32_t defaultValue);

// The value, or the default when the file, section or key is missing, cut to
// bufferSize - 1 characters (the caller's char[bufferSize] field).
std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view defaultValue,
                              std::size_t bufferSize);

// Replaces the key's value in place, or adds the key, the section and the file.
// The file is replaced atomically: a write that fails leaves the previous file
// as it was. Returns false when the file cannot be written.
bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);

// Several reads of one file: the file is read once, each value as
// ReadProfileInt and ReadProfileString would give it.
// The file is indexed in one pass, so reading every key costs time linear in
// the file's size. What is not a readable regular file reads as missing.
class ProfileReader {
 public:
  explicit ProfileReader(const std::string& path);
  ProfileReader(const ProfileReader&) = delete;  // the index points into text_
  ProfileReader& operator=(const ProfileReader&) = delete;
  bool Readable() const { return text_.has_value(); }
  bool HasSection(std::string_view section) const;
  int32_t ReadInt(std::string_view section, std::string_view key, int32_t defaultValue) const;
  std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue,
                         std::size_t bufferSize) const;

 private:
  void Index();
  std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;

  std::optional<std::string> text_;
  // Lower-cased section name -> lower-cased key -> value (a view into text_).
  std::unordered_map<std::string, std::unordered_map<std::string, std::string_view>> sections_;
};

// Several writes to one file that land together: the file is read once, each
// write is applied in memory as WriteProfileString would apply it, and Commit
// replaces the file atomically, so a reader never sees half of them.
class ProfileEdit {
 public:
  explicit ProfileEdit(const std::string& path);
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  // False when the file cannot be written; the previous file then stays as it was.
  bool Commit();

 private:
  std::string target_;
  std::string text_;
  bool readable_ = true;
};

// The integer rule of ReadProfileInt applied to a text.
int32_t ParseProfileInt(std::string_view text, int32_t defaultValue);

}  // namespace varnel::platform
