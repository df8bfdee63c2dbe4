// SPDX-License-Identifier: MIT
#include "PoWriter.h"

#include "platform/Cp1252.h"

#include <unilbrk.h>
#include <unistr.h>
#include <uniwidth.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace lumo_cli {

namespace {

// gettext's page width; a string line holds at most this many columns
// with its quotes.
constexpr int kPageWidth = 79;
// Output goes to the sink in pieces of at most this size; a form is copied
// whole (4 bytes), so the buffer has that much slack.
constexpr std::size_t kBufferBytes = std::size_t(1) << 20;
constexpr std::size_t kSlack = sizeof(CPoWriter::CForm);
// A string is converted in pieces of this size, each with room for its
// longest forms (3 bytes a byte).
constexpr std::size_t kPieceBytes = 16384;
constexpr std::size_t kMaxForm = 3;

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

// Columns of a character as libunistring counts them (-1 for a control),
// kept for the first code points: most texts are Windows-1252, whose
// characters all lie below U+2200.
constexpr ucs4_t kKnownColumns = 0x2200;
const std::array<signed char, kKnownColumns> kColumns = [] {
    std::array<signed char, kKnownColumns> columns{};
    for (ucs4_t c = 0; c < kKnownColumns; ++c)
        columns[c] = static_cast<signed char>(uc_width(c, "UTF-8"));
    return columns;
}();

inline int ColumnsOf(ucs4_t uc)
{
    return uc < kKnownColumns ? kColumns[uc] : uc_width(uc, "UTF-8");
}

// The forms of the bytes of a UTF-8 text: themselves or their escape. A
// byte takes at most its character's columns: no character below U+1100
// is wide, and none is wider than two; an escape takes two.
// The forms of the bytes of a Windows-1252 text: their escape or the UTF-8
// form of their character, whose columns are known exactly.
CPoWriter::CForms MakeForms(bool bCp1252)
{
    CPoWriter::CForms forms{};
    for (unsigned b = 0; b < 256; ++b) {
        CPoWriter::CForm& form = forms.form[b];
        if (const char escape = kEscapeOf[b]) {
            form = {{'\\', escape, 0}, 2};
            forms.columns[b] = 2;
        } else if (!bCp1252) {
            form = {{static_cast<char>(b), 0, 0}, 1};
            forms.columns[b] = (b & 0xC0) == 0x80 ? 0 : b < 0xE1 ? 1 : 2;
        } else {
            const std::string utf8 = Cp1252ToUtf8(std::string(1, static_cast<char>(b)));
            std::memcpy(form.bytes, utf8.data(), utf8.size());
            form.nCount = static_cast<unsigned char>(utf8.size());
            forms.columns[b] = static_cast<unsigned char>(std::max(0, ColumnsOf(Cp1252ToUnicode(static_cast<unsigned char>(b)))));
        }
    }
    return forms;
}

const CPoWriter::CForms kUtf8Forms = MakeForms(false);
const CPoWriter::CForms kCp1252Forms = MakeForms(true);

// Writes the forms of raw at p, which has room for kMaxForm bytes a byte
// and the slack of one form; returns the end.
char* ConvertForms(char* p, std::string_view raw, const CPoWriter::CForms& forms)
{
    for (const char c : raw) {
        const CPoWriter::CForm& form = forms.form[static_cast<unsigned char>(c)];
        std::memcpy(p, &form, sizeof form);
        p += form.nCount;
    }
    return p;
}

}  // namespace

CPoWriter::CPoWriter(Sink sink)
    : m_sink(std::move(sink)), m_buffer(new char[kBufferBytes + kSlack]), m_p(m_buffer.get()),
      m_end(m_buffer.get() + kBufferBytes)
{
}

void CPoWriter::Write(const CPoOutMessage& message)
{
    if (!m_bFirst)
        Put("\n");
    m_bFirst = false;
    Comment("#", message.comments);
    Comment("#.", message.extractedComments);
    References(message.referenceFile, message.referenceLines);
    if (message.bFuzzy && !message.msgstr.empty())
        Put("#, fuzzy\n");
    const CForms& forms = message.bCp1252 ? kCp1252Forms : kUtf8Forms;
    if (message.bHasContext)
        String("msgctxt", message.msgctxt, forms);
    String("msgid", message.msgid, forms);
    String("msgstr", message.msgstr, forms);
}

void CPoWriter::Flush()
{
    if (m_p != m_buffer.get())
        m_sink(m_buffer.get(), static_cast<std::size_t>(m_p - m_buffer.get()));
    m_p = m_buffer.get();
}

char* CPoWriter::Room(std::size_t nBytes)
{
    if (static_cast<std::size_t>(m_end - m_p) < nBytes)
        Flush();
    return m_p;
}

void CPoWriter::Put(std::string_view bytes)
{
    while (!bytes.empty()) {
        Room(1);
        const std::size_t n = std::min(bytes.size(), static_cast<std::size_t>(m_end - m_p));
        std::memcpy(m_p, bytes.data(), n);
        m_p += n;
        bytes.remove_prefix(n);
    }
}

void CPoWriter::PutForms(std::string_view raw, const CForms& forms)
{
    while (!raw.empty()) {
        const std::size_t n = std::min(raw.size(), kPieceBytes);
        m_p = ConvertForms(Room(n * kMaxForm), raw.substr(0, n), forms);
        raw.remove_prefix(n);
    }
}

void CPoWriter::Comment(const char* prefix, std::string_view lines)
{
    while (!lines.empty()) {
        const std::size_t end = lines.find('\n');
        const std::string_view line = lines.substr(0, end);
        Put(prefix);
        if (!line.empty())
            Put(" ");
        Put(line);
        Put("\n");
        lines.remove_prefix(end == std::string_view::npos ? lines.size() : end + 1);
    }
}

void CPoWriter::References(std::string_view file, std::span<const std::size_t> lines)
{
    if (lines.empty())
        return;
    Put("#:");
    std::size_t column = 2;
    for (const std::size_t line : lines) {
        char number[24] = ":";
        const std::size_t nNumber =
            static_cast<std::size_t>(std::to_chars(number + 1, number + sizeof number, line).ptr - number);
        const std::size_t length = file.size() + nNumber + 1;
        if (column > 2 && column + length > static_cast<std::size_t>(kPageWidth)) {
            Put("\n#:");
            column = 2;
        }
        Put(" ");
        Put(file);
        Put({number, nNumber});
        column += length;
    }
    Put("\n");
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
    const char* possible = m_possible.data();
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
        // ASCII and two-byte characters (all that Windows-1252 texts have
        // below U+0800) decoded here without a branch on which they are,
        // exactly as the library decodes them; the rest by the library.
        const unsigned lead = s[i];
        const unsigned next = i + 1 < n ? s[i + 1] : 0;
        const bool bTwo = lead - 0xC2u < 0x1Eu && (next & 0xC0) == 0x80;
        ucs4_t uc = bTwo ? ((lead & 0x1F) << 6) | (next & 0x3F) : lead;
        std::size_t count = bTwo ? 2 : 1;
        if (lead >= 0x80 && !bTwo) {
            ucs4_t decoded;
            count = static_cast<std::size_t>(u8_mbtouc_unsafe(&decoded, s + i, n - i));
            uc = decoded;
        }
        char kind = possible[i];
        if (bEscaped || i == nProhibited)
            kind = UC_BREAK_PROHIBITED;
        // Every backslash of the escaped text starts an escape.
        bEscaped = !bEscaped && lead == '\\';
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
            const int w = ColumnsOf(uc);
            pieceWidth += w > 0 ? w : 0;
        }
        i += count;
    }
    if (lastBreak != npos && lastColumn + pieceWidth > width)
        mark(lastBreak);
}

// One keyword and its string, cut into lines as gettext's wrap() cuts them:
// a line per '\n' of the value, each broken where the Unicode line breaking
// rules allow once it would pass the page width; when any line breaks or
// there is more than one, the keyword's own line holds only "".
void CPoWriter::String(std::string_view keyword, std::string_view value, const CForms& forms)
{
    // Columns as gettext counts them: the keyword, a blank and the opening
    // quote on the first line, the quote alone on the others; the closing
    // quote needs one more.
    const int width = kPageWidth - 1 - 1;
    bool bFirstLine = true;
    std::size_t pos = 0;
    const auto putKeyword = [&](std::string_view after) {
        Put(keyword);
        Put(after);
        bFirstLine = false;
    };
    do {
        std::size_t end = value.find('\n', pos);
        end = end == std::string_view::npos ? value.size() : end + 1;
        const std::string_view raw = value.substr(pos, end - pos);
        pos = end;
        const bool bMoreLines = pos < value.size();

        // A line that fits even at the most columns its bytes can take
        // needs no breaking rules and is converted straight into the output.
        std::size_t nColumns = 0;
        for (const char c : raw)
            nColumns += forms.columns[static_cast<unsigned char>(c)];
        int startColumn = bFirstLine ? static_cast<int>(keyword.size()) + 1 : 0;
        if (bFirstLine && !raw.empty() && (bMoreLines || startColumn > width)) {
            putKeyword(" \"\"\n");
            startColumn = 0;
        }
        const auto fits = [&](int column) {
            return static_cast<std::size_t>(column) + nColumns <= static_cast<std::size_t>(width);
        };
        if (fits(startColumn)) {
            if (bFirstLine)
                putKeyword(" ");
            Put("\"");
            PutForms(raw, forms);
            Put("\"\n");
            continue;
        }

        m_portion.resize(raw.size() * kMaxForm + kSlack);
        m_portion.resize(static_cast<std::size_t>(ConvertForms(m_portion.data(), raw, forms) - m_portion.data()));
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
            putKeyword(" \"\"\n");
            startColumn = 0;
            if (fits(startColumn))
                m_breakAt.clear();
            else
                WidthBreaks(startColumn, width, nProhibited, false);
        }
        if (bFirstLine)
            putKeyword(" ");
        Put("\"");
        std::size_t from = 0;
        for (const std::size_t at : m_breakAt) {
            Put(std::string_view(m_portion).substr(from, at - from));
            Put("\"\n\"");
            from = at;
        }
        Put(std::string_view(m_portion).substr(from));
        Put("\"\n");
    } while (pos < value.size());
}

}  // namespace lumo_cli
