// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The standard integer conversion of typed text. Qt-free.
#include <cstdint>
#include <string>

namespace veldora::app {

// Converts `text` to a signed 32-bit integer: leading spaces are skipped, then an
// optional "+" or "-", then decimal digits, or hexadecimal digits after "$" or "0x"
// ("0X"); nothing may follow the digits, not even a space. Decimal values must lie
// in -2147483648 to 2147483647. Hexadecimal values may use all 32 bits and are taken
// as two's complement ("$FFFFFFFF" is -1, "$80000000" is -2147483648); a sign then
// negates that value modulo 2^32. More than 32 bits of hexadecimal value fail.
// Throws EConvertError "'<text>' is not a valid integer value".
int32_t StrToInt(const std::string& text);

} // namespace veldora::app
