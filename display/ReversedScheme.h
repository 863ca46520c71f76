// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The reversed colour scheme of a screen background: the same picture with its colours
// mapped so that the green trace (0x008000) reads well on it. Qt-free.
#include "display/Bitmap.h"

namespace veldora::display {

// Black field -> white, grid RGB 0,150,0 -> grey RGB 160,160,160, labels and the zero
// marker RGB 0,255,0 -> black. Any other colour is kept as it is.
Bitmap reversedScheme(const Bitmap& normal);

} // namespace veldora::display
