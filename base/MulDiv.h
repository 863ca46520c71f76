// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
#include <cstdint>

namespace veldora::base {

// a * b / c through a 64-bit intermediate, rounded to the nearest integer with
// halves away from zero; -1 when c is 0 or the result does not fit in 32 bits.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);

} // namespace veldora::base
