// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/ScaledPicture.h"

#include <QPainter>

#include <cmath>

namespace veldora::app {

namespace {
// The pictures' top byte is 0. A window buffer with an alpha channel (a Wayland
// window's) would take it as transparent and show the desktop through the screen.
QImage opaqueCopy(const QImage& picture) {
    QImage copy(picture.size(), QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        const auto* source = reinterpret_cast<const uint32_t*>(picture.constScanLine(y));
        auto* row = reinterpret_cast<uint32_t*>(copy.scanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            row[x] = 0xFF000000u | source[x];
    }
    return copy;
}
} // namespace

void drawScaledPicture(QPainter& painter, const QRect& target, const QImage& picture, qreal devicePixelRatio,
                       const AxisGrid& columns, const AxisGrid& rows) {
    if (picture.isNull() || target.isEmpty())
        return;
    const int deviceWidth = static_cast<int>(std::lround(target.width() * devicePixelRatio));
    const int deviceHeight = static_cast<int>(std::lround(target.height() * devicePixelRatio));
    const bool evenColumns = deviceWidth % picture.width() == 0;
    const bool evenRows = deviceHeight % picture.height() == 0;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (evenColumns && evenRows) {
        painter.drawImage(target, opaqueCopy(picture));
        return;
    }
    const std::vector<int> mapX = screenAxisMap(picture.width(), deviceWidth, columns);
    const std::vector<int> mapY = screenAxisMap(picture.height(), deviceHeight, rows);
    QImage scaled(deviceWidth, deviceHeight, QImage::Format_RGB32);
    for (int y = 0; y < deviceHeight; ++y) {
        const auto* source = reinterpret_cast<const uint32_t*>(picture.constScanLine(mapY[size_t(y)]));
        auto* row = reinterpret_cast<uint32_t*>(scaled.scanLine(y));
        for (int x = 0; x < deviceWidth; ++x)
            row[x] = 0xFF000000u | source[mapX[size_t(x)]];
    }
    scaled.setDevicePixelRatio(devicePixelRatio);
    painter.drawImage(target.topLeft(), scaled);
}

} // namespace veldora::app
