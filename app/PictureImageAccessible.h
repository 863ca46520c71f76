// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What a screen reader learns of a PictureImage: a button with a press action when it
// acts as one (the panel's icons), otherwise a graphic (the oscilloscope screen).
// Main thread only.
#include <QAccessibleWidget>

namespace veldora::app {

class PictureImage;

class PictureImageAccessible : public QAccessibleWidget {
  public:
    explicit PictureImageAccessible(PictureImage* image);

    QAccessible::Role role() const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;

    // Installs the factory that hands this interface out for every PictureImage; once.
    static void install();

  private:
    PictureImage* image() const;
};

} // namespace veldora::app
