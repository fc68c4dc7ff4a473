#pragma once
// The PCM calls of the capture path, behind one small seam so that a test can
// make them fail (an overrun, an unplugged card) on a real device of a private
// configuration. The real calls go straight to alsa-lib.

#include <alsa/asoundlib.h>

#include <memory>

namespace varnel::alsa {

class PcmCalls {
 public:
  virtual ~PcmCalls() = default;
  virtual snd_pcm_sframes_t AvailUpdate(snd_pcm_t* pcm) { return snd_pcm_avail_update(pcm); }
  virtual int MmapBegin(snd_pcm_t* pcm, const snd_pcm_channel_area_t** areas, snd_pcm_uframes_t* offset,
                        snd_pcm_uframes_t* frames) {
    return snd_pcm_mmap_begin(pcm, areas, offset, frames);
  }
  virtual snd_pcm_sframes_t MmapCommit(snd_pcm_t* pcm, snd_pcm_uframes_t offset, snd_pcm_uframes_t frames) {
    return snd_pcm_mmap_commit(pcm, offset, frames);
  }
  virtual int Prepare(snd_pcm_t* pcm) { return snd_pcm_prepare(pcm); }
  virtual int Start(snd_pcm_t* pcm) { return snd_pcm_start(pcm); }
  virtual int Resume(snd_pcm_t* pcm) { return snd_pcm_resume(pcm); }
  virtual int Drop(snd_pcm_t* pcm) { return snd_pcm_drop(pcm); }
};

std::shared_ptr<PcmCalls> RealPcmCalls();

}  // namespace varnel::alsa
