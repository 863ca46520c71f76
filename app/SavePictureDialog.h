// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The main window's save-picture dialog: a save-file dialog listing the picture file
// types, with a preview of the picture under the cursor beside the file list. It is
// Qt's own dialog, not the desktop's, so it looks and behaves the same everywhere and
// tests can drive it. No title, folder or default extension of our own; an existing
// file is replaced without a question. Main thread only.
#include <QFileDialog>
#include <QString>
#include <QStringList>

#include <functional>

class QLabel;

namespace veldora::app {

class SavePictureDialog : public QFileDialog {
    Q_OBJECT
  public:
    explicit SavePictureDialog(QWidget* parent = nullptr);

    // The file types as shown, in order; the first is selected when the dialog opens.
    static const QStringList& fileTypes();

    // The name the dialog offers: a full path, or empty to offer none.
    void offerFileName(const QString& path);
    // Shows the dialog modally. True when the user confirmed a name; fileName() then
    // holds the full path as confirmed.
    bool run();
    QString fileName() const;

    // Tests only: when set, run() hands the configured dialog to this instead of showing
    // it; the driver accepts or rejects it (accept(), reject()) and run() reads the
    // outcome as it would after the modal loop.
    static std::function<void(SavePictureDialog&)> testDriver;

    // The preview pane (for tests): shows the picture of the file under the cursor.
    QLabel* preview() const { return preview_; }

  private:
    void showPreview(const QString& path);

    QLabel* preview_ = nullptr;
};

} // namespace veldora::app
