// SPDX-License-Identifier: MIT
#include "Cp1252.h"

#include "Utf8.h"

namespace {
// 0x80..0x9F; the unassigned bytes map to themselves.
constexpr char32_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
}  // namespace

char32_t Cp1252ToUnicode(unsigned char byte)
{
    return byte >= 0x80 && byte <= 0x9F ? kHigh[byte - 0x80] : char32_t{byte};
}

std::optional<unsigned char> UnicodeToCp1252(char32_t ch)
{
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return static_cast<unsigned char>(ch);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == ch)
            return static_cast<unsigned char>(0x80 + i);
    return std::nullopt;
}

std::string Cp1252ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) < 0x80)
            out += c;  // most texts are mostly ASCII
        else
            AppendUtf8(out, Cp1252ToUnicode(static_cast<unsigned char>(c)));
    }
    return out;
}

CUtf8ToCp1252Result Utf8ToCp1252(std::string_view utf8, std::string& out)
{
    // Every character takes at least one byte of UTF-8 and becomes one byte:
    // the text is written straight into room of the input's size.
    out.resize(utf8.size());
    char* const pOut = out.data();
    std::size_t n = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        // ASCII, and U+00A0 to U+00FF (most of what is not ASCII, each its
        // own byte), without a branch on which it is.
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const unsigned next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0;
        const bool bAscii = lead < 0x80;
        const bool bLatin1 = (lead == 0xC3 && (next & 0xC0) == 0x80) || (lead == 0xC2 && next >= 0xA0 && next <= 0xBF);
        if (bAscii || bLatin1) {
            pOut[n++] = static_cast<char>(bAscii ? lead : lead == 0xC3 ? 0xC0 | (next & 0x3F) : next);
            i += bAscii ? 1 : 2;
            continue;
        }
        const std::optional<CUtf8Char> decoded = DecodeUtf8(utf8, i);
        if (!decoded) {
            out.resize(n);
            return {false, i, 0};
        }
        const auto byte = UnicodeToCp1252(decoded->ch);
        if (!byte) {
            out.resize(n);
            return {false, i, decoded->ch};
        }
        pOut[n++] = static_cast<char>(*byte);
        i += decoded->nLength;
    }
    out.resize(n);
    return {};
}
