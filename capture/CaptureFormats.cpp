#include "capture/CaptureFormats.h"

#include "base/Errors.h"
#include "capture/ServiceRef.h"

const TSoundCaptureFormat& TSoundCaptureFormats::Items(int index) const {
    if (index < 0 || index >= Count())
        throw listIndexError(index);
    return items_[static_cast<size_t>(index)];
}

TSoundCaptureFormat& TSoundCaptureFormats::Add() {
    return items_.emplace_back();
}

WAVEFORMATEX& MakePCMWaveFormat(WAVEFORMATEX& Format, int32_t SamplesPerSec, int32_t BitsPerSample,
                                int32_t Channels) {
    Format.wFormatTag = WAVE_FORMAT_PCM;
    Format.nChannels = static_cast<uint16_t>(Channels);
    Format.nSamplesPerSec = static_cast<uint32_t>(SamplesPerSec);
    Format.wBitsPerSample = static_cast<uint16_t>(BitsPerSample);
    Format.nBlockAlign = static_cast<uint16_t>(Format.nChannels * (Format.wBitsPerSample / 8));
    Format.nAvgBytesPerSec = Format.nBlockAlign * Format.nSamplesPerSec;
    Format.cbSize = 0;
    return Format;
}

void ProbeCaptureFormats(IDirectSoundCapture& device, TSoundCaptureFormats& formats) {
    ServiceRef<IDirectSoundCaptureBuffer> trial;
    for (int32_t rate : kCaptureSampleRates) {
        for (int32_t bits : kCaptureBitsPerSample) {
            for (int32_t channels : kCaptureChannels) {
                WAVEFORMATEX format{};
                MakePCMWaveFormat(format, rate, bits, channels);
                DSCBUFFERDESC desc{};
                desc.dwSize = 20;
                desc.dwFlags = 0;
                desc.dwBufferBytes = format.nAvgBytesPerSec;
                desc.lpwfxFormat = &format;
                const HRESULT result = device.CreateCaptureBuffer(&desc, trial.put(), nullptr);
                // A refused trial may still have handed out a buffer: release it as well.
                trial.reset();
                if (result != DS_OK)
                    continue;
                TSoundCaptureFormat& item = formats.Add();
                item.SamplesPerSec = static_cast<int32_t>(format.nSamplesPerSec);
                item.BitsPerSample = format.wBitsPerSample;
                item.Channels = format.nChannels;
            }
        }
    }
}
