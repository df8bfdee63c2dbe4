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
#include <initializer_list>
#include <utility>

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

// The line breaking classes of Unicode's rules (UAX #14) that the characters
// of Windows-1252 have (the ambiguous ones taken as letters, as outside CJK
// encodings), and BK for the start of the text.
enum EBreakClass : unsigned char { BK, AL, CM, SP, EX, QU, PR, PO, OP, CP, CL, IS, HY, SY, NU, BA, GL, BB, IN, B2, kClasses };

constexpr EBreakClass BreakClassOf(char32_t c)
{
    if (c < 0x20 || (c >= 0x7F && c < 0xA0))
        return CM;
    if (c >= '0' && c <= '9')
        return NU;
    switch (c) {
    case ' ': return SP;
    case '!': case '?': return EX;
    case '"': case '\'': case 0xAB: case 0xBB: case 0x2018: case 0x2019: case 0x201C: case 0x201D: case 0x2039:
    case 0x203A: return QU;
    case '$': case '+': case '\\': case 0xA3: case 0xA4: case 0xA5: case 0xB1: case 0x20AC: return PR;
    case '%': case 0xA2: case 0xB0: case 0x2030: return PO;
    case '(': case '[': case '{': case 0xA1: case 0xBF: case 0x201A: case 0x201E: return OP;
    case ')': case ']': return CP;
    case '}': return CL;
    case ',': case '.': case ':': case ';': return IS;
    case '-': return HY;
    case '/': return SY;
    case '|': case 0xAD: case 0x2013: return BA;
    case 0xA0: return GL;
    case 0xB4: return BB;
    case 0x2026: return IN;
    case 0x2014: return B2;
    default: return AL;
    }
}

// Whether the rules allow a break between two characters: always (direct),
// only with spaces between them (indirect), or never.
enum class EPair : unsigned char { direct, indirect, prohibited };

constexpr EPair PairBreak(EBreakClass before, EBreakClass after)
{
    const auto in = [](EBreakClass c, std::initializer_list<EBreakClass> set) {
        return std::find(set.begin(), set.end(), c) != set.end();
    };
    const auto pair = [&](std::initializer_list<std::pair<EBreakClass, EBreakClass>> set) {
        return std::find(set.begin(), set.end(), std::pair(before, after)) != set.end();
    };
    if (in(after, {CL, CP, EX, IS, SY}) || before == OP || (before == QU && after == OP) ||
        (before == B2 && after == B2))
        return EPair::prohibited;
    if (before == GL || (after == GL && !in(before, {BA, HY})) || after == QU || before == QU ||
        in(after, {BA, HY, IN}) || before == BB)
        return EPair::indirect;
    // Letters and numbers, with their prefixes and postfixes, stay together.
    // A letter after a comma, period, colon or semicolon does not:
    // libunistring breaks there.
    if (pair({{AL, NU}, {NU, AL}, {PR, AL}, {PO, AL}, {AL, PR}, {AL, PO}, {CL, PO}, {CP, PO}, {CL, PR}, {CP, PR},
              {NU, PO}, {NU, PR}, {PO, OP}, {PO, NU}, {PR, OP}, {PR, NU}, {HY, NU}, {IS, NU}, {NU, NU}, {SY, NU},
              {AL, AL}, {AL, OP}, {NU, OP}, {CP, AL}, {CP, NU}}))
        return EPair::indirect;
    return EPair::direct;
}

// Where the breaking rules stand after a character: the class of the last
// character that was not a space, and whether spaces followed it.
struct CBreakState {
    EBreakClass last;
    bool bSpace;
    constexpr unsigned char Code() const { return static_cast<unsigned char>(2 * last + (bSpace ? 1 : 0)); }
};

// The next character, of class c: whether a break may go before it, and the state after it.
constexpr bool Step(CBreakState& state, EBreakClass c)
{
    if (c == SP) {
        state.bSpace = true;
        return false;
    }
    if (c == CM) {
        // A combining character (the controls among them) goes with what
        // it follows, but starts a text or follows spaces as a letter.
        const bool bBreak = state.last != BK && state.bSpace;
        if (state.last == BK || state.bSpace)
            state = {AL, false};
        return bBreak;
    }
    const EPair pair = PairBreak(state.last, c);
    const bool bBreak =
        state.last != BK && (pair == EPair::direct || (pair == EPair::indirect && state.bSpace));
    state = {c, false};
    return bBreak;
}

// Per state and byte of a Windows-1252 text: the state after the byte's
// form (its character, or the two of its escape) in the low bits, and
// kMayBreak when a break may go before the form. The byte after an escape's
// backslash never takes a break, but moves the rules on.
constexpr unsigned char kMayBreak = 0x80;
constexpr std::size_t kStates = 2 * kClasses;
using CBreakSteps = std::array<std::array<unsigned char, 256>, kStates>;
CBreakSteps MakeBreakSteps()
{
    CBreakSteps steps{};
    for (std::size_t code = 0; code < kStates; ++code) {
        for (unsigned b = 0; b < 256; ++b) {
            CBreakState state{static_cast<EBreakClass>(code / 2), code % 2 == 1};
            bool bBreak;
            if (const char escape = kEscapeOf[b]) {
                bBreak = Step(state, PR);  // the backslash
                Step(state, BreakClassOf(static_cast<unsigned char>(escape)));
            } else {
                bBreak = Step(state, BreakClassOf(Cp1252ToUnicode(static_cast<unsigned char>(b))));
            }
            steps[code][b] = static_cast<unsigned char>(state.Code() | (bBreak ? kMayBreak : 0));
        }
    }
    return steps;
}
const CBreakSteps kBreakSteps = MakeBreakSteps();
constexpr unsigned char kStartState = CBreakState{BK, false}.Code();

// The state after byte b and, in kMayBreak, whether a break may go before it.
inline unsigned char BreakStep(unsigned char state, unsigned char b)
{
    return kBreakSteps[state & ~kMayBreak][b];
}

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

void PossibleBreaksCp1252(std::string_view text, bool* pMayBreak)
{
    unsigned char state = kStartState;
    for (std::size_t i = 0; i < text.size(); ++i) {
        state = BreakStep(state, static_cast<unsigned char>(text[i]));
        pMayBreak[i] = (state & kMayBreak) != 0;
    }
}

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

// The same pass over a Windows-1252 line, with the breaks the rules allow
// found as it goes: each byte is one form (its character or its escape), so
// the breaks are byte indexes of raw. bLastProhibited: no break before the
// last byte (the "\n" that ends the line).
void CPoWriter::Cp1252Breaks(std::string_view raw, int startColumn, int width, bool bLastProhibited)
{
    m_breakAt.clear();
    const auto* s = reinterpret_cast<const unsigned char*>(raw.data());
    const std::size_t n = raw.size();
    const std::size_t nProhibited = bLastProhibited ? n - 1 : npos;
    const unsigned char* const columns = kCp1252Forms.columns;
    std::size_t lastBreak = npos;
    int lastColumn = startColumn, pieceWidth = 0;
    unsigned char state = kStartState;
    for (std::size_t i = 0; i < n; ++i) {
        state = BreakStep(state, s[i]);
        if ((state & kMayBreak) && i != nProhibited) {
            if (lastBreak != npos && lastColumn + pieceWidth > width) {
                if (m_breakAt.empty() || m_breakAt.back() != lastBreak)
                    m_breakAt.push_back(lastBreak);
                lastColumn = 0;
            }
            lastBreak = i;
            lastColumn += pieceWidth;
            pieceWidth = 0;
        }
        pieceWidth += columns[s[i]];
    }
    if (lastBreak != npos && lastColumn + pieceWidth > width && (m_breakAt.empty() || m_breakAt.back() != lastBreak))
        m_breakAt.push_back(lastBreak);
}

namespace {

// Whether the rules allow a break anywhere in a Windows-1252 line (but
// before its last byte with bLastProhibited).
bool MayBreakCp1252(std::string_view raw, bool bLastProhibited)
{
    const std::size_t n = raw.size() - (bLastProhibited ? 1 : 0);
    unsigned char state = kStartState;
    for (std::size_t i = 0; i < n; ++i) {
        state = BreakStep(state, static_cast<unsigned char>(raw[i]));
        if (state & kMayBreak)
            return true;
    }
    return false;
}

}  // namespace

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

        // Windows-1252 bytes are broken where they are; UTF-8 is broken as
        // its escaped form, by the library.
        const bool bCp1252 = &forms == &kCp1252Forms;
        const bool bLastProhibited = !raw.empty() && raw.back() == '\n';
        if (!bCp1252) {
            m_portion.resize(raw.size() * kMaxForm + kSlack);
            m_portion.resize(static_cast<std::size_t>(ConvertForms(m_portion.data(), raw, forms) - m_portion.data()));
            m_possible.resize(m_portion.size());
            u8_possible_linebreaks(reinterpret_cast<const std::uint8_t*>(m_portion.data()), m_portion.size(),
                                   "UTF-8", m_possible.data());
        }
        const std::size_t nProhibited = !bCp1252 && bLastProhibited ? m_portion.size() - 2 : npos;
        const auto findBreaks = [&](int column) {
            if (bCp1252)
                Cp1252Breaks(raw, column, width, bLastProhibited);
            else
                WidthBreaks(column, width, nProhibited, false);
        };
        // On the keyword's line, only whether the line breaks matters: if
        // it does, the keyword's line holds "" and the breaking starts over.
        // A Windows-1252 line, whose columns are known exactly, does not fit
        // there; as the columns before each place only grow, it breaks
        // exactly when the rules allow a break anywhere in it.
        bool bBreaks = true;
        if (bFirstLine && bCp1252) {
            bBreaks = MayBreakCp1252(raw, bLastProhibited);
        } else if (bFirstLine) {
            WidthBreaks(startColumn, width, nProhibited, true);
            bBreaks = !m_breakAt.empty();
        }
        m_breakAt.clear();
        if (bFirstLine && bBreaks) {
            putKeyword(" \"\"\n");
            startColumn = 0;
            if (!fits(startColumn))
                findBreaks(startColumn);
        } else if (!bFirstLine) {
            findBreaks(startColumn);
        }
        if (bFirstLine)
            putKeyword(" ");
        const auto putPiece = [&](std::size_t from, std::size_t to) {
            if (bCp1252)
                PutForms(raw.substr(from, to - from), forms);
            else
                Put(std::string_view(m_portion).substr(from, to - from));
        };
        Put("\"");
        std::size_t from = 0;
        for (const std::size_t at : m_breakAt) {
            putPiece(from, at);
            Put("\"\n\"");
            from = at;
        }
        putPiece(from, bCp1252 ? raw.size() : m_portion.size());
        Put("\"\n");
    } while (pos < value.size());
}

}  // namespace lumo_cli
