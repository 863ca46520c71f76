// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/Application.h"
#include "app/MainThreadBridge.h"
#include "base/Errors.h"
#include "base/MainThreadQueue.h"
#include "capture/CaptureErrors.h"
#include "tests/app/TestApp.h"

using namespace veldora::base;
using namespace veldora::app;
using veldora::capture::ESoundCaptureStreamError;

namespace {

TEST(ApplicationTestBridge, WorkerRequestRunsOnTheMainThreadFromTheEventLoop) {
    MainThreadBridge bridge(TestApp::app());
    const auto mainId = std::this_thread::get_id();
    std::thread::id ranOn;
    std::atomic<bool> ran{false};
    QEventLoop loop;

    std::thread worker([&] {
        ran = MainThreadQueue::instance().runAndWait(&loop, [&] {
            ranOn = std::this_thread::get_id();
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
    });
    // Fails the test instead of hanging it if the request never runs.
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    MainThreadQueue::instance().cancel(&loop); // lets the worker go if it never ran
    worker.join();
    EXPECT_TRUE(ran);
    EXPECT_EQ(ranOn, mainId);
}

TEST(ApplicationTestBridge, CaptureErrorsReachTheExceptionDisplay) {
    TestApp::clearMessages();
    {
        MainThreadBridge bridge(TestApp::app());
        QEventLoop loop;
        std::thread worker([&] {
            MainThreadQueue::instance().post(&loop, [&] {
                QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
                throw ESoundCaptureStreamError("Capture failed");
            });
        });
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        worker.join();
    }
    EXPECT_EQ(TestApp::messageTexts(), QStringList{QStringLiteral("Capture failed.")});
    TestApp::clearMessages();
}

} // namespace
