// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// End-to-end latency of the live display: from a step in the captured signal to the
// first refresh tick that shows the stepped trace on the screen picture. The real main
// window runs against the simulated sound service delivering 48000 Hz 16-bit mono in
// real time; the step passes through the notification thread, the main-thread bridge,
// the filled-buffer handler, the refresh timer's idle ticks and the live drawing.
// Baseline in the same run: the same step handled by calling the handler and the tick
// directly (the processing alone, without waiting for a notification or an idle pass).
// Times are manual (the real time from the step to the picture); read the medians.
// Last, the filled-buffer handler's own CPU time per poll, beside a bare copy of the block.
#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "app/Application.h"
#include "app/MainThreadBridge.h"
#include "app/PictureImage.h"
#include "app/ProgramState.h"
#include "app/TForm2.h"
#include "base/MainThreadQueue.h"
#include "capture/SoundCaptureStream.h"
#include "display/DXTimer.h"
#include "display/TraceDrawing.h"
#include "tests/support/SimulatedSoundService.h"

using namespace veldora::base;
using namespace veldora::display;
using namespace veldora::app;

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint32_t kByteRate = 96000;      // 48000 Hz, 16-bit, mono
constexpr uint32_t kStepWord = 0x7FFF7FFF; // both samples full scale: y 236 at the start positions
constexpr uint32_t kWhite = colourToPixel(kTraceColourNormal);

// Pushes whole words of the current level in real time; notes when the first word of
// a new level went into the ring.
class StepDevice {
  public:
    explicit StepDevice(SimulatedSoundService& sound) : sound_(sound), thread_([this] { run(); }) {}
    ~StepDevice() {
        stop_ = true;
        thread_.join();
    }
    void setLevel(uint32_t word) {
        changedAt_ = Clock::time_point{};
        level_ = word;
    }
    // When the first word of the level set last was captured (empty until then).
    Clock::time_point changedAt() const { return changedAt_.load(); }

  private:
    void run() {
        const auto begin = Clock::now();
        uint64_t words = 0;
        uint32_t pushedLevel = 0;
        std::vector<uint8_t> bytes;
        while (!stop_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const auto due = static_cast<uint64_t>(
                                 std::chrono::duration<double>(Clock::now() - begin).count() * kByteRate) /
                             4;
            if (due <= words)
                continue;
            const uint32_t level = level_;
            bytes.clear();
            for (; words < due; ++words)
                for (int b = 0; b < 4; ++b)
                    bytes.push_back(static_cast<uint8_t>(level >> (8 * b)));
            sound_.pushBytes(bytes);
            if (level != pushedLevel || changedAt_.load() == Clock::time_point{}) {
                pushedLevel = level;
                changedAt_ = Clock::now();
            }
        }
    }

    SimulatedSoundService& sound_;
    std::atomic<uint32_t> level_{0};
    std::atomic<Clock::time_point> changedAt_{};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

bool stepShown(const Bitmap& screen) {
    for (int y = 200; y <= 240; ++y)
        for (int x = 10; x <= 281; ++x)
            if (screen.pixel(x, y) == kWhite)
                return true;
    return false;
}
bool flatShown(const Bitmap& screen) {
    return screen.pixel(100, 160) == kWhite && !stepShown(screen);
}

struct LiveWindow {
    LiveWindow() {
        sound.acceptFormats({{48000, 16, 1}});
        form = std::make_unique<TForm2>(state);
        Application::instance().guard([this] { form->FormCreate(); });
        // Each tick is followed by a look at the picture it drew.
        TDXTimerEvent tick = form->DXTimer1->OnTimer;
        form->DXTimer1->OnTimer = [this, tick](TCustomDXTimer& timer, int32_t lag) {
            tick(timer, lag);
            if (waitingFor && waitingFor(form->Image1->picture())) {
                seenAt = Clock::now();
                waitingFor = nullptr;
                loop.quit();
            }
        };
    }
    ~LiveWindow() {
        form.reset();
        Application::instance().setIdleHandler({});
    }
    // Runs the event loop until a tick draws what `shown` accepts; false after 3 s.
    bool runUntil(bool (*shown)(const Bitmap&)) {
        waitingFor = shown;
        QTimer::singleShot(3000, &loop, &QEventLoop::quit);
        loop.exec();
        return waitingFor == nullptr;
    }

    void runFor(std::chrono::milliseconds duration) {
        QTimer::singleShot(duration, &loop, &QEventLoop::quit);
        loop.exec();
    }

    ProgramState state; // outlives the window
    SimulatedSoundService sound;
    std::unique_ptr<TForm2> form;
    QEventLoop loop;
    bool (*waitingFor)(const Bitmap&) = nullptr;
    Clock::time_point seenAt;
};

void BM_StepToScreen(benchmark::State& state) {
    LiveWindow window;
    StepDevice device(window.sound);
    static std::mt19937 random(4); // one sequence across repetitions
    static std::uniform_int_distribution<int> phase(0, 49);
    for (auto _ : state) {
        device.setLevel(0);
        if (!window.runUntil(flatShown)) {
            state.SkipWithError("the silent trace never showed");
            break;
        }
        // The step lands at a random point of the notification period, not right after
        // the poll that showed the flat trace.
        window.runFor(std::chrono::milliseconds(phase(random)));
        device.setLevel(kStepWord);
        if (!window.runUntil(stepShown)) {
            state.SkipWithError("the step never showed");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(window.seenAt - device.changedAt()).count());
    }
}
BENCHMARK(BM_StepToScreen)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(25)
    ->ReportAggregatesOnly(true);

// Baseline: the step already in the ring, handled at once by the same handler and tick.
void BM_StepProcessingOnly(benchmark::State& state) {
    LiveWindow window;
    TForm2& form = *window.form;
    std::vector<uint8_t> silence(1024, 0), step;
    for (int i = 0; i < 256; ++i)
        for (int b = 0; b < 4; ++b)
            step.push_back(static_cast<uint8_t>(kStepWord >> (8 * b)));
    for (auto _ : state) {
        window.sound.pushBytes(silence);
        form.CaptureStreamFilledBuffer(*form.CaptureStream);
        form.DXTimer1Timer(0);
        const auto t0 = Clock::now();
        window.sound.pushBytes(step);
        form.CaptureStreamFilledBuffer(*form.CaptureStream);
        form.DXTimer1Timer(0);
        const bool shown = stepShown(form.Image1->picture());
        const auto t1 = Clock::now();
        if (!shown) {
            state.SkipWithError("the step was not drawn");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
}
BENCHMARK(BM_StepProcessingOnly)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The filled-buffer handler alone, as the notification's poll runs it on the main
// thread: a new block in the ring each time, converted into the trace arrays. Its CPU
// time is what a poll costs the window (the liveness test only checks that it copies one
// block and never waits). Baseline in the same run: copying the same 1024 bytes out of
// the ring (ReadLatest), the least any handler must do.
// 1024-byte blocks of a running count, each one new to the handler.
class CountingBlocks {
  public:
    const std::vector<uint8_t>& next() {
        for (uint8_t& byte : block_)
            byte = static_cast<uint8_t>(count_++);
        return block_;
    }

  private:
    std::vector<uint8_t> block_ = std::vector<uint8_t>(1024);
    uint32_t count_ = 0;
};

void BM_FilledBufferHandler(benchmark::State& state) {
    LiveWindow window;
    TForm2& form = *window.form;
    CountingBlocks blocks;
    for (auto _ : state) {
        state.PauseTiming();
        window.sound.pushBytes(blocks.next());
        state.ResumeTiming();
        form.CaptureStreamFilledBuffer(*form.CaptureStream);
    }
}
BENCHMARK(BM_FilledBufferHandler)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_FilledBufferCopyOnly(benchmark::State& state) {
    LiveWindow window;
    TForm2& form = *window.form;
    CountingBlocks blocks;
    std::vector<uint8_t> copy(1024);
    for (auto _ : state) {
        state.PauseTiming();
        window.sound.pushBytes(blocks.next());
        state.ResumeTiming();
        benchmark::DoNotOptimize(form.CaptureStream->ReadLatest(copy.data(), 1024));
    }
}
BENCHMARK(BM_FilledBufferCopyOnly)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    MainThreadQueue::instance().setMainThread();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int qtArgc = 1;
    QApplication qt(qtArgc, argv);
    Application app(qt, QStringLiteral("Veldora"));
    app.setMessageSink([](const QString&, const QString& text) {
        std::fprintf(stderr, "message: %s\n", text.toLocal8Bit().constData());
    });
    MainThreadBridge bridge(app);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
