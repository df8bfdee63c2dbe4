// SPDX-License-Identifier: MIT
#include "Placeholders.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <stdexcept>

namespace lumo_cli {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAsciiAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsWordChar(char c) { return IsAsciiAlpha(c) || IsDigit(c) || c == '_'; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

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
        static constexpr std::string_view kConversions = "diouxXeEfFgGaAcspn@";
        if (p >= text.size() || kConversions.find(text[p]) == std::string_view::npos) {
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
        while (p < text.size() && (IsWordChar(text[p]) || text[p] == '.'))
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
        while (p < text.size() && (IsWordChar(text[p]) || text[p] == '-' || text[p] == ':' || text[p] == '.'))
            ++p;
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
        const std::string_view tag = text.substr(i, p + 1 - i);
        // Only a name followed by the end, a blank, '=' or '/' makes a tag.
        const std::size_t nameEnd = tag.find_first_not_of(
            "/ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-:.", 1);
        const char after = tag[nameEnd];
        if (after != '>' && after != '=' && after != '/' && !IsSpace(after))
            continue;
        tokens.push_back(tag);
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
    std::vector<std::string_view> open;
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
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x01 && c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            tokens.push_back(text.substr(i, 1));
    }
}

void FindNumbers(std::string_view text, Tokens& tokens)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!IsDigit(text[i]))
            continue;
        std::size_t p = i;
        while (p < text.size() && IsDigit(text[p]))
            ++p;
        while (p + 1 < text.size() && (text[p] == '.' || text[p] == ',') && IsDigit(text[p + 1])) {
            ++p;
            while (p < text.size() && IsDigit(text[p]))
                ++p;
        }
        tokens.push_back(text.substr(i, p - i));
        i = p - 1;
    }
}

namespace {

// Bytes that may be part of an address: no blanks, quotes, brackets or controls.
bool IsUrlChar(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u > 0x20 && u < 0x7F && c != '"' && c != '<' && c != '>' && c != '\'' && c != '`';
}

std::size_t TrimUrlEnd(std::string_view text, std::size_t start, std::size_t end)
{
    // A sentence's full stop or a closing bracket after an address is not part of it.
    while (end > start && std::string_view(".,;:!?)]}").find(text[end - 1]) != std::string_view::npos)
        --end;
    return end;
}

}  // namespace

void FindUrls(std::string_view text, Tokens& tokens)
{
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t start = std::string_view::npos, end = 0;
        const std::size_t scheme = text.find("://", i);
        const std::size_t www = text.find("www.", i);
        const std::size_t at = text.find('@', i);
        const std::size_t first = std::min({scheme, www, at});
        if (first == std::string_view::npos)
            break;
        if (first == scheme) {
            start = scheme;
            while (start > 0 && IsAsciiAlpha(text[start - 1]))
                --start;
            end = scheme + 3;
            while (end < text.size() && IsUrlChar(text[end]))
                ++end;
            if (start == scheme || end == scheme + 3) {
                i = scheme + 3;
                continue;
            }
        } else if (first == www) {
            if (www > 0 && IsUrlChar(text[www - 1]) && text[www - 1] != '(') {
                i = www + 4;
                continue;
            }
            start = www;
            end = www + 4;
            while (end < text.size() && IsUrlChar(text[end]))
                ++end;
            if (end == www + 4) {
                i = end;
                continue;
            }
        } else {
            // name@host.domain
            start = at;
            while (start > 0 && (IsWordChar(text[start - 1]) || text[start - 1] == '.' || text[start - 1] == '+' ||
                                 text[start - 1] == '-'))
                --start;
            end = at + 1;
            bool bDot = false;
            while (end < text.size() && (IsWordChar(text[end]) || text[end] == '-' || text[end] == '.')) {
                bDot = bDot || text[end] == '.';
                ++end;
            }
            end = TrimUrlEnd(text, at + 1, end);
            if (start == at || !bDot || text.substr(at + 1, end - at - 1).find('.') == std::string_view::npos) {
                i = at + 1;
                continue;
            }
            tokens.push_back(text.substr(start, end - start));
            i = end;
            continue;
        }
        end = TrimUrlEnd(text, start, end);
        tokens.push_back(text.substr(start, end - start));
        i = std::max(end, first + 1);
    }
}

std::size_t CountLineBreaks(std::string_view text)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n')
            ++n;
        else if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))
            ++n;
    }
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
