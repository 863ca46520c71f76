// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/Canvas.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <utility>
#include <vector>

using namespace veldora::display;

namespace {

using Pixel = std::pair<int, int>; // (x, y)
using PixelSet = std::set<Pixel>;

constexpr Colour kInk{0x123456};

PixelSet inked(const Bitmap& picture) {
    PixelSet set;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.pixel(x, y) != 0)
                set.insert({x, y});
    return set;
}

PixelSet drawLine(int w, int h, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    Bitmap picture(w, h, 0);
    Canvas canvas(picture);
    canvas.setPenColour(kInk);
    canvas.MoveTo(x0, y0);
    canvas.LineTo(x1, y1);
    return inked(picture);
}

// |off*D - k*dv| (D > 0, k >= 0) for off within 2 of k*dv/D, exactly in 64 bits. With
// 32-bit coordinates D, k, |dv| and |off| stay below 2^32 + 2, so each product's
// magnitude is below 2^64; when the signs differ their sum is below 5D.
uint64_t distance(int64_t off, int64_t D, int64_t k, int64_t dv) {
    const uint64_t a = static_cast<uint64_t>(off < 0 ? -off : off) * static_cast<uint64_t>(D);
    const uint64_t b = static_cast<uint64_t>(k) * static_cast<uint64_t>(dv < 0 ? -dv : dv);
    if ((off < 0) != (dv < 0))
        return a + b;
    return a > b ? a - b : b - a;
}

// The pixels the line should paint inside a w x h picture, found by search: for
// each step along the major axis (start included, end excluded), the minor
// coordinate nearest the ideal line, the smaller one on a tie. Visits only the
// major coordinates inside the picture, so far-away end points are cheap. No
// arithmetic wider than 64 bits, so it checks the canvas on every target.
PixelSet reference(int w, int h, int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    PixelSet set;
    const int64_t dx = x1 - x0, dy = y1 - y0;
    const bool xMajor = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
    const int64_t du = xMajor ? dx : dy, dv = xMajor ? dy : dx;
    const int64_t u0 = xMajor ? x0 : y0, v0 = xMajor ? y0 : x0;
    const int64_t D = du < 0 ? -du : du;
    if (D == 0)
        return set;
    const int uSize = xMajor ? w : h;
    for (int u = 0; u < uSize; ++u) {
        const int64_t k = du > 0 ? u - u0 : u0 - u;
        if (k < 0 || k >= D)
            continue;
        // Ideal minor offset is k*dv/D (truncated here); compare candidates by distance.
        const uint64_t along = static_cast<uint64_t>(k) * static_cast<uint64_t>(dv < 0 ? -dv : dv);
        const auto quotient = static_cast<int64_t>(along / static_cast<uint64_t>(D));
        const int64_t guess = dv < 0 ? -quotient : quotient;
        int64_t best = 0;
        uint64_t bestErr = std::numeric_limits<uint64_t>::max();
        for (int64_t off = guess - 2; off <= guess + 2; ++off) {
            const uint64_t err = distance(off, D, k, dv);
            if (err < bestErr) { // ascending order: ties keep the smaller
                bestErr = err;
                best = off;
            }
        }
        const int64_t v = v0 + best;
        const int64_t x = xMajor ? u : v, y = xMajor ? v : u;
        if (x >= 0 && x < w && y >= 0 && y < h)
            set.insert({static_cast<int>(x), static_cast<int>(y)});
    }
    return set;
}

struct HandCase {
    const char* name;
    int x0, y0, x1, y1;
    PixelSet pixels;
};

TEST(Canvas, HandDrawnLinesPaintExactlyTheseUpToButNotIncludingTheEnd) {
    const std::vector<HandCase> cases = {
        {"horizontal right", 2, 3, 6, 3, {{2, 3}, {3, 3}, {4, 3}, {5, 3}}},
        {"horizontal left", 6, 3, 2, 3, {{6, 3}, {5, 3}, {4, 3}, {3, 3}}},
        {"vertical down", 4, 1, 4, 5, {{4, 1}, {4, 2}, {4, 3}, {4, 4}}},
        {"vertical up", 4, 5, 4, 1, {{4, 5}, {4, 4}, {4, 3}, {4, 2}}},
        {"diagonal", 1, 1, 4, 4, {{1, 1}, {2, 2}, {3, 3}}},
        {"anti-diagonal", 4, 1, 1, 4, {{4, 1}, {3, 2}, {2, 3}}},
        // Ideal y at x = 2 is 0.5: the tie goes up, to y = 0.
        {"shallow with tie", 0, 0, 4, 1, {{0, 0}, {1, 0}, {2, 0}, {3, 1}}},
        {"shallow reversed", 4, 1, 0, 0, {{4, 1}, {3, 1}, {2, 0}, {1, 0}}},
        {"shallow 1:3", 0, 0, 6, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 2}}},
        // Ideal x at y = 1 is 0.5: the tie goes left, to x = 0.
        {"steep with tie", 0, 0, 1, 2, {{0, 0}, {0, 1}}},
        {"steep", 0, 0, 1, 4, {{0, 0}, {0, 1}, {0, 2}, {1, 3}}},
        {"steep up-left", 3, 6, 1, 0, {{3, 6}, {3, 5}, {2, 4}, {2, 3}, {2, 2}, {1, 1}}},
        {"one step", 5, 5, 6, 5, {{5, 5}}},
        {"zero length", 5, 5, 5, 5, {}},
    };
    for (const HandCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(drawLine(10, 10, c.x0, c.y0, c.x1, c.y1), c.pixels);
        EXPECT_EQ(reference(10, 10, c.x0, c.y0, c.x1, c.y1), c.pixels) << "reference disagrees";
    }
}

TEST(Canvas, PenColourIsGivenAsBgrAndStoredAsRgbPixel) {
    Bitmap picture(4, 1, 0);
    Canvas canvas(picture);
    canvas.setPenColour(Colour{0xFF0000}); // blue
    EXPECT_EQ(canvas.penColour(), Colour{0xFF0000});
    canvas.LineTo(2, 0);
    EXPECT_EQ(picture.pixel(0, 0), 0x0000FFu);
    EXPECT_EQ(picture.pixel(1, 0), 0x0000FFu);
    EXPECT_EQ(picture.pixel(2, 0), 0u);
}

TEST(Canvas, LineToMakesTheEndPointCurrentAndAPolylinePaintsEachVertexOnce) {
    Bitmap picture(8, 8, 0);
    Canvas canvas(picture);
    canvas.setPenColour(kInk);
    canvas.MoveTo(1, 1);
    canvas.LineTo(5, 1);
    EXPECT_EQ(canvas.penX(), 5);
    EXPECT_EQ(canvas.penY(), 1);
    canvas.LineTo(5, 4);
    canvas.LineTo(1, 4);
    canvas.LineTo(1, 1); // closes the rectangle: (1, 1) was painted by the first segment
    const PixelSet rectangle = {{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {5, 2}, {5, 3},
                                {5, 4}, {4, 4}, {3, 4}, {2, 4}, {1, 4}, {1, 3}, {1, 2}};
    EXPECT_EQ(inked(picture), rectangle);

    canvas.LineTo(-100, 9000); // leaves the picture; still becomes current
    EXPECT_EQ(canvas.penX(), -100);
    EXPECT_EQ(canvas.penY(), 9000);
    PixelSet withTail = rectangle;
    const PixelSet tail = reference(8, 8, 1, 1, -100, 9000);
    withTail.insert(tail.begin(), tail.end());
    EXPECT_EQ(inked(picture), withTail);
    EXPECT_GT(withTail.size(), rectangle.size());
}

TEST(Canvas, ClippedLinesPaintTheUnclippedLinesPixelsInsideThePicture) {
    std::mt19937 rng(20261207);
    struct Range {
        int64_t lo, hi;
    };
    const std::vector<Range> ranges = {
        {-40, 60}, {-6000, 6000}, {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()}};
    constexpr int kW = 23, kH = 17;
    for (const Range& r : ranges) {
        std::uniform_int_distribution<int64_t> coord(r.lo, r.hi);
        std::uniform_int_distribution<int64_t> near(-5, 27);
        for (int n = 0; n < 3000; ++n) {
            // Half the lines get one end near the picture so that many of them cross it.
            int64_t x0 = n % 2 ? near(rng) : coord(rng), y0 = n % 2 ? near(rng) : coord(rng);
            int64_t x1 = coord(rng), y1 = coord(rng);
            // Every fourth starts far away and ends near: clipping then works from a
            // distant start, where its products outgrow 64 bits.
            if (n % 4 == 3) {
                std::swap(x0, x1);
                std::swap(y0, y1);
            }
            const PixelSet got = drawLine(kW, kH, int32_t(x0), int32_t(y0), int32_t(x1), int32_t(y1));
            ASSERT_EQ(got, reference(kW, kH, x0, y0, x1, y1))
                << "line (" << x0 << "," << y0 << ") -> (" << x1 << "," << y1 << ")";
        }
    }
}

TEST(Canvas, ClippingMatchesTheSameLineDrawnOnALargerPicture) {
    // The 291 x 330 screen against a 1291 x 1330 picture with the screen at offset (500, 500).
    const std::vector<std::array<int32_t, 4>> lines = {
        {10, 160, 200, 2000},   {10, -5000, 280, 160}, {-300, 100, 600, 140}, {145, -400, 146, 800},
        {-200, -200, 700, 700}, {290, 329, -400, 329}, {0, 500, 290, -170}};
    for (const auto& l : lines) {
        SCOPED_TRACE(testing::Message() << l[0] << "," << l[1] << " -> " << l[2] << "," << l[3]);
        const PixelSet small = drawLine(291, 330, l[0], l[1], l[2], l[3]);
        PixelSet big;
        for (const Pixel& p : drawLine(1291, 1330, l[0] + 500, l[1] + 500, l[2] + 500, l[3] + 500))
            if (p.first >= 500 && p.first < 791 && p.second >= 500 && p.second < 830)
                big.insert({p.first - 500, p.second - 500});
        EXPECT_EQ(small, big);
        EXPECT_FALSE(small.empty());
    }
}

TEST(Canvas, ExtremeCoordinatesNeverWriteOutsideAndKeepTheirSlope) {
    constexpr int32_t lo = std::numeric_limits<int32_t>::min();
    constexpr int32_t hi = std::numeric_limits<int32_t>::max();
    // Corner to corner of the 32-bit plane: a 45-degree line through (0, 0).
    PixelSet diagonal;
    for (int i = 0; i < 291; ++i)
        diagonal.insert({i, i});
    EXPECT_EQ(drawLine(291, 330, lo, lo, hi, hi), diagonal);
    // Wholly outside: nothing.
    EXPECT_TRUE(drawLine(291, 330, lo, 10, -1, 10).empty());
    EXPECT_TRUE(drawLine(291, 330, 10, 330, 200, hi).empty());
    // A long vertical through the picture paints the full column.
    PixelSet column;
    for (int y = 0; y < 330; ++y)
        column.insert({7, y});
    EXPECT_EQ(drawLine(291, 330, 7, lo, 7, hi), column);
}

} // namespace
