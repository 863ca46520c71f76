// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Turns one captured block into trace points: word i of the block (a signed
// 32-bit little-endian word) becomes point i, x from the time base and the
// horizontal position, y from the vertical scale and position. Pixels of the
// 291 x 330 screen picture, y downward. Pure; allocates nothing. Main thread.
#include <cstdint>

#include "display/TraceArrays.h"

namespace veldora::display {

// Slider positions as the front panel holds them.
struct ConversionSliders {
    int32_t timeBase = 2;    // TrackBar1, 1..18: x step per word and loop length
    int32_t scaleIndex = 1;  // TrackBar3, 0..10: selects the vertical divisor
    int32_t xPosition = 100; // TrackBar4, 0..200
    int32_t yPosition = 100; // TrackBar2, 0..200
};

constexpr int kMinTimeBase = 1;
constexpr int kMaxScaleIndex = 10;

// (11 - index) * gain * 86 with gain 65536 at index 0, 32768 at 1, 14600 above.
// Throws std::invalid_argument outside 0..10 (index 11 would divide by zero).
int32_t verticalDivisor(int32_t scaleIndex);

// The conversion's last step n = 8192 div timeBase (it runs i = 0..n, n + 1 steps).
constexpr int32_t conversionLastStep(int32_t timeBase) {
    return 8192 / timeBase;
}

// Rewrites entries 0..272 of traceX and traceY from words 0..272 of `block`.
// The loop runs i = 0 .. 8192 div timeBase; i past 272 keeps rewriting entry 272,
// which thus ends at x = 281. x is clamped to 10..281; y is not clamped.
// Throws std::invalid_argument, leaving the arrays untouched, for a time base
// below 1 or a scale index outside 0..10.
void convertBlock(const CaptureBlockBuffer& block, const ConversionSliders& sliders, TraceArray& traceX,
                  TraceArray& traceY);

} // namespace veldora::display
