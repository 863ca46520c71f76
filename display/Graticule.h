// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The built-in screen background: 291 x 330 pixels, black field, dark green grid
// (x 10..280 in 10 divisions of 27, y 12..308 in 8 divisions of 37), minor ticks on
// the centre axes, bright green labels and the zero marker.
#include "display/Bitmap.h"

namespace veldora::display {

constexpr int kScreenWidth = 291;
constexpr int kScreenHeight = 330;

Bitmap makeGraticule();

} // namespace veldora::display
