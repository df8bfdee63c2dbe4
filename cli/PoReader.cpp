// SPDX-License-Identifier: MIT
#include "PoReader.h"

#include "Text.h"
#include "VectorText.h"

#include "platform/Cp1252.h"
#include "platform/Utf8.h"

#include <gettext-po.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <unordered_set>

#ifdef LUMO_VECTOR_TEXT
#include <immintrin.h>
#endif

namespace lumo_cli {

namespace {

// How gettext reads the bytes inside strings: before a header has named a
// character set it knows, byte by byte; then as that character set, where
// bytes that are not a character are an error.
enum class ECharset : unsigned char { bytes, utf8, ascii, other };

// The character sets gettext knows by name (any case), and so reads files
// in; any other name it warns of and reads byte by byte.
ECharset KnownCharset(std::string_view name)
{
    static constexpr std::array<const char*, 54> kOthers = {
        "ISO-8859-1",  "ISO_8859-1",  "ISO-8859-2", "ISO_8859-2", "ISO-8859-3", "ISO_8859-3", "ISO-8859-4",
        "ISO_8859-4",  "ISO-8859-5",  "ISO_8859-5", "ISO-8859-6", "ISO_8859-6", "ISO-8859-7", "ISO_8859-7",
        "ISO-8859-8",  "ISO_8859-8",  "ISO-8859-9", "ISO_8859-9", "ISO-8859-13", "ISO_8859-13", "ISO-8859-14",
        "ISO_8859-14", "ISO-8859-15", "ISO_8859-15", "KOI8-R",    "KOI8-U",     "KOI8-T",     "CP850",
        "CP866",       "CP874",       "CP932",      "CP949",      "CP950",      "CP1250",     "CP1251",
        "CP1252",      "CP1253",      "CP1254",     "CP1255",     "CP1256",     "CP1257",     "GB2312",
        "EUC-JP",      "EUC-KR",      "EUC-TW",     "BIG5",       "BIG5-HKSCS", "GBK",        "GB18030",
        "SHIFT_JIS",   "JOHAB",       "TIS-620",    "VISCII",     "GEORGIAN-PS"};
    const auto same = [&](const char* known) {
        return name.size() == std::strlen(known) &&
               std::equal(name.begin(), name.end(), known, [](char a, char b) {
                   return (a >= 'a' && a <= 'z' ? a - 'a' + 'A' : a) == b;
               });
    };
    if (same("UTF-8"))
        return ECharset::utf8;
    if (same("ASCII") || same("ANSI_X3.4-1968") || same("US-ASCII"))
        return ECharset::ascii;
    for (const char* known : kOthers)
        if (same(known))
            return ECharset::other;
    return ECharset::bytes;
}

// gettext's name for the character set of a header: what follows its first
// "charset=" (in this case), up to a blank or the line's end; nothing
// when there is no "charset=".
std::optional<std::string_view> GettextCharsetName(std::string_view header)
{
    const std::size_t at = header.find("charset=");
    if (at == std::string_view::npos)
        return std::nullopt;
    const std::string_view rest = header.substr(at + 8);
    return rest.substr(0, std::min(rest.find_first_of(" \t\n"), rest.size()));
}

std::string Lowered(std::string_view text)
{
    std::string lowered(text);
    for (char& c : lowered)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lowered;
}

std::string_view UpToNul(std::string_view text)
{
    return text.substr(0, std::min(text.find('\0'), text.size()));
}

std::string Shortened(std::string_view text)
{
    if (text.size() <= 40)
        return std::string(text);
    std::size_t cut = 40;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;  // not inside a UTF-8 character
    return std::string(text.substr(0, cut)) + "...";
}

// Whether a comment (the text after its '#') that is a flag line says
// fuzzy: "#, fuzzy", "#,c-format, fuzzy", "#! fuzzy". Each flag line sets
// the flags anew; other comments leave them.
std::optional<bool> SaysFuzzy(std::string_view comment)
{
    comment = UpToNul(comment);
    if (comment.empty() || (comment[0] != ',' && comment[0] != '!'))
        return std::nullopt;
    constexpr std::string_view kSeparators = "\n \t\r\f\v,";
    std::size_t i = 1;
    while (i < comment.size()) {
        while (i < comment.size() && kSeparators.find(comment[i]) != std::string_view::npos)
            ++i;
        const std::size_t start = i;
        while (i < comment.size() && kSeparators.find(comment[i]) == std::string_view::npos)
            ++i;
        if (comment.substr(start, i - start) == "fuzzy")
            return true;
    }
    return false;
}

enum class ETok : unsigned char {
    eof,
    comment,
    msgctxt,
    msgid,
    msgidPlural,
    msgstr,
    domain,
    string,
    number,
    open,
    close,
    bad,      // what gettext reports as an error
    restart,  // a backslash before a line end: read again with the lines joined
};

struct CToken {
    ETok kind = ETok::eof;
    bool bObsolete = false;  // on a line begun with #~
    bool bPrevious = false;  // on a line begun with #| (or #~|)
    const char* at = nullptr;
    std::size_t nLines = 0;  // line ends before it
    unsigned long long number = 0;
    std::string_view text;  // a comment's
};

// The ASCII bytes that end a run of plain text in a string: its end, an
// escape, a line end, a NUL and the context separator.
constexpr std::array<unsigned char, 256> MakeStops()
{
    std::array<unsigned char, 256> stops{};
    for (const char c : {'"', '\\', '\n', '\0', '\x04'})
        stops[static_cast<unsigned char>(c)] = 1;
    return stops;
}
constexpr std::array<unsigned char, 256> kStops = MakeStops();

// The bytes of a text being read: room is made without filling it first.
class CBytes {
public:
    std::size_t size() const { return m_nSize; }
    bool empty() const { return m_nSize == 0; }
    void clear() { m_nSize = 0; }
    operator std::string_view() const { return {m_data.get(), m_nSize}; }
    // Room for nMore bytes at the end; Commit says how many were written.
    char* Room(std::size_t nMore)
    {
        if (m_nSize + nMore > m_nCapacity) {
            const std::size_t nCapacity = std::max({m_nSize + nMore, 2 * m_nCapacity, std::size_t(256)});
            std::unique_ptr<char[]> data(new char[nCapacity]);
            if (m_nSize)
                std::memcpy(data.get(), m_data.get(), m_nSize);
            m_data = std::move(data);
            m_nCapacity = nCapacity;
        }
        return m_data.get() + m_nSize;
    }
    void Commit(const char* end) { m_nSize = static_cast<std::size_t>(end - m_data.get()); }
    void Truncate(std::size_t nSize) { m_nSize = std::min(m_nSize, nSize); }
    void append(const char* p, std::size_t n)
    {
        if (n) {
            std::memcpy(Room(n), p, n);
            m_nSize += n;
        }
    }
    CBytes& operator+=(char c)
    {
        *Room(1) = c;
        ++m_nSize;
        return *this;
    }
    CBytes& operator=(std::string_view text)
    {
        clear();
        append(text.data(), text.size());
        return *this;
    }

private:
    std::unique_ptr<char[]> m_data;
    std::size_t m_nSize = 0, m_nCapacity = 0;
};

// A text as a string list gives it: Windows-1252 bytes while every character
// of it has one, otherwise the file's own bytes (escapes decoded).
struct CText {
    CBytes bytes;
    bool bRaw = false;
    void Clear()
    {
        bytes.clear();
        bRaw = false;
    }
    // The file's bytes.
    std::string Raw() const { return bRaw ? std::string(bytes) : Cp1252ToUtf8(bytes); }
};

bool IsKeywordChar(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
}

// Raw message texts (as the file has them, escapes decoded) and where the
// message is.
struct CRawMessage {
    bool bHasContext = false;
    bool bPlural = false;
    bool bObsolete = false;
    bool bFuzzy = false;
    bool bNul = false;  // one of its strings holds a NUL
    CText context, id, str;
    std::size_t nStartLine = 0, nStrLine = 0;
};

enum class EOutcome { done, notPo, restart, foreignCharset };

constexpr std::size_t kNoCut = static_cast<std::size_t>(-1);

class CPoParser {
public:
    CPoParser(std::string_view text, const std::vector<std::size_t>* pJoins, std::string_view fileName, bool bLines,
              const std::function<void(std::size_t)>& release, CPoReading& reading)
        : m_begin(text.data()), m_p(text.data()), m_end(text.data() + text.size()), m_pJoins(pJoins),
          m_bPot(fileName.size() >= 4 && fileName.substr(fileName.size() - 4) == ".pot"), m_bLines(bLines),
          m_release(release), m_reading(reading)
    {
    }

    EOutcome Run()
    {
        const EOutcome outcome = RunMessages();
        // The last message kept was never added: a repeat there comes first.
        if (const EOutcome added = AddPrepared(); added != EOutcome::done)
            return added;
        return outcome;
    }

    EOutcome RunMessages()
    {
        CToken tok = Next(&m_junk);
        for (;;) {
            switch (tok.kind) {
            case ETok::eof:
                return EOutcome::done;
            case ETok::comment:
                if (const std::optional<bool> bFuzzy = SaysFuzzy(tok.text))
                    m_bFuzzyNext = *bFuzzy;
                tok = Next(&m_junk);
                continue;
            case ETok::domain:
                if (tok.bPrevious)
                    return Fail(tok);
                if (!ReadDomain(tok))
                    return Stop(tok);
                continue;
            case ETok::msgctxt:
            case ETok::msgid:
                if (!ReadMessage(tok))
                    return Stop(tok);
                if (m_outcome != EOutcome::done)
                    return m_outcome;
                Release();
                continue;
            default:
                return Fail(tok);
            }
        }
    }

    // The first NUL in a string outside comments, obsolete messages and
    // previous texts: its line, or 0.
    std::size_t m_nNulLine = 0;
    // The first problem lumo has with a message, and the header.
    std::string m_messageProblem;
    std::optional<std::string> m_header;  // of the domain "messages"
    std::optional<std::string> m_otherDomain;  // the first other domain that holds a message
    std::size_t m_nStopLine = 0;
    std::string m_foreignHeader;  // the header that named a character set lumo does not follow

private:
    // --- the lexer ---

    std::size_t LineAt(const char* at, std::size_t nLines) const
    {
        std::size_t line = nLines + 1;
        if (m_pJoins) {
            const std::size_t offset = static_cast<std::size_t>(at - m_begin);
            line += static_cast<std::size_t>(std::upper_bound(m_pJoins->begin(), m_pJoins->end(), offset) -
                                             m_pJoins->begin());
        }
        return line;
    }

    // A backslash right before a line end: gettext drops both, joining the lines.
    bool Joins(const char* q) const { return !m_pJoins && q + 1 < m_end && q[0] == '\\' && q[1] == '\n'; }

    CToken Make(ETok kind, const char* at)
    {
        CToken tok;
        tok.kind = kind;
        tok.bObsolete = m_bObsolete;
        tok.bPrevious = m_bPrevious;
        tok.at = at;
        tok.nLines = m_nLines;
        return tok;
    }

    // The next token. A string is decoded and appended to *pTarget.
    CToken Next(CText* pTarget)
    {
        for (;;) {
            if (m_p == m_end)
                return Make(ETok::eof, m_p);
            const char* at = m_p;
            const auto c = static_cast<unsigned char>(*m_p);
            switch (c) {
            case '\n':
                ++m_p;
                ++m_nLines;
                m_bObsolete = m_bPrevious = false;
                continue;
            case ' ':
            case '\t':
            case '\r':
            case '\f':
            case '\v':
                ++m_p;
                continue;
            case '#': {
                ++m_p;
                if (Joins(m_p))
                    return Make(ETok::restart, at);
                if (m_p != m_end && *m_p == '~') {
                    ++m_p;
                    m_bObsolete = true;
                    if (Joins(m_p))
                        return Make(ETok::restart, at);
                    if (m_p != m_end && *m_p == '|') {
                        ++m_p;
                        m_bPrevious = true;
                    }
                    continue;
                }
                if (m_p != m_end && *m_p == '|') {
                    ++m_p;
                    m_bPrevious = true;
                    continue;
                }
                // gettext checks the character right after the '#' (and no other
                // of a comment) against the character set.
                if (m_charset != ECharset::bytes && m_p != m_end && static_cast<unsigned char>(*m_p) >= 0x80 &&
                    (m_charset == ECharset::ascii || !Character()))
                    return Make(ETok::bad, at);
                const auto* lineEnd = static_cast<const char*>(std::memchr(m_p, '\n', static_cast<std::size_t>(m_end - m_p)));
                if (lineEnd && !m_pJoins && lineEnd[-1] == '\\')
                    return Make(ETok::restart, at);
                CToken tok = Make(ETok::comment, at);
                tok.text = std::string_view(m_p, static_cast<std::size_t>((lineEnd ? lineEnd : m_end) - m_p));
                // The comment takes its line end: a #| before it still holds on the next line.
                m_p = lineEnd ? lineEnd + 1 : m_end;
                m_nLines += lineEnd ? 1 : 0;
                m_bObsolete = false;
                return tok;
            }
            case '"': {
                ++m_p;
                CToken tok = Make(ETok::string, at);
                if (!ReadString(*pTarget, tok))
                    return tok;  // bad or restart
                return tok;
            }
            case '[':
                ++m_p;
                return Make(ETok::open, at);
            case ']':
                ++m_p;
                return Make(ETok::close, at);
            case '\\':
                return Make(Joins(m_p) ? ETok::restart : ETok::bad, at);
            default:
                break;
            }
            if (c >= '0' && c <= '9') {
                CToken tok = Make(ETok::number, at);
                unsigned long long value = 0;
                while (m_p != m_end && *m_p >= '0' && *m_p <= '9') {
                    // Past the largest index anyone writes, the exact value does not matter.
                    value = std::min<unsigned long long>(value * 10 + static_cast<unsigned>(*m_p - '0'), 1ull << 62);
                    ++m_p;
                }
                if (Joins(m_p))
                    return Make(ETok::restart, at);
                tok.number = value;
                return tok;
            }
            if (IsKeywordChar(c)) {
                const char* start = m_p;
                while (m_p != m_end && IsKeywordChar(static_cast<unsigned char>(*m_p)))
                    ++m_p;
                if (Joins(m_p))
                    return Make(ETok::restart, at);
                const std::string_view word(start, static_cast<std::size_t>(m_p - start));
                ETok kind = ETok::bad;
                if (word == "msgid")
                    kind = ETok::msgid;
                else if (word == "msgstr")
                    kind = m_bPrevious ? ETok::bad : ETok::msgstr;
                else if (word == "msgctxt")
                    kind = ETok::msgctxt;
                else if (word == "msgid_plural")
                    kind = ETok::msgidPlural;
                else if (word == "domain")
                    kind = m_bPrevious ? ETok::bad : ETok::domain;
                return Make(kind, at);
            }
            return Make(ETok::bad, at);
        }
    }

    // The rest of a string after its opening quote, its escapes decoded,
    // appended to out. False, with tok made bad or restart, where gettext
    // reports an error or the lines must be joined.
    bool ReadString(CText& out, CToken& tok)
    {
        // gettext cuts each string at its first NUL (a list of strings goes on
        // with the next one); the NUL is noted for lumo, which refuses it.
        std::size_t nCut = kNoCut;
        for (;;) {
            if (!out.bRaw)
                TakeEntryText(out.bytes);
            else
                TakeRaw(out.bytes);
            if (m_p == m_end)
                return Bad(tok);  // the file ends inside the string
            const auto c = static_cast<unsigned char>(*m_p);
            if (c == '"') {
                ++m_p;
                if (nCut != kNoCut) {
                    out.bytes.Truncate(nCut);
                    // A previous text is only a comment to lumo.
                    if (!tok.bPrevious) {
                        m_bStringNul = true;
                        if (!tok.bObsolete && m_nNulLine == 0)
                            m_nNulLine = LineAt(tok.at, tok.nLines);
                    }
                }
                return true;
            }
            if (c == '\\') {
                if (!Escape(out, tok, nCut))
                    return false;
                continue;
            }
            if (c == '\n')
                return Bad(tok);
            if (c < 0x80) {
                if (!Put(out, static_cast<char>(c), nCut))
                    return Bad(tok);
                ++m_p;
                continue;
            }
            // A byte beyond ASCII that is not a Latin-1 character in UTF-8.
            const std::optional<CUtf8Char> ch = Character();
            if (m_charset == ECharset::ascii || (m_charset == ECharset::utf8 && !ch))
                return Bad(tok);
            const std::size_t nLength = ch ? ch->nLength : 1;
            const std::optional<unsigned char> byte = ch && !out.bRaw ? UnicodeToCp1252(ch->ch) : std::nullopt;
            if (byte) {
                out.bytes += static_cast<char>(*byte);
            } else {
                ToRaw(out);
                out.bytes.append(m_p, nLength);
            }
            m_p += nLength;
        }
    }

    // Plain ASCII, and Latin-1 in UTF-8, straight to Windows-1252: what
    // almost every string is made of. Stops at the first byte that is neither.
    void TakeEntryText(CBytes& out)
    {
        const bool bPairs = m_charset != ECharset::ascii && !(m_pJoins && m_charset == ECharset::utf8);
#ifdef LUMO_VECTOR_TEXT
        if (HaveAvx512()) {
            m_p = reinterpret_cast<const char*>(TakeEntryTextAvx512(reinterpret_cast<const unsigned char*>(m_p),
                                                                    reinterpret_cast<const unsigned char*>(m_end),
                                                                    out, bPairs));
            return;
        }
#endif
        // The run ends at the string's closing quote at the latest, and takes
        // at most one byte of room for each byte of the file.
        const auto* quote = static_cast<const char*>(std::memchr(m_p, '"', static_cast<std::size_t>(m_end - m_p)));
        const auto* end = reinterpret_cast<const unsigned char*>(quote ? quote : m_end);
        const auto* q = reinterpret_cast<const unsigned char*>(m_p);
        // A block's bytes are stored sixteen at a time: room for one more.
        char* w = out.Room(static_cast<std::size_t>(end - q) + 16);
        for (;;) {
#ifdef LUMO_VECTOR_TEXT
            if (HaveSsse3())
                TakeBlocksSsse3(q, reinterpret_cast<const unsigned char*>(m_end), w, bPairs);
#endif
            // Byte by byte for a while: a pair across blocks, or up to a byte
            // that is neither ASCII nor a pair.
            const unsigned char* const stop = end - q > 16 ? q + 16 : end;
            unsigned lead = 0;  // of the pair the byte before began
            while (q != stop || lead != 0) {
                const unsigned c = *q;
                const unsigned next = q + 1 != end ? q[1] : 0;
                const bool bAscii = c < 0x80 && !kStops[c];
                const bool bLead = bPairs && (next & 0xC0) == 0x80 && (c == 0xC3 || (c == 0xC2 && next >= 0xA0));
                if (!bAscii && !bLead && lead == 0) {
                    out.Commit(w);
                    m_p = reinterpret_cast<const char*>(q);
                    return;
                }
                *w = static_cast<char>(lead == 0xC3 ? c | 0x40 : c);
                w += bLead ? 0 : 1;
                lead = bLead ? c : 0;
                ++q;
            }
            if (q == end) {
                out.Commit(w);
                m_p = reinterpret_cast<const char*>(q);
                return;
            }
        }
    }

#ifdef LUMO_VECTOR_TEXT
    // Sixteen bytes at a time: ASCII without a stop, and whole Latin-1 pairs
    // (a lead byte C3, or C2 before A0 to BF). Returns at the first byte that
    // is neither (the string's closing quote at the latest), or with less
    // than a block left in the file. Writes sixteen bytes at w at most.
    __attribute__((target("ssse3,popcnt"))) static void TakeBlocksSsse3(const unsigned char*& q,
                                                                       const unsigned char* end, char*& w, bool bPairs)
    {
        const auto bytes = [](int c) { return _mm_set1_epi8(static_cast<char>(c)); };
        const auto mask = [](__m128i v) { return static_cast<unsigned>(_mm_movemask_epi8(v)); };
        while (end - q >= 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
            const unsigned stops = mask(_mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi8(v, bytes('"')), _mm_cmpeq_epi8(v, bytes('\\'))),
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, bytes('\n')), _mm_cmpeq_epi8(v, _mm_setzero_si128())),
                             _mm_cmpeq_epi8(v, bytes(4)))));
            const unsigned high = mask(v);
            unsigned bad = stops | high, leads = 0;
            __m128i c3 = _mm_setzero_si128();
            if (bPairs && high != 0) {
                c3 = _mm_cmpeq_epi8(v, bytes(0xC3));
                const unsigned c2 = mask(_mm_cmpeq_epi8(v, bytes(0xC2)));
                leads = mask(c3) | c2;
                const unsigned seconds = mask(_mm_cmplt_epi8(v, bytes(0xC0)));  // 80 to BF
                const unsigned belowA0 = mask(_mm_cmpeq_epi8(_mm_and_si128(v, bytes(0xE0)), bytes(0x80)));
                // A lead byte needs its second byte in the block, a second byte its lead.
                const unsigned pairedLeads = leads & (seconds >> 1) & ~(c2 & (belowA0 >> 1));
                bad = stops | (high & ~(pairedLeads | (seconds & (pairedLeads << 1))));
            }
            const unsigned n = static_cast<unsigned>(__builtin_ctz(bad | 0x10000));
            if (n == 0)
                return;
            // The second byte of a pair after C3 gains 0x40; lead bytes are left out.
            const __m128i decoded = _mm_or_si128(v, _mm_and_si128(_mm_slli_si128(c3, 1), bytes(0x40)));
            const unsigned keep = ~leads & ((1u << n) - 1);
            const unsigned lo = keep & 0xFF, hi = keep >> 8;
            const __m128i packed = _mm_shuffle_epi8(
                decoded, _mm_set_epi64x(static_cast<long long>(kPackTable[hi] + 0x0808080808080808ull),
                                        static_cast<long long>(kPackTable[lo])));
            const auto nLo = static_cast<unsigned>(__builtin_popcount(lo));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(w), packed);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(w + nLo), _mm_unpackhi_epi64(packed, packed));
            w += nLo + static_cast<unsigned>(__builtin_popcount(hi));
            q += n;
            // A pair across two blocks is taken with the next.
            if (n < 16 && !(n == 15 && (leads & 0x8000) != 0))
                return;
        }
    }

    // The same as the blocks of sixteen and the bytes after them, sixty-four
    // bytes at a time: no byte past end is read, and the string's closing
    // quote need not be looked for first. Returns where it stopped.
    __attribute__((target(LUMO_AVX512_TARGET))) static const unsigned char*
    TakeEntryTextAvx512(const unsigned char* q, const unsigned char* end, CBytes& out, bool bPairs)
    {
        for (;;) {
            const auto nLeft = static_cast<std::size_t>(end - q);
            const std::uint64_t inside =
                nLeft >= 64 ? ~std::uint64_t{0} : _bzhi_u64(~std::uint64_t{0}, static_cast<unsigned>(nLeft));
            // Past the end the bytes read as 0, a stop.
            const __m512i v = _mm512_maskz_loadu_epi8(inside, q);
            const std::uint64_t stops =
                _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>('"'))) | _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>('\\'))) |
                _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>('\n'))) | _mm512_cmpeq_epi8_mask(v, _mm512_setzero_si512()) |
                _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(4)));
            const std::uint64_t high = _mm512_movepi8_mask(v);
            std::uint64_t bad = stops | high, leads = 0, c3 = 0;
            if (bPairs && high != 0) {
                c3 = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(0xC3)));
                const std::uint64_t c2 = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(0xC2)));
                leads = c3 | c2;
                const std::uint64_t seconds = _mm512_cmpeq_epi8_mask(_mm512_and_si512(v, _mm512_set1_epi8(static_cast<char>(0xC0))), _mm512_set1_epi8(static_cast<char>(0x80)));
                const std::uint64_t belowA0 = _mm512_cmpeq_epi8_mask(_mm512_and_si512(v, _mm512_set1_epi8(static_cast<char>(0xE0))), _mm512_set1_epi8(static_cast<char>(0x80)));
                // A lead byte needs its second byte in the block, a second byte its lead.
                const std::uint64_t pairedLeads = leads & (seconds >> 1) & ~(c2 & (belowA0 >> 1));
                bad = stops | (high & ~(pairedLeads | (seconds & (pairedLeads << 1))));
            }
            const auto n = static_cast<unsigned>(_tzcnt_u64(bad));  // 64 for none
            if (n == 0)
                return q;
            // The second byte of a pair after C3 gains 0x40; lead bytes are left out.
            const std::uint64_t keep = ~leads & (n == 64 ? ~std::uint64_t{0} : _bzhi_u64(~std::uint64_t{0}, n));
            const __m512i decoded = _mm512_mask_blend_epi8(c3 << 1, v, _mm512_or_si512(v, _mm512_set1_epi8(static_cast<char>(0x40))));
            const auto nOut = static_cast<unsigned>(_mm_popcnt_u64(keep));
            char* w = out.Room(64);
            _mm512_mask_storeu_epi8(w, _bzhi_u64(~std::uint64_t{0}, nOut), _mm512_maskz_compress_epi8(keep, decoded));
            out.Commit(w + nOut);
            q += n;
            // A pair across two blocks (its lead the last byte) is taken with the next.
            if (n < 63)
                return q;
        }
    }
#endif

    // Bytes as they are, up to the next one that needs a look.
    void TakeRaw(CBytes& out)
    {
        const bool bHigh = m_charset != ECharset::bytes;
        const char* q = m_p;
        while (q != m_end) {
            const auto c = static_cast<unsigned char>(*q);
            if (c < 0x80 ? kStops[c] != 0 : bHigh)
                break;
            ++q;
        }
        out.append(m_p, static_cast<std::size_t>(q - m_p));
        m_p = q;
    }

    // The character of UTF-8 at m_p, when it is one (and not split by joined lines).
    std::optional<CUtf8Char> Character() const
    {
        const std::optional<CUtf8Char> ch = DecodeUtf8(std::string_view(m_p, static_cast<std::size_t>(m_end - m_p)), 0);
        if (ch && m_pJoins) {
            const std::size_t offset = static_cast<std::size_t>(m_p - m_begin);
            const auto it = std::upper_bound(m_pJoins->begin(), m_pJoins->end(), offset);
            if (it != m_pJoins->end() && *it < offset + ch->nLength)
                return std::nullopt;
        }
        return ch;
    }

    // A text turns to the file's own bytes once something in it is not plainly
    // a Windows-1252 character.
    static void ToRaw(CText& text)
    {
        if (!text.bRaw) {
            text.bytes = Cp1252ToUtf8(text.bytes);
            text.bRaw = true;
        }
    }

    bool Escape(CText& out, CToken& tok, std::size_t& nCut)
    {
        if (m_end - m_p < 2)
            return Bad(tok);
        const auto e = static_cast<unsigned char>(m_p[1]);
        unsigned value;
        const char* q = m_p + 2;
        switch (e) {
        case 'n': value = '\n'; break;
        case 't': value = '\t'; break;
        case 'b': value = '\b'; break;
        case 'r': value = '\r'; break;
        case 'f': value = '\f'; break;
        case 'v': value = '\v'; break;
        case 'a': value = '\a'; break;
        case '\\':
            // gettext reads the escaped character as any other: a backslash
            // right before a line end is dropped with it, and the escape
            // takes what follows.
            if (Joins(m_p + 1))
                return Restart(tok);
            value = '\\';
            break;
        case '"': value = '"'; break;
        case '\n':
            return m_pJoins ? Bad(tok) : Restart(tok);
        case 'x':
            if (Joins(q))
                return Restart(tok);
            if (q == m_end || HexValue(*q) < 0)
                return Bad(tok);
            // gettext keeps the low byte of any number of digits.
            value = 0;
            while (q != m_end && HexValue(*q) >= 0)
                value = (value << 4 | static_cast<unsigned>(HexValue(*q++))) & 0xFF;
            if (Joins(q))
                return Restart(tok);
            break;
        default:
            if (e < '0' || e > '7')
                return Bad(tok);  // an escape gettext does not know
            q = m_p + 1;
            value = 0;
            for (int n = 0; n < 3 && q != m_end && *q >= '0' && *q <= '7'; ++n)
                value = value * 8 + static_cast<unsigned>(*q++ - '0');
            if (q - m_p < 4 && Joins(q))
                return Restart(tok);
            value &= 0xFF;
            break;
        }
        m_p = q;
        if (value >= 0x80 || value == 0)
            ToRaw(out);
        if (!Put(out, static_cast<char>(value), nCut))
            return Bad(tok);
        return true;
    }

    // A byte of the string that may be a NUL or the context separator.
    // gettext refuses a string that holds the separator 0x04 before a NUL.
    static bool Put(CText& out, char byte, std::size_t& nCut)
    {
        if (byte == '\0' && nCut == kNoCut) {
            ToRaw(out);  // what follows is cut off, counted in the file's bytes
            nCut = out.bytes.size();
        } else if (byte == '\x04' && nCut == kNoCut) {
            return false;
        }
        out.bytes += byte;
        return true;
    }

    bool Bad(CToken& tok)
    {
        tok.kind = ETok::bad;
        return false;
    }

    bool Restart(CToken& tok)
    {
        tok.kind = ETok::restart;
        return false;
    }

    // --- the grammar ---

    EOutcome Fail(const CToken& tok)
    {
        if (tok.kind == ETok::restart)
            return EOutcome::restart;
        m_nStopLine = LineAt(tok.at ? tok.at : m_p, tok.nLines);
        return EOutcome::notPo;
    }

    // After a rule failed on tok (the token where it went wrong).
    EOutcome Stop(const CToken& tok) { return m_outcome != EOutcome::done ? m_outcome : Fail(tok); }

    // One string or more, appended to out; tok is left on the token after them.
    bool ReadStrings(CText* pOut, CToken& tok, bool bPrevious, bool bObsolete)
    {
        tok = Next(pOut);
        if (tok.kind != ETok::string || tok.bPrevious != bPrevious || tok.bObsolete != bObsolete)
            return false;
        do
            tok = Next(pOut);
        while (tok.kind == ETok::string && tok.bPrevious == bPrevious && tok.bObsolete == bObsolete);
        // A string of the other kind right after the list is a syntax error.
        return tok.kind != ETok::string;
    }

    bool Expect(const CToken& tok, ETok kind, bool bObsolete) const
    {
        return tok.kind == kind && !tok.bPrevious && tok.bObsolete == bObsolete;
    }

    bool ReadDomain(CToken& tok)
    {
        // "domain" takes exactly one string, on any line.
        CText name;
        tok = Next(&name);
        if (tok.kind != ETok::string || tok.bPrevious)
            return false;
        m_domain = name.Raw();
        m_bDefaultDomain = m_domain == "messages";
        m_bFuzzyNext = false;
        tok = Next(&m_junk);
        return true;
    }

    bool ReadMessage(CToken& tok)
    {
        CRawMessage& m = m_message;
        m.bObsolete = tok.bObsolete;
        const bool bObsolete = tok.bObsolete;
        m.bHasContext = m.bPlural = m.bNul = false;
        m.context.Clear();
        m.id.Clear();
        m.str.Clear();
        m_bStringNul = false;

        if (tok.bPrevious) {
            // The previous msgctxt, msgid and msgid_plural, after #|.
            if (tok.kind == ETok::msgctxt && !ReadStrings(&m_junk, tok, true, bObsolete))
                return false;
            if (tok.kind != ETok::msgid || !tok.bPrevious || tok.bObsolete != bObsolete ||
                !ReadStrings(&m_junk, tok, true, bObsolete))
                return false;
            if (tok.kind == ETok::msgidPlural && tok.bPrevious && tok.bObsolete == bObsolete &&
                !ReadStrings(&m_junk, tok, true, bObsolete))
                return false;
            m_junk.Clear();
        }
        m.nStartLine = LineAt(tok.at, tok.nLines);
        if (Expect(tok, ETok::msgctxt, bObsolete)) {
            m.bHasContext = true;
            if (!ReadStrings(&m.context, tok, false, bObsolete))
                return false;
        }
        if (!Expect(tok, ETok::msgid, bObsolete) || !ReadStrings(&m.id, tok, false, bObsolete))
            return false;
        if (Expect(tok, ETok::msgstr, bObsolete)) {
            m.nStrLine = LineAt(tok.at, tok.nLines);
            if (!ReadStrings(&m.str, tok, false, bObsolete))
                return false;
        } else if (Expect(tok, ETok::msgidPlural, bObsolete)) {
            m.bPlural = true;
            if (!ReadStrings(&m_junk, tok, false, bObsolete))
                return false;
            // msgstr[0], msgstr[1], ... in this order; the first form is the msgstr.
            unsigned long long n = 0;
            for (; Expect(tok, ETok::msgstr, bObsolete); ++n) {
                if (n == 0)
                    m.nStrLine = LineAt(tok.at, tok.nLines);
                if (!Expect(tok = Next(&m_junk), ETok::open, bObsolete) ||
                    !Expect(tok = Next(&m_junk), ETok::number, bObsolete) || tok.number != n ||
                    !Expect(tok = Next(&m_junk), ETok::close, bObsolete) ||
                    !ReadStrings(n == 0 ? &m.str : &m_junk, tok, false, bObsolete))
                    return false;
            }
            if (n == 0)
                return false;  // no msgstr[0]
            m_junk.Clear();
        } else {
            return false;
        }
        // Lines joined right after it could still add to its last string.
        if (tok.kind == ETok::restart)
            return false;
        m.bNul = m_bStringNul;
        m.bFuzzy = m_bFuzzyNext;
        m_bFuzzyNext = false;
        m_outcome = Take(m);
        return true;
    }

    // --- the messages ---

    // A message is added once the next one is read, so that the memory its
    // addition needs is fetched meanwhile; a repeat is found then, before
    // anything that follows it.
    EOutcome AddPrepared()
    {
        if (!m_bPrepared)
            return EOutcome::done;
        m_bPrepared = false;
        if (!m_reading.translations.Commit()) {
            m_nStopLine = m_nPreparedLine;
            return EOutcome::notPo;
        }
        if (m_bLines)
            m_reading.lines.push_back(m_nPreparedLine);
        return EOutcome::done;
    }

    EOutcome Take(const CRawMessage& m)
    {
        if (const EOutcome added = AddPrepared(); added != EOutcome::done)
            return added;
        const bool bHeader = !m.bHasContext && m.id.bytes.empty();
        if (bHeader && !m.bObsolete) {
            const std::string header = m.str.Raw();
            if (!SetCharset(header)) {
                // A character set lumo does not read files in, nor follows
                // gettext in: refused here, without gettext's reader, which
                // aborts on some (CP1255).
                m_foreignHeader = header;
                return EOutcome::foreignCharset;
            }
            if (m_bDefaultDomain && !m_header)
                m_header = header;
        }
        if (!m_bDefaultDomain && !m_otherDomain)
            m_otherDomain = m_domain;

        // The pair gettext keys a message by, and what lumo makes of it.
        const bool bMatchable = m.bHasContext && EntryText(m.context, m_nameBuffer, m_name) &&
                                EntryText(m.id, m_sourceBuffer, m_source) &&
                                !m_source.empty();
        const bool bUsed = m_bDefaultDomain && !m.bObsolete;
        if (bUsed && !bHeader && bMatchable && !m.bPlural && !m.bNul) {
            std::string_view text;
            if (!m.str.bRaw) {
                text = m.str.bytes;
            } else if (const auto problem = ToEntryText(m.str.bytes, m_text)) {
                if (!m.bFuzzy)
                    NoteProblem(m, "the translation of " + Describe(m) + ": " + problem->message);
                text = "?";  // fuzzy: counted, never used
            } else {
                text = m_text;
            }
            if (m_nSideMatchable > 0 && m_side.count(Key(m)))
                return Duplicate(m);
            m_reading.translations.Prepare({m_name, m_source, text, m.bFuzzy});
            m_bPrepared = true;
            m_nPreparedLine = m.nStartLine;
            return EOutcome::done;
        }
        if (bUsed && !bHeader) {
            if (m.bPlural)
                NoteProblem(m, "the message " + Describe(m) +
                                   " has plural forms (msgid_plural); entry texts have none, so it cannot be imported");
            else if (!bMatchable)
                m_reading.translations.AddUnmatchable();  // no entry of any file can have it
        }
        // Every other message only has to be there once.
        if (!m_side.insert(Key(m)).second)
            return Duplicate(m);
        if (m_bDefaultDomain && bMatchable) {
            if (m_reading.translations.Find(m_name, m_source) != CTranslations::npos)
                return Duplicate(m);
            ++m_nSideMatchable;
        }
        return EOutcome::done;
    }

    // A text as an entry holds it; false when it cannot be one (as gettext
    // cuts it at a NUL).
    static bool EntryText(const CText& text, std::string& buffer, std::string_view& out)
    {
        if (!text.bRaw) {
            out = text.bytes;
            return true;
        }
        if (ToEntryText(text.bytes, buffer))
            return false;
        out = buffer;
        return true;
    }

    std::string Key(const CRawMessage& m) const
    {
        std::string key = m_bDefaultDomain ? std::string() : m_domain;
        key += '\0';
        key += m.bHasContext ? '1' : '0';
        key += m.context.Raw();
        key += '\0';
        key += m.id.Raw();
        return key;
    }

    EOutcome Duplicate(const CRawMessage& m)
    {
        m_nStopLine = m.nStartLine;
        return EOutcome::notPo;
    }

    void NoteProblem(const CRawMessage& m, const std::string& problem)
    {
        if (m_messageProblem.empty())
            m_messageProblem = "line " + std::to_string(m.nStrLine) + ": " + problem;
    }

    static std::string Describe(const CRawMessage& m)
    {
        const std::string context = m.context.Raw();
        return DescribePoMessage(m.bHasContext ? &context : nullptr, m.id.Raw());
    }

    // A header as gettext takes it: its character set is the one the rest
    // of the file is read in. False for one lumo does not read files in.
    bool SetCharset(std::string_view header)
    {
        const std::optional<std::string_view> name = GettextCharsetName(header);
        if (!name) {
            if (!m_bPot)
                m_reading.warnings.push_back("Charset missing in header.\n"
                                             "Message conversion to user's charset will not work.\n");
            return true;
        }
        const ECharset charset = KnownCharset(*name);
        if (charset == ECharset::bytes) {
            if (!(m_bPot && *name == "CHARSET"))
                m_reading.warnings.push_back("Charset \"" + std::string(*name) +
                                             "\" is not a portable encoding name.\n"
                                             "Message conversion to user's charset might not work.\n");
            return true;
        }
        if (charset == ECharset::other)
            return false;
        m_charset = charset;
        return true;
    }

    void Release()
    {
        constexpr std::size_t kStep = std::size_t(8) << 20;
        const auto done = static_cast<std::size_t>(m_p - m_begin);
        if (m_release && !m_pJoins && done - m_nReleased >= kStep) {
            m_nReleased = done & ~(kStep - 1);
            m_release(m_nReleased);
        }
    }

    const char* const m_begin;
    const char* m_p;
    const char* const m_end;
    const std::vector<std::size_t>* const m_pJoins;  // the offsets where lines were joined; null: none
    const bool m_bPot, m_bLines;
    // Held by value: the parser that reads the text again is given nullptr,
    // a temporary that would be gone before the parser is.
    const std::function<void(std::size_t)> m_release;
    CPoReading& m_reading;

    std::size_t m_nLines = 0;
    bool m_bObsolete = false, m_bPrevious = false;
    ECharset m_charset = ECharset::bytes;
    bool m_bStringNul = false;
    bool m_bFuzzyNext = false;
    std::string m_domain = "messages";
    bool m_bDefaultDomain = true;
    EOutcome m_outcome = EOutcome::done;
    bool m_bPrepared = false;  // a message waits to be added
    std::size_t m_nPreparedLine = 0;
    std::size_t m_nReleased = 0;

    CRawMessage m_message;
    CText m_junk;
    std::string m_nameBuffer, m_sourceBuffer, m_text;
    std::string_view m_name, m_source;
    std::unordered_set<std::string> m_side;
    std::size_t m_nSideMatchable = 0;
};

}  // namespace

void CheckPoHeaderText(std::string_view header)
{
    // Content-Type's value, as gettext's po_header_field gives it.
    const std::string text(UpToNul(header));
    char* contentType = po_header_field(text.c_str(), "Content-Type");
    std::string charset = contentType ? contentType : "";
    std::free(contentType);
    const std::size_t at = Lowered(charset).find("charset=");
    charset = at == std::string::npos ? "" : charset.substr(at + 8);
    charset = charset.substr(0, charset.find_first_of(" ;\t"));
    const std::string lowered = Lowered(charset);
    if (charset.empty())
        throw CImportError("the header names no character set; it needs the line "
                           "\"Content-Type: text/plain; charset=UTF-8\\n\"");
    // CHARSET is the placeholder of an unfilled template; its texts are ASCII or UTF-8.
    if (lowered != "utf-8" && lowered != "utf8" && lowered != "charset" && lowered != "ascii" &&
        lowered != "us-ascii")
        throw CImportError("the header's Content-Type gives the character set \"" + charset +
                           "\"; lumo reads UTF-8 (convert it with: msgconv --to-code=UTF-8)");
    // gettext reads the file in the character set of the header's first
    // "charset=", which an earlier line may name too.
    const std::optional<std::string_view> name = GettextCharsetName(text);
    if (name && KnownCharset(*name) == ECharset::other)
        throw CImportError("the header names the character set \"" + std::string(*name) +
                           "\" before its Content-Type, and gettext reads the file in that one; lumo reads UTF-8 "
                           "(convert it with: msgconv --to-code=UTF-8)");
}

std::string DescribePoMessage(const std::string* pContext, std::string_view id)
{
    // Quoted as PO writes them, control characters escaped.
    return (pContext ? "msgctxt " + Quoted(Shortened(*pContext)) + " " : std::string()) + "msgid " +
           Quoted(Shortened(id));
}

CPoReading ReadPoText(std::string_view input, std::string_view fileName, bool bLines,
                      const std::function<void(std::size_t)>& release)
{
    CPoReading reading;
    std::string joined;
    std::vector<std::size_t> joins;
    std::unique_ptr<CPoParser> parser =
        std::make_unique<CPoParser>(input, nullptr, fileName, bLines, release, reading);
    EOutcome outcome = parser->Run();
    if (outcome == EOutcome::restart) {
        // gettext drops every backslash that ends a line, with the line end,
        // wherever it is: the text without them is read again.
        reading = CPoReading{};
        joined.reserve(input.size());
        for (std::size_t i = 0; i < input.size(); ++i) {
            if (input[i] == '\\' && i + 1 < input.size() && input[i + 1] == '\n') {
                joins.push_back(joined.size());
                ++i;
                continue;
            }
            joined += input[i];
        }
        parser = std::make_unique<CPoParser>(joined, &joins, fileName, bLines, nullptr, reading);
        outcome = parser->Run();
    }
    if (outcome == EOutcome::foreignCharset) {
        reading.verdict = CPoReading::EVerdict::refused;
        reading.bForeignCharset = true;
        try {
            CheckPoHeaderText(parser->m_foreignHeader);
            reading.refusal = "a header names a character set lumo does not read; lumo reads UTF-8";
        } catch (const CImportError& e) {
            reading.refusal = e.what();
        }
        reading.translations = CTranslations();
        reading.lines.clear();
        return reading;
    }
    if (outcome == EOutcome::notPo) {
        reading.verdict = CPoReading::EVerdict::notPo;
        reading.nStopLine = parser->m_nStopLine;
        return reading;
    }
    // Valid PO; lumo's own rules, in this order.
    try {
        if (parser->m_nNulLine != 0)
            throw CImportError("line " + std::to_string(parser->m_nNulLine) +
                               ": a text holds a NUL character (U+0000, written \\0 or \\x00), which an entry file "
                               "cannot hold");
        if (parser->m_otherDomain)
            throw CImportError("the file has messages in more than one domain (\"" + *parser->m_otherDomain +
                               "\"); lumo reads files of one domain");
        if (!parser->m_header)
            throw CImportError("the file has no header entry (msgid \"\"), so its character set is unknown; "
                               "add the header of the template lumo wrote");
        CheckPoHeaderText(*parser->m_header);
        if (!parser->m_messageProblem.empty())
            throw CImportError(parser->m_messageProblem);
    } catch (const CImportError& e) {
        reading.verdict = CPoReading::EVerdict::refused;
        reading.refusal = e.what();
        reading.translations = CTranslations();
        reading.lines.clear();
    }
    return reading;
}

}  // namespace lumo_cli
