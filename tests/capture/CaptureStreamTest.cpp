// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The capture stream on the main thread: opening, Start and Stop, the ring read.
#include <cstring>

#include "capture/SoundCaptureStreamNotify.h"
#include "tests/capture/CaptureFixture.h"

using namespace veldora::base;
using namespace veldora::capture;
using namespace veldora::sound;

using Format = SimulatedSoundService::Format;
using CaptureStream = CaptureFixture;

namespace {
bool isPattern(const std::vector<uint8_t>& bytes, size_t from, size_t count, uint64_t firstIndex) {
    for (size_t i = 0; i < count; ++i)
        if (bytes[from + i] != SimulatedSoundService::patternByte(firstIndex + i))
            return false;
    return true;
}
bool allEqual(const std::vector<uint8_t>& bytes, size_t from, size_t count, uint8_t value) {
    for (size_t i = 0; i < count; ++i)
        if (bytes[from + i] != value)
            return false;
    return true;
}
} // namespace

TEST_F(CaptureStream, DeviceThatDoesNotOpenRaisesCannotBeInitialized) {
    sound.setOpenResult(DSERR_ALLOCATED);
    try {
        TSoundCaptureStream failed(nullptr);
        FAIL() << "no exception";
    } catch (const EWaveStreamError& e) {
        EXPECT_EQ(e.message(), "DirectSoundCapture cannot be initialized");
        EXPECT_STREQ(e.className(), "ESoundCaptureStreamError");
    }
    EXPECT_TRUE(sound.bufferRequests().empty()) << "nothing probed";
}

TEST_F(CaptureStream, MissingLibraryRaisesDirectXError) {
    sound.setLibraryMissing(true);
    EXPECT_THROW(TSoundCaptureStream failed(nullptr), EDirectXError);
}

TEST_F(CaptureStream, NewStreamIsIdleWithItsDefaults) {
    stream = std::make_unique<TSoundCaptureStream>(nullptr);
    EXPECT_FALSE(stream->GetCapturing());
    EXPECT_EQ(stream->GetBufferMilliseconds(), 1000);
    EXPECT_EQ(stream->FormatIndex, 0);
    EXPECT_EQ(stream->AvailableBytes(), 0);
    EXPECT_EQ(stream->GetSize(), -1);
    EXPECT_EQ(stream->GetWaveFormat(), nullptr);
    EXPECT_EQ(stream->GetWaveFormatSize(), 0);
    EXPECT_EQ(stream->WriteData("x", 1), 0);
}

TEST_F(CaptureStream, RingSizeFollowsTheFormatAndBufferMilliseconds) {
    struct Case {
        Format format;
        int32_t milliseconds; // INT32_MIN: leave the default
        uint32_t ringBytes;
        int waitMilliseconds;
    };
    const Case cases[] = {
        {{44100, 16, 2}, 1024, 180634, 50}, // not rounded to the block alignment
        {{48000, 16, 1}, 1024, 98304, 50},
        {{8000, 8, 1}, 1024, 8192, 50},
        {{8000, 8, 1}, INT32_MIN, 8000, 50},
        {{8000, 8, 1}, -5, 8000, 0}, // stored as 0: the floor, and no wait between polls
        {{96000, 32, 2}, 100, 76800, 25},
        {{8000, 8, 1}, 3, 8000, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format.samplesPerSec);
        SCOPED_TRACE(c.milliseconds);
        TSoundCaptureStream& s = openWith(c.format);
        if (c.milliseconds != INT32_MIN)
            s.SetBufferMilliseconds(c.milliseconds);
        EXPECT_GE(s.GetBufferMilliseconds(), 0);
        s.SetOnDataReady(handlerOf([](TSoundCaptureStream&) {}, this));
        sound.clearBufferRequests();
        s.Start();
        EXPECT_EQ(s.GetBufferBytes(), c.ringBytes);
        EXPECT_EQ(sound.ringBytes(), c.ringBytes);
        ASSERT_EQ(sound.bufferRequests().size(), 1u);
        EXPECT_EQ(sound.bufferRequests()[0].descSize, 20u);
        EXPECT_EQ(sound.bufferRequests()[0].format, c.format);
        ASSERT_NE(s.GetNotifyThread(), nullptr);
        EXPECT_EQ(s.GetNotifyThread()->GetWaitMilliseconds(), c.waitMilliseconds);
        EXPECT_EQ(s.GetWaveFormatSize(), 18);
        EXPECT_EQ(s.GetWaveFormat()->nSamplesPerSec, static_cast<uint32_t>(c.format.samplesPerSec));
        stream.reset();
    }
}

TEST_F(CaptureStream, FailingRingCreationRaisesAndLeavesTheStreamIdle) {
    TSoundCaptureStream& s = openWith({8000, 8, 1});
    s.SetOnDataReady(handlerOf([](TSoundCaptureStream&) {}, this));
    sound.setBufferCreateOverride(DSERR_OUTOFMEMORY);
    try {
        s.Start();
        FAIL() << "no exception";
    } catch (const ESoundCaptureStreamError& e) {
        EXPECT_EQ(e.message(), "Sound Capture Buffer cannot be made");
    }
    EXPECT_FALSE(s.GetCapturing());
    EXPECT_EQ(s.GetNotifyThread(), nullptr);
    EXPECT_EQ(s.GetCaptureBuffer(), nullptr);
    sound.setBufferCreateOverride(std::nullopt);
    s.Start();
    EXPECT_TRUE(s.GetCapturing());
}

TEST_F(CaptureStream, AvailableBytesIsTheRingDistance) {
    TSoundCaptureStream& s = openWith({8000, 8, 1}); // a ring of 8000 bytes
    s.Start();
    EXPECT_EQ(s.AvailableBytes(), 0);
    sound.pushBytes(7000);
    EXPECT_EQ(s.AvailableBytes(), 7000);
    std::vector<uint8_t> buffer(9000);
    ASSERT_EQ(s.Read(buffer.data(), 7000), 7000);
    EXPECT_EQ(s.GetReadPosition(), 7000u);
    EXPECT_EQ(s.AvailableBytes(), 0) << "equal positions: nothing waits";
    sound.pushBytes(2000); // the device is now at 1000, past the ring's end
    EXPECT_EQ(s.AvailableBytes(), 2000);

    // Across the ring's end: region 1 then region 2, contiguous.
    ASSERT_EQ(s.Read(buffer.data() + 7000, 2000), 2000);
    EXPECT_TRUE(isPattern(buffer, 0, 9000, 0));
    EXPECT_EQ(s.GetReadPosition(), 1000u);
    EXPECT_EQ(s.Position, 9000);
    EXPECT_EQ(s.AvailableBytes(), 0);
}

TEST_F(CaptureStream, FailingPositionQueryMeansNothingWaits) {
    TSoundCaptureStream& s = openWith({8000, 8, 1});
    s.Start();
    sound.pushBytes(500);
    sound.setPositionFailure(true);
    EXPECT_EQ(s.AvailableBytes(), 0);
    sound.setPositionFailure(false);
    EXPECT_EQ(s.AvailableBytes(), 500);
}

TEST_F(CaptureStream, LockFailureFillsTheRestWithTheSilenceByteOfTheSampleSize) {
    struct Case {
        Format format;
        uint8_t silence;
    };
    for (const Case& c : {Case{{8000, 8, 1}, 0x80}, Case{{8000, 8, 2}, 0x80}, Case{{8000, 16, 1}, 0x00},
                          Case{{8000, 24, 2}, 0x00}, Case{{8000, 32, 1}, 0x00}}) {
        SCOPED_TRACE(c.format.bitsPerSample);
        TSoundCaptureStream& s = openWith(c.format);
        s.Start();
        sound.pushBytes(100);
        sound.setByteRate(8000); // more arrives, but the second lock fails
        sound.failLocksAfter(1);
        std::vector<uint8_t> buffer(310, 0x55);
        const int locksBefore = sound.lockCalls();
        EXPECT_EQ(s.Read(buffer.data(), 300), 300);
        // The first lock took what had arrived (the 100 pushed, perhaps a little more).
        size_t copied = 300;
        while (copied > 0 && buffer[copied - 1] == c.silence)
            --copied;
        EXPECT_GE(copied, 100u);
        EXPECT_LT(copied, 300u);
        EXPECT_TRUE(isPattern(buffer, 0, copied, 0));
        EXPECT_TRUE(allEqual(buffer, copied, 300 - copied, c.silence));
        EXPECT_TRUE(allEqual(buffer, 300, 10, 0x55)) << "nothing written past Count";
        EXPECT_EQ(s.Position, 300);
        EXPECT_EQ(sound.lockCalls() - locksBefore, 2);
        sound.setByteRate(0);
        sound.failLocksAfter(-1);
        stream.reset();
        sound.setLockFailure(false);
    }
}

TEST_F(CaptureStream, ImmediateLockFailureReturnsCountWithoutWaiting) {
    TSoundCaptureStream& s = openWith({8000, 16, 1});
    s.Start();
    sound.pushBytes(1024);
    sound.setLockFailure(true);
    std::vector<uint8_t> buffer(1024, 0x55);
    EXPECT_EQ(s.Read(buffer.data(), 1024), 1024);
    EXPECT_TRUE(allEqual(buffer, 0, 1024, 0x00));
    EXPECT_EQ(s.GetReadPosition(), 0u) << "nothing was consumed";
}

TEST_F(CaptureStream, ZeroAndNegativeCountsCopyNothingButStartAnIdleStream) {
    TSoundCaptureStream& s = openWith({8000, 8, 1});
    uint8_t buffer[4] = {1, 2, 3, 4};
    EXPECT_EQ(s.Read(buffer, 0), 0);
    EXPECT_TRUE(s.GetCapturing());
    s.Stop();
    EXPECT_EQ(s.Read(buffer, -5), -5);
    EXPECT_TRUE(s.GetCapturing());
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(buffer[3], 4);
    EXPECT_EQ(sound.lockCalls(), 0);
}

TEST_F(CaptureStream, ReadOnAnIdleStreamStartsInTheChosenFormatAndWaitsForTheBytes) {
    sound.acceptFormats({{8000, 8, 1}, {11025, 16, 2}});
    stream = std::make_unique<TSoundCaptureStream>(nullptr);
    stream->FormatIndex = 1;
    sound.setByteRate(44100);
    std::vector<uint8_t> buffer(4000);
    EXPECT_EQ(stream->Read(buffer.data(), 4000), 4000);
    EXPECT_TRUE(stream->GetCapturing());
    EXPECT_EQ(stream->GetWaveFormat()->nSamplesPerSec, 11025u);
    EXPECT_EQ(stream->GetWaveFormat()->nChannels, 2);
    EXPECT_TRUE(isPattern(buffer, 0, 4000, 0)) << "every byte came from the device, none is silence";
}

TEST_F(CaptureStream, StartOnACapturingStreamBeginsAFreshRing) {
    TSoundCaptureStream& s = openWith({8000, 8, 1});
    s.Start();
    sound.pushBytes(500);
    std::vector<uint8_t> buffer(300);
    s.Read(buffer.data(), 300);
    ASSERT_EQ(s.GetReadPosition(), 300u);
    s.Start();
    EXPECT_EQ(s.GetReadPosition(), 0u);
    EXPECT_EQ(s.AvailableBytes(), 0) << "the old ring's unread bytes are gone";
    EXPECT_EQ(sound.startCalls(), 2);
    EXPECT_EQ(SimulatedSoundService::liveObjects(), 2)
        << "device and the new ring; the old ring was released";
}

TEST_F(CaptureStream, StopReleasesTheRingAndASecondStopDoesNothing) {
    TSoundCaptureStream& s = openWith({8000, 8, 1});
    s.Start();
    s.Stop();
    EXPECT_FALSE(s.GetCapturing());
    EXPECT_EQ(s.GetCaptureBuffer(), nullptr);
    EXPECT_FALSE(sound.bufferRunning());
    s.Stop();
    EXPECT_FALSE(s.GetCapturing());
    EXPECT_EQ(SimulatedSoundService::liveObjects(), 1);
    EXPECT_EQ(s.AvailableBytes(), 0);
}

TEST_F(CaptureStream, StalledDeviceEndsTheWaitWithSilence) {
    TSoundCaptureStream& s = openWith({8000, 8, 1});
    s.Start();
    sound.pushBytes(100);
    sound.setStalled(true);
    std::vector<uint8_t> buffer(1024, 0x55);
    EXPECT_EQ(s.Read(buffer.data(), 1024), 1024);
    EXPECT_TRUE(isPattern(buffer, 0, 100, 0));
    EXPECT_TRUE(allEqual(buffer, 100, 924, 0x80));
    EXPECT_EQ(s.Position, 1024);
    // The device comes back: reading goes on where it stopped.
    sound.setStalled(false);
    sound.pushBytes(10);
    EXPECT_EQ(s.Read(buffer.data(), 10), 10);
    EXPECT_TRUE(isPattern(buffer, 0, 10, 100));
}

TEST_F(CaptureStream, FailingPositionQueriesEndTheWaitLikeAStall) {
    TSoundCaptureStream& s = openWith({8000, 16, 1});
    s.Start();
    sound.setPositionFailure(true);
    std::vector<uint8_t> buffer(64, 0x55);
    EXPECT_EQ(s.Read(buffer.data(), 64), 64);
    EXPECT_TRUE(allEqual(buffer, 0, 64, 0x00));
}

TEST_F(CaptureStream, SettingTheInstalledHandlerAgainChangesNothing) {
    TSoundCaptureStream& s = openWith({8000, 8, 1});
    int calls = 0;
    auto handler = handlerOf([&](TSoundCaptureStream&) { ++calls; }, this, 7);
    s.SetOnDataReady(handler);
    s.Start();
    TSoundCaptureStreamNotify* thread = s.GetNotifyThread();
    ASSERT_NE(thread, nullptr);
    s.SetOnDataReady(handlerOf([&](TSoundCaptureStream&) { calls += 100; }, this, 7)); // same target and id
    EXPECT_EQ(s.GetNotifyThread(), thread);
    EXPECT_TRUE(s.GetCapturing());
}

struct BoundTarget {
    int calls = 0;
    void onData(TSoundCaptureStream&) { ++calls; }
    void other(TSoundCaptureStream&) {}
};

// The newest block by the service's running count: exact however often the ring
// wrapped between two calls, and the caller's buffer stays untouched on failure.
TEST_F(CaptureStream, ReadLatestTakesTheNewestBlockByTheRunningCount) {
    TSoundCaptureStream& s = openWith({8000, 8, 1});
    std::vector<uint8_t> block(1024, 0xEE);
    EXPECT_FALSE(s.ReadLatest(block.data(), 1024)) << "not capturing";
    s.Start();
    ASSERT_EQ(s.GetBufferBytes(), 8000u);
    sound.pushBytes(500);
    EXPECT_FALSE(s.ReadLatest(block.data(), 1024)) << "fewer bytes than a block so far";
    EXPECT_TRUE(allEqual(block, 0, 1024, 0xEE)) << "the buffer stays untouched";
    EXPECT_FALSE(s.ReadLatest(block.data(), 0));
    EXPECT_FALSE(s.ReadLatest(block.data(), 8001)) << "more than the ring";

    sound.pushBytes(600);
    ASSERT_TRUE(s.ReadLatest(block.data(), 1024));
    EXPECT_TRUE(isPattern(block, 0, 1024, 1100 - 1024));
    EXPECT_EQ(s.GetReadPosition(), 1100u);
    EXPECT_EQ(s.AvailableBytes(), 0);

    // A whole ring since the last block: the ring distance reads 0, the count does not.
    sound.pushBytes(8000);
    EXPECT_EQ(s.AvailableBytes(), 0);
    ASSERT_TRUE(s.ReadLatest(block.data(), 1024));
    EXPECT_TRUE(isPattern(block, 0, 1024, 9100 - 1024));
    // More than two rings, ending across the ring's end.
    sound.pushBytes(2 * 8000 + 6000);
    ASSERT_TRUE(s.ReadLatest(block.data(), 1024));
    EXPECT_TRUE(isPattern(block, 0, 1024, 31100 - 1024));
    EXPECT_EQ(s.GetReadPosition(), 31100u % 8000u);

    std::fill(block.begin(), block.end(), 0xEE);
    sound.setPositionFailure(true);
    EXPECT_FALSE(s.ReadLatest(block.data(), 1024));
    sound.setPositionFailure(false);
    sound.setLockFailure(true);
    EXPECT_FALSE(s.ReadLatest(block.data(), 1024));
    EXPECT_TRUE(allEqual(block, 0, 1024, 0xEE));
}

// Before the first block, a lapped ring looked like fewer bytes (the ring distance);
// the count sees every byte, so the first block comes at once.
TEST_F(CaptureStream, ReadLatestAfterTheRingWasLappedBeforeTheFirstBlock) {
    TSoundCaptureStream& s = openWith({8000, 8, 1});
    s.Start();
    sound.pushBytes(8000 + 100);
    std::vector<uint8_t> block(1024);
    ASSERT_TRUE(s.ReadLatest(block.data(), 1024));
    EXPECT_TRUE(isPattern(block, 0, 1024, 8100 - 1024));
}

TEST(CaptureDataReadyEvent, MethodsBoundToObjectsCompareByTargetAndMethod) {
    BoundTarget a, b;
    auto first = TDataReadyEvent::bind<&BoundTarget::onData>(&a);
    EXPECT_TRUE(first.sameAs(TDataReadyEvent::bind<&BoundTarget::onData>(&a)));
    EXPECT_FALSE(first.sameAs(TDataReadyEvent::bind<&BoundTarget::onData>(&b)));
    EXPECT_FALSE(first.sameAs(TDataReadyEvent::bind<&BoundTarget::other>(&a)));
    EXPECT_FALSE(first.sameAs(TDataReadyEvent()));
    EXPECT_TRUE(TDataReadyEvent().sameAs(TDataReadyEvent()));
}

TEST(CaptureWaveStream, BoundedStreamsClampReadsToTheirSize) {
    // A small wave stream of 10 bytes, to check Read's size rule.
    struct TenBytes : TCustomWaveStream2 {
        int32_t GetSize() override { return 10; }
        int32_t ReadData(void*, int32_t Count) override { return Count; }
    } ten;
    char buffer[16];
    ten.Position = 4;
    EXPECT_EQ(ten.Read(buffer, 16), 6);
    EXPECT_EQ(ten.Position, 10);
    ten.Position = 12;
    EXPECT_EQ(ten.Read(buffer, 3), 0);
    EXPECT_EQ(ten.Position, 10);
    ten.SetWaveFormatSize(18);
    ten.GetWaveFormat()->nChannels = 2;
    ten.SetWaveFormatSize(40); // keeps the record
    EXPECT_EQ(ten.GetWaveFormat()->nChannels, 2);
    EXPECT_EQ(ten.GetWaveFormatSize(), 40);
    ten.SetWaveFormatSize(0);
    EXPECT_EQ(ten.GetWaveFormat(), nullptr);
}

TEST(CaptureWaveStream, PositionWrapsAroundAfterTwoGibibytes) {
    // An unbounded stream read for a day passes the 32-bit byte count.
    struct Endless : TCustomWaveStream2 {
        int32_t ReadData(void*, int32_t Count) override { return Count; }
        int32_t WriteData(const void*, int32_t Count) override { return Count; }
    } endless;
    char buffer[1024];
    endless.Position = INT32_MAX - 100;
    EXPECT_EQ(endless.Read(buffer, 1024), 1024);
    EXPECT_EQ(endless.Position, INT32_MIN + 923);
    endless.Position = INT32_MAX;
    EXPECT_EQ(endless.Write(buffer, 1), 1);
    EXPECT_EQ(endless.Position, INT32_MIN);
}
