// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Icons.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string_view>

namespace veldora::app {

namespace {

constexpr int kIconSize = 16;
using CharacterMap = std::array<std::string_view, kIconSize>;

uint32_t paletteColour(char c) {
    switch (c) {
    case '.':
        return 0x000000; // background, left out when drawn transparent
    case 'W':
        return 0xFFFFFF;
    case 'N':
        return 0x000080; // navy
    case 'B':
        return 0x0000FF;
    case 'R':
        return 0xFF0000;
    case 'S':
        return 0xC0C0C0;
    case 'D':
        return 0x808080;
    case 'Y':
        return 0xFFFF00;
    case 'O':
        return 0xE0A060; // pencil wood
    case 'K':
        return 0x202020; // near black: stays visible when drawn transparent
    case 'C':
        return 0x80C0FF; // sky
    case 'G':
        return 0x008000;
    default:
        throw std::logic_error(std::string("icon map: unknown colour ") + c);
    }
}

display::Bitmap fromMap(const CharacterMap& map) {
    display::Bitmap icon(kIconSize, kIconSize);
    for (int y = 0; y < kIconSize; ++y) {
        if (map[y].size() != kIconSize)
            throw std::logic_error("icon map: row of wrong length");
        for (int x = 0; x < kIconSize; ++x)
            icon.setPixel(x, y, paletteColour(map[y][x]));
    }
    return icon;
}

} // namespace

display::Bitmap makeInformationIcon() {
    return fromMap({
        "................",
        "...NNNNNNNNNN...",
        "..NWWWWWWWWWWN..",
        ".NWWWWWBBWWWWWN.",
        ".NWWWWWBBWWWWWN.",
        ".NWWWWWWWWWWWWN.",
        ".NWWWWBBBWWWWWN.",
        ".NWWWWWBBWWWWWN.",
        ".NWWWWWBBWWWWWN.",
        ".NWWWWWBBWWWWWN.",
        ".NWWWWBBBBWWWWN.",
        "..NWWWWWWWWWWN..",
        "...NNWWNNNNNN...",
        "....NWWN........",
        "...NWN..........",
        "..NN............",
    });
}

display::Bitmap makeSaveIcon() {
    return fromMap({
        ".......RR.......",
        ".......RR.......",
        ".....RRRRRR.....",
        "......RRRR......",
        ".NNNNNNRRNNNNNN.",
        ".NDWWWWWWWWWWDN.",
        ".NDWWWWWWWWWWDN.",
        ".NDWWWWWWWWWWDN.",
        ".NDWWWWWWWWWWDN.",
        ".NNNNNNNNNNNNNN.",
        ".NNNNNNNNNNNNNN.",
        ".NNNSSSSSSSSNNN.",
        ".NNNSSSNNSSSNNN.",
        ".NNNSSSNNSSSNNN.",
        ".NNNSSSSSSSSNNN.",
        "................",
    });
}

display::Bitmap makePictureIcon() {
    return fromMap({
        ".............RRR",
        "............SSS.",
        "...........YYY..",
        ".DDDDDDDDDYYY...",
        ".DWWWWWWWYYYD...",
        ".DWCCCCCYYYWD...",
        ".DWCCCCOOOCWD...",
        ".DWCCCKKCCCWD...",
        ".DWCCCCCCCCWD...",
        ".DWCCCCCCCCWD...",
        ".DWCCGCCCCCWD...",
        ".DWCGGGCCCGWD...",
        ".DWGGGGGCGGWD...",
        ".DWWWWWWWWWWD...",
        ".DDDDDDDDDDDD...",
        "................",
    });
}

display::Bitmap makeApplicationIcon() {
    constexpr uint32_t white = 0xFFFFFF, blue = 0x0000FF, black = 0x000000;
    display::Bitmap icon(kIconSize, kIconSize, white);
    for (int y = 0; y < kIconSize; ++y)
        for (int x = 0; x < kIconSize; ++x)
            if (x % 5 == 0 || y % 5 == 0)
                icon.setPixel(x, y, blue);
    // One period of a sine, joined column to column so the wave has no gaps.
    int previous = -1;
    for (int x = 0; x < kIconSize; ++x) {
        const double phase = 2 * std::numbers::pi * x / (kIconSize - 1);
        const int y = static_cast<int>(std::lround(7.5 - 5.5 * std::sin(phase)));
        const int from = previous < 0 ? y : (previous < y ? previous + 1 : y);
        const int to = previous < 0 ? y : (previous > y ? previous - 1 : y);
        for (int row = std::min(from, to); row <= std::max(from, to); ++row)
            icon.setPixel(x, row, black);
        icon.setPixel(x, y, black);
        previous = y;
    }
    return icon;
}

} // namespace veldora::app
