// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Build-time tool: writes background.bmp and background2.bmp into the folder given,
// the program's own folder in the build tree and in the installation.
#include <cstdio>
#include <exception>

#include "storage/BackgroundFiles.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    try {
        veldora::storage::writeBackgroundFiles(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
    return 0;
}
