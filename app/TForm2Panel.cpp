// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The front panel's read-outs and controls, and the first steps of start-up.
#include "app/TForm2.h"

#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "app/IntegerText.h"
#include "app/PictureImage.h"
#include "app/ProgramState.h"
#include "app/ReadoutText.h"
#include "app/TForm1.h"
#include "app/TForm3.h"
#include "app/TransientOwner.h"
#include "display/DXTimer.h"

namespace veldora::app {

namespace {

std::string decimalSeparator() {
    return QLocale::system().decimalPoint().toStdString();
}

// Where a label's letters are drawn, relative to its top-left corner: measured on
// the rendered pixels, as hinting makes them differ from the font's metrics.
QRect renderedInk(QLabel& label) {
    QImage image(label.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    label.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    QRect ink;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(row[x]) != 0)
                ink |= QRect(x, y, 1, 1);
    }
    return ink;
}

void showInFront(QWidget* window, QWidget* owner) {
    if (!window)
        return;
    setTransientOwner(*window, owner);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

void TForm2::FormCreate() {
    State.VoltsPerDivLabels = {"1.00",  "0.5",   "0.200", "0.175", "0.150", "0.125",
                               "0.100", "0.075", "0.050", "0.020", "0.010"};
    TrackBar3Change(); // also selects the button for TriggerMode 0: "+/-"
    TrackBar1Change();
    TrackBar5Change();
    DataFileName = "C:\\data.bin";
    startCapture();
}

void TForm2::TrackBar1Change() {
    const int32_t mode = State.TriggerMode;
    Label10->setText(QString::fromStdString(timeBaseReadout(TrackBar1->value(), decimalSeparator())));
    Label10->adjustSize();
    placeTimeBaseUnit();
    SelectTriggerButton(mode);
}

// "Milisec." keeps its designed place while the read-out ends before it. A longer
// read-out ("0.666666666666667") pushes it to the right of the read-out, one blank
// away; where it would then reach the information icon's column it drops just below
// the icon, into the band between the icon and the "Vertical" slider.
void TForm2::placeTimeBaseUnit() {
    const QPoint designed(120, 28);
    const QFontMetrics readout(Label10->font());
    const QFontMetrics unit(Label11->font());
    const int readoutEnd = Label10->x() + readout.horizontalAdvance(Label10->text());
    const int left = readoutEnd + unit.horizontalAdvance(QLatin1Char(' '));
    if (left <= designed.x()) {
        Label11->move(designed);
        return;
    }
    const QRect ink = renderedInk(*Label11);
    int top = designed.y();
    const QRect icon = Image3->geometry();
    if (ink.translated(left, top).intersects(icon))
        top = icon.bottom() + 1 - ink.top();
    Label11->move(left, top);
}

void TForm2::TrackBar3Change() {
    const int32_t mode = State.TriggerMode;
    Edit2->setText(
        QString::fromStdString(State.VoltsPerDivLabels.at(static_cast<size_t>(TrackBar3->value()))));
    SelectTriggerButton(mode);
}

void TForm2::TrackBar5Change() {
    DXTimer1->setInterval(TrackBar5->value());
    Edit1->setText(QString::number(DXTimer1->Interval()));
}

// Typing sets the timer directly and leaves the slider where it is.
void TForm2::Edit1Change() {
    const QString text = Edit1->text();
    if (text.isEmpty())
        return;
    DXTimer1->setInterval(StrToInt(text.toStdString()));
}

void TForm2::RadioButton1Click() {
    State.TriggerMode = 0;
}
void TForm2::RadioButton2Click() {
    State.TriggerMode = -1;
}
void TForm2::RadioButton3Click() {
    State.TriggerMode = 1;
}

// Checking a button that is not checked yet runs its click handler, which records the
// mode; any other value leaves the buttons alone.
void TForm2::SelectTriggerButton(int32_t mode) {
    switch (mode) {
    case 0:
        RadioButton1->setChecked(true);
        break;
    case -1:
        RadioButton2->setChecked(true);
        break;
    case 1:
        RadioButton3->setChecked(true);
        break;
    default:
        break;
    }
}

void TForm2::Button1Click() {
    TrackBar2->setValue(100);
}
void TForm2::Button2Click() {
    TrackBar4->setValue(100);
}

// Only a drag with exactly the left button and no Shift, Ctrl or Alt moves the trace;
// the sliders limit the values to their ranges.
void TForm2::Image2MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x, int y) {
    if (buttons != Qt::LeftButton)
        return;
    if (modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))
        return;
    TrackBar4->setValue(x - 60);
    TrackBar2->setValue(y - 60);
}

// Back to the designed size, height first; the position stays.
void TForm2::Image4Click() {
    resize(width(), kClientHeight);
    resize(kClientWidth, kClientHeight);
}

void TForm2::Image3Click() {
    showInFront(State.Form3, this);
}
void TForm2::Button8Click() {
    showInFront(State.Form1, this);
}

} // namespace veldora::app
