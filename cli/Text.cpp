// SPDX-License-Identifier: MIT
#include "Text.h"

#include "platform/Cp1252.h"

#include <algorithm>
#include <cstdio>

namespace lumo_cli {

namespace {

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

}  // namespace

std::string DescribeCharacter(char32_t ch)
{
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(ch));
    std::string result = code;
    const bool bControl = ch < 0x20 || (ch >= 0x7F && ch < 0xA0);
    const bool bInvisible = ch == 0x2028 || ch == 0x2029 || (ch >= 0xD800 && ch <= 0xDFFF) || ch > 0x10FFFF;
    if (!bControl && !bInvisible) {
        result += " (";
        AppendUtf8(result, ch);
        result += ')';
    }
    return result;
}

std::optional<CTextProblem> ToEntryText(std::string_view utf8, std::string& out)
{
    const std::size_t nul = utf8.find('\0');
    const CUtf8ToCp1252Result result = Utf8ToCp1252(utf8, out);
    if (!result.ok && result.errorOffset < nul) {
        if (result.badChar == 0)
            return CTextProblem{result.errorOffset, "the text is not valid UTF-8"};
        return CTextProblem{result.errorOffset,
                            "the character " + DescribeCharacter(result.badChar) + " has no Windows-1252 byte"};
    }
    if (nul != std::string_view::npos)
        return CTextProblem{nul, "the text contains a NUL character (U+0000), which an entry file cannot hold"};
    return std::nullopt;
}

CLineColumn LineColumnOf(std::string_view text, std::size_t offset)
{
    offset = std::min(offset, text.size());
    const std::string_view before = text.substr(0, offset);
    const std::size_t line = 1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
    const std::size_t lineStart = before.rfind('\n') == std::string_view::npos ? 0 : before.rfind('\n') + 1;
    std::size_t column = 1;
    for (std::size_t i = lineStart; i < offset; ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            ++column;
    return {line, column};
}

}  // namespace lumo_cli
