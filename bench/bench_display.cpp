// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Display hot paths against a memcpy of one screen picture (291 x 330 x 4 bytes)
// measured in the same run: the conversion of one block at time bases 1, 2 and
// 18, and one passing refresh tick (background copy plus 273 segments).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "display/Graticule.h"
#include "display/TraceConversion.h"
#include "display/TraceDrawing.h"

using namespace veldora::display;

namespace {

// 1 kHz at 48000 Hz, 16-bit mono at 80 % of full scale: each word holds two samples.
CaptureBlockBuffer sineBlock() {
    CaptureBlockBuffer block{};
    constexpr double kPi = 3.14159265358979323846;
    for (int k = 0; k < 256; ++k) {
        uint32_t word = 0;
        for (int half = 0; half < 2; ++half) {
            const int sample = static_cast<int>(
                std::lround(26214.0 * std::sin(2 * kPi * 1000.0 * (2 * k + half) / 48000.0)));
            word |= (static_cast<uint32_t>(sample) & 0xFFFFu) << (16 * half);
        }
        for (int b = 0; b < 4; ++b)
            block[4 * k + b] = static_cast<uint8_t>(word >> (8 * b));
    }
    return block;
}

void BM_PictureMemcpy(benchmark::State& state) {
    const size_t bytes = size_t(kScreenWidth) * kScreenHeight * 4;
    std::vector<uint8_t> from(bytes, 1), to(bytes, 0);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

void BM_ConvertBlock(benchmark::State& state) {
    const CaptureBlockBuffer block = sineBlock();
    TraceArray x{}, y{};
    const ConversionSliders sliders{static_cast<int32_t>(state.range(0)), 1, 100, 100};
    for (auto _ : state) {
        convertBlock(block, sliders, x, y);
        benchmark::DoNotOptimize(x.data());
        benchmark::DoNotOptimize(y.data());
        benchmark::ClobberMemory();
    }
}

void BM_PassingTick(benchmark::State& state) {
    const Bitmap background = makeGraticule();
    Bitmap screen = background;
    TraceArray x{}, y{};
    convertBlock(sineBlock(), ConversionSliders{}, x, y);
    for (auto _ : state) {
        drawLiveTrace(screen, background, x, y, false, 100);
        benchmark::DoNotOptimize(screen.data());
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK(BM_PictureMemcpy)->Repetitions(10)->ReportAggregatesOnly(true);
BENCHMARK(BM_ConvertBlock)->Arg(1)->Arg(2)->Arg(18)->Repetitions(10)->ReportAggregatesOnly(true);
BENCHMARK(BM_PassingTick)->Repetitions(10)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
