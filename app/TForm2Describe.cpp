// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// What screen readers say of the main window's controls, and the tooltips of those
// whose captions say little ("C", the icons).
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "app/ComboListNames.h"
#include "app/PictureImage.h"
#include "app/TForm2.h"

namespace veldora::app {

namespace {

void describe(QWidget* control, const QString& name, const QString& description,
              const QString& toolTip = QString()) {
    control->setAccessibleName(name);
    control->setAccessibleDescription(description);
    if (!toolTip.isEmpty())
        control->setToolTip(toolTip);
}

} // namespace

void TForm2::describeControls() {
    describe(
        Image1, QStringLiteral("Oscilloscope screen"),
        QStringLiteral("The captured wave over the graticule; drag with the left button to move the trace"));

    describe(TrackBar1, QStringLiteral("Horizontal: time base"),
             QStringLiteral("Milliseconds per division, shown beside the slider"));
    describe(TrackBar3, QStringLiteral("Vertical: volts per division"),
             QStringLiteral("Vertical scale, shown in the Volts box"));
    describe(TrackBar4, QStringLiteral("Trigger X: horizontal position"),
             QStringLiteral("Moves the trace left or right"));
    describe(TrackBar2, QStringLiteral("Trigger Y: vertical position and trigger level"),
             QStringLiteral("Moves the trace up or down; the trigger level moves with it"));
    describe(TrackBar5, QStringLiteral("Delay: refresh delay in milliseconds"),
             QStringLiteral("Least time between two redraws of the screen"));

    describe(Button2, QStringLiteral("Centre Trigger X"), QStringLiteral("Puts the trace back in the middle"),
             QStringLiteral("Centre Trigger X: the trace back to the middle"));
    describe(Button1, QStringLiteral("Centre Trigger Y"),
             QStringLiteral("Puts the trace and the trigger level back on the centre line"),
             QStringLiteral("Centre Trigger Y: the trace and trigger level back to the centre line"));

    describe(Edit1, QStringLiteral("Refresh delay, milliseconds"),
             QStringLiteral("Type a whole number of milliseconds"));
    describe(Edit2, QStringLiteral("Volts per division"), QStringLiteral("Set by the Vertical slider"));

    describe(RadioButton1, QStringLiteral("Trigger +/-: automatic"), QStringLiteral("Draws every refresh"));
    describe(RadioButton2, QStringLiteral("Trigger -: minus"),
             QStringLiteral("Draws when the wave starts at or below the trigger level"));
    describe(RadioButton3, QStringLiteral("Trigger +: plus"),
             QStringLiteral("Draws when the wave starts at or above the trigger level"));

    describe(Button3, Button3->text(), QStringLiteral("Loads the trace file and freezes the display"));
    describe(Button4, Button4->text(), QStringLiteral("Saves the current trace to the trace file"));
    describe(Button5, Button5->text(), QStringLiteral("Stops and restarts the display"));
    describe(Button6, Button6->text(),
             QStringLiteral("Draws the trace file's trace into the background in blue"));
    describe(Button7, Button7->text(), QStringLiteral("Clears the screen back to the background picture"));
    describe(Button8, Button8->text(), QStringLiteral("Changes the trace file's name"));
    describe(Button9, QStringLiteral("Revers: reverse colours"),
             QStringLiteral("Switches between the normal and the reversed colour scheme"));

    describe(Image3, QStringLiteral("About"), QStringLiteral("Shows the program's name and version"),
             QStringLiteral("About Veldora"));
    describe(Image5, QStringLiteral("Export picture"), QStringLiteral("Saves the screen as a BMP picture"),
             QStringLiteral("Export the screen as a picture"));
    describe(Image4, QStringLiteral("Restore window size"),
             QStringLiteral("Puts the window back to its designed size"),
             QStringLiteral("Restore the window's size"));

    // Never shown, but a screen reader may still find them and their lists.
    describe(DriverBox, QStringLiteral("Capture device"), QStringLiteral("The sound card captured from"));
    describe(FormatBox, QStringLiteral("Capture format"),
             QStringLiteral("Sample rate, sample size and channels of the capture"));
    nameComboLists(this);
}

} // namespace veldora::app
