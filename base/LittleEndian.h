// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Little-endian 16- and 32-bit words in byte buffers, as the trace file, the BMP
// format and the captured blocks store them. Qt-free; any thread.
#include <cstdint>

namespace veldora::base {

constexpr uint16_t readLe16(const uint8_t* in) {
    return static_cast<uint16_t>(in[0] | in[1] << 8);
}

constexpr uint32_t readLe32(const uint8_t* in) {
    return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
           static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
}

constexpr void writeLe16(uint8_t* out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

constexpr void writeLe32(uint8_t* out, uint32_t value) {
    writeLe16(out, value);
    writeLe16(out + 2, value >> 16);
}

} // namespace veldora::base
