// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/CaptureErrorReport.h"

#include <cstdio>
#include <utility>

namespace veldora::capture {

namespace {
CaptureErrorReporter& installedReporter() {
    static CaptureErrorReporter reporter;
    return reporter;
}
} // namespace

void setCaptureErrorReporter(CaptureErrorReporter reporter) {
    installedReporter() = std::move(reporter);
}

void reportCaptureError(const std::exception_ptr& error) noexcept {
    try {
        if (installedReporter()) {
            installedReporter()(error);
            return;
        }
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "Unknown capture error\n");
    }
}

} // namespace veldora::capture
