#include "capture/service/PcmSetup.h"

#include "capture/service/AlsaError.h"
#include "capture/service/AlsaHandles.h"

#include <algorithm>

namespace veldora::sound {
namespace {

bool restrictTo(snd_pcm_t* pcm, snd_pcm_hw_params_t* hw, const PcmFormat& format) {
    unsigned rate = format.rate;
    return checkError(snd_pcm_hw_params_any(pcm, hw), "hw params any") &&
           checkError(snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED), "access") &&
           checkError(snd_pcm_hw_params_set_format(pcm, hw, format.format), "format") &&
           checkError(snd_pcm_hw_params_set_channels(pcm, hw, format.channels), "channels") &&
           checkError(snd_pcm_hw_params_set_rate(pcm, hw, rate, 0), "rate");
}

} // namespace

bool acceptsFormat(snd_pcm_t* pcm, const PcmFormat& format) {
    const HwParams hw = makeHwParams();
    return hw && restrictTo(pcm, hw.get(), format);
}

bool setUpCapture(snd_pcm_t* pcm, const PcmFormat& format, snd_pcm_uframes_t& periodFrames) {
    const HwParams hw = makeHwParams();
    const SwParams sw = makeSwParams();
    if (!hw || !sw) {
        return false;
    }
    if (snd_pcm_state(pcm) != SND_PCM_STATE_OPEN) {
        checkError(snd_pcm_hw_free(pcm), "hw free"); // a set-up from an earlier start
    }
    int dir = 0;
    periodFrames = std::max<snd_pcm_uframes_t>(format.rate * kPeriodMilliseconds / 1000, 16);
    snd_pcm_uframes_t bufferFrames = periodFrames * kBufferPeriods;
    if (!restrictTo(pcm, hw.get(), format) ||
        !checkError(snd_pcm_hw_params_set_period_size_near(pcm, hw.get(), &periodFrames, &dir), "period") ||
        !checkError(snd_pcm_hw_params_set_buffer_size_near(pcm, hw.get(), &bufferFrames), "buffer") ||
        !checkError(snd_pcm_hw_params(pcm, hw.get()), "hw params")) {
        return false;
    }
    checkError(snd_pcm_hw_params_get_period_size(hw.get(), &periodFrames, &dir), "period size");
    return checkError(snd_pcm_sw_params_current(pcm, sw.get()), "sw params current") &&
           checkError(snd_pcm_sw_params_set_avail_min(pcm, sw.get(), periodFrames), "avail min") &&
           checkError(snd_pcm_sw_params_set_start_threshold(pcm, sw.get(), 1), "start threshold") &&
           checkError(snd_pcm_sw_params(pcm, sw.get()), "sw params") &&
           checkError(snd_pcm_prepare(pcm), "prepare");
}

} // namespace veldora::sound
