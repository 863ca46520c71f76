#include "app/MainThreadBridge.h"

#include <QMetaObject>

#include "app/Application.h"
#include "base/MainThreadQueue.h"
#include "capture/CaptureErrorReport.h"

MainThreadBridge::MainThreadBridge(Application& app) {
    MainThreadQueue& queue = MainThreadQueue::instance();
    // Called from any thread: a queued call is safe to post from anywhere, and the
    // event loop runs it on the application's (the main) thread.
    Application* target = &app;
    queue.setWakeUpPoster([target] {
        const auto drain = [] { MainThreadQueue::instance().drain(); };
        QMetaObject::invokeMethod(target, drain, Qt::QueuedConnection);
    });
    setCaptureErrorReporter(
        [target](std::exception_ptr error) { target->handleException(std::move(error)); });
    queue.setErrorReporter(reportCaptureError);
}

MainThreadBridge::~MainThreadBridge() {
    MainThreadQueue::instance().setWakeUpPoster({});
    MainThreadQueue::instance().setErrorReporter({});
    setCaptureErrorReporter({});
}
