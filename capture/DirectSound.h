// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A playback device of the sound service, with the buffers made on it. Nothing is
// played. Qt-free; main thread only.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "capture/DirectX.h"
#include "capture/ServiceRef.h"
#include "capture/SoundService.h"

namespace veldora::capture {

class TDirectSoundBuffer;

// A playback device. Owns its buffers: destroying it frees the remaining buffers, last
// made first, then releases the device.
class TDirectSound : public TDirectX {
  public:
    // Opens the device (`guid` null: the default). Raises Exception "%s not loaded"
    // when the library is missing, EDirectSoundError "DirectSound cannot be
    // initialized" when the service refuses.
    explicit TDirectSound(const sound::GUID* guid);
    ~TDirectSound() override;
    TDirectSound(const TDirectSound&) = delete;
    TDirectSound& operator=(const TDirectSound&) = delete;

    sound::IDirectSound* IDSound() const { return sound_.get(); }
    // Stores the result code; the caller does not act on it.
    void SetCooperativeLevel(uintptr_t window, uint32_t level);

    // A new, empty buffer registered with this device.
    TDirectSoundBuffer& AddBuffer();
    // Frees a buffer of this device (releasing its interface).
    void FreeBuffer(TDirectSoundBuffer& buffer);
    size_t BufferCount() const { return buffers_.size(); }

    bool GlobalFocus = false;
    bool StickyFocus = false;

  private:
    sound::ServiceRef<sound::IDirectSound> sound_;
    std::vector<std::unique_ptr<TDirectSoundBuffer>> buffers_;
};

} // namespace veldora::capture
