// SPDX-License-Identifier: MIT
#include "CheckText.h"

#include "platform/Cp1252.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
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
void AppendShown(std::string& out, std::string_view token)
{
    const bool bPlain = !token.empty() && std::all_of(token.begin(), token.end(), [](char c) {
        return c > 0x20 && c < 0x7F && c != '"' && c != '\\';
    });
    if (bPlain)
        out += token;
    else
        out += QuotedText(token);
}

// The tokens, a space between each two.
std::string& AppendJoined(std::string& text, const Tokens& tokens)
{
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        if (k > 0)
            text += ' ';
        AppendShown(text, tokens[k]);
    }
    return text;
}

// The parts one after the other, in one allocation.
std::string Message(std::initializer_list<std::string_view> parts)
{
    std::size_t n = 0;
    for (const std::string_view part : parts)
        n += part.size();
    std::string message;
    message.reserve(n);
    for (const std::string_view part : parts)
        message += part;
    return message;
}

// "the source has A, the translation has B", "A is missing" or "the translation adds B".
std::string Difference(const Tokens& missing, const Tokens& added)
{
    // Room for the words, the tokens and the spaces between them (a quoted
    // token may need more): one allocation mostly, none where it is short.
    std::size_t n = missing.empty() ? 21 : added.empty() ? 12 : 37;
    for (const Tokens* pTokens : {&missing, &added})
        for (const std::string_view token : *pTokens)
            n += token.size() + 1;
    std::string message;
    if (n > 15)
        message.reserve(n);
    if (!missing.empty() && !added.empty()) {
        message = "the source has ";
        AppendJoined(message, missing) += ", the translation has ";
        AppendJoined(message, added);
    } else if (!missing.empty()) {
        AppendJoined(message, missing) += missing.size() == 1 ? " is missing" : " are missing";
    } else {
        message = "the translation adds ";
        AppendJoined(message, added);
    }
    return message;
}

std::string Count(std::size_t n, const char* one, const char* many)
{
    return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

// Which kinds of code a text may hold, from one pass over its bytes, so
// that the finders run only where their first character occurs.
enum : unsigned {
    hasPercent = 1, hasBrace = 2, hasAngle = 4, hasControl = 8, hasDigit = 16, hasLineBreak = 32, hasSpace = 64,
    hasCodeStart = 128,  // %, {, <, @ or /: where a code with digits in it may start
    // An address holds "://", "www." or '@' and a dot.
    hasColon = 256, hasSlash = 512, hasDot = 1024, hasW = 2048, hasAt = 4096,
};

bool MayHoldAddress(unsigned kinds)
{
    auto all = [kinds](unsigned these) { return (kinds & these) == these; };
    return all(hasColon | hasSlash) || all(hasDot | hasW) || all(hasAt | hasDot);
}

struct CClassTable {
    unsigned short kinds[256] = {};
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
        kinds[static_cast<unsigned char>(':')] = hasColon;
        kinds[static_cast<unsigned char>('/')] = hasSlash;
        kinds[static_cast<unsigned char>('.')] = hasDot;
        kinds[static_cast<unsigned char>('w')] = hasW;
        kinds[static_cast<unsigned char>('@')] = hasAt;
        kinds[static_cast<unsigned char>(' ')] = hasSpace;
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

// The codes of one text. Each kind is found at most once per text, and only
// in a text that holds the byte it starts with.
class CTextCodes {
public:
    void Reset(std::string_view text, const std::vector<CPlaceholderPattern>& patterns)
    {
        m_text = text;
        m_kinds = KindsOf(text);
        m_found = 0;
        m_pPatterns = &patterns;
        if (!patterns.empty()) {
            if (m_patternTokens.size() < patterns.size())
                m_patternTokens.resize(patterns.size());
            m_patternFound.assign(patterns.size(), 0);
        }
    }
    std::string_view Text() const { return m_text; }
    unsigned Kinds() const { return m_kinds; }

    const Tokens& Printf()
    {
        if (First(foundPrintf)) {
            m_printf.clear();
            m_printfKeys.clear();
            if (m_kinds & hasPercent)
                FindPrintf(m_text, m_printf, &m_printfKeys);
        }
        return m_printf;
    }
    const std::vector<std::string>& PrintfKeys()
    {
        Printf();
        return m_printfKeys;
    }
    const Tokens& Braces() { return Found(foundBraces, hasBrace, FindBraces, m_braces); }
    const Tokens& Tags() { return Found(foundTags, hasAngle, FindTags, m_tags); }
    const Tokens& Urls()
    {
        if (First(foundUrls)) {
            m_urls.clear();
            if (MayHoldAddress(m_kinds))
                FindUrls(m_text, m_urls);
        }
        return m_urls;
    }
    const Tokens& Numbers() { return Found(foundNumbers, hasDigit, FindNumbers, m_numbers); }
    const Tokens& Controls() { return Found(foundControls, hasControl, FindControls, m_controls); }
    std::size_t LineBreaks() const { return (m_kinds & hasLineBreak) ? CountLineBreaks(m_text) : 0; }
    const Tokens& Pattern(std::size_t k)
    {
        Tokens& tokens = m_patternTokens[k];
        if (!m_patternFound[k]) {
            tokens.clear();
            (*m_pPatterns)[k].Find(m_text, tokens);
            m_patternFound[k] = 1;
        }
        return tokens;
    }
    std::size_t PatternCount() const { return m_pPatterns->size(); }

    // Whether a placeholder, tag, address or one of the game's own codes
    // covers a byte, asked for positions in increasing order after
    // StartCover. Each finder gives its codes in the order they start.
    void StartCover()
    {
        m_cursors.clear();
        for (const Tokens* pTokens : {&Printf(), &Braces(), &Tags(), &Urls()})
            if (!pTokens->empty())
                m_cursors.push_back({pTokens});
        for (std::size_t k = 0; k < PatternCount(); ++k)
            if (const Tokens& tokens = Pattern(k); !tokens.empty())
                m_cursors.push_back({&tokens});
    }
    bool Covered(std::size_t position)
    {
        bool bCovered = false;
        for (CCursor& cursor : m_cursors) {
            const Tokens& tokens = *cursor.pTokens;
            for (; cursor.next < tokens.size(); ++cursor.next) {
                const auto start = static_cast<std::size_t>(tokens[cursor.next].data() - m_text.data());
                if (start > position)
                    break;
                cursor.end = std::max(cursor.end, start + tokens[cursor.next].size());
            }
            bCovered = bCovered || cursor.end > position;
        }
        return bCovered;
    }
    bool MayBeCovered() const { return !m_cursors.empty(); }

private:
    enum : unsigned {
        foundPrintf = 1, foundBraces = 2, foundTags = 4, foundUrls = 8, foundNumbers = 16, foundControls = 32,
    };
    bool First(unsigned which)
    {
        if (m_found & which)
            return false;
        m_found |= which;
        return true;
    }
    const Tokens& Found(unsigned which, unsigned kind, void (*find)(std::string_view, Tokens&), Tokens& tokens)
    {
        if (First(which)) {
            tokens.clear();
            if (m_kinds & kind)
                find(m_text, tokens);
        }
        return tokens;
    }

    std::string_view m_text;
    unsigned m_kinds = 0, m_found = 0;
    const std::vector<CPlaceholderPattern>* m_pPatterns = nullptr;
    Tokens m_printf, m_braces, m_tags, m_urls, m_numbers, m_controls;
    std::vector<std::string> m_printfKeys;
    std::vector<Tokens> m_patternTokens;
    std::vector<char> m_patternFound;
    struct CCursor {
        const Tokens* pTokens;
        std::size_t next = 0;  // the first code not yet passed
        std::size_t end = 0;   // the furthest end of the codes passed
    };
    std::vector<CCursor> m_cursors;
};

namespace {

// Tokens are short: a byte loop beats a call of memcmp.
bool SameToken(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

// Scratch lists kept between texts: a million texts would otherwise cost
// several allocations each.
struct CScratch {
    CTextCodes source, translation;
    Tokens sortedSource, sortedTranslation, missing, added, sourceNumbers, translationNumbers;
    std::vector<std::string> sourceKeys, translationKeys;
    std::vector<std::size_t> used;
};
thread_local CScratch g_scratch;

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
        } else if (ch < 0x80) {
            out += static_cast<char>(ch);
        } else if (ch < 0x800) {
            out += static_cast<char>(0xC0 | (ch >> 6));
            out += static_cast<char>(0x80 | (ch & 0x3F));
        } else {  // the characters of 0x80-0x9F lie below U+10000
            out += static_cast<char>(0xE0 | (ch >> 12));
            out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (ch & 0x3F));
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

void CTextCheck::CompareTokens(ECheck check, const Tokens& source, const Tokens& translation, bool bMissingOnly)
{
    if (source.empty() && translation.empty())
        return;
    // The same tokens in the same order: nothing missing, nothing added.
    if (source.size() == translation.size() && std::equal(source.begin(), source.end(), translation.begin(), SameToken))
        return;
    Tokens& missing = g_scratch.missing;
    Tokens& added = g_scratch.added;
    missing.clear();
    added.clear();
    if (source.size() <= 64 && translation.size() <= 64 && source.size() * translation.size() <= 256) {
        // A few tokens, as most texts have: each of the source's takes the
        // first equal one of the translation's not taken yet.
        std::uint64_t taken = 0;
        for (const std::string_view token : source) {
            std::size_t k = 0;
            while (k < translation.size() && ((taken >> k) & 1 || !SameToken(translation[k], token)))
                ++k;
            if (k < translation.size())
                taken |= std::uint64_t(1) << k;
            else
                missing.push_back(token);
        }
        if (!bMissingOnly)
            for (std::size_t k = 0; k < translation.size(); ++k)
                if (!((taken >> k) & 1))
                    added.push_back(translation[k]);
        if (missing.size() > 1)
            std::sort(missing.begin(), missing.end());
        if (added.size() > 1)
            std::sort(added.begin(), added.end());
    } else {
        Tokens& a = g_scratch.sortedSource;
        Tokens& b = g_scratch.sortedTranslation;
        a.assign(source.begin(), source.end());
        b.assign(translation.begin(), translation.end());
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(missing));
        if (!bMissingOnly)
            std::set_difference(b.begin(), b.end(), a.begin(), a.end(), std::back_inserter(added));
    }
    if (!missing.empty() || !added.empty())
        Report(check, Difference(missing, added));
}

void CTextCheck::CheckPrintf()
{
    // Compared by key (position and conversion), shown as written.
    const Tokens& source = m_pSource->Printf();
    const Tokens& translation = m_pTranslation->Printf();
    if (source.empty() && translation.empty())
        return;
    const std::vector<std::string>& sourceKeys = m_pSource->PrintfKeys();
    const std::vector<std::string>& translationKeys = m_pTranslation->PrintfKeys();
    if (sourceKeys == translationKeys)
        return;
    std::vector<std::string>& a = g_scratch.sourceKeys;
    std::vector<std::string>& b = g_scratch.translationKeys;
    a.assign(sourceKeys.begin(), sourceKeys.end());
    b.assign(translationKeys.begin(), translationKeys.end());
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    if (a == b)
        return;
    // Name the tokens whose keys the other side lacks, each key of the other
    // side matching one token at most. used[g] counts the matches taken from
    // the run of equal keys that starts at g.
    auto lacking = [](const Tokens& tokens, const std::vector<std::string>& keys, const std::vector<std::string>& other,
                      Tokens& result) {
        std::vector<std::size_t>& used = g_scratch.used;
        used.assign(other.size(), 0);
        result.clear();
        for (std::size_t k = 0; k < tokens.size(); ++k) {
            const auto g = static_cast<std::size_t>(std::lower_bound(other.begin(), other.end(), keys[k]) - other.begin());
            if (g < other.size() && g + used[g] < other.size() && other[g + used[g]] == keys[k])
                ++used[g];
            else
                result.push_back(tokens[k]);
        }
    };
    Tokens& missing = g_scratch.missing;
    Tokens& added = g_scratch.added;
    lacking(source, sourceKeys, b, missing);
    lacking(translation, translationKeys, a, added);
    Report(ECheck::printf, Difference(missing, added));
}

void CTextCheck::CheckTags()
{
    const Tokens& source = m_pSource->Tags();
    const Tokens& translation = m_pTranslation->Tags();
    if (source.empty() && translation.empty())
        return;
    const std::size_t nBefore = m_findings.size();
    CompareTokens(ECheck::xmltags, source, translation);
    // The same tags, but not in an order that closes what it opens.
    if (m_findings.size() == nBefore && TagsBalanced(source) && !TagsBalanced(translation)) {
        std::string message = "the tags of the translation are not balanced: ";
        Report(ECheck::xmltags, std::move(AppendJoined(message, translation)));
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
        Report(ECheck::startwhitespace, Message({"the source starts with ", QuotedText(sourceStart),
                                                 ", the translation with ", QuotedText(translationStart)}));
    const std::string_view sourceEnd = sourceStart.size() == m_source.size() ? std::string_view() : trailing(m_source);
    const std::string_view translationEnd =
        translationStart.size() == m_translation.size() ? std::string_view() : trailing(m_translation);
    if (Enabled(ECheck::endwhitespace) && sourceEnd != translationEnd)
        Report(ECheck::endwhitespace, Message({"the source ends with ", QuotedText(sourceEnd), ", the translation with ",
                                               QuotedText(translationEnd)}));
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
        Report(ECheck::endpunc, Message({"the source ends with ", QuotedText(a), ", the translation does not"}));
    else if (a.empty() && !b.empty())
        Report(ECheck::endpunc, Message({"the translation ends with ", QuotedText(b), ", the source does not"}));
}

bool CTextCheck::HasWords()
{
    // Letters inside placeholders, tags and addresses are not words to translate:
    // "%s" or "<br/>" left as they are is right.
    m_pSource->StartCover();
    for (std::size_t i = 0; i < m_source.size(); ++i)
        if (IsLetter(static_cast<unsigned char>(m_source[i])) && !m_pSource->Covered(i))
            return true;
    return false;
}

const Tokens& CTextCheck::NumbersOutsideCode(CTextCodes& codes, Tokens& scratch)
{
    const Tokens& numbers = codes.Numbers();
    // Only a text that may hold a code needs its codes found.
    // (an address holds "://" or "@"; "www." with digits in it is left to chance)
    const bool bMayHoldCode = !m_patterns.empty() || (codes.Kinds() & hasCodeStart) != 0;
    if (numbers.empty() || !bMayHoldCode)
        return numbers;
    codes.StartCover();
    if (!codes.MayBeCovered())
        return numbers;
    // A number that starts inside a code is part of it.
    const std::string_view text = codes.Text();
    scratch.clear();
    for (const std::string_view number : numbers)
        if (!codes.Covered(static_cast<std::size_t>(number.data() - text.data())))
            scratch.push_back(number);
    return scratch;
}

void CTextCheck::CheckNumbers()
{
    // The digits of {1}, ^1 or #ff0 are the other checks' business.
    const Tokens& source = NumbersOutsideCode(*m_pSource, g_scratch.sourceNumbers);
    if (source.empty())
        return;
    const Tokens& translation = NumbersOutsideCode(*m_pTranslation, g_scratch.translationNumbers);
    CompareTokens(ECheck::numbers, source, translation, true);
}

void CTextCheck::Run()
{
    CTextCodes& sourceCodes = g_scratch.source;
    CTextCodes& translationCodes = g_scratch.translation;
    sourceCodes.Reset(m_source, m_patterns);
    translationCodes.Reset(m_translation, m_patterns);
    m_pSource = &sourceCodes;
    m_pTranslation = &translationCodes;
    const unsigned sourceKinds = sourceCodes.Kinds();
    const unsigned kinds = sourceKinds | translationCodes.Kinds();
    // Each side found before the comparison: a pattern that cannot be
    // matched is reported for the source first.
    auto compare = [&](ECheck check, const Tokens& (CTextCodes::*find)(), bool bMissingOnly = false) {
        if (!Enabled(check))
            return;
        const Tokens& source = (sourceCodes.*find)();
        const Tokens& translation = (translationCodes.*find)();
        CompareTokens(check, source, translation, bMissingOnly);
    };
    if ((kinds & hasPercent) && Enabled(ECheck::printf))
        CheckPrintf();
    if (kinds & hasBrace)
        compare(ECheck::variables, &CTextCodes::Braces);
    if ((kinds & hasAngle) && Enabled(ECheck::xmltags))
        CheckTags();
    if (Enabled(ECheck::placeholder)) {
        for (std::size_t k = 0; k < m_patterns.size(); ++k) {
            const Tokens& source = sourceCodes.Pattern(k);
            const Tokens& translation = translationCodes.Pattern(k);
            CompareTokens(ECheck::placeholder, source, translation);
        }
    }
    if (kinds & hasControl)
        compare(ECheck::controls, &CTextCodes::Controls);
    if ((kinds & hasLineBreak) && Enabled(ECheck::newlines)) {
        const std::size_t a = sourceCodes.LineBreaks(), b = translationCodes.LineBreaks();
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
        const std::size_t a = (sourceKinds & hasSpace) ? doubles(m_source) : 0;
        const std::size_t b = (translationCodes.Kinds() & hasSpace) ? doubles(m_translation) : 0;
        if (a != b)
            Report(ECheck::doublespacing, "the source has " + Count(a, "double space", "double spaces") +
                                              ", the translation " + std::to_string(b));
    }
    if (Enabled(ECheck::endpunc))
        CheckEndPunctuation();
    if ((sourceKinds & hasDigit) && Enabled(ECheck::numbers))
        CheckNumbers();
    if (MayHoldAddress(sourceKinds) || MayHoldAddress(translationCodes.Kinds()))
        compare(ECheck::urls, &CTextCodes::Urls);
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
