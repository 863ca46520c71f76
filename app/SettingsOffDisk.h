// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The program reads no configuration and saves nothing between runs. Qt's own file
// dialog keeps its history, last folder and column widths in QSettings
// (~/.config/QtProject.conf); this points QSettings at a place that cannot exist, so
// those values live only in memory for the run. Main thread; idempotent.

namespace veldora::app {

void keepSettingsOffDisk();

} // namespace veldora::app
