// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/WindowFont.h"

#include <QFontDatabase>
#include <QStringList>

namespace veldora::app {

QString windowFaceFamily() {
    // Measured at 9 and 11 pixels: DejaVu Sans Condensed leaves 2 to 7 pixels in every
    // designed gap; Liberation Sans is as narrow; plain DejaVu Sans is 3 to 5 pixels too
    // wide for "MiliSec.", "Vertical", "Cancel" and "Revers".
    static const QString chosen = [] {
        const QStringList installed = QFontDatabase::families();
        for (const char* face : {"DejaVu Sans Condensed", "Liberation Sans", "DejaVu Sans"}) {
            QString family = QString::fromLatin1(face);
            if (installed.contains(family))
                return family;
        }
        // None of them: whatever sans-serif face fontconfig offers.
        return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    }();
    return chosen;
}

QFont windowFont(int pixelSize, bool bold) {
    QFont font(windowFaceFamily());
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

} // namespace veldora::app
