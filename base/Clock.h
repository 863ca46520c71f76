// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The millisecond clock: an unsigned 32-bit count from a monotonic clock that wraps
// to 0 after 2^32 ms. Tests inject their own.
#include <cstdint>
#include <functional>

namespace veldora::base {

using MillisecondClock = std::function<uint32_t()>;

uint32_t timeGetTime();

} // namespace veldora::base
