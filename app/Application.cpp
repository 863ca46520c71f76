// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Application.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QMessageBox>

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <typeinfo>
#include <vector>

#include "app/TransientOwner.h"
#include "base/Errors.h"
#include "base/ExecutablePath.h"

namespace veldora::app {

namespace {

Application* theInstance = nullptr;

// The executable's file name, as the last-resort report names the module.
QString moduleName() {
    const std::string name = base::executableName();
    return name.empty() ? QStringLiteral("veldora") : QString::fromStdString(name);
}

std::string demangled(const char* name) {
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> text(abi::__cxa_demangle(name, nullptr, nullptr, &status),
                                                     &std::free);
    return status == 0 && text ? std::string(text.get()) : std::string(name);
}

} // namespace

Application::Application(QApplication& qt, QString title) : QObject(&qt), title_(std::move(title)) {
    theInstance = this;
    active_ = qt.applicationState() == Qt::ApplicationActive;
    if (auto* dispatcher = QAbstractEventDispatcher::instance(qt.thread())) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &Application::onAboutToBlock,
                Qt::DirectConnection);
    }
    connect(&qt, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) { setActive(state == Qt::ApplicationActive); });
}

Application::~Application() {
    if (theInstance == this) {
        theInstance = nullptr;
    }
}

Application& Application::instance() {
    return *theInstance;
}

bool Application::exists() {
    return theInstance != nullptr;
}

void Application::setIdleHandler(IdleHandler handler) {
    idleHandler_ = std::move(handler);
}

bool Application::hasIdleHandler() const {
    return static_cast<bool>(idleHandler_);
}

int Application::addMessageHook(MessageHook hook) {
    const int id = nextHookId_++;
    hooks_.emplace(id, std::move(hook));
    return id;
}

void Application::removeMessageHook(int id) {
    hooks_.erase(id);
}

void Application::dispatchMessage(uint32_t message) {
    guard([&] {
        // Ids grow with insertion, so the map's order is the order the hooks came in.
        // A hook may add or remove hooks while it runs: walk a snapshot of the ids
        // and skip those gone meanwhile.
        std::vector<int> ids;
        ids.reserve(hooks_.size());
        for (const auto& entry : hooks_) {
            ids.push_back(entry.first);
        }
        for (const int id : ids) {
            const auto it = hooks_.find(id);
            if (it == hooks_.end()) {
                continue;
            }
            const MessageHook hook = it->second; // the hook may remove itself
            if (hook(message)) {
                return;
            }
        }
    });
}

void Application::setActive(bool active) {
    if (active == active_) {
        return;
    }
    active_ = active;
    dispatchMessage(active ? display::kMessageAppActivated : display::kMessageAppDeactivated);
}

void Application::onAboutToBlock() {
    // A modal box shown from inside the handler runs a nested loop that blocks too;
    // the handler does not run again until the outer call has returned.
    if (inIdle_ || !idleHandler_) {
        return;
    }
    inIdle_ = true;
    bool done = true;
    const IdleHandler handler = idleHandler_; // the handler may replace the slot
    guard([&] { handler(done); });
    inIdle_ = false;
    if (!done) {
        if (auto* dispatcher = QAbstractEventDispatcher::instance(thread())) {
            dispatcher->wakeUp();
        }
    }
}

void Application::handleException(std::exception_ptr error) noexcept {
    try {
        try {
            std::rethrow_exception(std::move(error));
        } catch (const base::Exception& e) {
            showException(e.message());
        } catch (const std::exception& e) {
            showException(e.what());
        } catch (...) {
            showException("Unknown exception");
        }
    } catch (...) {
        // Showing the message failed (out of memory at best): nothing is left to tell.
    }
}

std::string Application::displayedMessage(const std::string& message) {
    // Every byte of a UTF-8 multi-byte character is 0x80 or above, so comparing the
    // last byte as unsigned decides exactly as the last character's code would.
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.')) {
        return message + ".";
    }
    return message;
}

void Application::showException(const std::string& message) {
    showBox(title_, QString::fromStdString(displayedMessage(message)));
}

void Application::showFatalError(const std::exception& error) {
    const auto* own = dynamic_cast<const base::Exception*>(&error);
    const std::string className = own ? std::string(own->className()) : demangled(typeid(error).name());
    // The throw site is not known once the exception has been caught; the code
    // address of the caller that reports it stands in for it.
    const void* address = __builtin_return_address(0);
    char where[2 * sizeof(void*) + 1];
    std::snprintf(where, sizeof where, "%0*llX", static_cast<int>(2 * sizeof(void*)),
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(address)));
    const QString text = QStringLiteral("Exception %1 in module %2 at %3.\n%4")
                             .arg(QString::fromStdString(className), moduleName(), QString::fromLatin1(where),
                                  QString::fromStdString(error.what()));
    showBox(QStringLiteral("Application Error"), text);
}

void Application::prepareMessageBoxes() const {
    if (sink_)
        return;
    const QMessageBox box(QMessageBox::Critical, title_, title_, QMessageBox::Ok);
}

void Application::showBox(const QString& title, const QString& text) {
    if (sink_) {
        sink_(title, text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok);
    setTransientOwner(box, messageBoxOwner(box));
    box.exec();
}

} // namespace veldora::app
