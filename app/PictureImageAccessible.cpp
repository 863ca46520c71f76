// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/PictureImageAccessible.h"

#include "app/PictureImage.h"

namespace veldora::app {

PictureImageAccessible::PictureImageAccessible(PictureImage* image) : QAccessibleWidget(image) {}

PictureImage* PictureImageAccessible::image() const {
    return static_cast<PictureImage*>(widget());
}

QAccessible::Role PictureImageAccessible::role() const {
    return image()->keyboardButton() ? QAccessible::Button : QAccessible::Graphic;
}

QStringList PictureImageAccessible::actionNames() const {
    QStringList names = QAccessibleWidget::actionNames();
    if (image()->keyboardButton())
        names.prepend(QAccessibleActionInterface::pressAction());
    return names;
}

void PictureImageAccessible::doAction(const QString& actionName) {
    if (image()->keyboardButton() && actionName == QAccessibleActionInterface::pressAction()) {
        PictureImage* button = image();
        emit button->clicked();
        return;
    }
    QAccessibleWidget::doAction(actionName);
}

void PictureImageAccessible::install() {
    static const bool installed = [] {
        QAccessible::installFactory([](const QString& className, QObject* object) -> QAccessibleInterface* {
            if (className == QLatin1String(PictureImage::staticMetaObject.className()) && object &&
                object->isWidgetType())
                return new PictureImageAccessible(static_cast<PictureImage*>(object));
            return nullptr;
        });
        return true;
    }();
    (void)installed;
}

} // namespace veldora::app
