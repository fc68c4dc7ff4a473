#include "DeviceList.h"

#include <string>
#include <vector>

#include "acquisition/AcquisitionDevice.h"
#include "platform/FixedString.h"
#include "platform/QueueMessageLoop.h"

namespace varnel::record {
namespace {

std::string Rates(BoardApi& board, AcquisitionDevice& device) {
  std::vector<int32_t> rates;
  if (board.GetNativeRates(device.SubsystemHandle(), &rates) == kBoardSuccess) {
    if (rates.empty()) return "no usable rate";
    std::string text = "rates";
    for (int32_t rate : rates) text += (text.size() > 5 ? ", " : " ") + std::to_string(rate);
    return text + " Hz";
  }
  const int32_t max = device.GetMaxThroughput();
  return "any rate up to " + std::to_string(max) + " Hz" +
         (device.SupportsSimultaneous() == 1 ? "" : " for all channels together");
}

}  // namespace

void PrintDeviceList(BoardApi& board, std::FILE* out) {
  platform::QueueMessageLoop loop;
  AcquisitionDevice device(board, loop);
  device.EnumerateBoards();
  if (device.GetBoardCount() == 0) std::fprintf(out, "no devices\n");
  for (int32_t i = 0; i < device.GetBoardCount(); ++i) {
    char name[kBoardNameSize] = {};
    device.GetBoardName(i, name);
    std::fprintf(out, "%d  %s\n", i, name);
    if (!device.Open(nullptr, i)) {
      std::fprintf(out, "   cannot be opened now (busy or gone)\n");
      device.Close();
      continue;
    }
    std::fprintf(out, "   %d channels, %s\n", device.GetChannelCount(), Rates(board, device).c_str());
    device.Close();
  }
}

DeviceChoice::DeviceChoice(RecordingEngine& engine)
    : engine_(engine), channels_(engine.Channels), settings_(engine.Settings) {}

bool DeviceChoice::SavedDeviceIsThere() const {
  const std::string saved(FieldText(settings_.szDeviceName));
  char name[kBoardNameSize] = {};
  engine_.Device.GetBoardName(settings_.DeviceIndex, name);
  return settings_.DeviceIndex < engine_.Device.GetBoardCount() && (saved.empty() || saved == FieldText(name));
}

bool DeviceChoice::Choose(int32_t index) {
  chosen_ = index >= 0;
  if (chosen_) {
    engine_.ChooseDevice(index);
    engine_.FitChannelsToDevice();
  } else if (engine_.Device.GetBoardCount() > 0 && !SavedDeviceIsThere()) {
    std::fprintf(stderr,
                 "varnel-record: the device list has changed: device %d of the settings, \"%s\", is not there any "
                 "more or has another place; name the device to use with --device N (see --list-devices)\n",
                 settings_.DeviceIndex, std::string(FieldText(settings_.szDeviceName)).c_str());
    return false;
  }
  const int32_t used = engine_.Settings.DeviceIndex;
  char name[kBoardNameSize] = {};
  engine_.Device.GetBoardName(used, name);
  if (used >= 0) std::printf("device: %d %s\n", used, name);
  return true;
}

void DeviceChoice::Restore() {
  // Neither a device of the command line nor one that is not where the
  // settings say (its channels fitted to whatever is there now) is saved.
  if (!chosen_ && SavedDeviceIsThere()) return;
  engine_.Channels = channels_;
  engine_.Settings = settings_;
}

}  // namespace varnel::record
