#include "InfoReport.h"

#include <cmath>
#include <cstdio>

#include "platform/FixedString.h"
#include "wave/RecordingStart.h"

namespace varnel::info {
namespace {

std::string Real(double v, const char* format = "%.6g") {
  if (!std::isfinite(v)) return "null";
  char text[40];
  std::snprintf(text, sizeof text, format, v);
  return text;
}

std::string CodingName(const WaveInfo& info) {
  return std::to_string(8 * info.bytesPerSample) + (info.coding == SampleCoding::kFloat ? "-bit float" : "-bit PCM");
}

std::string StartText(const StartTime& s) {
  if (!s.utcMicroseconds) return s.local + " local (from the date and time reference)";
  return FormatUtcMicroseconds(*s.utcMicroseconds) + " (local " + s.local + " " +
         FormatZoneOffset(*s.zoneOffsetSeconds) + ")";
}

std::string CalibrationText(const WaveInfo& info) {
  if (!info.scale.calibrated) return info.scaleNote;
  return "channel \"" + info.scale.name + "\" in " + info.scale.linearUnits + ", " + info.scale.logUnits + ", from " +
         std::string(FieldText(info.calibration->CalFileName));
}

// The reference as the calibration file gives it; the fraction of full scale includes the gain.
std::string ReferenceText(const WaveInfo& info) {
  const ChannelCalibration& c = info.calibration->Left;
  return Real(c.RefLevel, "%.7g") + " " + info.scale.linearUnits + (c.RefType == 1 ? " rms" : " peak") + " at " +
         Real(c.PctFullScale, "%.7g") + " of full scale (ratio " + Real(c.CalRatio, "%.7g") + "), gain " +
         (info.gain ? std::to_string(*info.gain) : std::string("not stored"));
}

// Valid UTF-8 passes; a byte that does not begin a whole sequence becomes U+FFFD.
std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    bool whole = n > 0 && i + n <= text.size();
    for (std::size_t k = 1; whole && k < n; ++k) whole = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (!whole) {
      out += "\\ufffd";
      ++i;
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
    } else if (c < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
      ++i;
    } else {
      out.append(text, i, n);
      i += n;
    }
  }
  return out + "\"";
}

std::string JsonStart(const WaveInfo& info) {
  if (!info.start) return "null";
  const StartTime& s = *info.start;
  return "{\"utc\": " + (s.utcMicroseconds ? JsonString(FormatUtcMicroseconds(*s.utcMicroseconds)) : "null") +
         ", \"zone_offset\": " + (s.zoneOffsetSeconds ? JsonString(FormatZoneOffset(*s.zoneOffsetSeconds)) : "null") +
         ", \"local\": " + JsonString(s.local) + ", \"time_reference\": " + std::to_string(s.timeReference) + "}";
}

std::string JsonCalibration(const WaveInfo& info) {
  const ChannelScale& s = info.scale;
  std::string out = "{\"calibrated\": " + std::string(s.calibrated ? "true" : "false") +
                    ", \"channel\": " + JsonString(s.name) + ", \"units\": " + JsonString(s.WaveformUnits()) +
                    ", \"units_per_code\": " + Real(s.UnitsPerCode(), "%.17g");
  if (s.calibrated) {
    const ChannelCalibration& c = info.calibration->Left;
    out += ", \"log_units\": " + JsonString(s.logUnits) + ", \"ref_level\": " + Real(c.RefLevel, "%.7g") +
           ", \"ref_type\": " + JsonString(c.RefType == 1 ? "rms" : "peak") +
           ", \"ref_units\": " + std::to_string(c.RefUnits) +
           ", \"full_scale_fraction\": " + Real(c.PctFullScale, "%.7g") +
           ", \"cal_ratio\": " + Real(c.CalRatio, "%.7g") +
           ", \"cal_file\": " + JsonString(std::string(FieldText(info.calibration->CalFileName)));
  } else {
    out += ", \"note\": " + JsonString(info.scaleNote);
  }
  out += ", \"gain\": " + (info.gain ? std::to_string(*info.gain) : std::string("null"));
  return out + "}";
}

}  // namespace

std::string TextReport(const WaveInfo& info) {
  auto line = [](const char* key, const std::string& value) { return "  " + std::string(key) + value + "\n"; };
  std::string out = info.path + "\n";
  out += line("format       ", info.FormatName());
  out += line("samples      ", CodingName(info) + ", " + std::to_string(info.Channels()) +
                                   (info.Channels() == 1 ? " channel, " : " channels, ") + std::to_string(info.Rate()) +
                                   " Hz");
  out += line("length       ", std::to_string(info.frames) + " frames, " + Real(info.Seconds(), "%.6f") + " s");
  if (info.start) out += line("start        ", StartText(*info.start));
  out += line("calibration  ", CalibrationText(info));
  if (info.scale.calibrated) out += line("reference    ", ReferenceText(info));
  const std::string units = " " + info.scale.WaveformUnits();
  out += line("peak         ", Real(info.levels.peak) + units);
  out += line("rms          ", Real(info.levels.rms) + units);
  return out;
}

std::string JsonReport(const std::vector<WaveInfo>& infos) {
  std::string out = "[";
  for (std::size_t i = 0; i < infos.size(); ++i) {
    const WaveInfo& w = infos[i];
    out += i ? ",\n " : "\n ";
    out += "{\"file\": " + JsonString(w.path) + ", \"format\": " + JsonString(w.FormatName()) +
           ", \"rf64\": " + (w.layout.rf64 ? "true" : "false") +
           ", \"coding\": " + JsonString(w.coding == SampleCoding::kFloat ? "float" : "pcm") +
           ", \"bits\": " + std::to_string(8 * w.bytesPerSample) + ", \"channels\": " + std::to_string(w.Channels()) +
           ", \"rate\": " + std::to_string(w.Rate()) + ", \"frames\": " + std::to_string(w.frames) +
           ", \"seconds\": " + Real(w.Seconds(), "%.17g") +
           ", \"data_offset\": " + std::to_string(w.layout.dataOffset) + ",\n  \"start\": " + JsonStart(w) +
           ",\n  \"calibration\": " + JsonCalibration(w) +
           ",\n  \"levels\": {\"units\": " + JsonString(w.scale.WaveformUnits()) +
           ", \"peak\": " + Real(w.levels.peak, "%.17g") + ", \"rms\": " + Real(w.levels.rms, "%.17g") + "}}";
  }
  return out + "\n]\n";
}

}  // namespace varnel::info
