// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The screen picture on a scaled screen: whole device pixels per picture pixel where
// the scale divides evenly, and one width for every grid line where it does not.
#include <QImage>
#include <QPainter>
#include <QSet>

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "app/PictureImage.h"
#include "app/ScaledPicture.h"
#include "app/ScreenAxisMap.h"
#include "display/Graticule.h"

using namespace veldora::display;
using namespace veldora::app;

namespace {

constexpr AxisGrid kColumns{10, 27, 11};
constexpr AxisGrid kRows{12, 37, 9};

// How many device pixels each picture pixel covers.
std::vector<int> widths(const std::vector<int>& map, int pictureLength) {
    std::vector<int> count(static_cast<size_t>(pictureLength), 0);
    for (size_t d = 0; d < map.size(); ++d) {
        EXPECT_TRUE(d == 0 || map[d] >= map[d - 1]) << "out of order at " << d;
        ++count[static_cast<size_t>(map[d])];
    }
    return count;
}

TEST(ScreenAxisMapTest, EvenScalesGiveEveryPixelTheSameWidth) {
    for (int factor : {1, 2, 3}) {
        SCOPED_TRACE(factor);
        const std::vector<int> map = screenAxisMap(291, 291 * factor, kColumns);
        ASSERT_EQ(map.size(), size_t(291 * factor));
        for (int w : widths(map, 291))
            EXPECT_EQ(w, factor);
    }
}

TEST(ScreenAxisMapTest, FractionalScalesKeepOneWidthForEveryGridLine) {
    struct Case {
        int picture, device;
        AxisGrid grid;
        int lineWidth;
    };
    // 1.5 and 1.25 of the designed size, a window stretched to 491 at scale 1, and
    // 1.75 of the designed height.
    const Case cases[] = {{291, 437, kColumns, 2},
                          {330, 495, kRows, 2},
                          {291, 364, kColumns, 1},
                          {291, 491, kColumns, 2},
                          {330, 578, kRows, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.picture) + " -> " + std::to_string(c.device));
        const std::vector<int> map = screenAxisMap(c.picture, c.device, c.grid);
        ASSERT_EQ(map.size(), size_t(c.device));
        EXPECT_EQ(map.front(), 0);
        EXPECT_EQ(map.back(), c.picture - 1);
        const std::vector<int> w = widths(map, c.picture);
        const double scale = double(c.device) / c.picture;
        for (int p = 0; p < c.picture; ++p) {
            EXPECT_GE(w[size_t(p)], int(scale)) << p;
            EXPECT_LE(w[size_t(p)], int(scale) + 1) << p;
        }
        for (int i = 0; i < c.grid.count; ++i)
            EXPECT_EQ(w[size_t(c.grid.first + i * c.grid.pitch)], c.lineWidth) << "line " << i;
    }
}

TEST(ScreenAxisMapTest, ShrinkingAndEmptyAxes) {
    const std::vector<int> map = screenAxisMap(291, 100, kColumns);
    ASSERT_EQ(map.size(), 100u);
    EXPECT_EQ(map.front(), 0);
    EXPECT_LT(map.back(), 291);
    EXPECT_TRUE(screenAxisMap(291, 0, kColumns).empty());
    EXPECT_TRUE(screenAxisMap(0, 10, kColumns).empty());
}

// Draws the graticule as the screen does on a device of `scale`.
QImage drawnAt(qreal scale) {
    const QImage picture = bitmapToImage(makeGraticule());
    QImage device(int(std::lround(291 * scale)), int(std::lround(330 * scale)), QImage::Format_RGB32);
    device.setDevicePixelRatio(scale);
    device.fill(Qt::magenta);
    QPainter painter(&device);
    drawScaledPicture(painter, QRect(0, 0, 291, 330), picture, scale, kColumns, kRows);
    return device;
}

TEST(ScaledPictureTest, NoBlurAndWholePixelsAtEveryScale) {
    const QImage picture = bitmapToImage(makeGraticule());
    QSet<QRgb> colours;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            colours.insert(picture.pixel(x, y));
    for (qreal scale : {1.0, 1.25, 1.5, 2.0}) {
        SCOPED_TRACE(scale);
        const QImage device = drawnAt(scale);
        // Every device pixel is one of the picture's colours: nothing blended, and the
        // whole area covered.
        for (int y = 0; y < device.height(); ++y)
            for (int x = 0; x < device.width(); ++x)
                ASSERT_TRUE(colours.contains(device.pixel(x, y))) << x << "," << y;
        if (scale == 1.0 || scale == 2.0) {
            const int k = int(scale);
            for (int y = 0; y < device.height(); ++y)
                for (int x = 0; x < device.width(); ++x)
                    ASSERT_EQ(device.pixel(x, y), picture.pixel(x / k, y / k)) << x << "," << y;
        }
    }
}

// A window buffer with an alpha channel, as Wayland's are, gets the picture opaque:
// the pixels as the picture keeps them (top byte 0) must not read as transparent.
TEST(ScaledPictureTest, OpaqueOnATargetWithAlphaAtEveryScale) {
    const Bitmap graticule = makeGraticule();
    const QImage view(reinterpret_cast<const uchar*>(graticule.data()), graticule.width(), graticule.height(),
                      static_cast<qsizetype>(graticule.width()) * 4, QImage::Format_RGB32);
    ASSERT_EQ(graticule.row(20)[20] >> 24, 0u)
        << "the picture's top byte is no longer 0: this test proves nothing";
    for (qreal scale : {1.0, 1.5, 2.0}) {
        SCOPED_TRACE(scale);
        QImage device(int(std::lround(291 * scale)), int(std::lround(330 * scale)),
                      QImage::Format_ARGB32_Premultiplied);
        device.setDevicePixelRatio(scale);
        device.fill(Qt::transparent);
        QPainter painter(&device);
        drawScaledPicture(painter, QRect(0, 0, 291, 330), view, scale, kColumns, kRows);
        painter.end();
        for (int y = 0; y < device.height(); ++y)
            for (int x = 0; x < device.width(); ++x)
                ASSERT_EQ(qAlpha(device.pixel(x, y)), 255) << x << "," << y;
        const int inField = int(20 * scale);
        EXPECT_EQ(device.pixel(inField, inField), qRgb(0, 0, 0));
    }
}

// The width in device pixels of each vertical grid line, along a row inside a division.
std::vector<int> gridLineWidths(const QImage& device, int row) {
    std::vector<int> runs;
    const QRgb grid = qRgb(0, 150, 0);
    int run = 0;
    for (int x = 0; x < device.width(); ++x) {
        if (device.pixel(x, row) == grid) {
            ++run;
        } else if (run) {
            runs.push_back(run);
            run = 0;
        }
    }
    if (run)
        runs.push_back(run);
    return runs;
}

TEST(ScaledPictureTest, GridLinesKeepOneWidthAtAFractionalScale) {
    for (qreal scale : {1.5, 1.25, 1.75}) {
        SCOPED_TRACE(scale);
        const QImage device = drawnAt(scale);
        // Picture row 30 lies inside the first division, away from labels and ticks.
        const std::vector<int> runs = gridLineWidths(device, int(30 * scale));
        ASSERT_EQ(runs.size(), 11u);
        for (int w : runs)
            EXPECT_EQ(w, runs.front());
    }
}

} // namespace
