// SPDX-License-Identifier: MIT
// The lossless map between Windows-1252 bytes and Unicode. Every byte maps to
// one character: the 27 bytes 0x80-0x9F that the code page assigns map to
// their characters (0x80 to U+20AC and so on), the five it leaves unassigned
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) to the control characters of the same
// value, and every other byte to the character of the same value. So any
// byte string survives a trip to Unicode and back unchanged.
#pragma once

#include <optional>
#include <string>
#include <string_view>

char32_t Cp1252ToUnicode(unsigned char byte);
// The byte for a character, or nothing when the code page cannot hold it.
std::optional<unsigned char> UnicodeToCp1252(char32_t ch);

std::string Cp1252ToUtf8(std::string_view bytes);

struct CUtf8ToCp1252Result {
    bool ok = true;
    std::size_t errorOffset = 0;  // byte offset in the UTF-8 input of the first failure
    char32_t badChar = 0;         // the character the code page cannot hold (0 for invalid UTF-8)
};
// Converts UTF-8 to Windows-1252 bytes; fails on invalid UTF-8 or on a
// character the code page cannot hold, never replacing anything.
CUtf8ToCp1252Result Utf8ToCp1252(std::string_view utf8, std::string& out);
