// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// A style plugin for the end-to-end checks only: Fusion with a dark palette, as a dark
// desktop theme would give the program. Selected with QT_STYLE_OVERRIDE=veldora-dark
// and found through QT_PLUGIN_PATH; the program itself is not changed.
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStylePlugin>

namespace {

class DarkStyle : public QProxyStyle {
  public:
    DarkStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    QPalette standardPalette() const override {
        QPalette dark;
        const QColor light(235, 235, 235);
        dark.setColor(QPalette::Window, QColor(40, 40, 40));
        dark.setColor(QPalette::WindowText, light);
        dark.setColor(QPalette::Base, QColor(25, 25, 25));
        dark.setColor(QPalette::AlternateBase, QColor(45, 45, 45));
        dark.setColor(QPalette::Text, light);
        dark.setColor(QPalette::Button, QColor(50, 50, 50));
        dark.setColor(QPalette::ButtonText, light);
        dark.setColor(QPalette::BrightText, Qt::white);
        dark.setColor(QPalette::Highlight, QColor(60, 140, 230));
        dark.setColor(QPalette::HighlightedText, Qt::black);
        dark.setColor(QPalette::ToolTipBase, QColor(25, 25, 25));
        dark.setColor(QPalette::ToolTipText, light);
        dark.setColor(QPalette::Light, QColor(80, 80, 80));
        dark.setColor(QPalette::Midlight, QColor(65, 65, 65));
        dark.setColor(QPalette::Mid, QColor(35, 35, 35));
        dark.setColor(QPalette::Dark, QColor(20, 20, 20));
        dark.setColor(QPalette::Shadow, Qt::black);
        return dark;
    }

    using QProxyStyle::polish;
    void polish(QPalette& palette) override { palette = standardPalette(); }
};

class DarkStylePlugin : public QStylePlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QStyleFactoryInterface_iid FILE "darkstyle.json")
  public:
    QStyle* create(const QString& key) override {
        return key.compare(QLatin1String("veldora-dark"), Qt::CaseInsensitive) == 0 ? new DarkStyle : nullptr;
    }
};

} // namespace

#include "DarkStyle.moc"
