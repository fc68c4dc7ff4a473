// libFuzzer target: any bytes as an INI file, read key by key, edited and
// read back. Reads never fail on odd bytes; an edit lands, and a key of
// another section survives it.

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>

#include "FuzzInput.h"
#include "platform/Profile.h"

using varnel::platform::ProfileEdit;
using varnel::platform::ProfileReader;

namespace {

bool PlainName(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isalnum(c) != 0; });
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = varnel::fuzz::WriteInput(data, size);
  // A section and key named by the input itself, so that matches happen.
  std::string section = "Channel_0";
  std::string key = "szLabel";
  if (size > 4) {
    section.assign(reinterpret_cast<const char*>(data), size % 7);
    key.assign(reinterpret_cast<const char*>(data) + size / 2, size % 5);
  }
  std::string kept;
  {
    const ProfileReader reader(path);
    reader.ReadInt(section, key, 7);
    reader.ReadString(section, key, "default", 1 + size % 300);
    kept = reader.ReadString("Other", "Kept", "", 4096);
  }
  ProfileEdit edit(path);
  edit.WriteString("Main", "SamplingRate", "22050");
  edit.WriteString(section, key, "value");
  if (!edit.Commit()) return 0;
  const ProfileReader after(path);
  // Names that are plain words cannot reshape the file around them.
  if (!PlainName(section) || !PlainName(key)) return 0;
  const bool toMain = Lower(section) == "main" && Lower(key) == "samplingrate";
  const bool toKept = Lower(section) == "other" && Lower(key) == "kept";
  if (after.ReadString(section, key, "", 80) != "value") std::abort();
  if (!toMain && after.ReadInt("Main", "SamplingRate", 0) != 22050) std::abort();
  if (!toKept && after.ReadString("Other", "Kept", "", 4096) != kept) std::abort();
  return 0;
}
