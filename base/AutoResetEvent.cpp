// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "base/AutoResetEvent.h"

#include <chrono>

namespace veldora::base {

void AutoResetEvent::Signal() {
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    changed_.notify_one();
}

bool AutoResetEvent::WaitFor(int milliseconds) {
    std::unique_lock lock(mutex_);
    const bool signalled = changed_.wait_for(
        lock, std::chrono::milliseconds(milliseconds < 0 ? 0 : milliseconds), [this] { return signalled_; });
    signalled_ = false;
    return signalled;
}

} // namespace veldora::base
