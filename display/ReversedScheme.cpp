// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ReversedScheme.h"

namespace veldora::display {

namespace {

// Pixels are 0x00RRGGBB.
constexpr uint32_t kField = 0x000000, kGrid = 0x009600, kLabel = 0x00FF00;
constexpr uint32_t kWhite = 0xFFFFFF, kGrey = 0xA0A0A0, kBlack = 0x000000;

uint32_t reversedPixel(uint32_t pixel) {
    switch (pixel) {
    case kField:
        return kWhite;
    case kGrid:
        return kGrey;
    case kLabel:
        return kBlack;
    default:
        return pixel;
    }
}

} // namespace

Bitmap reversedScheme(const Bitmap& normal) {
    Bitmap reversed = normal;
    for (int y = 0; y < reversed.height(); ++y) {
        uint32_t* row = reversed.row(y);
        for (int x = 0; x < reversed.width(); ++x)
            row[x] = reversedPixel(row[x]);
    }
    return reversed;
}

} // namespace veldora::display
