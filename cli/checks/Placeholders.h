// SPDX-License-Identifier: MIT
// The pieces of a text that a game reads rather than shows: printf and brace
// placeholders, markup tags, control characters, numbers, URLs, and a game's
// own codes matched by a regular expression. Texts are Windows-1252 bytes.
// Each finder appends views into the text, in the order they occur.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lumo_cli {

using Tokens = std::vector<std::string_view>;

// %s, %5.2f, %-10s, %ls, %1$s; %% is a literal percent and no token.
// comparable receives, for each token, its key for comparison: the position
// (explicit, or its place among the unnumbered ones), flags, width,
// precision, length and conversion, so %s %d and %2$d %1$s compare equal.
void FindPrintf(std::string_view text, Tokens& tokens, std::vector<std::string>* pKeys = nullptr);
// {0}, {name}, {name:fmt}; {{ and }} are literal braces.
void FindBraces(std::string_view text, Tokens& tokens);
// <b>, </b>, <br/>, <color=#ff0>, <a href="x">; a '<' that opens no tag is text.
void FindTags(std::string_view text, Tokens& tokens);
// True when every opening tag is closed in order (self-closing ones need no
// partner). Takes the tokens FindTags found.
bool TagsBalanced(const Tokens& tags);
// U+0001..U+001F other than tab, LF and CR, one token each.
void FindControls(std::string_view text, Tokens& tokens);
// Runs of digits, with a decimal point or separator inside (3.5, 1,000).
void FindNumbers(std::string_view text, Tokens& tokens);
// http://, https://, ftp://, www. addresses and e-mail addresses.
void FindUrls(std::string_view text, Tokens& tokens);
// Line breaks: LF, CR LF and a lone CR each count once.
std::size_t CountLineBreaks(std::string_view text);

// A game's own codes, as a PCRE2 pattern compiled once (with JIT where the
// machine has it) and matched against the Windows-1252 bytes.
class CPlaceholderPattern {
public:
    // Throws std::invalid_argument naming the offset of a bad pattern.
    explicit CPlaceholderPattern(const std::string& pattern);
    ~CPlaceholderPattern();
    CPlaceholderPattern(CPlaceholderPattern&&) noexcept;
    CPlaceholderPattern& operator=(CPlaceholderPattern&&) = delete;
    CPlaceholderPattern(const CPlaceholderPattern&) = delete;

    const std::string& Pattern() const { return m_pattern; }
    void Find(std::string_view text, Tokens& tokens) const;

private:
    struct CImpl;
    std::string m_pattern;
    std::unique_ptr<CImpl> m_pImpl;
};

}  // namespace lumo_cli
