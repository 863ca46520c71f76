// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/ControlSubClass.h"

#include <QWidget>

namespace veldora::app {

TControlSubClass::TControlSubClass(QWidget& window, Handler handler)
    : window_(&window), handler_(std::move(handler)) {
    window.installEventFilter(this);
}

TControlSubClass::~TControlSubClass() {
    if (window_) {
        window_->removeEventFilter(this);
    }
}

bool TControlSubClass::eventFilter(QObject*, QEvent* event) {
    // The handler may free this very hook (re-attaching replaces it): copy what is
    // needed first and touch nothing of the hook afterwards.
    const Handler handler = handler_;
    handler(*event);
    return false; // every event goes on to the window
}

} // namespace veldora::app
