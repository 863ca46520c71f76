// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The content the save helper writes, known to the tests that check its files.
#include <string>

#include "storage/BmpFile.h"
#include "storage/TraceFile.h"

namespace savepattern {

inline veldora::display::TraceArray x() {
    veldora::display::TraceArray a{};
    for (int i = 0; i < veldora::display::kTraceLength; ++i)
        a[i] = 3 * i + 1;
    return a;
}

inline veldora::display::TraceArray y() {
    veldora::display::TraceArray a{};
    for (int i = 0; i < veldora::display::kTraceLength; ++i)
        a[i] = -7 * i;
    return a;
}

inline veldora::display::Bitmap picture() {
    veldora::display::Bitmap b(3, 2);
    b.setPixel(0, 0, 0x102030);
    b.setPixel(2, 1, 0xA0B0C0);
    return b;
}

inline std::string traceBytes() {
    const veldora::storage::TraceFileBytes bytes = veldora::storage::encodeTraceFile(x(), y());
    return std::string(bytes.begin(), bytes.end());
}

} // namespace savepattern
