// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A buffer on a playback device: created from a description, with its caps and
// format read back. Qt-free; main thread only.
#include <cstdint>
#include <vector>

#include "capture/DirectX.h"
#include "capture/ServiceRef.h"
#include "capture/SoundService.h"

namespace veldora::capture {

class TDirectSound;

// Made by TDirectSound::AddBuffer and owned by that device.
class TDirectSoundBuffer : public TDirectX {
  public:
    explicit TDirectSoundBuffer(TDirectSound& device) : device_(device) {}
    TDirectSoundBuffer(const TDirectSoundBuffer&) = delete;
    TDirectSoundBuffer& operator=(const TDirectSoundBuffer&) = delete;

    // Creates the buffer; on success reads its caps and format, ignoring their results.
    bool CreateBuffer(const sound::DSBUFFERDESC& desc);
    sound::IDirectSoundBuffer* IBuffer() const { return buffer_.get(); }
    const sound::DSBCAPS& Caps() const { return caps_; }
    const std::vector<uint8_t>& Format() const { return format_; } // the raw WAVEFORMATEX block

  private:
    TDirectSound& device_;
    sound::ServiceRef<sound::IDirectSoundBuffer> buffer_;
    sound::DSBCAPS caps_{};
    std::vector<uint8_t> format_;
};

} // namespace veldora::capture
