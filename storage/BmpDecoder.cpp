// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "storage/BmpDecoder.h"

#include "storage/BmpHeader.h"

namespace veldora::storage {

namespace {

using namespace bmp;

void decodeUncompressed(const Bytes& in, const Layout& layout, display::Bitmap& picture) {
    const uint64_t bitsPerRow = uint64_t{static_cast<uint32_t>(layout.width)} * layout.bitsPerPixel;
    const uint64_t stride = (bitsPerRow + 31) / 32 * 4;
    const int bpp = layout.bitsPerPixel;
    const auto paletteSize = layout.palette.size();
    for (int r = 0; r < layout.height; ++r) {
        const unsigned char* src = in.at(layout.pixelOffset + r * stride);
        uint32_t* dest = picture.row(layout.topDown ? r : layout.height - 1 - r);
        for (int x = 0; x < layout.width; ++x) {
            switch (bpp) {
            case 1:
            case 4:
            case 8: {
                const int perByte = 8 / bpp;
                const int shift = 8 - bpp * (x % perByte + 1);
                const unsigned index = (src[x / perByte] >> shift) & ((1u << bpp) - 1);
                if (index >= paletteSize)
                    invalid();
                dest[x] = layout.palette[index];
                break;
            }
            case 16: {
                const uint32_t v = base::readLe16(src + 2 * x);
                dest[x] = rgb(layout.red.extract(v), layout.green.extract(v), layout.blue.extract(v));
                break;
            }
            case 24:
                dest[x] = rgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
                break;
            default: { // 32
                const uint32_t v = base::readLe32(src + 4 * x);
                dest[x] = rgb(layout.red.extract(v), layout.green.extract(v), layout.blue.extract(v));
            }
            }
        }
    }
}

// Run-length encoded 8- or 4-bit pictures, rows from the bottom. Pixels the stream
// skips (by a delta, an early end of line or of the picture) keep palette colour 0.
// Runs that reach past the right edge are clipped.
void decodeRle(const Bytes& in, const Layout& layout, display::Bitmap& picture) {
    const bool four = layout.compression == kRle4;
    const uint64_t width = static_cast<uint32_t>(layout.width);
    const uint64_t height = static_cast<uint32_t>(layout.height);
    const auto paletteSize = layout.palette.size();
    uint64_t x = 0, y = 0; // y counts rows from the bottom
    size_t p = layout.pixelOffset;
    auto put = [&](unsigned index) {
        if (index >= paletteSize)
            invalid();
        if (x < width && y < height)
            picture.row(static_cast<int>(height - 1 - y))[x] = layout.palette[index];
        ++x;
    };
    while (y < height && in.has(p, 2)) {
        const unsigned count = in.u8(p), value = in.u8(p + 1);
        p += 2;
        if (count > 0) { // `count` pixels, alternating two indexes in the 4-bit form
            const unsigned first = four ? value >> 4 : value;
            const unsigned second = four ? value & 0x0Fu : value;
            if (first >= paletteSize || (count > 1 && second >= paletteSize))
                invalid();
            for (unsigned k = 0; k < count; ++k) {
                if (x >= width) {
                    x += count - k;
                    break;
                }
                put(k % 2 == 0 ? first : second);
            }
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            ++y;
            break;
        case 1: // end of picture
            return;
        case 2: // move right and up
            x += in.u8(p);
            y += in.u8(p + 1);
            p += 2;
            break;
        default: { // `value` literal pixels, padded to a 16-bit boundary
            const size_t bytes = four ? (value + 1) / 2 : value;
            if (!in.has(p, bytes))
                invalid();
            for (unsigned k = 0; k < value; ++k) {
                const unsigned byte = in.u8(p + (four ? k / 2 : k));
                put(four ? (k % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte);
            }
            p += bytes + (bytes & 1);
        }
        }
    }
    // A stream that ends without its end-of-picture mark leaves the rest in colour 0.
}

} // namespace

display::Bitmap decodeBmp(const unsigned char* data, size_t size) {
    const Bytes in(data, data == nullptr ? 0 : size);
    const Layout layout = readLayout(in);
    if (layout.compression == kRle8 || layout.compression == kRle4) {
        // A run-length stream can skip pixels, so its length does not bound the
        // picture; a tiny file must still not claim a huge one. 32768 pixels per
        // byte is far beyond what real encoders produce (a delta skips 65025 in 4).
        const uint64_t streamBytes = in.size() - layout.pixelOffset;
        if (uint64_t{static_cast<uint32_t>(layout.width)} * static_cast<uint32_t>(layout.height) >
            streamBytes * 32768)
            invalid();
        display::Bitmap picture(layout.width, layout.height, layout.palette.empty() ? 0 : layout.palette[0]);
        decodeRle(in, layout, picture);
        return picture;
    }
    // The rows must all be there before the picture is allocated; the last row may
    // lack its padding.
    const uint64_t bitsPerRow = uint64_t{static_cast<uint32_t>(layout.width)} * layout.bitsPerPixel;
    const uint64_t stride = (bitsPerRow + 31) / 32 * 4;
    const uint64_t needed = stride * (static_cast<uint64_t>(layout.height) - 1) + (bitsPerRow + 7) / 8;
    if (!in.has(layout.pixelOffset, needed))
        invalid();
    display::Bitmap picture(layout.width, layout.height);
    decodeUncompressed(in, layout, picture);
    return picture;
}

} // namespace veldora::storage
