// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Shared set-up of the capture tests: a simulated sound service in the library's place,
// the test thread as the main thread, and capture errors collected instead of shown.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/Errors.h"
#include "base/MainThreadQueue.h"
#include "capture/CaptureErrorReport.h"
#include "capture/CaptureErrors.h"
#include "capture/SoundCaptureStream.h"
#include "tests/support/SimulatedSoundService.h"

class CaptureFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        veldora::base::MainThreadQueue::instance().setErrorReporter(veldora::capture::reportCaptureError);
        veldora::capture::setCaptureErrorReporter([this](std::exception_ptr error) {
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& e) {
                reports.push_back(e.what());
            }
        });
    }
    void TearDown() override {
        stream.reset();
        EXPECT_EQ(veldora::base::MainThreadQueue::instance().pending(), 0u);
        EXPECT_EQ(SimulatedSoundService::liveObjects(), 0) << "service objects leaked";
        veldora::capture::setCaptureErrorReporter({});
        veldora::base::MainThreadQueue::instance().setErrorReporter({});
    }

    // A stream on the default device accepting only `format`.
    veldora::capture::TSoundCaptureStream& openWith(SimulatedSoundService::Format format) {
        sound.acceptFormats({format});
        stream = std::make_unique<veldora::capture::TSoundCaptureStream>(nullptr);
        return *stream;
    }

    // Serves the main-thread queue until `done()` holds; the cap only stops a hang.
    template <class Done> bool pumpUntil(Done done, std::chrono::seconds cap = std::chrono::seconds(20)) {
        const auto giveUp = std::chrono::steady_clock::now() + cap;
        while (!done()) {
            if (std::chrono::steady_clock::now() > giveUp)
                return false;
            veldora::base::MainThreadQueue::instance().serveFor(std::chrono::milliseconds(2));
        }
        return true;
    }

    // Serves the main-thread queue until nothing is left in it. An ended notification
    // thread is joined by a request of its own, so once the stream has none and the queue
    // is empty, nothing is left that could poll: an absence checked after this holds for
    // good, however slow the machine.
    bool settle() {
        return pumpUntil([] { return veldora::base::MainThreadQueue::instance().pending() == 0; });
    }

    SimulatedSoundService sound;
    std::unique_ptr<veldora::capture::TSoundCaptureStream> stream;
    std::vector<std::string> reports;
};

// A handler with its own identity, counting its calls.
inline veldora::capture::TDataReadyEvent
handlerOf(std::function<void(veldora::capture::TSoundCaptureStream&)> code, const void* target,
          uintptr_t id = 1) {
    return veldora::capture::TDataReadyEvent(std::move(code), target, id);
}
