// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The PCM formats a capture device accepts, found by trying a capture buffer for each
// combination of the fixed rates, sample sizes and channel counts. Main thread only.
#include <array>
#include <cstdint>
#include <vector>

#include "capture/SoundService.h"

namespace veldora::capture {

class TSoundCaptureFormat {
  public:
    int32_t BitsPerSample = 0; // 8, 16, 24 or 32
    int32_t Channels = 0;      // 1 or 2
    int32_t SamplesPerSec = 0; // Hz
};

class TSoundCaptureFormats {
  public:
    int Count() const { return static_cast<int>(items_.size()); }
    // Raises EListError "List index out of bounds (%d)" outside 0 .. Count() - 1.
    const TSoundCaptureFormat& Items(int index) const;
    const TSoundCaptureFormat& operator[](int index) const { return Items(index); }
    TSoundCaptureFormat& Add();
    void Clear() { items_.clear(); }

  private:
    std::vector<TSoundCaptureFormat> items_;
};

// Trial order: rates outermost, then sample sizes, channels innermost (56 trials).
constexpr std::array<int32_t, 7> kCaptureSampleRates{8000, 11025, 22050, 33075, 44100, 48000, 96000};
constexpr std::array<int32_t, 4> kCaptureBitsPerSample{8, 16, 24, 32};
constexpr std::array<int32_t, 2> kCaptureChannels{1, 2};

// Fills `Format` as PCM: block = channels * (bits div 8) in 16 bits, bytes per second =
// block * rate, cbSize 0. Returns `Format`.
sound::WAVEFORMATEX& MakePCMWaveFormat(sound::WAVEFORMATEX& Format, int32_t SamplesPerSec,
                                       int32_t BitsPerSample, int32_t Channels);

// Tries a one-second capture buffer for every combination on the open device and
// appends the accepted ones (result 0 only) in trial order. Each trial buffer is
// released at once; refused combinations are skipped silently.
void ProbeCaptureFormats(sound::IDirectSoundCapture& device, TSoundCaptureFormats& formats);

} // namespace veldora::capture
