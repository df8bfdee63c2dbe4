// SPDX-License-Identifier: MIT
#include "PoWriter.h"

#include <unilbrk.h>
#include <unistr.h>
#include <uniwidth.h>

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace lumo_cli {

namespace {

// gettext's page width; a string line holds at most this many columns
// with its quotes.
constexpr int kPageWidth = 79;
constexpr std::size_t kFlushBytes = std::size_t(1) << 20;

// What follows the backslash for each byte gettext writes as an escape
// (the C escapes, the quote and the backslash); 0 for the others.
constexpr std::array<char, 256> MakeEscapes()
{
    std::array<char, 256> table{};
    table['\a'] = 'a';
    table['\b'] = 'b';
    table['\f'] = 'f';
    table['\n'] = 'n';
    table['\r'] = 'r';
    table['\t'] = 't';
    table['\v'] = 'v';
    table['"'] = '"';
    table['\\'] = '\\';
    return table;
}
constexpr std::array<char, 256> kEscapeOf = MakeEscapes();

constexpr std::size_t npos = static_cast<std::size_t>(-1);

// The most columns each byte of a text can take once escaped.
constexpr std::array<unsigned char, 256> MakeColumnsAtMost()
{
    std::array<unsigned char, 256> table{};
    for (int b = 0; b < 256; ++b)
        table[b] = kEscapeOf[b] != 0 ? 2 : (b & 0xC0) == 0x80 ? 0 : b < 0xE1 ? 1 : 2;
    return table;
}
constexpr std::array<unsigned char, 256> kColumnsAtMost = MakeColumnsAtMost();

// out += text with gettext's escapes.
void Escape(std::string& out, std::string_view raw)
{
    for (std::size_t i = 0; i < raw.size();) {
        std::size_t j = i;
        while (j < raw.size() && kEscapeOf[static_cast<unsigned char>(raw[j])] == 0)
            ++j;
        out.append(raw.data() + i, j - i);
        if (j == raw.size())
            break;
        const char escaped[2] = {'\\', kEscapeOf[static_cast<unsigned char>(raw[j])]};
        out.append(escaped, 2);
        i = j + 1;
    }
}

// Columns of a character as libunistring counts them (-1 for a control),
// remembered for the first code points: most texts are Windows-1252, whose
// characters all lie below U+2200.
int ColumnsOf(ucs4_t uc)
{
    static const std::array<signed char, 0x2200> kColumns = [] {
        std::array<signed char, 0x2200> columns{};
        for (ucs4_t c = 0; c < columns.size(); ++c)
            columns[c] = static_cast<signed char>(uc_width(c, "UTF-8"));
        return columns;
    }();
    return uc < kColumns.size() ? kColumns[uc] : uc_width(uc, "UTF-8");
}

}  // namespace

CPoWriter::CPoWriter(Sink sink) : m_sink(std::move(sink))
{
    m_out.reserve(kFlushBytes + 4096);
}

void CPoWriter::Write(const CPoOutMessage& message)
{
    if (!m_bFirst)
        m_out += '\n';
    m_bFirst = false;
    Comment("#", message.comments);
    Comment("#.", message.extractedComments);
    References(message.referenceFile, message.referenceLines);
    if (message.bFuzzy && !message.msgstr.empty())
        m_out += "#, fuzzy\n";
    if (message.bHasContext)
        String("msgctxt", message.msgctxt);
    String("msgid", message.msgid);
    String("msgstr", message.msgstr);
    FlushIfFull();
}

void CPoWriter::Flush()
{
    if (!m_out.empty())
        m_sink(m_out.data(), m_out.size());
    m_out.clear();
}

void CPoWriter::FlushIfFull()
{
    if (m_out.size() >= kFlushBytes)
        Flush();
}

void CPoWriter::Comment(const char* prefix, std::string_view lines)
{
    while (!lines.empty()) {
        const std::size_t end = lines.find('\n');
        const std::string_view line = lines.substr(0, end);
        m_out += prefix;
        if (!line.empty())
            m_out += ' ';
        m_out += line;
        m_out += '\n';
        lines.remove_prefix(end == std::string_view::npos ? lines.size() : end + 1);
    }
}

void CPoWriter::References(std::string_view file, std::span<const std::size_t> lines)
{
    if (lines.empty())
        return;
    m_out += "#:";
    std::size_t column = 2;
    for (const std::size_t line : lines) {
        char number[24] = ":";
        const std::size_t nNumber =
            static_cast<std::size_t>(std::to_chars(number + 1, number + sizeof number, line).ptr - number);
        const std::size_t length = file.size() + nNumber + 1;
        if (column > 2 && column + length > static_cast<std::size_t>(kPageWidth)) {
            m_out += "\n#:";
            column = 2;
        }
        m_out += ' ';
        m_out += file;
        m_out.append(number, nNumber);
        column += length;
    }
    m_out += '\n';
}


// The greedy pass of libunistring's u8_width_linebreaks over breaks already
// found, so that a line measured from two start columns finds them once:
// where a piece would pass the width, the line breaks at the last place
// allowed before it. The one place where no break may go besides the
// escapes (whose second byte never takes one) is nProhibited.
void CPoWriter::WidthBreaks(int startColumn, int width, std::size_t nProhibited, bool bFirstOnly)
{
    m_breakAt.clear();
    const auto* s = reinterpret_cast<const std::uint8_t*>(m_portion.data());
    const std::size_t n = m_portion.size();
    const auto mark = [&](std::size_t at) {
        if (m_breakAt.empty() || m_breakAt.back() != at)
            m_breakAt.push_back(at);
    };
    // With bFirstOnly the pass ends at the first break: whether there is one
    // is all the caller asks.
    std::size_t lastBreak = npos;
    int lastColumn = startColumn, pieceWidth = 0;
    bool bEscaped = false;  // this byte follows the backslash of an escape
    for (std::size_t i = 0; i < n;) {
        // ASCII and two-byte characters decoded here, exactly as the library
        // decodes them; the rest by the library.
        ucs4_t uc = s[i];
        int count = 1;
        if (uc >= 0x80) {
            if (uc >= 0xC2 && uc < 0xE0 && i + 1 < n && (s[i + 1] & 0xC0) == 0x80) {
                uc = ((uc & 0x1F) << 6) | (s[i + 1] & 0x3F);
                count = 2;
            } else {
                count = u8_mbtouc_unsafe(&uc, s + i, n - i);
            }
        }
        char kind = m_possible[i];
        if (bEscaped || i == nProhibited)
            kind = UC_BREAK_PROHIBITED;
        // Every backslash of the escaped text starts an escape.
        bEscaped = !bEscaped && s[i] == '\\';
        const bool bMandatory = kind == UC_BREAK_MANDATORY || kind == UC_BREAK_CR_BEFORE_LF;
        if ((kind == UC_BREAK_POSSIBLE || bMandatory) && lastBreak != npos && lastColumn + pieceWidth > width) {
            mark(lastBreak);
            if (bFirstOnly)
                return;
            lastColumn = 0;
        }
        if (bMandatory) {
            lastBreak = npos;
            lastColumn = 0;
            pieceWidth = 0;
        } else {
            if (kind == UC_BREAK_POSSIBLE) {
                lastBreak = i;
                lastColumn += pieceWidth;
                pieceWidth = 0;
            }
            if (const int w = ColumnsOf(uc); w >= 0)
                pieceWidth += w;
        }
        i += static_cast<std::size_t>(count);
    }
    if (lastBreak != npos && lastColumn + pieceWidth > width)
        mark(lastBreak);
}

// One keyword and its string, cut into lines as gettext's wrap() cuts them:
// a line per '\n' of the value, each broken where the Unicode line breaking
// rules allow once it would pass the page width; when any line breaks or
// there is more than one, the keyword's own line holds only "".
void CPoWriter::String(std::string_view keyword, std::string_view value)
{
    // Columns as gettext counts them: the keyword, a blank and the opening
    // quote on the first line, the quote alone on the others; the closing
    // quote needs one more.
    const int width = kPageWidth - 1 - 1;
    bool bFirstLine = true;
    std::size_t pos = 0;
    do {
        std::size_t end = value.find('\n', pos);
        end = end == std::string_view::npos ? value.size() : end + 1;
        const std::string_view raw = value.substr(pos, end - pos);
        pos = end;
        const bool bMoreLines = pos < value.size();

        // At most this many columns: no character below U+1100 is wide, and
        // none is wider than two; an escape takes two. A line that fits
        // needs no breaking rules and is escaped straight into the output.
        std::size_t nColumns = 0;
        for (const char c : raw)
            nColumns += kColumnsAtMost[static_cast<unsigned char>(c)];
        int startColumn = bFirstLine ? static_cast<int>(keyword.size()) + 1 : 0;
        if (bFirstLine && !raw.empty() && (bMoreLines || startColumn > width)) {
            m_out += keyword;
            m_out += " \"\"\n";
            bFirstLine = false;
            startColumn = 0;
        }
        const auto fits = [&](int column) {
            return static_cast<std::size_t>(column) + nColumns <= static_cast<std::size_t>(width);
        };
        if (fits(startColumn)) {
            if (bFirstLine) {
                m_out += keyword;
                m_out += ' ';
                bFirstLine = false;
            }
            m_out += '"';
            Escape(m_out, raw);
            m_out += "\"\n";
            continue;
        }

        m_portion.clear();
        Escape(m_portion, raw);
        const std::size_t n = m_portion.size();
        // No break just before the "\n" that ends the line.
        const std::size_t nProhibited = !raw.empty() && raw.back() == '\n' ? n - 2 : npos;
        m_possible.resize(n);
        u8_possible_linebreaks(reinterpret_cast<const std::uint8_t*>(m_portion.data()), n, "UTF-8",
                               m_possible.data());
        // On the keyword's line, only whether the line breaks matters: if
        // it does, the keyword's line holds "" and the breaking starts over.
        WidthBreaks(startColumn, width, nProhibited, bFirstLine);
        if (bFirstLine && !m_breakAt.empty()) {
            m_out += keyword;
            m_out += " \"\"\n";
            bFirstLine = false;
            startColumn = 0;
            if (fits(startColumn))
                m_breakAt.clear();
            else
                WidthBreaks(startColumn, width, nProhibited, false);
        }
        if (bFirstLine) {
            m_out += keyword;
            m_out += ' ';
            bFirstLine = false;
        }
        m_out += '"';
        std::size_t from = 0;
        for (const std::size_t at : m_breakAt) {
            m_out.append(m_portion, from, at - from);
            m_out += "\"\n\"";
            from = at;
        }
        m_out.append(m_portion, from, n - from);
        m_out += "\"\n";
    } while (pos < value.size());
}

}  // namespace lumo_cli
