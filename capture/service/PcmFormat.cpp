// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/service/PcmFormat.h"

namespace veldora::sound {

HRESULT pcmFormatFor(const DSCBUFFERDESC* desc, PcmFormat& format) {
    if (desc == nullptr || (desc->dwSize != kCaptureDescSize && desc->dwSize != sizeof(DSCBUFFERDESC)) ||
        desc->lpwfxFormat == nullptr) {
        return DSERR_INVALIDPARAM;
    }
    if (desc->dwBufferBytes == 0 || desc->dwBufferBytes > kMaxRingBytes) {
        return DSERR_INVALIDPARAM;
    }
    const WAVEFORMATEX& wfx = *desc->lpwfxFormat;
    if (wfx.wFormatTag != WAVE_FORMAT_PCM || wfx.nChannels == 0 || wfx.nSamplesPerSec == 0) {
        return DSERR_BADFORMAT;
    }
    switch (wfx.wBitsPerSample) {
    case 8:
        format.format = SND_PCM_FORMAT_U8;
        break;
    case 16:
        format.format = SND_PCM_FORMAT_S16_LE;
        break;
    case 24:
        format.format = SND_PCM_FORMAT_S24_3LE;
        break;
    case 32:
        format.format = SND_PCM_FORMAT_S32_LE;
        break;
    default:
        return DSERR_BADFORMAT;
    }
    const uint32_t blockAlign = uint32_t{wfx.nChannels} * (wfx.wBitsPerSample / 8u);
    if (wfx.nBlockAlign != blockAlign ||
        uint64_t{wfx.nAvgBytesPerSec} != uint64_t{blockAlign} * wfx.nSamplesPerSec) {
        return DSERR_INVALIDPARAM;
    }
    format.channels = wfx.nChannels;
    format.rate = wfx.nSamplesPerSec;
    format.frameBytes = blockAlign;
    return DS_OK;
}

} // namespace veldora::sound
