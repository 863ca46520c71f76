// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/TriggerTest.h"

namespace veldora::display {

bool triggerPasses(TriggerButton checked, int32_t level, int32_t y0, int32_t y1) {
    switch (checked) {
    case TriggerButton::Auto:
        return true;
    case TriggerButton::Minus:
        if (level > y0 || level > y1)
            return false;
        break;
    case TriggerButton::Plus:
        if (level < y0 || level < y1)
            return false;
        break;
    }
    // 64-bit: a trace loaded from a file may hold any 32-bit value.
    const int64_t distance = int64_t(y0) - level;
    return distance <= kTriggerWindow && distance >= -kTriggerWindow;
}

} // namespace veldora::display
