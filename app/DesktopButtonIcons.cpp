// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/DesktopButtonIcons.h"

#include <QApplication>
#include <QProxyStyle>
#include <QStyleFactory>

#include "app/DesktopPlatform.h"

namespace veldora::app {

namespace {

class NoButtonIconsStyle : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

bool desktopShowsButtonIcons(QStringView currentDesktops) {
    return !desktopIsGnome(currentDesktops);
}

QStyle* withoutButtonIcons(QStyle* base) {
    return new NoButtonIconsStyle(base);
}

void followDesktopButtonIcons(QStringView currentDesktops) {
    if (desktopShowsButtonIcons(currentDesktops))
        return;
    // The same style again, wrapped: the application deletes the one it replaces.
    QApplication::setStyle(withoutButtonIcons(QStyleFactory::create(QApplication::style()->name())));
}

} // namespace veldora::app
