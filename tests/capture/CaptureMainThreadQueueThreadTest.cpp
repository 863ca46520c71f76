// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The main-thread queue with real threads.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/MainThreadQueue.h"

using namespace veldora::base;

namespace {
MainThreadQueue& queue() {
    MainThreadQueue::instance().setMainThread();
    return MainThreadQueue::instance();
}
} // namespace

TEST(CaptureMainThreadQueueThread, RequestsRunOnTheMainThreadAndTheWorkerWaits) {
    MainThreadQueue& q = queue();
    const auto mainId = std::this_thread::get_id();
    std::thread::id ranOn;
    std::atomic<bool> returned{false};
    int owner = 0;
    std::thread worker([&] {
        EXPECT_TRUE(q.runAndWait(&owner, [&] { ranOn = std::this_thread::get_id(); }));
        returned = true;
    });
    while (q.pending() == 0)
        std::this_thread::yield();
    EXPECT_FALSE(returned);
    EXPECT_EQ(q.drain(), 1);
    worker.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(ranOn, mainId);
}

TEST(CaptureMainThreadQueueThread, WaitingForAWorkerServesItsRequests) {
    // The worker asks the main thread three times while the main thread waits for its
    // end: with a plain blocking call this deadlocks.
    MainThreadQueue& q = queue();
    int owner = 0;
    int served = 0;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i)
            q.runAndWait(&owner, [&] { ++served; });
        finished = true;
        q.wakeWaiters();
    });
    q.serveUntil([&] { return finished.load(); });
    worker.join();
    EXPECT_EQ(served, 3);
}

TEST(CaptureMainThreadQueueThread, CancelledRequestsNeverRunAndTheirWaitersGoOn) {
    MainThreadQueue& q = queue();
    int owner = 0;
    int other = 0;
    bool ranCancelled = false;
    bool ranOther = false;
    std::atomic<int> result{-1};
    std::thread worker([&] { result = q.runAndWait(&owner, [&] { ranCancelled = true; }) ? 1 : 0; });
    while (q.pending() == 0)
        std::this_thread::yield();
    q.post(&owner, [&] { ranCancelled = true; });
    q.post(&other, [&] { ranOther = true; });
    q.cancel(&owner);
    worker.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(q.drain(), 1);
    EXPECT_FALSE(ranCancelled);
    EXPECT_TRUE(ranOther);
}

TEST(CaptureMainThreadQueueThread, TheMainThreadRunsItsOwnRequestAtOnceAndPostersAreCalled) {
    MainThreadQueue& q = queue();
    std::atomic<int> posted{0};
    q.setWakeUpPoster([&] { ++posted; });
    bool ran = false;
    EXPECT_TRUE(q.runAndWait(&ran, [&] { ran = true; }));
    EXPECT_TRUE(ran);
    EXPECT_EQ(posted, 0);
    std::thread worker([&] { q.post(&ran, [] {}); });
    worker.join();
    EXPECT_EQ(posted, 1);
    EXPECT_EQ(q.drain(), 1);
    q.setWakeUpPoster({});
}

// A request that throws from a worker's post reaches the installed reporter on the main
// thread, and the requests after it still run.
TEST(CaptureMainThreadQueueThread, ARequestThatThrowsGoesToTheReporterAndTheRestRun) {
    MainThreadQueue& q = queue();
    std::vector<std::string> reported;
    bool reportedOnMain = true;
    q.setErrorReporter([&](std::exception_ptr error) {
        reportedOnMain &= q.isMainThread();
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            reported.emplace_back(e.what());
        }
    });
    bool after = false;
    std::thread worker([&] {
        q.post(&after, [] { throw std::runtime_error("request failed"); });
        q.post(&after, [&after] { after = true; });
    });
    worker.join();
    EXPECT_EQ(q.drain(), 2);
    EXPECT_EQ(reported, std::vector<std::string>{"request failed"});
    EXPECT_TRUE(reportedOnMain);
    EXPECT_TRUE(after);
    q.setErrorReporter({});
}

// A dropped request may own something whose end uses the queue (a notification thread
// handed over to be joined): it is freed after the queue's lock is let go.
TEST(CaptureMainThreadQueueThread, CancelledRequestsAreFreedOutsideTheQueuesLock) {
    MainThreadQueue& q = queue();
    struct UsesQueueWhenFreed {
        MainThreadQueue* queue;
        size_t* seen;
        ~UsesQueueWhenFreed() { *seen = queue->pending(); }
    };
    int owner = 0;
    int other = 0;
    size_t seen = 99;
    auto held = std::make_shared<UsesQueueWhenFreed>(UsesQueueWhenFreed{&q, &seen});
    q.post(&owner, [held] {});
    q.post(&other, [] {});
    held.reset();
    q.cancel(&owner); // would deadlock on its own lock
    EXPECT_EQ(seen, 1u) << "freed once the request was gone, the other still queued";
    EXPECT_EQ(q.drain(), 1);
}
