#include "monitor/LinkScreen.h"

#include <cctype>
#include <cstring>

#include "calibration/ChannelScale.h"
#include "wave/CalibrationRecord.h"

namespace varnel::monitor {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trimmed(const std::string& text) {
  std::size_t from = text.find_first_not_of(" \t");
  if (from == std::string::npos) return {};
  std::size_t to = text.find_last_not_of(" \t");
  return text.substr(from, to - from + 1);
}

// A positive decimal integer filling the whole text, at most `limit`.
std::optional<int64_t> WholeNumber(const std::string& text, int64_t limit) {
  if (text.empty() || text.size() > 12) return std::nullopt;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value <= 0 || value > limit) return std::nullopt;
  return value;
}

// Why a payload of this size cannot be the item's; empty when it can.
std::string SizeRefusal(const std::string& item, std::size_t size) {
  if (peer::SameItem(item, kCalibrationItem)) {
    if (size != kCalibrationBytes) return "CalibrationData of " + std::to_string(size) + " bytes, not 2048";
  } else if (peer::SameItem(item, kTimeSeriesItem)) {
    if (size % 4 != 0 || size < 8 || size / 4 > kMaxTimeSeriesFrames)
      return "TimeSeriesData of " + std::to_string(size) + " bytes, not whole frames of two samples";
  } else {
    return "unknown item";
  }
  return {};
}

std::string ScreenCalibration(const std::vector<uint8_t>& bytes) {
  if (std::string why = SizeRefusal(kCalibrationItem, bytes.size()); !why.empty()) return why;
  CalibrationRecord record;
  std::memcpy(&record, bytes.data(), sizeof record);
  for (const ChannelCalibration* half : {&record.Left, &record.Right}) {
    const CalibrationFault fault = CheckCalibration(*half);
    if (fault != CalibrationFault::None)
      return std::string(half == &record.Left ? "Left " : "Right ") + FaultText(fault);
  }
  return {};
}

}  // namespace

std::optional<Command> ParseCommand(const std::vector<uint8_t>& bytes) {
  std::string text(bytes.begin(), bytes.end());
  text = Lower(Trimmed(text.substr(0, text.find('\0'))));
  if (text.size() < 2 || text.front() != '[' || text.back() != ']') return std::nullopt;
  text = Trimmed(text.substr(1, text.size() - 2));
  if (text == "stop") return Command{CommandKind::Stop, 0};
  if (text == "file close") return Command{CommandKind::FileClose, 0};
  if (text == "mode real time") return Command{CommandKind::RealTime, 0};
  struct Prefixed {
    const char* prefix;
    CommandKind kind;
    int64_t limit;
  };
  for (const Prefixed& p : {Prefixed{"set sampling rate ", CommandKind::SamplingRate, 100000000},
                            Prefixed{"set sampling precision ", CommandKind::SamplingPrecision, 32}}) {
    const std::size_t n = std::strlen(p.prefix);
    if (text.compare(0, n, p.prefix) != 0) continue;
    auto value = WholeNumber(Trimmed(text.substr(n)), p.limit);
    if (!value) return std::nullopt;
    return Command{p.kind, *value};
  }
  return std::nullopt;
}

std::string CommandText(const Command& command) {
  switch (command.kind) {
    case CommandKind::Stop:
      return "stopped";
    case CommandKind::FileClose:
      return "file closed";
    case CommandKind::RealTime:
      return "real time";
    case CommandKind::SamplingRate:
      return std::to_string(command.value) + " Hz";
    case CommandKind::SamplingPrecision:
      return std::to_string(command.value) + " bits";
  }
  return {};
}

std::string Screen(const peer::Transaction& t) {
  switch (t.kind) {
    case peer::Kind::Execute: {
      if (ParseCommand(t.bytes)) return {};
      std::string text(t.bytes.begin(), t.bytes.end());
      text = text.substr(0, std::min<std::size_t>(text.find('\0'), 60));
      for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f) c = '?';
      return "unknown command \"" + text + "\"";
    }
    case peer::Kind::Request:
      return {};
    case peer::Kind::Poke:
      if (peer::SameItem(t.item, kCalibrationItem)) return ScreenCalibration(t.bytes);
      return SizeRefusal(t.item, t.bytes.size());
  }
  return {};
}

std::string ScreenPokeStart(const std::string& item, uint32_t total) {
  return SizeRefusal(item, total);
}

}  // namespace varnel::monitor
