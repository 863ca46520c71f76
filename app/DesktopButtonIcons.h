// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Icons on dialog buttons (a message box's OK) as the desktop has them: GNOME's own
// dialogs never show any, while Qt's theme for GNOME still asks for them.
#include <QStringView>

class QStyle;

namespace veldora::app {

// Whether the desktops named in XDG_CURRENT_DESKTOP's way ("ubuntu:GNOME") want icons on
// dialog buttons; false when GNOME is among them.
bool desktopShowsButtonIcons(QStringView currentDesktops);

// base (taken over) wrapped in a style that puts no icons on dialog buttons.
QStyle* withoutButtonIcons(QStyle* base);

// Wraps the application's style so, when the desktops named do not want such icons.
void followDesktopButtonIcons(QStringView currentDesktops);

} // namespace veldora::app
