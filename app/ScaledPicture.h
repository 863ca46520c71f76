// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Draws a picture stretched over a widget's rectangle with whole device pixels per
// picture pixel, never blurred, whatever the screen's scale factor. Main thread.
#include <QImage>
#include <QRect>

#include "app/ScreenAxisMap.h"

class QPainter;

namespace veldora::app {

// Draws `picture` over `target` (logical pixels) for a device of `devicePixelRatio`.
// A scale that divides evenly draws through Qt (nearest neighbour); any other is
// resampled here with screenAxisMap, so the grid lines keep one width.
void drawScaledPicture(QPainter& painter, const QRect& target, const QImage& picture, qreal devicePixelRatio,
                       const AxisGrid& columns, const AxisGrid& rows);

} // namespace veldora::app
