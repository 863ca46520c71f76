// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/ApplicationIcon.h"

#include <QImage>

#include <gtest/gtest.h>

#include "app/Icons.h"
#include "tests/app/Form2Fixture.h"

using namespace veldora::display;
using namespace veldora::app;

namespace {

// The window's icon is the installed icon set, every size of it; its 16 x 16 picture is
// the one the About box draws.
TEST(ApplicationIcon, IsTheIconSetAtEverySizeAndItsSmallestIsTheAboutBoxPicture) {
    const QIcon icon = applicationIcon();
    ASSERT_FALSE(icon.isNull());
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
        const QImage image = icon.pixmap(QSize(size, size), 1.0).toImage();
        ASSERT_EQ(image.size(), QSize(size, size));
        // White screen, black wave: both colours somewhere in every size.
        bool white = false, black = false;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                white = white || (image.pixel(x, y) & 0xFFFFFFu) == 0xFFFFFFu;
                black = black || (image.pixel(x, y) & 0xFFFFFFu) == 0x000000u;
            }
        EXPECT_TRUE(white);
        EXPECT_TRUE(black);
    }
    const QImage small = icon.pixmap(QSize(16, 16), 1.0).toImage();
    const Bitmap drawn = makeApplicationIcon();
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(small.pixel(x, y) & 0xFFFFFFu, drawn.pixel(x, y)) << x << "," << y;
}

using ApplicationIconWindowTest = Form2Fixture;

TEST_F(ApplicationIconWindowTest, TheMainWindowShowsTheIconSet) {
    EXPECT_EQ(form->windowIcon().availableSizes().size(), 8);
    EXPECT_EQ(form->windowIcon().pixmap(QSize(16, 16), 1.0).toImage().convertToFormat(QImage::Format_RGB32),
              applicationIcon().pixmap(QSize(16, 16), 1.0).toImage().convertToFormat(QImage::Format_RGB32));
}

} // namespace
