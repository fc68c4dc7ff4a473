#include "boards/alsa/AlsaDevices.h"

#include <alsa/asoundlib.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>

#include "platform/Trace.h"

namespace varnel::alsa {
namespace {

// The rates probed one by one: a min/max range says nothing about what
// lies between.
constexpr unsigned kCandidateRates[] = {8000,  11025, 16000, 22050,  24000,  32000,  44100, 48000,
                                        64000, 88200, 96000, 176400, 192000, 352800, 384000};

void ErrorToTrace(const char* file, int line, const char* function, int err, const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  platform::Trace("ALSA %s:%d (%s) %s%s%s\n", file, line, function, text, err ? ": " : "",
                  err ? snd_strerror(err) : "");
}

std::string FirstLine(const char* text) {
  if (text == nullptr) return {};
  std::string line(text);
  const std::size_t end = line.find('\n');
  return end == std::string::npos ? line : line.substr(0, end);
}

// Name hints that stand for one card's device repeat what the card list holds.
bool IsCardAlias(const std::string& name) {
  return name.find("CARD=") != std::string::npos;
}

void AddUnique(std::vector<CaptureDevice>& devices, std::set<std::string>& labels, std::string label, std::string pcm) {
  for (const CaptureDevice& d : devices) {
    if (d.pcm == pcm) return;
  }
  std::string unique = label;
  for (int n = 2; labels.count(unique) != 0; ++n) {
    const std::string tag = " #" + std::to_string(n);
    unique = label.substr(0, kMaxBoardName - tag.size()) + tag;
  }
  labels.insert(unique);
  devices.push_back({unique, std::move(pcm)});
}

void ListCards(std::vector<CaptureDevice>& devices, std::set<std::string>& labels) {
  snd_ctl_card_info_t* info = nullptr;
  snd_pcm_info_t* pcmInfo = nullptr;
  snd_ctl_card_info_malloc(&info);
  snd_pcm_info_malloc(&pcmInfo);
  int card = -1;
  while (snd_card_next(&card) == 0 && card >= 0) {
    snd_ctl_t* ctl = nullptr;
    const std::string control = "hw:" + std::to_string(card);
    if (snd_ctl_open(&ctl, control.c_str(), 0) < 0) continue;
    if (snd_ctl_card_info(ctl, info) == 0) {
      const std::string id = snd_ctl_card_info_get_id(info);
      const std::string cardName = snd_ctl_card_info_get_name(info);
      int device = -1;
      while (snd_ctl_pcm_next_device(ctl, &device) == 0 && device >= 0) {
        snd_pcm_info_set_device(pcmInfo, static_cast<unsigned>(device));
        snd_pcm_info_set_subdevice(pcmInfo, 0);
        snd_pcm_info_set_stream(pcmInfo, SND_PCM_STREAM_CAPTURE);
        if (snd_ctl_pcm_info(ctl, pcmInfo) < 0) continue;  // no capture on this device
        const std::string dev = std::to_string(device);
        AddUnique(devices, labels, BoardLabel(cardName + ": " + snd_pcm_info_get_name(pcmInfo), "hw:" + id + "," + dev),
                  "hw:CARD=" + id + ",DEV=" + dev);
      }
    }
    snd_ctl_close(ctl);
  }
  snd_pcm_info_free(pcmInfo);
  snd_ctl_card_info_free(info);
}

void ListHints(std::vector<CaptureDevice>& devices, std::set<std::string>& labels) {
  void** hints = nullptr;
  if (snd_device_name_hint(-1, "pcm", &hints) < 0 || hints == nullptr) return;
  for (void** hint = hints; *hint != nullptr; ++hint) {
    char* name = snd_device_name_get_hint(*hint, "NAME");
    char* description = snd_device_name_get_hint(*hint, "DESC");
    char* direction = snd_device_name_get_hint(*hint, "IOID");
    const std::string pcm = name ? name : "";
    // "null" captures silence: never a measurement input.
    const bool input = direction == nullptr || std::string(direction) == "Input";
    if (input && !pcm.empty() && pcm != "null" && !IsCardAlias(pcm)) {
      const std::string text = FirstLine(description);
      AddUnique(devices, labels, BoardLabel(text.empty() ? pcm : text, pcm), pcm);
    }
    std::free(name);
    std::free(description);
    std::free(direction);
  }
  snd_device_name_free_hint(hints);
}

}  // namespace

void RouteAlsaErrorsToTraces() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(&ErrorToTrace); });
}

int SampleFormat(const DeviceCaps& caps) {
  if (caps.floatSamples) return SND_PCM_FORMAT_FLOAT_LE;
  return caps.sampleBytes == 4 ? SND_PCM_FORMAT_S32_LE : SND_PCM_FORMAT_S16_LE;
}

int CaptureOpenFlags() {
  return SND_PCM_NONBLOCK | SND_PCM_NO_AUTO_RESAMPLE | SND_PCM_NO_AUTO_CHANNELS | SND_PCM_NO_AUTO_FORMAT;
}

std::string BoardLabel(const std::string& name, const std::string& details) {
  const std::string tail = " (" + details + ")";
  if (tail.size() + 8 > kMaxBoardName) return (name + tail).substr(0, kMaxBoardName);
  return name.substr(0, kMaxBoardName - tail.size()) + tail;
}

std::string RateList(const std::vector<unsigned>& rates) {
  if (rates.empty()) return "none";
  std::string text;
  for (unsigned rate : rates) text += (text.empty() ? "" : ", ") + std::to_string(rate);
  return text + " Hz";
}

DeviceCaps ProbeOpenPcm(snd_pcm_t* pcm) {
  DeviceCaps caps;
  snd_pcm_hw_params_t* hw = nullptr;
  snd_pcm_hw_params_malloc(&hw);
  caps.error = snd_pcm_hw_params_any(pcm, hw);
  if (caps.error >= 0) caps.error = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_MMAP_INTERLEAVED);
  if (caps.error >= 0 && snd_pcm_hw_params_test_format(pcm, hw, SND_PCM_FORMAT_S16_LE) < 0) {
    caps.sampleBytes = 4;
    caps.floatSamples = snd_pcm_hw_params_test_format(pcm, hw, SND_PCM_FORMAT_S32_LE) < 0 &&
                        snd_pcm_hw_params_test_format(pcm, hw, SND_PCM_FORMAT_FLOAT_LE) == 0;
  }
  if (caps.error >= 0) {
    caps.error = snd_pcm_hw_params_set_format(pcm, hw, static_cast<snd_pcm_format_t>(SampleFormat(caps)));
  }
  unsigned low = 0, high = 0;
  if (caps.error >= 0) caps.error = snd_pcm_hw_params_get_channels_min(hw, &low);
  if (caps.error >= 0) caps.error = snd_pcm_hw_params_get_channels_max(hw, &high);
  if (caps.error >= 0) {
    caps.error = 0;
    // Open with as few channels beyond the sixteen used as the device allows.
    caps.channels = high < kMaxUsedChannels ? high : kMaxUsedChannels;
    caps.openChannels = low > caps.channels ? low : caps.channels;
    if (snd_pcm_hw_params_test_channels(pcm, hw, caps.openChannels) < 0) caps.openChannels = high;
    snd_pcm_hw_params_set_channels(pcm, hw, caps.openChannels);
    for (unsigned rate : kCandidateRates) {
      if (snd_pcm_hw_params_test_rate(pcm, hw, rate, 0) == 0) caps.rates.push_back(rate);
    }
  }
  snd_pcm_hw_params_free(hw);
  return caps;
}

DeviceCaps ProbeDevice(const std::string& pcm) {
  RouteAlsaErrorsToTraces();
  snd_pcm_t* handle = nullptr;
  const int error = snd_pcm_open(&handle, pcm.c_str(), SND_PCM_STREAM_CAPTURE, CaptureOpenFlags());
  if (error < 0) {
    DeviceCaps caps;
    caps.error = error;
    return caps;
  }
  DeviceCaps caps = ProbeOpenPcm(handle);
  snd_pcm_close(handle);
  return caps;
}

std::vector<CaptureDevice> ListCaptureDevices() {
  RouteAlsaErrorsToTraces();
  std::vector<CaptureDevice> devices;
  std::set<std::string> labels;
  ListCards(devices, labels);
  ListHints(devices, labels);
  return devices;
}

}  // namespace varnel::alsa
