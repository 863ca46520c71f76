// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "storage/BmpEncoder.h"

#include <cstdint>

#include "base/Errors.h"
#include "base/LittleEndian.h"

namespace veldora::storage {

namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kRgb = 0;              // no compression
constexpr int32_t kPixelsPerMetre = 3780; // 96 dots per inch, the screen's

} // namespace

std::string encodeBmp(const display::Bitmap& picture) {
    const uint64_t width = static_cast<uint64_t>(picture.width());
    const uint64_t height = static_cast<uint64_t>(picture.height());
    const uint64_t stride = (width * 3 + 3) / 4 * 4;
    const uint64_t imageBytes = stride * height;
    const uint64_t total = kFileHeaderBytes + kInfoHeaderBytes + imageBytes;
    if (total > UINT32_MAX)
        throw base::EInvalidGraphic(
            "Bitmap image is not valid"); // beyond what the format's 32-bit size fields can say

    std::string out(static_cast<size_t>(total), '\0');
    auto* at = reinterpret_cast<uint8_t*>(out.data());
    out[0] = 'B';
    out[1] = 'M';
    base::writeLe32(at + 2, static_cast<uint32_t>(total));
    // 6..9: two reserved words, zero
    base::writeLe32(at + 10, kFileHeaderBytes + kInfoHeaderBytes);
    base::writeLe32(at + 14, kInfoHeaderBytes);
    base::writeLe32(at + 18, static_cast<uint32_t>(width));
    base::writeLe32(at + 22, static_cast<uint32_t>(height)); // positive: rows bottom-up
    base::writeLe16(at + 26, 1);                             // planes
    base::writeLe16(at + 28, 24);                            // bits per pixel
    base::writeLe32(at + 30, kRgb);
    base::writeLe32(at + 34, static_cast<uint32_t>(imageBytes));
    base::writeLe32(at + 38, kPixelsPerMetre);
    base::writeLe32(at + 42, kPixelsPerMetre);
    // 46..53: colours used and important, zero: no palette

    for (uint64_t r = 0; r < height; ++r) {
        const uint32_t* src = picture.row(static_cast<int>(height - 1 - r));
        char* dest = out.data() + kFileHeaderBytes + kInfoHeaderBytes + r * stride;
        for (uint64_t x = 0; x < width; ++x) {
            dest[3 * x] = static_cast<char>(src[x] & 0xFF);
            dest[3 * x + 1] = static_cast<char>((src[x] >> 8) & 0xFF);
            dest[3 * x + 2] = static_cast<char>((src[x] >> 16) & 0xFF);
        }
    }
    return out;
}

} // namespace veldora::storage
