// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Nearest-neighbour scaling of the screen picture onto device pixels, one axis at a
// time. Qt-free; any thread.
#include <vector>

namespace veldora::app {

// Equally spaced one-pixel grid lines along an axis of the picture.
struct AxisGrid {
    int first = 0; // picture pixel of the first line
    int pitch = 1; // pixels from one line to the next
    int count = 0; // number of lines
};

// For each of `deviceLength` device pixels, the picture pixel it shows. Every picture
// pixel covers a whole number of device pixels: exactly device/picture of them when
// that divides, otherwise the floor or the ceiling of the scale, spread evenly, with
// every grid line covering the same number (the scale rounded), so that no line is
// drawn wider than another. Shrinking falls back to plain nearest neighbour.
std::vector<int> screenAxisMap(int pictureLength, int deviceLength, const AxisGrid& grid);

} // namespace veldora::app
