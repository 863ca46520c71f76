// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The trigger test of the refresh tick: decides from the first two trace points
// whether this tick draws. Pure; main thread.
#include <cstdint>

namespace veldora::display {

// Which trigger radio button is checked ("+/-", "-", "+").
enum class TriggerButton { Auto, Minus, Plus };

constexpr int32_t kTriggerWindow = 5; // pixels; a distance of exactly 5 passes

// The level line in screen pixels: where a zero word lands at this vertical position.
constexpr int32_t triggerLevel(int32_t yPosition) {
    return yPosition + 60;
}

// "+/-" always passes. "-": both y0 and y1 at or below the level line on screen
// (y >= level) and y0 within 5 of it. "+": both at or above (y <= level) and y0
// within 5.
bool triggerPasses(TriggerButton checked, int32_t level, int32_t y0, int32_t y1);

} // namespace veldora::display
