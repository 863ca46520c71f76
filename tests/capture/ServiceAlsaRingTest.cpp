// The capture ring on its own: lock arithmetic, wrapping writes, and a writer and a
// reader on two threads.
#include "capture/service/CaptureRing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
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

} // namespace
