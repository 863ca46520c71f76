// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <string>

#include "app/IntegerText.h"
#include "base/Errors.h"

using namespace veldora::base;
using namespace veldora::app;

namespace {

TEST(IntegerTextTest, AcceptedTexts) {
    struct Case {
        const char* text;
        int32_t value;
    };
    const Case cases[] = {
        {"0", 0},
        {"250", 250},
        {"007", 7},
        {" 7", 7},
        {"   -12", -12},
        {"+5", 5},
        {"-5", -5},
        {"$10", 16},
        {"$ff", 255},
        {"-$10", -16},
        {" +$A", 10},
        {"0x10", 16},
        {"0X1f", 31},
        {"-0x10", -16},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"0000000000002147483647", 2147483647},
        {"$7FFFFFFF", 2147483647},
        {"$FFFFFFFF", -1}, // hexadecimal uses all 32 bits
        {"$80000000", INT32_MIN},
        {"-$FFFFFFFF", 1},    // the sign negates modulo 2^32
        {"$00000000FF", 255}, // leading zeros do not count against the range
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(StrToInt(c.text), c.value);
    }
}

TEST(IntegerTextTest, RejectedTextsNameTheText) {
    const char* const rejected[] = {
        "",           "-",           "+",    " ",   "$",          "0x",          "-$",
        "7 ",         "1a",          "a1",   "1.5", "1,5",        "- 5",         "--5",
        "+-5",        "$G",          "0x1G", "\t7", "2147483648", "-2147483649", "99999999999999999999",
        "$100000000", "0x1FFFFFFFF", "1e3",  "٣",
    };
    for (const char* text : rejected) {
        SCOPED_TRACE(text);
        try {
            StrToInt(text);
            ADD_FAILURE() << "accepted";
        } catch (const EConvertError& error) {
            EXPECT_EQ(error.message(), std::string("'") + text + "' is not a valid integer value");
            EXPECT_STREQ(error.className(), "EConvertError");
        }
    }
}

} // namespace
