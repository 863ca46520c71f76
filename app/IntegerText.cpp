// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/IntegerText.h"

#include "base/Errors.h"

namespace veldora::app {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

base::EConvertError notAnInteger(const std::string& text) {
    return base::EConvertError("'" + text + "' is not a valid integer value");
}

} // namespace

int32_t StrToInt(const std::string& text) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < n && text[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == n)
        throw notAnInteger(text);

    // Accumulate in 64 bits and stop as soon as the value leaves the 32-bit range.
    const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 2147483648ull : 2147483647ull);
    uint64_t value = 0;
    for (; i < n; ++i) {
        const int digit = hex ? hexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (digit < 0)
            throw notAnInteger(text);
        value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
        if (value > limit)
            throw notAnInteger(text);
    }
    const uint32_t bits = static_cast<uint32_t>(value);
    return static_cast<int32_t>(negative ? 0u - bits : bits);
}

} // namespace veldora::app
