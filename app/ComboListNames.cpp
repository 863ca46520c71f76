// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/ComboListNames.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QWidget>

namespace veldora::app {

namespace {

// What the combo box chooses: its own accessible name, else the text of the label it is
// the buddy of ("Look in:" becomes "Look in"). Not its current item, which is what Qt
// reads as the combo box's name when it has neither.
QString purposeOf(QComboBox* combo, QWidget* window) {
    if (!combo->accessibleName().isEmpty())
        return combo->accessibleName();
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (label->buddy() != combo)
            continue;
        QString text = label->text().remove(QLatin1Char('&')).trimmed();
        if (text.endsWith(QLatin1Char(':')))
            text.chop(1);
        return text;
    }
    return {};
}

} // namespace

void nameComboLists(QWidget* window) {
    for (QComboBox* combo : window->findChildren<QComboBox*>()) {
        const QString name = purposeOf(combo, window);
        // Qt 6.4 makes the list when it is first asked for, 6.8 with the combo box.
        if (!name.isEmpty())
            combo->view()->setAccessibleName(name);
    }
}

} // namespace veldora::app
