// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/TraceConversion.h"

#include <stdexcept>
#include <string>

#include "base/LittleEndian.h"

namespace veldora::display {

namespace {

constexpr int32_t kClampLeft = 10;
constexpr int32_t kClampRight = 281;
constexpr int32_t kLastIndex = kConvertedPoints - 1; // 272

int32_t wordAt(const CaptureBlockBuffer& block, int index) {
    return static_cast<int32_t>(base::readLe32(block.data() + 4 * index));
}

} // namespace

int32_t verticalDivisor(int32_t scaleIndex) {
    if (scaleIndex < 0 || scaleIndex > kMaxScaleIndex)
        throw std::invalid_argument("Vertical scale index " + std::to_string(scaleIndex) +
                                    " is outside 0..10");
    const int32_t gain = scaleIndex == 0 ? 65536 : scaleIndex == 1 ? 32768 : 14600;
    return (11 - scaleIndex) * gain * 86;
}

void convertBlock(const CaptureBlockBuffer& block, const ConversionSliders& sliders, TraceArray& traceX,
                  TraceArray& traceY) {
    if (sliders.timeBase < kMinTimeBase)
        throw std::invalid_argument("Time base " + std::to_string(sliders.timeBase) + " is below 1");
    const int32_t divisor = verticalDivisor(sliders.scaleIndex);
    const int32_t p = sliders.timeBase;
    const int32_t n = conversionLastStep(p);
    // Positions are slider values; 64-bit sums keep out-of-range values from overflowing.
    const int64_t xOffset = int64_t(sliders.xPosition) - 91;
    const int64_t yOffset = int64_t(sliders.yPosition) + 60;

    const auto store = [&](int32_t i, int32_t idx) {
        const int32_t deflection = wordAt(block, idx) / divisor; // truncates toward zero
        int64_t x = int64_t(i) * p + xOffset;
        if (x < kClampLeft)
            x = kClampLeft;
        if (x > kClampRight)
            x = kClampRight;
        traceX[idx] = static_cast<int32_t>(x);
        traceY[idx] = static_cast<int32_t>(yOffset + deflection);
    };
    // Steps i = 0..n with idx = min(i, 272). Steps 273..n-1 only rewrite entry 272,
    // which the last step overwrites again, so only step n of them is computed.
    const int32_t direct = n < kLastIndex ? n : kLastIndex;
    for (int32_t i = 0; i <= direct; ++i)
        store(i, i);
    if (n > kLastIndex)
        store(n, kLastIndex);
}

} // namespace veldora::display
