// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Start/Stop storms while notifications flow at a real rate and the handler reads;
// the test thread is the main thread and pumps the main-thread queue. Run under
// ThreadSanitizer in CI: no deadlock, no race, no leaked service object.
#include <atomic>

#include "capture/SoundCaptureStreamNotify.h"
#include "tests/capture/CaptureFixture.h"

using namespace veldora::base;
using namespace veldora::capture;

using CaptureStressThread = CaptureFixture;

TEST_F(CaptureStressThread, ThousandStartStopCyclesWhileTheHandlerReads) {
    TSoundCaptureStream& s = openWith({48000, 16, 2}); // 192000 bytes a second
    sound.setByteRate(192000);
    int calls = 0;
    int64_t bytesRead = 0;
    std::vector<uint8_t> block(1024);
    s.SetOnDataReady(handlerOf(
        [&](TSoundCaptureStream& sender) {
            ++calls;
            const int32_t count = std::min<int32_t>(sender.AvailableBytes(), 1024);
            bytesRead += sender.Read(block.data(), count);
        },
        this));
    s.SetBufferMilliseconds(8); // polls every 2 ms, a ring of 8000 bytes
    MainThreadQueue& queue = MainThreadQueue::instance();
    int cyclesWithCall = 0;
    for (int cycle = 0; cycle < 1000; ++cycle) {
        s.Start();
        switch (cycle % 3) {
        case 0: // stop at once, the thread probably still waiting on its event
            break;
        case 1: { // stop while the thread waits for its poll to be served
            const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (queue.pending() == 0 && std::chrono::steady_clock::now() < giveUp)
                std::this_thread::yield();
            break;
        }
        case 2: { // let notifications flow
            const int before = calls;
            ASSERT_TRUE(pumpUntil([&] { return calls > before; })) << "cycle " << cycle;
            ++cyclesWithCall;
            break;
        }
        }
        if (cycle % 2 == 0) {
            s.Stop();
            s.Stop();
        } // odd cycles: the next Start stops
        ASSERT_EQ(SimulatedSoundService::liveObjects(), s.GetCapturing() ? 2 : 1) << "cycle " << cycle;
    }
    s.Stop();
    EXPECT_EQ(cyclesWithCall, 333);
    EXPECT_GE(calls, 333);
    EXPECT_GT(bytesRead, 0);
    EXPECT_TRUE(reports.empty());
    stream.reset();
    EXPECT_EQ(SimulatedSoundService::liveObjects(), 0);
}

TEST_F(CaptureStressThread, FailingHandlersAndRestartsThreadSafe) {
    TSoundCaptureStream& s = openWith({8000, 8, 1});
    sound.setByteRate(64000);
    int calls = 0;
    std::vector<uint8_t> block(256);
    s.SetOnDataReady(handlerOf(
        [&](TSoundCaptureStream& sender) {
            ++calls;
            sender.Read(block.data(), std::min<int32_t>(sender.AvailableBytes(), 256));
            if (calls % 3 == 0)
                throw Exception("handler failed");
        },
        this));
    // Some rounds press Pause twice while the error is on screen (inside the report):
    // the stream restarts there, and the failure must not stop the new capture.
    bool restartInReport = false;
    int reportCount = 0;
    setCaptureErrorReporter([&](std::exception_ptr) {
        ++reportCount;
        if (restartInReport) {
            s.Stop();
            s.Start();
        }
    });
    s.SetBufferMilliseconds(8);
    MainThreadQueue& queue = MainThreadQueue::instance();
    for (int round = 0; round < 100; ++round) {
        restartInReport = round % 10 == 0;
        const int before = reportCount;
        s.Start();
        if (restartInReport) {
            const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (reportCount == before && std::chrono::steady_clock::now() < giveUp)
                queue.drain();
            // The restarted capture fails again every third block, and one drain may
            // run those polls too (a loaded machine): each such report restarts again.
            ASSERT_GE(reportCount, before + 1) << "round " << round;
            EXPECT_TRUE(s.GetCapturing()) << "round " << round;
            EXPECT_NE(s.GetNotifyThread(), nullptr) << "round " << round;
            s.Stop();
        } else {
            ASSERT_TRUE(pumpUntil([&] { return !s.GetCapturing(); })) << "round " << round;
            EXPECT_EQ(reportCount, before + 1) << "round " << round;
        }
    }
    s.Stop();
    EXPECT_EQ(reportCount, calls / 3);
    EXPECT_GE(calls, 300);
}
