// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/Int128.h"

namespace veldora::display {

namespace {

constexpr uint64_t kLow32 = 0xFFFFFFFFu;

uint64_t magnitude(int64_t v) {
    return v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
}

} // namespace

Int128 Int128::product(int64_t a, int64_t b) {
    // Schoolbook on 32-bit halves of the magnitudes; no partial sum overflows.
    const uint64_t x = magnitude(a), y = magnitude(b);
    const uint64_t x0 = x & kLow32, x1 = x >> 32, y0 = y & kLow32, y1 = y >> 32;
    const uint64_t p00 = x0 * y0, p01 = x0 * y1, p10 = x1 * y0, p11 = x1 * y1;
    const uint64_t mid = (p00 >> 32) + (p01 & kLow32) + (p10 & kLow32);
    const Int128 m(static_cast<int64_t>(p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32)),
                   (p00 & kLow32) | (mid << 32));
    return (a < 0) != (b < 0) ? -m : m;
}

Int128 operator+(Int128 a, Int128 b) {
    const uint64_t low = a.low_ + b.low_;
    const uint64_t carry = low < a.low_ ? 1 : 0;
    return {static_cast<int64_t>(static_cast<uint64_t>(a.high_) + static_cast<uint64_t>(b.high_) + carry),
            low};
}

Int128 operator-(Int128 a) {
    const uint64_t low = ~a.low_ + 1;
    return {static_cast<int64_t>(~static_cast<uint64_t>(a.high_) + (low == 0 ? 1 : 0)), low};
}

Int128 operator-(Int128 a, Int128 b) {
    return a + -b;
}

Int128 Int128::floorDiv(Int128 a, int64_t divisor) {
    const bool negative = a < Int128();
    const Int128 m = negative ? -a : a; // never the most negative value here
    const auto d = static_cast<uint64_t>(divisor);
    // Long division: the high half at once, then the low half bit by bit. The
    // remainder stays below d < 2^63, so shifting it left cannot overflow.
    const auto high = static_cast<uint64_t>(m.high_);
    uint64_t remainder = high % d;
    uint64_t low = 0;
    for (int bit = 63; bit >= 0; --bit) {
        remainder = (remainder << 1) | ((m.low_ >> bit) & 1);
        low <<= 1;
        if (remainder >= d) {
            remainder -= d;
            low |= 1;
        }
    }
    const Int128 q(static_cast<int64_t>(high / d), low);
    if (!negative)
        return q;
    return -(remainder != 0 ? q + 1 : q);
}

Int128 Int128::ceilDiv(Int128 a, int64_t divisor) {
    return -floorDiv(-a, divisor);
}

} // namespace veldora::display
