// libFuzzer target: any bytes as a wave file, opened, its calibration read,
// positioned, appended to and saved in place. The reader must stay within the
// file and its chunks whatever the sizes say.

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "wave/WaveIO.h"

namespace {

const std::string& InputPath() {
  static const std::string path = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/varnel-fuzz-XXXXXX";
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) std::abort();
    ::close(fd);
    return pattern;
  }();
  return path;
}

void RemoveInput() { ::unlink(InputPath().c_str()); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool registered = (std::atexit(RemoveInput), true);
  (void)registered;
  const std::string& path = InputPath();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
  varnel::WaveIO wave;
  if (wave.OpenExisting(path) == 1) {
    wave.ReadCalibration();
    const uint32_t length = wave.GetLength();
    wave.SetPosition(length / 2);
    wave.SetPosition(length + 1);
    wave.SetPosition(length);
    const unsigned char block[5] = {1, 2, 3, 4, 5};
    wave.Append(block, size % 5 + 1);
    wave.Save();
  }
  wave.ReadCalibration();
  return 0;
}
