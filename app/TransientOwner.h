// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Where the windowing system decides where windows go. Main thread only.

class QWidget;

namespace veldora::app {

// False on Wayland: a client can neither place its top-level windows nor read where
// they are; the compositor places a dialog only relative to the window it belongs to.
bool clientPlacesWindows();

// Where the client cannot place windows, makes `dialog` a transient window of
// `owner`'s window before it is shown, so that the compositor opens it over the
// owner (centred, on the usual desktops). Elsewhere the dialog keeps its designed
// position and stays a window of its own. A null owner leaves it as it is.
void setTransientOwner(QWidget& dialog, QWidget* owner);

// The window a message box belongs to: the active window, else a visible top-level
// window other than `box`; null when there is none (a box before the main window).
QWidget* messageBoxOwner(const QWidget& box);

} // namespace veldora::app
