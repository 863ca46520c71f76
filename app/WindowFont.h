// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The face the windows' captions are set in. Main thread only.
#include <QFont>
#include <QString>

namespace veldora::app {

// The first of the preferred faces that is installed, measured to fit the designed
// gaps at 9 and 11 pixels ("MiliSec." in 40 pixels, "Revers" inside a 41-pixel
// button). The package depends on the first.
QString windowFaceFamily();
// The program's small sans-serif face at a height in pixels.
QFont windowFont(int pixelSize, bool bold = false);

} // namespace veldora::app
