// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/Canvas.h"

#include <algorithm>

#include "display/Int128.h"

namespace veldora::display {

namespace {

// Steps along the major axis u (x when XMajor) with the minor axis v following
// the rounding rule documented in Canvas.h; paints only the steps inside the picture.
template <bool XMajor>
void drawMajor(Bitmap& picture, uint32_t pixel, int64_t u0, int64_t v0, int64_t du, int64_t dv) {
    const int64_t uSize = XMajor ? picture.width() : picture.height();
    const int64_t vSize = XMajor ? picture.height() : picture.width();
    const int64_t D = du < 0 ? -du : du; // > 0, and |dv| <= D
    const int64_t su = du < 0 ? -1 : 1;
    const int64_t twoD = 2 * D;

    int64_t kLo = 0;
    int64_t kHi = D - 1;

    // Major axis inside [0, uSize).
    if (su > 0) {
        kLo = std::max(kLo, -u0);
        kHi = std::min(kHi, uSize - 1 - u0);
    } else {
        kLo = std::max(kLo, u0 - (uSize - 1));
        kHi = std::min(kHi, u0);
    }
    if (kLo > kHi)
        return;

    // Minor axis inside [0, vSize). v(k) is monotonic in k, so each bound is one
    // inequality on k. Skipped when both ends of the line are inside anyway.
    const int64_t v1 = v0 + dv;
    if (std::min(v0, v1) < 0 || std::max(v0, v1) >= vSize) {
        if (dv == 0)
            return; // both ends on one row/column outside the picture
        // v(k) >= 0       <=>  2k*dv >= c1
        // v(k) <= vSize-1 <=>  2k*dv <= c2
        // c1 and c2 are products of two 33-bit values: exact in 128 bits.
        const Int128 c1 = Int128::product(twoD, -v0) - D + 1;
        const Int128 c2 = Int128::product(twoD, vSize - v0) - D;
        Int128 lo, hi;
        if (dv > 0) {
            lo = Int128::ceilDiv(c1, 2 * dv);
            hi = Int128::floorDiv(c2, 2 * dv);
        } else {
            lo = Int128::ceilDiv(-c2, -2 * dv);
            hi = Int128::floorDiv(-c1, -2 * dv);
        }
        lo = std::max(lo, Int128(kLo));
        hi = std::min(hi, Int128(kHi));
        if (lo > hi)
            return;
        kLo = lo.toInt64();
        kHi = hi.toInt64();
    }

    // Bresenham from step kLo: numerator n(k) = 2k*dv + D - 1 = 2D*(v - v0) + r, 0 <= r < 2D.
    const int64_t twoDv = 2 * dv;
    int64_t v;
    int64_t r;
    if (kLo == 0) {
        v = v0;
        r = D - 1;
    } else {
        const Int128 n = Int128::product(2 * kLo, dv) + (D - 1);
        const int64_t q = Int128::floorDiv(n, twoD).toInt64(); // |q| <= kLo
        v = v0 + q;
        r = (n - Int128::product(q, twoD)).toInt64();
    }
    int64_t u = u0 + kLo * su;
    for (int64_t k = kLo; k <= kHi; ++k) {
        if constexpr (XMajor)
            picture.setPixel(static_cast<int>(u), static_cast<int>(v), pixel);
        else
            picture.setPixel(static_cast<int>(v), static_cast<int>(u), pixel);
        u += su;
        r += twoDv;
        if (r >= twoD) {
            r -= twoD;
            ++v;
        } else if (r < 0) {
            r += twoD;
            --v;
        }
    }
}

} // namespace

void Canvas::setPenColour(Colour colour) {
    penColour_ = Colour{static_cast<uint32_t>(colour) & 0xFFFFFFu};
    penPixel_ = colourToPixel(penColour_);
}

void Canvas::LineTo(int32_t x, int32_t y) {
    const int64_t x0 = penX_;
    const int64_t y0 = penY_;
    penX_ = x;
    penY_ = y;

    const int64_t dx = int64_t(x) - x0;
    const int64_t dy = int64_t(y) - y0;
    if ((dx == 0 && dy == 0) || picture_.empty())
        return;
    // Every painted pixel lies in the end points' bounding box.
    if (std::max<int64_t>(x0, x) < 0 || std::min<int64_t>(x0, x) >= picture_.width() ||
        std::max<int64_t>(y0, y) < 0 || std::min<int64_t>(y0, y) >= picture_.height())
        return;

    const int64_t adx = dx < 0 ? -dx : dx;
    const int64_t ady = dy < 0 ? -dy : dy;
    if (adx >= ady)
        drawMajor<true>(picture_, penPixel_, x0, y0, dx, dy);
    else
        drawMajor<false>(picture_, penPixel_, y0, x0, dy, dx);
}

} // namespace veldora::display
