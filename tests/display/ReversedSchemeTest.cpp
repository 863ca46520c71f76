// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ReversedScheme.h"

#include <gtest/gtest.h>

using namespace veldora::display;

namespace {

TEST(ReversedScheme, MapsTheThreeScreenColoursAndKeepsOthers) {
    Bitmap picture(5, 2, 0x000000);
    picture.setPixel(1, 0, 0x009600); // grid
    picture.setPixel(2, 0, 0x00FF00); // labels
    picture.setPixel(3, 0, 0x123456); // anything else, a merged blue trace say
    picture.setPixel(4, 1, 0xFFFFFF); // a white trace stays white
    const Bitmap reversed = reversedScheme(picture);
    ASSERT_EQ(reversed.width(), 5);
    ASSERT_EQ(reversed.height(), 2);
    EXPECT_EQ(reversed.pixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(reversed.pixel(1, 0), 0xA0A0A0u);
    EXPECT_EQ(reversed.pixel(2, 0), 0x000000u);
    EXPECT_EQ(reversed.pixel(3, 0), 0x123456u);
    EXPECT_EQ(reversed.pixel(4, 1), 0xFFFFFFu);
    EXPECT_EQ(reversed.pixel(0, 1), 0xFFFFFFu);
    EXPECT_TRUE(reversedScheme(Bitmap()).empty());
}

} // namespace
