// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Where capture reports an error that no caller can receive (a filled-buffer handler
// that raised inside the notification poll). The application installs its standard
// exception display at start-up:
//   setCaptureErrorReporter([](std::exception_ptr e) { Application::instance().handleException(e); });
// Until then errors go to stderr. Reports are made on the main thread.
#include <exception>
#include <functional>

namespace veldora::capture {

using CaptureErrorReporter = std::function<void(std::exception_ptr error)>;

// Installs the reporter (empty: back to stderr). Main thread, before capture starts.
void setCaptureErrorReporter(CaptureErrorReporter reporter);
// Hands the error to the reporter; never throws. Main thread.
void reportCaptureError(const std::exception_ptr& error) noexcept;

} // namespace veldora::capture
