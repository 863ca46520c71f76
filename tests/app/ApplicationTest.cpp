// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/Application.h"
#include "base/Errors.h"
#include "capture/CaptureErrors.h"
#include "tests/app/TestApp.h"

using namespace veldora::base;
using namespace veldora::display;
using namespace veldora::app;
using veldora::capture::EDXSoundError;

namespace {

class ApplicationTest : public ::testing::Test {
  protected:
    void SetUp() override { TestApp::clearMessages(); }
    void TearDown() override {
        app().setIdleHandler({});
        for (int id : hookIds) {
            app().removeMessageHook(id);
        }
        TestApp::clearMessages();
    }
    static Application& app() { return TestApp::app(); }
    int addHook(IdleHost::MessageHook hook) {
        hookIds.push_back(app().addMessageHook(std::move(hook)));
        return hookIds.back();
    }

    // Runs the event loop for about `ms` milliseconds.
    static void runLoop(int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

    // Runs the event loop until `done()` holds or 10 s pass. The condition is looked at
    // when the loop wakes up or is about to block, which adds no events of its own: a
    // loop that blocks still blocks.
    static void runLoopUntil(const std::function<bool()>& done) {
        if (done())
            return;
        QEventLoop loop;
        QTimer::singleShot(10'000, &loop, &QEventLoop::quit);
        const auto check = [&] {
            if (done())
                loop.quit();
        };
        auto* dispatcher = QAbstractEventDispatcher::instance();
        QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, &loop, check);
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &loop, check);
        loop.exec();
    }

    std::vector<int> hookIds;
};

TEST_F(ApplicationTest, IdleHandlerKeepsBeingCalledWhileItHandsBackNotDone) {
    int calls = 0;
    bool presetTrue = true;
    app().setIdleHandler([&](bool& done) {
        presetTrue = presetTrue && done;
        done = false;
        ++calls;
    });
    runLoopUntil([&] { return calls > 20; });
    // A blocking loop would wait for the 10 s bound: one or two passes. Not blocking,
    // it turns many times.
    EXPECT_GT(calls, 20);
    EXPECT_TRUE(presetTrue);
}

TEST_F(ApplicationTest, IdleHandlerThatIsDoneLetsTheLoopBlock) {
    int calls = 0;
    app().setIdleHandler([&](bool&) { ++calls; });
    runLoop(100);
    EXPECT_GE(calls, 1);
    EXPECT_LT(calls, 20);
}

TEST_F(ApplicationTest, EmptiedSlotIsNoLongerCalled) {
    int calls = 0;
    app().setIdleHandler([&](bool& done) {
        done = false;
        if (++calls == 5) {
            app().setIdleHandler({}); // empties the slot from inside the handler
        }
    });
    EXPECT_TRUE(app().hasIdleHandler());
    runLoop(100);
    EXPECT_EQ(calls, 5);
    EXPECT_FALSE(app().hasIdleHandler());
}

TEST_F(ApplicationTest, ExceptionFromIdleHandlerIsShownAndTheLoopGoesOn) {
    int calls = 0;
    app().setIdleHandler([&](bool& done) {
        done = false;
        if (++calls == 1) {
            throw Exception("tick failed");
        }
    });
    runLoopUntil([&] { return calls > 20; });
    EXPECT_GT(calls, 20);
    ASSERT_EQ(TestApp::messages().size(), 1u);
    EXPECT_EQ(TestApp::messages()[0].text, QStringLiteral("tick failed."));
}

TEST_F(ApplicationTest, HooksAreOfferedInInsertionOrderAndTrueStops) {
    std::vector<std::string> seen;
    addHook([&](uint32_t m) {
        seen.push_back("a" + std::to_string(m));
        return false;
    });
    const int b = addHook([&](uint32_t m) {
        seen.push_back("b" + std::to_string(m));
        return m == 7;
    });
    addHook([&](uint32_t m) {
        seen.push_back("c" + std::to_string(m));
        return false;
    });
    app().dispatchMessage(1);
    app().dispatchMessage(7);
    EXPECT_EQ(seen, (std::vector<std::string>{"a1", "b1", "c1", "a7", "b7"}));

    seen.clear();
    app().removeMessageHook(b);
    app().dispatchMessage(7);
    EXPECT_EQ(seen, (std::vector<std::string>{"a7", "c7"}));
}

TEST_F(ApplicationTest, HookMayRemoveItselfAndALaterHook) {
    std::vector<std::string> seen;
    int first = 0;
    int third = 0;
    first = addHook([&](uint32_t) {
        seen.push_back("first");
        app().removeMessageHook(first);
        app().removeMessageHook(third);
        return false;
    });
    addHook([&](uint32_t) {
        seen.push_back("second");
        return false;
    });
    third = addHook([&](uint32_t) {
        seen.push_back("third");
        return false;
    });
    app().dispatchMessage(1);
    app().dispatchMessage(1);
    EXPECT_EQ(seen, (std::vector<std::string>{"first", "second", "second"}));
}

TEST_F(ApplicationTest, ActivationMessagesComeAfterTheFlagIsUpdated) {
    std::vector<std::pair<uint32_t, bool>> seen;
    addHook([&](uint32_t m) {
        seen.emplace_back(m, app().active());
        return false;
    });
    app().setActive(false);
    seen.clear();
    app().setActive(true);
    app().setActive(true); // no change, no message
    app().setActive(false);
    EXPECT_EQ(seen, (std::vector<std::pair<uint32_t, bool>>{{kMessageAppActivated, true},
                                                            {kMessageAppDeactivated, false}}));
}

TEST_F(ApplicationTest, QtApplicationStateDrivesTheActiveFlag) {
    std::vector<uint32_t> seen;
    app().setActive(false);
    addHook([&](uint32_t m) {
        seen.push_back(m);
        return false;
    });
    emit qApp->applicationStateChanged(Qt::ApplicationActive);
    EXPECT_TRUE(app().active());
    emit qApp->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_FALSE(app().active());
    emit qApp->applicationStateChanged(Qt::ApplicationHidden);
    EXPECT_EQ(seen, (std::vector<uint32_t>{kMessageAppActivated, kMessageAppDeactivated}));
}

TEST_F(ApplicationTest, ExceptionFromHookIsShownAndEndsTheDispatch) {
    int later = 0;
    addHook([](uint32_t) -> bool { throw EDXSoundError("Form not found"); });
    addHook([&](uint32_t) {
        ++later;
        return false;
    });
    app().dispatchMessage(1);
    EXPECT_EQ(later, 0);
    EXPECT_EQ(TestApp::messageTexts(), QStringList{QStringLiteral("Form not found.")});
}

TEST_F(ApplicationTest, GuardShowsEveryKindOfException) {
    app().guard([] { throw EInOutError(2, "File not found"); });
    app().guard([] { throw std::out_of_range("vector index"); });
    app().guard([] { throw 42; });
    bool ran = false;
    app().guard([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(TestApp::messageTexts(),
              (QStringList{"File not found.", "vector index.", "Unknown exception."}));
    for (const auto& m : TestApp::messages()) {
        EXPECT_EQ(m.title, QStringLiteral("Veldora"));
    }
}

TEST(ApplicationDisplayedMessageTest, DotIsAppendedWhenTheLastCharacterIsAboveDot) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"abc", "abc."},
        {"abc.", "abc."},
        {"a!", "a!"}, // '!' (0x21) is below '.'
        {"I/O error 5", "I/O error 5."},
        {"ends with -", "ends with -"},  // '-' (0x2D) is just below '.'
        {"ends with /", "ends with /."}, // '/' (0x2F) is just above '.'
        {"", ""},
        {"Größe", "Größe."}, // last character 'e'
        {"Maß", "Maß."},     // last character U+00DF, bytes C3 9F
        {"wait…", "wait…."}, // U+2026: its code is above '.', though it looks like dots
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Application::displayedMessage(c.in), c.out) << c.in;
    }
}

TEST_F(ApplicationTest, FatalErrorReportNamesClassModuleAndAddress) {
    app().showFatalError(EDXSoundError("Primary Buffer cannot be made"));
    app().showFatalError(std::out_of_range("bad index"));
    ASSERT_EQ(TestApp::messages().size(), 2u);

    const QString hex = QStringLiteral("[0-9A-F]{%1}").arg(2 * sizeof(void*));
    const QRegularExpression own(QStringLiteral("^Exception EDXSoundError in module test_app at ") + hex +
                                 QStringLiteral("\\.\nPrimary Buffer cannot be made$"));
    EXPECT_EQ(TestApp::messages()[0].title, QStringLiteral("Application Error"));
    EXPECT_TRUE(own.match(TestApp::messages()[0].text).hasMatch())
        << TestApp::messages()[0].text.toStdString();

    const QRegularExpression std(QStringLiteral("^Exception std::out_of_range in module test_app at ") + hex +
                                 QStringLiteral("\\.\nbad index$"));
    EXPECT_TRUE(std.match(TestApp::messages()[1].text).hasMatch())
        << TestApp::messages()[1].text.toStdString();
}

} // namespace
