// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Which of Qt's platforms the program asks for, where the user has not chosen one. In a
// GNOME Wayland session, a Qt before 6.8 (Debian 12 has 6.4) draws the title bar itself,
// in a style foreign to GNOME: minimise and maximise buttons GNOME does not show, a
// maximise on a window that cannot be resized, and the desktop's button layout ignored;
// and GNOME 43 puts such a Qt's dialogs below the main window rather than over it.
// Through XWayland, the shell draws its own title bar and places the dialogs as it does
// its own. From 6.8, Qt draws GNOME's title bar itself, and stays on Wayland.
#include <QString>
#include <QStringView>
#include <QVersionNumber>

namespace veldora::app {

// Whether the desktops named in XDG_CURRENT_DESKTOP's way ("ubuntu:GNOME") include GNOME.
bool desktopIsGnome(QStringView currentDesktops);

struct DesktopSession {
    QStringView platformAsked;   // QT_QPA_PLATFORM
    QStringView sessionType;     // XDG_SESSION_TYPE
    QStringView currentDesktops; // XDG_CURRENT_DESKTOP
    QStringView xDisplay;        // DISPLAY: XWayland is there to run on
    QVersionNumber qtVersion;    // the Qt the program runs with
};

// "xcb;wayland" where the program should run through XWayland (Wayland if that fails);
// empty where Qt's own choice holds.
QString platformForDesktop(const DesktopSession& session);

// Asks Qt for that platform (QT_QPA_PLATFORM); before the application object is made.
void followDesktopPlatform();

} // namespace veldora::app
