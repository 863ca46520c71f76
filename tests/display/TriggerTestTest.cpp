// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/TriggerTest.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

using namespace veldora::display;

namespace {

struct Case {
    TriggerButton button;
    int32_t y0, y1; // relative to the level
    bool passes;
};

TEST(TriggerTest, LevelIsTheZeroLineOfTheVerticalPosition) {
    EXPECT_EQ(triggerLevel(100), 160);
    EXPECT_EQ(triggerLevel(0), 60);
    EXPECT_EQ(triggerLevel(200), 260);
}

TEST(TriggerTest, MinusAndPlusWantBothPointsOnTheirSideAndTheFirstWithinFive) {
    using enum TriggerButton;
    const Case cases[] = {
        {Minus, +5, 0, true},  {Minus, +6, 0, false},  {Minus, 0, -1, false}, {Minus, -1, 0, false},
        {Minus, 0, 0, true},   {Minus, 0, +900, true}, {Minus, +5, +5, true}, {Plus, -5, 0, true},
        {Plus, -5, -40, true}, {Plus, -6, 0, false},   {Plus, -5, +1, false}, {Plus, +1, 0, false},
        {Plus, 0, 0, true},
    };
    for (int32_t level : {60, 160, 260}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "button " << int(c.button) << " y0 " << c.y0 << " y1 " << c.y1
                                            << " level " << level);
            EXPECT_EQ(triggerPasses(c.button, level, level + c.y0, level + c.y1), c.passes);
        }
    }
}

TEST(TriggerTest, AutoPassesWhateverTheTrace) {
    constexpr int32_t lo = std::numeric_limits<int32_t>::min(), hi = std::numeric_limits<int32_t>::max();
    EXPECT_TRUE(triggerPasses(TriggerButton::Auto, 160, lo, hi));
    EXPECT_TRUE(triggerPasses(TriggerButton::Auto, 160, 5000, -5000));
    // The fresh arrays at start-up, (10, 160) twice, pass "-" at the centre position too.
    EXPECT_TRUE(triggerPasses(TriggerButton::Minus, triggerLevel(100), 160, 160));
}

TEST(TriggerTest, ValuesFromALoadedFileDoNotOverflowTheDistance) {
    constexpr int32_t lo = std::numeric_limits<int32_t>::min(), hi = std::numeric_limits<int32_t>::max();
    EXPECT_FALSE(triggerPasses(TriggerButton::Plus, 260, lo, lo));
    EXPECT_FALSE(triggerPasses(TriggerButton::Minus, 60, hi, hi));
}

} // namespace
