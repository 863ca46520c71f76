// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/ReadoutText.h"
#include "tests/app/TimeBaseReadouts.h"

using namespace veldora::app;

namespace {

using TimeBaseReadouts::kTexts;

std::string withSeparator(std::string text, const std::string& separator) {
    const size_t dot = text.find('.');
    if (dot != std::string::npos)
        text.replace(dot, 1, separator);
    return text;
}

TEST(ReadoutTextTest, TimeBaseForAllPositionsWithPointAndComma) {
    for (const std::string separator : {".", ","}) {
        for (int p = 1; p <= 18; ++p)
            EXPECT_EQ(timeBaseReadout(p, separator), withSeparator(kTexts[p], separator))
                << "position " << p << " separator " << separator;
    }
}

TEST(ReadoutTextTest, SeparatorMayBeSeveralBytes) {
    EXPECT_EQ(timeBaseReadout(8, "\u066B"), "0\u066B25"); // Arabic decimal separator
}

TEST(ReadoutTextTest, GeneralFormatOutsideTheReadouts) {
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {0.0, "0"},
        {-0.0, "0"},
        {100.0, "100"},
        {-2.5, "-2.5"},
        {123456789012345.0, "123456789012345"}, // 15 integer digits: still fixed
        {1e15, "1E15"},
        {1.5e20, "1.5E20"},
        {0.0001, "0.0001"},
        {0.00001, "1E-5"},
        {-1.25e-7, "-1.25E-7"},
        {1.0 / 3.0, "0.333333333333333"},
        {2.0 / 3.0 * 1000, "666.666666666667"},
        {0.1 + 0.2, "0.3"},          // 15 digits hide the binary rounding
        {999999999999999.9, "1E15"}, // rounding carries into a new digit
    };
    for (const auto& c : cases)
        EXPECT_EQ(FloatToStr(c.value, "."), c.text) << c.value;
    EXPECT_EQ(FloatToStr(std::nan(""), "."), "NAN");
    EXPECT_EQ(FloatToStr(-INFINITY, "."), "-INF");
}

} // namespace
