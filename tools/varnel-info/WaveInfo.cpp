#include "WaveInfo.h"

#include <cmath>
#include <cstdio>

#include "SampleBlocks.h"
#include "platform/FixedString.h"
#include "wave/CalibrationChunk.h"
#include "wave/RecordingStart.h"

namespace varnel::info {
namespace {

std::string Number(uint64_t v) {
  return std::to_string(v);
}

// Why the chunks' sizes cannot be believed; empty when they can.
std::string SizeFault(const wave::WaveLayout& l) {
  const uint64_t formEnd = l.formOffset + 8 + l.riffSize;
  const uint64_t dataEnd = l.dataOffset + l.dataSize;
  if (dataEnd > l.fileSize)
    return "cut short: the data chunk says " + Number(l.dataSize) + " bytes, the file holds " +
           Number(l.fileSize > l.dataOffset ? l.fileSize - l.dataOffset : 0);
  if (dataEnd > formEnd)
    return "sizes that do not fit: the data chunk ends at byte " + Number(dataEnd) + ", past the end of its form (" +
           Number(formEnd) + ")";
  if (formEnd > l.fileSize)
    return "cut short: the form says " + Number(formEnd) + " bytes, the file holds " + Number(l.fileSize);
  if (l.dataSize % l.fmt.blockAlign != 0)
    return "sizes that do not fit: " + Number(l.dataSize) + " bytes of data are not whole frames of " +
           Number(l.fmt.blockAlign);
  return {};
}

std::string CodingFault(const wave::FmtFields& fmt, WaveInfo& info) {
  const uint16_t tag = fmt.SampleTag();
  if (fmt.blockAlign == 0 || fmt.blockAlign % fmt.channels != 0)
    return "sizes that do not fit: a frame of " + Number(fmt.blockAlign) + " bytes for " + Number(fmt.channels) +
           " channels";
  info.bytesPerSample = fmt.blockAlign / fmt.channels;
  if (tag == wave::kPcmTag && info.bytesPerSample <= 4) return {};
  info.coding = SampleCoding::kFloat;
  if (tag == wave::kFloatTag && (info.bytesPerSample == 4 || info.bytesPerSample == 8)) return {};
  char text[80];
  std::snprintf(text, sizeof text, "samples coded as format 0x%04x in %u bytes are not read", tag, info.bytesPerSample);
  return text;
}

// A broadcast file's start: this system's UTC line, else the date and time reference of any writer.
std::optional<StartTime> StartOf(const wave::Bext& bext, uint32_t rate) {
  StartTime start;
  start.timeReference = bext.timeReference;
  start.utcMicroseconds =
      ParseUtcMicroseconds(wave::DescriptionValue(bext.description, wave::kStartUtcKey).value_or(""));
  start.zoneOffsetSeconds =
      ParseZoneOffset(wave::DescriptionValue(bext.description, wave::kZoneOffsetKey).value_or(""));
  if (start.utcMicroseconds && start.zoneOffsetSeconds) {
    start.local = FormatLocalMicroseconds(*start.utcMicroseconds, *start.zoneOffsetSeconds);
    return start;
  }
  const auto midnight = ParseUtcMicroseconds(bext.originationDate + "T00:00:00.000000Z");
  if (!midnight || rate == 0) return std::nullopt;
  const uint64_t seconds = bext.timeReference / rate;
  const uint64_t micros = (bext.timeReference % rate) * 1000000 / rate;
  start.local = FormatLocalMicroseconds(*midnight + static_cast<int64_t>(seconds * 1000000 + micros), 0);
  return start;
}

std::optional<wave::Bext> ReadBext(platform::RiffFile& file, const wave::WaveLayout& l) {
  if (!l.bextOffset || l.bextSize < wave::kBextFixedSize || *l.bextOffset + l.bextSize > l.formEnd) return std::nullopt;
  // A coding history longer than any writer's is not read past its first 64 KiB.
  std::vector<unsigned char> content(static_cast<std::size_t>(std::min<uint64_t>(l.bextSize, 65536)));
  if (!file.Seek(*l.bextOffset) || file.Read(content.data(), content.size()) != content.size()) return std::nullopt;
  return wave::DecodeBext(content.data(), content.size());
}

std::string ReadCalibration(platform::RiffFile& file, WaveInfo& info) {
  const auto chunk = wave::FindTopLevelChunk(file, kCalibrationChunkId);
  if (chunk && (chunk->dataOffset > info.layout.fileSize ||
                info.layout.fileSize - chunk->dataOffset < sizeof(CalibrationRecord)))
    return "cut short: the calibration chunk holds less than its 2048 bytes";
  CalibrationRecord record{};
  if (ReadStoredCalibration(file, record)) info.calibration = record;
  const std::string name = info.calibration ? std::string(FieldText(info.calibration->Left.ChannelName)) : "";
  // The channel's own calibration is the record's Left half.
  if (info.calibration) info.scale = ScaleOf(info.calibration->Left, "Left");
  if (info.scale.calibrated) return {};
  const auto values = info.bext ? wave::DescriptionValue(info.bext->description, wave::kValuesKey) : std::nullopt;
  if (values && info.coding == SampleCoding::kFloat) {
    info.scale = ConverterVolts(name);
    info.scale.linearUnits = *values;
    info.scale.codesPerUnit = 32768.0;  // a float sample is read as codes of full scale 1.0
    info.scaleNote = "values in " + *values + " as exported";
    return {};
  }
  info.scale = ConverterVolts(name);
  const CalibrationFault fault = info.calibration ? CheckCalibration(info.calibration->Left) : CalibrationFault::None;
  info.scaleNote = fault != CalibrationFault::None ? std::string("unusable (") + FaultText(fault) + "): "
                   : info.calibration              ? "stored, but not valid: "
                                                   : "none: ";
  info.scaleNote += "values in volts at the converter (32768 = 10 V)";
  return {};
}

bool StillRecording(const wave::WaveLayout& l) {
  return l.riffSizeField == 4 || (l.riffSizeField == wave::kSizeInDs64 && l.ds64 && l.ds64->riffSize == 4);
}

}  // namespace

std::string WaveInfo::FormatName() const {
  if (layout.rf64) return bext ? "Broadcast wave (RF64)" : "RF64";
  return bext ? "Broadcast wave" : "Wave";
}

std::optional<WaveInfo> ReadWaveInfo(const std::string& path, platform::RiffFile& file, std::string& error) {
  if (!file.Open(path, platform::RiffFile::Mode::kRead)) {
    error = "cannot be opened as a file";
    return std::nullopt;
  }
  WaveInfo info;
  info.path = path;
  info.layout = wave::ReadWaveLayout(file);
  const wave::WaveLayout& l = info.layout;
  if (l.fault != wave::LayoutFault::kNoForm && StillRecording(l)) {
    error = "an unfinished recording (its form counts only its type): varnel-record --recover repairs it";
  } else if (l.fault == wave::LayoutFault::kEmptyData && l.dataSize > 0) {
    error = "cut short: the data chunk says " + Number(l.dataSize) + " bytes, the file holds none";
  } else if (!l.Ok() && l.fault != wave::LayoutFault::kEmptyData) {
    error = std::string(wave::LayoutFaultText(l.fault));
  } else if (error = CodingFault(l.fmt, info); error.empty()) {
    error = SizeFault(l);
  }
  if (error.empty()) {
    info.frames = l.dataSize / l.fmt.blockAlign;
    info.bext = ReadBext(file, l);
    if (info.bext) {
      info.start = StartOf(*info.bext, l.fmt.sampleRate);
      const auto gain = wave::CodingHistoryValue(info.bext->codingHistory, "gain");
      if (gain && !gain->empty() && gain->find_first_not_of("0123456789") == std::string::npos && gain->size() < 9)
        info.gain = std::stoi(*gain);
    }
    error = ReadCalibration(file, info);
    if (info.scale.name.empty() && info.bext)
      info.scale.name = wave::DescriptionValue(info.bext->description, wave::kChannelKey).value_or("");
  }
  if (!error.empty()) return std::nullopt;
  return info;
}

bool MeasureLevels(platform::RiffFile& file, WaveInfo& info, std::string& error) {
  SampleBlocks blocks(file, info);
  double peak = 0, sumSquares = 0;
  uint64_t count = 0;
  for (const std::vector<double>* codes = &blocks.Next(); !codes->empty(); codes = &blocks.Next()) {
    for (double c : *codes) {
      peak = std::max(peak, std::fabs(c));
      sumSquares += c * c;
    }
    count += codes->size();
  }
  if (blocks.Failed()) {
    error = "cannot be read to its end";
    return false;
  }
  const double unitsPerCode = info.scale.UnitsPerCode();
  info.levels.peak = peak * unitsPerCode;
  info.levels.rms = count ? std::sqrt(sumSquares / static_cast<double>(count)) * unitsPerCode : 0.0;
  return true;
}

}  // namespace varnel::info
