// SPDX-License-Identifier: MIT
#include "Placeholders.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace lumo_cli {

namespace {

// Classes of the bytes the finders look at, one table lookup each.
enum : unsigned char {
    cDigit = 1, cAlpha = 2, cWord = 4, cTagName = 8, cUrl = 16, cSpace = 32, cMailName = 64, cMailHost = 128,
};

struct CByteClasses {
    unsigned char of[256] = {};
    constexpr CByteClasses()
    {
        for (int c = '0'; c <= '9'; ++c)
            of[c] |= cDigit | cWord;
        for (int c = 'A'; c <= 'Z'; ++c)
            of[c] |= cAlpha | cWord, of[c + 'a' - 'A'] |= cAlpha | cWord;
        of[static_cast<unsigned char>('_')] |= cWord;
        for (int c = 0; c < 256; ++c) {
            if (of[c] & cWord)
                of[c] |= cTagName | cMailName | cMailHost;
            // Bytes that may be part of an address: no blanks, quotes, brackets or controls.
            if (c > 0x20 && c < 0x7F && c != '"' && c != '<' && c != '>' && c != '\'' && c != '`')
                of[c] |= cUrl;
        }
        for (const char c : {'-', ':', '.'})
            of[static_cast<unsigned char>(c)] |= cTagName;
        for (const char c : {'.', '+', '-'})
            of[static_cast<unsigned char>(c)] |= cMailName;
        for (const char c : {'-', '.'})
            of[static_cast<unsigned char>(c)] |= cMailHost;
        for (const char c : {' ', '\t', '\n', '\r', '\f', '\v'})
            of[static_cast<unsigned char>(c)] |= cSpace;
    }
};
constexpr CByteClasses kBytes;

bool Is(char c, unsigned char cls) { return (kBytes.of[static_cast<unsigned char>(c)] & cls) != 0; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAsciiAlpha(char c) { return Is(c, cAlpha); }
bool IsSpace(char c) { return Is(c, cSpace); }

// Eight bytes at a time, the first byte of the text in the lowest bits.
constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHighs = 0x8080808080808080ull;

std::uint64_t Load8(const char* p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    if constexpr (std::endian::native == std::endian::big)
        word = __builtin_bswap64(word);
    return word;
}

// The eight bytes from pos, zeros past the end of the text. The last bytes
// of a text are read as the end of its last eight: a copy of fewer bytes
// would stall the load that follows it.
inline __attribute__((always_inline)) std::uint64_t WordAt(std::string_view text, std::size_t pos)
{
    const std::size_t left = text.size() - pos;
    if (left >= 8)
        return Load8(text.data() + pos);
    if (text.size() >= 8)
        return Load8(text.data() + text.size() - 8) >> (8 * (8 - left));
    std::uint64_t word = 0;
    for (std::size_t j = 0; j < left; ++j)
        word |= std::uint64_t(static_cast<unsigned char>(text[pos + j])) << (8 * j);
    return word;
}

// The high bit of each byte that is zero (exact: no carry crosses a byte).
std::uint64_t ZeroBytes(std::uint64_t word)
{
    return ~(((word & ~kHighs) + ~kHighs) | word) & kHighs;
}

// The high bit of each byte that is an ASCII digit.
std::uint64_t DigitBytes(std::uint64_t word)
{
    const std::uint64_t y = word ^ (kOnes * '0');  // a digit becomes 0..9
    return ~(((y & ~kHighs) + kOnes * (0x80 - 10)) | y) & kHighs;
}

// The high bit of each byte below 0x20: a control character, tab, LF, CR or 0x00.
std::uint64_t BelowSpaceBytes(std::uint64_t word)
{
    return ZeroBytes(word & (kOnes * 0xE0));
}

// Bit k set when the byte at from + k (k < 64, inside the text) is one that
// bytesOf marks.
template <class BytesOf>
std::uint64_t BitsOf(std::string_view text, std::size_t from, BytesOf bytesOf)
{
    // One bit per byte, gathered from the bytes' high bits.
    auto gather = [](std::uint64_t marks) { return ((marks >> 7) * 0x0102040810204080ull) >> 56; };
    const std::size_t n = std::min<std::size_t>(64, text.size() - from);
    std::uint64_t bits = 0;
    std::size_t k = 0;
    for (; k + 8 <= n; k += 8)
        bits |= gather(bytesOf(Load8(text.data() + from + k))) << k;
    if (k < n) {
        bits |= gather(bytesOf(WordAt(text, from + k))) << k;
        bits &= (std::uint64_t(1) << n) - 1;  // the zeros read past the end
    }
    return bits;
}

// Calls onByte(i) for each position i, in order, whose byte bytesOf marks;
// onByte returns where to go on from (at least i + 1).
template <class BytesOf, class OnByte>
void ForEachMarked(std::string_view text, BytesOf bytesOf, OnByte onByte)
{
    std::size_t from = 0;
    while (from < text.size()) {
        std::uint64_t bits = BitsOf(text, from, bytesOf);
        std::size_t next = from + 64;
        while (bits) {
            next = onByte(from + static_cast<std::size_t>(std::countr_zero(bits)));
            if (next >= from + 64)
                break;
            bits &= ~std::uint64_t(0) << (next - from);
            next = from + 64;
        }
        from = next;
    }
}

bool IsConversion(char c)
{
    switch (c) {
    case 'd': case 'i': case 'o': case 'u': case 'x': case 'X': case 'e': case 'E': case 'f': case 'F':
    case 'g': case 'G': case 'a': case 'A': case 'c': case 's': case 'p': case 'n': case '@':
        return true;
    default:
        return false;
    }
}

}  // namespace

void FindPrintf(std::string_view text, Tokens& tokens, std::vector<std::string>* pKeys)
{
    std::size_t nUnnumbered = 0;
    for (std::size_t i = text.find('%'); i != std::string_view::npos && i < text.size(); i = text.find('%', i)) {
        std::size_t p = i + 1;
        if (p < text.size() && text[p] == '%') {
            i = p + 1;  // %% is a percent sign
            continue;
        }
        // %N$ names the argument by position.
        std::size_t q = p;
        while (q < text.size() && IsDigit(text[q]))
            ++q;
        std::string_view position;
        if (q > p && q < text.size() && text[q] == '$' && text[p] != '0') {
            position = text.substr(p, q - p);
            p = q + 1;
        }
        const std::size_t specStart = p;
        // Flags, but not the space flag: "100% sure" is prose, not "% s".
        while (p < text.size() && (text[p] == '-' || text[p] == '+' || text[p] == '#' || text[p] == '0' || text[p] == '\''))
            ++p;
        while (p < text.size() && (IsDigit(text[p]) || text[p] == '*'))
            ++p;
        if (p < text.size() && text[p] == '.') {
            ++p;
            while (p < text.size() && (IsDigit(text[p]) || text[p] == '*'))
                ++p;
        }
        while (p < text.size() && (text[p] == 'h' || text[p] == 'l' || text[p] == 'L' || text[p] == 'q' ||
                                   text[p] == 'j' || text[p] == 'z' || text[p] == 't'))
            ++p;
        if (p >= text.size() || !IsConversion(text[p])) {
            i = i + 1;  // a lone percent sign
            continue;
        }
        ++p;
        tokens.push_back(text.substr(i, p - i));
        if (pKeys) {
            std::string key = position.empty() ? std::to_string(++nUnnumbered) : std::string(position);
            key += '$';
            key.append(text.substr(specStart, p - specStart));
            pKeys->push_back(std::move(key));
        }
        i = p;
    }
}

void FindBraces(std::string_view text, Tokens& tokens)
{
    for (std::size_t i = text.find('{'); i < text.size(); i = text.find('{', i + 1)) {
        if (i + 1 < text.size() && text[i + 1] == '{') {
            ++i;  // {{ is a brace
            continue;
        }
        std::size_t p = i + 1;
        while (p < text.size() && (Is(text[p], cWord) || text[p] == '.'))
            ++p;
        if (p == i + 1)
            continue;
        if (p < text.size() && (text[p] == ':' || text[p] == ',')) {
            while (p < text.size() && text[p] != '}' && text[p] != '{')
                ++p;
        }
        if (p < text.size() && text[p] == '}') {
            tokens.push_back(text.substr(i, p + 1 - i));
            i = p;
        }
    }
}

void FindTags(std::string_view text, Tokens& tokens)
{
    for (std::size_t i = text.find('<'); i != std::string_view::npos; i = text.find('<', i + 1)) {
        std::size_t p = i + 1;
        if (p < text.size() && text[p] == '/')
            ++p;
        if (p >= text.size() || !IsAsciiAlpha(text[p]))
            continue;  // "a < b", "<3": not a tag
        while (p < text.size() && Is(text[p], cTagName))
            ++p;
        // Only a name followed by the end, a blank, '=' or '/' makes a tag
        // (slashes and name characters after the name count as the name's).
        std::size_t q = p;
        while (q < text.size() && (Is(text[q], cTagName) || text[q] == '/'))
            ++q;
        if (q == text.size())
            continue;  // no '>'
        const char after = text[q];
        if (after != '>' && after != '=' && after != '/' && !IsSpace(after))
            continue;
        // Attributes (<a href="x">) or a value (<color=#ff0>), up to the '>'
        // outside quotes; another '<' first means this was no tag.
        char quote = 0;
        bool bTag = false;
        for (; p < text.size(); ++p) {
            const char c = text[p];
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                if (p > i && (text[p - 1] == '=' || IsSpace(text[p - 1])))
                    quote = c;
            } else if (c == '>') {
                bTag = true;
                break;
            } else if (c == '<' || c == '\n') {
                break;
            }
        }
        if (!bTag)
            continue;
        tokens.push_back(text.substr(i, p + 1 - i));
        i = p;
    }
}

namespace {

std::string_view TagName(std::string_view tag)
{
    std::size_t p = 1;
    if (tag[p] == '/')
        ++p;
    std::size_t end = p;
    while (end < tag.size() && tag[end] != '>' && tag[end] != '=' && tag[end] != '/' && !IsSpace(tag[end]))
        ++end;
    return tag.substr(p, end - p);
}

}  // namespace

bool TagsBalanced(const Tokens& tags)
{
    // Kept between calls: a million texts would otherwise cost an allocation each.
    thread_local std::vector<std::string_view> open;
    open.clear();
    for (const std::string_view tag : tags) {
        if (tag.size() >= 2 && tag[tag.size() - 2] == '/')
            continue;  // <br/>
        if (tag[1] == '/') {
            if (open.empty() || open.back() != TagName(tag))
                return false;
            open.pop_back();
        } else {
            open.push_back(TagName(tag));
        }
    }
    return open.empty();
}

void FindControls(std::string_view text, Tokens& tokens)
{
    ForEachMarked(text, [](std::uint64_t word) { return BelowSpaceBytes(word); }, [&](std::size_t i) {
        const char c = text[i];
        if (c != '\0' && c != '\t' && c != '\n' && c != '\r')
            tokens.push_back(text.substr(i, 1));
        return i + 1;
    });
}

void FindNumbers(std::string_view text, Tokens& tokens)
{
    auto digits = [](std::uint64_t word) { return DigitBytes(word); };
    std::size_t from = 0;
    while (from < text.size()) {
        std::uint64_t bits = BitsOf(text, from, digits);
        std::size_t next = from + 64;
        while (bits) {
            const std::size_t i = from + static_cast<std::size_t>(std::countr_zero(bits));
            // The run of digits, from the bits as far as they go.
            std::size_t p = i + static_cast<std::size_t>(std::countr_one(bits >> (i - from)));
            if (p == from + 64)  // on into the next block
                while (p < text.size() && IsDigit(text[p]))
                    ++p;
            while (p + 1 < text.size() && (text[p] == '.' || text[p] == ',') && IsDigit(text[p + 1])) {
                ++p;
                while (p < text.size() && IsDigit(text[p]))
                    ++p;
            }
            tokens.push_back(text.substr(i, p - i));
            if (p >= from + 64) {
                next = p;
                break;
            }
            bits &= ~std::uint64_t(0) << (p - from);
        }
        from = next;
    }
}

namespace {

std::size_t TrimUrlEnd(std::string_view text, std::size_t start, std::size_t end)
{
    // A sentence's full stop or a closing bracket after an address is not part of it.
    auto isTrailing = [](char c) {
        switch (c) {
        case '.': case ',': case ';': case ':': case '!': case '?': case ')': case ']': case '}':
            return true;
        default:
            return false;
        }
    };
    while (end > start && isTrailing(text[end - 1]))
        --end;
    return end;
}

}  // namespace

void FindUrls(std::string_view text, Tokens& tokens)
{
    // Every address holds "://", "www." or '@': one pass over the bytes that
    // may begin one, in order, goes on from where the last address ended.
    auto anchors = [](std::uint64_t word) {
        return ZeroBytes(word ^ (kOnes * ':')) | ZeroBytes(word ^ (kOnes * '@')) | ZeroBytes(word ^ (kOnes * 'w'));
    };
    ForEachMarked(text, anchors, [&](const std::size_t first) -> std::size_t {
        std::size_t start = first, end = 0;
        if (text[first] == ':') {
            if (first + 2 >= text.size() || text[first + 1] != '/' || text[first + 2] != '/')
                return first + 1;
            const std::size_t scheme = first;
            while (start > 0 && IsAsciiAlpha(text[start - 1]))
                --start;
            if (start == scheme)
                return scheme + 3;
            end = scheme + 3;
            while (end < text.size() && Is(text[end], cUrl))
                ++end;
            if (end == scheme + 3)
                return scheme + 3;
        } else if (text[first] == 'w') {
            if (first + 3 >= text.size() || text[first + 1] != 'w' || text[first + 2] != 'w' || text[first + 3] != '.')
                return first + 1;
            const std::size_t www = first;
            if (www > 0 && Is(text[www - 1], cUrl) && text[www - 1] != '(')
                return www + 4;
            end = www + 4;
            while (end < text.size() && Is(text[end], cUrl))
                ++end;
            if (end == www + 4)
                return end;
        } else {
            // name@host.domain
            const std::size_t at = first;
            while (start > 0 && Is(text[start - 1], cMailName))
                --start;
            if (start == at)
                return at + 1;
            end = at + 1;
            std::size_t firstDot = std::string_view::npos;
            while (end < text.size() && Is(text[end], cMailHost)) {
                if (text[end] == '.' && firstDot == std::string_view::npos)
                    firstDot = end;
                ++end;
            }
            // A dot in the host that the trimming leaves.
            end = TrimUrlEnd(text, at + 1, end);
            if (firstDot == std::string_view::npos || firstDot >= end)
                return at + 1;
            tokens.push_back(text.substr(start, end - start));
            return end;
        }
        end = TrimUrlEnd(text, start, end);
        tokens.push_back(text.substr(start, end - start));
        return std::max(end, first + 1);
    });
}

std::size_t CountLineBreaks(std::string_view text)
{
    std::size_t n = 0;
    ForEachMarked(text, [](std::uint64_t word) { return BelowSpaceBytes(word); }, [&](std::size_t i) {
        if (text[i] == '\n')
            ++n;
        else if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))
            ++n;
        return i + 1;
    });
    return n;
}

struct CPlaceholderPattern::CImpl {
    pcre2_code* pCode = nullptr;
    pcre2_match_data* pMatch = nullptr;
    pcre2_match_context* pContext = nullptr;
    ~CImpl()
    {
        pcre2_match_data_free(pMatch);
        pcre2_match_context_free(pContext);
        pcre2_code_free(pCode);
    }
};

CPlaceholderPattern::CPlaceholderPattern(const std::string& pattern) : m_pattern(pattern), m_pImpl(new CImpl)
{
    int nError = 0;
    PCRE2_SIZE errorOffset = 0;
    m_pImpl->pCode = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), 0, &nError,
                                   &errorOffset, nullptr);
    if (!m_pImpl->pCode) {
        PCRE2_UCHAR message[256];
        pcre2_get_error_message(nError, message, sizeof message);
        throw std::invalid_argument("the pattern '" + pattern + "' is not a regular expression: " +
                                    reinterpret_cast<const char*>(message) + " (at character " +
                                    std::to_string(errorOffset + 1) + ")");
    }
    // Without JIT (a machine where it is missing) the interpreter still works.
    pcre2_jit_compile(m_pImpl->pCode, PCRE2_JIT_COMPLETE);
    m_pImpl->pMatch = pcre2_match_data_create_from_pattern(m_pImpl->pCode, nullptr);
    // A pattern that backtracks without end must not hang the check.
    m_pImpl->pContext = pcre2_match_context_create(nullptr);
    pcre2_set_match_limit(m_pImpl->pContext, 1000000);
    if (!m_pImpl->pMatch || !m_pImpl->pContext)
        throw std::bad_alloc();
}

CPlaceholderPattern::~CPlaceholderPattern() = default;
CPlaceholderPattern::CPlaceholderPattern(CPlaceholderPattern&&) noexcept = default;

void CPlaceholderPattern::Find(std::string_view text, Tokens& tokens) const
{
    const auto* pSubject = reinterpret_cast<PCRE2_SPTR>(text.data());
    PCRE2_SIZE offset = 0;
    while (offset <= text.size()) {
        const int rc = pcre2_match(m_pImpl->pCode, pSubject, text.size(), offset, 0, m_pImpl->pMatch, m_pImpl->pContext);
        if (rc == PCRE2_ERROR_NOMATCH)
            return;
        if (rc < 0) {
            PCRE2_UCHAR message[256];
            pcre2_get_error_message(rc, message, sizeof message);
            throw std::runtime_error("the pattern '" + m_pattern + "' cannot be matched: " +
                                     reinterpret_cast<const char*>(message));
        }
        const PCRE2_SIZE* pOffsets = pcre2_get_ovector_pointer(m_pImpl->pMatch);
        if (pOffsets[1] > pOffsets[0]) {
            tokens.push_back(text.substr(pOffsets[0], pOffsets[1] - pOffsets[0]));
            offset = pOffsets[1];
        } else {
            offset = std::max<PCRE2_SIZE>(offset, pOffsets[1]) + 1;  // an empty match names nothing
        }
    }
}

}  // namespace lumo_cli
