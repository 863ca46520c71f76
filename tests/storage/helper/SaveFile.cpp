// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Saves a known trace file or picture, as the program's Save and picture export do, or
// loads a trace file as Load and Merge do, so that a test can run them as another user
// (setpriv) and check what happened. Usage: save-file trace|bmp|load PATH. Prints the
// user id, then "saved", "loaded" (the known trace) or "loaded another trace", or the error.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "../SavePattern.h"
#include "base/Errors.h"

using namespace veldora::base;
using namespace veldora::storage;

int main(int argc, char** argv) {
    const bool load = argc == 3 && std::strcmp(argv[1], "load") == 0;
    if (argc != 3 || (std::strcmp(argv[1], "trace") != 0 && std::strcmp(argv[1], "bmp") != 0 && !load)) {
        std::fprintf(stderr, "usage: save-file trace|bmp|load PATH\n");
        return 2;
    }
    std::printf("uid %u\n", static_cast<unsigned>(::geteuid()));
    try {
        if (load) {
            veldora::display::TraceArray x{}, y{};
            readTraceFile(argv[2], x, y);
            // Only entries 0..279 are in the file.
            const veldora::display::TraceArray knownX = savepattern::x(), knownY = savepattern::y();
            const int stored = veldora::display::kStoredPoints;
            const bool known = std::equal(x.begin(), x.begin() + stored, knownX.begin()) &&
                               std::equal(y.begin(), y.begin() + stored, knownY.begin());
            std::printf(known ? "loaded\n" : "loaded another trace\n");
            return 0;
        }
        if (std::strcmp(argv[1], "trace") == 0)
            writeTraceFile(argv[2], savepattern::x(), savepattern::y());
        else
            writeBmpFile(argv[2], savepattern::picture());
    } catch (const Exception& e) {
        std::printf("%s: %s\n", e.className(), e.message().c_str());
        return 1;
    }
    std::printf("saved\n");
    return 0;
}
