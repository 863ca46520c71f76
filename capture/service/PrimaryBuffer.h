// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The primary playback buffer (IDirectSoundBuffer): reports a fixed output format,
// 44100 Hz, 16 bit, stereo, and a 100 ms buffer. Any thread may call.
#include "capture/ServiceRef.h"
#include "capture/SoundService.h"
#include "capture/service/RefCounted.h"

namespace veldora::sound {

class PlaybackDevice;

class PrimaryBuffer final : public RefCounted<IDirectSoundBuffer> {
  public:
    explicit PrimaryBuffer(PlaybackDevice& device);

    // DSERR_INVALIDPARAM unless caps is set with dwSize 20.
    HRESULT GetCaps(DSBCAPS* caps) override;
    // With format null: the size needed in *sizeWritten. Otherwise DSERR_INVALIDPARAM
    // when sizeAllocated is below 18.
    HRESULT GetFormat(WAVEFORMATEX* format, uint32_t sizeAllocated, uint32_t* sizeWritten) override;

  private:
    ServiceRef<PlaybackDevice> device_;
};

} // namespace veldora::sound
