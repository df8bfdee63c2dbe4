// SPDX-License-Identifier: MIT
#include "platform/Cp1252.h"

#include <gtest/gtest.h>

TEST(Cp1252, EveryByteSurvivesTheTripThroughUnicode)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    std::string back;
    ASSERT_TRUE(Utf8ToCp1252(Cp1252ToUtf8(all), back).ok);
    EXPECT_EQ(back, all);
    EXPECT_EQ(Cp1252ToUnicode(0x80), U'\u20AC');
    EXPECT_EQ(Cp1252ToUnicode(0x81), U'\u0081');  // unassigned: kept as the control character
    EXPECT_EQ(Cp1252ToUnicode(0x9F), U'\u0178');
    EXPECT_EQ(Cp1252ToUnicode(0xE9), U'\u00E9');
}

TEST(Cp1252, RefusesWhatTheCodePageCannotHold)
{
    std::string out;
    auto result = Utf8ToCp1252("ok \xE2\x98\x83 snowman", out);  // U+2603
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorOffset, 3u);
    EXPECT_EQ(result.badChar, U'\u2603');
    // U+0080 is a C1 control that Windows-1252 puts the euro sign on.
    EXPECT_FALSE(Utf8ToCp1252("\xC2\x80", out).ok);
    // Invalid UTF-8: a lone continuation byte, an overlong form, a surrogate, a cut sequence.
    for (const char* bad : {"\x80", "\xC0\xAF", "\xED\xA0\x80", "\xE2\x82"}) {
        result = Utf8ToCp1252(bad, out);
        EXPECT_FALSE(result.ok) << bad;
        EXPECT_EQ(result.badChar, 0u);
    }
}
