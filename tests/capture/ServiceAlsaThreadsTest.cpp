// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The threads left waiting on a sound server, and how long their device counts as held.
#include "capture/service/AlsaThreads.h"

#include <gtest/gtest.h>

#include <future>

#include "tests/support/WaitUntil.h"

using veldora::sound::AlsaThreads;

// An open given up after its own wait on a frozen server has waited the whole bound
// already: the next open of that device (start-up makes a few in a row) is refused at
// once rather than after a second bound, while other devices stay free.
TEST(ServiceAlsaThreads, AHolderLeftWaitingCountsItsBoundFromWhenItsWaitBegan) {
    AlsaThreads& threads = AlsaThreads::instance();
    std::promise<void> serverAnswers;
    const std::shared_future<void> answered = serverAnswers.get_future().share();
    const auto opener = threads.start("default", [answered] { answered.wait(); });
    threads.letGo(opener, std::chrono::steady_clock::now() - AlsaThreads::kLeftWaitingBound);

    int looks = 0;
    EXPECT_FALSE(threads.waitForDevice("default", [&looks] { return ++looks > 1; }));
    EXPECT_EQ(looks, 1) << "the device was waited for again after its holder had waited its bound";
    EXPECT_TRUE(threads.waitForDevice("hw:1", [] { return false; }));

    serverAnswers.set_value();
    EXPECT_TRUE(threads.joinAll(testsupport::kGenerousWait));
    EXPECT_TRUE(threads.waitForDevice("default", [] { return false; }));
}
