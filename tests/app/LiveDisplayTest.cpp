// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The live display through the real window: known bytes in the simulated ring, the
// filled-buffer handler, the refresh tick's trigger and drawing, Pause and the sliders.
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "base/MainThreadQueue.h"
#include "display/DXTimer.h"
#include "tests/app/LiveFixture.h"

using namespace veldora::base;
using namespace veldora::display;
using namespace veldora::sound;
using namespace veldora::app;

namespace {

class LiveDisplayTest : public LiveFixture {
  protected:
    void SetUp() override {
        LiveFixture::SetUp();
        sound->acceptFormats({{48000, 16, 1}});
        start();
        ASSERT_TRUE(TestApp::messages().empty()) << TestApp::messageTexts().join("|").toStdString();
        ASSERT_TRUE(form->CaptureStream && form->CaptureStream->GetCapturing());
    }
    void deliver() { form->CaptureStreamFilledBuffer(*form->CaptureStream); }
    // White pixels of one row of the screen picture.
    int whiteInRow(int y) const {
        int n = 0;
        for (int x = 0; x < form->Image1->picture().width(); ++x)
            n += form->Image1->picture().pixel(x, y) == kWhite;
        return n;
    }
};

constexpr uint32_t kFullScalePositive = 0x7FFF0000; // y 236 at the start positions
constexpr uint32_t kFullScaleNegative = 0x80000000; // y 84

TEST_F(LiveDisplayTest, HandlerConvertsTheNewestBlock) {
    // Fewer than a block captured since Start: the seeded trace stays.
    ASSERT_TRUE(sound->pushBytes(words(kFullScalePositive, 250)));
    deliver();
    EXPECT_EQ(state.TraceY[0], 160);
    EXPECT_EQ(state.TraceY[2], 0);

    ASSERT_TRUE(sound->pushBytes(words(kFullScalePositive, 6))); // 1024 bytes now
    deliver();
    EXPECT_EQ(state.BlockSize, 1024);
    for (int i = 0; i <= 255; ++i)
        ASSERT_EQ(state.TraceY[i], 236) << i;
    for (int i = 256; i <= 272; ++i) // words past the block are zero
        ASSERT_EQ(state.TraceY[i], 160) << i;
    EXPECT_EQ(state.TraceX[0], 10);
    EXPECT_EQ(state.TraceX[1], 11);
    EXPECT_EQ(state.TraceX[135], 279);
    EXPECT_EQ(state.TraceX[136], 281);
    EXPECT_EQ(state.TraceX[272], 281);
    EXPECT_EQ(form->CaptureStream->AvailableBytes(), 0);

    // Half a block more: the newest 1024 bytes, overlapping the block before.
    ASSERT_TRUE(sound->pushBytes(words(kFullScaleNegative, 128)));
    deliver();
    EXPECT_EQ(state.TraceY[0], 236);
    EXPECT_EQ(state.TraceY[127], 236);
    EXPECT_EQ(state.TraceY[128], 84);
    EXPECT_EQ(state.TraceY[255], 84);

    // The sliders in force at conversion time.
    form->TrackBar2->setValue(110);
    form->TrackBar3->setValue(0);
    deliver();
    EXPECT_EQ(state.TraceY[0], 110 + 60 + 34);
    EXPECT_EQ(state.TraceY[255], 110 + 60 - 34);
}

// Three rings' worth arrives between two deliveries: the handler skips to the newest
// block instead of reading through stale, half-overwritten data.
TEST_F(LiveDisplayTest, BacklogIsSkipped) {
    const uint32_t ring = sound->ringBytes();
    ASSERT_EQ(ring, 98304u);
    ASSERT_TRUE(sound->pushBytes(1024));
    deliver();
    ASSERT_TRUE(sound->pushBytes(3 * ring + 100));
    deliver();
    const uint64_t end = sound->bytesCaptured();
    for (int k = 0; k < 1024; ++k)
        ASSERT_EQ(state.CaptureBlock[k], SimulatedSoundService::patternByte(end - 1024 + k)) << k;
    EXPECT_EQ(form->CaptureStream->AvailableBytes(), 0);
}

// Through the notification thread, as capture delivers it.
TEST_F(LiveDisplayTest, NotificationDeliversToTheHandler) {
    ASSERT_TRUE(sound->pushBytes(words(kFullScaleNegative, 256)));
    ASSERT_EQ(state.TraceY[255], 0);
    // Served until the handler has converted a block (entry 255 is 0 before the first).
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return state.TraceY[255] != 0; },
                               [] { MainThreadQueue::instance().serveFor(std::chrono::milliseconds(5)); }));
    EXPECT_EQ(state.TraceY[0], 84);
    EXPECT_EQ(state.TraceY[255], 84);
}

TEST_F(LiveDisplayTest, TickDrawsWhenTheTriggerPasses) {
    const Bitmap& background = form->Image2->picture();
    const Bitmap marker(291, 330, 0x123456);
    {
        SCOPED_TRACE("\"+/-\" before any block: the seeded segment from (10, 160) toward (0, 0)");
        form->Image1->setPicture(marker);
        form->DXTimer1Timer(0);
        EXPECT_EQ(form->Image1->picture().pixel(10, 160), kWhite);
        EXPECT_EQ(form->Image1->picture().pixel(5, 80), kWhite);
        EXPECT_EQ(form->Image1->picture().pixel(0, 0), background.pixel(0, 0));
        EXPECT_EQ(form->Image1->picture().pixel(200, 200), background.pixel(200, 200));
    }
    ASSERT_TRUE(sound->pushBytes(words(kFullScalePositive, 256)));
    deliver();
    {
        SCOPED_TRACE("\"-\" with the trace 76 below the level: the screen keeps its picture");
        form->RadioButton2->setChecked(true);
        form->Image1->setPicture(marker);
        form->DXTimer1Timer(0);
        EXPECT_EQ(form->Image1->picture(), marker);
    }
    {
        SCOPED_TRACE("\"+/-\" draws the converted trace: row 236 from x 10 to 278");
        form->RadioButton1->setChecked(true);
        form->DXTimer1Timer(0);
        EXPECT_EQ(form->Image1->picture().pixel(10, 236), kWhite);
        EXPECT_EQ(form->Image1->picture().pixel(278, 236), kWhite);
        EXPECT_EQ(whiteInRow(236), 278 - 10 + 1);
        EXPECT_EQ(form->Image1->picture().pixel(100, 160), background.pixel(100, 160));
    }
    ASSERT_TRUE(sound->pushBytes(words(0, 256)));
    deliver();
    {
        SCOPED_TRACE("\"-\" with a silent block on the level line passes");
        form->RadioButton2->setChecked(true);
        form->Image1->setPicture(marker);
        form->DXTimer1Timer(0);
        EXPECT_EQ(form->Image1->picture().pixel(100, 160), kWhite);
        EXPECT_EQ(form->Image1->picture().pixel(100, 236), background.pixel(100, 236));
    }
    {
        SCOPED_TRACE("reversed scheme draws green");
        state.Reversed = true;
        form->DXTimer1Timer(0);
        EXPECT_EQ(form->Image1->picture().pixel(100, 160), colourToPixel(kTraceColourReversed));
    }
}

TEST_F(LiveDisplayTest, TicksComeFromTheEventLoop) {
    ASSERT_TRUE(sound->pushBytes(words(kFullScalePositive, 256)));
    deliver();
    const Bitmap marker(291, 330, 0x123456);
    form->Image1->setPicture(marker);
    ASSERT_TRUE(runLoopUntil([&] { return form->Image1->picture() != marker; })) << "no tick drew";
    EXPECT_EQ(whiteInRow(236), 278 - 10 + 1);
}

TEST_F(LiveDisplayTest, PauseStopsCaptureAndTimerAndPauseAgainRestartsBoth) {
    const int starts = sound->startCalls();
    // No refresh delay: a running timer ticks on every idle pass.
    form->DXTimer1->setInterval(0);
    form->Button5->click();
    EXPECT_TRUE(state.Paused);
    EXPECT_FALSE(form->CaptureStream->GetCapturing());
    EXPECT_FALSE(sound->bufferRunning());
    EXPECT_FALSE(form->DXTimer1->Enabled());
    EXPECT_EQ(form->Button5->text(), "Pause");

    // Frozen: the loop's idle passes draw nothing.
    const Bitmap marker(291, 330, 0x123456);
    form->Image1->setPicture(marker);
    ASSERT_TRUE(runIdlePasses(20));
    EXPECT_EQ(form->Image1->picture(), marker);

    form->Button5->click();
    EXPECT_FALSE(state.Paused);
    EXPECT_TRUE(form->CaptureStream->GetCapturing());
    EXPECT_TRUE(form->CaptureStream->GetNotifyThread() != nullptr);
    EXPECT_TRUE(sound->bufferRunning());
    EXPECT_EQ(sound->startCalls(), starts + 1);
    EXPECT_TRUE(form->DXTimer1->Enabled());
    EXPECT_TRUE(TestApp::messages().empty()) << TestApp::messageTexts().join("|").toStdString();

    // A fresh ring: the first block comes once a whole block has been captured again.
    ASSERT_TRUE(sound->pushBytes(words(kFullScaleNegative, 256)));
    deliver();
    EXPECT_EQ(state.TraceY[0], 84);
}

// Resuming when the ring cannot be made: the error is shown, the flag is already
// cleared and the timer stays off until Pause is pressed twice more.
TEST_F(LiveDisplayTest, ResumeThatFailsLeavesTheTimerOff) {
    form->Button5->click();
    sound->setBufferCreateOverride(DSERR_OUTOFMEMORY);
    form->Button5->click();
    ASSERT_EQ(TestApp::messageTexts(), QStringList{"Sound Capture Buffer cannot be made."});
    EXPECT_FALSE(state.Paused);
    EXPECT_FALSE(form->DXTimer1->Enabled());
    sound->setBufferCreateOverride(std::nullopt);
    form->Button5->click();
    form->Button5->click();
    EXPECT_FALSE(state.Paused);
    EXPECT_TRUE(form->DXTimer1->Enabled());
    EXPECT_TRUE(form->CaptureStream->GetCapturing());
}

TEST_F(LiveDisplayTest, PositionSlidersRedrawTheFrozenTraceShifted) {
    ASSERT_TRUE(sound->pushBytes(words(kFullScalePositive, 256)));
    deliver();
    form->DXTimer1Timer(0);
    ASSERT_EQ(form->Image1->picture().pixel(10, 236), kWhite);

    {
        SCOPED_TRACE("running: moving a slider leaves the screen alone");
        const Bitmap before = form->Image1->picture();
        form->TrackBar4->setValue(110);
        form->TrackBar2->setValue(90);
        EXPECT_EQ(form->Image1->picture(), before);
        form->TrackBar4->setValue(100);
        form->TrackBar2->setValue(100);
    }
    form->Button5->click();
    ASSERT_TRUE(state.Paused);
    {
        SCOPED_TRACE("Trigger X 100 -> 110: 10 pixels to the right");
        form->TrackBar4->setValue(110);
        EXPECT_EQ(form->Image1->picture().pixel(19, 236), form->Image2->picture().pixel(19, 236));
        EXPECT_EQ(form->Image1->picture().pixel(20, 236), kWhite);
        EXPECT_EQ(form->Image1->picture().pixel(288, 236), kWhite);
        EXPECT_EQ(whiteInRow(236), 278 - 10 + 1);
    }
    {
        SCOPED_TRACE("Trigger Y 100 -> 90: 10 pixels up");
        form->TrackBar2->setValue(90);
        EXPECT_EQ(whiteInRow(236), 0);
        EXPECT_EQ(whiteInRow(226), 278 - 10 + 1);
        EXPECT_EQ(form->Image1->picture().pixel(20, 226), kWhite);
    }
    {
        SCOPED_TRACE("both back: where it was");
        form->TrackBar4->setValue(100);
        form->TrackBar2->setValue(100);
        EXPECT_EQ(form->Image1->picture().pixel(10, 236), kWhite);
        EXPECT_EQ(whiteInRow(236), 278 - 10 + 1);
    }
}

TEST(LivePauseWithoutStream, TogglesFlagAndTimerOnly) {
    ProgramState state;
    TestApp::clearMessages();
    {
        SimulatedSoundService sound;
        sound.setOpenResult(DSERR_NODRIVER);
        TForm2 form(state);
        TestApp::app().guard([&] { form.FormCreate(); });
        ASSERT_FALSE(form.CaptureStream);
        TestApp::clearMessages();
        form.Button5->click();
        EXPECT_TRUE(state.Paused);
        EXPECT_FALSE(form.DXTimer1->Enabled());
        form.TrackBar4->setValue(120); // redraws the all-zero trace: nothing visible
        EXPECT_EQ(form.Image1->picture(), form.Image2->picture());
        form.Button5->click();
        EXPECT_FALSE(state.Paused);
        EXPECT_TRUE(form.DXTimer1->Enabled());
        EXPECT_TRUE(TestApp::messages().empty()) << TestApp::messageTexts().join("|").toStdString();
    }
    TestApp::app().setIdleHandler({});
}

} // namespace
