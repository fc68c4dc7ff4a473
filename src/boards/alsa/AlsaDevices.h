#pragma once
// The capture devices ALSA offers and what each can really do. Cards are
// found through their control interface (name hints miss plain hw devices)
// and keyed by the card's id string, so a card keeps its identity when cards
// are renumbered; name hints add the devices a configuration or a sound
// server provides (such as `default`).
//
// Safe from any thread; every call talks to ALSA anew.

#include <cstddef>
#include <string>
#include <vector>

typedef struct _snd_pcm snd_pcm_t;

namespace varnel::alsa {

// Longest board name the device list keeps.
inline constexpr std::size_t kMaxBoardName = 78;
// Inputs the recorder can use.
inline constexpr unsigned kMaxUsedChannels = 16;

struct CaptureDevice {
  std::string label;  // what the user sees; unique, at most kMaxBoardName characters
  std::string pcm;    // the stable ALSA name it is opened by
};

std::vector<CaptureDevice> ListCaptureDevices();

// What a device runs without any conversion by ALSA.
struct DeviceCaps {
  int error = 0;              // 0, or the negative ALSA error of opening or probing it
  unsigned channels = 0;      // capture channels offered to the recorder (at most 16)
  unsigned openChannels = 0;  // channels the device is opened with (>= channels)
  // Bytes of one sample: 2 for S16_LE; 4 for S32_LE, of which the upper 16
  // bits are kept (a card that offers no 16-bit format, as many 24-bit
  // interfaces do), or for FLOAT_LE, read as 32-bit samples are (a sound
  // server's device that offers nothing else).
  unsigned sampleBytes = 2;
  bool floatSamples = false;
  std::vector<unsigned> rates;  // native rates among the usual ones, ascending
};

// Probes an open capture PCM (S16_LE, else S32_LE, else FLOAT_LE;
// interleaved memory-mapped access).
DeviceCaps ProbeOpenPcm(snd_pcm_t* pcm);
// Opens, probes and closes the device.
DeviceCaps ProbeDevice(const std::string& pcm);

// The ALSA format of the samples the device was probed with.
int SampleFormat(const DeviceCaps& caps);

// The flags every capture is opened with: no resampling, no channel or format
// conversion by ALSA, and no blocking.
int CaptureOpenFlags();

// "name (details)" cut so that the details stay readable within the limit.
std::string BoardLabel(const std::string& name, const std::string& details);

// "48000 Hz" or "44100, 48000 Hz"; "none" for an empty list.
std::string RateList(const std::vector<unsigned>& rates);

// Routes alsa-lib's own error printing to the trace sink (once per process).
void RouteAlsaErrorsToTraces();

}  // namespace varnel::alsa
