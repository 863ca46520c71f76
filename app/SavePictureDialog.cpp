// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/SavePictureDialog.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>

#include "app/ComboListNames.h"
#include "app/SettingsOffDisk.h"

namespace veldora::app {

std::function<void(SavePictureDialog&)> SavePictureDialog::testDriver;

namespace {

constexpr int kPreviewSize = 160;             // pixels, the pane is square
constexpr qint64 kPreviewMaxPixels = 1 << 24; // larger pictures are not previewed

// Qt separates a filter's masks with spaces; the texts shown join them with ";" as the
// program always has. Qt filters by these, the combo box shows fileTypes().
const QStringList& qtFilters() {
    static const QStringList filters = {
        QStringLiteral("All (*.bmp *.ico *.emf *.wmf)"),
        QStringLiteral("Bitmaps (*.bmp)"),
        QStringLiteral("Icons (*.ico)"),
        QStringLiteral("Enhanced Metafiles (*.emf)"),
        QStringLiteral("Metafiles (*.wmf)"),
    };
    return filters;
}

// QFileDialog reads its settings while it is constructed: they go off disk first.
QWidget* settingsOffDisk(QWidget* parent) {
    keepSettingsOffDisk();
    return parent;
}

} // namespace

const QStringList& SavePictureDialog::fileTypes() {
    static const QStringList types = {
        QStringLiteral("All (*.bmp;*.ico;*.emf;*.wmf)"),
        QStringLiteral("Bitmaps (*.bmp)"),
        QStringLiteral("Icons (*.ico)"),
        QStringLiteral("Enhanced Metafiles (*.emf)"),
        QStringLiteral("Metafiles (*.wmf)"),
    };
    return types;
}

SavePictureDialog::SavePictureDialog(QWidget* parent) : QFileDialog(settingsOffDisk(parent)) {
    setOption(QFileDialog::DontUseNativeDialog, true);
    setOption(QFileDialog::DontConfirmOverwrite, true);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setSizeGripEnabled(true);
    setNameFilters(qtFilters());
    selectNameFilter(qtFilters().front());
    if (auto* types = findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
        for (int i = 0; i < types->count() && i < fileTypes().size(); ++i)
            types->setItemText(i, fileTypes()[i]);
    }

    // Qt's labels of these two are no buddies of theirs: a screen reader would name each
    // combo box, and its list, after the item it shows.
    const std::pair<const char*, QString> comboNames[] = {{"lookInCombo", QStringLiteral("Look in")},
                                                          {"fileTypeCombo", QStringLiteral("Files of type")}};
    for (const auto& [objectName, name] : comboNames)
        if (auto* combo = findChild<QComboBox*>(QLatin1String(objectName)))
            combo->setAccessibleName(name);
    nameComboLists(this);

    // The preview pane to the right of the file list.
    preview_ = new QLabel(this);
    preview_->setObjectName(QStringLiteral("preview"));
    preview_->setFixedSize(kPreviewSize, kPreviewSize);
    preview_->setAlignment(Qt::AlignCenter);
    preview_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(preview_, 1, grid->columnCount(), Qt::AlignTop);
    connect(this, &QFileDialog::currentChanged, this, &SavePictureDialog::showPreview);
}

void SavePictureDialog::offerFileName(const QString& path) {
    if (!path.isEmpty())
        selectFile(path);
}

bool SavePictureDialog::run() {
    if (testDriver) {
        setResult(QDialog::Rejected);
        testDriver(*this);
        return result() == QDialog::Accepted;
    }
    return exec() == QDialog::Accepted;
}

QString SavePictureDialog::fileName() const {
    const QStringList files = selectedFiles();
    return files.isEmpty() ? QString() : files.front();
}

// Anything Qt can read is previewed; other files (metafiles, folders, broken
// pictures) leave the pane empty.
void SavePictureDialog::showPreview(const QString& path) {
    preview_->clear();
    if (!QFileInfo(path).isFile())
        return;
    QImageReader reader(path);
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > kPreviewMaxPixels)
        return;
    const QImage picture = reader.read();
    if (picture.isNull())
        return;
    preview_->setPixmap(QPixmap::fromImage(
        picture.scaled(kPreviewSize - 4, kPreviewSize - 4, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

} // namespace veldora::app
