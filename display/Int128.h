// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A signed 128-bit integer with just what line clipping needs: exact products of two
// 64-bit values, sums, comparisons, and division rounded down or up by a positive
// 64-bit divisor. Written out in 64-bit halves because GCC has no 128-bit integer type
// on 32-bit targets. Pure; any thread.
#include <compare>
#include <cstdint>

namespace veldora::display {

class Int128 {
  public:
    // Implicit on purpose: 64-bit values mix freely into the arithmetic.
    constexpr Int128(int64_t value = 0) : high_(value < 0 ? -1 : 0), low_(static_cast<uint64_t>(value)) {}

    static Int128 product(int64_t a, int64_t b);

    // a / divisor, rounded towards minus or plus infinity; divisor in [1, 2^63).
    static Int128 floorDiv(Int128 a, int64_t divisor);
    static Int128 ceilDiv(Int128 a, int64_t divisor);

    friend Int128 operator+(Int128 a, Int128 b);
    friend Int128 operator-(Int128 a, Int128 b);
    friend Int128 operator-(Int128 a);
    // high_ before low_: member-wise order is the two's-complement order.
    friend constexpr auto operator<=>(const Int128&, const Int128&) = default;

    // The value, which the caller knows fits in 64 bits.
    int64_t toInt64() const { return static_cast<int64_t>(low_); }
    int64_t high() const { return high_; }
    uint64_t low() const { return low_; }

  private:
    constexpr Int128(int64_t high, uint64_t low) : high_(high), low_(low) {}

    int64_t high_;
    uint64_t low_;
};

} // namespace veldora::display
