// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The refresh timer: calls OnTimer from the application's idle passes whenever at
// least Interval milliseconds have passed since the previous tick. No platform
// timer is used. Main thread only.
#include <cstdint>
#include <functional>

#include "base/Clock.h"
#include "display/IdleHost.h"

namespace veldora::display {

class TCustomDXTimer;
using TNotifyEvent = std::function<void(TCustomDXTimer& sender)>;
using TDXTimerEvent = std::function<void(TCustomDXTimer& sender, int32_t lagCount)>;

class TCustomDXTimer {
  public:
    // Adds the message hook; does not start the timer. `clock` defaults to timeGetTime.
    explicit TCustomDXTimer(IdleHost& application, base::MillisecondClock clock = {});
    virtual ~TCustomDXTimer();
    TCustomDXTimer(const TCustomDXTimer&) = delete;
    TCustomDXTimer& operator=(const TCustomDXTimer&) = delete;

    // The owner's layout is being read between these two calls: Enabled only stores
    // its value, and Loaded() starts the timer afterwards if it is enabled.
    void beginLoading() { loading_ = true; }
    void Loaded();

    bool ActiveOnly() const { return activeOnly_; }
    void setActiveOnly(bool value);
    bool Enabled() const { return enabled_; }
    void setEnabled(bool value);
    uint32_t Interval() const { return interval_; }
    void setInterval(int32_t value); // the value is taken as signed: negative stores 0
    uint32_t IntervalDivisor() const { return intervalDivisor_; }
    bool Started() const { return started_; }
    uint32_t LastTickTime() const { return lastTickTime_; }

    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TDXTimerEvent OnTimer;

  protected:
    virtual void FireActivate();
    virtual void FireDeactivate();
    virtual void FireTimer(int32_t lagCount);

  private:
    void StartTimer();
    void StopTimer();
    void AttachIdle();
    void DetachIdle();
    void IdleTick(bool& done);
    bool AppMessageHook(uint32_t message);

    IdleHost& application_;
    base::MillisecondClock clock_;
    int hookId_ = -1;
    bool loading_ = false;

    bool activeOnly_ = true;
    bool enabled_ = true;
    bool started_ = false;
    bool attached_ = false; // IdleTick is in the application's slot
    uint32_t interval_ = 0;
    uint32_t intervalDivisor_ = 0;
    uint32_t lastTickTime_ = 0;
};

// The published form of the timer, as a window layout sets it.
class TDXTimer : public TCustomDXTimer {
  public:
    using TCustomDXTimer::TCustomDXTimer;
};

} // namespace veldora::display
