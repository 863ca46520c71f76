// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The notification thread with real threads: polls on the main thread, a failing
// handler, Stop while a poll is waiting, handler swaps, a handler that stops, restarts
// or frees its stream or replaces itself.
#include <atomic>

#include "capture/SoundCaptureStreamNotify.h"
#include "tests/capture/CaptureFixture.h"

using namespace veldora::base;
using namespace veldora::capture;

using CaptureNotifyThread = CaptureFixture;

TEST_F(CaptureNotifyThread, HandlerRunsOnTheMainThreadWhenBytesWait) {
    TSoundCaptureStream& s = openWith({8000, 8, 1});
    const auto mainId = std::this_thread::get_id();
    int calls = 0;
    bool otherThread = false;
    std::vector<uint8_t> block(1024);
    s.SetOnDataReady(handlerOf(
        [&](TSoundCaptureStream& sender) {
            ++calls;
            otherThread |= std::this_thread::get_id() != mainId;
            EXPECT_EQ(&sender, &s);
            sender.Read(block.data(), std::min<int32_t>(sender.AvailableBytes(), 1024));
        },
        this));
    s.SetBufferMilliseconds(40); // polls every 10 ms
    s.Start();
    // Polls without waiting bytes do not call the handler.
    int polls = 0;
    for (int slice = 0; slice < 2000 && polls < 3; ++slice)
        polls += MainThreadQueue::instance().serveFor(std::chrono::milliseconds(5));
    ASSERT_GE(polls, 3);
    EXPECT_EQ(calls, 0);
    sound.pushBytes(100);
    ASSERT_TRUE(pumpUntil([&] { return calls >= 1; }));
    EXPECT_EQ(s.AvailableBytes(), 0);
    sound.setByteRate(20000);
    ASSERT_TRUE(pumpUntil([&] { return calls >= 5; }));
    EXPECT_FALSE(otherThread);
    EXPECT_TRUE(reports.empty());
}

TEST_F(CaptureNotifyThread, FailingHandlerIsReportedOnceAndStopsCaptureUntilTheNextStart) {
    TSoundCaptureStream& s = openWith({8000, 8, 1});
    int calls = 0;
    bool fail = true;
    s.SetOnDataReady(handlerOf(
        [&](TSoundCaptureStream& sender) {
            ++calls;
            std::vector<uint8_t> block(16);
            sender.Read(block.data(), 16);
            if (fail)
                throw EConvertError("'x' is not a valid integer value");
        },
        this));
    s.SetBufferMilliseconds(40);
    s.Start();
    sound.setByteRate(8000);
    ASSERT_TRUE(pumpUntil([&] { return !s.GetCapturing(); }));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "'x' is not a valid integer value");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(s.GetNotifyThread(), nullptr);
    EXPECT_EQ(s.GetCaptureBuffer(), nullptr);
    EXPECT_EQ(SimulatedSoundService::liveObjects(), 1) << "the ring was released";
    // Nothing more arrives while stopped.
    ASSERT_TRUE(settle());
    EXPECT_EQ(calls, 1);

    fail = false;
    s.Start(); // Pause pressed twice
    ASSERT_TRUE(pumpUntil([&] { return calls >= 3; }));
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_TRUE(s.GetCapturing());
}

TEST_F(CaptureNotifyThread, StopServesThePollTheThreadIsWaitingFor) {
    TSoundCaptureStream& s = openWith({8000, 8, 1});
    int calls = 0;
    bool ringDuringCall = false;
    s.SetOnDataReady(handlerOf(
        [&](TSoundCaptureStream& sender) {
            ++calls;
            ringDuringCall = sender.GetCaptureBuffer() != nullptr;
            std::vector<uint8_t> block(64);
            sender.Read(block.data(), 64);
        },
        this));
    s.SetBufferMilliseconds(0); // the thread asks at once
    s.Start();
    sound.pushBytes(64);
    while (MainThreadQueue::instance().pending() == 0)
        std::this_thread::yield();
    s.Stop(); // must not deadlock: the waiting request is served during the wait
    EXPECT_FALSE(s.GetCapturing());
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(ringDuringCall) << "the thread ends before the ring is released";
    EXPECT_EQ(MainThreadQueue::instance().pending(), 0u);
}

TEST_F(CaptureNotifyThread, ReplacingTheHandlerWhileCapturingKeepsCaptureRunning) {
    TSoundCaptureStream& s = openWith({8000, 8, 1});
    int firstCalls = 0;
    int secondCalls = 0;
    auto reader = [](TSoundCaptureStream& sender) {
        std::vector<uint8_t> block(1024);
        sender.Read(block.data(), std::min<int32_t>(sender.AvailableBytes(), 1024));
    };
    s.SetOnDataReady(handlerOf([&](TSoundCaptureStream& sender) { ++firstCalls, reader(sender); }, this, 1));
    s.SetBufferMilliseconds(40);
    s.Start();
    sound.setByteRate(8000);
    ASSERT_TRUE(pumpUntil([&] { return firstCalls >= 1; }));

    s.SetOnDataReady(handlerOf([&](TSoundCaptureStream& sender) { ++secondCalls, reader(sender); }, this, 2));
    EXPECT_TRUE(s.GetCapturing());
    EXPECT_NE(s.GetNotifyThread(), nullptr);
    const int firstSoFar = firstCalls;
    ASSERT_TRUE(pumpUntil([&] { return secondCalls >= 2; }));
    EXPECT_EQ(firstCalls, firstSoFar);

    // Removing the handler ends the thread; capture goes on silently.
    s.SetOnDataReady(TDataReadyEvent());
    EXPECT_TRUE(s.GetCapturing());
    EXPECT_EQ(s.GetNotifyThread(), nullptr);
    EXPECT_NE(s.GetCaptureBuffer(), nullptr);
}

TEST_F(CaptureNotifyThread, HandlerThatStopsItsOwnStream) {
    TSoundCaptureStream& s = openWith({8000, 8, 1});
    int calls = 0;
    s.SetOnDataReady(handlerOf(
        [&](TSoundCaptureStream& sender) {
            ++calls;
            sender.Stop();
        },
        this));
    s.SetBufferMilliseconds(40);
    s.Start();
    sound.pushBytes(10);
    ASSERT_TRUE(pumpUntil([&] { return !s.GetCapturing(); }));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(s.GetNotifyThread(), nullptr);
    // And it starts again.
    s.Start();
    sound.pushBytes(10);
    ASSERT_TRUE(pumpUntil([&] { return calls == 2; }));
}

TEST_F(CaptureNotifyThread, HandlerThatFreesItsOwnStream) {
    openWith({8000, 8, 1});
    int calls = 0;
    stream->SetOnDataReady(handlerOf(
        [&](TSoundCaptureStream&) {
            ++calls;
            stream.reset();
        },
        this));
    stream->SetBufferMilliseconds(40);
    stream->Start();
    sound.pushBytes(10);
    ASSERT_TRUE(pumpUntil([&] { return stream == nullptr; }));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(SimulatedSoundService::liveObjects(), 0);
}

TEST_F(CaptureNotifyThread, HandlerThatThrowsAfterStoppingItsStreamIsReportedOnce) {
    TSoundCaptureStream& s = openWith({8000, 8, 1});
    int calls = 0;
    s.SetOnDataReady(handlerOf(
        [&](TSoundCaptureStream& sender) {
            ++calls;
            sender.Stop();
            throw Exception("after stop");
        },
        this));
    s.SetBufferMilliseconds(40);
    s.Start();
    sound.pushBytes(10);
    ASSERT_TRUE(pumpUntil([&] { return !reports.empty(); }));
    ASSERT_TRUE(settle());
    EXPECT_EQ(s.GetNotifyThread(), nullptr);
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(s.GetCapturing());
}

// A handler that restarts capture, then one that installs another handler, each from
// inside its own poll: the old thread is joined once its poll has returned, the new one
// polls, and no request is left behind.
TEST_F(CaptureNotifyThread, HandlerThatRestartsOrReplacesItselfFromItsOwnPoll) {
    TSoundCaptureStream& s = openWith({8000, 8, 1});
    int firstCalls = 0;
    int secondCalls = 0;
    auto reader = [](TSoundCaptureStream& sender) {
        std::vector<uint8_t> block(1024);
        sender.Read(block.data(), std::min<int32_t>(sender.AvailableBytes(), 1024));
    };
    const TDataReadyEvent second =
        handlerOf([&](TSoundCaptureStream& sender) { ++secondCalls, reader(sender); }, this, 2);
    s.SetOnDataReady(handlerOf(
        [&](TSoundCaptureStream& sender) {
            ++firstCalls;
            reader(sender);
            if (firstCalls == 1) {
                sender.Stop();
                sender.Start(); // Pause pressed twice from the handler
            } else if (firstCalls == 2) {
                sender.SetOnDataReady(second);
            }
        },
        this, 1));
    s.SetBufferMilliseconds(40);
    s.Start();
    sound.setByteRate(8000);
    ASSERT_TRUE(pumpUntil([&] { return secondCalls >= 2; }));
    EXPECT_EQ(firstCalls, 2);
    EXPECT_TRUE(s.GetCapturing());
    EXPECT_NE(s.GetNotifyThread(), nullptr);
    EXPECT_TRUE(reports.empty());
    s.Stop();
    MainThreadQueue::instance().drain();
}
