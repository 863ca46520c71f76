// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Asking ALSA about formats and setting a capture device up, by whoever holds the handle.
#include "capture/service/PcmFormat.h"

#include <alsa/asoundlib.h>

#include <chrono>
#include <cstdint>

namespace veldora::sound {

// A period of about 10 ms: the capture thread hands data to the ring this often.
constexpr unsigned kPeriodMilliseconds = 10;
// The device's buffer in periods: bounds the latency (servers pick seconds otherwise).
constexpr unsigned kBufferPeriods = 8;

// Half a period of `periodFrames` at `rate` frames per second (rate > 0), rounded
// down. In 64 bits: 500000 * frames outgrows a 32-bit unsigned long (the frame count's
// type on 32-bit targets) above 8589 frames.
constexpr std::chrono::microseconds halfPeriod(uint64_t periodFrames, unsigned rate) {
    return std::chrono::microseconds(static_cast<int64_t>(uint64_t{500'000} * periodFrames / rate));
}

// 0 when the device takes this format (interleaved read/write), else ALSA's error
// (-EINVAL: refused). Only refines parameters: cheap, no server round trip.
int checkFormat(snd_pcm_t* pcm, const PcmFormat& format);

// Sets the device up for `format` with kBufferPeriods periods of about
// kPeriodMilliseconds and prepares it; 0 or ALSA's error. May wait on a server.
int setUpCapture(snd_pcm_t* pcm, const PcmFormat& format, snd_pcm_uframes_t& periodFrames);

} // namespace veldora::sound
