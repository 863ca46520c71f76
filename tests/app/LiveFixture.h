// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The real main window started against the simulated sound service, for the live
// display's tests. The service is scripted before start(); message boxes are recorded.
#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "app/Application.h"
#include "app/PictureImage.h"
#include "app/ProgramState.h"
#include "app/TForm2.h"
#include "capture/SoundCaptureStream.h"
#include "display/Bitmap.h"
#include "display/TraceDrawing.h"
#include "tests/app/TestApp.h"
#include "tests/support/SimulatedSoundService.h"
#include "tests/support/WaitUntil.h"

class LiveFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        TestApp::clearMessages();
        sound = std::make_unique<SimulatedSoundService>();
    }
    void TearDown() override {
        form.reset(); // stops capture before the service goes
        sound.reset();
        TestApp::app().setIdleHandler({});
        TestApp::clearMessages();
    }

    // Builds the window and runs FormCreate as the program does; an error is shown.
    void start() {
        form = std::make_unique<veldora::app::TForm2>(state);
        TestApp::app().guard([this] { form->FormCreate(); });
    }

    // Runs the event loop's passes (idle passes tick the refresh timer) for `ms`
    // milliseconds. Not QEventLoop::exec: once a test has closed a main window, which
    // calls QCoreApplication::exit, every later exec returns at once.
    static void runLoop(int ms) {
        QElapsedTimer elapsed;
        elapsed.start();
        QObject waker;
        QTimer::singleShot(ms, &waker, [] {}); // ends the last blocking wait in time
        auto* dispatcher = QAbstractEventDispatcher::instance();
        while (elapsed.elapsed() < ms)
            dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }

    // Runs the event loop until it has made `passes` idle passes, each one a chance for
    // the refresh timer to tick, however long they take; false only on a hang.
    static bool runIdlePasses(int passes) {
        int seen = 0;
        QObject counter;
        QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                         &counter, [&seen] { ++seen; });
        return runLoopUntil([&seen, passes] { return seen >= passes; });
    }

    // Runs the event loop's passes until `done()` holds (true) or a generous bound
    // passes (false).
    static bool runLoopUntil(const std::function<bool()>& done) {
        QObject owner;
        QTimer waker(&owner); // looks at the condition even when no event comes
        waker.start(5);
        auto* dispatcher = QAbstractEventDispatcher::instance();
        return testsupport::waitUntil(done, [dispatcher] {
            dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        });
    }

    // `count` little-endian copies of `word`.
    static std::vector<uint8_t> words(uint32_t word, int count) {
        std::vector<uint8_t> bytes;
        for (int i = 0; i < count; ++i)
            for (int b = 0; b < 4; ++b)
                bytes.push_back(static_cast<uint8_t>(word >> (8 * b)));
        return bytes;
    }

    static constexpr uint32_t kWhite = veldora::display::colourToPixel(veldora::display::kTraceColourNormal);

    veldora::app::ProgramState state; // outlives the window
    std::unique_ptr<SimulatedSoundService> sound;
    std::unique_ptr<veldora::app::TForm2> form;
};
