// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Texts of the front panel's read-outs. Qt-free: the caller passes the user's
// decimal separator (UTF-8), so the texts are testable for any locale.
#include <string>
#include <string_view>

namespace veldora::app {

// `value` as text in general format with at most 15 significant digits: fixed
// notation while the decimal exponent lies between -4 and 14, scientific ("1.5E20",
// "1E-5") outside; trailing zeros and a trailing separator are dropped.
std::string FloatToStr(double value, std::string_view decimalSeparator);

// The time-base read-out for the "Horizontal" slider at `position` (1 to 18):
// 1 / (position x 0.5), in milliseconds per division.
std::string timeBaseReadout(int position, std::string_view decimalSeparator);

} // namespace veldora::app
