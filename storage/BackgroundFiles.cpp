// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "storage/BackgroundFiles.h"

#include "display/Graticule.h"
#include "display/ReversedScheme.h"
#include "storage/BmpFile.h"

namespace veldora::storage {

std::string normalBackgroundBmp() {
    return encodeBmp(display::makeGraticule());
}

std::string reversedBackgroundBmp() {
    return encodeBmp(display::reversedScheme(display::makeGraticule()));
}

void writeBackgroundFiles(const std::string& directory) {
    const display::Bitmap normal = display::makeGraticule();
    writeBmpFile(directory + "/" + kNormalBackgroundName, normal);
    writeBmpFile(directory + "/" + kReversedBackgroundName, display::reversedScheme(normal));
}

} // namespace veldora::storage
