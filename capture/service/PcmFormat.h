// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Translation of a capture buffer description into ALSA terms. Pure; any thread.
#include "capture/SoundService.h"

#include <alsa/asoundlib.h>

namespace veldora::sound {

struct PcmFormat {
    snd_pcm_format_t format = SND_PCM_FORMAT_UNKNOWN;
    unsigned channels = 0;
    unsigned rate = 0;       // frames per second
    unsigned frameBytes = 0; // bytes per frame (the block alignment)
};

// Largest ring the service makes, in bytes.
constexpr uint32_t kMaxRingBytes = 0x0FFFFFFF;

// dwSize of a capture buffer description as the program fills it: the 32-bit layout
// without the effect fields. The record's own size in this build is accepted too.
constexpr uint32_t kCaptureDescSize = 20;

// Checks the record's shape and fills `format`. DSERR_INVALIDPARAM for a malformed
// record (null, wrong dwSize, no format, zero or oversized ring, inconsistent block
// alignment or byte rate); DSERR_BADFORMAT for a format this service cannot express
// (not PCM, sample size other than 8/16/24/32, no channels, rate 0); DS_OK otherwise.
// Whether the device accepts the format is decided elsewhere.
HRESULT pcmFormatFor(const DSCBUFFERDESC* desc, PcmFormat& format);

} // namespace veldora::sound
