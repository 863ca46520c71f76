// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/TraceConversion.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <stdexcept>

using namespace veldora::display;

namespace {

void putWord(CaptureBlockBuffer& block, int index, uint32_t word) {
    for (int b = 0; b < 4; ++b)
        block[4 * index + b] = static_cast<uint8_t>(word >> (8 * b));
}

// A block as the program holds it: the first 256 words set, the rest zero.
CaptureBlockBuffer filledBlock(uint32_t word) {
    CaptureBlockBuffer block{};
    for (int i = 0; i < 256; ++i)
        putWord(block, i, word);
    return block;
}

struct Converted {
    TraceArray x, y;
};

Converted convert(const CaptureBlockBuffer& block, ConversionSliders s) {
    Converted c;
    c.x.fill(-7777);
    c.y.fill(-7777);
    convertBlock(block, s, c.x, c.y);
    return c;
}

TEST(TraceConversion, EveryTimeBaseStepsXByItAndReachesTheClampWhereExpected) {
    struct Row {
        int p, n, firstClamped;
    };
    // n = 8192 div p; the first entry at x = 281 is the first i with i*p + 9 >= 281.
    const Row rows[] = {{1, 8192, 272}, {2, 4096, 136}, {3, 2730, 91}, {4, 2048, 68}, {5, 1638, 55},
                        {6, 1365, 46},  {7, 1170, 39},  {8, 1024, 34}, {9, 910, 31},  {10, 819, 28},
                        {11, 744, 25},  {12, 682, 23},  {13, 630, 21}, {14, 585, 20}, {15, 546, 19},
                        {16, 512, 17},  {17, 481, 16},  {18, 455, 16}};
    const CaptureBlockBuffer zeros{};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "time base " << r.p);
        EXPECT_EQ(conversionLastStep(r.p), r.n);
        const Converted c = convert(zeros, {r.p, 1, 100, 100});
        EXPECT_EQ(c.x[0], 10); // 9 clamped up
        for (int i = 1; i < r.firstClamped; ++i)
            ASSERT_EQ(c.x[i], i * r.p + 9) << "entry " << i;
        EXPECT_LT(c.x[r.firstClamped - 1], 281);
        for (int i = r.firstClamped; i <= 272; ++i)
            ASSERT_EQ(c.x[i], 281) << "entry " << i;
        for (int i = 0; i <= 272; ++i)
            ASSERT_EQ(c.y[i], 160) << "entry " << i;
    }
}

TEST(TraceConversion, StartValuesMatchTheWorkedExample) {
    const Converted c = convert(CaptureBlockBuffer{}, {});
    EXPECT_EQ(c.x[0], 10);
    EXPECT_EQ(c.x[1], 11);
    EXPECT_EQ(c.x[2], 13);
    EXPECT_EQ(c.x[135], 279);
    EXPECT_EQ(c.x[136], 281); // computes exactly 281
}

TEST(TraceConversion, DivisorTableAndFullScaleDeflections) {
    struct Row {
        int index;
        int32_t divisor;
        int32_t deflection; // of word 0x7FFF0000
    };
    const Row rows[] = {{0, 61997056, 34}, {1, 28180480, 76}, {2, 11300400, 190}, {3, 10044800, 213},
                        {4, 8789200, 244}, {5, 7533600, 285}, {6, 6278000, 342},  {7, 5022400, 427},
                        {8, 3766800, 570}, {9, 2511200, 855}, {10, 1255600, 1710}};
    const CaptureBlockBuffer block = filledBlock(0x7FFF0000);
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "scale index " << r.index);
        EXPECT_EQ(verticalDivisor(r.index), r.divisor);
        const Converted c = convert(block, {2, r.index, 100, 100});
        EXPECT_EQ(c.y[0], 160 + r.deflection); // unclamped: 1870 at index 10
        EXPECT_EQ(c.y[255], 160 + r.deflection);
    }
}

TEST(TraceConversion, WordValuesTruncateTowardZero) {
    struct Row {
        uint32_t word;
        int index;
        int32_t y;
    };
    const Row rows[] = {
        {0x7FFF0000, 1, 236},         {0x80000000, 1, 84},  {0x27100000, 1, 183},
        {0x0000FFFF, 1, 160},         {0x80808080, 0, 126}, // 8-bit silence: -34
        {0x80808080, 1, 85},                                // -75.9 becomes -75
        {0x80808080, 10, 160 - 1703},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << r.word << std::dec << " at index " << r.index);
        EXPECT_EQ(convert(filledBlock(r.word), {2, r.index, 100, 100}).y[7], r.y);
    }
}

TEST(TraceConversion, WordsAreLittleEndianAndIndexedByEntry) {
    CaptureBlockBuffer block{};
    putWord(block, 3, 0x7FFF0000); // bytes 12..15: 00 00 FF 7F
    putWord(block, 4, 0x80000000);
    EXPECT_EQ(block[15], 0x7F);
    const Converted c = convert(block, {});
    EXPECT_EQ(c.y[2], 160);
    EXPECT_EQ(c.y[3], 236); // positive word: further down the screen
    EXPECT_EQ(c.y[4], 84);
    EXPECT_EQ(c.y[5], 160);
}

TEST(TraceConversion, EntriesFrom256OnAreTheZeroLineAndEntry272EndsAtTheClamp) {
    const CaptureBlockBuffer block = filledBlock(0x7FFF0000);
    for (int p : {1, 2, 18})
        for (int yPos : {0, 100, 200}) {
            SCOPED_TRACE(testing::Message() << "p " << p << " y position " << yPos);
            const Converted c = convert(block, {p, 1, 100, yPos});
            EXPECT_EQ(c.y[255], yPos + 60 + 76);
            for (int i = 256; i <= 272; ++i)
                ASSERT_EQ(c.y[i], yPos + 60) << "entry " << i;
            EXPECT_EQ(c.x[272], 281);
        }
    // With a time base of 1, x runs 10, 10, 11, ..., 280 for entries 0..271.
    const Converted c = convert(block, {1, 1, 100, 100});
    EXPECT_EQ(c.x[1], 10);
    EXPECT_EQ(c.x[271], 280);
}

TEST(TraceConversion, HorizontalPositionShiftsAndClampsBothEnds) {
    const CaptureBlockBuffer zeros{};
    const Converted left = convert(zeros, {2, 1, 0, 100}); // x = 2i - 91
    for (int i = 0; i <= 50; ++i)
        ASSERT_EQ(left.x[i], 10) << "entry " << i;
    EXPECT_EQ(left.x[51], 11);
    EXPECT_EQ(left.x[185], 279);
    EXPECT_EQ(left.x[186], 281);

    const Converted right = convert(zeros, {2, 1, 200, 100}); // x = 2i + 109
    EXPECT_EQ(right.x[0], 109);
    EXPECT_EQ(right.x[85], 279);
    EXPECT_EQ(right.x[86], 281);

    const Converted up = convert(zeros, {2, 1, 100, 0});
    EXPECT_EQ(up.y[0], 60);
}

TEST(TraceConversion, WritesOnlyEntriesUpTo272) {
    const Converted c = convert(filledBlock(0x12345678), {});
    for (int i = 273; i < kTraceLength; ++i) {
        ASSERT_EQ(c.x[i], -7777);
        ASSERT_EQ(c.y[i], -7777);
    }
}

// Every step of the loop, one by one, as the rule states it.
void convertStepByStep(const CaptureBlockBuffer& block, ConversionSliders s, TraceArray& x, TraceArray& y) {
    const int32_t divisor = verticalDivisor(s.scaleIndex);
    for (int32_t i = 0; i <= 8192 / s.timeBase; ++i) {
        const int idx = i <= 272 ? i : 272;
        const int32_t word = int32_t(uint32_t(block[4 * idx]) | uint32_t(block[4 * idx + 1]) << 8 |
                                     uint32_t(block[4 * idx + 2]) << 16 | uint32_t(block[4 * idx + 3]) << 24);
        int32_t px = i * s.timeBase + s.xPosition - 91;
        if (px < 10)
            px = 10;
        if (px > 281)
            px = 281;
        x[idx] = px;
        y[idx] = s.yPosition + word / divisor + 60;
    }
}

TEST(TraceConversion, AgreesWithTheStepByStepLoopOnRandomBlocks) {
    std::mt19937 rng(4242);
    std::uniform_int_distribution<int> byte(0, 255), slider(0, 200), scale(0, 10), base(1, 18);
    for (int n = 0; n < 400; ++n) {
        CaptureBlockBuffer block{};
        for (auto& b : block) // the whole buffer, words 256..1023 included
            b = static_cast<uint8_t>(byte(rng));
        // Beyond the panel's range too: 40 and 100 end before entry 272, 9000 after step 0.
        const int32_t timeBase = n < 300 ? base(rng) : std::array<int32_t, 4>{40, 100, 8192, 9000}[n % 4];
        const ConversionSliders s{timeBase, scale(rng), slider(rng), slider(rng)};
        TraceArray x1, y1, x2, y2;
        x1.fill(-1);
        y1.fill(-1);
        x2 = x1;
        y2 = y1;
        convertBlock(block, s, x1, y1);
        convertStepByStep(block, s, x2, y2);
        ASSERT_EQ(x1, x2) << "time base " << s.timeBase;
        ASSERT_EQ(y1, y2) << "time base " << s.timeBase;
    }
}

TEST(TraceConversion, SliderValuesThatWouldDivideByZeroAreRefusedAndChangeNothing) {
    TraceArray x{}, y{};
    x[0] = 10;
    y[0] = 160;
    const CaptureBlockBuffer block = filledBlock(0x7FFF0000);
    EXPECT_THROW(convertBlock(block, {0, 1, 100, 100}, x, y), std::invalid_argument);
    EXPECT_THROW(convertBlock(block, {2, 11, 100, 100}, x, y), std::invalid_argument);
    EXPECT_THROW(convertBlock(block, {2, -1, 100, 100}, x, y), std::invalid_argument);
    EXPECT_THROW(verticalDivisor(11), std::invalid_argument);
    EXPECT_EQ(x[0], 10);
    EXPECT_EQ(y[0], 160);
    EXPECT_EQ(x[1], 0);
}

} // namespace
