// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/Graticule.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace veldora::display {

// Drawing order: black field, grid lines, centre-axis ticks, then labels and the
// zero marker in the label colour. Later layers win where they meet; in this
// picture only the zero marker meets the grid (y = 160, x 10..15).
namespace {

constexpr Colour kGridColour{0x009600};
constexpr Colour kLabelColour{0x00FF00};

constexpr int kGridLeft = 10, kGridRight = 280, kGridTop = 12, kGridBottom = 308;
constexpr int kColumnStep = 27, kRowStep = 37;
constexpr int kCentreX = 145, kCentreY = 160;

// The label face: each glyph a few rows of '#' (ink) and '.'; every row of one
// glyph has the glyph's width. Digits are 5 x 8 with a 1-pixel gap (advance 6),
// so "2.00" covers 20 columns, "-1.00" 24 and "10.00" 26. Glyphs lower than 8
// rows ('-', '.', "ms") stand on the baseline unless given a top offset.
struct Glyph {
    char ch;
    int top;     // rows of blank space above the glyph within the 8-pixel line
    int advance; // columns from this glyph's left edge to the next one's
    std::array<std::string_view, 8> rows;
};

// clang-format off
constexpr std::array<Glyph, 15> kFont{{
    {'0', 0, 6, {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'1', 0, 6, {"..#..", ".##..", "#.#..", "..#..", "..#..", "..#..", "..#..", "#####"}},
    {'2', 0, 6, {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'3', 0, 6, {"####.", "....#", "....#", ".###.", "....#", "....#", "....#", "####."}},
    {'4', 0, 6, {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#.", "...#."}},
    {'5', 0, 6, {"#####", "#....", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', 0, 6, {"..##.", ".#...", "#....", "####.", "#...#", "#...#", "#...#", ".###."}},
    {'7', 0, 6, {"#####", "....#", "...#.", "...#.", "..#..", "..#..", ".#...", ".#..."}},
    {'8', 0, 6, {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", "#...#", ".###."}},
    {'9', 0, 6, {".###.", "#...#", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {'.', 6, 3, {"##", "##"}},
    {'-', 4, 4, {"###"}},
    {'V', 0, 8, {"#.....#", "#.....#", ".#...#.", ".#...#.", "..#.#..", "..#.#..", "...#...", "...#..."}},
    {'m', 2, 8, {"######.", "#..#..#", "#..#..#", "#..#..#", "#..#..#", "#..#..#"}},
    {'s', 2, 6, {".####", "#....", ".###.", "....#", "....#", "####."}},
}};
// clang-format on

const Glyph& glyphFor(char ch) {
    for (const Glyph& g : kFont)
        if (g.ch == ch)
            return g;
    return kFont[0]; // unreachable for the fixed texts below
}

void put(Bitmap& picture, int x, int y, uint32_t pixel) {
    if (picture.contains(x, y))
        picture.setPixel(x, y, pixel);
}

// `left`, `top`: the text's first column and the top row of its 8-pixel line.
// Pixels outside the picture are dropped (the bottom row's outer labels).
void drawText(Bitmap& picture, int left, int top, std::string_view text, uint32_t pixel) {
    int x = left;
    for (char ch : text) {
        const Glyph& g = glyphFor(ch);
        for (int row = 0; row < static_cast<int>(g.rows.size()); ++row)
            for (int col = 0; col < static_cast<int>(g.rows[row].size()); ++col)
                if (g.rows[row][col] == '#')
                    put(picture, x + col, top + g.top + row, pixel);
        x += g.advance;
    }
}

} // namespace

Bitmap makeGraticule() {
    Bitmap picture(kScreenWidth, kScreenHeight, 0);
    const uint32_t grid = colourToPixel(kGridColour);
    const uint32_t label = colourToPixel(kLabelColour);

    for (int x = kGridLeft; x <= kGridRight; x += kColumnStep)
        for (int y = kGridTop; y <= kGridBottom; ++y)
            put(picture, x, y, grid);
    for (int y = kGridTop; y <= kGridBottom; y += kRowStep)
        for (int x = kGridLeft; x <= kGridRight; ++x)
            put(picture, x, y, grid);

    // Five minor ticks per division on the centre axes.
    for (int k = 0; k <= 50; ++k)
        for (int y = kCentreY - 3; y <= kCentreY + 2; ++y)
            put(picture, kGridLeft + kColumnStep * k / 5, y, grid);
    for (int k = 0; k <= 40; ++k)
        for (int x = kCentreX - 3; x <= kCentreX + 2; ++x)
            put(picture, x, kGridTop + kRowStep * k / 5, grid);

    // Left column: one value every two divisions, 3 pixels below its line.
    drawText(picture, 13, 12 + 3, "2.00", label);
    drawText(picture, 13, 49 + 3, "V", label);
    drawText(picture, 13, 86 + 3, "1.00", label);
    drawText(picture, 13, 160 + 3, "0.00", label);
    drawText(picture, 13, 234 + 3, "-1.00", label);

    // Bottom row, under every second vertical line, unit between the last two.
    constexpr int kBottomTop = 313;
    drawText(picture, -1, kBottomTop, "0.00", label);
    drawText(picture, 53, kBottomTop, "2.00", label);
    drawText(picture, 107, kBottomTop, "4.00", label);
    drawText(picture, 161, kBottomTop, "6.00", label);
    drawText(picture, 215, kBottomTop, "8.00", label);
    drawText(picture, 246, kBottomTop, "ms", label);
    drawText(picture, 266, kBottomTop, "10.00", label);

    for (int x = 7; x <= 15; ++x)
        put(picture, x, kCentreY, label);
    return picture;
}

} // namespace veldora::display
