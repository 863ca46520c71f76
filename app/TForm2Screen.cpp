// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Clear and Revers: the background picture comes from a file next to the program.
#include "app/TForm2.h"

#include "app/PictureImage.h"
#include "app/ProgramState.h"
#include "base/ExecutablePath.h"
#include "storage/BmpFile.h"

namespace veldora::app {

namespace {
std::string backgroundPath(bool reversed) {
    return base::executableDirectory() + (reversed ? "/background2.bmp" : "/background.bmp");
}
} // namespace

// A failed load throws before either picture changes, so the screen stays as it was.
void TForm2::Button7Click() {
    Image2->setPicture(storage::readBmpFile(backgroundPath(State.Reversed)));
    Image1->setPicture(Image2->picture());
}

// The scheme switches first, so a failed load still changes the trace colour.
void TForm2::Button9Click() {
    State.Reversed = !State.Reversed;
    Image2->setPicture(storage::readBmpFile(backgroundPath(State.Reversed)));
    Image1->setPicture(Image2->picture());
}

} // namespace veldora::app
