// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/service/PlaybackDevice.h"

#include "capture/service/DeviceList.h"
#include "capture/service/Guarded.h"
#include "capture/service/PcmOpen.h"
#include "capture/service/PrimaryBuffer.h"

namespace veldora::sound {
namespace {

// dwSize as the program fills it: 36, the 32-bit layout with the 3D algorithm GUID,
// or 20 without it; the record's own size in this build is accepted too.
bool knownDescSize(uint32_t size) {
    return size == 36 || size == 20 || size == sizeof(DSBUFFERDESC);
}

} // namespace

HRESULT PlaybackDevice::open(const GUID* guid, IDirectSound** sound) {
    const auto name = deviceNameFor(guid, SND_PCM_STREAM_PLAYBACK);
    if (!name || !openPcm(name->c_str(), SND_PCM_STREAM_PLAYBACK)) {
        return DSERR_NODRIVER; // the probe handle closes at once either way
    }
    *sound = createRefCounted<PlaybackDevice>();
    return DS_OK;
}

HRESULT PlaybackDevice::CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer,
                                          IUnknown* outer) {
    if (buffer == nullptr) {
        return DSERR_INVALIDPARAM;
    }
    *buffer = nullptr;
    if (desc == nullptr || !knownDescSize(desc->dwSize) || outer != nullptr) {
        return DSERR_INVALIDPARAM;
    }
    if ((desc->dwFlags & DSBCAPS_PRIMARYBUFFER) == 0) {
        return DSERR_UNSUPPORTED;
    }
    if (desc->dwBufferBytes != 0 || desc->lpwfxFormat != nullptr) {
        return DSERR_INVALIDPARAM;
    }
    return guarded([&] {
        *buffer = createRefCounted<PrimaryBuffer>(*this);
        return DS_OK;
    });
}

HRESULT PlaybackDevice::SetCooperativeLevel(uintptr_t, uint32_t level) {
    if (level < DSSCL_NORMAL || level > 4) {
        return DSERR_INVALIDPARAM;
    }
    level_.store(level, std::memory_order_relaxed);
    return DS_OK;
}

} // namespace veldora::sound
