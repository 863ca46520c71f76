// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/PictureImage.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "app/PictureImageAccessible.h"
#include "app/ScaledPicture.h"

namespace veldora::app {

// The pixels' top byte is 0, not the 0xFF that Format_RGB32 documents, and Qt's
// raster engine copies it as it is: drawScaledPicture paints an opaque copy, so no
// target takes that byte as alpha; only the transparent mode blends, from its own
// ARGB copy.
PictureImage::PictureImage(QWidget* parent) : QWidget(parent) {
    PictureImageAccessible::install();
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, true);
}

void PictureImage::setPicture(const display::Bitmap& picture) {
    picture_.assign(picture);
    ++pictureVersion_;
    if (transparent_)
        rebuildMasked();
    update();
}

void PictureImage::setTransparent(bool transparent) {
    transparent_ = transparent;
    setAttribute(Qt::WA_OpaquePaintEvent, !transparent_);
    if (transparent_)
        rebuildMasked();
    else
        masked_ = QImage();
    update();
}

void PictureImage::setHandCursor(bool hand) {
    if (hand)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

void PictureImage::setKeyboardButton(bool button) {
    keyboardButton_ = button;
    setFocusPolicy(button ? Qt::StrongFocus : Qt::NoFocus);
    update();
}

void PictureImage::setGridLines(const AxisGrid& columns, const AxisGrid& rows) {
    gridColumns_ = columns;
    gridRows_ = rows;
    update();
}

void PictureImage::rebuildMasked() {
    if (picture_.empty()) {
        masked_ = QImage();
        return;
    }
    masked_ = QImage(picture_.width(), picture_.height(), QImage::Format_ARGB32);
    const uint32_t key = picture_.pixel(0, picture_.height() - 1) & 0xFFFFFFu;
    for (int y = 0; y < picture_.height(); ++y) {
        const uint32_t* source = picture_.row(y);
        auto* target = reinterpret_cast<uint32_t*>(masked_.scanLine(y));
        for (int x = 0; x < picture_.width(); ++x) {
            const uint32_t rgb = source[x] & 0xFFFFFFu;
            target[x] = rgb == key ? 0u : (0xFF000000u | rgb);
        }
    }
}

void PictureImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (picture_.empty()) {
        if (!transparent_)
            painter.fillRect(rect(), palette().color(QPalette::Window));
        return;
    }
    if (transparent_) {
        painter.drawImage(rect(), masked_);
        if (hasFocus()) {
            // The focus mark: a one-pixel frame in the palette's highlight colour.
            painter.setPen(palette().color(QPalette::Highlight));
            painter.drawRect(rect().adjusted(0, 0, -1, -1));
        }
        return;
    }
    // Wrap the pixels without copying: the picture outlives this paint.
    const QImage view(reinterpret_cast<const uchar*>(picture_.data()), picture_.width(), picture_.height(),
                      static_cast<qsizetype>(picture_.width()) * 4, QImage::Format_RGB32);
    drawScaledPicture(painter, rect(), view, devicePixelRatio(), gridColumns_, gridRows_);
}

void PictureImage::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        pressed_ = true;
    event->accept();
}

void PictureImage::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const bool wasPressed = pressed_;
    pressed_ = false;
    if (wasPressed && rect().contains(event->position().toPoint()))
        emit clicked();
}

void PictureImage::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    emit mouseMoved(event->buttons(), event->modifiers(), at.x(), at.y());
}

void PictureImage::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (keyboardButton_ && !event->isAutoRepeat() &&
        (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)) {
        event->accept();
        emit clicked();
        return;
    }
    QWidget::keyPressEvent(event);
}

QImage bitmapToImage(const display::Bitmap& picture) {
    QImage image(picture.width(), picture.height(), QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        const uint32_t* source = picture.row(y);
        auto* target = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            target[x] = 0xFF000000u | source[x];
    }
    return image;
}

} // namespace veldora::app
