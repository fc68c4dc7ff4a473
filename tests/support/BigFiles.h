#pragma once
// Files past 4 GiB without writing 4 GiB: the size is set and only the blocks
// a test cares about are written, so the rest is a hole the file system does
// not store. And the frame counts that readers nobody here wrote report.

#include <gtest/gtest.h>
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

// A finished broadcast recording of `data` bytes of 16-bit mono past 4 GiB:
// RF64 with its sizes in ds64 and 0xFFFFFFFF in the 32-bit fields, the bext
// where it was, the calibration chunk after the form, and libsndfile and
// Python's soundfile counting every frame.
inline void ExpectFinishedRf64(const std::string& path, uint64_t data) {
  const std::string head = ReadAt(path, 0, 1024);
  ASSERT_EQ(1024u, head.size());
  EXPECT_EQ("RF64", head.substr(0, 4));
  EXPECT_EQ(0xFFFFFFFFu, LittleAt(head, 4, 4));
  EXPECT_EQ("WAVEds64", head.substr(8, 8));
  EXPECT_EQ(1016 + data, LittleAt(head, 20, 8));
  EXPECT_EQ(data, LittleAt(head, 28, 8));
  EXPECT_EQ(data / 2, LittleAt(head, 36, 8));
  EXPECT_EQ(0u, LittleAt(head, 44, 4)) << "no table";
  EXPECT_EQ("bext", head.substr(48, 4));
  EXPECT_EQ(0xFFFFFFFFu, LittleAt(head, 1020, 4));
  EXPECT_EQ(0x66u, LittleAt(ReadAt(path, 1024 + data, 4), 0, 4)) << "the calibration chunk follows the form";
  EXPECT_EQ(1024 + data + 8 + 2048, FileSizeOf(path));
  EXPECT_EQ(ExpectedFrameCounts(data / 2, WithSox::kNo), ExternalFrameCounts(path, WithSox::kNo));
}

}  // namespace varnel::test
