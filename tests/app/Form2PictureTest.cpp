// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "app/Icons.h"
#include "app/PictureImage.h"

using namespace veldora::display;
using namespace veldora::app;

namespace {

QColor at(const QImage& image, int x, int y) {
    return image.pixelColor(x, y);
}

TEST(Form2PictureTest, StretchesThePictureToTheControl) {
    Bitmap picture(2, 2);
    picture.setPixel(0, 0, 0xFF0000);
    picture.setPixel(1, 0, 0x00FF00);
    picture.setPixel(0, 1, 0x0000FF);
    picture.setPixel(1, 1, 0xFFFFFF);
    PictureImage image;
    image.resize(20, 10);
    image.setPicture(picture);
    const QImage shown = image.grab().toImage();
    ASSERT_EQ(shown.size(), QSize(20, 10));
    EXPECT_EQ(at(shown, 0, 0), QColor(255, 0, 0));
    EXPECT_EQ(at(shown, 9, 4), QColor(255, 0, 0));
    EXPECT_EQ(at(shown, 10, 0), QColor(0, 255, 0));
    EXPECT_EQ(at(shown, 0, 5), QColor(0, 0, 255));
    EXPECT_EQ(at(shown, 19, 9), QColor(255, 255, 255));

    // setPicture copies: changing the source later does not reach the control.
    picture.setPixel(0, 0, 0x123456);
    EXPECT_EQ(image.picture().pixel(0, 0), 0xFF0000u);
    // Drawing into the control's own picture shows after update().
    image.editPicture().setPixel(1, 1, 0x000000);
    image.update();
    EXPECT_EQ(at(image.grab().toImage(), 19, 9), QColor(0, 0, 0));
}

// The live repaint skips a frame when no input changed, the picture's version among
// them: reading must leave the version alone, and every edit and replacement must move it.
TEST(Form2PictureTest, OnlyEditsAndReplacementsCountAsChanges) {
    PictureImage image;
    image.setPicture(Bitmap(4, 4));
    const uint64_t start = image.pictureVersion();
    EXPECT_EQ(image.picture().width(), 4);
    EXPECT_EQ(image.picture().pixel(0, 0), image.picture().pixel(3, 3));
    EXPECT_EQ(image.pictureVersion(), start) << "reading counted as a change";
    image.editPicture().setPixel(2, 2, 0x00FF00);
    EXPECT_EQ(image.pictureVersion(), start + 1);
    image.setPicture(Bitmap(4, 4));
    EXPECT_GT(image.pictureVersion(), start + 1);
}

TEST(Form2PictureTest, TransparentModeLeavesOutTheBottomLeftColour) {
    QWidget parent;
    parent.resize(16, 16);
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, QColor(10, 20, 30));
    parent.setPalette(palette);
    parent.setAutoFillBackground(true);
    auto* icon = new PictureImage(&parent);
    icon->setGeometry(0, 0, 16, 16);
    icon->setTransparent(true);
    Bitmap picture(16, 16, 0x000000);
    picture.setPixel(5, 5, 0xFF0000);
    picture.setPixel(0, 15, 0x00FF00); // the key is the bottom-left pixel's colour
    icon->setPicture(picture);
    const QImage shown = parent.grab().toImage();
    EXPECT_EQ(at(shown, 5, 5), QColor(255, 0, 0));
    EXPECT_EQ(at(shown, 0, 15), QColor(10, 20, 30));
    EXPECT_EQ(at(shown, 8, 8), QColor(0, 0, 0)); // black is drawn now: it is not the key
}

TEST(Form2PictureTest, ClickAndMovesInTheControlsOwnPixels) {
    PictureImage image;
    image.resize(100, 50);
    image.setPicture(Bitmap(10, 10));
    QSignalSpy clicks(&image, &PictureImage::clicked);
    QSignalSpy moves(&image, &PictureImage::mouseMoved);
    QTest::mouseClick(&image, Qt::LeftButton, {}, QPoint(90, 40));
    QTest::mouseClick(&image, Qt::RightButton, {}, QPoint(90, 40));
    EXPECT_EQ(clicks.count(), 1);
    QMouseEvent move(QEvent::MouseMove, QPointF(90, 40), QPointF(90, 40), Qt::NoButton, Qt::LeftButton,
                     Qt::ShiftModifier);
    QApplication::sendEvent(&image, &move);
    ASSERT_EQ(moves.count(), 1);
    EXPECT_EQ(moves[0][0].value<Qt::MouseButtons>(), Qt::MouseButtons(Qt::LeftButton));
    EXPECT_EQ(moves[0][1].value<Qt::KeyboardModifiers>(), Qt::KeyboardModifiers(Qt::ShiftModifier));
    EXPECT_EQ(moves[0][2].toInt(), 90); // not scaled to the 10 x 10 picture
    EXPECT_EQ(moves[0][3].toInt(), 40);
    EXPECT_TRUE(image.hasMouseTracking());
}

TEST(Form2PictureTest, IconsAreSixteenSquareWithTheirOwnColours) {
    struct Icon {
        const char* name;
        Bitmap picture;
        bool blackKey;
    };
    const Icon icons[] = {
        {"information", makeInformationIcon(), true},
        {"save", makeSaveIcon(), true},
        {"picture", makePictureIcon(), true},
        {"application", makeApplicationIcon(), false},
    };
    for (const auto& icon : icons) {
        SCOPED_TRACE(icon.name);
        ASSERT_EQ(icon.picture.width(), 16);
        ASSERT_EQ(icon.picture.height(), 16);
        int background = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                background += icon.picture.pixel(x, y) == icon.picture.pixel(0, 15);
        EXPECT_EQ(icon.picture.pixel(0, 15) == 0x000000, icon.blackKey);
        EXPECT_GT(background, 10);           // a background to leave out
        EXPECT_LT(background, 16 * 16 - 40); // and a motif to show
    }
    const Bitmap save = makeSaveIcon();
    EXPECT_EQ(save.pixel(7, 0), 0xFF0000u); // the red arrow

    // The application icon: white screen, blue grid, and a black wave crossing every column.
    const Bitmap app = makeApplicationIcon();
    EXPECT_EQ(app.pixel(1, 1), 0xFFFFFFu);
    EXPECT_EQ(app.pixel(5, 12), 0x0000FFu);
    for (int x = 0; x < 16; ++x) {
        bool black = false;
        for (int y = 0; y < 16; ++y)
            black = black || app.pixel(x, y) == 0x000000;
        EXPECT_TRUE(black) << "column " << x;
    }
}

} // namespace
