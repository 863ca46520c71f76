// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "storage/BmpHeader.h"

#include <algorithm>
#include <bit>

#include "base/Errors.h"

namespace veldora::storage {

namespace bmp {

void invalid() {
    throw base::EInvalidGraphic("Bitmap image is not valid");
}

Channel::Channel(uint32_t mask) : mask_(mask) {
    if (mask == 0)
        return;
    shift_ = std::countr_zero(mask);
    const uint32_t bits = mask >> shift_;
    if ((bits & (bits + 1)) != 0)
        invalid(); // the bits of a channel must be contiguous
    bits_ = std::popcount(bits);
}

uint32_t Channel::extract(uint32_t value) const {
    if (bits_ == 0)
        return 0;
    const uint32_t v = (value & mask_) >> shift_;
    if (bits_ >= 8)
        return v >> (bits_ - 8);
    const uint32_t max = (1u << bits_) - 1;
    return (v * 255 + max / 2) / max;
}

Layout readLayout(const Bytes& in) {
    if (!in.has(0, kFileHeaderBytes + 4) || in.u8(0) != 'B' || in.u8(1) != 'M')
        invalid();
    Layout layout;
    const uint32_t headerSize = in.u32(14);
    uint32_t colours = 0;
    uint32_t paletteEntryBytes = 4;
    uint64_t headersEnd = uint64_t{kFileHeaderBytes} + headerSize;

    if (headerSize == 12) { // the old core header: 16-bit sizes, 3-byte palette entries
        layout.width = in.u16(18);
        layout.height = in.u16(20);
        if (in.u16(22) != 1)
            invalid(); // planes: a bitmap has exactly one
        layout.bitsPerPixel = in.u16(24);
        paletteEntryBytes = 3;
        if (layout.bitsPerPixel != 1 && layout.bitsPerPixel != 4 && layout.bitsPerPixel != 8 &&
            layout.bitsPerPixel != 24)
            invalid();
    } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 ||
               headerSize == 124) {
        if (!in.has(0, headersEnd))
            invalid();
        layout.width = in.i32(18);
        const int32_t height = in.i32(22);
        if (height == INT32_MIN)
            invalid();
        layout.topDown = height < 0;
        layout.height = height < 0 ? -height : height;
        if (in.u16(26) != 1)
            invalid(); // planes: a bitmap has exactly one
        layout.bitsPerPixel = in.u16(28);
        layout.compression = in.u32(30);
        colours = in.u32(46);
        const int bpp = layout.bitsPerPixel;
        switch (layout.compression) {
        case kRgb:
            if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
                invalid();
            break;
        case kRle8:
        case kRle4:
            if (bpp != (layout.compression == kRle8 ? 8 : 4) || layout.topDown)
                invalid();
            break;
        case kBitfields:
        case kAlphaBitfields: {
            if (bpp != 16 && bpp != 32)
                invalid();
            // The masks follow a 40-byte header and lie inside the larger ones.
            if (headerSize == 40)
                headersEnd += layout.compression == kBitfields ? 12 : 16;
            const uint32_t r = in.u32(54), g = in.u32(58), b = in.u32(62);
            if ((r | g | b) == 0 || (bpp == 16 && ((r | g | b) >> 16) != 0))
                invalid();
            layout.red = Channel(r);
            layout.green = Channel(g);
            layout.blue = Channel(b);
            break;
        }
        default:
            invalid(); // JPEG, PNG and other embedded formats are not pictures we draw
        }
    } else {
        invalid();
    }

    if (layout.width <= 0 || layout.height <= 0 ||
        static_cast<uint64_t>(layout.width) * static_cast<uint64_t>(layout.height) > kMaxPixels)
        invalid();
    if (layout.compression == kRgb && (layout.bitsPerPixel == 16 || layout.bitsPerPixel == 32)) {
        const bool five = layout.bitsPerPixel == 16;
        layout.red = Channel(five ? 0x7C00 : 0xFF0000);
        layout.green = Channel(five ? 0x03E0 : 0x00FF00);
        layout.blue = Channel(five ? 0x001F : 0x0000FF);
    }

    if (layout.bitsPerPixel <= 8) {
        const uint32_t full = 1u << layout.bitsPerPixel;
        // Extra entries beyond what the depth can index are never used.
        const uint32_t count = colours == 0 ? full : std::min(colours, full);
        if (!in.has(headersEnd, uint64_t{count} * paletteEntryBytes))
            invalid();
        layout.palette.resize(count);
        for (uint32_t i = 0; i < count; ++i) {
            const size_t at = headersEnd + size_t{i} * paletteEntryBytes;
            layout.palette[i] = rgb(in.u8(at + 2), in.u8(at + 1), in.u8(at));
        }
    }

    const uint32_t offset = in.u32(10);
    if (offset < headersEnd || offset >= in.size())
        invalid();
    layout.pixelOffset = offset;
    return layout;
}

} // namespace bmp

} // namespace veldora::storage
