#pragma once
// The header of a working file as an interrupted recorder left it, in either
// layout (a wave file, data at byte 44; a broadcast wave file, data at byte
// 1024), and its repair: sizes from the data actually present, RF64 when a
// broadcast file holds more than 4 GiB.
//
// A recorder finalises a file by writing its form's size; until then the
// form counts only its type (4), and the data runs to the end of the file.
// A broadcast file may be cut off at any step of its turn into RF64: its ds64
// values, ds64 id, 32-bit sizes and form id are each read as they stand.
//
// Main thread only.

#include <cstdint>
#include <string>

#include "platform/RiffFile.h"
#include "wave/SampleFormat.h"
#include "wave/WaveFileFormat.h"

namespace varnel {

struct WorkingFileHeader {
  bool valid = false;  // one of the two skeletons this system writes
  WaveFileFormat layout = WaveFileFormat::kWave;
  bool recording = false;  // never finalised
  uint64_t fileSize = 0;
  uint64_t dataOffset = 0;
  uint64_t dataSize = 0;  // as the file says (ds64's once it says so)
  SampleFormat format;

  // Bytes of whole frames the file holds.
  uint64_t DataBytesPresent() const;
};

// Where the samples of a layout start.
uint64_t SkeletonSize(WaveFileFormat layout);

WorkingFileHeader ReadWorkingFileHeader(platform::RiffFile& file);

// Writes the skeleton of an empty recording over a header that never reached
// the disk (a broadcast one with a bext naming only the channel).
bool WriteSkeleton(platform::RiffFile& file, WaveFileFormat layout, const SampleFormat& format,
                   const std::string& label);

// Cuts the file to `bytes` of data and writes the sizes of a finalised file.
bool WriteFinalSizes(platform::RiffFile& file, const WorkingFileHeader& header, uint64_t bytes);

}  // namespace varnel
