// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The sound side's failures (see base/Errors.h for the common base).
#include "base/Errors.h"

namespace veldora::capture {

VELDORA_ERROR_CLASS(EDirectXError, base::Exception) // "Necessary since DirectX 5"
VELDORA_ERROR_CLASS(EWaveStreamError, base::Exception)
VELDORA_ERROR_CLASS(ESoundCaptureStreamError, EWaveStreamError)
VELDORA_ERROR_CLASS(EDirectSoundError, EDirectXError)
VELDORA_ERROR_CLASS(EDXSoundError, base::Exception)

} // namespace veldora::capture
