// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The base of the sound-service wrappers. Qt-free; main thread only.
#include "capture/SoundService.h"

namespace veldora::capture {

// Keeps the result code of the last sound-service call.
class TDirectX {
  public:
    virtual ~TDirectX() = default;
    sound::HRESULT DXResult() const { return result_; }

  protected:
    sound::HRESULT result_ = sound::DS_OK;
};

} // namespace veldora::capture
