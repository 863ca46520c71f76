// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Save, Load, Merge and picture export.
#include <QFile>

#include <utility>

#include "app/PictureImage.h"
#include "app/ProgramState.h"
#include "app/SavePictureDialog.h"
#include "app/TForm2.h"
#include "display/DXTimer.h"
#include "display/TraceDrawing.h"
#include "storage/BmpFile.h"
#include "storage/TraceFile.h"

namespace veldora::app {

// Both routines throw EInOutError and leave the arrays as they were on failure.
void TForm2::WriteTraceFile(const std::string& name) {
    storage::writeTraceFile(name, State.TraceX, State.TraceY);
}

void TForm2::ReadTraceFile(const std::string& name) {
    storage::readTraceFile(name, State.TraceX, State.TraceY);
    ++State.TraceVersion;
}

void TForm2::Button4Click() {
    WriteTraceFile(DataFileName);
}

// Freezes the display before reading, so a failed read still leaves it frozen; capture
// keeps running, and the next block overwrites the loaded trace in the arrays.
void TForm2::Button3Click() {
    DXTimer1->setEnabled(false);
    State.Paused = true;
    ReadTraceFile(DataFileName);
    RedrawPausedTrace();
}

// The file's trace is drawn in blue into the background, where it stays under every
// later trace until the background is reloaded.
void TForm2::Button6Click() {
    ReadTraceFile(DataFileName);
    display::drawMergedTrace(Image1->editPicture(), Image2->editPicture(), State.TraceX, State.TraceY);
    Image1->update();
    Image2->update();
}

// Writes the screen picture at its own size, whatever size the window shows it at.
// The dialog's file type does not matter: the file is always a BMP.
void TForm2::Image5Click() {
    SavePictureDialog dialog(this);
    dialog.offerFileName(QFile::decodeName(QByteArray::fromStdString(LastExportName)));
    if (!dialog.run())
        return;
    std::string name = QFile::encodeName(dialog.fileName()).toStdString();
    LastExportName = name;
    // Any dot counts, one in a folder name too.
    if (name.find('.') == std::string::npos)
        name += ".bmp";
    storage::writeBmpFile(name, Image1->picture());
}

} // namespace veldora::app
