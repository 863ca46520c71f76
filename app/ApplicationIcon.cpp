// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/ApplicationIcon.h"

// The resource lives in a static library: nothing else would pull it into the program.
// Qt's initialiser declares a function of the enclosing namespace, which must be the
// global one (an unnamed namespace would not do either).
static void initIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace veldora::app {

QIcon applicationIcon() {
    initIconResources();
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/hicolor/%1x%1/apps/veldora.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace veldora::app
