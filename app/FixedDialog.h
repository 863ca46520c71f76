// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The frame of the program's windows. Main thread only.
#include <QString>

class QWidget;

namespace veldora::app {

// A fixed, non-resizable dialog window: title and close box, no minimise or maximise,
// captions in the window font.
void makeFixedDialog(QWidget& window, const QString& caption, int clientWidth, int clientHeight, int left,
                     int top);

} // namespace veldora::app
