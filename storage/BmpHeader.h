// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The parts of a BMP file before its pixels: file and information headers, bit-field
// masks and palette, read with every offset checked, and the limits the decoder
// keeps. For the BMP files' own parts only. Qt-free; any thread.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/LittleEndian.h"

namespace veldora::storage {

namespace bmp {

constexpr uint64_t kMaxPixels = uint64_t{1} << 24; // 16 Mpixel: 64 MB in memory
constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;

enum Compression : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3, kAlphaBitfields = 6 };

// Throws EInvalidGraphic "Bitmap image is not valid".
[[noreturn]] void invalid();

// Bounds-checked little-endian reads: anything past the end makes the picture invalid.
class Bytes {
  public:
    Bytes(const unsigned char* data, size_t size) : data_(data), size_(size) {}
    size_t size() const { return size_; }
    const unsigned char* at(size_t offset) const { return data_ + offset; }
    bool has(uint64_t offset, uint64_t length) const { return offset <= size_ && length <= size_ - offset; }
    uint8_t u8(size_t offset) const { return need(offset, 1), data_[offset]; }
    uint16_t u16(size_t offset) const { return need(offset, 2), base::readLe16(data_ + offset); }
    uint32_t u32(size_t offset) const { return need(offset, 4), base::readLe32(data_ + offset); }
    int32_t i32(size_t offset) const { return static_cast<int32_t>(u32(offset)); }

  private:
    void need(uint64_t offset, uint64_t length) const {
        if (!has(offset, length))
            invalid();
    }
    const unsigned char* data_;
    size_t size_;
};

// One colour channel of a 16- or 32-bit pixel, given by its bit mask, scaled to 8 bits.
class Channel {
  public:
    Channel() = default;
    explicit Channel(uint32_t mask); // throws EInvalidGraphic for a mask with gaps
    uint32_t mask() const { return mask_; }
    uint32_t extract(uint32_t value) const;

  private:
    uint32_t mask_ = 0;
    int shift_ = 0;
    int bits_ = 0;
};

struct Layout {
    int width = 0;
    int height = 0; // rows, whatever the direction
    bool topDown = false;
    int bitsPerPixel = 0;
    uint32_t compression = kRgb;
    size_t pixelOffset = 0;
    std::vector<uint32_t> palette; // 0x00RRGGBB
    Channel red, green, blue;
};

// A pixel 0x00RRGGBB from its channels.
constexpr uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) {
    return r << 16 | g << 8 | b;
}

// Everything before the pixels; throws EInvalidGraphic for anything malformed.
Layout readLayout(const Bytes& in);

} // namespace bmp

} // namespace veldora::storage
