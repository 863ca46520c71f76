// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The capture thread's idle wait, half a period, for any period ALSA may grant.
#include "capture/service/PcmSetup.h"

#include <gtest/gtest.h>

#include <vector>

using veldora::sound::halfPeriod;

TEST(ServiceAlsaPeriod, HalfAPeriodIsExactForPeriodsOfEverySize) {
    struct Case {
        uint64_t frames;
        unsigned rate;
        int64_t microseconds;
    };
    const std::vector<Case> cases = {
        {480, 48000, 5000},                           // the usual 10 ms
        {16, 8000, 1000},       {8589, 8000, 536812}, // 500000 * frames still fits in 32 bits
        {8590, 8000, 536875},                         // no longer does
        {10000, 8000, 625000},                        // 88129 if the product wrapped at 32 bits
        {96000, 96000, 500000}, {0xFFFFFFFF, 192000, 11184810664},
    };
    for (const Case& c : cases)
        EXPECT_EQ(halfPeriod(c.frames, c.rate).count(), c.microseconds)
            << c.frames << " frames at " << c.rate;
    // The worker passes ALSA's own frame count, whatever its width.
    EXPECT_EQ(halfPeriod(snd_pcm_uframes_t{10000}, 8000).count(), 625000);
}
