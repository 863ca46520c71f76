// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// An auto-reset event: Signal() lets exactly one wait through and resets itself.
// Any thread may call both functions.
#include <condition_variable>
#include <mutex>

namespace veldora::base {

class AutoResetEvent {
  public:
    void Signal();
    // Waits up to `milliseconds` (0: just looks). True when signalled (and resets the
    // event), false on time-out.
    bool WaitFor(int milliseconds);

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_ = false;
};

} // namespace veldora::base
