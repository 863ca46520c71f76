// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/SettingsOffDisk.h"

#include <QSettings>

namespace veldora::app {

void keepSettingsOffDisk() {
    static const bool done = [] {
        // A folder below a character device: it neither exists nor can be created, so
        // QSettings finds no file to read and gives up writing (status AccessError)
        // without touching the disk.
        const QString nowhere = QStringLiteral("/dev/null/veldora");
        for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
            for (const QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope})
                QSettings::setPath(format, scope, nowhere);
        return true;
    }();
    (void)done;
}

} // namespace veldora::app
