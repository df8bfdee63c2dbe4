// SPDX-License-Identifier: MIT
#include "CheckText.h"

#include "platform/Cp1252.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace lumo_cli {

namespace {

bool IsBlank(char c)
{
    // The no-break space (0xA0) counts: translators' tools strip it as whitespace too.
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' || c == '\xA0';
}

// Letters of Windows-1252: ASCII, the accented letters and Š, Œ, Ž, š, œ, ž, Ÿ, ƒ, ª, µ, º.
bool IsLetter(unsigned char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
        return true;
    if (c >= 0xC0)
        return c != 0xD7 && c != 0xF7;
    return c == 0x83 || c == 0x8A || c == 0x8C || c == 0x8E || c == 0x9A || c == 0x9C || c == 0x9E || c == 0x9F ||
           c == 0xAA || c == 0xB5 || c == 0xBA;
}

// A token bare when it is plain printable ASCII, quoted otherwise.
std::string Shown(std::string_view token)
{
    const bool bPlain = !token.empty() && std::all_of(token.begin(), token.end(), [](char c) {
        return c > 0x20 && c < 0x7F && c != '"' && c != '\\';
    });
    return bPlain ? std::string(token) : QuotedText(token);
}

std::string Joined(const Tokens& tokens)
{
    std::string text;
    for (const std::string_view token : tokens)
        text += (text.empty() ? "" : " ") + Shown(token);
    return text;
}

std::string Count(std::size_t n, const char* one, const char* many)
{
    return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

// Scratch lists kept between texts: a million texts would otherwise cost
// several allocations each.
struct CScratch {
    Tokens source, translation, missing, added, sourceNumbers, translationNumbers;
    std::vector<std::string> sourceKeys, translationKeys;
    std::vector<bool> inCode;
};
thread_local CScratch g_scratch;

// Which kinds of code a text may hold, from one pass over its bytes, so
// that the finders run only where their first character occurs.
enum : unsigned {
    hasPercent = 1, hasBrace = 2, hasAngle = 4, hasControl = 8, hasDigit = 16, hasAddress = 32, hasLineBreak = 64,
    hasCodeStart = 128,  // %, {, <, @ or /: where a code with digits in it may start
};

struct CClassTable {
    unsigned char kinds[256] = {};
    constexpr CClassTable()
    {
        kinds[static_cast<unsigned char>('%')] = hasPercent;
        kinds[static_cast<unsigned char>('{')] = hasBrace;
        kinds[static_cast<unsigned char>('<')] = hasAngle;
        for (int c = 1; c < 0x20; ++c)
            kinds[c] = hasControl;
        kinds[static_cast<unsigned char>('\t')] = 0;
        kinds[static_cast<unsigned char>('\n')] = hasLineBreak;
        kinds[static_cast<unsigned char>('\r')] = hasLineBreak;
        for (int c = '0'; c <= '9'; ++c)
            kinds[c] = hasDigit;
        kinds[static_cast<unsigned char>(':')] = hasAddress;
        kinds[static_cast<unsigned char>('@')] = hasAddress;
        kinds[static_cast<unsigned char>('.')] = hasAddress;  // www.
        for (const char c : {'%', '{', '<', '@', '/'})
            kinds[static_cast<unsigned char>(c)] |= hasCodeStart;
    }
};
constexpr CClassTable kClasses;

unsigned KindsOf(std::string_view text)
{
    unsigned kinds = 0;
    for (const char c : text)
        kinds |= kClasses.kinds[static_cast<unsigned char>(c)];
    return kinds;
}

}  // namespace

std::string QuotedText(std::string_view bytes)
{
    std::string out = "\"";
    for (const char c : bytes) {
        const char32_t ch = Cp1252ToUnicode(static_cast<unsigned char>(c));
        switch (ch) {
        case '\\': out += "\\\\"; continue;
        case '"': out += "\\\""; continue;
        case '\n': out += "\\n"; continue;
        case '\r': out += "\\r"; continue;
        case '\t': out += "\\t"; continue;
        default: break;
        }
        if (ch < 0x20 || (ch >= 0x7F && ch < 0xA0)) {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04X", static_cast<unsigned>(ch));
            out += code;
        } else {
            out += Cp1252ToUtf8(std::string_view(&c, 1));
        }
    }
    return out + '"';
}

void CTextCheck::Report(ECheck check, std::string message)
{
    CFinding finding{check, InfoOf(check).severity};
    finding.message = std::move(message);
    m_findings.push_back(std::move(finding));
}

void CTextCheck::CompareTokens(ECheck check, Tokens& source, Tokens& translation, bool bMissingOnly)
{
    if (source.empty() && translation.empty())
        return;
    std::sort(source.begin(), source.end());
    std::sort(translation.begin(), translation.end());
    Tokens& missing = g_scratch.missing;
    Tokens& added = g_scratch.added;
    missing.clear();
    added.clear();
    std::set_difference(source.begin(), source.end(), translation.begin(), translation.end(), std::back_inserter(missing));
    if (!bMissingOnly)
        std::set_difference(translation.begin(), translation.end(), source.begin(), source.end(),
                            std::back_inserter(added));
    if (!missing.empty() && !added.empty())
        Report(check, "the source has " + Joined(missing) + ", the translation has " + Joined(added));
    else if (!missing.empty())
        Report(check, Joined(missing) + (missing.size() == 1 ? " is missing" : " are missing"));
    else if (!added.empty())
        Report(check, "the translation adds " + Joined(added));
}

void CTextCheck::CheckPrintf()
{
    // Compared by key (position and conversion), shown as written.
    Tokens& source = g_scratch.source;
    Tokens& translation = g_scratch.translation;
    std::vector<std::string>& sourceKeys = g_scratch.sourceKeys;
    std::vector<std::string>& translationKeys = g_scratch.translationKeys;
    source.clear();
    translation.clear();
    sourceKeys.clear();
    translationKeys.clear();
    FindPrintf(m_source, source, &sourceKeys);
    FindPrintf(m_translation, translation, &translationKeys);
    if (source.empty() && translation.empty())
        return;
    std::vector<std::string> a = sourceKeys, b = translationKeys;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    if (a == b)
        return;
    // Name the tokens whose keys the other side lacks.
    auto lacking = [](const Tokens& tokens, const std::vector<std::string>& keys, std::vector<std::string> other) {
        std::sort(other.begin(), other.end());
        Tokens result;
        for (std::size_t k = 0; k < tokens.size(); ++k) {
            const auto it = std::lower_bound(other.begin(), other.end(), keys[k]);
            if (it != other.end() && *it == keys[k])
                other.erase(it);
            else
                result.push_back(tokens[k]);
        }
        return result;
    };
    const Tokens missing = lacking(source, sourceKeys, translationKeys);
    const Tokens added = lacking(translation, translationKeys, sourceKeys);
    if (!missing.empty() && !added.empty())
        Report(ECheck::printf, "the source has " + Joined(missing) + ", the translation has " + Joined(added));
    else if (!missing.empty())
        Report(ECheck::printf, Joined(missing) + (missing.size() == 1 ? " is missing" : " are missing"));
    else
        Report(ECheck::printf, "the translation adds " + Joined(added));
}

void CTextCheck::CheckTags()
{
    Tokens& source = g_scratch.source;
    Tokens& translation = g_scratch.translation;
    source.clear();
    translation.clear();
    FindTags(m_source, source);
    FindTags(m_translation, translation);
    if (source.empty() && translation.empty())
        return;
    // Balance needs the order the tags come in, so it goes before the sort.
    const bool bUnbalanced = TagsBalanced(source) && !TagsBalanced(translation);
    const std::size_t nBefore = m_findings.size();
    CompareTokens(ECheck::xmltags, source, translation);
    if (bUnbalanced && m_findings.size() == nBefore) {
        translation.clear();
        FindTags(m_translation, translation);
        Report(ECheck::xmltags, "the tags of the translation are not balanced: " + Joined(translation));
    }
}

void CTextCheck::CheckWhitespace()
{
    auto leading = [](std::string_view text) {
        std::size_t n = 0;
        while (n < text.size() && IsBlank(text[n]))
            ++n;
        return text.substr(0, n);
    };
    auto trailing = [](std::string_view text) {
        std::size_t n = text.size();
        while (n > 0 && IsBlank(text[n - 1]))
            --n;
        return text.substr(n);
    };
    // A text of blanks only is all start and no end.
    const std::string_view sourceStart = leading(m_source), translationStart = leading(m_translation);
    if (Enabled(ECheck::startwhitespace) && sourceStart != translationStart)
        Report(ECheck::startwhitespace, "the source starts with " + QuotedText(sourceStart) + ", the translation with " +
                                            QuotedText(translationStart));
    const std::string_view sourceEnd = sourceStart.size() == m_source.size() ? std::string_view() : trailing(m_source);
    const std::string_view translationEnd =
        translationStart.size() == m_translation.size() ? std::string_view() : trailing(m_translation);
    if (Enabled(ECheck::endwhitespace) && sourceEnd != translationEnd)
        Report(ECheck::endwhitespace,
               "the source ends with " + QuotedText(sourceEnd) + ", the translation with " + QuotedText(translationEnd));
}

void CTextCheck::CheckEndPunctuation()
{
    auto lastMark = [](std::string_view text) -> std::string_view {
        std::size_t n = text.size();
        while (n > 0 && IsBlank(text[n - 1]))
            --n;
        if (n == 0)
            return {};
        const char c = text[n - 1];
        // '\x85' is the ellipsis of Windows-1252.
        if (c == '.' || c == '!' || c == '?' || c == ':' || c == '\x85')
            return text.substr(n - 1, 1);
        return {};
    };
    const std::string_view a = lastMark(m_source), b = lastMark(m_translation);
    if (!a.empty() && b.empty())
        Report(ECheck::endpunc, "the source ends with " + QuotedText(a) + ", the translation does not");
    else if (a.empty() && !b.empty())
        Report(ECheck::endpunc, "the translation ends with " + QuotedText(b) + ", the source does not");
}

const std::vector<bool>& CTextCheck::CodeMask(std::string_view text) const
{
    Tokens& tokens = g_scratch.missing;
    tokens.clear();
    FindPrintf(text, tokens);
    FindBraces(text, tokens);
    FindTags(text, tokens);
    FindUrls(text, tokens);
    for (const CPlaceholderPattern& pattern : m_patterns)
        pattern.Find(text, tokens);
    std::vector<bool>& inCode = g_scratch.inCode;
    inCode.assign(text.size(), false);
    for (const std::string_view token : tokens) {
        const auto start = token.data() - text.data();
        std::fill(inCode.begin() + start, inCode.begin() + start + static_cast<std::ptrdiff_t>(token.size()), true);
    }
    return inCode;
}

bool CTextCheck::HasWords() const
{
    // Letters inside placeholders, tags and addresses are not words to translate:
    // "%s" or "<br/>" left as they are is right.
    const std::vector<bool>& inCode = CodeMask(m_source);
    for (std::size_t i = 0; i < m_source.size(); ++i)
        if (!inCode[i] && IsLetter(static_cast<unsigned char>(m_source[i])))
            return true;
    return false;
}

void CTextCheck::CheckNumbers()
{
    // The digits of {1}, ^1 or #ff0 are the other checks' business.
    auto numbers = [&](std::string_view text, unsigned kinds, Tokens& out) {
        out.clear();
        FindNumbers(text, out);
        // Only a text that may hold a code needs the mask.
        // (an address holds "://" or "@"; "www." with digits in it is left to chance)
        const bool bMayHoldCode = !m_patterns.empty() || (kinds & hasCodeStart) != 0;
        if (out.empty() || !bMayHoldCode)
            return;
        const std::vector<bool>& inCode = CodeMask(text);
        std::erase_if(out, [&](std::string_view number) { return inCode[static_cast<std::size_t>(number.data() - text.data())]; });
    };
    Tokens& source = g_scratch.sourceNumbers;
    Tokens& translation = g_scratch.translationNumbers;
    numbers(m_source, m_sourceKinds, source);
    if (source.empty())
        return;
    numbers(m_translation, m_translationKinds, translation);
    CompareTokens(ECheck::numbers, source, translation, true);
}

void CTextCheck::Run()
{
    Tokens& source = g_scratch.source;
    Tokens& translation = g_scratch.translation;
    const unsigned sourceKinds = m_sourceKinds = KindsOf(m_source);
    const unsigned translationKinds = m_translationKinds = KindsOf(m_translation);
    const unsigned kinds = sourceKinds | translationKinds;
    auto compare = [&](ECheck check, void (*find)(std::string_view, Tokens&), bool bMissingOnly = false) {
        if (!Enabled(check))
            return;
        source.clear();
        translation.clear();
        find(m_source, source);
        find(m_translation, translation);
        CompareTokens(check, source, translation, bMissingOnly);
    };
    if ((kinds & hasPercent) && Enabled(ECheck::printf))
        CheckPrintf();
    if (kinds & hasBrace)
        compare(ECheck::variables, FindBraces);
    if ((kinds & hasAngle) && Enabled(ECheck::xmltags))
        CheckTags();
    if (Enabled(ECheck::placeholder)) {
        for (const CPlaceholderPattern& pattern : m_patterns) {
            source.clear();
            translation.clear();
            pattern.Find(m_source, source);
            pattern.Find(m_translation, translation);
            CompareTokens(ECheck::placeholder, source, translation);
        }
    }
    if (kinds & hasControl)
        compare(ECheck::controls, FindControls);
    if ((kinds & hasLineBreak) && Enabled(ECheck::newlines)) {
        const std::size_t a = CountLineBreaks(m_source), b = CountLineBreaks(m_translation);
        if (a != b)
            Report(ECheck::newlines, "the source has " + Count(a, "line break", "line breaks") + ", the translation " +
                                         std::to_string(b));
    }
    if (Enabled(ECheck::length) && m_options.maxLength && m_translation.size() > *m_options.maxLength)
        Report(ECheck::length, "the translation has " + std::to_string(m_translation.size()) +
                                   " bytes, more than the " + std::to_string(*m_options.maxLength) + " allowed");
    if (Enabled(ECheck::unchanged) && m_source == m_translation && HasWords())
        Report(ECheck::unchanged, "the translation is the source text");
    CheckWhitespace();
    if (Enabled(ECheck::doublespacing)) {
        auto doubles = [](std::string_view text) {
            std::size_t n = 0;
            for (std::size_t i = text.find("  "); i != std::string_view::npos; i = text.find("  ", i + 2))
                ++n;
            return n;
        };
        const std::size_t a = doubles(m_source), b = doubles(m_translation);
        if (a != b)
            Report(ECheck::doublespacing, "the source has " + Count(a, "double space", "double spaces") +
                                              ", the translation " + std::to_string(b));
    }
    if (Enabled(ECheck::endpunc))
        CheckEndPunctuation();
    if ((sourceKinds & hasDigit) && Enabled(ECheck::numbers))
        CheckNumbers();
    if (kinds & hasAddress)
        compare(ECheck::urls, FindUrls);
    if (Enabled(ECheck::longer) && m_options.maxGrowth) {
        const double limit = static_cast<double>(m_source.size()) * (1.0 + *m_options.maxGrowth / 100.0);
        if (static_cast<double>(m_translation.size()) > limit) {
            const double growth =
                (static_cast<double>(m_translation.size()) / static_cast<double>(m_source.size()) - 1.0) * 100.0;
            char text[160];
            std::snprintf(text, sizeof text, "the translation has %zu bytes, %.0f%% more than the source's %zu (more than %g%%)",
                          m_translation.size(), std::floor(growth), m_source.size(), *m_options.maxGrowth);
            Report(ECheck::longer, text);
        }
    }
}

}  // namespace lumo_cli
