// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The program's small pictures, drawn by our own code. Qt-free.
// The three panel icons are 16 x 16 on a black background, so that drawing them
// transparent (bottom-left pixel's colour left out) shows only the motif.
#include "display/Bitmap.h"

namespace veldora::app {

display::Bitmap makeInformationIcon(); // an information speech bubble (About box)
display::Bitmap makeSaveIcon();        // a floppy disk with a red arrow (picture export)
display::Bitmap makePictureIcon();     // a picture with a pen (window size)
// 16 x 16: a small oscilloscope screen, blue grid on white crossed by a black wave.
display::Bitmap makeApplicationIcon();

} // namespace veldora::app
