// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the app tests share: the process's one Application (made in main.cpp, title
// "Veldora") and the message boxes it would have shown, recorded in order instead
// of being shown. Main thread only.
#include <QString>
#include <QStringList>

#include <vector>

namespace veldora::app {
class Application;
}

struct TestMessage {
    QString title;
    QString text;
};

namespace TestApp {

veldora::app::Application& app();

// Every message box shown since the last clearMessages(), oldest first.
inline std::vector<TestMessage>& messages() {
    static std::vector<TestMessage> recorded;
    return recorded;
}

inline QStringList messageTexts() {
    QStringList texts;
    for (const auto& m : messages()) {
        texts << m.text;
    }
    return texts;
}

inline void clearMessages() {
    messages().clear();
}

} // namespace TestApp
