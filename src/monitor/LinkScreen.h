#pragma once
// What the monitor accepts from a peer, decided before anything is answered:
// the commands it understands, the payload sizes of its two poke items and
// calibration numbers it can use. Pure functions; safe from any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "AnalyzerPeer.h"

namespace varnel::monitor {

inline constexpr const char* kCalibrationItem = "CalibrationData";
inline constexpr const char* kTimeSeriesItem = "TimeSeriesData";
inline constexpr std::size_t kCalibrationBytes = 2048;
// The recorder's largest block: 16777216 frames of two 16-bit samples.
inline constexpr std::size_t kMaxTimeSeriesFrames = 16777216;

enum class CommandKind { Stop, FileClose, RealTime, SamplingRate, SamplingPrecision };

struct Command {
  CommandKind kind = CommandKind::Stop;
  int64_t value = 0;  // the rate in Hz or the precision in bits
};

// The command in an Execute's bytes (text up to the first NUL; case and
// spaces around the argument do not matter), or nothing for one it does not know.
std::optional<Command> ParseCommand(const std::vector<uint8_t>& bytes);
// The text a status line shows for a command.
std::string CommandText(const Command& command);

// Empty when the transaction is carried out, otherwise why it is refused.
std::string Screen(const peer::Transaction& transaction);
// The same for a poke at its first slice, by its item and announced total:
// nothing of a poke of an unknown item, or of a size its item cannot have,
// is kept while its slices come.
std::string ScreenPokeStart(const std::string& item, uint32_t total);

}  // namespace varnel::monitor
