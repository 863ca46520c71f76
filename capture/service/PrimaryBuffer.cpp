// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/service/PrimaryBuffer.h"

#include "capture/service/PlaybackDevice.h"

namespace veldora::sound {
namespace {

constexpr uint16_t kChannels = 2;
constexpr uint16_t kBits = 16;
constexpr uint32_t kRate = 44100;
constexpr uint16_t kBlockAlign = kChannels * kBits / 8;
constexpr uint32_t kBufferBytes = kRate * kBlockAlign / 10; // 100 ms

} // namespace

PrimaryBuffer::PrimaryBuffer(PlaybackDevice& device) : device_(ServiceRef<PlaybackDevice>::share(&device)) {}

HRESULT PrimaryBuffer::GetCaps(DSBCAPS* caps) {
    if (caps == nullptr || caps->dwSize != sizeof(DSBCAPS)) {
        return DSERR_INVALIDPARAM;
    }
    caps->dwFlags = DSBCAPS_PRIMARYBUFFER;
    caps->dwBufferBytes = kBufferBytes;
    caps->dwUnlockTransferRate = 0;
    caps->dwPlayCpuOverhead = 0;
    return DS_OK;
}

HRESULT PrimaryBuffer::GetFormat(WAVEFORMATEX* format, uint32_t sizeAllocated, uint32_t* sizeWritten) {
    if (format == nullptr) {
        if (sizeWritten == nullptr) {
            return DSERR_INVALIDPARAM;
        }
        *sizeWritten = sizeof(WAVEFORMATEX);
        return DS_OK;
    }
    if (sizeAllocated < sizeof(WAVEFORMATEX)) {
        return DSERR_INVALIDPARAM;
    }
    *format = WAVEFORMATEX{WAVE_FORMAT_PCM, kChannels, kRate, kRate * kBlockAlign, kBlockAlign, kBits, 0};
    if (sizeWritten != nullptr) {
        *sizeWritten = sizeof(WAVEFORMATEX);
    }
    return DS_OK;
}

} // namespace veldora::sound
