// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Mutated and truncated inputs, from a fixed seed: every input gives a clear error or
// a valid result, never a crash (the sanitizer build checks the memory side).
#include <gtest/gtest.h>
#include <random>

#include "BmpBuilder.h"
#include "ScratchFiles.h"
#include "storage/BmpFile.h"
#include "storage/TraceFile.h"

using namespace veldora::base;
using namespace veldora::display;
using namespace veldora::storage;

using bmpbuild::Bytes;
using bmpbuild::Fields;

namespace {

std::vector<Bytes> bmpSeeds() {
    std::vector<uint32_t> palette(256);
    for (size_t i = 0; i < palette.size(); ++i)
        palette[i] = static_cast<uint32_t>(i * 0x010203);
    std::vector<Bytes> seeds;
    seeds.push_back(bmpbuild::build(
        {.width = 9, .height = 3, .bitsPerPixel = 1, .palette = {0, 0xFFFFFF}, .pixels = Bytes(12, 0xA5)}));
    seeds.push_back(bmpbuild::build({.width = 5,
                                     .height = 2,
                                     .bitsPerPixel = 4,
                                     .palette = std::vector<uint32_t>(palette.begin(), palette.begin() + 16),
                                     .pixels = Bytes(8, 0x3C)}));
    seeds.push_back(bmpbuild::build(
        {.width = 3, .height = -3, .bitsPerPixel = 8, .palette = palette, .pixels = Bytes(12, 200)}));
    seeds.push_back(bmpbuild::build({.width = 3,
                                     .height = 2,
                                     .bitsPerPixel = 16,
                                     .compression = 3,
                                     .masks = {0xF800, 0x7E0, 0x1F},
                                     .pixels = Bytes(16, 0x5A)}));
    seeds.push_back(
        bmpbuild::build({.width = 4, .height = 4, .bitsPerPixel = 24, .pixels = Bytes(48, 0x77)}));
    seeds.push_back(bmpbuild::build({.headerSize = 124,
                                     .width = 2,
                                     .height = 2,
                                     .bitsPerPixel = 32,
                                     .compression = 3,
                                     .masks = {0xFF0000, 0xFF00, 0xFF},
                                     .pixels = Bytes(16, 0x99)}));
    seeds.push_back(bmpbuild::build({.headerSize = 12,
                                     .width = 3,
                                     .height = 2,
                                     .bitsPerPixel = 8,
                                     .palette = palette,
                                     .pixels = Bytes(8, 1)}));
    seeds.push_back(bmpbuild::build({.width = 6,
                                     .height = 3,
                                     .bitsPerPixel = 8,
                                     .compression = 1,
                                     .palette = palette,
                                     .pixels = {3, 7, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 1, 1, 2, 9, 0, 1}}));
    seeds.push_back(bmpbuild::build({.width = 7,
                                     .height = 2,
                                     .bitsPerPixel = 4,
                                     .compression = 2,
                                     .palette = std::vector<uint32_t>(palette.begin(), palette.begin() + 16),
                                     .pixels = {7, 0x12, 0, 0, 0, 5, 0x34, 0x56, 0x70, 0, 0, 1}}));
    return seeds;
}

Bytes mutate(const Bytes& seed, std::mt19937& rng) {
    Bytes b = seed;
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits && !b.empty(); ++e) {
        const size_t at = rng() % b.size();
        switch (rng() % 5) {
        case 0: // flip a bit
            b[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
            break;
        case 1: // a random byte
            b[at] = static_cast<uint8_t>(rng());
            break;
        case 2: { // a telling 32-bit value in a header field
            static const uint32_t values[] = {0, 1, 0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFF, 0x10000, 40};
            const size_t field = 2 + 4 * (rng() % 13);
            const uint32_t v = values[rng() % 8];
            for (size_t i = 0; i < 4 && field + i < b.size(); ++i)
                b[field + i] = static_cast<uint8_t>(v >> (8 * i));
            break;
        }
        case 3: // cut the file short
            b.resize(at);
            break;
        default: // append rubbish
            for (int i = 0; i < 8; ++i)
                b.push_back(static_cast<uint8_t>(rng()));
        }
    }
    return b;
}

} // namespace

TEST(Fuzz, BmpDecoderGivesAValidPictureOrAClearError) {
    std::mt19937 rng(20240611);
    const std::vector<Bytes> seeds = bmpSeeds();
    for (const Bytes& seed : seeds)
        ASSERT_NO_THROW(decodeBmp(seed.data(), seed.size()));
    int valid = 0, refused = 0;
    for (int i = 0; i < 4000; ++i) {
        const Bytes input = mutate(seeds[rng() % seeds.size()], rng);
        try {
            const Bitmap b = decodeBmp(input.data(), input.size());
            ASSERT_GT(b.width(), 0) << i;
            ASSERT_GT(b.height(), 0) << i;
            ASSERT_LE(uint64_t(b.width()) * uint64_t(b.height()), uint64_t{1} << 24) << i;
            for (int y = 0; y < b.height(); ++y)
                for (int x = 0; x < b.width(); ++x)
                    ASSERT_EQ(b.pixel(x, y) >> 24, 0u) << i;
            ++valid;
        } catch (const EInvalidGraphic&) {
            ++refused;
        }
    }
    // Both outcomes must really occur, or the mutations test nothing.
    EXPECT_GT(valid, 100);
    EXPECT_GT(refused, 100);
}

TEST(Fuzz, TraceReaderLoadsOrLeavesTheArraysAlone) {
    scratch::Dir dir;
    std::mt19937 rng(777);
    for (int i = 0; i < 400; ++i) {
        const size_t size = rng() % 3 == 0 ? 2240 + rng() % 800 : rng() % 2240;
        Bytes file(size);
        for (auto& byte : file)
            byte = static_cast<uint8_t>(rng());
        scratch::writeAll(dir / "t.bin", file);
        TraceArray x{}, y{};
        for (int k = 0; k < kTraceLength; ++k) {
            x[k] = static_cast<int32_t>(rng());
            y[k] = static_cast<int32_t>(rng());
        }
        const TraceArray oldX = x, oldY = y;
        try {
            readTraceFile(dir / "t.bin", x, y);
            ASSERT_GE(size, 2240u);
            TraceArray ex = oldX, ey = oldY;
            TraceFileBytes first{};
            std::copy(file.begin(), file.begin() + 2240, first.begin());
            decodeTraceFile(first, ex, ey);
            ASSERT_EQ(x, ex);
            ASSERT_EQ(y, ey);
        } catch (const EInOutError& e) {
            ASSERT_LT(size, 2240u);
            ASSERT_EQ(e.code(), 100);
            ASSERT_EQ(x, oldX);
            ASSERT_EQ(y, oldY);
        }
    }
}
