// Writes the seed corpus: small files of every kind the recorder writes, and a
// few it leaves behind or reads. Run: make_corpus <folder>.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/FixedString.h"
#include "ui/QuietUiServices.h"
#include "wave/CalibrationChunk.h"
#include "wave/WaveIO.h"

namespace {

using varnel::CalibrationRecord;
using varnel::SampleFormat;
using varnel::WaveIO;

CalibrationRecord Calibration(const char* left) {
  CalibrationRecord r{};
  varnel::CopyCut(r.CalFileName, "/cal/seed.cal");
  r.Left.CalibrationValid = 1;
  r.Left.RefLevel = 1.0f;
  r.Left.CalRatio = 2.0f;
  varnel::CopyCut(r.Left.LabelLinear, "V");
  varnel::CopyCut(r.Left.ChannelName, left);
  r.Right = r.Left;
  return r;
}

bool Write(const std::string& folder, const char* name, uint32_t rate, uint32_t channels, uint32_t bytes,
           std::size_t dataBytes, const CalibrationRecord* cal, bool finish = true,
           const varnel::WaveFileChoice& choice = {}) {
  varnel::ui::QuietUiServices ui;
  SampleFormat format;
  format.Set(rate, channels, bytes);
  WaveIO wave(ui, format, folder, choice);
  if (wave.Failed == 1) return false;
  wave.SetFileName(folder + "/" + name);
  std::vector<unsigned char> data(dataBytes);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 31 + 7);
  if (wave.Append(data.data(), static_cast<uint32_t>(data.size())) != 1) return false;
  if (cal) wave.SetCalibration(*cal);
  if (!finish) {
    // What a killed recording leaves: the skeleton's RIFF size and a current data size.
    std::string working = wave.WorkingFileName;
    wave.DeleteWorkingFile = 0;
    return std::rename(working.c_str(), (folder + "/" + name).c_str()) == 0;
  }
  return wave.Close() == 1;
}

bool WriteEarlier(const std::string& folder) {
  std::string file = std::string("RIFF") + std::string("\x28\0\0\0", 4) + "WAVEfmt " + std::string("\x10\0\0\0", 4) +
                     std::string("\x01\0\x01\0\x40\x1f\0\0\x80\x3e\0\0\x02\0\x10\0", 16) + "data" +
                     std::string("\x04\0\0\0", 4) + "abcd";
  file += std::string("\x65\0\0\0\xfc\x03\0\0", 8);
  std::string chunk(varnel::kEarlierCalibrationSize, '\0');
  chunk[0] = 1;
  std::memcpy(&chunk[4], "/cal/earlier.cal", 16);
  std::memcpy(&chunk[460], "Right", 5);
  file += chunk;
  std::FILE* f = std::fopen((folder + "/earlier.wav").c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
  return std::fclose(f) == 0 && ok;
}

varnel::WaveFileChoice Broadcast() {
  varnel::RecordingStart start;
  start.utcMicroseconds = 1796824800000123;
  start.zoneOffsetSeconds = 3600;
  start.sampleRate = 8000;
  start.label = "Mic";
  start.unit = "Pa";
  start.board = "Simulated";
  return {varnel::WaveFileFormat::kBroadcast, start};
}

// Broadcast files: below the limit, past it (a low limit makes them RF64), and killed either way.
bool WriteBroadcast(const std::string& folder, const CalibrationRecord& cal) {
  bool ok = Write(folder, "bwf.wav", 8000, 1, 2, 64, &cal, true, Broadcast()) &&
            Write(folder, "bwfkilled.wav", 8000, 1, 2, 64, nullptr, false, Broadcast());
  const uint32_t before = varnel::SetWaveRiffSizeLimit(1016 + 32);
  ok = ok && Write(folder, "rf64.wav", 8000, 1, 2, 64, &cal, true, Broadcast()) &&
       Write(folder, "rf64killed.wav", 8000, 1, 2, 64, nullptr, false, Broadcast());
  varnel::SetWaveRiffSizeLimit(before);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  const CalibrationRecord named = Calibration("Mic");
  const CalibrationRecord unnamed = Calibration("");
  bool ok =
      Write(folder, "mono16.wav", 8000, 1, 2, 64, nullptr) && Write(folder, "mono16cal.wav", 65536, 1, 2, 64, &named) &&
      Write(folder, "mono8odd.wav", 11025, 1, 1, 33, nullptr) &&
      Write(folder, "mono8oddcal.wav", 11025, 1, 1, 33, &unnamed) &&
      Write(folder, "stereo16cal.wav", 48000, 2, 2, 64, &named) &&
      Write(folder, "mono24.wav", 96000, 1, 3, 48, nullptr) && Write(folder, "mono32.wav", 8000, 1, 4, 64, nullptr) &&
      Write(folder, "killed.wav", 8000, 1, 2, 64, nullptr, false) && WriteEarlier(folder) &&
      WriteBroadcast(folder, named);
  return ok ? 0 : 1;
}
