// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Turning a picture into the bytes of a BMP file. Qt-free; any thread.
#include <string>

#include "base/Errors.h"
#include "display/Bitmap.h"

namespace veldora::storage {

// A 24-bit uncompressed BMP at the picture's own size: 14-byte file header, 40-byte
// information header (resolution 3780 pixels per metre, 96 dpi), rows bottom-up in
// BGR order padded to 4 bytes. Throws EInvalidGraphic for a picture too large for
// the format's 32-bit sizes.
std::string encodeBmp(const display::Bitmap& picture);

} // namespace veldora::storage
