// SPDX-License-Identifier: MIT
#include "Utf8.h"

#include <cstdio>

void AppendUtf8(std::string& out, char32_t ch)
{
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | (ch >> 6));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        out += static_cast<char>(0xE0 | (ch >> 12));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (ch >> 18));
        out += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    }
}

std::size_t Utf8Length(char32_t ch)
{
    return ch < 0x80 ? 1 : ch < 0x800 ? 2 : ch < 0x10000 ? 3 : 4;
}

std::optional<CUtf8Char> DecodeUtf8(std::string_view text, std::size_t pos)
{
    if (pos >= text.size())
        return std::nullopt;
    const auto b0 = static_cast<unsigned char>(text[pos]);
    char32_t ch;
    std::size_t more;
    if (b0 < 0x80)
        return CUtf8Char{b0, 1};
    if ((b0 & 0xE0) == 0xC0) {
        ch = b0 & 0x1F;
        more = 1;
    } else if ((b0 & 0xF0) == 0xE0) {
        ch = b0 & 0x0F;
        more = 2;
    } else if ((b0 & 0xF8) == 0xF0) {
        ch = b0 & 0x07;
        more = 3;
    } else {
        return std::nullopt;
    }
    for (std::size_t k = 1; k <= more; ++k) {
        if (pos + k >= text.size() || (static_cast<unsigned char>(text[pos + k]) & 0xC0) != 0x80)
            return std::nullopt;
        ch = (ch << 6) | (static_cast<unsigned char>(text[pos + k]) & 0x3F);
    }
    static constexpr char32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
    if (ch < kMin[more] || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF))
        return std::nullopt;
    return CUtf8Char{ch, more + 1};
}

std::string UnicodeName(char32_t ch)
{
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(ch));
    return code;
}
