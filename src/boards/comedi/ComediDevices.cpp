#include "boards/comedi/ComediDevices.h"

#include <dirent.h>
#include <grp.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "platform/Trace.h"

namespace varnel::comedi {
namespace {

constexpr unsigned kGains[] = {1, 2, 4, 8};

// comediN files of the folder, by N.
std::vector<std::pair<unsigned, std::string>> DeviceFiles(const std::string& folder) {
  std::vector<std::pair<unsigned, std::string>> files;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return files;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() <= 6 || name.size() > 10 || name.compare(0, 6, "comedi") != 0) continue;
    if (!std::all_of(name.begin() + 6, name.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
    files.emplace_back(static_cast<unsigned>(std::stoul(name.substr(6))), name);
  }
  ::closedir(dir);
  std::sort(files.begin(), files.end());
  return files;
}

std::string GroupOf(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return "?";
  const group* owner = ::getgrgid(status.st_gid);
  return owner != nullptr ? owner->gr_name : std::to_string(status.st_gid);
}

unsigned ReferenceOf(int flags) {
  if (flags & SDF_GROUND) return AREF_GROUND;
  if (flags & SDF_COMMON) return AREF_COMMON;
  if (flags & SDF_DIFF) return AREF_DIFF;
  if (flags & SDF_OTHER) return AREF_OTHER;
  return AREF_GROUND;
}

bool Near(double a, double b, double tolerance) {
  return std::fabs(a - b) <= tolerance;
}

}  // namespace

std::string BoardLabel(const std::string& file, const std::string& details) {
  return (file + ": " + details).substr(0, kMaxBoardName);
}

int BitsOf(lsampl_t maxdata) {
  int bits = 0;
  for (uint64_t top = uint64_t{maxdata} + 1; top > 1; top = (top + 1) / 2) ++bits;
  return bits;
}

unsigned ScanPeriodNs(const comedi_cmd& cmd) {
  if (cmd.scan_begin_src == TRIG_TIMER) return cmd.scan_begin_arg;
  if (cmd.scan_begin_src == TRIG_FOLLOW && cmd.convert_src == TRIG_TIMER) return cmd.convert_arg * cmd.scan_end_arg;
  return 0;
}

std::vector<VoltRange> GainRanges(const std::vector<comedi_range>& table) {
  const VoltRange* widest = nullptr;
  std::vector<VoltRange> volts;
  for (unsigned i = 0; i < table.size(); ++i) {
    if (table[i].unit == UNIT_volt && table[i].max > table[i].min) volts.push_back({i, table[i].min, table[i].max});
  }
  for (const bool bipolar : {true, false}) {
    for (const VoltRange& r : volts) {
      if ((r.min < 0) != bipolar) continue;
      if (widest == nullptr || r.max - r.min > widest->max - widest->min) widest = &r;
    }
    if (widest != nullptr) break;
  }
  std::vector<VoltRange> gains;
  if (widest == nullptr) return gains;
  for (unsigned gain : kGains) {
    // The buffer processing reads a code of gain g as one of the range
    // [min/g, max/g]: only such a range keeps the recording true.
    const double low = widest->min / gain, high = widest->max / gain, tolerance = 1e-3 * (high - low);
    const auto it = std::find_if(volts.begin(), volts.end(), [&](const VoltRange& r) {
      return Near(r.min, low, tolerance) && Near(r.max, high, tolerance);
    });
    if (it == volts.end()) break;
    gains.push_back(*it);
  }
  return gains;
}

std::string Probe(ComediDevice& device, const std::string& file, DeviceInfo* info) {
  const int sub = device.ReadSubdevice();
  if (sub < 0) return "it has no subdevice that streams";
  const unsigned s = static_cast<unsigned>(sub);
  if (device.SubdeviceType(s) != COMEDI_SUBD_AI) return "the subdevice it streams is no analog input";
  const int flags = device.SubdeviceFlags(s);
  if (flags < 0) return std::strerror(-flags);
  if (!(flags & SDF_CMD_READ)) return "its analog input cannot stream";
  const int channels = device.Channels(s);
  if (channels <= 0) return "its analog input has no channel";
  const lsampl_t maxdata = device.MaxData(s, 0);
  if (maxdata == 0) return "its analog input gives no codes";
  std::vector<comedi_range> table(static_cast<std::size_t>(std::max(device.RangeCount(s, 0), 0)));
  for (unsigned r = 0; r < table.size(); ++r) {
    if (!device.Range(s, 0, r, &table[r])) table[r] = {0, 0, UNIT_none};
  }
  DeviceInfo found;
  found.gains = GainRanges(table);
  if (found.gains.empty()) return "its analog input has no voltage range";
  found.label = BoardLabel(file, device.DriverName() + " " + device.BoardName());
  found.subdevice = s;
  found.boardChannels = static_cast<unsigned>(channels);
  found.channels = std::min(found.boardChannels, kMaxUsedChannels);
  found.flags = flags;
  found.longSamples = (flags & SDF_LSAMPL) != 0;
  const int bits = BitsOf(maxdata);
  found.resolution = std::min(bits, 16);
  found.shift = bits - found.resolution;
  found.aref = ReferenceOf(flags);
  found.busy = ((flags & SDF_BUSY) && !(flags & SDF_BUSY_OWNER)) || ((flags & SDF_LOCKED) && !(flags & SDF_LOCK_OWNER));
  comedi_cmd fastest{};
  const unsigned period = device.GenericTimed(s, &fastest, found.channels, 1) < 0 ? 0 : ScanPeriodNs(fastest);
  if (period == 0) return "its analog input cannot be timed by its own clock";
  found.maxScanHz = 1e9 / period;
  *info = std::move(found);
  return {};
}

std::vector<ListedDevice> ListDevices(ComediCalls& calls) {
  std::vector<ListedDevice> listed;
  for (const auto& [number, file] : DeviceFiles(calls.Folder())) {
    const std::string path = calls.Folder() + "/" + file;
    int error = 0;
    const std::unique_ptr<ComediDevice> device = calls.Open(path, &error);
    if (error == -EACCES || error == -EPERM) {
      listed.push_back({BoardLabel(file, "no permission, the user must be in group " + GroupOf(path)), path, -EACCES});
      continue;
    }
    if (error == -EBUSY) {
      listed.push_back({BoardLabel(file, "busy, in use by another program"), path, -EBUSY});
      continue;
    }
    if (device == nullptr) {
      platform::Trace("comedi: %s skipped: %s\n", path.c_str(),
                      error == -ENOTTY   ? "not a comedi device"
                      : error == -ENODEV ? "no board attached (comedi_config)"
                                         : std::strerror(-error));
      continue;
    }
    DeviceInfo info;
    const std::string reason = Probe(*device, file, &info);
    if (!reason.empty()) {
      platform::Trace("comedi: %s skipped: %s\n", path.c_str(), reason.c_str());
    } else if (info.busy) {
      listed.push_back({(info.label + " (busy, in use by another program)").substr(0, kMaxBoardName), path, -EBUSY});
    } else {
      listed.push_back({info.label, path, 0});
    }
  }
  return listed;
}

}  // namespace varnel::comedi
