// What a comedi board refuses, and the command that makes a run.

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "boards/comedi/ComediBoard.h"
#include "boards/comedi/ComediInput.h"
#include "platform/Trace.h"

namespace varnel::comedi {
namespace {

constexpr double kNsPerSecond = 1e9;
// A command test that goes on changing the command this often gives up.
constexpr int kTestRounds = 5;
// Rates tried on each side of one the board cannot run.
constexpr int kRatesTried = 12;

const char* ReferenceName(unsigned aref) {
  switch (aref) {
    case AREF_GROUND:
      return "ground";
    case AREF_COMMON:
      return "common";
    case AREF_DIFF:
      return "differential";
    default:
      return "other";
  }
}

std::string Volts(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

// Whole rates whose period is a whole number of ns (the unit of a command's
// timers): the divisors of 10^9, ascending.
std::vector<unsigned> WholeNsRates() {
  std::vector<unsigned> rates;
  for (unsigned twos = 1; twos <= 512; twos *= 2)
    for (unsigned fives = 1; fives <= 1953125; fives *= 5) rates.push_back(twos * fives);
  std::sort(rates.begin(), rates.end());
  return rates;
}

// The place of a gain among 1, 2, 4 and 8; -1 for any other.
int GainIndex(double gain) {
  for (int i = 0; i < 4; ++i) {
    if (gain == double(1 << i)) return i;
  }
  return -1;
}

bool RunsExactly(const comedi_cmd& cmd, double rate) {
  const unsigned period = ScanPeriodNs(cmd);
  return period != 0 && static_cast<double>(period) * rate == kNsPerSecond;
}

}  // namespace

int ComediInput::TestAt(comedi_cmd* cmd, unsigned periodNs) const {
  if (cmd->scan_begin_src == TRIG_TIMER) {
    cmd->scan_begin_arg = periodNs;
  } else {
    cmd->convert_arg = periodNs / std::max(cmd->chanlist_len, 1u);
  }
  int result = 0;
  for (int round = 0; round < kTestRounds; ++round) {
    result = device_->CommandTest(cmd);
    // 3 and 4: arguments it changed to what it can do; test those again.
    if (result != 3 && result != 4) break;
  }
  return result;
}

std::vector<unsigned> ComediInput::NearestRates(const comedi_cmd& tried, double rate) const {
  static const std::vector<unsigned> kRates = WholeNsRates();
  std::vector<unsigned> found;
  auto tryRate = [&](unsigned candidate) {
    comedi_cmd cmd = tried;
    if (TestAt(&cmd, static_cast<unsigned>(kNsPerSecond / candidate)) != 0 || !RunsExactly(cmd, candidate))
      return false;
    found.push_back(candidate);
    return true;
  };
  const auto above = std::upper_bound(kRates.begin(), kRates.end(), static_cast<unsigned>(std::min(rate, 1e9)));
  int tries = 0;
  for (auto it = above; it != kRates.begin() && tries < kRatesTried; ++tries) {
    if (*--it != rate && tryRate(*it)) break;
  }
  tries = 0;
  for (auto it = above; it != kRates.end() && tries < kRatesTried; ++it, ++tries) {
    if (tryRate(*it)) break;
  }
  return found;
}

BoardStatus ComediInput::MakeCommand(const RunSettings& run, comedi_cmd* cmd, std::vector<unsigned>* chanlist,
                                     std::string* refusal) const {
  auto say = [&](BoardStatus status, std::string text) {
    if (refusal) *refusal = std::move(text);
    return status;
  };
  const std::string board = "\"" + info_.label + "\"";
  const unsigned n = static_cast<unsigned>(run.channels.size());
  const double rate = run.clockHz / n;  // the clock is the rate of all channels together
  if (!(rate >= 1.0 && rate < kNsPerSecond)) return say(kComediRateNotExact, board + " cannot sample at this rate.");

  // Which sources the board offers: a test of every one answers with those it has.
  comedi_cmd offered{};
  offered.subdev = info_.subdevice;
  offered.start_src = offered.scan_begin_src = offered.convert_src = TRIG_ANY;
  offered.scan_end_src = offered.stop_src = TRIG_ANY;
  if (device_->CommandTest(&offered) < 0) return say(kComediCommandRefused, board + " does not answer.");
  const bool external = run.trigger == kTriggerExternalTtl;
  if (external && !(offered.start_src & TRIG_EXT)) {
    return say(kComediNoTrigger, board +
                                     " cannot start on an external TTL trigger.  Switch off the trigger in the "
                                     "Recording Options to record from it.");
  }
  *cmd = {};
  cmd->subdev = info_.subdevice;
  cmd->start_src = external ? TRIG_EXT : TRIG_NOW;
  if (offered.scan_begin_src & TRIG_TIMER) {
    cmd->scan_begin_src = TRIG_TIMER;
    // Conversions as fast as the board allows: the test raises 1 ns to its fastest.
    cmd->convert_src = (offered.convert_src & TRIG_NOW) ? TRIG_NOW : TRIG_TIMER;
    cmd->convert_arg = cmd->convert_src == TRIG_TIMER ? 1 : 0;
  } else if ((offered.scan_begin_src & TRIG_FOLLOW) && (offered.convert_src & TRIG_TIMER)) {
    cmd->scan_begin_src = TRIG_FOLLOW;
    cmd->convert_src = TRIG_TIMER;
  } else {
    return say(kComediUnsupported, board + " cannot be timed by its own clock.");
  }
  cmd->scan_end_src = TRIG_COUNT;
  cmd->scan_end_arg = n;
  cmd->stop_src = TRIG_NONE;
  chanlist->clear();
  for (unsigned e = 0; e < n; ++e) {
    const int gain = GainIndex(run.gains[e]);
    if (gain < 0 || gain >= static_cast<int>(info_.gains.size())) return kComediBadValue;
    chanlist->push_back(CR_PACK(run.channels[e], info_.gains[gain].index, info_.aref));
  }
  cmd->chanlist = chanlist->data();
  cmd->chanlist_len = n;

  const int tested = TestAt(cmd, static_cast<unsigned>(std::lround(kNsPerSecond / rate)));
  if (tested != 0) {
    platform::Trace("comedi %s: command test step %d refuses the run\n", info_.label.c_str(), tested);
    return say(kComediCommandRefused, board + " cannot run this list of channels and gains.");
  }
  if (!RunsExactly(*cmd, rate)) {
    const std::vector<unsigned> near = NearestRates(*cmd, rate);
    std::string rates;
    for (unsigned r : near) rates += (rates.empty() ? "" : " and ") + std::to_string(r) + " Hz";
    return say(kComediRateNotExact, board + " cannot sample at exactly " + Volts(rate) + " Hz: its clock would run " +
                                        Volts(kNsPerSecond / ScanPeriodNs(*cmd)) + " Hz.  " +
                                        (near.empty() ? std::string("It runs no whole rate near it.")
                                                      : "Rates near it that it runs: " + rates + "."));
  }
  return kBoardSuccess;
}

BoardStatus ComediInput::Check(const RunSettings& run, std::string* refusal) const {
  auto say = [&](BoardStatus status, std::string text) {
    if (refusal) *refusal = std::move(text);
    return status;
  };
  const std::string board = "\"" + info_.label + "\"";
  if (run.channels.size() > info_.channels) {
    return say(kComediBadValue, board + " has " + std::to_string(info_.channels) + " input channels; " +
                                    std::to_string(run.channels.size()) + " were asked for.");
  }
  if (run.trigger != kTriggerImmediate && run.trigger != kTriggerExternalTtl) return kComediUnsupported;
  for (std::size_t e = 0; e < run.channels.size(); ++e) {
    const int32_t channel = run.channels[e];
    if (channel < 0 || channel >= static_cast<int32_t>(info_.channels)) {
      return say(kComediNoSuchChannel, "Channel " + std::to_string(channel) + " is not an input of " + board +
                                           ": it has " + std::to_string(info_.channels) + " input channels (0 to " +
                                           std::to_string(info_.channels - 1) + ").");
    }
    // Only the gains it has ranges for; the recorder's own check of the gains speaks.
    const int index = GainIndex(run.gains[e]);
    if (index < 0 || index >= static_cast<int>(info_.gains.size())) return kComediBadValue;
    const VoltRange* gain = &info_.gains[index];
    // A board whose channels have tables of their own may lack the range on this one.
    comedi_range range{};
    const unsigned c = static_cast<unsigned>(channel);
    if (static_cast<int>(gain->index) >= device_->RangeCount(info_.subdevice, c) ||
        !device_->Range(info_.subdevice, c, gain->index, &range) || range.min != gain->min || range.max != gain->max) {
      return say(kComediNoSuchRange, "Channel " + std::to_string(channel) + " of " + board + " has no range of " +
                                         Volts(gain->min) + " V to " + Volts(gain->max) + " V for its gain of " +
                                         Volts(run.gains[e]) + ".");
    }
  }
  comedi_cmd cmd{};
  std::vector<unsigned> chanlist;
  return MakeCommand(run, &cmd, &chanlist, refusal);
}

BoardStatus ComediInput::Configure(const RunSettings& run) {
  if (const BoardStatus status = MakeCommand(run, &command_, &chanlist_, nullptr)) return status;
  const std::size_t sampleBytes = info_.longSamples ? sizeof(lsampl_t) : sizeof(sampl_t);
  // Half a second of samples in the driver, to ride out a busy main thread.
  const double bytes = std::clamp(run.clockHz * sampleBytes / 2, 65536.0, 64.0 * 1024 * 1024);
  const int size = device_->SetBufferSize(info_.subdevice, static_cast<unsigned>(bytes));
  if (size < 0) platform::Trace("comedi %s keeps its buffer: %s\n", info_.label.c_str(), std::strerror(-size));
  if (info_.longSamples) wide_.resize(65536);
  platform::Trace("comedi %s: a scan of %u channels every %u ns, %s reference\n", info_.label.c_str(),
                  command_.chanlist_len, ScanPeriodNs(command_), ReferenceName(info_.aref));
  for (unsigned e = 0; e < command_.chanlist_len; ++e) {
    const unsigned range = CR_RANGE(chanlist_[e]);
    const auto gain =
        std::find_if(info_.gains.begin(), info_.gains.end(), [&](const VoltRange& r) { return r.index == range; });
    platform::Trace("comedi %s: channel %u at range %u, %s V to %s V\n", info_.label.c_str(), CR_CHAN(chanlist_[e]),
                    range, Volts(gain->min).c_str(), Volts(gain->max).c_str());
  }
  return kBoardSuccess;
}

}  // namespace varnel::comedi
