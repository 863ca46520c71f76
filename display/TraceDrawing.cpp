#include "display/TraceDrawing.h"

#include "display/Canvas.h"

namespace {

constexpr int kLastPoint = kConvertedPoints - 1; // 272

int32_t wrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

} // namespace

void drawLiveTrace(Bitmap& screen, const Bitmap& background, const TraceArray& traceX,
                   const TraceArray& traceY, bool reversed, int32_t trackBar4) {
    screen.assign(background);
    Canvas canvas(screen);
    canvas.setPenColour(traceColour(reversed));
    const int64_t cutOff = int64_t(trackBar4) + 181; // 281 at the centre position
    for (int i = 0; i <= kLastPoint; ++i) {
        if (traceX[i] >= cutOff)
            continue;
        const int from = i == 0 ? 0 : i - 1;
        canvas.MoveTo(traceX[from], traceY[from]);
        canvas.LineTo(traceX[i], traceY[i]);
    }
}

void drawPausedTrace(Bitmap& screen, const Bitmap& background, const TraceArray& traceX,
                     const TraceArray& traceY, bool reversed, int32_t trackBar4, int32_t trackBar2) {
    screen.assign(background);
    Canvas canvas(screen);
    canvas.setPenColour(traceColour(reversed));
    const int32_t dx = wrapAdd(trackBar4, -100);
    const int32_t dy = wrapAdd(trackBar2, -100);
    for (int i = 0; i <= kLastPoint; ++i) {
        if (traceX[i] >= 281)
            continue;
        const int from = i == 0 ? 0 : i - 1;
        canvas.MoveTo(wrapAdd(traceX[from], dx), wrapAdd(traceY[from], dy));
        canvas.LineTo(wrapAdd(traceX[i], dx), wrapAdd(traceY[i], dy));
    }
}

void drawMergedTrace(Bitmap& screen, Bitmap& background, const TraceArray& traceX, const TraceArray& traceY) {
    screen.assign(background);
    Canvas canvas(screen);
    canvas.setPenColour(kMergeColour);
    for (int i = 0; i <= kLastPoint; ++i) {
        if (traceX[i] > 280)
            continue;
        const int from = i == 0 ? 0 : i - 1;
        canvas.MoveTo(traceX[from], traceY[from]);
        canvas.LineTo(traceX[i], traceY[i]);
    }
    background.assign(screen);
}
