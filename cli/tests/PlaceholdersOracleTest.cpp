// SPDX-License-Identifier: MIT
// The finders of placeholders, tags, numbers, addresses, control characters
// and line breaks against the byte-by-byte versions they replaced, kept here
// as the oracle: the same tokens at the same places for tricky texts and for
// random ones. And the checks built on them against plain oracles: numbers
// outside codes, token lists compared as multisets.
#include "cli/checks/Placeholders.h"
#include "cli/checks/TranslationChecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using lumo_cli::Tokens;

namespace oracle {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAsciiAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsWordChar(char c) { return IsAsciiAlpha(c) || IsDigit(c) || c == '_'; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

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

}  // namespace oracle

// Tokens as offsets and lengths: views into the same text compare by place.
std::vector<std::pair<std::size_t, std::size_t>> Places(std::string_view text, const Tokens& tokens)
{
    std::vector<std::pair<std::size_t, std::size_t>> places;
    for (const std::string_view token : tokens)
        places.emplace_back(static_cast<std::size_t>(token.data() - text.data()), token.size());
    return places;
}

// Every finder on one text, new against old; the first difference, if any.
std::string Differences(const std::string& text)
{
    using Finder = void (*)(std::string_view, Tokens&);
    struct CFinder {
        const char* name;
        Finder now, old;
    };
    const CFinder finders[] = {
        {"FindBraces", lumo_cli::FindBraces, oracle::FindBraces},
        {"FindTags", lumo_cli::FindTags, oracle::FindTags},
        {"FindControls", lumo_cli::FindControls, oracle::FindControls},
        {"FindNumbers", lumo_cli::FindNumbers, oracle::FindNumbers},
        {"FindUrls", lumo_cli::FindUrls, oracle::FindUrls},
    };
    for (const CFinder& finder : finders) {
        Tokens now, old;
        finder.now(text, now);
        finder.old(text, old);
        if (Places(text, now) != Places(text, old))
            return finder.name;
    }
    Tokens now, old;
    std::vector<std::string> nowKeys, oldKeys;
    lumo_cli::FindPrintf(text, now, &nowKeys);
    oracle::FindPrintf(text, old, &oldKeys);
    if (Places(text, now) != Places(text, old) || nowKeys != oldKeys)
        return "FindPrintf";
    if (lumo_cli::CountLineBreaks(text) != oracle::CountLineBreaks(text))
        return "CountLineBreaks";
    return {};
}

TEST(PlaceholderFinders, AgreeWithTheByteByByteOracle)
{
    const std::string sixty(60, 'x');
    const std::vector<std::string> tricky = {
        "", "1", "12345678", "123456789", "a1b22c333d4444", "3.5 1,000 12. 7, 1.2.3 .5 ,5 1..2 1,,2 9,9,9",
        // Numbers, controls and line breaks across the eight-byte words and
        // the 64-byte blocks the scans read.
        sixty + "1234567890", sixty + "abc12,345.6", std::string(63, 'x') + "7", std::string(64, 'x') + "7",
        std::string(70, '9'), std::string(127, 'x') + "5", "x\x01\x1F\t\n\r\r\n\x7F" + sixty + "\x02\r",
        std::string("a\0b\x01", 4), "\r", "\r\n", "\n\r", "\r\r\n\n",
        // Addresses.
        "http://example.com/a1.", "see https://x.org/p?q=1).", "1://x", "://x", "a://", "ftp://f.net,ftp://g.net",
        "http://a.b.http://c", "www.site1.com", "xwww.no", "(www.a.b)", "www.", "www.www.www.", "wwww.x.y",
        "me@host.com", "a.b+c@d-e.f.g.", "x@y", "@@", "a@b.c.d@e.f", "a@b.cc://x", "x.www.a@b.c", "a@b-c",
        "a@.", "a@b.", "user123@mail9.net and 42", "w", "ww", "www", ":/", "a:/", std::string(62, 'x') + "http://q.r",
        std::string(61, 'x') + "a@b.cd", "\xE9t\xE9@caf\xE9.fr",
        // Tags.
        "<b>x</b>", "<br/>", "<a href=\"x\">", "<a title=\"x>y\">", "<color=#ff0>", "a < b", "<3", "<b", "</b",
        "<a/b>", "<a/b c>", "<a/b\"x>", "<a\"b>", "<a b='c>d'>", "<a\nb>", "<a<b>", "<a-b:c.d>", "<1a>", "</>",
        "<a =\"x\">", "<a='>'>", "<a\x01>", "<" + sixty + ">",
        // Printf and braces.
        "%s %d %5.2f %1$s %2$d %% %-10s %ls %'d %#x %+05d %*d %.*f %hhd %zu %jd %td %qd %Lf %@ %n %p %c",
        "100% sure", "% d", "%", "%%%", "%0$s", "%10$s", "%$s", "%1$", "%1.", "%.", "%lll",
        "{0} {1} {name} {name:fmt} {{ }} {a,b} {x.y} { } {} {:x} {a:{b}} {a,}", "{", "}", "{{{a}}}", "{a",
    };
    for (const std::string& text : tricky)
        EXPECT_EQ(Differences(text), "") << "text: " << text;

    // Random texts over an alphabet rich in the bytes the finders look at.
    const std::string alphabet = "%{}<>/@:.,wW$-+#'\"= \t\n\r\x01\x1F" "0123456789aZx_()[]hlLsdf\xA0\xE9";
    std::mt19937 random(20);
    for (int round = 0; round < 20000; ++round) {
        std::string text(random() % 150, ' ');
        for (char& c : text)
            c = random() % 8 == 0 ? static_cast<char>(random() % 256) : alphabet[random() % alphabet.size()];
        ASSERT_EQ(Differences(text), "") << "round " << round << ", text: " << text;
    }
}

// The finding of one check alone for a pair of texts, "" for none.
std::string FindingOf(lumo_cli::ECheck check, const std::string& source, const std::string& translation)
{
    lumo_cli::CCheckOptions options;
    options.enabled.fill(false);
    options.enabled[static_cast<std::size_t>(check)] = true;
    const lumo_cli::CChecker checker(options);
    std::vector<lumo_cli::CFinding> findings;
    checker.CheckText(source, translation, findings);
    std::string messages;
    for (const lumo_cli::CFinding& finding : findings)
        messages += (messages.empty() ? "" : " / ") + finding.message;
    return messages;
}

// What one side has that the other lacks, sorted, as the checks word it;
// the tokens must be plain ASCII.
std::string DifferenceOf(Tokens source, Tokens translation, bool bMissingOnly)
{
    std::sort(source.begin(), source.end());
    std::sort(translation.begin(), translation.end());
    Tokens missing, added;
    std::set_difference(source.begin(), source.end(), translation.begin(), translation.end(), std::back_inserter(missing));
    if (!bMissingOnly)
        std::set_difference(translation.begin(), translation.end(), source.begin(), source.end(),
                            std::back_inserter(added));
    auto joined = [](const Tokens& tokens) {
        std::string text;
        for (const std::string_view token : tokens)
            text += (text.empty() ? "" : " ") + std::string(token);
        return text;
    };
    if (!missing.empty() && !added.empty())
        return "the source has " + joined(missing) + ", the translation has " + joined(added);
    if (!missing.empty())
        return joined(missing) + (missing.size() == 1 ? " is missing" : " are missing");
    if (!added.empty())
        return "the translation adds " + joined(added);
    return {};
}

// The numbers of a text that do not start inside a placeholder, tag or
// address, from the oracle finders and a mask of the text's bytes. Only a
// text with a byte a code with digits may start at is masked.
Tokens NumbersOutsideCode(const std::string& text)
{
    Tokens numbers, codes;
    oracle::FindNumbers(text, numbers);
    if (text.find_first_of("%{<@/") == std::string::npos)
        return numbers;
    oracle::FindPrintf(text, codes, nullptr);
    oracle::FindBraces(text, codes);
    oracle::FindTags(text, codes);
    oracle::FindUrls(text, codes);
    std::vector<bool> inCode(text.size());
    for (const std::string_view code : codes)
        std::fill_n(inCode.begin() + (code.data() - text.data()), code.size(), true);
    std::erase_if(numbers, [&](std::string_view number) { return inCode[number.data() - text.data()]; });
    return numbers;
}

TEST(TextChecks, NumbersAndTokenListsAgreeWithPlainOracles)
{
    std::mt19937 random(7);
    // Numbers among codes that hold digits: {1}, <h1>, %2$d, a1@b2.c, http://x/3.
    const std::vector<std::string> pieces = {"1", "22", "3.5", "1,000", "7", "{1}", "{x9}", "<h1>", "</h1>", "%2$d",
                                             "%5d", "a1@b2.c", "http://x/3", "www.w3.org", " ", "x", "@", "/", "<",
                                             "%", "{", ".", ",", "9"};
    for (int round = 0; round < 5000; ++round) {
        std::vector<std::string> parts(random() % 12);
        for (std::string& part : parts)
            part = pieces[random() % pieces.size()];
        std::string source, translation;
        for (const std::string& part : parts)
            source += part;
        std::shuffle(parts.begin(), parts.end(), random);
        if (!parts.empty() && random() % 3 == 0)
            parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(random() % parts.size()));
        for (const std::string& part : parts)
            translation += part;
        if (source.empty() || translation.empty())
            continue;
        const Tokens expected = NumbersOutsideCode(source);
        ASSERT_EQ(FindingOf(lumo_cli::ECheck::numbers, source, translation),
                  expected.empty() ? "" : DifferenceOf(expected, NumbersOutsideCode(translation), true))
            << source << " -> " << translation;
    }
    // Token lists short and long (a long one is compared another way),
    // with tokens repeated, dropped and added.
    const std::vector<std::string> braces = {"{a}", "{b}", "{c}", "{0}", "{1}"};
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::string> tokens(1 + random() % (round % 2 ? 8 : 70));
        for (std::string& token : tokens)
            token = braces[random() % braces.size()];
        std::string source, translation;
        for (const std::string& token : tokens)
            source += token + " ";
        std::shuffle(tokens.begin(), tokens.end(), random);
        for (int change = random() % 4; change > 0; --change) {
            if (random() % 2)
                tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(random() % tokens.size()));
            else
                tokens.push_back(braces[random() % braces.size()]);
            if (tokens.empty())
                tokens.push_back("{a}");
        }
        for (const std::string& token : tokens)
            translation += token + " ";
        Tokens a, b;
        oracle::FindBraces(source, a);
        oracle::FindBraces(translation, b);
        ASSERT_EQ(FindingOf(lumo_cli::ECheck::variables, source, translation), DifferenceOf(a, b, false))
            << source << " -> " << translation;
    }
}

}  // namespace
