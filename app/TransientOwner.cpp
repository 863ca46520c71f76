// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/TransientOwner.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

namespace veldora::app {

bool clientPlacesWindows() {
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void setTransientOwner(QWidget& dialog, QWidget* owner) {
    if (clientPlacesWindows() || !owner)
        return;
    QWidget* ownerWindow = owner->window();
    // Both native windows exist from here on; the parent is sent when the dialog's
    // surface is made, at its next show.
    dialog.winId();
    ownerWindow->winId();
    if (dialog.windowHandle()->transientParent() != ownerWindow->windowHandle())
        dialog.windowHandle()->setTransientParent(ownerWindow->windowHandle());
}

QWidget* messageBoxOwner(const QWidget& box) {
    if (QWidget* active = QApplication::activeWindow(); active && active != &box)
        return active;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != &box && window->isVisible())
            return window;
    return nullptr;
}

} // namespace veldora::app
