// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Save, Load and Merge on the real main window.
#include <QPushButton>
#include <QSlider>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/PictureImage.h"
#include "base/ExecutablePath.h"
#include "capture/SoundCaptureStream.h"
#include "display/DXTimer.h"
#include "display/Graticule.h"
#include "display/TraceConversion.h"
#include "display/TraceDrawing.h"
#include "storage/BmpFile.h"
#include "storage/TraceFile.h"
#include "tests/app/FilesFixture.h"
#include "tests/app/SavedFile.h"
#include "tests/storage/ScratchFiles.h"
#include "tests/support/SimulatedSoundService.h"

using namespace veldora::base;
using namespace veldora::display;
using namespace veldora::storage;
using namespace veldora::capture;

namespace {

using FilesTraceTest = FilesFixture;

constexpr uint32_t kWhite = colourToPixel(kTraceColourNormal);
constexpr uint32_t kBlue = colourToPixel(kMergeColour);

// The pixels where two pictures differ, as (x, y) pairs.
std::vector<std::pair<int, int>> differences(const Bitmap& a, const Bitmap& b) {
    std::vector<std::pair<int, int>> found;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                found.emplace_back(x, y);
    return found;
}

std::vector<std::pair<int, int>> row(int left, int right, int y) {
    std::vector<std::pair<int, int>> pixels;
    for (int x = left; x <= right; ++x)
        pixels.emplace_back(x, y);
    return pixels;
}

TEST_F(FilesTraceTest, SaveThenLoadWhilePausedGivesBackTheSameValues) {
    const std::string file = path("trace.bin");
    writeBytes(file, std::vector<uint8_t>(5000, 0xAB)); // a longer file is truncated
    form->DataFileName = file;
    state.Paused = true;
    form->DXTimer1->setEnabled(false);
    fillPattern(state.TraceX, state.TraceY, 1);
    const TraceArray savedX = state.TraceX, savedY = state.TraceY;
    const Bitmap screen = form->Image1->picture();

    form->Button4->click();
    ASSERT_TRUE(TestApp::messages().empty()) << TestApp::messageTexts().join("|").toStdString();
    const std::vector<uint8_t> bytes = readBytes(file);
    ASSERT_EQ(bytes.size(), 2240u);
    for (int i = 0; i < kStoredPoints; ++i) {
        ASSERT_EQ(le32(bytes, 4 * i), uint32_t(savedX[i])) << "X " << i;
        ASSERT_EQ(le32(bytes, 1120 + 4 * i), uint32_t(savedY[i])) << "Y " << i;
    }
    // Save changes nothing but the file.
    EXPECT_EQ(state.TraceX, savedX);
    EXPECT_EQ(state.TraceY, savedY);
    EXPECT_TRUE(state.Paused);
    EXPECT_FALSE(form->DXTimer1->Enabled());
    EXPECT_EQ(form->Image1->picture(), screen);

    fillPattern(state.TraceX, state.TraceY, 2);
    const TraceArray otherX = state.TraceX, otherY = state.TraceY;
    form->Button3->click();
    EXPECT_TRUE(TestApp::messages().empty()) << TestApp::messageTexts().join("|").toStdString();
    for (int i = 0; i < kTraceLength; ++i) {
        // entries past 279 are not in the file and keep their values
        EXPECT_EQ(state.TraceX[i], i < kStoredPoints ? savedX[i] : otherX[i]) << i;
        EXPECT_EQ(state.TraceY[i], i < kStoredPoints ? savedY[i] : otherY[i]) << i;
    }
    EXPECT_TRUE(state.Paused);
    EXPECT_FALSE(form->DXTimer1->Enabled());
}

// Load from the running state: the display freezes and shows the loaded trace, while
// capture goes on.
TEST_F(FilesTraceTest, LoadFromTheRunningStateFreezesTheDisplayAndLeavesCaptureRunning) {
    // A running stream of our own, whatever start-up opened.
    form->CaptureStream.reset();
    form->CaptureStream = std::make_unique<TSoundCaptureStream>(nullptr);
    TSoundCaptureStream* const stream = form->CaptureStream.get();
    stream->Start();
    ASSERT_TRUE(stream->GetCapturing());
    ASSERT_TRUE(form->DXTimer1->Enabled());
    ASSERT_FALSE(state.Paused);

    const std::string file = path("line.bin");
    fillLine(state.TraceX, state.TraceY, 40, 150, 100);
    writeTraceFile(file, state.TraceX, state.TraceY);
    const TraceArray loadedX = state.TraceX, loadedY = state.TraceY;
    fillPattern(state.TraceX, state.TraceY, 3);
    form->DataFileName = file;
    const Bitmap background = form->Image2->picture();

    form->Button3->click();
    EXPECT_TRUE(TestApp::messages().empty()) << TestApp::messageTexts().join("|").toStdString();
    EXPECT_FALSE(form->DXTimer1->Enabled());
    EXPECT_TRUE(state.Paused);
    EXPECT_EQ(form->CaptureStream.get(), stream);
    EXPECT_TRUE(stream->GetCapturing());
    for (int i = 0; i < kStoredPoints; ++i) {
        ASSERT_EQ(state.TraceX[i], loadedX[i]) << i;
        ASSERT_EQ(state.TraceY[i], loadedY[i]) << i;
    }
    EXPECT_EQ(form->Image2->picture(), background);
}

// Load draws the loaded trace in white over the background, shifted by the sliders'
// movement since it was saved; merged traces stay under it.
TEST_F(FilesTraceTest, LoadDrawsTheTraceOverTheBackgroundWithMergedTracesUnderIt) {
    const Bitmap graticule = makeGraticule();
    const std::string file = path("line.bin");
    fillLine(state.TraceX, state.TraceY, 40, 150, 100);
    writeTraceFile(file, state.TraceX, state.TraceY);
    form->DataFileName = file;
    form->Button3->click();
    ASSERT_TRUE(TestApp::messages().empty()) << TestApp::messageTexts().join("|").toStdString();
    // At the sliders' start positions exactly where it was saved: x 40..189 on row 100.
    EXPECT_EQ(differences(form->Image1->picture(), graticule), row(40, 189, 100));
    EXPECT_EQ(form->Image1->picture().pixel(40, 100), kWhite);
    EXPECT_EQ(form->Image2->picture(), graticule);

    // Shifted by the sliders' movement: 5 right and 3 up.
    state.Paused = false; // moving the sliders while running redraws nothing
    form->TrackBar4->setValue(105);
    form->TrackBar2->setValue(97);
    form->Button3->click();
    EXPECT_EQ(differences(form->Image1->picture(), graticule), row(45, 194, 97));

    // A merged trace stays in blue under the loaded one.
    const std::string merged = path("merged.bin");
    fillLine(state.TraceX, state.TraceY, 20, 100, 150);
    writeTraceFile(merged, state.TraceX, state.TraceY);
    form->DataFileName = merged;
    form->Button6->click();
    form->DataFileName = file;
    form->Button3->click();
    std::vector<std::pair<int, int>> expected = row(45, 194, 97);
    const auto mergedRow = row(20, 119, 150);
    expected.insert(expected.end(), mergedRow.begin(), mergedRow.end());
    EXPECT_EQ(differences(form->Image1->picture(), graticule), expected);
    EXPECT_EQ(form->Image1->picture().pixel(20, 150), kBlue);
    EXPECT_EQ(form->Image1->picture().pixel(45, 97), kWhite);
    ASSERT_TRUE(TestApp::messages().empty()) << TestApp::messageTexts().join("|").toStdString();
}

// While capture runs after Load, the next block rewrites entries 0..272 and entries
// 273..279 keep the file's values.
TEST_F(FilesTraceTest, AfterLoadTheNextCapturedBlockOverwritesTheConvertedEntries) {
    form->CaptureStream.reset();
    form->CaptureStream = std::make_unique<TSoundCaptureStream>(nullptr);
    TSoundCaptureStream& stream = *form->CaptureStream;
    stream.Start();
    state.BlockSize = 1024;

    const std::string file = path("line.bin");
    fillLine(state.TraceX, state.TraceY, 40, 150, 100);
    writeTraceFile(file, state.TraceX, state.TraceY);
    const TraceArray loadedX = state.TraceX, loadedY = state.TraceY;
    form->DataFileName = file;
    form->Button3->click();
    ASSERT_TRUE(TestApp::messages().empty()) << TestApp::messageTexts().join("|").toStdString();

    ASSERT_TRUE(sound->pushBytes(1024));
    form->CaptureStreamFilledBuffer(stream); // as the stream delivers a block
    CaptureBlockBuffer block{};
    for (int k = 0; k < 1024; ++k)
        block[k] = SimulatedSoundService::patternByte(k);
    TraceArray expectedX = loadedX, expectedY = loadedY;
    convertBlock(block, {}, expectedX, expectedY);
    EXPECT_EQ(state.TraceX, expectedX);
    EXPECT_EQ(state.TraceY, expectedY);
    for (int i = kConvertedPoints; i < kStoredPoints; ++i)
        EXPECT_EQ(state.TraceX[i], loadedX[i]) << i;
}

struct LoadFailure {
    const char* what;
    std::string (*prepare)(FilesFixture& fixture); // the DataFileName to use
    const char* message;
};

void PrintTo(const LoadFailure& failure, std::ostream* out) {
    *out << failure.what;
}

class FilesLoadFailureTest : public FilesFixture, public ::testing::WithParamInterface<LoadFailure> {
  public:
    std::string pathOf(const std::string& name) { return path(name); }
    using FilesFixture::writeBytes;
};

TEST_P(FilesLoadFailureTest, ShowsTheErrorAndKeepsTheArraysWithTheDisplayFrozen) {
    const LoadFailure& failure = GetParam();
    const std::string name = failure.prepare(*this);
    form->DataFileName = name;
    fillPattern(state.TraceX, state.TraceY, 4);
    const TraceArray beforeX = state.TraceX, beforeY = state.TraceY;
    form->Image1->editPicture().setPixel(3, 3, 0x123456); // whatever the screen showed
    const Bitmap screen = form->Image1->picture();
    const Bitmap background = form->Image2->picture();

    form->Button3->click();
    ASSERT_EQ(TestApp::messageTexts(), QStringList{QString::fromUtf8(failure.message)});
    EXPECT_EQ(TestApp::messages()[0].title, QStringLiteral("Veldora"));
    EXPECT_EQ(state.TraceX, beforeX);
    EXPECT_EQ(state.TraceY, beforeY);
    EXPECT_TRUE(state.Paused); // frozen before the read
    EXPECT_FALSE(form->DXTimer1->Enabled());
    EXPECT_EQ(form->Image1->picture(), screen); // no redraw
    EXPECT_EQ(form->Image2->picture(), background);

    // Merge of the same name: the same message, nothing drawn, nothing else touched.
    TestApp::clearMessages();
    state.Paused = false;
    form->DXTimer1->setEnabled(true);
    form->Button6->click();
    ASSERT_EQ(TestApp::messageTexts(), QStringList{QString::fromUtf8(failure.message)});
    EXPECT_EQ(state.TraceX, beforeX);
    EXPECT_EQ(state.TraceY, beforeY);
    EXPECT_FALSE(state.Paused);
    EXPECT_TRUE(form->DXTimer1->Enabled());
    EXPECT_EQ(form->Image1->picture(), screen);
    EXPECT_EQ(form->Image2->picture(), background);
}

INSTANTIATE_TEST_SUITE_P(
    Files, FilesLoadFailureTest,
    ::testing::Values(
        LoadFailure{"MissingFile",
                    [](FilesFixture& f) { return static_cast<FilesLoadFailureTest&>(f).pathOf("none.bin"); },
                    "File not found."},
        LoadFailure{
            "MissingFolder",
            [](FilesFixture& f) { return static_cast<FilesLoadFailureTest&>(f).pathOf("no/trace.bin"); },
            "Invalid filename."},
        LoadFailure{"ShortFile",
                    [](FilesFixture& f) {
                        auto& fixture = static_cast<FilesLoadFailureTest&>(f);
                        fixture.writeBytes(fixture.pathOf("short.bin"), std::vector<uint8_t>(1500, 0x11));
                        return fixture.pathOf("short.bin");
                    },
                    "Read beyond end of file."},
        LoadFailure{"EmptyFile",
                    [](FilesFixture& f) {
                        auto& fixture = static_cast<FilesLoadFailureTest&>(f);
                        fixture.writeBytes(fixture.pathOf("empty.bin"), {});
                        return fixture.pathOf("empty.bin");
                    },
                    "Read beyond end of file."},
        LoadFailure{"EmptyName", [](FilesFixture&) { return std::string(); }, "Invalid filename."},
        LoadFailure{"Folder",
                    [](FilesFixture& f) { return static_cast<FilesLoadFailureTest&>(f).pathOf(""); },
                    "File access denied."}),
    [](const ::testing::TestParamInfo<LoadFailure>& failure) { return std::string(failure.param.what); });

TEST_F(FilesTraceTest, SaveFailuresShowTheErrorAndChangeNothing) {
    fillPattern(state.TraceX, state.TraceY, 5);
    const TraceArray beforeX = state.TraceX, beforeY = state.TraceY;
    const struct {
        std::string name;
        const char* message;
    } cases[] = {{path("no/trace.bin"), "Invalid filename."}, {"", "Invalid filename."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestApp::clearMessages();
        form->DataFileName = c.name;
        form->Button4->click();
        EXPECT_EQ(TestApp::messageTexts(), QStringList{QString::fromUtf8(c.message)});
        EXPECT_EQ(state.TraceX, beforeX);
        EXPECT_EQ(state.TraceY, beforeY);
        EXPECT_FALSE(state.Paused);
        EXPECT_TRUE(form->DXTimer1->Enabled());
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder.path().toStdString()));
}

// The background files lie next to the program (the test program stands in for it);
// what was there is put back whatever the test does.
class BackgroundFile {
  public:
    explicit BackgroundFile(const Bitmap& picture) : saved_(executableDirectory() + "/background.bmp") {
        writeBmpFile(saved_.path(), picture);
    }

  private:
    SavedFile saved_;
};

TEST_F(FilesTraceTest, MergeTwiceLeavesBothTracesBlueInTheBackgroundUntilClear) {
    const Bitmap graticule = makeGraticule();
    ASSERT_EQ(form->Image2->picture(), graticule);
    const std::string first = path("first.bin"), second = path("second.bin");
    fillLine(state.TraceX, state.TraceY, 20, 100, 100); // row 100 is between grid lines: black there
    writeTraceFile(first, state.TraceX, state.TraceY);
    fillLine(state.TraceX, state.TraceY, 30, 60, 200);
    writeTraceFile(second, state.TraceX, state.TraceY);
    const TraceArray secondX = state.TraceX, secondY = state.TraceY;
    fillPattern(state.TraceX, state.TraceY, 6);
    form->DataFileName = first;
    form->Button6->click();
    form->DataFileName = second;
    form->Button6->click();
    ASSERT_TRUE(TestApp::messages().empty()) << TestApp::messageTexts().join("|").toStdString();

    // Each line ends one pixel before its last point.
    std::vector<std::pair<int, int>> merged = row(20, 119, 100);
    const auto secondRow = row(30, 89, 200);
    merged.insert(merged.end(), secondRow.begin(), secondRow.end());
    const Bitmap& background = form->Image2->picture();
    EXPECT_EQ(differences(background, graticule), merged);
    for (const auto& [x, y] : merged)
        ASSERT_EQ(background.pixel(x, y), kBlue) << x << "," << y;
    EXPECT_EQ(form->Image1->picture(), background);
    // The arrays hold the second file's trace; the display state is untouched.
    for (int i = 0; i < kStoredPoints; ++i) {
        ASSERT_EQ(state.TraceX[i], secondX[i]) << i;
        ASSERT_EQ(state.TraceY[i], secondY[i]) << i;
    }
    EXPECT_FALSE(state.Paused);
    EXPECT_TRUE(form->DXTimer1->Enabled());

    // Clear reloads the background from its file: the merged traces are gone.
    {
        BackgroundFile file(graticule);
        form->Button7->click();
    }
    ASSERT_TRUE(TestApp::messages().empty()) << TestApp::messageTexts().join("|").toStdString();
    EXPECT_EQ(form->Image2->picture(), graticule);
    EXPECT_EQ(form->Image1->picture(), graticule);
}

TEST_F(FilesTraceTest, MergeTestsOnlyTheEndPointOfEachSegment) {
    const std::string file = path("edge.bin");
    // Every x at 281: nothing is drawn.
    for (int i = 0; i < kTraceLength; ++i) {
        state.TraceX[i] = 281;
        state.TraceY[i] = 50 + i;
    }
    writeTraceFile(file, state.TraceX, state.TraceY);
    form->DataFileName = file;
    Bitmap screen(291, 330, 0xFF00FF); // a screen unlike the background
    form->Image1->setPicture(screen);
    const Bitmap background = form->Image2->picture();
    form->Button6->click();
    ASSERT_TRUE(TestApp::messages().empty()) << TestApp::messageTexts().join("|").toStdString();
    EXPECT_EQ(form->Image2->picture(), background);
    EXPECT_EQ(form->Image1->picture(), background);

    // One point at 280 gets the segment from its predecessor at 281; the next point,
    // back at 281, gets none.
    state.TraceX[5] = 280;
    state.TraceY[5] = 20;
    state.TraceY[4] = 20;
    state.TraceY[6] = 20;
    writeTraceFile(file, state.TraceX, state.TraceY);
    form->Button6->click();
    EXPECT_EQ(differences(form->Image2->picture(), background), row(281, 281, 20));
    EXPECT_EQ(form->Image2->picture().pixel(281, 20), kBlue);
    EXPECT_EQ(form->Image1->picture(), form->Image2->picture());
}

// The file checks of the calls below are made as an ordinary user: root, who may
// write any file, drops to nobody for its effective ids (every thread's), and takes
// them back at the end; anyone else is an ordinary user already.
class AsOrdinaryUser {
  public:
    explicit AsOrdinaryUser(const std::string& folder) {
        if (::geteuid() != 0)
            return;
        const passwd* user = ::getpwnam("nobody");
        const group* grp = ::getgrnam("nogroup");
        ok_ = user != nullptr && grp != nullptr && ::chmod(folder.c_str(), 0755) == 0 &&
              ::setegid(grp->gr_gid) == 0;
        dropped_ = ok_ && ::seteuid(user->pw_uid) == 0;
        ok_ = dropped_;
    }
    // Failing to take root back would run every later test as nobody: a test failure.
    // (A cast to void does not quiet GCC's unused-result warning under _FORTIFY_SOURCE.)
    ~AsOrdinaryUser() {
        if (dropped_) {
            EXPECT_EQ(::seteuid(0), 0);
        }
        if (::getegid() != ::getgid()) {
            EXPECT_EQ(::setegid(::getgid()), 0);
        }
    }
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;
    bool ok() const { return ok_; }

  private:
    bool ok_ = true;
    bool dropped_ = false;
};

// A reference trace kept read-only, by its mode or on read-only media, loads and
// merges; a save over it is refused and leaves it as it was; an unreadable one is refused.
TEST_F(FilesTraceTest, ReadOnlyTraceLoadsAndMergesButIsNotSavedOver) {
    fillLine(state.TraceX, state.TraceY, 40, 150, 100);
    const TraceArray lineX = state.TraceX, lineY = state.TraceY;
    const std::string reference = path("reference.bin"), secret = path("secret.bin");
    writeTraceFile(reference, lineX, lineY);
    writeTraceFile(secret, lineX, lineY);
    const std::vector<uint8_t> saved = readBytes(reference);
    ASSERT_EQ(::chmod(reference.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(secret.c_str(), 0000), 0);
    // Media mounted read-only, where this test may mount.
    std::unique_ptr<scratch::Tmpfs> media;
    if (::geteuid() == 0) {
        media = std::make_unique<scratch::Tmpfs>(path("media"), "size=64k,mode=0755");
        if (media->ok()) {
            writeTraceFile(path("media/t.bin"), lineX, lineY);
            ASSERT_TRUE(media->makeReadOnly());
        }
    }
    const Bitmap graticule = makeGraticule();
    AsOrdinaryUser user(folder.path().toStdString());
    ASSERT_TRUE(user.ok());

    std::vector<std::string> readOnly{reference};
    if (media && media->ok())
        readOnly.push_back(path("media/t.bin"));
    for (const std::string& file : readOnly) {
        SCOPED_TRACE(file);
        form->DataFileName = file;
        fillPattern(state.TraceX, state.TraceY, 7);
        form->Button3->click(); // Load
        ASSERT_TRUE(TestApp::messages().empty()) << TestApp::messageTexts().join("|").toStdString();
        EXPECT_TRUE(std::equal(lineX.begin(), lineX.begin() + kStoredPoints, state.TraceX.begin()));
        EXPECT_TRUE(std::equal(lineY.begin(), lineY.begin() + kStoredPoints, state.TraceY.begin()));
        EXPECT_EQ(differences(form->Image1->picture(), graticule), row(40, 189, 100));

        fillPattern(state.TraceX, state.TraceY, 8);
        form->Image2->setPicture(graticule);
        form->Button6->click(); // Merge
        ASSERT_TRUE(TestApp::messages().empty()) << TestApp::messageTexts().join("|").toStdString();
        EXPECT_TRUE(std::equal(lineX.begin(), lineX.begin() + kStoredPoints, state.TraceX.begin()));
        EXPECT_EQ(differences(form->Image2->picture(), graticule), row(40, 189, 100));
        EXPECT_EQ(form->Image2->picture().pixel(40, 100), kBlue);
    }

    fillPattern(state.TraceX, state.TraceY, 9);
    const TraceArray otherX = state.TraceX, otherY = state.TraceY;
    for (const std::string& file : {reference, secret}) {
        SCOPED_TRACE(file);
        form->DataFileName = file;
        for (QPushButton* button : {form->Button4, form->Button3, form->Button6}) { // Save, Load, Merge
            if (file == reference && button != form->Button4)
                continue;
            TestApp::clearMessages();
            button->click();
            EXPECT_EQ(TestApp::messageTexts(), QStringList{QStringLiteral("File access denied.")});
            EXPECT_EQ(state.TraceX, otherX);
            EXPECT_EQ(state.TraceY, otherY);
        }
    }
    EXPECT_EQ(readBytes(reference), saved);
}

} // namespace
