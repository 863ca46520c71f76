// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The application object: idle-handler slot driven by the event loop's idle passes,
// ordered message hooks, the active flag with the activation messages, the standard
// exception display and the last-resort error report. Main thread only, except
// where a function says otherwise.
#include <QObject>
#include <QString>

#include <exception>
#include <functional>
#include <map>
#include <string>

#include "display/IdleHost.h"

class QApplication;

namespace veldora::app {

class Application : public QObject, public display::IdleHost {
    Q_OBJECT
  public:
    // One per process, made after the QApplication and before any window.
    explicit Application(QApplication& qt, QString title = QStringLiteral("Veldora"));
    ~Application() override;
    static Application& instance();
    static bool exists();

    // IdleHost
    void setIdleHandler(IdleHandler handler) override;
    bool hasIdleHandler() const override;
    int addMessageHook(MessageHook hook) override;
    void removeMessageHook(int id) override;
    bool active() const override { return active_; }

    // Offers an application message to the hooks in order (0xB000/0xB001 come from
    // Qt's application-state changes). Tests may call it directly.
    void dispatchMessage(uint32_t message);
    // Sets the active flag and, on a change, dispatches 0xB000 or 0xB001.
    void setActive(bool active);

    QString title() const { return title_; }

    // Runs program code called from Qt: nothing may cross Qt's event machinery, so an
    // exception leaving `code` is shown by the standard exception display.
    template <class Code> void guard(Code&& code) noexcept {
        try {
            code();
        } catch (...) {
            handleException(std::current_exception());
        }
    }
    void handleException(std::exception_ptr error) noexcept;
    // The standard exception display: a message box titled with the application's
    // title, stop icon, OK; "." appended when the last character's code is above ".".
    void showException(const std::string& message);
    static std::string displayedMessage(const std::string& message);

    // The last-resort report for a failure while the main window's layout is read:
    // "Application Error", "Exception %s in module %s at %p." and the message.
    // The caller then exits with code 1.
    void showFatalError(const std::exception& error);

    // The first message box of a run costs tens of milliseconds that later ones do not
    // (its icon looked up and drawn, the first layout of its text and button). Paid
    // here, before the main window shows, an error box later opens without holding it.
    void prepareMessageBoxes() const;

    // Tests capture every message box here instead of showing it modally.
    using MessageSink = std::function<void(const QString& title, const QString& text)>;
    void setMessageSink(MessageSink sink) { sink_ = std::move(sink); }

  private:
    void onAboutToBlock();
    void showBox(const QString& title, const QString& text);

    QString title_;
    IdleHandler idleHandler_;
    std::map<int, MessageHook> hooks_;
    int nextHookId_ = 1;
    bool active_ = false;
    bool inIdle_ = false;
    MessageSink sink_;
};

} // namespace veldora::app
