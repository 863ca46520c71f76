// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/FixedDialog.h"

#include <QWidget>

#include "app/WindowFont.h"

namespace veldora::app {

void makeFixedDialog(QWidget& window, const QString& caption, int clientWidth, int clientHeight, int left,
                     int top) {
    window.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint);
    window.setWindowTitle(caption);
    window.setFixedSize(clientWidth, clientHeight);
    window.move(left, top);
    window.setFont(windowFont(11));
}

} // namespace veldora::app
