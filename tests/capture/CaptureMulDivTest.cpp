// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <climits>

#include "base/MulDiv.h"

using namespace veldora::base;

struct MulDivCase {
    int32_t a, b, c, expected;
};

TEST(CaptureMulDiv, RoundsHalvesAwayFromZeroAndFlagsOverflow) {
    const MulDivCase cases[] = {
        {176400, 1024, 1000, 180634}, // 180633.6: the ring of 44100 Hz 16-bit stereo at 1024 ms
        {96000, 1024, 1000, 98304},
        {8000, 1024, 1000, 8192},
        {8000, 1000, 1000, 8000},
        {5, 1, 2, 3},   // 2.5 rounds up
        {-5, 1, 2, -3}, // -2.5 rounds away from zero
        {7, 1, -2, -4}, // negative divisor
        {-7, -1, 2, 4},
        {1, 1, 3, 0},                                 // 0.33 rounds down
        {2, 1, 3, 1},                                 // 0.67 rounds up
        {1, 1, 0, -1},                                // division by zero
        {INT32_MAX, 2, 1, -1},                        // does not fit
        {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX}, // fits through the 64-bit intermediate
        {INT32_MIN, 1, 1, INT32_MIN},
        {INT32_MIN, -1, 1, -1}, // +2^31 does not fit
    };
    for (const MulDivCase& c : cases)
        EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.a << " * " << c.b << " / " << c.c;
}
