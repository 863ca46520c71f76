// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// A device that goes away under the stream: a ring that does not start, a capture the
// device ends mid-way (its server killed), and capture again once the device is back.
#include <cerrno>
#include <cstring>
#include <functional>
#include <utility>

#include "tests/capture/CaptureFixture.h"

using namespace veldora::base;
using namespace veldora::capture;
using namespace veldora::sound;

using CaptureDeviceLoss = CaptureFixture;

// Start-up's Start and wait for the set-up: a ring the service refuses, and one whose
// set-up the service does after returning and that fails, both raise the stream's
// message and leave it idle.
TEST_F(CaptureDeviceLoss, RingThatDoesNotStartRaisesCannotBeMadeAndLeavesTheStreamIdle) {
    const std::pair<const char*, std::function<void()>> failures[] = {
        {"refused", [&] { sound.failStarts(1, DSERR_NODRIVER); }}, // not even reopened
        {"set up after Start", [&] { sound.failNextSetUp(); }},
    };
    for (const auto& [how, fail] : failures) {
        SCOPED_TRACE(how);
        TSoundCaptureStream& s = openWith({48000, 16, 1});
        s.SetOnDataReady(handlerOf([](TSoundCaptureStream&) {}, this));
        fail();
        try {
            s.Start();
            s.AwaitSetUp();
            ADD_FAILURE() << "a ring that captures nothing was reported as started";
        } catch (const ESoundCaptureStreamError& e) {
            EXPECT_EQ(e.message(), "Sound Capture Buffer cannot be made");
        }
        EXPECT_FALSE(s.GetCapturing());
        EXPECT_EQ(s.GetNotifyThread(), nullptr);
        EXPECT_EQ(s.GetCaptureBuffer(), nullptr);
        EXPECT_EQ(SimulatedSoundService::liveObjects(), 1) << "only the device is left";

        s.Start(); // the device is back
        EXPECT_TRUE(s.GetCapturing());
        ASSERT_TRUE(sound.pushBytes(10));
        EXPECT_EQ(s.AvailableBytes(), 10);
    }
}

// Start returns before the set-up, a stream's first as well (only start-up waits, by
// asking); when it fails, the poll reports the ring as not made, once, and the stream
// stops; Pause twice captures again.
TEST_F(CaptureDeviceLoss, RingThatFailsAfterStartIsReportedOnceAsNotMadeAndStopsTheStream) {
    TSoundCaptureStream& s = openWith({48000, 16, 1});
    int calls = 0;
    s.SetOnDataReady(handlerOf([&](TSoundCaptureStream&) { ++calls; }, this));
    s.SetBufferMilliseconds(40); // polls every 10 ms
    sound.failNextSetUp();
    s.Start(); // returns: the failure comes from the poll
    EXPECT_TRUE(s.GetCapturing());
    ASSERT_TRUE(pumpUntil([&] { return !s.GetCapturing(); }));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "Sound Capture Buffer cannot be made");
    EXPECT_EQ(s.GetNotifyThread(), nullptr);
    EXPECT_EQ(s.GetCaptureBuffer(), nullptr);
    EXPECT_EQ(calls, 0) << "a ring that was never made has no data";
    ASSERT_TRUE(settle());
    EXPECT_EQ(reports.size(), 1u);

    s.Start();
    sound.setByteRate(96000);
    ASSERT_TRUE(pumpUntil([&] { return calls >= 3; }));
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(CaptureDeviceLoss, LostCaptureIsReportedOnceWithItsCauseAndStopsPolling) {
    TSoundCaptureStream& s = openWith({48000, 16, 1});
    int calls = 0;
    std::vector<uint8_t> block(1024);
    s.SetOnDataReady(handlerOf(
        [&](TSoundCaptureStream& sender) {
            ++calls;
            sender.ReadLatest(block.data(), 1024);
        },
        this));
    s.SetBufferMilliseconds(40); // polls every 10 ms
    s.Start();
    sound.setByteRate(96000);
    ASSERT_TRUE(pumpUntil([&] { return calls >= 3; }));

    ASSERT_TRUE(sound.loseRunningCapture(EIO));
    ASSERT_TRUE(pumpUntil([&] { return !s.GetCapturing(); }));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], std::string("Sound Capture Buffer lost: ") + std::strerror(EIO));
    EXPECT_EQ(s.GetNotifyThread(), nullptr) << "nothing polls the dead device";
    EXPECT_EQ(s.GetCaptureBuffer(), nullptr);
    const int callsAtLoss = calls;
    // No second box and no handler calls while the device is gone.
    ASSERT_TRUE(settle());
    EXPECT_EQ(s.GetNotifyThread(), nullptr);
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_EQ(calls, callsAtLoss);

    // Pause twice: capture starts again on the device that is back.
    s.Stop();
    s.Start();
    ASSERT_TRUE(pumpUntil([&] { return calls >= callsAtLoss + 3; }));
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_TRUE(s.GetCapturing());
}

TEST_F(CaptureDeviceLoss, ReadingALostCaptureRaisesWhileAFailingQueryReadsAsEmpty) {
    TSoundCaptureStream& s = openWith({8000, 8, 1});
    s.Start();
    ASSERT_TRUE(sound.loseRunningCapture(ENODEV));
    try {
        s.AvailableBytes();
        FAIL() << "a lost capture read as an empty one";
    } catch (const ESoundCaptureStreamError& e) {
        EXPECT_EQ(e.message(), std::string("Sound Capture Buffer lost: ") + std::strerror(ENODEV));
    }
    // A plain failing position query still means that nothing waits.
    s.Start();
    sound.setPositionFailure(true);
    EXPECT_EQ(s.AvailableBytes(), 0);
    sound.setPositionFailure(false);
}

TEST(CaptureLostResult, CarriesTheErrorNumberAndIsToldApartFromOtherFailures) {
    for (int errnum : {EIO, ENODEV, EBADFD, EPIPE, ECONNREFUSED, EHOSTDOWN}) {
        const HRESULT result = captureLostResult(errnum);
        EXPECT_TRUE(isCaptureLost(result));
        EXPECT_EQ(captureLostErrno(result), errnum);
        EXPECT_NE(result, DS_OK);
    }
    for (HRESULT other : {DS_OK, DSERR_GENERIC, DSERR_NODRIVER, DSERR_INVALIDPARAM, DSERR_BADFORMAT})
        EXPECT_FALSE(isCaptureLost(other));
}
