// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/DesktopPlatform.h"

#include <QtGlobal>

namespace veldora::app {

bool desktopIsGnome(QStringView currentDesktops) {
    for (const QStringView desktop : currentDesktops.split(u':'))
        if (desktop.compare(u"GNOME", Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString platformForDesktop(const DesktopSession& session) {
    // The first Qt that draws GNOME's title bar (its Adwaita decorations).
    static const QVersionNumber drawsGnomeTitleBar(6, 8);
    const bool chosen = !session.platformAsked.isEmpty();
    const bool gnomeOnWayland = session.sessionType.compare(u"wayland", Qt::CaseInsensitive) == 0 &&
                                desktopIsGnome(session.currentDesktops);
    if (chosen || !gnomeOnWayland || session.xDisplay.isEmpty() || session.qtVersion >= drawsGnomeTitleBar)
        return {};
    // Wayland still, should XWayland refuse the connection.
    return QStringLiteral("xcb;wayland");
}

void followDesktopPlatform() {
    const QString asked = qEnvironmentVariable("QT_QPA_PLATFORM");
    const QString type = qEnvironmentVariable("XDG_SESSION_TYPE");
    const QString desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    const QString display = qEnvironmentVariable("DISPLAY");
    const QString platform = platformForDesktop(
        {asked, type, desktops, display, QVersionNumber::fromString(QString::fromLatin1(qVersion()))});
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform.toLatin1());
}

} // namespace veldora::app
