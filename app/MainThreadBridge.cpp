// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/MainThreadBridge.h"

#include <QMetaObject>

#include "app/Application.h"
#include "base/MainThreadQueue.h"
#include "capture/CaptureErrorReport.h"

namespace veldora::app {

MainThreadBridge::MainThreadBridge(Application& app) {
    base::MainThreadQueue& queue = base::MainThreadQueue::instance();
    // Called from any thread: a queued call is safe to post from anywhere, and the
    // event loop runs it on the application's (the main) thread.
    Application* target = &app;
    queue.setWakeUpPoster([target] {
        const auto drain = [] { base::MainThreadQueue::instance().drain(); };
        QMetaObject::invokeMethod(target, drain, Qt::QueuedConnection);
    });
    capture::setCaptureErrorReporter(
        [target](std::exception_ptr error) { target->handleException(std::move(error)); });
    queue.setErrorReporter(capture::reportCaptureError);
}

MainThreadBridge::~MainThreadBridge() {
    base::MainThreadQueue::instance().setWakeUpPoster({});
    base::MainThreadQueue::instance().setErrorReporter({});
    capture::setCaptureErrorReporter({});
}

} // namespace veldora::app
