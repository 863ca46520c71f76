// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// An image control: shows a Bitmap stretched to the control's size. Mouse positions
// it reports are in the control's own pixels, not the picture's. Main thread only.
#include <QImage>
#include <QWidget>

#include <cstdint>

#include "app/ScreenAxisMap.h"
#include "display/Bitmap.h"

namespace veldora::app {

class PictureImage : public QWidget {
    Q_OBJECT
  public:
    explicit PictureImage(QWidget* parent = nullptr);

    // The picture in its own pixels, to read.
    const display::Bitmap& picture() const { return picture_; }
    // The picture to draw into: handing it out counts as a change (see pictureVersion).
    // Call update() after drawing so the control repaints.
    display::Bitmap& editPicture() {
        ++pictureVersion_;
        return picture_;
    }
    // Grows with every change of the picture: setPicture and every editPicture().
    uint64_t pictureVersion() const { return pictureVersion_; }
    // Replaces the picture with a copy of `picture` and repaints.
    void setPicture(const display::Bitmap& picture);

    // Transparent: pixels of the colour of the picture's bottom-left pixel are not drawn.
    void setTransparent(bool transparent);
    bool transparent() const { return transparent_; }
    void setHandCursor(bool hand);

    // A picture that acts as a button: it takes the keyboard focus (Tab), shows a
    // focus mark, and Space or Enter click it.
    void setKeyboardButton(bool button);
    bool keyboardButton() const { return keyboardButton_; }

    // The picture's grid lines, kept at one width when the picture is stretched by a
    // scale that does not divide evenly (see screenAxisMap).
    void setGridLines(const AxisGrid& columns, const AxisGrid& rows);

  signals:
    // Left button pressed and released over the control.
    void clicked();
    // Every move over the control, with or without buttons held; while the left
    // button is held after a press here, moves outside arrive too.
    void mouseMoved(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x, int y);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void rebuildMasked();

    display::Bitmap picture_;
    uint64_t pictureVersion_ = 0;
    bool transparent_ = false;
    bool pressed_ = false;
    bool keyboardButton_ = false;
    AxisGrid gridColumns_;
    AxisGrid gridRows_;
    QImage masked_; // the picture with alpha, kept only in transparent mode
};

// A deep copy of `picture` as a QImage (for icons and exports).
QImage bitmapToImage(const display::Bitmap& picture);

} // namespace veldora::app
