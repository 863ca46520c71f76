// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/Graticule.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

using namespace veldora::display;

namespace {

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kGrid = 0x009600;  // pixel 0x00RRGGBB of RGB 0, 150, 0
constexpr uint32_t kLabel = 0x00FF00; // RGB 0, 255, 0

struct Box {
    std::string text;
    int left, top, right, bottom; // inclusive, clipped to the picture
};

const std::vector<Box>& labelBoxes() {
    static const std::vector<Box> boxes = {
        {"2.00", 13, 15, 32, 22},          {"V", 13, 52, 19, 59},        {"1.00", 13, 89, 32, 96},
        {"0.00", 13, 163, 32, 170},        {"-1.00", 13, 237, 36, 244},  {"0.00 bottom", 0, 313, 18, 320},
        {"2.00 bottom", 53, 313, 72, 320}, {"4.00", 107, 313, 126, 320}, {"6.00", 161, 313, 180, 320},
        {"8.00", 215, 313, 234, 320},      {"ms", 246, 315, 258, 320},   {"10.00", 266, 313, 290, 320},
    };
    return boxes;
}

bool inBox(const Box& b, int x, int y) {
    return x >= b.left && x <= b.right && y >= b.top && y <= b.bottom;
}
bool inAnyLabel(int x, int y) {
    for (const Box& b : labelBoxes())
        if (inBox(b, x, y))
            return true;
    return false;
}
bool onMarker(int x, int y) {
    return y == 160 && x >= 7 && x <= 15;
}

// Grid and ticks, from the stated geometry.
bool onGrid(int x, int y) {
    const bool vertical = x >= 10 && x <= 280 && (x - 10) % 27 == 0 && y >= 12 && y <= 308;
    const bool horizontal = y >= 12 && y <= 308 && (y - 12) % 37 == 0 && x >= 10 && x <= 280;
    bool tick = false;
    for (int k = 0; k <= 50; ++k)
        tick = tick || (x == 10 + 27 * k / 5 && y >= 157 && y <= 162);
    for (int k = 0; k <= 40; ++k)
        tick = tick || (y == 12 + 37 * k / 5 && x >= 142 && x <= 147);
    return vertical || horizontal || tick;
}

class GraticuleTest : public testing::Test {
  protected:
    const Bitmap picture = makeGraticule();
};

TEST_F(GraticuleTest, IsTheScreenSize) {
    EXPECT_EQ(picture.width(), 291);
    EXPECT_EQ(picture.height(), 330);
}

TEST_F(GraticuleTest, EveryPixelOutsideTheLabelsIsFieldGridOrMarker) {
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            if (inAnyLabel(x, y)) {
                ASSERT_FALSE(onGrid(x, y)) << "a label box meets the grid at " << x << "," << y;
                ASSERT_TRUE(picture.pixel(x, y) == kLabel || picture.pixel(x, y) == kBlack) << x << "," << y;
                continue;
            }
            const uint32_t expected = onMarker(x, y) ? kLabel : onGrid(x, y) ? kGrid : kBlack;
            ASSERT_EQ(picture.pixel(x, y), expected) << "at " << x << "," << y;
        }
}

TEST_F(GraticuleTest, GridLinesTicksAndMarkerAtTheirListedPlaces) {
    for (int x : {10, 37, 64, 91, 118, 145, 172, 199, 226, 253, 280}) {
        EXPECT_EQ(picture.pixel(x, 12), kGrid);
        EXPECT_EQ(picture.pixel(x, 200), kGrid);
        EXPECT_EQ(picture.pixel(x, 308), kGrid);
        EXPECT_EQ(picture.pixel(x, 11), kBlack);
        EXPECT_EQ(picture.pixel(x, 309), kBlack);
    }
    for (int y : {12, 49, 86, 123, 160, 197, 234, 271, 308}) {
        EXPECT_EQ(picture.pixel(10, y), y == 160 ? kLabel : kGrid); // the marker lies over it
        EXPECT_EQ(picture.pixel(280, y), kGrid);
        EXPECT_EQ(picture.pixel(9, y), y == 160 ? kLabel : kBlack); // the marker reaches x = 7
        EXPECT_EQ(picture.pixel(281, y), kBlack);
    }
    for (int x : {10, 15, 20, 26, 31, 37}) { // first ticks on y = 160
        EXPECT_EQ(picture.pixel(x, 157), kGrid);
        EXPECT_EQ(picture.pixel(x, 162), kGrid);
        EXPECT_EQ(picture.pixel(x, 156), x == 10 || x == 37 ? kGrid : kBlack);
    }
    EXPECT_EQ(picture.pixel(21, 157), kBlack);
    for (int y : {12, 19, 26, 34, 41, 49}) { // first ticks on x = 145
        EXPECT_EQ(picture.pixel(142, y), kGrid);
        EXPECT_EQ(picture.pixel(147, y), kGrid);
        EXPECT_EQ(picture.pixel(141, y), y == 12 || y == 49 ? kGrid : kBlack);
        EXPECT_EQ(picture.pixel(148, y), y == 12 || y == 49 ? kGrid : kBlack);
    }
    for (int x = 7; x <= 15; ++x)
        EXPECT_EQ(picture.pixel(x, 160), kLabel);
    EXPECT_EQ(picture.pixel(6, 160), kBlack);
    EXPECT_EQ(picture.pixel(16, 160), kGrid); // the centre line goes on past the marker
}

TEST_F(GraticuleTest, EachLabelCoversExactlyItsListedExtent) {
    for (const Box& b : labelBoxes()) {
        SCOPED_TRACE(b.text);
        int minX = 1000, maxX = -1, minY = 1000, maxY = -1;
        // Search a margin around the box: no label ink may spill past it.
        for (int y = b.top - 3; y <= b.bottom + 3; ++y)
            for (int x = b.left - 3; x <= b.right + 3; ++x)
                if (picture.contains(x, y) && !onMarker(x, y) && picture.pixel(x, y) == kLabel) {
                    minX = std::min(minX, x);
                    maxX = std::max(maxX, x);
                    minY = std::min(minY, y);
                    maxY = std::max(maxY, y);
                }
        EXPECT_EQ(minX, b.left);
        EXPECT_EQ(maxX, b.right);
        EXPECT_EQ(minY, b.top);
        EXPECT_EQ(maxY, b.bottom);
    }
}

// The ink of a w x 8 patch as text rows, to compare glyph runs between labels.
std::vector<std::string> patch(const Bitmap& p, int left, int top, int w) {
    std::vector<std::string> rows;
    for (int y = top; y < top + 8; ++y) {
        std::string row;
        for (int x = left; x < left + w; ++x)
            row += p.pixel(x, y) == kLabel ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

TEST_F(GraticuleTest, LabelsAreSeparateGlyphsAndTheSameTextLooksTheSame) {
    // Left "2.00" against bottom "2.00", and the shared ".00" of every bottom value.
    EXPECT_EQ(patch(picture, 13, 15, 20), patch(picture, 53, 313, 20));
    for (int left : {107, 161, 215})
        EXPECT_EQ(patch(picture, 13 + 5, 15, 15), patch(picture, left + 5, 313, 15));
    // Bottom "0.00" starts one column left of the picture.
    EXPECT_EQ(patch(picture, 14, 163, 19), patch(picture, 0, 313, 19));
    // "-1.00" is a minus and a gap before "1.00"; "10.00" starts with the same "1".
    EXPECT_EQ(patch(picture, 13, 89, 20), patch(picture, 17, 237, 20));
    EXPECT_EQ(patch(picture, 13, 89, 5), patch(picture, 266, 313, 5));
    // Gaps between the characters of "2.00" (digit, gap, dot, gap, digit, gap, digit).
    for (int x : {18, 21, 27})
        for (int y = 15; y <= 22; ++y)
            EXPECT_NE(picture.pixel(x, y), kLabel) << "column " << x;
    // And the glyphs are not solid blocks.
    int ink = 0;
    for (const std::string& row : patch(picture, 13, 15, 20))
        for (char c : row)
            ink += c == '#';
    EXPECT_GT(ink, 30);
    EXPECT_LT(ink, 100);
}

TEST_F(GraticuleTest, ChecksumPinsTheWholePicture) {
    uint64_t hash = 1469598103934665603ull; // FNV-1a over the pixels' little-endian bytes
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            for (int b = 0; b < 4; ++b) {
                hash ^= (picture.pixel(x, y) >> (8 * b)) & 0xFFu;
                hash *= 1099511628211ull;
            }
    EXPECT_EQ(hash, 0xf91dfdd84bf29195ull) << std::hex << hash;
}

} // namespace
