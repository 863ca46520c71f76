// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/TraceDrawing.h"

#include "display/Canvas.h"

namespace veldora::display {

namespace {

constexpr int kLastPoint = kConvertedPoints - 1; // 272

int32_t wrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

// Screen becomes a copy of background; then, for each point i whose stored x the
// cut rule `drawn` accepts, the segment from point i-1 (point 0 for i = 0) to
// point i, both ends moved by (dx, dy).
template <class CutRule>
void drawPolyline(Bitmap& screen, const Bitmap& background, const TraceArray& traceX,
                  const TraceArray& traceY, Colour colour, CutRule drawn, int32_t dx = 0, int32_t dy = 0) {
    screen.assign(background);
    Canvas canvas(screen);
    canvas.setPenColour(colour);
    for (int i = 0; i <= kLastPoint; ++i) {
        if (!drawn(traceX[i]))
            continue;
        const int from = i == 0 ? 0 : i - 1;
        canvas.MoveTo(wrapAdd(traceX[from], dx), wrapAdd(traceY[from], dy));
        canvas.LineTo(wrapAdd(traceX[i], dx), wrapAdd(traceY[i], dy));
    }
}

} // namespace

void drawLiveTrace(Bitmap& screen, const Bitmap& background, const TraceArray& traceX,
                   const TraceArray& traceY, bool reversed, int32_t xPosition) {
    const int64_t cutOff = int64_t(xPosition) + 181; // 281 at the centre position
    drawPolyline(screen, background, traceX, traceY, traceColour(reversed),
                 [cutOff](int32_t x) { return x < cutOff; });
}

void drawPausedTrace(Bitmap& screen, const Bitmap& background, const TraceArray& traceX,
                     const TraceArray& traceY, bool reversed, int32_t xPosition, int32_t yPosition) {
    drawPolyline(
        screen, background, traceX, traceY, traceColour(reversed), [](int32_t x) { return x < 281; },
        wrapAdd(xPosition, -100), wrapAdd(yPosition, -100));
}

void drawMergedTrace(Bitmap& screen, Bitmap& background, const TraceArray& traceX, const TraceArray& traceY) {
    drawPolyline(screen, background, traceX, traceY, kMergeColour, [](int32_t x) { return x <= 280; });
    background.assign(screen);
}

} // namespace veldora::display
