// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The sound service on the real default capture device: the 56-trial format probe a
// capture stream runs when it opens, against opening the device once (what probing by
// reopening would pay per trial); and a Read-like lock and copy of a 1024-byte block
// from a running ring, against a plain copy of 1024 bytes. Needs a sound server behind
// ALSA's "default" (tests/e2e/real_capture.sh shows how to start one); skips without.
#include "capture/SoundService.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <string>
#include <thread>

using namespace veldora::sound;

namespace {

struct Service {
    DirectSoundCaptureCreateProc captureCreate = nullptr;

    static const Service& get() {
        static const Service service = [] {
            Service s;
            char exe[PATH_MAX] = {};
            const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
            std::string path(exe, n > 0 ? static_cast<size_t>(n) : 0);
            path = path.substr(0, path.rfind('/') + 1) + kSoundLibraryName;
            if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
                s.captureCreate =
                    reinterpret_cast<DirectSoundCaptureCreateProc>(dlsym(handle, "DirectSoundCaptureCreate"));
            }
            return s;
        }();
        return service;
    }
};

IDirectSoundCapture* openDefault() {
    IDirectSoundCapture* device = nullptr;
    if (Service::get().captureCreate == nullptr ||
        Service::get().captureCreate(nullptr, &device, nullptr) != DS_OK) {
        return nullptr;
    }
    return device;
}

WAVEFORMATEX pcm(uint32_t rate, uint16_t bits, uint16_t channels) {
    const auto block = static_cast<uint16_t>(channels * (bits / 8));
    return WAVEFORMATEX{WAVE_FORMAT_PCM, channels, rate, block * rate, block, bits, 0};
}

void BM_Probe56Formats(benchmark::State& state) {
    IDirectSoundCapture* device = openDefault();
    if (device == nullptr) {
        state.SkipWithError("the default capture device cannot be opened (no sound server?)");
        return;
    }
    int accepted = 0;
    for (auto _ : state) {
        accepted = 0;
        for (uint32_t rate : {8000u, 11025u, 22050u, 33075u, 44100u, 48000u, 96000u}) {
            for (uint16_t bits : {8, 16, 24, 32}) {
                for (uint16_t channels : {1, 2}) {
                    WAVEFORMATEX format = pcm(rate, bits, channels);
                    DSCBUFFERDESC desc{20, 0, format.nAvgBytesPerSec, 0, &format};
                    IDirectSoundCaptureBuffer* buffer = nullptr;
                    if (device->CreateCaptureBuffer(&desc, &buffer, nullptr) == DS_OK) {
                        ++accepted;
                        buffer->Release();
                    }
                }
            }
        }
    }
    state.counters["accepted"] = accepted;
    device->Release();
}
BENCHMARK(BM_Probe56Formats)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

// Baseline: one open and release of the device.
void BM_OpenDefaultDevice(benchmark::State& state) {
    for (auto _ : state) {
        IDirectSoundCapture* device = openDefault();
        if (device == nullptr) {
            state.SkipWithError("the default capture device cannot be opened (no sound server?)");
            return;
        }
        device->Release();
    }
}
BENCHMARK(BM_OpenDefaultDevice)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_LockCopy1024FromRunningRing(benchmark::State& state) {
    IDirectSoundCapture* device = openDefault();
    if (device == nullptr) {
        state.SkipWithError("the default capture device cannot be opened (no sound server?)");
        return;
    }
    WAVEFORMATEX format = pcm(48000, 16, 1);
    constexpr uint32_t kRing = 98304;
    DSCBUFFERDESC desc{20, 0, kRing, 0, &format};
    IDirectSoundCaptureBuffer* buffer = nullptr;
    if (device->CreateCaptureBuffer(&desc, &buffer, nullptr) != DS_OK ||
        buffer->Start(DSCBSTART_LOOPING) != DS_OK) {
        state.SkipWithError("capture does not start");
        if (buffer != nullptr) {
            buffer->Release();
        }
        device->Release();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    uint8_t block[1024];
    for (auto _ : state) {
        uint32_t read = 0;
        buffer->GetCurrentPosition(nullptr, &read);
        void* p1 = nullptr;
        void* p2 = nullptr;
        uint32_t s1 = 0;
        uint32_t s2 = 0;
        if (buffer->Lock((read + kRing - 1024) % kRing, 1024, &p1, &s1, &p2, &s2, 0) == DS_OK) {
            std::memcpy(block, p1, s1);
            if (p2 != nullptr) {
                std::memcpy(block + s1, p2, s2);
            }
            buffer->Unlock(p1, s1, p2, s2);
        }
        benchmark::DoNotOptimize(block);
    }
    buffer->Release();
    device->Release();
}
BENCHMARK(BM_LockCopy1024FromRunningRing)->Repetitions(9)->ReportAggregatesOnly(true);

// Baseline: the copy alone.
void BM_Copy1024(benchmark::State& state) {
    static uint8_t ring[98304];
    uint8_t block[1024];
    uint32_t at = 0;
    for (auto _ : state) {
        std::memcpy(block, ring + at, 1024);
        at = (at + 4096) % (98304 - 1024);
        benchmark::DoNotOptimize(block);
    }
}
BENCHMARK(BM_Copy1024)->Repetitions(9)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
