// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The capture ring on its own: lock arithmetic, wrapping writes, the running count,
// and a writer and a reader on two threads (in step, and a writer lapping its reader).
#include "capture/service/CaptureRing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <numeric>
#include <thread>
#include <vector>

using veldora::sound::CaptureRing;
using veldora::sound::RingRegions;

namespace {

struct LockCase {
    uint32_t offset;
    uint32_t bytes;
    uint32_t firstOffset; // region 1 starts here in the ring
    uint32_t firstBytes;
    uint32_t secondBytes; // region 2, when present, starts at 0
};

class ServiceAlsaRingLock : public testing::TestWithParam<LockCase> {};

TEST_P(ServiceAlsaRingLock, RegionsCoverTheSpanCyclically) {
    const LockCase c = GetParam();
    CaptureRing ring(8000);
    RingRegions regions;
    ASSERT_TRUE(ring.lock(c.offset, c.bytes, regions));
    const uint8_t* base = nullptr;
    RingRegions start;
    ASSERT_TRUE(ring.lock(0, 1, start));
    base = start.first;
    EXPECT_EQ(regions.first, base + c.firstOffset);
    EXPECT_EQ(regions.firstBytes, c.firstBytes);
    EXPECT_EQ(regions.secondBytes, c.secondBytes);
    EXPECT_EQ(regions.second, c.secondBytes == 0 ? nullptr : base);
    EXPECT_EQ(regions.firstBytes + regions.secondBytes, c.bytes);
}

INSTANTIATE_TEST_SUITE_P(Spans, ServiceAlsaRingLock,
                         testing::Values(LockCase{0, 1024, 0, 1024, 0},        // from the start
                                         LockCase{6976, 1024, 6976, 1024, 0},  // ends exactly at the end
                                         LockCase{7000, 1024, 7000, 1000, 24}, // wraps
                                         LockCase{7999, 2, 7999, 1, 1},        // last byte, then first
                                         LockCase{0, 8000, 0, 8000, 0},        // the whole ring
                                         LockCase{1, 8000, 1, 7999, 1}));      // whole ring, wrapping

TEST(ServiceAlsaRing, RefusesSpansOutsideTheRing) {
    CaptureRing ring(8000);
    RingRegions regions;
    EXPECT_FALSE(ring.lock(8000, 1, regions)); // offset at the end
    EXPECT_FALSE(ring.lock(0, 0, regions));    // nothing
    EXPECT_FALSE(ring.lock(0, 8001, regions)); // more than the ring
    EXPECT_FALSE(ring.lock(UINT32_MAX, UINT32_MAX, regions));
    EXPECT_EQ(regions.first, nullptr);
}

std::vector<uint8_t> ringBytes(const CaptureRing& ring) {
    RingRegions all;
    EXPECT_TRUE(ring.lock(0, ring.size(), all));
    return std::vector<uint8_t>(all.first, all.first + all.firstBytes);
}

TEST(ServiceAlsaRing, WriteWrapsAndAdvancesThePosition) {
    CaptureRing ring(10);
    EXPECT_EQ(ring.writePosition(), 0u);
    const std::vector<uint8_t> first{1, 2, 3, 4, 5, 6, 7};
    ring.write(first.data(), 7);
    EXPECT_EQ(ring.writePosition(), 7u);
    const std::vector<uint8_t> second{8, 9, 10, 11, 12};
    ring.write(second.data(), 5);
    EXPECT_EQ(ring.writePosition(), 2u);
    EXPECT_EQ(ringBytes(ring), (std::vector<uint8_t>{11, 12, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST(ServiceAlsaRing, WriteOfMoreThanARingKeepsTheLastRing) {
    CaptureRing ring(4);
    std::vector<uint8_t> data(11);
    std::iota(data.begin(), data.end(), uint8_t{1});
    ring.write(data.data(), 3);  // position 3
    ring.write(data.data(), 11); // bytes 8..11 are the ones that stay, 11 just before 2
    EXPECT_EQ(ring.writePosition(), (3u + 11u) % 4u);
    EXPECT_EQ(ringBytes(ring), (std::vector<uint8_t>{10, 11, 8, 9}));
}

TEST(ServiceAlsaRing, CountsEveryByteAndCopiesOnlyBytesStillInTheRing) {
    CaptureRing ring(4);
    std::vector<uint8_t> data(11);
    std::iota(data.begin(), data.end(), uint8_t{1});
    ring.write(data.data(), 3);
    ring.write(data.data(), 11);
    EXPECT_EQ(ring.written(), 14u) << "the count goes on across a write of more than a ring";
    uint8_t out[4] = {};
    ASSERT_TRUE(ring.copyEnding(14, out, 4)); // indices 10..13: the last ring
    EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{8, 9, 10, 11}));
    ASSERT_TRUE(ring.copyEnding(13, out, 2)); // 11, 12
    EXPECT_EQ(std::vector<uint8_t>(out, out + 2), (std::vector<uint8_t>{9, 10}));
    EXPECT_FALSE(ring.copyEnding(13, out, 4)) << "index 9 was overwritten by index 13";
    EXPECT_FALSE(ring.copyEnding(3, out, 3)) << "a whole lap behind";
    EXPECT_FALSE(ring.copyEnding(2, out, 3)) << "before the first byte";
    EXPECT_FALSE(ring.copyEnding(14, out, 0));
    EXPECT_FALSE(ring.copyEnding(14, out, 5)) << "more than the ring";
}

TEST(ServiceAlsaRing, StartsZeroed) {
    CaptureRing ring(100);
    const std::vector<uint8_t> bytes = ringBytes(ring);
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; }));
}

// One writer in uneven chunks, one reader locking whatever lies below the position:
// the reader must see the writer's byte sequence unbroken across every wrap. The writer
// is held back so it never laps the reader (lapping is a silent overrun by design).
TEST(ServiceAlsaRingThread, ReaderSeesTheWritersSequenceAcrossWraps) {
    constexpr uint32_t kRing = 1000; // not a power of two, so wraps fall anywhere
    constexpr uint64_t kTotal = 2'000'000;
    CaptureRing ring(kRing);
    std::atomic<uint64_t> consumed{0};

    std::thread writer([&] {
        uint8_t chunk[333];
        uint64_t written = 0;
        uint32_t size = 1;
        while (written < kTotal) {
            size = size % 333 + 1;
            const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(size, kTotal - written));
            while (written + n - consumed.load(std::memory_order_acquire) >= kRing) {
                std::this_thread::yield();
            }
            for (uint32_t i = 0; i < n; ++i) {
                chunk[i] = static_cast<uint8_t>((written + i) * 7 + 3);
            }
            ring.write(chunk, n);
            written += n;
        }
    });

    uint64_t read = 0;
    uint32_t readOffset = 0;
    uint64_t mismatches = 0;
    while (read < kTotal) {
        const uint32_t position = ring.writePosition();
        const uint32_t available = (position + kRing - readOffset) % kRing;
        if (available == 0) {
            std::this_thread::yield();
            continue;
        }
        RingRegions regions;
        ASSERT_TRUE(ring.lock(readOffset, available, regions));
        for (uint32_t i = 0; i < regions.firstBytes; ++i) {
            mismatches += regions.first[i] != static_cast<uint8_t>((read + i) * 7 + 3);
        }
        for (uint32_t i = 0; i < regions.secondBytes; ++i) {
            mismatches += regions.second[i] != static_cast<uint8_t>((read + regions.firstBytes + i) * 7 + 3);
        }
        read += available;
        readOffset = (readOffset + available) % kRing;
        consumed.store(read, std::memory_order_release);
    }
    writer.join();
    EXPECT_EQ(read, kTotal);
    EXPECT_EQ(mismatches, 0u);
}

// A writer that runs freely laps a reader that copies the newest bytes, and laps it
// on purpose when the reader holds on to an old count. Byte i of the stream is
// i mod 251 and the ring (1000) is no multiple of 251, so a byte from another lap never
// passes for the one wanted. A copy must never come back whole with a wrong byte, and
// must never come back whole when the writer had passed its first byte before it began.
TEST(ServiceAlsaRingThread, LappedReaderIsCaughtAndNeverGetsOverwrittenBytes) {
    constexpr uint32_t kRing = 1000;
    constexpr int kReads = 6000;
    const auto byteAt = [](uint64_t index) { return static_cast<uint8_t>(index % 251); };
    CaptureRing ring(kRing);
    std::atomic<bool> done{false};

    std::thread writer([&] {
        std::vector<uint8_t> chunk(2 * kRing + 7);
        uint64_t written = 0;
        uint32_t size = 0;
        while (!done.load(std::memory_order_relaxed)) {
            // Mostly short chunks, now and then more than a ring at once.
            size = size % 97 == 96 ? static_cast<uint32_t>(chunk.size()) : size % 311 + 1;
            for (uint32_t i = 0; i < size; ++i) {
                chunk[i] = byteAt(written + i);
            }
            ring.write(chunk.data(), size);
            written += size;
        }
    });

    // Waits for the writer to reach `count`; the bound only stops a hang.
    const auto waitFor = [&](uint64_t count) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (ring.written() < count && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::yield();
        }
        return ring.written() >= count;
    };

    std::vector<uint8_t> block(kRing);
    int whole = 0;
    int refused = 0;
    int wrongBytes = 0;
    int missedLaps = 0;
    for (int read = 0; read < kReads; ++read) {
        const uint32_t bytes = 1 + static_cast<uint32_t>(read * 37 % kRing);
        ASSERT_TRUE(waitFor(bytes));
        const uint64_t end = ring.written();
        // Every fourth read is slow: it copies only after the writer has moved on by a
        // quarter ring up to three rings.
        if (read % 4 == 3) {
            ASSERT_TRUE(waitFor(end + kRing / 4 * static_cast<uint64_t>(read % 13)));
        }
        const bool passedBefore = ring.written() > end - bytes + kRing;
        if (!ring.copyEnding(end, block.data(), bytes)) {
            ++refused;
            continue;
        }
        ++whole;
        missedLaps += passedBefore;
        for (uint32_t i = 0; i < bytes; ++i) {
            wrongBytes += block[i] != byteAt(end - bytes + i);
        }
    }
    done.store(true);
    writer.join();
    EXPECT_EQ(wrongBytes, 0);
    EXPECT_EQ(missedLaps, 0);
    EXPECT_GT(whole, 0) << "no copy ever succeeded";
    EXPECT_GT(refused, 0) << "the writer never lapped the reader";
}

} // namespace
