// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/ReadoutText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace veldora::app {

namespace {
constexpr int kSignificantDigits = 15;
}

std::string FloatToStr(double value, std::string_view decimalSeparator) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0)
        return "0";

    // Round once to 15 significant digits; "%.14e" gives d.dddddddddddddde<exp>.
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.*e", kSignificantDigits - 1, std::fabs(value));
    std::string digits;
    const char* p = buffer;
    for (; *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            digits += *p;
    const int exponent = std::atoi(p + 1);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string text = value < 0 ? "-" : "";
    if (exponent < -4 || exponent >= kSignificantDigits) {
        text += digits[0];
        if (digits.size() > 1) {
            text += decimalSeparator;
            text += digits.substr(1);
        }
        text += 'E';
        text += std::to_string(exponent);
        return text;
    }
    if (exponent < 0) {
        text += '0';
        text += decimalSeparator;
        text.append(static_cast<size_t>(-exponent - 1), '0');
        text += digits;
        return text;
    }
    const size_t integerDigits = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= integerDigits) {
        text += digits;
        text.append(integerDigits - digits.size(), '0');
        return text;
    }
    text += digits.substr(0, integerDigits);
    text += decimalSeparator;
    text += digits.substr(integerDigits);
    return text;
}

std::string timeBaseReadout(int position, std::string_view decimalSeparator) {
    return FloatToStr(1.0 / (position * 0.5), decimalSeparator);
}

} // namespace veldora::app
