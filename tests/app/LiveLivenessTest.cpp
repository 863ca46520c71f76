// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The live display against a device delivering in real time, with the real event loop
// (refresh ticks on every idle pass, notifications through the main-thread bridge).
// Every delivered block is checked: how old its newest byte is when it is converted,
// whether it is whole, whether the reader ever fell a ring behind, and how long the
// handler held the main thread. The checks do not depend on how loaded the machine is:
// the handler is held to one read of the ring a call (it never waits for the device),
// freshness is judged against what had been captured when the handler began, and the
// pace is the share of polls that converted a block. The wall-clock figures are
// printed; the handler's time and the latency are measured in bench/bench_latency.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "app/MainThreadBridge.h"
#include "capture/DataReadyEvent.h"
#include "tests/app/LiveFixture.h"

using namespace veldora::display;
using namespace veldora::capture;
using namespace veldora::app;

namespace {

using Clock = std::chrono::steady_clock;

// Pushes whole 32-bit words into the running ring at `bytesPerSecond`, each word holding
// its own index in the capture, so a block tells exactly where it came from.
class RealTimeDevice {
  public:
    RealTimeDevice(SimulatedSoundService& sound, uint32_t bytesPerSecond)
        : sound_(sound), rate_(bytesPerSecond), thread_([this] { run(); }) {}
    ~RealTimeDevice() {
        stop_ = true;
        thread_.join();
    }

  private:
    void run() {
        const auto begin = Clock::now();
        uint64_t words = 0;
        std::vector<uint8_t> bytes;
        while (!stop_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
            const auto due = static_cast<uint64_t>(seconds * rate_) / 4;
            bytes.clear();
            for (; words < due; ++words)
                for (int b = 0; b < 4; ++b)
                    bytes.push_back(static_cast<uint8_t>(words >> (8 * b)));
            if (!bytes.empty())
                sound_.pushBytes(bytes);
        }
    }

    SimulatedSoundService& sound_;
    const uint32_t rate_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

uint32_t blockWord(const CaptureBlockBuffer& block, int k) {
    return uint32_t(block[4 * k]) | uint32_t(block[4 * k + 1]) << 8 | uint32_t(block[4 * k + 2]) << 16 |
           uint32_t(block[4 * k + 3]) << 24;
}

class LiveLivenessTest : public LiveFixture {
  protected:
    void measure(const SimulatedSoundService::Format& format, const char* name) {
        const uint32_t rate =
            static_cast<uint32_t>(format.samplesPerSec * format.bitsPerSample / 8 * format.channels);
        sound->acceptFormats({format});
        MainThreadBridge bridge(TestApp::app());
        start();
        ASSERT_TRUE(TestApp::messages().empty()) << TestApp::messageTexts().join("|").toStdString();
        ASSERT_TRUE(form->CaptureStream && form->CaptureStream->GetCapturing());
        const uint32_t ring = sound->ringBytes();

        // The installed handler, wrapped to observe each call.
        int calls = 0, converted = 0, torn = 0, stale = 0, callsSinceFirst = 0;
        double maxHoldMs = 0;
        int maxReadsPerCall = 0;
        std::vector<double> agesMs;
        uint64_t lastEnd = 0, maxGap = 0;
        Clock::time_point first{}, last{};
        const char tag = 0;
        TForm2* const window = form.get();
        form->CaptureStream->SetOnDataReady(TDataReadyEvent(
            [&, window](TSoundCaptureStream& sender) {
                ++calls;
                const uint32_t before = blockWord(state.CaptureBlock, 255);
                if (converted > 0)
                    ++callsSinceFirst;
                const uint64_t capturedBefore = sound->bytesCaptured();
                const int reads0 = sound->lockCalls() + sound->readNewestCalls();
                const auto t0 = Clock::now();
                window->CaptureStreamFilledBuffer(sender);
                const auto t1 = Clock::now();
                maxReadsPerCall =
                    std::max(maxReadsPerCall, sound->lockCalls() + sound->readNewestCalls() - reads0);
                const uint64_t captured = sound->bytesCaptured(); // at least the position at conversion
                maxHoldMs = std::max(maxHoldMs, std::chrono::duration<double, std::milli>(t1 - t0).count());
                if (blockWord(state.CaptureBlock, 255) == before)
                    return; // not a whole block since Start yet, or nothing new
                ++converted;
                for (int k = 1; k < 256; ++k)
                    if (blockWord(state.CaptureBlock, k) != blockWord(state.CaptureBlock, k - 1) + 1) {
                        ++torn;
                        break;
                    }
                const uint64_t end = (uint64_t{blockWord(state.CaptureBlock, 255)} + 1) * 4;
                if (end < capturedBefore)
                    ++stale; // an older block than the newest there was when the handler began
                agesMs.push_back(double(captured - end) * 1000.0 / rate);
                if (lastEnd)
                    maxGap = std::max(maxGap, end - lastEnd);
                lastEnd = end;
                if (converted == 1)
                    first = t1;
                last = t1;
            },
            &tag, 1));

        {
            RealTimeDevice device(*sound, rate);
            runLoop(3000);
        }
        form->CaptureStream->Stop(); // capture ends (a last poll may still come) before the bridge goes
        form.reset();

        ASSERT_GE(converted, 2);
        std::sort(agesMs.begin(), agesMs.end());
        const double seconds = std::chrono::duration<double>(last - first).count();
        const double perSecond = (converted - 1) / seconds;
        std::printf(
            "[ liveness ] %s: %d calls, %d blocks converted, %.1f blocks/s; block age median %.1f ms, "
            "max %.1f ms; longest handler %.2f ms (at most %d ring reads a call); largest step between "
            "blocks %llu bytes "
            "(ring %u); torn %d, stale %d\n",
            name, calls, converted, perSecond, agesMs[agesMs.size() / 2], agesMs.back(), maxHoldMs,
            maxReadsPerCall, static_cast<unsigned long long>(maxGap), ring, torn, stale);
        RecordProperty("blocks_per_second", std::to_string(perSecond));
        RecordProperty("max_age_ms", std::to_string(agesMs.back()));
        RecordProperty("max_hold_ms", std::to_string(maxHoldMs));

        EXPECT_EQ(torn, 0);
        EXPECT_LT(maxGap, ring); // never a ring behind: nothing overrun
        EXPECT_EQ(stale, 0);     // always the newest block
        // Nearly every poll converts a new block: the device delivers every 2 ms, polls
        // come every 50 ms; a poll may find nothing new only when the device's thread
        // was kept from running in between.
        EXPECT_GE(converted - 1, callsSinceFirst * 9 / 10) << callsSinceFirst << " polls";
        // The handler copies the newest block and never waits for the device: one read
        // of the ring a call, never a wait for more bytes (ReadData's polling reads).
        // Its time on the main thread is measured in bench/bench_latency.
        EXPECT_EQ(maxReadsPerCall, 1);
    }
};

TEST_F(LiveLivenessTest, Preferred48000Hz16BitMono) {
    measure({48000, 16, 1}, "48000Hz 16bit Mono");
}

TEST_F(LiveLivenessTest, Slowest8000Hz8BitMono) {
    measure({8000, 8, 1}, "8000Hz 8bit Mono");
}

} // namespace
