// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Tests wait for a condition, never for a fixed time: `step` does a little of the work
// that makes the condition come true (serves the main-thread queue, runs an event-loop
// pass) and the condition is looked at after each step. The bound is generous: it only
// ends a wait that would otherwise never end, so a slow machine passes as well.
#include <chrono>
#include <functional>
#include <thread>

namespace testsupport {

constexpr std::chrono::milliseconds kGenerousWait{10'000};

// True as soon as `done()` holds; false when `timeout` passed first.
inline bool waitUntil(const std::function<bool()>& done, const std::function<void()>& step,
                      std::chrono::milliseconds timeout = kGenerousWait) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return done();
        step();
    }
    return true;
}

// The same, for a condition that another thread makes true: polls every millisecond.
inline bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = kGenerousWait) {
    const auto pause = [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); };
    return waitUntil(done, pause, timeout);
}

} // namespace testsupport
