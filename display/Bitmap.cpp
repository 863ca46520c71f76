// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/Bitmap.h"

namespace veldora::display {

Bitmap::Bitmap(int width, int height, uint32_t fillPixel)
    : width_(width > 0 ? width : 0), height_(height > 0 ? height : 0),
      pixels_(static_cast<size_t>(width_) * height_, fillPixel) {}

void Bitmap::assign(const Bitmap& other) {
    width_ = other.width_;
    height_ = other.height_;
    pixels_.assign(other.pixels_.begin(), other.pixels_.end());
}

} // namespace veldora::display
