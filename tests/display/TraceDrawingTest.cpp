// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/TraceDrawing.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "display/Graticule.h"
#include "display/TraceConversion.h"

using namespace veldora::display;

namespace {

constexpr uint32_t kWhite = 0xFFFFFF; // pixels 0x00RRGGBB
constexpr uint32_t kGreen = 0x008000;
constexpr uint32_t kBlue = 0x0000FF;

struct Trace {
    TraceArray x{}, y{};
    // Every point off to the right, where no drawing routine draws a segment to it.
    explicit Trace(int32_t farX = 400) {
        x.fill(farX);
        y.fill(0);
    }
    void set(int i, int32_t px, int32_t py) {
        x[i] = px;
        y[i] = py;
    }
};

Bitmap blackScreen() {
    return Bitmap(291, 330, 0);
}

void expectSamePicture(const Bitmap& got, const Bitmap& expected) {
    ASSERT_EQ(got.width(), expected.width());
    ASSERT_EQ(got.height(), expected.height());
    for (int y = 0; y < got.height(); ++y)
        for (int x = 0; x < got.width(); ++x)
            ASSERT_EQ(got.pixel(x, y), expected.pixel(x, y)) << "at " << x << "," << y;
}

int countInRow(const Bitmap& p, int y, uint32_t pixel, int fromX, int toX) {
    int n = 0;
    for (int x = fromX; x <= toX; ++x)
        n += p.pixel(x, y) == pixel;
    return n;
}

TEST(TraceDrawing, LiveTraceOfUnitStepsPaintsEachDrawnPointBeforeTheCut) {
    // x steps by one and y by at most one: each segment paints just its start point.
    Trace t;
    for (int i = 0; i <= 272; ++i)
        t.set(i, 20 + i, 100 + (i / 3) % 2);
    Bitmap background = blackScreen();
    background.setPixel(0, 0, 0x123456);
    Bitmap screen(5, 5, 0x777777);
    drawLiveTrace(screen, background, t.x, t.y, false, 100);

    // Points with x < 281 (i <= 260) are drawn: segments 1..260 paint points 0..259.
    Bitmap expected = background;
    for (int i = 0; i <= 259; ++i)
        expected.setPixel(20 + i, 100 + (i / 3) % 2, kWhite);
    expectSamePicture(screen, expected);
}

TEST(TraceDrawing, LiveSegmentStartsAtThePreviousEntryEvenWhenThatOneWasSkipped) {
    Trace t;
    t.set(0, 300, 10); // beyond the cut: skipped, yet the start of segment 1
    t.set(1, 20, 10);
    t.set(2, 22, 16); // steep: x from 20 to 22 over six rows
    Bitmap screen;
    drawLiveTrace(screen, blackScreen(), t.x, t.y, true, 100);

    Bitmap expected = blackScreen();
    for (int x = 21; x <= 290; ++x) // from x = 300 leftwards, up to but not including 20
        expected.setPixel(x, 10, kGreen);
    const int steep[6][2] = {{20, 10}, {20, 11}, {21, 12}, {21, 13}, {21, 14}, {22, 15}};
    for (const auto& p : steep)
        expected.setPixel(p[0], p[1], kGreen);
    expectSamePicture(screen, expected);
}

TEST(TraceDrawing, LiveCutOffFollowsTheHorizontalPosition) {
    const Bitmap graticule = makeGraticule();
    const CaptureBlockBuffer zeros{};
    struct Row {
        int trackBar4, firstPainted, lastPainted;
    };
    const Row rows[] = {{0, 10, 178}, {100, 10, 278}, {200, 109, 280}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "TrackBar4 " << r.trackBar4);
        TraceArray x{}, y{};
        convertBlock(zeros, {2, 1, r.trackBar4, 100}, x, y);
        Bitmap screen;
        drawLiveTrace(screen, graticule, x, y, false, r.trackBar4);
        for (int px = 0; px < 291; ++px) {
            const bool painted = px >= r.firstPainted && px <= r.lastPainted;
            ASSERT_EQ(screen.pixel(px, 160) == kWhite, painted) << "x " << px;
        }
        // Nothing white off the zero line.
        int white = 0;
        for (int py = 0; py < 330; ++py)
            white += countInRow(screen, py, kWhite, 0, 290);
        EXPECT_EQ(white, r.lastPainted - r.firstPainted + 1);
    }
}

TEST(TraceDrawing, ClampedColumnIsDrawnOnlyWhenThePositionIsRightOfCentre) {
    CaptureBlockBuffer block{};
    for (int i = 0; i < 256; ++i) { // alternating full-scale words
        const uint32_t w = i % 2 ? 0x7FFF0000u : 0x80000000u;
        for (int b = 0; b < 4; ++b)
            block[4 * i + b] = static_cast<uint8_t>(w >> (8 * b));
    }
    for (int trackBar4 : {100, 200}) {
        TraceArray x{}, y{};
        convertBlock(block, {2, 1, trackBar4, 100}, x, y);
        Bitmap screen;
        drawLiveTrace(screen, blackScreen(), x, y, false, trackBar4);
        int column281 = 0;
        for (int py = 0; py < 330; ++py)
            column281 += screen.pixel(281, py) == kWhite;
        if (trackBar4 == 100)
            EXPECT_EQ(column281, 0);
        else // vertical strokes between y = 84 and 236
            EXPECT_EQ(column281, 236 - 84 + 1);
    }
}

TEST(TraceDrawing, LiveDrawingReusesTheScreenStorage) {
    TraceArray x{}, y{};
    Bitmap screen = blackScreen();
    const uint32_t* before = screen.data();
    drawLiveTrace(screen, makeGraticule(), x, y, false, 100);
    EXPECT_EQ(screen.data(), before);
}

TEST(TraceDrawing, PausedRedrawShiftsByTheSliderMovementAndBack) {
    CaptureBlockBuffer block{};
    for (int i = 0; i < 256; ++i) { // a gentle ramp, well inside the picture
        const uint32_t w = static_cast<uint32_t>((i % 40 - 20) * 0x02000000);
        for (int b = 0; b < 4; ++b)
            block[4 * i + b] = static_cast<uint8_t>(w >> (8 * b));
    }
    TraceArray x{}, y{};
    convertBlock(block, {2, 1, 100, 100}, x, y);
    Bitmap atCentre, live, right, up, back;
    drawPausedTrace(atCentre, blackScreen(), x, y, false, 100, 100);
    drawLiveTrace(live, blackScreen(), x, y, false, 100);
    expectSamePicture(atCentre, live);
    ASSERT_GT(countInRow(atCentre, 160, kWhite, 0, 290) + countInRow(atCentre, 150, kWhite, 0, 290), 0);

    drawPausedTrace(right, blackScreen(), x, y, false, 110, 100);
    drawPausedTrace(up, blackScreen(), x, y, false, 100, 90);
    for (int py = 0; py < 330; ++py)
        for (int px = 0; px < 291; ++px) {
            ASSERT_EQ(right.pixel(px, py), px >= 10 ? atCentre.pixel(px - 10, py) : 0u) << px << "," << py;
            ASSERT_EQ(up.pixel(px, py), py + 10 < 330 ? atCentre.pixel(px, py + 10) : 0u) << px << "," << py;
        }
    drawPausedTrace(back, blackScreen(), x, y, false, 100, 100);
    expectSamePicture(back, atCentre);
}

TEST(TraceDrawing, PausedRedrawNeverDrawsToAStoredXOf281) {
    Trace t(281);
    t.set(0, 20, 20);
    t.set(1, 30, 20);
    t.set(2, 281, 100); // skipped, but the start of segment 3
    t.set(3, 60, 100);
    Bitmap screen;
    drawPausedTrace(screen, blackScreen(), t.x, t.y, false, 90, 100); // 10 px to the left

    Bitmap expected = blackScreen();
    for (int px = 10; px <= 19; ++px)
        expected.setPixel(px, 20, kWhite);
    for (int px = 51; px <= 271; ++px)
        expected.setPixel(px, 100, kWhite);
    expectSamePicture(screen, expected);
}

TEST(TraceDrawing, MergeDrawsInBlueToPointsUpTo280AndKeepsTheResultAsBackground) {
    Bitmap background = makeGraticule();
    const Bitmap graticule = background;
    Trace t(300);
    t.set(0, 20, 20);
    t.set(1, 281, 50); // no line to it
    t.set(2, 40, 50);  // but the line from it is drawn
    t.set(3, 40, 60);
    t.set(4, 280, 60);               // the last x that is drawn to
    for (int i = 273; i <= 279; ++i) // never drawn
        t.set(i, 5 + i - 273, 5);
    Bitmap screen = blackScreen();
    drawMergedTrace(screen, background, t.x, t.y);

    Bitmap expected = graticule;
    for (int px = 41; px <= 281; ++px)
        expected.setPixel(px, 50, kBlue);
    for (int py = 50; py <= 59; ++py)
        expected.setPixel(40, py, kBlue);
    for (int px = 40; px <= 279; ++px)
        expected.setPixel(px, 60, kBlue);
    expectSamePicture(screen, expected);
    expectSamePicture(background, expected);

    // A second merge keeps the first one's trace under the new one.
    Trace second(300);
    second.set(0, 100, 200);
    second.set(1, 110, 200);
    drawMergedTrace(screen, background, second.x, second.y);
    for (int px = 100; px <= 109; ++px)
        expected.setPixel(px, 200, kBlue);
    expectSamePicture(background, expected);
}

TEST(TraceDrawing, MergeOfATraceBeyondTheGridStillCopiesTheBackground) {
    Bitmap background = makeGraticule();
    Bitmap screen = blackScreen();
    screen.setPixel(1, 1, kWhite); // a stale frame
    Trace t(281);
    drawMergedTrace(screen, background, t.x, t.y);
    expectSamePicture(screen, makeGraticule());
    expectSamePicture(background, makeGraticule());
}

} // namespace
