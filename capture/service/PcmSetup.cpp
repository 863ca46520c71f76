// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/service/PcmSetup.h"

#include "capture/service/AlsaError.h"
#include "capture/service/AlsaHandles.h"

#include <algorithm>
#include <cerrno>

namespace veldora::sound {
namespace {

// rc itself when it is an error (reported through checkError), else 0.
int failure(int rc, const char* what) {
    return checkError(rc, what) ? 0 : rc;
}

int restrictTo(snd_pcm_t* pcm, snd_pcm_hw_params_t* hw, const PcmFormat& format) {
    unsigned rate = format.rate;
    int rc = failure(snd_pcm_hw_params_any(pcm, hw), "hw params any");
    if (rc == 0)
        rc = failure(snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED), "access");
    if (rc == 0)
        rc = failure(snd_pcm_hw_params_set_format(pcm, hw, format.format), "format");
    if (rc == 0)
        rc = failure(snd_pcm_hw_params_set_channels(pcm, hw, format.channels), "channels");
    if (rc == 0)
        rc = failure(snd_pcm_hw_params_set_rate(pcm, hw, rate, 0), "rate");
    return rc;
}

} // namespace

int checkFormat(snd_pcm_t* pcm, const PcmFormat& format) {
    const HwParams hw = makeHwParams();
    return hw ? restrictTo(pcm, hw.get(), format) : -ENOMEM;
}

int setUpCapture(snd_pcm_t* pcm, const PcmFormat& format, snd_pcm_uframes_t& periodFrames) {
    const HwParams hw = makeHwParams();
    const SwParams sw = makeSwParams();
    if (!hw || !sw) {
        return -ENOMEM;
    }
    if (snd_pcm_state(pcm) != SND_PCM_STATE_OPEN) {
        checkError(snd_pcm_hw_free(pcm), "hw free"); // a set-up from an earlier start
    }
    int dir = 0;
    periodFrames = std::max<snd_pcm_uframes_t>(format.rate * kPeriodMilliseconds / 1000, 16);
    snd_pcm_uframes_t bufferFrames = periodFrames * kBufferPeriods;
    int rc = restrictTo(pcm, hw.get(), format);
    if (rc == 0)
        rc = failure(snd_pcm_hw_params_set_period_size_near(pcm, hw.get(), &periodFrames, &dir), "period");
    if (rc == 0)
        rc = failure(snd_pcm_hw_params_set_buffer_size_near(pcm, hw.get(), &bufferFrames), "buffer");
    if (rc == 0)
        rc = failure(snd_pcm_hw_params(pcm, hw.get()), "hw params");
    if (rc != 0)
        return rc;
    checkError(snd_pcm_hw_params_get_period_size(hw.get(), &periodFrames, &dir), "period size");
    rc = failure(snd_pcm_sw_params_current(pcm, sw.get()), "sw params current");
    if (rc == 0)
        rc = failure(snd_pcm_sw_params_set_avail_min(pcm, sw.get(), periodFrames), "avail min");
    if (rc == 0)
        rc = failure(snd_pcm_sw_params_set_start_threshold(pcm, sw.get(), 1), "start threshold");
    if (rc == 0)
        rc = failure(snd_pcm_sw_params(pcm, sw.get()), "sw params");
    if (rc == 0)
        rc = failure(snd_pcm_prepare(pcm), "prepare");
    return rc;
}

} // namespace veldora::sound
