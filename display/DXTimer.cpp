// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/DXTimer.h"

#include <algorithm>

namespace veldora::display {

TCustomDXTimer::TCustomDXTimer(IdleHost& application, base::MillisecondClock clock)
    : application_(application),
      clock_(clock ? std::move(clock) : base::MillisecondClock(&base::timeGetTime)) {
    activeOnly_ = true;
    enabled_ = true;
    setInterval(1000);
    hookId_ = application_.addMessageHook([this](uint32_t message) { return AppMessageHook(message); });
}

TCustomDXTimer::~TCustomDXTimer() {
    StopTimer();
    application_.removeMessageHook(hookId_);
}

void TCustomDXTimer::Loaded() {
    loading_ = false;
    if (enabled_) {
        StartTimer();
    }
}

void TCustomDXTimer::setActiveOnly(bool value) {
    if (value == activeOnly_) {
        return;
    }
    activeOnly_ = value;
    // A started timer keeps the rule: with ActiveOnly its idle handler is installed
    // exactly while the application is active, without it exactly while started.
    if (started_) {
        const bool wanted = !activeOnly_ || application_.active();
        if (wanted && !attached_) {
            AttachIdle();
        } else if (!wanted && attached_) {
            DetachIdle();
        }
    }
}

void TCustomDXTimer::setEnabled(bool value) {
    if (value == enabled_) {
        return;
    }
    enabled_ = value;
    if (loading_) {
        return; // Loaded() starts it
    }
    if (enabled_) {
        StartTimer();
    } else {
        StopTimer();
    }
}

void TCustomDXTimer::setInterval(int32_t value) {
    if (static_cast<uint32_t>(value) == interval_) {
        return;
    }
    interval_ = static_cast<uint32_t>(std::max(value, 0));
    intervalDivisor_ = static_cast<uint32_t>(std::max(value, 1));
}

void TCustomDXTimer::StartTimer() {
    StopTimer();
    if (!activeOnly_ || application_.active()) {
        AttachIdle();
    }
    started_ = true;
}

void TCustomDXTimer::StopTimer() {
    if (started_) {
        DetachIdle();
        started_ = false;
    }
}

void TCustomDXTimer::AttachIdle() {
    lastTickTime_ = clock_();
    application_.setIdleHandler([this](bool& done) { IdleTick(done); });
    attached_ = true;
}

void TCustomDXTimer::DetachIdle() {
    application_.setIdleHandler({});
    attached_ = false;
}

void TCustomDXTimer::IdleTick(bool& done) {
    done = false; // while attached, the loop never blocks
    const uint32_t now = clock_();
    const uint32_t elapsed = now - lastTickTime_; // unsigned: the clock's wrap does no harm
    if (elapsed < interval_) {
        return;
    }
    // Measured from this pass: lateness is not carried over, missed ticks not made up.
    lastTickTime_ = now;
    int32_t lagCount = static_cast<int32_t>(elapsed / intervalDivisor_);
    if (lagCount < 1) {
        lagCount = 1;
    }
    FireTimer(lagCount);
}

bool TCustomDXTimer::AppMessageHook(uint32_t message) {
    if (message == kMessageAppActivated) {
        FireActivate();
        if (started_ && activeOnly_) {
            AttachIdle();
        }
    } else if (message == kMessageAppDeactivated) {
        FireDeactivate();
        if (started_ && activeOnly_) {
            DetachIdle();
        }
    }
    return false;
}

void TCustomDXTimer::FireActivate() {
    if (OnActivate) {
        OnActivate(*this);
    }
}

void TCustomDXTimer::FireDeactivate() {
    if (OnDeactivate) {
        OnDeactivate(*this);
    }
}

void TCustomDXTimer::FireTimer(int32_t lagCount) {
    if (OnTimer) {
        OnTimer(*this, lagCount);
    }
}

} // namespace veldora::display
