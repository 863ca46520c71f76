// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The two background pictures that Clear and Revers load from the program's folder,
// written at build time next to the program. Qt-free.
#include <string>

namespace veldora::storage {

inline constexpr const char* kNormalBackgroundName = "background.bmp";    // normal scheme
inline constexpr const char* kReversedBackgroundName = "background2.bmp"; // reversed scheme

// The file contents: the built-in graticule, and its reversed colour scheme; both
// 291 x 330, 24 bits per pixel, bottom-up.
std::string normalBackgroundBmp();
std::string reversedBackgroundBmp();

// Writes both files into the directory (which must exist). Throws what writeBmpFile
// throws.
void writeBackgroundFiles(const std::string& directory);

} // namespace veldora::storage
