// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The capture stream as the program uses it: opening a stream (device open plus the
// 56-trial format probe) on the simulated service and on the real default device,
// and taking one 1024-byte block from a running ring with Read and with ReadLatest,
// each beside a plain 1024-byte copy measured in the same run. The real device needs a
// sound server behind ALSA's "default"; its benchmark skips without one.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "base/Errors.h"
#include "capture/SoundCaptureStream.h"
#include "capture/SoundLibrary.h"
#include "tests/support/SimulatedSoundService.h"

using namespace veldora::base;
using namespace veldora::capture;

namespace {

constexpr int32_t kBlock = 1024;

void BM_OpenStreamSimulated(benchmark::State& state) {
    SimulatedSoundService sound;
    sound.acceptAllFormats();
    size_t formats = 0;
    for (auto _ : state) {
        TSoundCaptureStream stream(nullptr);
        formats = static_cast<size_t>(stream.GetFormats().Count());
    }
    state.counters["formats"] = static_cast<double>(formats);
}
BENCHMARK(BM_OpenStreamSimulated)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_OpenStreamDefaultDevice(benchmark::State& state) {
    FreeLoadedLibraries(); // the real library, next to this program
    size_t formats = 0;
    for (auto _ : state) {
        try {
            TSoundCaptureStream stream(nullptr);
            formats = static_cast<size_t>(stream.GetFormats().Count());
        } catch (const Exception& error) {
            state.SkipWithError(error.what());
            break;
        }
    }
    state.counters["formats"] = static_cast<double>(formats);
}
BENCHMARK(BM_OpenStreamDefaultDevice)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

// A running 48000 Hz 16-bit mono ring of 1024 ms, refilled by hand outside the timing
// when the reader consumes what it takes (Read does; ReadLatest copies the newest block
// whether or not new bytes came, so it needs no refill).
template <class Take> void takeBlocks(benchmark::State& state, bool consumes, Take take) {
    SimulatedSoundService sound;
    sound.acceptFormats({{48000, 16, 1}});
    TSoundCaptureStream stream(nullptr);
    stream.SetBufferMilliseconds(1024);
    stream.FormatIndex = 0;
    stream.Start();
    std::vector<uint8_t> block(kBlock);
    const uint32_t refill = stream.GetBufferBytes() / 2;
    sound.pushBytes(refill);
    uint32_t left = refill;
    for (auto _ : state) {
        if (consumes && left < static_cast<uint32_t>(kBlock)) {
            state.PauseTiming();
            sound.pushBytes(refill);
            left = refill;
            state.ResumeTiming();
        }
        take(stream, block.data());
        left -= kBlock;
        benchmark::DoNotOptimize(block.data());
    }
    stream.Stop();
}

void BM_Read1024(benchmark::State& state) {
    takeBlocks(state, true, [](TSoundCaptureStream& stream, uint8_t* block) { stream.Read(block, kBlock); });
}
BENCHMARK(BM_Read1024)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_ReadLatest1024(benchmark::State& state) {
    takeBlocks(state, false, [](TSoundCaptureStream& stream, uint8_t* block) {
        if (!stream.ReadLatest(block, kBlock))
            std::abort();
    });
}
BENCHMARK(BM_ReadLatest1024)->Repetitions(9)->ReportAggregatesOnly(true);

// Baseline: copying 1024 bytes.
void BM_Copy1024(benchmark::State& state) {
    std::vector<uint8_t> from(kBlock, 0x55), to(kBlock);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), kBlock);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Copy1024)->Repetitions(9)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
