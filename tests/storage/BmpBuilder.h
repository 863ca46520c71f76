// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Builds BMP files field by field for the reader tests, independently of the writer.
#include <cstdint>
#include <vector>

namespace bmpbuild {

using Bytes = std::vector<uint8_t>;

inline void le16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void le32(Bytes& b, uint32_t v) {
    le16(b, v & 0xFFFF);
    le16(b, v >> 16);
}

struct Fields {
    uint32_t headerSize = 40; // 12, 40, 52, 56, 108, 124
    int32_t width = 1;
    int32_t height = 1; // negative: top-down
    uint16_t bitsPerPixel = 24;
    uint16_t planes = 1;
    uint32_t compression = 0;
    std::vector<uint32_t> palette = {}; // 0x00RRGGBB
    uint32_t coloursUsed = 0;
    std::vector<uint32_t> masks = {}; // red, green, blue: inside or after the header
    Bytes pixels = {};                // the pixel data exactly as stored
};

inline Bytes build(const Fields& s) {
    Bytes info;
    if (s.headerSize == 12) {
        le32(info, 12);
        le16(info, static_cast<uint32_t>(s.width));
        le16(info, static_cast<uint32_t>(s.height));
        le16(info, s.planes);
        le16(info, s.bitsPerPixel);
    } else {
        le32(info, s.headerSize);
        le32(info, static_cast<uint32_t>(s.width));
        le32(info, static_cast<uint32_t>(s.height));
        le16(info, s.planes);
        le16(info, s.bitsPerPixel);
        le32(info, s.compression);
        le32(info, static_cast<uint32_t>(s.pixels.size()));
        le32(info, 2835);
        le32(info, 2835);
        le32(info, s.coloursUsed);
        le32(info, 0);
        for (const uint32_t m : s.masks)
            le32(info, m);
        while (info.size() < s.headerSize && s.headerSize > 40)
            info.push_back(0);
    }
    for (const uint32_t c : s.palette) {
        info.push_back(static_cast<uint8_t>(c));
        info.push_back(static_cast<uint8_t>(c >> 8));
        info.push_back(static_cast<uint8_t>(c >> 16));
        if (s.headerSize != 12)
            info.push_back(0);
    }
    Bytes file{'B', 'M'};
    const uint32_t offset = 14 + static_cast<uint32_t>(info.size());
    le32(file, offset + static_cast<uint32_t>(s.pixels.size()));
    le32(file, 0);
    le32(file, offset);
    file.insert(file.end(), info.begin(), info.end());
    file.insert(file.end(), s.pixels.begin(), s.pixels.end());
    return file;
}

// Packs palette indexes (1, 4, 8 bits) row by row as given, padding each row to 4 bytes.
inline Bytes packIndexes(const std::vector<std::vector<int>>& rows, int bits) {
    Bytes out;
    for (const auto& row : rows) {
        Bytes packed((row.size() * bits + 7) / 8, 0);
        for (size_t x = 0; x < row.size(); ++x) {
            const size_t bit = x * bits;
            packed[bit / 8] |= static_cast<uint8_t>(row[x] << (8 - bits - bit % 8));
        }
        while (packed.size() % 4)
            packed.push_back(0);
        out.insert(out.end(), packed.begin(), packed.end());
    }
    return out;
}

} // namespace bmpbuild
