// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Draws the trace (entries 0..272 of the arrays) as a polyline onto pictures.
// Pure functions on Bitmaps; coordinates are screen-picture pixels, clipped by
// the canvas. Positions are the front panel's, 0..200 with 100 at the centre.
// Main thread only.
#include <cstdint>

#include "display/Bitmap.h"
#include "display/TraceArrays.h"

namespace veldora::display {

constexpr Colour kTraceColourNormal{0xFFFFFF};   // white
constexpr Colour kTraceColourReversed{0x008000}; // green
constexpr Colour kMergeColour{0xFF0000};         // blue

constexpr Colour traceColour(bool reversed) {
    return reversed ? kTraceColourReversed : kTraceColourNormal;
}

// A passing refresh tick: screen becomes a copy of background (reusing its
// storage), then each point i with x < xPosition + 181 gets the segment from
// point i-1 (point 0 for i = 0) to it.
void drawLiveTrace(Bitmap& screen, const Bitmap& background, const TraceArray& traceX,
                   const TraceArray& traceY, bool reversed, int32_t xPosition);

// The frozen display: as drawLiveTrace, but points with stored x >= 281 are
// skipped and both ends of each segment move by (xPosition - 100, yPosition - 100).
// Shifted coordinates wrap in 32 bits, so any stored value gives a defined point.
void drawPausedTrace(Bitmap& screen, const Bitmap& background, const TraceArray& traceX,
                     const TraceArray& traceY, bool reversed, int32_t xPosition, int32_t yPosition);

// Merge: screen becomes a copy of background, the trace is drawn in blue as
// stored (a segment to each point whose x <= 280; only the end point is tested),
// then background becomes a copy of screen.
void drawMergedTrace(Bitmap& screen, Bitmap& background, const TraceArray& traceX, const TraceArray& traceY);

} // namespace veldora::display
