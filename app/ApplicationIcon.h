// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The application's icon for the title bar and the task bar: the installed icon set,
// every PNG size, built into the program as a resource.
#include <QIcon>

namespace veldora::app {

QIcon applicationIcon();

} // namespace veldora::app
