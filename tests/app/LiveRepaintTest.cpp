// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The refresh tick repaints only what changed: a tick whose inputs are those of the
// last frame leaves the screen picture and its repaints alone, and every kind of input
// change draws the frame the tick has always drawn, repainted once. The window is
// shown on the offscreen platform so that repaints really happen; the tests tick by
// hand with the timer off, and flush pending repaints before they count.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>

#include <functional>
#include <string>
#include <utility>

#include "app/FrameStats.h"
#include "base/ExecutablePath.h"
#include "display/DXTimer.h"
#include "storage/BmpFile.h"
#include "storage/TraceFile.h"
#include "tests/app/LiveFixture.h"
#include "tests/app/SavedFile.h"

using namespace veldora::base;
using namespace veldora::display;
using namespace veldora::storage;
using namespace veldora::app;

namespace {

// Background files next to the test program, which stands in for the program; what
// was there before (the build's pictures) is put back whatever the test does.
class BackgroundFiles {
  public:
    BackgroundFiles(const Bitmap& normal, const Bitmap& reversed)
        : normal_(executableDirectory() + "/background.bmp"),
          reversed_(executableDirectory() + "/background2.bmp") {
        writeBmpFile(normal_.path(), normal);
        writeBmpFile(reversed_.path(), reversed);
    }

  private:
    SavedFile normal_, reversed_;
};

class LiveRepaintTest : public LiveFixture {
  protected:
    void SetUp() override {
        LiveFixture::SetUp();
        sound->acceptFormats({{48000, 16, 1}});
        start();
        ASSERT_TRUE(TestApp::messages().empty()) << TestApp::messageTexts().join("|").toStdString();
        form->DXTimer1->setEnabled(false); // the tests tick by hand
        const uint64_t repaints = frameCounts().repaints;
        form->show();
        ASSERT_TRUE(waitFor([&] { return frameCounts().repaints > repaints; }));
    }

    // Reads without handing out the pixels for writing (which counts as a change).
    const Bitmap& screen() const { return form->Image1->picture(); }
    uint64_t screenVersion() const { return form->Image1->pictureVersion(); }

    // Runs every repaint that is pending, and the events the platform has queued.
    static void flush() {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
    static bool waitFor(const std::function<bool()>& done) {
        QElapsedTimer elapsed;
        elapsed.start();
        while (!done() && elapsed.elapsed() < 10000) {
            flush();
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
        }
        return done();
    }

    void deliver(uint32_t word) {
        ASSERT_TRUE(sound->pushBytes(words(word, 256)));
        form->CaptureStreamFilledBuffer(*form->CaptureStream);
    }

    // The frame a tick has always drawn: the background, then the trace over it.
    Bitmap literalFrame() const {
        Bitmap frame;
        drawLiveTrace(frame, form->Image2->picture(), state.TraceX, state.TraceY, state.Reversed,
                      form->TrackBar4->value());
        return frame;
    }

    // One tick, its repaints flushed: whether it drew, and how many repaints followed.
    std::pair<bool, uint64_t> tick() {
        const uint64_t frames = frameCounts().frames, repaints = frameCounts().repaints;
        form->DXTimer1Timer(0);
        flush();
        return {frameCounts().frames > frames, frameCounts().repaints - repaints};
    }
};

TEST_F(LiveRepaintTest, TickWithNothingChangedLeavesTheScreenAlone) {
    deliver(0x20000000);
    ASSERT_EQ(tick(), std::make_pair(true, uint64_t{1}));
    const Bitmap drawn = screen();
    ASSERT_EQ(drawn, literalFrame());
    const uint64_t version = screenVersion();
    const uint64_t windowPaints = frameCounts().windowPaints;

    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(tick(), std::make_pair(false, uint64_t{0})) << i;
    EXPECT_EQ(screen(), drawn); // byte for byte what the literal tick would draw
    EXPECT_EQ(screenVersion(), version);
    // The drawn frame repainted the screen image only, never the window around it.
    EXPECT_EQ(frameCounts().windowPaints, windowPaints);
}

TEST_F(LiveRepaintTest, EveryKindOfInputChangeDrawsTheLiteralFrameOnce) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string traceFile = folder.path().toStdString() + "/trace.bin";
    Bitmap normal(291, 330, 0x102030), reversed(291, 330, 0x405060);
    normal.setPixel(5, 5, 0x00FF00);
    const BackgroundFiles files(normal, reversed);

    deliver(0x10000000);
    ASSERT_TRUE(tick().first);
    writeTraceFile(traceFile, state.TraceX, state.TraceY);
    form->DataFileName = traceFile;

    const std::pair<const char*, std::function<void()>> changes[] = {
        {"a new block", [&] { deliver(0x30000000); }},
        {"a new block with the same contents", [&] { deliver(0x30000000); }},
        {"the Trigger X slider (the drawing's cut-off)", [&] { form->TrackBar4->setValue(60); }},
        {"the trace colour", [&] { state.Reversed = !state.Reversed; }},
        {"Clear", [&] { form->Button7->click(); }},
        {"Revers", [&] { form->Button9->click(); }},
        {"Merge", [&] { form->Button6->click(); }},
        {"Load, then Pause to run again",
         [&] {
             form->Button3->click();
             form->Button5->click();
             form->DXTimer1->setEnabled(false);
         }},
        {"Pause, a paused redraw, Pause again",
         [&] {
             form->Button5->click();
             form->TrackBar2->setValue(130);
             form->Button5->click();
             form->DXTimer1->setEnabled(false);
         }},
        {"the screen picture set from outside",
         [&] { form->Image1->setPicture(Bitmap(291, 330, 0x123456)); }},
    };
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        change();
        flush();
        ASSERT_TRUE(TestApp::messages().empty()) << TestApp::messageTexts().join("|").toStdString();
        EXPECT_EQ(tick(), std::make_pair(true, uint64_t{1}));
        EXPECT_EQ(screen(), literalFrame());
        EXPECT_EQ(tick(), std::make_pair(false, uint64_t{0})); // and only once
    }
}

// Resize and expose repaint the screen image from the picture it holds; the next tick
// has nothing new to draw.
TEST_F(LiveRepaintTest, ResizeAndExposeRepaintWithoutDrawing) {
    deliver(0x20000000);
    ASSERT_TRUE(tick().first);
    const Bitmap drawn = screen();
    {
        SCOPED_TRACE("resize");
        const uint64_t repaints = frameCounts().repaints;
        form->resize(form->width() + 40, form->height() + 20);
        EXPECT_TRUE(waitFor([&] { return frameCounts().repaints > repaints; }));
        EXPECT_EQ(tick(), std::make_pair(false, uint64_t{0}));
    }
    {
        SCOPED_TRACE("hidden and shown again");
        const uint64_t repaints = frameCounts().repaints, exposes = frameCounts().exposes;
        form->hide();
        form->show();
        EXPECT_TRUE(waitFor([&] { return frameCounts().repaints > repaints; }));
        EXPECT_GT(frameCounts().exposes, exposes);
        EXPECT_EQ(tick(), std::make_pair(false, uint64_t{0}));
    }
    EXPECT_EQ(screen(), drawn);
}

} // namespace
