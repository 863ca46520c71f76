// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "display/DXTimer.h"

using namespace veldora::display;

namespace {

// The application as the timer sees it: one idle slot, ordered hooks, the active flag.
class FakeIdleHost : public IdleHost {
  public:
    void setIdleHandler(IdleHandler handler) override {
        handler_ = std::move(handler);
        ++slotChanges;
    }
    bool hasIdleHandler() const override { return static_cast<bool>(handler_); }
    int addMessageHook(MessageHook hook) override {
        hooks_.emplace(nextId_, std::move(hook));
        return nextId_++;
    }
    void removeMessageHook(int id) override { hooks_.erase(id); }
    bool active() const override { return active_; }

    // One idle pass: the done flag the handler handed back, or true with no handler.
    bool idlePass() {
        bool done = true;
        if (handler_) {
            const IdleHandler h = handler_;
            h(done);
        }
        return done;
    }
    void setActive(bool value) {
        active_ = value;
        for (auto& [id, hook] : hooks_) {
            if (hook(value ? kMessageAppActivated : kMessageAppDeactivated)) {
                break;
            }
        }
    }
    bool offer(uint32_t message) {
        for (auto& [id, hook] : hooks_) {
            if (hook(message)) {
                return true;
            }
        }
        return false;
    }
    size_t hookCount() const { return hooks_.size(); }

    int slotChanges = 0;

  private:
    IdleHandler handler_;
    std::map<int, MessageHook> hooks_;
    int nextId_ = 1;
    bool active_ = false;
};

class DXTimerTest : public ::testing::Test {
  protected:
    DXTimerTest() : timer(host, [this] { return now; }) {
        timer.OnTimer = [this](TCustomDXTimer& sender, int32_t lag) {
            EXPECT_EQ(&sender, &timer);
            ticks.push_back(lag);
        };
    }

    // A timer as the main window's layout sets it up, started by Loaded.
    void loadAsLayout(int32_t interval, bool activeOnly = false) {
        timer.beginLoading();
        timer.setActiveOnly(activeOnly);
        timer.setEnabled(true);
        timer.setInterval(interval);
        timer.Loaded();
    }
    // Moves the clock to `at` and makes one idle pass.
    void passAt(uint32_t at) {
        now = at;
        host.idlePass();
    }

    FakeIdleHost host;
    uint32_t now = 1000;
    TDXTimer timer;
    std::vector<int32_t> ticks;
};

TEST_F(DXTimerTest, ConstructionSetsDefaultsAndAddsTheHookWithoutStarting) {
    EXPECT_TRUE(timer.ActiveOnly());
    EXPECT_TRUE(timer.Enabled());
    EXPECT_FALSE(timer.Started());
    EXPECT_EQ(timer.Interval(), 1000u);
    EXPECT_EQ(timer.IntervalDivisor(), 1000u);
    EXPECT_EQ(host.hookCount(), 1u);
    EXPECT_FALSE(host.hasIdleHandler());
}

TEST_F(DXTimerTest, DestructionStopsAndRemovesTheHook) {
    FakeIdleHost own;
    {
        TDXTimer t(own, [] { return 0u; });
        t.setActiveOnly(false);
        t.Loaded();
        EXPECT_TRUE(own.hasIdleHandler());
        EXPECT_EQ(own.hookCount(), 1u);
    }
    EXPECT_FALSE(own.hasIdleHandler());
    EXPECT_EQ(own.hookCount(), 0u);
}

TEST_F(DXTimerTest, WorkedValuesWithInterval50) {
    now = 5000;
    loadAsLayout(50);
    EXPECT_EQ(timer.LastTickTime(), 5000u);

    passAt(5049);
    EXPECT_TRUE(ticks.empty());
    passAt(5050);
    EXPECT_EQ(ticks, std::vector<int32_t>{1});
    passAt(5050 + 130);
    EXPECT_EQ(ticks, (std::vector<int32_t>{1, 2}));
    // The next tick is due 50 ms after that pass, not at the next multiple.
    passAt(5180 + 49);
    EXPECT_EQ(ticks.size(), 2u);
    passAt(5180 + 50);
    EXPECT_EQ(ticks, (std::vector<int32_t>{1, 2, 1}));
}

TEST_F(DXTimerTest, LagCountIsElapsedDividedByTheInterval) {
    const struct {
        int32_t interval;
        uint32_t elapsed;
        int32_t lag; // 0: no tick
    } cases[] = {
        {50, 120, 2}, {50, 149, 2}, {50, 150, 3}, {50, 1000, 20}, {1, 0, 0},      {1, 1, 1},
        {1, 7, 7},    {0, 0, 1},    {0, 1, 1},    {0, 37, 37},    {1000, 999, 0}, {1000, 2999, 2},
    };
    for (const auto& c : cases) {
        FakeIdleHost h;
        uint32_t clock = 100;
        std::vector<int32_t> got;
        TDXTimer t(h, [&] { return clock; });
        t.setActiveOnly(false);
        t.setInterval(c.interval);
        t.OnTimer = [&](TCustomDXTimer&, int32_t lag) { got.push_back(lag); };
        t.Loaded();
        clock += c.elapsed;
        h.idlePass();
        if (c.lag == 0) {
            EXPECT_TRUE(got.empty()) << c.interval << " " << c.elapsed;
        } else {
            EXPECT_EQ(got, std::vector<int32_t>{c.lag}) << c.interval << " " << c.elapsed;
        }
    }
}

TEST_F(DXTimerTest, IntervalZeroTicksOnEveryPass) {
    loadAsLayout(0);
    passAt(now); // same millisecond as the start
    passAt(now); // and again
    passAt(now + 3);
    passAt(now + 1);
    EXPECT_EQ(ticks, (std::vector<int32_t>{1, 1, 3, 1}));
}

TEST_F(DXTimerTest, TheDoneFlagComesBackFalseOnEveryPassWhileRunning) {
    loadAsLayout(50);
    now += 10;
    EXPECT_FALSE(host.idlePass()); // no tick
    now += 40;
    EXPECT_FALSE(host.idlePass()); // tick
    EXPECT_EQ(ticks.size(), 1u);
    timer.setEnabled(false);
    EXPECT_TRUE(host.idlePass()); // slot empty: the loop may block
}

TEST_F(DXTimerTest, ClockWrapDoesNotStopTheTicks) {
    now = 0xFFFFFFF0u;
    loadAsLayout(50);
    passAt(0x0000001Fu); // 47 ms later, across the wrap
    EXPECT_TRUE(ticks.empty());
    passAt(0x00000022u); // 50 ms
    EXPECT_EQ(ticks, std::vector<int32_t>{1});
    passAt(0x00000022u + 100);
    EXPECT_EQ(ticks, (std::vector<int32_t>{1, 2}));
}

TEST_F(DXTimerTest, IntervalSetterTakesSignedValues) {
    const struct {
        int32_t value;
        uint32_t interval;
        uint32_t divisor;
    } cases[] = {
        {-5, 0, 1}, {0, 0, 1}, {1, 1, 1}, {50, 50, 50}, {INT32_MIN, 0, 1}, {INT32_MAX, INT32_MAX, INT32_MAX},
    };
    for (const auto& c : cases) {
        timer.setInterval(c.value);
        EXPECT_EQ(timer.Interval(), c.interval) << c.value;
        EXPECT_EQ(timer.IntervalDivisor(), c.divisor) << c.value;
    }
}

TEST_F(DXTimerTest, NewIntervalDoesNotRestartTheCount) {
    loadAsLayout(50);
    const uint32_t start = now;
    passAt(start + 30);
    const int changes = host.slotChanges;
    timer.setInterval(40);
    timer.setInterval(40); // same value: nothing
    EXPECT_EQ(host.slotChanges, changes);
    EXPECT_EQ(timer.LastTickTime(), start);
    passAt(start + 40); // due 40 ms after the last tick, not after the change
    EXPECT_EQ(ticks, std::vector<int32_t>{1});
}

TEST_F(DXTimerTest, EnabledSameValueDoesNotRestart) {
    loadAsLayout(50);
    const uint32_t start = now;
    passAt(start + 30);
    const int changes = host.slotChanges;
    timer.setEnabled(true);
    EXPECT_EQ(host.slotChanges, changes);
    passAt(start + 50);
    EXPECT_EQ(ticks, std::vector<int32_t>{1});
}

TEST_F(DXTimerTest, EnablingAgainRestartsTheCount) {
    loadAsLayout(50);
    passAt(now + 45);
    timer.setEnabled(false);
    EXPECT_FALSE(timer.Started());
    passAt(now + 100);
    timer.setEnabled(true);
    EXPECT_TRUE(timer.Started());
    EXPECT_EQ(timer.LastTickTime(), now);
    passAt(now + 49);
    EXPECT_TRUE(ticks.empty());
    passAt(now + 1);
    EXPECT_EQ(ticks, std::vector<int32_t>{1});
}

TEST_F(DXTimerTest, EnabledWhileLoadingStartsNothingUntilLoaded) {
    timer.setActiveOnly(false);
    timer.beginLoading();
    timer.setEnabled(false);
    timer.setEnabled(true);
    EXPECT_FALSE(timer.Started());
    EXPECT_FALSE(host.hasIdleHandler());
    timer.Loaded();
    EXPECT_TRUE(timer.Started());
    EXPECT_TRUE(host.hasIdleHandler());
}

TEST_F(DXTimerTest, DisabledInTheLayoutStaysStoppedAfterLoaded) {
    timer.beginLoading();
    timer.setEnabled(false);
    timer.Loaded();
    EXPECT_FALSE(timer.Started());
    EXPECT_FALSE(host.hasIdleHandler());
}

TEST_F(DXTimerTest, ConstructedWithoutLayoutStaysStoppedUntilEnabledToggles) {
    timer.setActiveOnly(false);
    timer.setEnabled(true); // same value: nothing
    EXPECT_FALSE(timer.Started());
    passAt(now + 5000);
    EXPECT_TRUE(ticks.empty());
    timer.setEnabled(false);
    timer.setEnabled(true);
    EXPECT_TRUE(timer.Started());
    passAt(now + 1000);
    EXPECT_EQ(ticks, std::vector<int32_t>{1});
}

TEST_F(DXTimerTest, ActiveOnlyFalseIgnoresActivationButFiresTheEvents) {
    host.setActive(true);
    std::vector<std::string> events;
    timer.OnActivate = [&](TCustomDXTimer& s) {
        EXPECT_EQ(&s, &timer);
        events.push_back("activate");
    };
    timer.OnDeactivate = [&](TCustomDXTimer&) { events.push_back("deactivate"); };
    loadAsLayout(0);
    host.setActive(false);
    EXPECT_TRUE(host.hasIdleHandler());
    passAt(now + 1);
    host.setActive(true);
    passAt(now + 1);
    EXPECT_EQ(ticks.size(), 2u);
    EXPECT_EQ(events, (std::vector<std::string>{"deactivate", "activate"}));
}

TEST_F(DXTimerTest, ActiveOnlyWaitsForActivation) {
    host.setActive(false);
    loadAsLayout(50, true);
    EXPECT_TRUE(timer.Started());
    EXPECT_FALSE(host.hasIdleHandler()); // waiting
    passAt(now + 500);
    EXPECT_TRUE(ticks.empty());

    host.setActive(true); // back to running, count starts now
    EXPECT_TRUE(host.hasIdleHandler());
    EXPECT_EQ(timer.LastTickTime(), now);
    passAt(now + 50);
    EXPECT_EQ(ticks, std::vector<int32_t>{1});

    host.setActive(false);
    EXPECT_FALSE(host.hasIdleHandler());
}

TEST_F(DXTimerTest, ActivationEventsFireWhileStoppedWithoutAttaching) {
    int activations = 0;
    int deactivations = 0;
    timer.OnActivate = [&](TCustomDXTimer&) { ++activations; };
    timer.OnDeactivate = [&](TCustomDXTimer&) { ++deactivations; };
    host.setActive(true);
    host.setActive(false);
    host.setActive(true);
    EXPECT_EQ(activations, 2);
    EXPECT_EQ(deactivations, 1);
    EXPECT_FALSE(host.hasIdleHandler());
}

TEST_F(DXTimerTest, HookLetsEveryMessageGoOn) {
    bool later = false;
    host.addMessageHook([&](uint32_t) {
        later = true;
        return false;
    });
    EXPECT_FALSE(host.offer(kMessageAppActivated));
    EXPECT_TRUE(later);
    EXPECT_FALSE(host.offer(0x0400));
}

TEST_F(DXTimerTest, ChangingActiveOnlyOnAStartedTimerKeepsTheRule) {
    host.setActive(false);
    loadAsLayout(50, false);
    EXPECT_TRUE(host.hasIdleHandler());
    timer.setActiveOnly(true); // inactive: must not be installed
    EXPECT_FALSE(host.hasIdleHandler());
    timer.setActiveOnly(false); // installed again while started
    EXPECT_TRUE(host.hasIdleHandler());
}

TEST_F(DXTimerTest, ExceptionFromOnTimerLeavesTheNextTickDueAfterTheFailedOne) {
    loadAsLayout(50);
    timer.OnTimer = [](TCustomDXTimer&, int32_t) { throw std::runtime_error("draw failed"); };
    now += 60;
    EXPECT_THROW(host.idlePass(), std::runtime_error);
    EXPECT_EQ(timer.LastTickTime(), now);
    EXPECT_TRUE(timer.Started());
}

} // namespace
