// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The picture export on the real main window, its dialog answered through the test
// driver (one test runs the dialog modally and answers it as a user would).
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>

#include "app/PictureImage.h"
#include "app/SavePictureDialog.h"
#include "display/DXTimer.h"
#include "storage/BmpFile.h"
#include "tests/app/FilesFixture.h"

using namespace veldora::display;
using namespace veldora::storage;
using namespace veldora::app;

namespace {

// What the dialog showed when it opened.
struct Shown {
    QStringList fileTypes;
    int selectedType = -1;
    QString selectedFilter;
    QStringList modelFilters; // the masks the file list filters by
    QString offeredText;      // the file-name box
    QString offeredPath;      // the full path the dialog would confirm
    QFileDialog::AcceptMode acceptMode{};
    bool confirmsOverwrite = true;
    bool native = true;
    QString defaultSuffix;
    bool resizable = false;
    bool hasPreview = false;
};

class FilesExportTest : public FilesFixture {
  protected:
    void SetUp() override {
        FilesFixture::SetUp();
        // No live ticks: the screen changes only where a test changes it.
        form->DXTimer1->setEnabled(false);
    }
    void TearDown() override {
        SavePictureDialog::testDriver = {};
        FilesFixture::TearDown();
    }

    // Clicks the export icon; the dialog confirms `answer` as typed into its name box,
    // or is cancelled when there is none. Returns what the dialog showed.
    Shown exportAs(std::optional<QString> answer) {
        Shown shown;
        SavePictureDialog::testDriver = [&](SavePictureDialog& picker) {
            auto* types = picker.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            auto* nameBox = picker.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            auto* model = picker.findChild<QFileSystemModel*>();
            ASSERT_TRUE(types && nameBox && model);
            for (int i = 0; i < types->count(); ++i)
                shown.fileTypes << types->itemText(i);
            shown.selectedType = types->currentIndex();
            shown.selectedFilter = picker.selectedNameFilter();
            shown.modelFilters = model->nameFilters();
            shown.offeredText = nameBox->text();
            shown.offeredPath = picker.selectedFiles().value(0);
            shown.acceptMode = picker.acceptMode();
            shown.confirmsOverwrite = !picker.testOption(QFileDialog::DontConfirmOverwrite);
            shown.native = !picker.testOption(QFileDialog::DontUseNativeDialog);
            shown.defaultSuffix = picker.defaultSuffix();
            shown.resizable = picker.isSizeGripEnabled();
            shown.hasPreview = picker.preview() != nullptr && picker.preview()->parent() == &picker;
            if (!answer) {
                picker.reject();
                return;
            }
            if (!answer->isNull())
                nameBox->setText(*answer);
            static_cast<QDialog&>(picker).accept(); // QFileDialog's own checks run
        };
        form->Image5->clicked(); // as the icon's click does
        SavePictureDialog::testDriver = {};
        return shown;
    }
    Shown exportAs(const std::string& answer) { return exportAs(QString::fromStdString(answer)); }

    std::vector<std::string> filesInFolder() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.path().toStdString()))
            if (entry.is_regular_file())
                names.push_back(entry.path().lexically_relative(folder.path().toStdString()).string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // A screen with a trace and odd colours, so channel order and row order show.
    void drawOnScreen() {
        Bitmap& screen = form->Image1->editPicture();
        for (int x = 20; x < 200; ++x)
            screen.setPixel(x, 100 + x % 7, 0xFFFFFF);
        screen.setPixel(0, 0, 0x123456);
        screen.setPixel(290, 0, 0xABCDEF);
        screen.setPixel(0, 329, 0x010203);
        screen.setPixel(290, 329, 0xFEDCBA);
        form->Image1->update();
    }
};

TEST_F(FilesExportTest, TheDialogOffersThePictureTypesAndNoName) {
    const Shown shown = exportAs(std::nullopt);
    EXPECT_EQ(shown.fileTypes,
              (QStringList{"All (*.bmp;*.ico;*.emf;*.wmf)", "Bitmaps (*.bmp)", "Icons (*.ico)",
                           "Enhanced Metafiles (*.emf)", "Metafiles (*.wmf)"}));
    EXPECT_EQ(shown.selectedType, 0);
    EXPECT_EQ(shown.selectedFilter, "All (*.bmp;*.ico;*.emf;*.wmf)");
    // "All" lists the files of all four types.
    EXPECT_EQ(shown.modelFilters, (QStringList{"*.bmp", "*.ico", "*.emf", "*.wmf"}));
    EXPECT_EQ(shown.offeredText, QString());
    EXPECT_EQ(shown.acceptMode, QFileDialog::AcceptSave);
    EXPECT_FALSE(shown.confirmsOverwrite);
    EXPECT_FALSE(shown.native);
    EXPECT_EQ(shown.defaultSuffix, QString());
    EXPECT_TRUE(shown.resizable);
    EXPECT_TRUE(shown.hasPreview);
    // Cancelled: nothing written, nothing remembered, nothing shown.
    EXPECT_TRUE(filesInFolder().empty());
    EXPECT_EQ(form->LastExportName, "");
    EXPECT_TRUE(TestApp::messages().empty());
}

struct NameCase {
    const char* what;
    const char* confirmed; // relative to the test's folder
    const char* written;
};

void PrintTo(const NameCase& name, std::ostream* out) {
    *out << name.what;
}

class FilesExportNameTest : public FilesExportTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(FilesExportNameTest, WritesTheScreenUnderTheNameAsTheRuleSays) {
    const NameCase& c = GetParam();
    std::filesystem::create_directories(path("my.pics"));
    std::filesystem::create_directories(path("pics"));
    drawOnScreen();
    writeBytes(path(c.written), std::vector<uint8_t>(10, 'x')); // replaced without a question
    fillPattern(state.TraceX, state.TraceY, 7);
    const TraceArray traceX = state.TraceX, traceY = state.TraceY;
    form->DataFileName = path("trace.bin");
    const std::string confirmed = path(c.confirmed);

    exportAs(confirmed);
    ASSERT_TRUE(TestApp::messages().empty()) << TestApp::messageTexts().join("|").toStdString();
    EXPECT_EQ(filesInFolder(), std::vector<std::string>{c.written});
    EXPECT_EQ(readBmpFile(path(c.written)), form->Image1->picture());
    EXPECT_EQ(form->LastExportName, confirmed); // as confirmed, without ".bmp"
    // Export touches nothing of the trace file or the display state.
    EXPECT_EQ(form->DataFileName, path("trace.bin"));
    EXPECT_EQ(state.TraceX, traceX);
    EXPECT_EQ(state.TraceY, traceY);
    EXPECT_FALSE(state.Paused);
    EXPECT_FALSE(form->DXTimer1->Enabled());
}

INSTANTIATE_TEST_SUITE_P(Files, FilesExportNameTest,
                         ::testing::Values(NameCase{"NoDot", "pics/trace", "pics/trace.bmp"},
                                           NameCase{"OtherExtension", "pics/trace.xyz", "pics/trace.xyz"},
                                           NameCase{"DotInFolder", "my.pics/trace", "my.pics/trace"},
                                           NameCase{"BmpAlready", "trace.bmp", "trace.bmp"}),
                         [](const ::testing::TestParamInfo<NameCase>& nameCase) {
                             return std::string(nameCase.param.what);
                         });

TEST_F(FilesExportTest, TheNextDialogOffersTheNameConfirmedLast) {
    const std::string first = path("trace");
    exportAs(first);
    EXPECT_EQ(filesInFolder(), std::vector<std::string>{"trace.bmp"});

    // Offered as confirmed, without the appended ".bmp"; confirming it unchanged
    // writes the same file again.
    std::filesystem::remove(path("trace.bmp"));
    Shown shown = exportAs(QString());
    EXPECT_EQ(shown.offeredText, "trace");
    EXPECT_EQ(shown.offeredPath, QString::fromStdString(first));
    EXPECT_EQ(filesInFolder(), std::vector<std::string>{"trace.bmp"});

    // A cancelled dialog leaves the name remembered.
    exportAs(std::nullopt);
    shown = exportAs(std::nullopt);
    EXPECT_EQ(shown.offeredPath, QString::fromStdString(first));
    EXPECT_EQ(form->LastExportName, first);
    EXPECT_TRUE(TestApp::messages().empty());
}

// Qt's file dialog keeps a history and the last folder in QtProject.conf under the
// user's config folder; the program saves nothing between runs, so a private config
// folder stays empty after two exports, while the second dialog still offers the
// name confirmed first.
TEST_F(FilesExportTest, NothingIsWrittenToTheConfigFolder) {
    const QString config = folder.path() + QStringLiteral("/config");
    const QString home = folder.path() + QStringLiteral("/home");
    ASSERT_TRUE(QDir().mkpath(config));
    ASSERT_TRUE(QDir().mkpath(home));
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME"), oldHome = qgetenv("HOME");
    qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
    qputenv("HOME", home.toLocal8Bit());

    const std::string first = path("picture.bmp");
    exportAs(QString::fromStdString(first));
    const Shown shown = exportAs(QString());
    EXPECT_EQ(shown.offeredPath, QString::fromStdString(first));
    QCoreApplication::processEvents();

    qputenv("XDG_CONFIG_HOME", oldConfig);
    qputenv("HOME", oldHome);
    const auto leftIn = [](const QString& dir) {
        return QDir(dir)
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
            .join(",")
            .toStdString();
    };
    EXPECT_EQ(leftIn(config), "");
    EXPECT_EQ(leftIn(home), "");
    EXPECT_TRUE(std::filesystem::exists(first));
}

TEST_F(FilesExportTest, TheFileIsA24BitBmpOfTheScreenPicture) {
    drawOnScreen();
    exportAs(path("shot.bmp"));
    ASSERT_TRUE(TestApp::messages().empty()) << TestApp::messageTexts().join("|").toStdString();
    const std::vector<uint8_t> bytes = readBytes(path("shot.bmp"));
    constexpr uint32_t kRowBytes = 876; // 291 * 3 = 873, padded to 4
    ASSERT_EQ(bytes.size(), 54u + kRowBytes * 330);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(le32(bytes, 2), 54u + kRowBytes * 330); // file size
    EXPECT_EQ(le32(bytes, 6), 0u);                    // reserved
    EXPECT_EQ(le32(bytes, 10), 54u);                  // pixel data offset
    EXPECT_EQ(le32(bytes, 14), 40u);                  // information header size
    EXPECT_EQ(le32(bytes, 18), 291u);
    EXPECT_EQ(le32(bytes, 22), 330u); // positive: bottom-up
    EXPECT_EQ(le16(bytes, 26), 1u);   // planes
    EXPECT_EQ(le16(bytes, 28), 24u);  // bits per pixel
    EXPECT_EQ(le32(bytes, 30), 0u);   // uncompressed

    const Bitmap& screen = form->Image1->picture();
    for (int y = 0; y < 330; ++y) {
        const size_t rowStart = 54 + size_t(329 - y) * kRowBytes;
        for (int x = 0; x < 291; ++x) {
            const uint32_t rgb = screen.pixel(x, y);
            const size_t at = rowStart + size_t(x) * 3;
            ASSERT_EQ(bytes[at], rgb & 0xFF) << x << "," << y;             // blue
            ASSERT_EQ(bytes[at + 1], (rgb >> 8) & 0xFF) << x << "," << y;  // green
            ASSERT_EQ(bytes[at + 2], (rgb >> 16) & 0xFF) << x << "," << y; // red
        }
        for (size_t pad = rowStart + 873; pad < rowStart + kRowBytes; ++pad)
            ASSERT_EQ(bytes[pad], 0) << "padding of row " << y;
    }
    // Read back as Clear reads a background, it is the same picture.
    EXPECT_EQ(readBmpFile(path("shot.bmp")), screen);
}

TEST_F(FilesExportTest, ThePictureKeepsItsOwnSizeWhateverTheWindowsSize) {
    showForm();
    form->resize(900, 620);
    QCoreApplication::processEvents();
    ASSERT_NE(form->Image1->size(), QSize(291, 330));
    drawOnScreen();
    exportAs(path("big"));
    const std::vector<uint8_t> bytes = readBytes(path("big.bmp"));
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(le32(bytes, 18), 291u);
    EXPECT_EQ(le32(bytes, 22), 330u);
    EXPECT_EQ(readBmpFile(path("big.bmp")), form->Image1->picture());
}

TEST_F(FilesExportTest, AFileThatCannotBeCreatedIsReportedAndNothingChanges) {
    drawOnScreen();
    const Bitmap screen = form->Image1->picture();
    const Bitmap background = form->Image2->picture();
    fillPattern(state.TraceX, state.TraceY, 8);
    const TraceArray traceX = state.TraceX, traceY = state.TraceY;
    const std::string target = path("missing/trace.bmp");

    exportAs(target);
    EXPECT_EQ(TestApp::messageTexts(),
              QStringList{QString::fromStdString("Cannot create file " + target + ".")});
    EXPECT_TRUE(filesInFolder().empty());
    EXPECT_EQ(form->Image1->picture(), screen);
    EXPECT_EQ(form->Image2->picture(), background);
    EXPECT_EQ(state.TraceX, traceX);
    EXPECT_EQ(state.TraceY, traceY);
    EXPECT_FALSE(state.Paused);
    EXPECT_EQ(form->LastExportName, target); // the dialog remembers what was confirmed
}

// The dialog shown modally and answered as a user would: name typed, Enter pressed.
TEST_F(FilesExportTest, TheModalDialogTakesATypedName) {
    const QString typed = QString::fromStdString(path("typed"));
    bool answered = false;
    QTimer::singleShot(0, [&] {
        auto* picker = qobject_cast<SavePictureDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(picker, nullptr);
        picker->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(typed);
        static_cast<QDialog*>(picker)->accept();
        answered = true;
    });
    // Should the dialog not appear as expected, close whatever is modal so the test ends.
    QTimer rescue;
    rescue.setSingleShot(true);
    QObject::connect(&rescue, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    rescue.start(20000);
    form->Image5->clicked();
    EXPECT_TRUE(answered);
    EXPECT_EQ(filesInFolder(), std::vector<std::string>{"typed.bmp"});
}

TEST_F(FilesExportTest, ThePreviewShowsThePictureUnderTheCursor) {
    const Bitmap picture(300, 150, 0x00FF00);
    writeBmpFile(path("wide.bmp"), picture);
    writeBytes(path("junk.bmp"), std::vector<uint8_t>(100, 1));
    SavePictureDialog picker;
    ASSERT_NE(picker.preview(), nullptr);
    emit picker.currentChanged(QString::fromStdString(path("wide.bmp")));
    const QPixmap shown = picker.preview()->pixmap();
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.width(), 2 * shown.height()); // scaled, its shape kept
    EXPECT_LE(shown.width(), picker.preview()->width());
    EXPECT_EQ(shown.toImage().pixelColor(shown.width() / 2, shown.height() / 2), QColor(0, 255, 0));

    emit picker.currentChanged(QString::fromStdString(path("junk.bmp")));
    EXPECT_TRUE(picker.preview()->pixmap().isNull());
    emit picker.currentChanged(QString::fromStdString(path("wide.bmp")));
    emit picker.currentChanged(folder.path());
    EXPECT_TRUE(picker.preview()->pixmap().isNull());
}

} // namespace
