// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The canvas's wide arithmetic, checked by exact values on every target and, where
// the compiler has a native 128-bit type, against it as well.
#include "display/Int128.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

using veldora::display::Int128;

namespace {

constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

struct Halves {
    int64_t high;
    uint64_t low;
};

void expectHalves(const Int128& v, Halves h) {
    EXPECT_EQ(v.high(), h.high);
    EXPECT_EQ(v.low(), h.low);
}

} // namespace

TEST(Int128, ProductsSumsAndOrderAreExact) {
    struct Case {
        int64_t a, b;
        Halves product;
    };
    const std::vector<Case> cases = {
        {kMin, kMin, {int64_t{1} << 62, 0}},
        {kMax, kMax, {(int64_t{1} << 62) - 1, 1}},
        {kMin, kMax, {-(int64_t{1} << 62), uint64_t{1} << 63}},
        {0xFFFFFFFF, 0xFFFFFFFF, {0, 0xFFFFFFFE00000001u}},
        {-1, 1, {-1, ~uint64_t{0}}},
        {0, kMin, {0, 0}},
        {-(int64_t{1} << 33), (int64_t{1} << 32) + 5, {-3, 0xFFFFFFF600000000u}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.a << " * " << c.b);
        expectHalves(Int128::product(c.a, c.b), c.product);
        expectHalves(Int128::product(c.b, c.a), c.product);
    }
    // Carries and borrows across the halves.
    expectHalves(Int128(kMax) + 1, {0, uint64_t{1} << 63});
    expectHalves(Int128(0) - 1, {-1, ~uint64_t{0}});
    expectHalves(Int128::product(kMin, 2) + Int128::product(kMax, 2) + 2, {0, 0});
    expectHalves(-Int128(kMin), {0, uint64_t{1} << 63});
    EXPECT_LT(Int128(-1), Int128(0));
    EXPECT_LT(Int128(kMax), Int128::product(int64_t{1} << 32, int64_t{1} << 32));
    EXPECT_LT(Int128::product(kMin, 4), Int128(kMin));
    EXPECT_EQ(Int128(-5), Int128::product(5, -1));
}

TEST(Int128, DivisionRoundsDownOrUp) {
    struct Case {
        Int128 dividend;
        int64_t divisor;
        Halves floor, ceil;
    };
    const std::vector<Case> cases = {
        {7, 2, {0, 3}, {0, 4}},
        {-7, 2, {-1, ~uint64_t{3}}, {-1, ~uint64_t{2}}},
        {-8, 2, {-1, ~uint64_t{3}}, {-1, ~uint64_t{3}}},
        {0, 5, {0, 0}, {0, 0}},
        {Int128::product(int64_t{1} << 40, int64_t{1} << 40),
         3,
         {0x5555, 0x5555555555555555u},
         {0x5555, 0x5555555555555556u}},
        {Int128::product(-(int64_t{1} << 40), int64_t{1} << 40),
         3,
         {-0x5556, 0xAAAAAAAAAAAAAAAAu},
         {-0x5556, 0xAAAAAAAAAAAAAAABu}},
        {Int128::product(kMax, kMax), kMax, {0, uint64_t{kMax}}, {0, uint64_t{kMax}}},
        {Int128::product(kMin, 2), kMax, {-1, ~uint64_t{2}}, {-1, ~uint64_t{1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.dividend.high() << ":" << c.dividend.low() << " / " << c.divisor);
        expectHalves(Int128::floorDiv(c.dividend, c.divisor), c.floor);
        expectHalves(Int128::ceilDiv(c.dividend, c.divisor), c.ceil);
    }
}

#ifdef __SIZEOF_INT128__
TEST(Int128, AgreesWithTheCompilersOwnType) {
    using Native = __int128;
    const auto same = [](const Int128& v, Native n) {
        return v.high() == static_cast<int64_t>(n >> 64) && v.low() == static_cast<uint64_t>(n);
    };
    std::mt19937_64 rng(20261209);
    for (int n = 0; n < 20000; ++n) {
        // Mixed magnitudes: from a few bits up to the full 64.
        const auto value = [&] { return static_cast<int64_t>(rng()) >> (rng() % 64); };
        const int64_t a = value(), b = value();
        const int64_t divisor = std::max<int64_t>(1, static_cast<int64_t>(rng() >> 1) >> (rng() % 63));
        const Native p = Native(a) * b;
        ASSERT_TRUE(same(Int128::product(a, b), p)) << a << " * " << b;
        ASSERT_TRUE(same(Int128::product(a, b) - Int128(b) + 1, p - b + 1)) << a << " * " << b;
        Native floor = p / divisor;
        if (p % divisor != 0 && p < 0)
            --floor;
        const Native ceil = (p % divisor != 0 && p > 0) ? p / divisor + 1 : p / divisor;
        ASSERT_TRUE(same(Int128::floorDiv(Int128::product(a, b), divisor), floor))
            << a << " * " << b << " / " << divisor;
        ASSERT_TRUE(same(Int128::ceilDiv(Int128::product(a, b), divisor), ceil))
            << a << " * " << b << " / " << divisor;
    }
}
#endif
