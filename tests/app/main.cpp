// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The app tests run inside one QApplication and one Application, as the program
// does; message boxes are recorded (TestApp::messages) instead of shown.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

#include "app/Application.h"
#include "base/MainThreadQueue.h"
#include "tests/app/TestApp.h"

using namespace veldora::base;
using namespace veldora::app;

namespace {
Application* theApp = nullptr;
}

Application& TestApp::app() {
    return *theApp;
}

int main(int argc, char** argv) {
    // Every test runs on this thread: it is the main thread that capture's workers ask.
    MainThreadQueue::instance().setMainThread();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication qt(argc, argv);
    Application app(qt, QStringLiteral("Veldora"));
    theApp = &app;
    const auto keep = [](const QString& title, const QString& text) {
        TestApp::messages().push_back({title, text});
    };
    app.setMessageSink(keep);
    const int result = RUN_ALL_TESTS();
    theApp = nullptr;
    return result;
}
