// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/DirectSound.h"

#include <algorithm>

#include "capture/CaptureErrors.h"
#include "capture/DirectSoundBuffer.h"
#include "capture/SoundLibrary.h"

namespace veldora::capture {

TDirectSound::TDirectSound(const sound::GUID* guid) {
    result_ = DirectSoundCreate(guid, sound_.put(), nullptr);
    if (result_ != sound::DS_OK) {
        sound_.reset(); // a failing service may still have handed something out
        throw EDirectSoundError("DirectSound cannot be initialized");
    }
}

TDirectSound::~TDirectSound() {
    while (!buffers_.empty()) {
        buffers_.pop_back();
    }
    sound_.reset();
}

void TDirectSound::SetCooperativeLevel(uintptr_t window, uint32_t level) {
    result_ = sound_->SetCooperativeLevel(window, level);
}

TDirectSoundBuffer& TDirectSound::AddBuffer() {
    buffers_.push_back(std::make_unique<TDirectSoundBuffer>(*this));
    return *buffers_.back();
}

void TDirectSound::FreeBuffer(TDirectSoundBuffer& buffer) {
    const auto it =
        std::find_if(buffers_.begin(), buffers_.end(), [&](const auto& b) { return b.get() == &buffer; });
    if (it != buffers_.end()) {
        buffers_.erase(it);
    }
}

} // namespace veldora::capture
