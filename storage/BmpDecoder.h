// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Turning the bytes of a BMP file into a picture. Qt-free; any thread.
#include <cstddef>

#include "base/Errors.h"
#include "display/Bitmap.h"

namespace veldora::storage {

// The 40-byte information header and its larger versions (52, 56, 108, 124 bytes)
// and the old 12-byte core header; 1, 4 and 8 bits per pixel with a palette, 16, 24
// and 32 bits with or without bit-field masks, RLE8 and RLE4; bottom-up or top-down
// rows. Malformed content is refused, never half-read: truncated headers or rows,
// unknown depths or compressions, palette indexes beyond the palette, offsets past
// the end, pictures of more than 16 Mpixel. Throws EInvalidGraphic "Bitmap image is
// not valid".
display::Bitmap decodeBmp(const unsigned char* data, size_t size);

} // namespace veldora::storage
