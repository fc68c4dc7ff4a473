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

DeviceChoice::DeviceChoice(RecordingEngine& engine, int32_t index)
    : engine_(engine), saved_(engine.Settings.DeviceIndex) {
  CopyCut(savedName_, FieldText(engine.Settings.szDeviceName));
  if (index >= engine.Device.GetBoardCount()) {
    std::fprintf(stderr, "varnel-record: there is no device %d (see --list-devices)\n", index);
    valid_ = false;
    return;
  }
  chosen_ = index >= 0;
  if (chosen_) {
    engine.ChooseDevice(index);
    engine.FitChannelsToDevice();
  }
  const int32_t used = engine.Settings.DeviceIndex;
  char name[kBoardNameSize] = {};
  engine.Device.GetBoardName(used, name);
  if (used >= 0) std::printf("device: %d %s\n", used, name);
}

void DeviceChoice::Restore() {
  if (!chosen_) return;
  engine_.Settings.DeviceIndex = saved_;
  CopyCut(engine_.Settings.szDeviceName, FieldText(savedName_));
}

}  // namespace varnel::record
