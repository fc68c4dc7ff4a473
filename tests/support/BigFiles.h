#pragma once
// Files past 4 GiB without writing 4 GiB: the size is set and only the blocks
// a test cares about are written, so the rest is a hole the file system does
// not store. And the frame counts that readers nobody here wrote report.

#include <cstdint>
#include <string>

#include "platform/OsFile.h"
#include "support/TempDir.h"

namespace varnel::test {

inline constexpr uint64_t kFourGiB = uint64_t{1} << 32;

inline bool SetFileSize(const std::string& path, uint64_t size) {
  platform::OsFile f;
  return f.Open(path, false) && f.Truncate(size) && f.Close();
}

inline bool WriteAt(const std::string& path, uint64_t offset, const std::string& bytes) {
  platform::OsFile f;
  return f.Open(path, false) && f.WriteAt(offset, bytes.data(), bytes.size()) == bytes.size() && f.Close();
}

inline std::string ReadAt(const std::string& path, uint64_t offset, std::size_t count) {
  platform::OsFile f;
  std::string out(count, '\0');
  if (!f.Open(path, false)) return {};
  out.resize(f.ReadAt(offset, out.data(), count));
  return out;
}

inline uint64_t FileSizeOf(const std::string& path) {
  platform::OsFile f;
  return f.Open(path, false) ? f.Size() : 0;
}

inline uint64_t LittleAt(const std::string& bytes, std::size_t offset, int size) {
  uint64_t v = 0;
  for (int i = 0; i < size; ++i) v |= static_cast<uint64_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
  return v;
}

// The frame counts of libsndfile, sox and Python's soundfile, one line each
// ("sndfile 123"); a reader that is missing says so on its line. sox reads an
// RF64 file's data through to count it (minutes for 4 GiB): big files leave it out.
enum class WithSox { kYes, kNo };
inline std::string ExternalFrameCounts(const std::string& path, WithSox sox = WithSox::kYes) {
  const std::string q = "'" + path + "'";
  std::string out = "sndfile " + RunCommand("sndfile-info " + q + " 2>&1 | sed -n 's/^Frames *: *//p' | head -n 1");
  if (sox == WithSox::kYes) out += "sox " + RunCommand("sox --i -s " + q + " 2>&1");
  // Debian's interpreter carries python3-soundfile; another one first on PATH may not.
  out += "soundfile " + RunCommand(
                            "for p in python3 /usr/bin/python3; do $p -c 'import soundfile' 2>/dev/null && "
                            "exec $p -c 'import sys, soundfile; print(soundfile.info(sys.argv[1]).frames)' " +
                            q + "; done; echo missing");
  return out;
}

inline std::string ExpectedFrameCounts(uint64_t frames, WithSox sox = WithSox::kYes) {
  const std::string n = std::to_string(frames) + "\n";
  return "sndfile " + n + (sox == WithSox::kYes ? "sox " + n : "") + "soundfile " + n;
}

}  // namespace varnel::test
