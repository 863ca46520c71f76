// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/TForm1.h"

#include <QLineEdit>
#include <QPushButton>

#include "app/Application.h"
#include "app/FixedDialog.h"
#include "app/TForm2.h"

namespace veldora::app {

namespace {
QPushButton* makeButton(QWidget* parent, const QString& caption, int left, int top) {
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(left, top, 41, 17);
    // Neither button is the default or the cancel button: Enter and Esc press nothing.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}
} // namespace

TForm1::TForm1(ProgramState& state) : State(state) {
    makeFixedDialog(*this, QStringLiteral("File Name"), kClientWidth, kClientHeight, 345, 322);
    QPalette face = palette();
    face.setColor(QPalette::Window, face.color(QPalette::Button));
    setPalette(face);
    Edit1 = new QLineEdit(QStringLiteral("C:\\data.bin"), this);
    Edit1->setGeometry(8, 8, 161, 21);
    Button2 = makeButton(this, QStringLiteral("Cancel"), 8, 40);
    Button1 = makeButton(this, QStringLiteral("Ok"), 136, 40);
    Edit1->setAccessibleName(QStringLiteral("Trace file name"));
    Edit1->setAccessibleDescription(QStringLiteral("The file that Save, Load and Merge use"));
    Button1->setAccessibleDescription(QStringLiteral("Takes the name and closes"));
    Button2->setAccessibleDescription(QStringLiteral("Closes and keeps the trace file's name"));
    setTabOrder(Edit1, Button1);
    setTabOrder(Button1, Button2);

    connect(Button1, &QPushButton::clicked, this,
            [this] { Application::instance().guard([this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this,
            [this] { Application::instance().guard([this] { Button2Click(); }); });
    State.Form1 = this;
}

TForm1::~TForm1() {
    if (State.Form1 == this)
        State.Form1 = nullptr;
}

void TForm1::Button1Click() {
    if (State.Form2)
        State.Form2->DataFileName = Edit1->text().toStdString();
    hide();
}

void TForm1::Button2Click() {
    hide();
}

} // namespace veldora::app
