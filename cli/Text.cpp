// SPDX-License-Identifier: MIT
#include "Text.h"

#include "platform/Cp1252.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <cstdio>

namespace lumo_cli {

void AppendEscaped(std::string& out, char32_t ch)
{
    switch (ch) {
    case '\\': out += "\\\\"; return;
    case '"': out += "\\\""; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    default: break;
    }
    // Line and paragraph separators break a line as a newline does.
    if (IsControl(ch) || ch == 0x2028 || ch == 0x2029) {
        char code[8];
        std::snprintf(code, sizeof code, "\\u%04X", static_cast<unsigned>(ch));
        out += code;
    } else {
        AppendUtf8(out, ch);
    }
}

std::string EscapedEntryText(std::string_view cp1252)
{
    std::string out;
    out.reserve(cp1252.size() + 2);
    for (const char c : cp1252)
        AppendEscaped(out, Cp1252ToUnicode(static_cast<unsigned char>(c)));
    return out;
}

std::string QuotedEntryText(std::string_view cp1252)
{
    return '"' + EscapedEntryText(cp1252) + '"';
}

std::string ShownEntryName(std::string_view cp1252)
{
    const bool bPlain = !cp1252.empty() && std::all_of(cp1252.begin(), cp1252.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b > 0x20 && b != 0x7F && b != '"' && b != '\\' && !(b >= 0x80 && b < 0xA0);
    });
    return bPlain ? EscapedEntryText(cp1252) : QuotedEntryText(cp1252);
}

std::string Shown(std::string_view text)
{
    bool bPlain = !text.empty();
    for (std::size_t i = 0; i < text.size() && bPlain;) {
        const std::optional<CUtf8Char> c = DecodeUtf8(text, i);
        bPlain = c && !IsControl(c->ch) && c->ch != '"' && c->ch != '\\' && c->ch != 0x2028 && c->ch != 0x2029;
        i += c ? c->nLength : 1;
    }
    return bPlain ? std::string(text) : Quoted(text);
}

std::string EscapeControls(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::optional<CUtf8Char> c = DecodeUtf8(text, i);
        if (c && !IsControl(c->ch) && c->ch != 0x2028 && c->ch != 0x2029) {
            out.append(text, i, c->nLength);
        } else if (c) {
            AppendEscaped(out, c->ch);
        } else {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02X", static_cast<unsigned>(static_cast<unsigned char>(text[i])));
            out += code;
        }
        i += c ? c->nLength : 1;
    }
    return out;
}

std::string Quoted(std::string_view text)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        if (const std::optional<CUtf8Char> c = DecodeUtf8(text, i)) {
            AppendEscaped(out, c->ch);
            i += c->nLength;
        } else {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02X", static_cast<unsigned>(static_cast<unsigned char>(text[i])));
            out += code;
            ++i;
        }
    }
    return out + '"';
}

std::string DescribeCharacter(char32_t ch)
{
    std::string result = UnicodeName(ch);
    const bool bControl = IsControl(ch);
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
