#pragma once
// The comedi devices of a folder (every comediN file) and what each can do.
// A device is a board when it opens and its read subdevice is an analog input
// that streams (SDF_CMD_READ); one that exists but cannot be opened now (no
// permission, busy) is listed with the reason, so that the user learns what
// to do; anything else (no board attached, not a comedi device) is skipped,
// with a trace that says why.
//
// Main thread only; every call talks to the devices anew.

#include <cstddef>
#include <string>
#include <vector>

#include "boards/comedi/ComediCalls.h"

namespace varnel::comedi {

// Longest board name the device list keeps.
inline constexpr std::size_t kMaxBoardName = 78;
// Inputs the recorder can use.
inline constexpr unsigned kMaxUsedChannels = 16;

// A range of the board's table, in volts.
struct VoltRange {
  unsigned index = 0;
  double min = 0;
  double max = 0;
};

// What an analog input that streams offers.
struct DeviceInfo {
  std::string label;  // "comedi0: ni_pcimio pci-6221"
  unsigned subdevice = 0;
  unsigned channels = 0;       // offered to the recorder (at most 16)
  unsigned boardChannels = 0;  // the board's own
  int flags = 0;
  int resolution = 16;  // bits of the codes the recorder gets
  int shift = 0;        // low bits dropped from codes wider than 16 bits
  bool longSamples = false;
  std::vector<VoltRange> gains;  // the ranges of gain 1, 2, 4, 8: as many as it has
  double maxScanHz = 0;          // scans of all `channels` per second
  unsigned aref = AREF_GROUND;
  bool busy = false;  // another program runs or locked it
};

struct ListedDevice {
  std::string label;
  std::string path;
  int error = 0;  // -EACCES or -EBUSY: listed, but it cannot be used now
};

std::vector<ListedDevice> ListDevices(ComediCalls& calls);

// What the open device `file` offers; the reason it cannot record ("" when it can).
std::string Probe(ComediDevice& device, const std::string& file, DeviceInfo* info);

// The ranges of gain 1, 2, 4 and 8 in a range table: the widest bipolar one
// (the widest of all when none is bipolar) and those of its span divided by
// each gain in turn, as long as the table has them.
std::vector<VoltRange> GainRanges(const std::vector<comedi_range>& table);
// Bits of codes that run 0..maxdata.
int BitsOf(lsampl_t maxdata);
// The time from scan to scan of a tested command, in ns (0: not timed by the board).
unsigned ScanPeriodNs(const comedi_cmd& cmd);
// "name: details" cut to the list.
std::string BoardLabel(const std::string& file, const std::string& details);

}  // namespace varnel::comedi
