// SPDX-License-Identifier: MIT
#include "Cp1252Check.h"

#include "cli/Text.h"
#include "platform/Cp1252.h"

#include <algorithm>
#include <optional>
#include <set>

namespace lumo_fuzz {
namespace {

struct Decoded {
    char32_t ch = 0;
    std::size_t length = 0;  // 0: no valid character starts here
};

// Strict UTF-8, decoded here on its own: no overlong forms, no surrogates,
// nothing past U+10FFFF.
Decoded DecodeAt(std::string_view s, std::size_t pos)
{
    const auto b0 = static_cast<unsigned char>(s[pos]);
    if (b0 < 0x80)
        return {b0, 1};
    std::size_t length;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        min = 0x10000;
    } else {
        return {};
    }
    if (s.size() - pos < length)
        return {};
    char32_t ch = b0 & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(s[pos + k]);
        if ((b & 0xC0) != 0x80)
            return {};
        ch = (ch << 6) | (b & 0x3F);
    }
    if (ch < min || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF))
        return {};
    return {ch, length};
}

// The characters the code page holds: the image of its 256 bytes.
const std::set<char32_t>& Repertoire()
{
    static const std::set<char32_t> all = [] {
        std::set<char32_t> s;
        for (int b = 0; b < 256; ++b)
            s.insert(Cp1252ToUnicode(static_cast<unsigned char>(b)));
        return s;
    }();
    return all;
}

std::string Hex(std::size_t n)
{
    return std::to_string(n);
}

std::string CheckAsBytes(std::string_view bytes)
{
    if (Repertoire().size() != 256)
        return "the byte map is not one-to-one";
    const std::string utf8 = Cp1252ToUtf8(bytes);
    // One valid character per byte; bytes below 0x80 and from 0xA0 are their own code points.
    std::size_t pos = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (pos >= utf8.size())
            return "the UTF-8 of " + Hex(bytes.size()) + " bytes ends after " + Hex(i) + " characters";
        const Decoded d = DecodeAt(utf8, pos);
        if (d.length == 0)
            return "byte " + Hex(i) + " became invalid UTF-8";
        const auto b = static_cast<unsigned char>(bytes[i]);
        if ((b < 0x80 || b >= 0xA0) && d.ch != b)
            return "byte " + Hex(i) + " became " + lumo_cli::DescribeCharacter(d.ch);
        pos += d.length;
    }
    if (pos != utf8.size())
        return "the UTF-8 has more characters than there are bytes";

    std::string back = "not touched";
    const CUtf8ToCp1252Result r = Utf8ToCp1252(utf8, back);
    if (!r.ok)
        return "the UTF-8 of a byte string is refused at offset " + Hex(r.errorOffset);
    if (back != bytes)
        return "bytes -> UTF-8 -> bytes changed the bytes";

    // The import's conversion: the same bytes, or a refusal at the first 0x00.
    std::string imported;
    const auto problem = lumo_cli::ToEntryText(utf8, imported);
    const std::size_t nul = utf8.find('\0');
    if (nul == std::string::npos) {
        if (problem)
            return "the import refused the UTF-8 of a byte string: " + problem->message;
        if (imported != bytes)
            return "the import's conversion changed the bytes";
    } else if (!problem || problem->offset != nul) {
        return "the import did not refuse the 0x00 at offset " + Hex(nul);
    }
    return {};
}

std::string CheckAsUtf8(std::string_view text)
{
    // Where the first refusal must be, found here on its own.
    std::optional<std::size_t> firstBad;
    char32_t badChar = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const Decoded d = DecodeAt(text, pos);
        if (d.length == 0 || !Repertoire().count(d.ch)) {
            firstBad = pos;
            badChar = d.length == 0 ? 0 : d.ch;
            break;
        }
        pos += d.length;
    }

    std::string out;
    const CUtf8ToCp1252Result r = Utf8ToCp1252(text, out);
    if (r.ok) {
        if (firstBad)
            return "converted UTF-8 that must be refused at offset " + Hex(*firstBad);
        if (Cp1252ToUtf8(out) != text)
            return "UTF-8 -> bytes -> UTF-8 changed the text";
    } else {
        if (!firstBad)
            return "refused UTF-8 that the code page holds, at offset " + Hex(r.errorOffset);
        if (r.errorOffset != *firstBad || r.badChar != badChar)
            return "refused at offset " + Hex(r.errorOffset) + " (" + lumo_cli::DescribeCharacter(r.badChar) +
                   "), expected offset " + Hex(*firstBad) + " (" + lumo_cli::DescribeCharacter(badChar) + ")";
    }

    // The import's conversion refuses exactly the same, and a 0x00 before it.
    std::string imported;
    const auto problem = lumo_cli::ToEntryText(text, imported);
    const std::size_t nul = text.find('\0');
    const std::size_t expectedAt = std::min(nul, firstBad.value_or(std::string_view::npos));
    if (expectedAt == std::string_view::npos) {
        if (problem)
            return "the import refused convertible UTF-8: " + problem->message;
        if (imported != out)
            return "the import converted differently";
    } else if (!problem || problem->offset != expectedAt) {
        return "the import did not refuse at offset " + Hex(expectedAt);
    } else if (problem->message.empty()) {
        return "the import refused without saying why";
    }

    // Line and column, for messages.
    for (const std::size_t offset : {std::size_t{0}, text.size() / 2, text.size(), text.size() + 7}) {
        const lumo_cli::CLineColumn at = lumo_cli::LineColumnOf(text, offset);
        const std::string_view before = text.substr(0, std::min(offset, text.size()));
        const auto lines = static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
        if (at.line != 1 + lines || at.column < 1 || at.column > before.size() + 1)
            return "offset " + Hex(offset) + " is at line " + Hex(at.line) + ", column " + Hex(at.column);
    }
    return {};
}

}  // namespace

std::string CheckCp1252(std::string_view bytes)
{
    if (std::string p = CheckAsBytes(bytes); !p.empty())
        return "as entry text bytes: " + p;
    if (std::string p = CheckAsUtf8(bytes); !p.empty())
        return "as UTF-8: " + p;
    return {};
}

}  // namespace lumo_fuzz
