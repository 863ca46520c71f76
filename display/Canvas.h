// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A pen on a Bitmap: MoveTo/LineTo in picture pixels, one pixel wide, solid,
// clipped to the picture. Main thread only (like the pictures it draws on).
//
// Which pixels LineTo(x1, y1) paints from the current point (x0, y0):
// - dx = x1 - x0, dy = y1 - y0. Nothing when both are 0.
// - The longer axis is the major one; with |dx| == |dy| (a 45-degree line) x is.
//   With D = the major delta's magnitude, the line paints exactly D pixels, for
//   steps k = 0 .. D-1: the start point is painted, the end point never
//   ("first pixel in, last pixel out"), so a polyline paints each vertex once.
// - At step k the major coordinate is start + k (towards the end point) and the
//   minor one is the pixel nearest the ideal line, minor0 + k * dminor / D.
//   An exact tie (the ideal line passes half-way between two pixel centres)
//   goes to the smaller coordinate: the upper pixel for a shallow line, the left
//   one for a steep line. In integers:
//       minor = minor0 + floor((2 * k * dminor + D - 1) / (2 * D)).
//   This is the diamond-exit rule for integer end points; the pixels do not
//   depend on the direction the line is drawn in, apart from which end is left out.
// - Clipping keeps exactly the pixels of that unclipped line that lie inside the
//   picture. The visible step range is solved for directly, so a line with far
//   away end points (any 32-bit value) costs only its visible pixels.
// After LineTo the end point is the current point, whether or not anything showed.
#include <cstdint>

#include "display/Bitmap.h"

namespace veldora::display {

class Canvas {
  public:
    // The canvas keeps a reference: the picture must outlive it. Pen black, at (0, 0).
    explicit Canvas(Bitmap& picture) : picture_(picture) {}

    // Only the colour's low 24 bits count.
    void setPenColour(Colour colour);
    Colour penColour() const { return penColour_; }

    void MoveTo(int32_t x, int32_t y) {
        penX_ = x;
        penY_ = y;
    }
    void LineTo(int32_t x, int32_t y);

    int32_t penX() const { return penX_; }
    int32_t penY() const { return penY_; }

  private:
    Bitmap& picture_;
    Colour penColour_{0};
    uint32_t penPixel_ = 0;
    int32_t penX_ = 0;
    int32_t penY_ = 0;
};

} // namespace veldora::display
