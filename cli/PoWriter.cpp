// SPDX-License-Identifier: MIT
#include "PoWriter.h"

#include <unilbrk.h>

#include <array>
#include <cstdio>
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
        char number[24];
        const int nNumber = std::snprintf(number, sizeof number, ":%zu", line);
        const std::size_t length = file.size() + static_cast<std::size_t>(nNumber) + 1;
        if (column > 2 && column + length > static_cast<std::size_t>(kPageWidth)) {
            m_out += "\n#:";
            column = 2;
        }
        m_out += ' ';
        m_out += file;
        m_out.append(number, static_cast<std::size_t>(nNumber));
        column += length;
    }
    m_out += '\n';
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

        m_portion.clear();
        m_overrides.clear();
        for (std::size_t i = 0; i < raw.size();) {
            std::size_t j = i;
            while (j < raw.size() && kEscapeOf[static_cast<unsigned char>(raw[j])] == 0)
                ++j;
            m_portion.append(raw.data() + i, j - i);
            m_overrides.append(j - i, static_cast<char>(UC_BREAK_UNDEFINED));
            if (j == raw.size())
                break;
            // A line may break before an escape, never inside it.
            m_portion += '\\';
            m_portion += kEscapeOf[static_cast<unsigned char>(raw[j])];
            m_overrides += static_cast<char>(UC_BREAK_UNDEFINED);
            m_overrides += static_cast<char>(UC_BREAK_PROHIBITED);
            i = j + 1;
        }
        // No break just before the "\n" that ends the line.
        if (!raw.empty() && raw.back() == '\n')
            m_overrides[m_portion.size() - 2] = static_cast<char>(UC_BREAK_PROHIBITED);

        const std::size_t n = m_portion.size();
        // At most this many columns: no character below U+1100 is wide, and
        // none is wider than two. A line that fits needs no breaking rules.
        std::size_t nColumns = 0;
        for (const char c : m_portion) {
            const auto byte = static_cast<unsigned char>(c);
            nColumns += (byte & 0xC0) == 0x80 ? 0 : byte < 0xE1 ? 1 : 2;
        }
        bool bBreaks = false;
        const auto breakLines = [&](int startColumn) {
            bBreaks = false;
            if (static_cast<std::size_t>(startColumn) + nColumns <= static_cast<std::size_t>(width))
                return;
            m_breaks.resize(n);
            ulc_width_linebreaks(m_portion.data(), n, width, startColumn, 0, m_overrides.data(), "UTF-8",
                                 m_breaks.data());
            bBreaks = std::memchr(m_breaks.data(), UC_BREAK_POSSIBLE, n) != nullptr;
        };
        int startColumn = bFirstLine ? static_cast<int>(keyword.size()) + 1 : 0;
        breakLines(startColumn);
        if (bFirstLine && n > 0 && (bMoreLines || startColumn > width || bBreaks)) {
            m_out += keyword;
            m_out += " \"\"\n";
            bFirstLine = false;
            startColumn = 0;
            breakLines(startColumn);
        }
        if (bFirstLine) {
            m_out += keyword;
            m_out += ' ';
            bFirstLine = false;
        }
        m_out += '"';
        if (!bBreaks) {
            m_out += m_portion;
        } else {
            for (std::size_t i = 0; i < n; ++i) {
                if (m_breaks[i] == UC_BREAK_POSSIBLE)
                    m_out += "\"\n\"";
                m_out += m_portion[i];
            }
        }
        m_out += "\"\n";
    } while (pos < value.size());
}

}  // namespace lumo_cli
