// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// No exception may leave the service: every entry point and every interface method
// that can allocate runs its body through guarded(), which turns exceptions into
// result codes.
#include "capture/SoundService.h"

#include <new>

namespace veldora::sound {

template <class Body> HRESULT guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return DSERR_OUTOFMEMORY;
    } catch (...) {
        return DSERR_GENERIC;
    }
}

} // namespace veldora::sound
