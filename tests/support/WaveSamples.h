#pragma once
// The samples of a plain 16-bit mono wave file the recorder wrote (data at
// byte 44), for tests that check recordings sample for sample.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/ScriptedUiServices.h"
#include "support/ShownAsBoxes.h"
#include "support/TempDir.h"
#include "wave/WaveIO.h"

namespace varnel::test {

// Empty when the file cannot be read as a wave file.
inline std::vector<int16_t> WaveSamples(const std::string& path) {
  const std::string bytes = ReadFile(path);
  ScriptedUiServices ui;
  WaveIO wave(BoxesFor(ui));
  if (wave.OpenExisting(path) != 1 || bytes.size() < 44 + 2 * std::size_t{wave.Length}) return {};
  std::vector<int16_t> samples(wave.Length);
  std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
  return samples;
}

}  // namespace varnel::test
