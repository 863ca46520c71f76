// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The playback device (IDirectSound). Nothing is played: the device is opened once to
// prove it exists and closed again; the object only answers for its primary buffer
// and keeps the cooperative level. Any thread may call.
#include "capture/SoundService.h"
#include "capture/service/RefCounted.h"

#include <atomic>

namespace veldora::sound {

class PlaybackDevice final : public RefCounted<IDirectSound> {
  public:
    // DSERR_NODRIVER when no listed playback device has the GUID (null: ALSA's
    // "default") or ALSA cannot open it.
    static HRESULT open(const GUID* guid, IDirectSound** sound);

    // Only a primary buffer (DSBCAPS_PRIMARYBUFFER, no size, no format) is made;
    // DSERR_UNSUPPORTED for any other buffer, DSERR_INVALIDPARAM for a malformed record.
    HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer,
                              IUnknown* outer) override;
    // Stores the level (DSSCL_NORMAL .. 4); DSERR_INVALIDPARAM for any other value.
    HRESULT SetCooperativeLevel(uintptr_t window, uint32_t level) override;

    uint32_t cooperativeLevel() const { return level_.load(std::memory_order_relaxed); }

  private:
    std::atomic<uint32_t> level_{0};
};

} // namespace veldora::sound
