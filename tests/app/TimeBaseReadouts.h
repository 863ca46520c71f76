// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The time-base read-out for every position of the slider (1 to 18), character for
// character, with "." as the separator; index 0 is no position. Shared by the pure
// read-out tests and the window tests, so both check the same texts.
namespace TimeBaseReadouts {

inline constexpr const char* kTexts[19] = {nullptr,
                                           "2",
                                           "1",
                                           "0.666666666666667",
                                           "0.5",
                                           "0.4",
                                           "0.333333333333333",
                                           "0.285714285714286",
                                           "0.25",
                                           "0.222222222222222",
                                           "0.2",
                                           "0.181818181818182",
                                           "0.166666666666667",
                                           "0.153846153846154",
                                           "0.142857142857143",
                                           "0.133333333333333",
                                           "0.125",
                                           "0.117647058823529",
                                           "0.111111111111111"};

} // namespace TimeBaseReadouts
