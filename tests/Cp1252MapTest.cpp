// SPDX-License-Identifier: MIT
// The part of the Windows-1252 map that differs from Latin-1, byte by byte,
// against the code page's published table. A wrong entry there keeps the map
// one-to-one (so a round trip still passes) while the editor shows the wrong
// character and an import refuses the right one.
#include "platform/Cp1252.h"

#include <gtest/gtest.h>

namespace {

struct Mapping {
    unsigned char byte;
    char32_t ch;
};

// 0x80-0x9F; the five bytes the code page leaves unassigned are kept as the
// control characters of the same value.
constexpr Mapping kHighHalf[32] = {
    {0x80, 0x20AC},  // EURO SIGN
    {0x81, 0x0081},  // unassigned
    {0x82, 0x201A},  // SINGLE LOW-9 QUOTATION MARK
    {0x83, 0x0192},  // LATIN SMALL LETTER F WITH HOOK
    {0x84, 0x201E},  // DOUBLE LOW-9 QUOTATION MARK
    {0x85, 0x2026},  // HORIZONTAL ELLIPSIS
    {0x86, 0x2020},  // DAGGER
    {0x87, 0x2021},  // DOUBLE DAGGER
    {0x88, 0x02C6},  // MODIFIER LETTER CIRCUMFLEX ACCENT
    {0x89, 0x2030},  // PER MILLE SIGN
    {0x8A, 0x0160},  // LATIN CAPITAL LETTER S WITH CARON
    {0x8B, 0x2039},  // SINGLE LEFT-POINTING ANGLE QUOTATION MARK
    {0x8C, 0x0152},  // LATIN CAPITAL LIGATURE OE
    {0x8D, 0x008D},  // unassigned
    {0x8E, 0x017D},  // LATIN CAPITAL LETTER Z WITH CARON
    {0x8F, 0x008F},  // unassigned
    {0x90, 0x0090},  // unassigned
    {0x91, 0x2018},  // LEFT SINGLE QUOTATION MARK
    {0x92, 0x2019},  // RIGHT SINGLE QUOTATION MARK
    {0x93, 0x201C},  // LEFT DOUBLE QUOTATION MARK
    {0x94, 0x201D},  // RIGHT DOUBLE QUOTATION MARK
    {0x95, 0x2022},  // BULLET
    {0x96, 0x2013},  // EN DASH
    {0x97, 0x2014},  // EM DASH
    {0x98, 0x02DC},  // SMALL TILDE
    {0x99, 0x2122},  // TRADE MARK SIGN
    {0x9A, 0x0161},  // LATIN SMALL LETTER S WITH CARON
    {0x9B, 0x203A},  // SINGLE RIGHT-POINTING ANGLE QUOTATION MARK
    {0x9C, 0x0153},  // LATIN SMALL LIGATURE OE
    {0x9D, 0x009D},  // unassigned
    {0x9E, 0x017E},  // LATIN SMALL LETTER Z WITH CARON
    {0x9F, 0x0178},  // LATIN CAPITAL LETTER Y WITH DIAERESIS
};

std::string Utf8Of(char32_t ch)
{
    std::string s;
    if (ch < 0x80) {
        s += static_cast<char>(ch);
    } else if (ch < 0x800) {
        s += static_cast<char>(0xC0 | (ch >> 6));
        s += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        s += static_cast<char>(0xE0 | (ch >> 12));
        s += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (ch & 0x3F));
    }
    return s;
}

TEST(Cp1252Map, EveryByteFrom0x80To0x9FIsItsPublishedCharacter)
{
    for (const Mapping& m : kHighHalf) {
        SCOPED_TRACE(testing::Message() << "byte 0x" << std::hex << int{m.byte});
        EXPECT_EQ(Cp1252ToUnicode(m.byte), m.ch);
        EXPECT_EQ(UnicodeToCp1252(m.ch), std::optional<unsigned char>(m.byte));
        // Both ways through UTF-8, as the editor shows a text and an import reads one.
        const std::string utf8 = Utf8Of(m.ch);
        EXPECT_EQ(Cp1252ToUtf8(std::string(1, static_cast<char>(m.byte))), utf8);
        std::string bytes;
        EXPECT_TRUE(Utf8ToCp1252(utf8, bytes).ok);
        EXPECT_EQ(bytes, std::string(1, static_cast<char>(m.byte)));
    }
}

// Outside 0x80-0x9F every byte is the character of the same value, and the
// C1 controls the code page puts other characters on have no byte.
TEST(Cp1252Map, TheRestIsLatin1AndTheReplacedControlsHaveNoByte)
{
    for (int b = 0; b < 256; ++b) {
        if (b < 0x80 || b >= 0xA0) {
            EXPECT_EQ(Cp1252ToUnicode(static_cast<unsigned char>(b)), static_cast<char32_t>(b)) << b;
        }
    }
    for (const Mapping& m : kHighHalf) {
        if (m.ch != m.byte) {
            EXPECT_EQ(UnicodeToCp1252(m.byte), std::nullopt) << int{m.byte};
        }
    }
}

}  // namespace
