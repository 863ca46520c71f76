// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/TForm3.h"

#include <QLabel>

#include "app/FixedDialog.h"
#include "app/Icons.h"
#include "app/PictureImage.h"
#include "app/WindowFont.h"

namespace veldora::app {

namespace {
QLabel* makeLabel(QWidget* parent, const QString& text, int left, int top, int pixelSize,
                  const QColor& colour) {
    auto* label = new QLabel(text, parent);
    label->setFont(windowFont(pixelSize, true));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->move(left, top);
    label->adjustSize();
    return label;
}
} // namespace

TForm3::TForm3(ProgramState& state) : State(state) {
    makeFixedDialog(*this, QStringLiteral("Form3"), kClientWidth, kClientHeight, 286, 325);
    // The white field is the design; its texts are set with it, so that a dark or
    // high-contrast desktop's light text colour never lands on white.
    QPalette background = palette();
    background.setColor(QPalette::Window, Qt::white);
    background.setColor(QPalette::WindowText, Qt::black);
    background.setColor(QPalette::Text, Qt::black);
    background.setColor(QPalette::Base, Qt::white);
    setPalette(background);
    setAutoFillBackground(true);

    Image1 = new PictureImage(this);
    Image1->setGeometry(16, 8, 49, 57);
    Image1->setPicture(makeApplicationIcon());
    Image1->setAccessibleName(QStringLiteral("Veldora icon"));
    Label1 = makeLabel(this, QStringLiteral("Veldora 1.0"), 72, 8, 19, QColor(0, 0, 128));
    Label2 = makeLabel(this, QStringLiteral("2026 Veldora team"), 72, 40, 13, QColor(0, 128, 0));
    Label3 = makeLabel(this, QStringLiteral("veldora@example.org"), 80, 64, 11,
                       palette().color(QPalette::WindowText));
    State.Form3 = this;
}

TForm3::~TForm3() {
    if (State.Form3 == this)
        State.Form3 = nullptr;
}

} // namespace veldora::app
