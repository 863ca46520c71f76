// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/CaptureFormats.h"

#include "base/Errors.h"
#include "capture/ServiceRef.h"

namespace veldora::capture {

const TSoundCaptureFormat& TSoundCaptureFormats::Items(int index) const {
    if (index < 0 || index >= Count())
        throw base::listIndexError(index);
    return items_[static_cast<size_t>(index)];
}

TSoundCaptureFormat& TSoundCaptureFormats::Add() {
    return items_.emplace_back();
}

sound::WAVEFORMATEX& MakePCMWaveFormat(sound::WAVEFORMATEX& Format, int32_t SamplesPerSec,
                                       int32_t BitsPerSample, int32_t Channels) {
    Format.wFormatTag = sound::WAVE_FORMAT_PCM;
    Format.nChannels = static_cast<uint16_t>(Channels);
    Format.nSamplesPerSec = static_cast<uint32_t>(SamplesPerSec);
    Format.wBitsPerSample = static_cast<uint16_t>(BitsPerSample);
    Format.nBlockAlign = static_cast<uint16_t>(Format.nChannels * (Format.wBitsPerSample / 8));
    Format.nAvgBytesPerSec = Format.nBlockAlign * Format.nSamplesPerSec;
    Format.cbSize = 0;
    return Format;
}

void ProbeCaptureFormats(sound::IDirectSoundCapture& device, TSoundCaptureFormats& formats) {
    sound::ServiceRef<sound::IDirectSoundCaptureBuffer> trial;
    for (int32_t rate : kCaptureSampleRates) {
        for (int32_t bits : kCaptureBitsPerSample) {
            for (int32_t channels : kCaptureChannels) {
                sound::WAVEFORMATEX format{};
                MakePCMWaveFormat(format, rate, bits, channels);
                sound::DSCBUFFERDESC desc{};
                desc.dwSize = 20;
                desc.dwFlags = 0;
                desc.dwBufferBytes = format.nAvgBytesPerSec;
                desc.lpwfxFormat = &format;
                const sound::HRESULT result = device.CreateCaptureBuffer(&desc, trial.put(), nullptr);
                // A refused trial may still have handed out a buffer: release it as well.
                trial.reset();
                if (result != sound::DS_OK)
                    continue;
                TSoundCaptureFormat& item = formats.Add();
                item.SamplesPerSec = static_cast<int32_t>(format.nSamplesPerSec);
                item.BitsPerSample = format.wBitsPerSample;
                item.Channels = format.nChannels;
            }
        }
    }
}

} // namespace veldora::capture
