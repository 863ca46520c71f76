// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/DirectSoundBuffer.h"

#include <algorithm>

#include "capture/DirectSound.h"

namespace veldora::capture {

namespace {
// A format block larger than this is not a wave format; it is not read.
constexpr uint32_t kMaxFormatBytes = 4096;
} // namespace

bool TDirectSoundBuffer::CreateBuffer(const sound::DSBUFFERDESC& desc) {
    buffer_.reset();
    result_ = device_.IDSound()->CreateSoundBuffer(&desc, buffer_.put(), nullptr);
    if (result_ != sound::DS_OK) {
        buffer_.reset();
        return false;
    }
    caps_ = sound::DSBCAPS{};
    caps_.dwSize = 20;
    buffer_->GetCaps(&caps_);
    uint32_t size = 0;
    buffer_->GetFormat(nullptr, 0, &size);
    format_.clear();
    if (size > 0 && size <= kMaxFormatBytes) {
        format_.assign(std::max<uint32_t>(size, sizeof(sound::WAVEFORMATEX)), 0);
        buffer_->GetFormat(reinterpret_cast<sound::WAVEFORMATEX*>(format_.data()), size, nullptr);
    }
    return true;
}

} // namespace veldora::capture
