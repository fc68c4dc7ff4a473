#pragma once
// The samples of a wave file's data chunk, block by block, as converter codes
// of the recorder's scale (a 16-bit sample as it is; other widths and float
// samples scaled to the same full scale of 32768).
//
// One thread at a time.

#include <cstdint>
#include <vector>

#include "platform/RiffFile.h"

namespace varnel::info {

struct WaveInfo;

class SampleBlocks {
 public:
  SampleBlocks(platform::RiffFile& file, const WaveInfo& info);
  // The next block of whole frames, channels interleaved; empty at the end
  // of the data. `failed` is set when the file gives fewer bytes than it holds.
  const std::vector<double>& Next();
  bool Failed() const { return failed_; }
  uint64_t FramesRead() const { return framesRead_; }

 private:
  platform::RiffFile& file_;
  const WaveInfo& info_;
  uint64_t framesRead_ = 0;
  bool failed_ = false;
  std::vector<unsigned char> bytes_;
  std::vector<double> codes_;
};

}  // namespace varnel::info
