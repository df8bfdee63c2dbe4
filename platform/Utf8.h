// SPDX-License-Identifier: MIT
// UTF-8 in one place: encoding a character, decoding one strictly (no
// overlong forms, no surrogates, nothing past U+10FFFF) and the U+XXXX name
// messages give a character.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

struct CUtf8Char {
    char32_t ch;
    std::size_t nLength;  // bytes it takes
};

void AppendUtf8(std::string& out, char32_t ch);
// The number of bytes ch takes in UTF-8.
std::size_t Utf8Length(char32_t ch);
// The character that starts at text[pos], or nothing when the bytes there
// are not UTF-8.
std::optional<CUtf8Char> DecodeUtf8(std::string_view text, std::size_t pos);
// "U+0007", "U+20AC": at least four hex digits.
std::string UnicodeName(char32_t ch);
