// SPDX-License-Identifier: MIT
#include "XmlScanner.h"

#include "VectorText.h"

#include "platform/Cp1252.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace lumo_cli {

namespace {

using uchar = unsigned char;

// libxml2's limits without XML_PARSE_HUGE.
constexpr std::size_t kMaxName = 50000;      // XML_MAX_NAME_LENGTH
constexpr std::size_t kMaxText = 10000000;   // XML_MAX_TEXT_LENGTH
constexpr std::size_t kMaxDepth = 256;       // xmlParserMaxDepth: more open elements than this refused
constexpr std::size_t kProgressStep = std::size_t(8) << 20;

constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";
constexpr std::string_view kXmlnsNamespace = "http://www.w3.org/2000/xmlns/";

// What each byte is to names (none beyond ASCII here): 1 may start a name
// without ":", 2 may go on one, 4 and 8 the same with ":" allowed; 16 is a
// blank.
constexpr std::array<uchar, 256> MakeByteTable()
{
    std::array<uchar, 256> table{};
    for (int c = 'a'; c <= 'z'; ++c)
        table[c] = 15;
    for (int c = 'A'; c <= 'Z'; ++c)
        table[c] = 15;
    table['_'] = 15;
    for (int c = '0'; c <= '9'; ++c)
        table[c] = 2 | 8;
    table['-'] = 2 | 8;
    table['.'] = 2 | 8;
    table[':'] = 4 | 8;
    for (const int c : {0x20, 0x9, 0xA, 0xD})
        table[c] = 16;
    return table;
}
constexpr std::array<uchar, 256> kByteTable = MakeByteTable();

// 1 for the bytes text takes as they are: printable ASCII but "&", "<" and "]".
constexpr std::array<uchar, 256> MakePlainText()
{
    std::array<uchar, 256> table{};
    for (int c = 0x20; c < 0x80; ++c)
        table[c] = c != '&' && c != '<' && c != ']';
    return table;
}
constexpr std::array<uchar, 256> kPlainText = MakePlainText();

// 1 for the bytes an attribute value takes as they are: printable ASCII but
// quotes, "&" and "<".
constexpr std::array<uchar, 256> MakePlainValue()
{
    std::array<uchar, 256> table{};
    for (int c = 0x20; c < 0x80; ++c)
        table[c] = c != '&' && c != '<' && c != '"' && c != '\'';
    return table;
}
constexpr std::array<uchar, 256> kPlainValue = MakePlainValue();

bool IsXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// XML 1.0 fifth edition, as libxml2 checks names beyond ASCII.
bool IsNameStartChar(char32_t c)
{
    return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) ||
           (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool IsNameChar(char32_t c)
{
    return IsNameStartChar(c) || c == 0xB7 || (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

bool IsBlank(uchar c)
{
    return kByteTable[c] & 16;
}

// One character of UTF-8 at p (*p >= 0x80): its length when XML allows
// it, 0 for bytes that are no UTF-8, -1 for a character XML does not allow
// (a surrogate, U+FFFE, U+FFFF, beyond U+10FFFF). The input ends in a 0
// byte, which no continuation byte is.
int DecodeUtf8Or(const uchar* p, char32_t& c)
{
    const uchar c0 = p[0];
    if (c0 < 0xC2)
        return 0;
    if ((p[1] & 0xC0) != 0x80)
        return 0;
    if (c0 < 0xE0) {
        c = (char32_t{c0} & 0x1F) << 6 | (p[1] & 0x3F);
        return 2;
    }
    if ((p[2] & 0xC0) != 0x80)
        return 0;
    if (c0 < 0xF0) {
        c = (char32_t{c0} & 0x0F) << 12 | (char32_t{p[1]} & 0x3F) << 6 | (p[2] & 0x3F);
        return c < 0x800 ? 0 : IsXmlChar(c) ? 3 : -1;
    }
    if (c0 >= 0xF8 || (p[3] & 0xC0) != 0x80)
        return 0;
    c = (char32_t{c0} & 0x07) << 18 | (char32_t{p[1]} & 0x3F) << 12 | (char32_t{p[2]} & 0x3F) << 6 | (p[3] & 0x3F);
    return c < 0x10000 ? 0 : c <= 0x10FFFF ? 4 : -1;
}

// The same, 0 for both faults.
int DecodeUtf8(const uchar* p, char32_t& c)
{
    return std::max(DecodeUtf8Or(p, c), 0);
}

// libxml2's URI parser (RFC 3986 with its own readings), which a namespace
// name must pass.
class CUriCheck {
public:
    static bool IsUri(const std::string& text)
    {
        const char* s = text.c_str();
        if (Absolute(s))
            return true;
        return Relative(s);
    }

private:
    static bool Alpha(const char* p) { return (*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z'); }
    static bool Digit(const char* p) { return *p >= '0' && *p <= '9'; }
    static bool Hex(const char* p) { return Digit(p) || (*p >= 'a' && *p <= 'f') || (*p >= 'A' && *p <= 'F'); }
    static bool SubDelim(const char* p) { return *p != 0 && std::strchr("!$&()*+,;='", *p) != nullptr; }
    static bool Unreserved(const char* p) { return Alpha(p) || Digit(p) || *p == '-' || *p == '.' || *p == '_' || *p == '~'; }
    static bool PctEncoded(const char* p) { return *p == '%' && Hex(p + 1) && Hex(p + 2); }
    static bool Pchar(const char* p) { return Unreserved(p) || PctEncoded(p) || SubDelim(p) || *p == ':' || *p == '@'; }
    static void Next(const char*& p) { p += *p == '%' ? 3 : 1; }

    static void Fragment(const char*& p)
    {
        while (Pchar(p) || *p == '/' || *p == '?' || *p == '[' || *p == ']')
            Next(p);
    }
    static void Query(const char*& p)
    {
        while (Pchar(p) || *p == '/' || *p == '?')
            Next(p);
    }
    static bool Segment(const char*& p, char forbid, bool bEmpty)
    {
        if (!Pchar(p))
            return bEmpty;
        while (Pchar(p) && *p != forbid)
            Next(p);
        return true;
    }
    static bool Authority(const char*& p)
    {
        const char* cur = p;
        while (Unreserved(cur) || PctEncoded(cur) || SubDelim(cur) || *cur == ':')
            Next(cur);
        cur = *cur == '@' ? cur + 1 : p;
        if (*cur == '[') {
            ++cur;
            while (*cur != ']' && *cur != 0)
                ++cur;
            if (*cur != ']')
                return false;
            ++cur;
        } else {
            while (Unreserved(cur) || PctEncoded(cur) || SubDelim(cur))
                Next(cur);
        }
        if (*cur == ':') {
            // A port, at most INT_MAX.
            ++cur;
            if (!Digit(cur))
                return false;
            std::uint64_t port = 0;
            for (; Digit(cur); ++cur) {
                port = port * 10 + static_cast<std::uint64_t>(*cur - '0');
                if (port > 0x7FFFFFFF)
                    return false;
            }
        }
        p = cur;
        return true;
    }
    static bool Rest(const char*& p)
    {
        while (*p == '/') {
            ++p;
            if (!Segment(p, 0, true))
                return false;
        }
        return true;
    }
    static bool End(const char* p)
    {
        if (*p == '?') {
            ++p;
            Query(p);
        }
        if (*p == '#') {
            ++p;
            Fragment(p);
        }
        return *p == 0;
    }
    static bool Absolute(const char* p)
    {
        if (!Alpha(p))
            return false;
        ++p;
        while (Alpha(p) || Digit(p) || *p == '+' || *p == '-' || *p == '.')
            ++p;
        if (*p != ':')
            return false;
        ++p;
        return Hierarchy(p, 0);
    }
    static bool Relative(const char* p) { return Hierarchy(p, ':'); }
    // What follows an absolute reference's scheme, or a relative reference:
    // "//" and an authority, an absolute path, or a path whose first segment
    // stops at firstStop (a relative one may hold no ':' there).
    static bool Hierarchy(const char* p, char firstStop)
    {
        if (p[0] == '/' && p[1] == '/') {
            p += 2;
            if (!Authority(p) || !Rest(p))
                return false;
        } else if (*p == '/') {
            ++p;
            if (Segment(p, 0, false) && !Rest(p))
                return false;
        } else if (Pchar(p)) {
            if (!Segment(p, firstStop, false) || !Rest(p))
                return false;
        }
        return End(p);
    }
};

#ifdef LUMO_VECTOR_TEXT
#define LUMO_XML_SSSE3 1

// Up to sixteen bytes of text at p (at most nLeft of them) that are
// printable ASCII other than "&", "<" and "]", or U+00A0 to U+00FF in UTF-8,
// as Windows-1252 bytes at w (which takes sixteen bytes): how many input
// bytes it took (whole characters; 0 when the first is none of these) and,
// in nOut, how many it wrote. The input may be read sixteen bytes on.
__attribute__((target("ssse3,popcnt"))) inline std::size_t DecodeBlockSsse3(const uchar* p, std::size_t nLeft, char* w,
                                                                            std::size_t& nOut)
{
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i high = _mm_cmplt_epi8(v, _mm_setzero_si128());  // 0x80 and above
    const __m128i c3 = _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0xC3)));
    const __m128i c2 = _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0xC2)));
    const __m128i lead = _mm_or_si128(c3, c2);
    const __m128i cont = _mm_cmpeq_epi8(_mm_and_si128(v, _mm_set1_epi8(static_cast<char>(0xC0))),
                                        _mm_set1_epi8(static_cast<char>(0x80)));
    // What the careful path takes: control characters, "&", "]" and "<";
    // bytes beyond ASCII that are not these two-byte characters; a
    // continuation byte whose lead is not just before it, or a lead whose
    // continuation is not just after it; and U+0080 to U+009F.
    const __m128i control = _mm_andnot_si128(high, _mm_cmplt_epi8(v, _mm_set1_epi8(0x20)));
    const __m128i special = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('&')), _mm_cmpeq_epi8(v, _mm_set1_epi8(']'))),
                                         _mm_cmpeq_epi8(v, _mm_set1_epi8('<')));
    const __m128i other = _mm_andnot_si128(_mm_or_si128(lead, cont), high);
    const __m128i unpaired = _mm_xor_si128(cont, _mm_slli_si128(lead, 1));
    const __m128i c1 = _mm_and_si128(_mm_slli_si128(c2, 1), _mm_cmpeq_epi8(_mm_and_si128(v, _mm_set1_epi8(static_cast<char>(0xE0))),
                                                                          _mm_set1_epi8(static_cast<char>(0x80))));
    const unsigned faults = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_or_si128(control, special), _mm_or_si128(_mm_or_si128(other, unpaired), c1))));
    const unsigned leads = static_cast<unsigned>(_mm_movemask_epi8(lead));
    unsigned n = static_cast<unsigned>(__builtin_ctz(faults | (1u << std::min<std::size_t>(nLeft, 16))));
    // Everything before the first fault pairs up, but a lead just before
    // it, whose continuation is the fault or not in the block.
    if (n > 0 && (leads >> (n - 1)) & 1)
        --n;
    if (n == 0) {
        nOut = 0;
        return 0;
    }
    const unsigned range = (1u << n) - 1;
    // The continuation of C3 gains 0x40; of C2 it stays (A0 to BF).
    const __m128i out = _mm_or_si128(v, _mm_and_si128(_mm_slli_si128(c3, 1), _mm_set1_epi8(0x40)));
    const unsigned keep = ~leads & range;
    const unsigned lo = keep & 0xFF, hi = (keep >> 8) & 0xFF;
    const __m128i indices = _mm_set_epi64x(static_cast<long long>(kPackTable[hi] + 0x0808080808080808ull),
                                           static_cast<long long>(kPackTable[lo]));
    const __m128i packed = _mm_shuffle_epi8(out, indices);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(w), packed);
    const std::size_t nLo = static_cast<std::size_t>(__builtin_popcount(lo));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(w + nLo), _mm_unpackhi_epi64(packed, packed));
    nOut = nLo + static_cast<std::size_t>(__builtin_popcount(hi));
    return n;
}

#define LUMO_XML_AVX512 LUMO_AVX512_TARGET

// The same as DecodeBlockSsse3 for up to 64 bytes, with AVX-512. The bytes
// past nLeft are not read; the byte before p is (text follows a tag).
__attribute__((target(LUMO_XML_AVX512))) inline std::size_t DecodeBlockAvx512(const uchar* p, std::size_t nLeft, char* w,
                                                                          std::size_t& nOut)
{
    const std::uint64_t inside = nLeft >= 64 ? ~std::uint64_t{0} : _bzhi_u64(~std::uint64_t{0}, static_cast<unsigned>(nLeft));
    const __m512i v = _mm512_maskz_loadu_epi8(inside, p);
    const __m512i before = _mm512_maskz_loadu_epi8(inside, p - 1);
    const std::uint64_t high = _mm512_movepi8_mask(v);
    const std::uint64_t c3 = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(0xC3)));
    const std::uint64_t lead = c3 | _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(0xC2)));
    const std::uint64_t cont = _mm512_cmpeq_epi8_mask(_mm512_and_si512(v, _mm512_set1_epi8(static_cast<char>(0xC0))),
                                                      _mm512_set1_epi8(static_cast<char>(0x80)));
    // The lead before each byte; none before the first, as in the block of sixteen.
    const std::uint64_t c3Before = _mm512_cmpeq_epi8_mask(before, _mm512_set1_epi8(static_cast<char>(0xC3))) & ~std::uint64_t{1};
    const std::uint64_t c2Before = _mm512_cmpeq_epi8_mask(before, _mm512_set1_epi8(static_cast<char>(0xC2))) & ~std::uint64_t{1};
    const std::uint64_t control = _mm512_cmplt_epu8_mask(v, _mm512_set1_epi8(0x20));
    const std::uint64_t special = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('&')) |
                                  _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(']')) |
                                  _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('<'));
    const std::uint64_t other = high & ~(lead | cont);
    const std::uint64_t unpaired = cont ^ (c3Before | c2Before);
    const std::uint64_t c1 = c2Before & _mm512_cmpeq_epi8_mask(_mm512_and_si512(v, _mm512_set1_epi8(static_cast<char>(0xE0))),
                                                               _mm512_set1_epi8(static_cast<char>(0x80)));
    const std::uint64_t faults = (control | special | other | unpaired | c1) & inside;
    const std::uint64_t end = nLeft >= 64 ? 0 : std::uint64_t{1} << nLeft;
    unsigned n = static_cast<unsigned>(_tzcnt_u64(faults | end));
    if (n > 0 && (lead >> (n - 1)) & 1)
        --n;
    if (n == 0) {
        nOut = 0;
        return 0;
    }
    const std::uint64_t range = _bzhi_u64(~std::uint64_t{0}, n);
    // The continuation of C3 gains 0x40; of C2 it stays (A0 to BF).
    const __m512i out = _mm512_mask_blend_epi8(c3Before, v, _mm512_or_si512(v, _mm512_set1_epi8(0x40)));
    const std::uint64_t keep = ~lead & range;
    const __m512i packed = _mm512_maskz_compress_epi8(keep, out);
    nOut = static_cast<std::size_t>(_mm_popcnt_u64(keep));
    _mm512_mask_storeu_epi8(w, _bzhi_u64(~std::uint64_t{0}, static_cast<unsigned>(nOut)), packed);
    return n;
}
#endif

class CScanner final : public CXmlAttributeSource {
public:
    CScanner(std::string_view bytes, CXmlEvents& events)
        : m_begin(reinterpret_cast<const uchar*>(bytes.data())), m_end(m_begin + bytes.size()), m_p(m_begin),
          m_events(events)
    {
    }

    void Run(CXmlSplit* pSplit)
    {
        if (pSplit && pSplit->nFirst < pSplit->nSecond) {
            m_pSplit = pSplit;
            m_nCheck = pSplit->nFirst;
        }
        Prolog();
        Element();
        Content();
        if (!m_bTakenOver)
            End();
    }

    void RunFrom(const CXmlState& state, std::size_t offset)
    {
        m_p = m_begin + offset;
        m_nextProgress = offset + kProgressStep;
        for (const CXmlState::COpen& open : state.open)
            m_open.push_back({m_begin + open.nName, open.nNameLength, open.nBindings});
        for (const CXmlState::CBinding& binding : state.bindings)
            m_bindings.push_back({binding.prefix, binding.uri});
        m_nBindings = m_bindings.size();
        Content();
        End();
    }

    std::optional<std::string_view> Find(std::string_view name, std::string& buffer) const override
    {
        for (std::size_t i = 0; i < m_nAttributes; ++i) {
            const CAttribute& attribute = m_attributes[i];
            if (attribute.nPrefix != 0 || attribute.Local() != name)
                continue;
            const std::string_view raw(reinterpret_cast<const char*>(attribute.value), attribute.nValue);
            if (attribute.bPlain)
                return raw;
            buffer.clear();
            DecodeValue(attribute, buffer, attribute.nLibraryLength > kMaxText);
            return std::string_view(buffer);
        }
        return std::nullopt;
    }

private:
    struct CAttribute {
        const uchar* name;
        std::size_t nPrefix;  // 0: none; else the prefix's length (name[nPrefix] is ':')
        std::size_t nName;
        const uchar* value;
        std::size_t nValue;
        std::size_t nLibraryLength;  // its length as libxml2 holds it ("&" as "&#38;")
        bool bPlain;                 // the raw bytes are the value
        std::string_view uri;        // the namespace of its prefix
        std::string_view local;      // its name without the prefix
        std::string_view Prefix() const { return {reinterpret_cast<const char*>(name), nPrefix}; }
        std::string_view Local() const { return local; }
    };
    struct CBinding {
        std::string prefix;  // empty for the default namespace
        std::string uri;     // empty: none
    };
    struct COpen {
        const uchar* name;
        std::size_t nName;
        std::size_t nBindings;  // bindings in force before it
    };

    // The misc part at the end; libxml2 takes a 0x00 byte for the end.
    void End()
    {
        Misc();
        if (*m_p != 0)
            Fail(m_p, "content after the document element");
    }

    CXmlState State() const
    {
        CXmlState state;
        for (const COpen& open : m_open)
            state.open.push_back({Offset(open.name), open.nName, open.nBindings});
        for (std::size_t i = 0; i < m_nBindings; ++i)
            state.bindings.push_back({m_bindings[i].prefix, m_bindings[i].uri});
        return state;
    }

    bool SameState(const CXmlState& state) const
    {
        if (state.open.size() != m_open.size() || state.bindings.size() != m_nBindings)
            return false;
        for (std::size_t i = 0; i < m_open.size(); ++i) {
            const CXmlState::COpen& open = state.open[i];
            if (open.nNameLength != m_open[i].nName || open.nBindings != m_open[i].nBindings ||
                std::memcmp(m_begin + open.nName, m_open[i].name, open.nNameLength) != 0)
                return false;
        }
        for (std::size_t i = 0; i < m_nBindings; ++i)
            if (state.bindings[i].prefix != m_bindings[i].prefix || state.bindings[i].uri != m_bindings[i].uri)
                return false;
        return true;
    }

    // At or past the next place of the split: true when the second reader
    // took over.
    bool CheckSplit()
    {
        const bool bStartTag = Offset(m_p) == m_nCheck && m_p[0] == '<' && m_p[1] != '/' && m_p[1] != '?' && m_p[1] != '!';
        if (m_nCheck == m_pSplit->nFirst) {
            m_nCheck = kNoCheck;
            if (bStartTag) {
                m_pSplit->state = State();
                m_nCheck = m_pSplit->nSecond;
                m_pSplit->Start();
            }
            return false;
        }
        m_nCheck = kNoCheck;
        if (bStartTag && SameState(m_pSplit->state) && m_pSplit->TakeOver()) {
            m_bTakenOver = true;
            return true;
        }
        m_pSplit->Abandon();
        return false;
    }

    [[noreturn]] void Fail(const uchar* at, const char* what) const
    {
        throw CXmlNotWellFormed(Offset(at), what);
    }
    std::size_t Offset(const uchar* p) const { return static_cast<std::size_t>(p - m_begin); }

    // Compares literal with the input at p; the 0 byte at the end stops it.
    static bool At(const uchar* p, std::string_view literal)
    {
        for (const char c : literal)
            if (*p++ != static_cast<uchar>(c))
                return false;
        return true;
    }

    std::size_t SkipBlanks()
    {
        const uchar* start = m_p;
        while (IsBlank(*m_p))
            ++m_p;
        return static_cast<std::size_t>(m_p - start);
    }

    // A name at p, with ":" allowed or not: its end, or p when none starts here.
    __attribute__((always_inline)) const uchar* NameEnd(const uchar* p, bool bColon) const
    {
        // Most names are short and ASCII: here at once, the others below.
        if (kByteTable[*p] & 1) {
            const uchar* start = p;
            ++p;
            const uchar more = bColon ? 8 : 2;
            while (kByteTable[*p] & more)
                ++p;
            if (*p != 0 && *p < 0x80 && static_cast<std::size_t>(p - start) <= kMaxName)
                return p;
            p = start;
        }
        return NameEndSlow(p, bColon);
    }

    const uchar* NameEndSlow(const uchar* p, bool bColon) const
    {
        const uchar* start = p;
        for (bool bFirst = true;; bFirst = false) {
            const uchar c = *p;
            if (c < 0x80) {
                if (kByteTable[c] & (bFirst ? (bColon ? 4 : 1) : (bColon ? 8 : 2)))
                    ++p;
                else if (c == 0 && p != m_end)
                    Fail(p, "a 0x00 byte");  // decoded as a character, which it is not
                else
                    break;
            } else {
                char32_t ch;
                const int n = DecodeUtf8Or(p, ch);
                // libxml2 decodes the character after a name too: a fault
                // there is one, but bytes that are no UTF-8 within the
                // input's last four bytes.
                if (n < 0 || (n == 0 && m_end - p >= 4))
                    Fail(p, "bytes that are not a character XML allows");
                if (n == 0 || !(bFirst ? IsNameStartChar(ch) : IsNameChar(ch)))
                    break;
                p += n;
            }
            if (static_cast<std::size_t>(p - start) > kMaxName)
                Fail(start, "a name is too long");
        }
        return p;
    }

    // A qualified name: prefix (or none) and local name; fails otherwise.
    void QName(std::size_t& nPrefix, const uchar*& end)
    {
        const uchar* start = m_p;
        const uchar* first = NameEnd(start, false);
        if (first == start)
            Fail(start, "a name was expected");
        nPrefix = 0;
        if (*first == ':') {
            const uchar* second = NameEnd(first + 1, false);
            if (second == first + 1 || *second == ':')
                Fail(first, "a qualified name has a malformed prefix");
            nPrefix = static_cast<std::size_t>(first - start);
            first = second;
        }
        end = first;
    }

    // A character reference at p ("&#"): its character; p moves past it.
    char32_t CharRef(const uchar*& p) const
    {
        const uchar* at = p;
        std::uint32_t value = 0;
        int count = 0;
        if (p[2] == 'x') {
            p += 3;
            while (*p != ';') {
                if (count++ > 20)
                    count = 0;
                const uchar c = *p;
                if (c >= '0' && c <= '9')
                    value = value * 16 + (c - '0');
                else if (c >= 'a' && c <= 'f' && count < 20)
                    value = value * 16 + (c - 'a') + 10;
                else if (c >= 'A' && c <= 'F' && count < 20)
                    value = value * 16 + (c - 'A') + 10;
                else
                    Fail(at, "a malformed character reference");
                value = std::min<std::uint32_t>(value, 0x110000);
                ++p;
                ++count;
            }
        } else {
            p += 2;
            while (*p != ';') {
                const uchar c = *p;
                if (c >= '0' && c <= '9')
                    value = value * 10 + (c - '0');
                else
                    Fail(at, "a malformed character reference");
                value = std::min<std::uint32_t>(value, 0x110000);
                ++p;
            }
        }
        ++p;
        if (value >= 0x110000 || !IsXmlChar(value))
            Fail(at, "a character reference to a character XML does not allow");
        return value;
    }

    // A reference at p ("&"): its character; p moves past it.
    char32_t Reference(const uchar*& p) const
    {
        if (p[1] == '#')
            return CharRef(p);
        const uchar* at = p;
        const uchar* end = NameEnd(p + 1, true);
        if (end == p + 1 || *end != ';')
            Fail(at, "a malformed entity reference");
        const std::string_view name(reinterpret_cast<const char*>(p + 1), static_cast<std::size_t>(end - p - 1));
        p = end + 1;
        if (name == "lt")
            return '<';
        if (name == "gt")
            return '>';
        if (name == "amp")
            return '&';
        if (name == "apos")
            return '\'';
        if (name == "quot")
            return '"';
        Fail(at, "a reference to an entity that is not defined");
    }

    // An attribute value after its quote; m_p moves past the closing quote.
    void AttributeValue(CAttribute& attribute)
    {
        const uchar quote = m_p[-1];
        const uchar* start = m_p;
        const uchar* p = m_p;
        std::size_t nLibrary = 0, nLast = 0;
        bool bPlain = true, bAscii = true;
        for (;;) {
            // Printable ASCII but quotes, "&" and "<", at once (sixteen
            // bytes at a time: the input is padded for it).
            const uchar* plain = p;
#if defined(__SSE2__)
            for (;;) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
                const __m128i stops = _mm_or_si128(
                    _mm_or_si128(_mm_cmplt_epi8(v, _mm_set1_epi8(0x20)),  // also bytes >= 0x80
                                 _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\'')))),
                    _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('&')), _mm_cmpeq_epi8(v, _mm_set1_epi8('<'))));
                const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(stops));
                if (mask != 0) {
                    p += __builtin_ctz(mask);
                    break;
                }
                p += 16;
            }
#else
            while (kPlainValue[*p])
                ++p;
#endif
            if (p != plain) {
                nLibrary += static_cast<std::size_t>(p - plain);
                nLast = 1;
            }
            const uchar c = *p;
            if (c == quote)
                break;
            if (c == '<')
                Fail(p, "a \"<\" in an attribute value");
            if (c >= 0x20 && c < 0x80 && c != '&') {
                nLast = 1;
                ++p;
            } else if (c == '&') {
                const char32_t ch = Reference(p);
                nLast = ch == '&' ? 5 : Utf8Length(ch);
                bPlain = bAscii = false;
            } else if (c == '\t' || c == '\n' || c == '\r') {
                // A line end (CR LF too) is one blank.
                p += c == '\r' && p[1] == '\n' ? 2 : 1;
                nLast = 1;
                bPlain = bAscii = false;
            } else if (c >= 0x80) {
                char32_t ch;
                const int n = DecodeUtf8(p, ch);
                if (n == 0)
                    Fail(p, "an attribute value holds bytes that are not a character XML allows");
                p += n;
                nLast = static_cast<std::size_t>(n);
                bAscii = false;
            } else {
                Fail(p, "an attribute value holds a control character or ends early");
            }
            nLibrary += nLast;
        }
        // libxml2's limit: plain ASCII counted whole, others before their last character.
        if ((bAscii ? nLibrary : nLibrary - nLast) > kMaxText)
            Fail(start, "an attribute value is too long");
        attribute.value = start;
        attribute.nValue = static_cast<std::size_t>(p - start);
        attribute.nLibraryLength = nLibrary;
        attribute.bPlain = bPlain;
        m_p = p + 1;
    }

    // The value with references replaced and blanks normalised; "&" as
    // "&#38;" with bLibrary, as libxml2 holds it.
    static void DecodeValue(const CAttribute& attribute, std::string& out, bool bLibrary)
    {
        const uchar* p = attribute.value;
        const uchar* end = p + attribute.nValue;
        while (p < end) {
            const uchar c = *p;
            if (c == '&') {
                // Checked already: it cannot fail here.
                const char32_t ch = ReferenceOf(p);
                if (ch == '&' && bLibrary)
                    out += "&#38;";
                else
                    AppendUtf8(out, ch);
            } else if (c == '\t' || c == '\n' || c == '\r') {
                out += ' ';
                p += c == '\r' && p + 1 < end && p[1] == '\n' ? 2 : 1;
            } else {
                out += static_cast<char>(c);
                ++p;
            }
        }
    }

    // A reference already checked.
    static char32_t ReferenceOf(const uchar*& p)
    {
        if (p[1] == '#') {
            const bool bHex = p[2] == 'x';
            p += bHex ? 3 : 2;
            std::uint32_t value = 0;
            for (; *p != ';'; ++p) {
                const uchar c = *p;
                const std::uint32_t digit = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
                value = std::min<std::uint32_t>(value * (bHex ? 16 : 10) + digit, 0x110000);
            }
            ++p;
            return value;
        }
        const uchar* name = p + 1;
        p = static_cast<const uchar*>(std::memchr(name, ';', 8)) + 1;
        switch (name[0]) {
        case 'l': return '<';
        case 'g': return '>';
        case 'q': return '"';
        default: return name[1] == 'm' ? '&' : '\'';
        }
    }

    // The namespace a prefix is bound to; empty for none.
    const std::string* Namespace(std::string_view prefix) const
    {
        static const std::string xml(kXmlNamespace);
        if (prefix == "xml")
            return &xml;
        for (std::size_t i = m_nBindings; i-- > 0;)
            if (m_bindings[i].prefix == prefix)
                return m_bindings[i].uri.empty() ? nullptr : &m_bindings[i].uri;
        return nullptr;
    }

    void Bind(std::string_view prefix, const CAttribute& attribute, std::size_t nBefore)
    {
        std::string uri;
        DecodeValue(attribute, uri, true);
        const uchar* at = attribute.value;
        if (prefix == "xml") {
            if (uri != kXmlNamespace)
                Fail(at, "the prefix xml bound to another namespace");
            return;  // no binding, and no duplicate either
        }
        if (prefix == "xmlns")
            Fail(at, "the prefix xmlns bound");
        if (uri == kXmlNamespace)
            Fail(at, "the XML namespace bound to another prefix");
        if (uri == kXmlnsNamespace)
            Fail(at, "the xmlns namespace bound");
        if (!prefix.empty() && uri.empty())
            Fail(at, "a prefix bound to no namespace");
        if (!uri.empty() && !CUriCheck::IsUri(uri))
            Fail(at, "a namespace name that is not a URI");
        for (std::size_t i = nBefore; i < m_nBindings; ++i)
            if (m_bindings[i].prefix == prefix)
                Fail(at, "a namespace declared twice in one tag");
        if (m_nBindings == m_bindings.size())
            m_bindings.emplace_back();
        CBinding& binding = m_bindings[m_nBindings++];
        binding.prefix.assign(prefix);
        binding.uri = std::move(uri);
    }

    // A start tag at m_p ("<" and a name start); m_p moves past it.
    void StartTag()
    {
        const uchar* tag = m_p;
        if (m_open.size() > kMaxDepth)
            Fail(tag, "elements nested too deep");
        ++m_p;
        const uchar* nameStart = m_p;
        std::size_t nPrefix = 0;
        const uchar* nameEnd = nullptr;
        QName(nPrefix, nameEnd);
        m_p = nameEnd;
        const std::size_t nBefore = m_nBindings;
        m_nAttributes = 0;
        bool bBlank = SkipBlanks() > 0;
        bool bEmpty = false;
        for (;;) {
            if (*m_p == '>')
                break;
            if (m_p[0] == '/' && m_p[1] == '>') {
                bEmpty = true;
                break;
            }
            if (!bBlank)
                Fail(m_p, "a start tag is malformed");
            // The slots are kept from tag to tag, each field set anew.
            if (m_nAttributes == m_attributes.size())
                m_attributes.emplace_back();
            CAttribute& attribute = m_attributes[m_nAttributes++];
            attribute.name = m_p;
            attribute.uri = {};
            const uchar* end = nullptr;
            QName(attribute.nPrefix, end);
            attribute.nName = static_cast<std::size_t>(end - m_p);
            const std::size_t skip = attribute.nPrefix ? attribute.nPrefix + 1 : 0;
            attribute.local = {reinterpret_cast<const char*>(m_p) + skip, attribute.nName - skip};
            m_p = end;
            SkipBlanks();
            if (*m_p != '=')
                Fail(m_p, "an attribute has no value");
            ++m_p;
            SkipBlanks();
            if (*m_p != '"' && *m_p != '\'')
                Fail(m_p, "an attribute value is not quoted");
            ++m_p;
            AttributeValue(attribute);
            if (attribute.nPrefix == 0 ? attribute.nName == 5 && attribute.Local() == "xmlns"
                                       : attribute.Prefix() == "xmlns") {
                Bind(attribute.nPrefix == 0 ? std::string_view() : attribute.Local(), attribute, nBefore);
                --m_nAttributes;
            }
            // libxml2 holds a whole start tag in its buffer.
            if (static_cast<std::size_t>(m_p - tag) > kMaxText)
                Fail(tag, "a start tag is too long");
            bBlank = SkipBlanks() > 0;
        }
        // The namespaces, now that the tag's own declarations are in force.
        const std::string_view prefix(reinterpret_cast<const char*>(nameStart), nPrefix);
        const std::string* uri = Namespace(prefix);
        if (nPrefix != 0 && !uri)
            Fail(nameStart, "an element's prefix is not declared");
        for (std::size_t i = 0; i < m_nAttributes; ++i) {
            CAttribute& attribute = m_attributes[i];
            const std::string* attributeUri = nullptr;
            if (attribute.nPrefix != 0) {
                attributeUri = Namespace(attribute.Prefix());
                if (!attributeUri)
                    Fail(attribute.name, "an attribute's prefix is not declared");
                attribute.uri = *attributeUri;
            }
            for (std::size_t j = 0; j < i; ++j) {
                const CAttribute& other = m_attributes[j];
                if (other.Local() != attribute.Local())
                    continue;
                if (other.Prefix() == attribute.Prefix() || (attributeUri && other.nPrefix != 0 && other.uri == *attributeUri))
                    Fail(attribute.name, "an attribute given twice");
            }
        }
        const std::size_t nameOffset = Offset(nameStart);
        const std::string_view local(reinterpret_cast<const char*>(nameStart) + (nPrefix ? nPrefix + 1 : 0),
                                     static_cast<std::size_t>(nameEnd - nameStart) - (nPrefix ? nPrefix + 1 : 0));
        (void)nameOffset;
        m_events.OnElement(local, uri ? std::string_view(*uri) : std::string_view(), *this, bEmpty, Offset(m_p));
        if (bEmpty) {
            m_p += 2;
            m_nBindings = nBefore;
            m_events.OnEndElement();
        } else {
            ++m_p;
            // Field by field: a braced COpen went through the stack in two
            // stores read back as one, which the processor stalls on.
            COpen& open = m_open.emplace_back();
            open.name = nameStart;
            open.nName = static_cast<std::size_t>(nameEnd - nameStart);
            open.nBindings = nBefore;
        }
    }

    // An end tag at m_p ("</").
    void EndTag()
    {
        const COpen& open = m_open.back();
        const uchar* p = m_p + 2;
        if (static_cast<std::size_t>(m_end - p) < open.nName)
            Fail(m_p, "an end tag does not match its start tag");
        // Eight bytes at a time: both are in the padded input.
        for (std::size_t i = 0; i < open.nName; i += 8) {
            std::uint64_t have = 0, want = 0;
            std::memcpy(&have, p + i, 8);
            std::memcpy(&want, open.name + i, 8);
            const std::size_t nLeft = open.nName - i;
            const std::uint64_t mask = nLeft >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * nLeft)) - 1;
            if ((have ^ want) & mask)
                Fail(m_p, "an end tag does not match its start tag");
        }
        p += open.nName;
        if (*p != '>' && !IsBlank(*p))
            Fail(m_p, "an end tag does not match its start tag");
        while (IsBlank(*p))
            ++p;
        if (*p != '>')
            Fail(p, "an end tag is malformed");
        m_p = p + 1;
        m_nBindings = open.nBindings;
        m_open.pop_back();
        m_events.OnEndElement();
        if (Offset(m_p) >= m_nextProgress) {
            m_nextProgress = Offset(m_p) + kProgressStep;
            m_events.OnProgress(Offset(m_p));
        }
    }

    // The document element at m_p.
    void Element()
    {
        if (*m_p != '<')
            Fail(m_p, *m_p == 0 && m_p == m_begin ? "the document is empty" : "no document element");
        StartTag();
    }

    // Everything inside the document element, up to its end tag.
    void Content()
    {
        while (!m_open.empty()) {
            if (Offset(m_p) >= m_nCheck) [[unlikely]] {
                if (CheckSplit())
                    return;
            }
            const uchar c = *m_p;
            if (c == '<') {
                const uchar next = m_p[1];
                if (next == '/')
                    EndTag();
                else if (next == '?')
                    Instruction();
                else if (next == '!' && m_p[2] == '-' && m_p[3] == '-')
                    Comment();
                else if (next == '!' && At(m_p, "<![CDATA["))
                    Cdata();
                else
                    StartTag();
            } else if (c == 0 && m_p == m_end) {
                Fail(m_p, "the document ends inside an element");
            } else {
                Text();
            }
        }
    }

    // The next "<" from p, or the end: most texts are short, so their first
    // bytes are looked at here, sixteen at a time (the input is padded for it).
    const uchar* FindTagStart(const uchar* p) const
    {
#if defined(__SSE2__)
        for (int i = 0; i < 8; ++i) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('<'))));
            if (mask != 0) {
                const uchar* lt = p + __builtin_ctz(mask);
                return lt < m_end ? lt : m_end;
            }
            if (m_end - p <= 16)
                return m_end;
            p += 16;
        }
#endif
        const auto* lt = static_cast<const uchar*>(std::memchr(p, '<', static_cast<std::size_t>(m_end - p)));
        return lt ? lt : m_end;
    }

    // Characters and references up to the next tag.
    void Text()
    {
        CTextSink* pSink = m_events.TextSink();
        const uchar* start = m_p;
        const uchar* stop = FindTagStart(start);
        std::size_t nSaved = 0;  // bytes the text is shorter in UTF-8 than in the input
        const uchar* p = start;
        if (!pSink) {
            p = Validate(p, stop, nSaved);
        } else if (pSink->bUtf8) {
            p = Decode<true>(p, stop, *pSink, nSaved);
        } else {
#if defined(LUMO_XML_SSSE3)
            if (HaveAvx512())
                p = DecodeCp1252Avx512(p, stop, *pSink, nSaved);
            else if (HaveSsse3())
                p = DecodeCp1252Ssse3(p, stop, *pSink, nSaved);
            else
#endif
                p = Decode<false>(p, stop, *pSink, nSaved);
        }
        const std::size_t nUtf8 = static_cast<std::size_t>(p - start) - nSaved;
        if (pSink)
            pSink->nUtf8 += nUtf8;
        m_events.OnText(nUtf8, false, Offset(p));
        if (p != stop)
            Fail(p, m_failure);
        m_p = p;
    }

    // Checks text [p, stop) without keeping it; returns where it stopped
    // (stop, or the place of a fault, m_failure saying what).
    const uchar* Validate(const uchar* p, const uchar* stop, std::size_t& nSaved)
    {
        while (p < stop) {
#if defined(__SSE2__)
            // Sixteen bytes at a time while they are printable ASCII other than "&" and "]".
            while (stop - p >= 16) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
                const __m128i low = _mm_cmplt_epi8(v, _mm_set1_epi8(0x20));  // also bytes >= 0x80
                const __m128i special = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('&')),
                                                     _mm_cmpeq_epi8(v, _mm_set1_epi8(']')));
                const int mask = _mm_movemask_epi8(_mm_or_si128(low, special));
                if (mask != 0) {
                    p += __builtin_ctz(static_cast<unsigned>(mask));
                    break;
                }
                p += 16;
            }
            if (p >= stop)
                break;
#endif
            const uchar c = *p;
            if (c >= 0x20 && c < 0x80 && c != '&' && c != ']') {
                ++p;
                continue;
            }
            char32_t ch;
            const std::size_t n = Special(p, stop, ch, nSaved);
            if (n == 0)
                return p;
            p += n;
        }
        return p;
    }

    // Decodes text [p, stop) into the sink, as Windows-1252 or UTF-8.
#if defined(LUMO_XML_SSSE3)
    // The Windows-1252 decoding compiled for SSSE3, sixteen bytes at a time.
    __attribute__((target("ssse3,popcnt"))) const uchar* DecodeCp1252Ssse3(const uchar* p, const uchar* stop,
                                                                         CTextSink& sink, std::size_t& nSaved)
    {
        return Decode<false, 1>(p, stop, sink, nSaved);
    }
    // The same sixty-four bytes at a time, with AVX-512.
    __attribute__((target(LUMO_XML_AVX512))) const uchar* DecodeCp1252Avx512(const uchar* p, const uchar* stop,
                                                                           CTextSink& sink, std::size_t& nSaved)
    {
        return Decode<false, 2>(p, stop, sink, nSaved);
    }
#endif

    // nBlocks: 1 for blocks of sixteen bytes (SSSE3), 2 of sixty-four (AVX-512).
    template <bool bUtf8, int nBlocks = 0>
    __attribute__((always_inline)) const uchar* Decode(const uchar* p, const uchar* stop, CTextSink& sink,
                                                       std::size_t& nSaved)
    {
        std::string& out = sink.bytes;
        const std::size_t nOld = out.size();
        // No character is longer decoded; sixteen bytes more for the last block.
        out.resize(nOld + static_cast<std::size_t>(stop - p) + 16);
        char* const base = out.data();
        char* w = base + nOld;
        while (p < stop) {
#if defined(LUMO_XML_SSSE3)
            if constexpr (nBlocks > 0) {
                std::size_t nOut = 0, n = 0;
                if constexpr (nBlocks == 1)
                    n = DecodeBlockSsse3(p, static_cast<std::size_t>(stop - p), w, nOut);
                else
                    n = DecodeBlockAvx512(p, static_cast<std::size_t>(stop - p), w, nOut);
                if (n > 0) {
                    p += n;
                    w += nOut;
                    continue;
                }
            }
#endif
            const uchar c = *p;
            if constexpr (!bUtf8) {
                // Printable ASCII, and U+00A0 to U+00FF (most of what is not
                // ASCII, each its own byte), without a branch on which it is.
                const unsigned next = p[1];
                const unsigned plain = kPlainText[c];
                const unsigned latin1 = (unsigned{c == 0xC3} & unsigned{(next & 0xC0) == 0x80}) |
                                        (unsigned{c == 0xC2} & unsigned{next - 0xA0 < 0x20});
                if (plain | latin1) {
                    const unsigned fromLatin1 = 0x80 | ((c & 1u) << 6) | (next & 0x3F);
                    *w++ = static_cast<char>(plain ? c : fromLatin1);
                    p += 2 - plain;
                    continue;
                }
            } else if (kPlainText[c]) {
                *w++ = static_cast<char>(c);
                ++p;
                continue;
            }
            char32_t ch;
            const std::size_t n = Special(p, stop, ch, nSaved);
            if (n == 0)
                break;
            if (ch != 0) {
                if constexpr (bUtf8) {
                    if (ch < 0x80) {
                        *w++ = static_cast<char>(ch);
                    } else if (*p == '&') {
                        std::string bytes;
                        AppendUtf8(bytes, ch);
                        std::memcpy(w, bytes.data(), bytes.size());
                        w += bytes.size();
                    } else {
                        std::memcpy(w, p, n);
                        w += n;
                    }
                } else {
                    const std::optional<unsigned char> byte = ch < 0x80 ? std::optional<unsigned char>(static_cast<unsigned char>(ch)) : UnicodeToCp1252(ch);
                    if (byte) {
                        *w++ = static_cast<char>(*byte);
                    } else if (sink.bad == 0) {
                        sink.bad = ch;
                    }
                }
            }
            p += n;
        }
        out.resize(static_cast<std::size_t>(w - base));
        return p;
    }

    // Anything in text but printable ASCII other than "&" and "]": its
    // length in the input and its character (0 for a CR dropped before an
    // LF), or 0 at a fault.
    std::size_t Special(const uchar* p, const uchar* stop, char32_t& ch, std::size_t& nSaved)
    {
        const uchar c = *p;
        if (c >= 0x80) {
            const int n = DecodeUtf8(p, ch);
            if (n == 0 || p + n > stop) {
                m_failure = "text holds bytes that are not a character XML allows";
                return 0;
            }
            return static_cast<std::size_t>(n);
        }
        switch (c) {
        case '&': {
            const uchar* q = p;
            ch = Reference(q);
            const auto n = static_cast<std::size_t>(q - p);
            nSaved += n - Utf8Length(ch);
            return n;
        }
        case ']':
            if (p[1] == ']' && p[2] == '>') {
                m_failure = "\"]]>\" in text";
                return 0;
            }
            ch = ']';
            return 1;
        case '\n':
        case '\t':
            ch = c;
            return 1;
        case '\r':
            // CR LF is LF; a CR alone is LF too.
            if (p + 1 < stop && p[1] == '\n') {
                ch = 0;
                ++nSaved;
                return 1;
            }
            ch = '\n';
            return 1;
        default:
            m_failure = c == 0 && p == m_end ? "the document ends inside an element" : "text holds a control character";
            return 0;
        }
    }

    // A CDATA section at m_p.
    void Cdata()
    {
        const uchar* start = m_p + 9;
        const uchar* p = start;
        // Its end: the first "]]>".
        const uchar* close = nullptr;
        for (const uchar* q = p;;) {
            q = static_cast<const uchar*>(std::memchr(q, ']', static_cast<std::size_t>(m_end - q)));
            if (!q)
                Fail(m_p, "a CDATA section is not closed");
            if (q[1] == ']' && q[2] == '>') {
                close = q;
                break;
            }
            ++q;
        }
        CTextSink* pSink = m_events.TextSink();
        std::size_t nSaved = 0;
        std::size_t nUtf8 = 0;
        // Checked and decoded as text, but "&" and "]" are characters here.
        const uchar* q = p;
        std::string* out = pSink ? &pSink->bytes : nullptr;
        while (q < close) {
            const uchar c = *q;
            char32_t ch = c;
            std::size_t n = 1;
            if (c >= 0x80) {
                n = static_cast<std::size_t>(DecodeUtf8(q, ch));
                if (n == 0)
                    Fail(q, "a CDATA section holds bytes that are not a character XML allows");
            } else if (c == '\r') {
                if (q[1] == '\n') {
                    ++nSaved;
                    ++q;
                    continue;
                }
                ch = '\n';
            } else if (c < 0x20 && c != '\t' && c != '\n') {
                Fail(q, "a CDATA section holds a control character");
            }
            if (out) {
                if (pSink->bUtf8) {
                    if (c == '\r')
                        *out += '\n';
                    else
                        out->append(reinterpret_cast<const char*>(q), n);
                } else if (const std::optional<unsigned char> byte = UnicodeToCp1252(ch)) {
                    *out += static_cast<char>(*byte);
                } else if (pSink->bad == 0) {
                    pSink->bad = ch;
                }
            }
            q += n;
        }
        nUtf8 = static_cast<std::size_t>(close - start) - nSaved;
        if (nUtf8 > kMaxText)
            Fail(m_p, "a CDATA section is too long");
        if (pSink)
            pSink->nUtf8 += nUtf8;
        m_p = close + 3;
        m_events.OnText(nUtf8, true, Offset(m_p));
    }

    // Checks the characters of [p, end) in a comment or instruction.
    void Characters(const uchar* p, const uchar* end, const char* what)
    {
        while (p < end) {
            const uchar c = *p;
            if (c >= 0x20 && c < 0x80) {
                ++p;
            } else if (c >= 0x80) {
                char32_t ch;
                const int n = DecodeUtf8(p, ch);
                if (n == 0)
                    Fail(p, what);
                p += n;
            } else if (c == '\t' || c == '\n' || c == '\r') {
                ++p;
            } else {
                Fail(p, what);
            }
        }
    }

    // A comment at m_p ("<!--").
    void Comment()
    {
        const uchar* start = m_p + 4;
        const uchar* dashes = start;
        for (;;) {
            dashes = static_cast<const uchar*>(std::memchr(dashes, '-', static_cast<std::size_t>(m_end - dashes)));
            if (!dashes)
                Fail(m_p, "a comment is not closed");
            if (dashes[1] == '-')
                break;
            ++dashes;
        }
        if (dashes[2] != '>')
            Fail(dashes, "\"--\" in a comment");
        Characters(start, dashes, "a comment holds bytes that are not a character XML allows");
        if (static_cast<std::size_t>(dashes - start) > kMaxText)
            Fail(m_p, "a comment is too long");
        m_p = dashes + 3;
        m_events.OnComment();
    }

    // A processing instruction at m_p ("<?").
    void Instruction()
    {
        const uchar* at = m_p;
        const uchar* target = m_p + 2;
        const uchar* end = NameEnd(target, true);
        if (end == target)
            Fail(at, "an instruction has no target");
        const std::string_view name(reinterpret_cast<const char*>(target), static_cast<std::size_t>(end - target));
        if (name.size() == 3 && (name[0] | 0x20) == 'x' && (name[1] | 0x20) == 'm' && (name[2] | 0x20) == 'l')
            Fail(at, "an instruction named xml");
        if (name.find(':') != std::string_view::npos)
            Fail(at, "an instruction's name holds a colon");
        const uchar* p = end;
        if (!(p[0] == '?' && p[1] == '>')) {
            if (!IsBlank(*p))
                Fail(p, "an instruction's target is not followed by a blank");
            while (IsBlank(*p))
                ++p;
            const uchar* close = p;
            for (;;) {
                close = static_cast<const uchar*>(std::memchr(close, '?', static_cast<std::size_t>(m_end - close)));
                if (!close)
                    Fail(at, "an instruction is not closed");
                if (close[1] == '>')
                    break;
                ++close;
            }
            Characters(p, close, "an instruction holds bytes that are not a character XML allows");
            if (static_cast<std::size_t>(close - p) > kMaxText)
                Fail(at, "an instruction is too long");
            p = close;
        }
        m_p = p + 2;
        m_events.OnInstruction();
    }

    // Blanks, comments and instructions.
    void Misc()
    {
        for (;;) {
            if (IsBlank(*m_p))
                ++m_p;
            else if (m_p[0] == '<' && m_p[1] == '?')
                Instruction();
            else if (At(m_p, "<!--"))
                Comment();
            else
                break;
        }
    }

    // A quoted literal of the declaration: its inside; m_p moves past it.
    std::string_view Quoted(const char* what)
    {
        const uchar quote = *m_p;
        if (quote != '"' && quote != '\'')
            Fail(m_p, what);
        const uchar* start = ++m_p;
        while (*m_p != quote) {
            if (*m_p == 0)
                Fail(start, what);
            ++m_p;
        }
        ++m_p;
        return {reinterpret_cast<const char*>(start), static_cast<std::size_t>(m_p - 1 - start)};
    }

    // Name S? = S? in the XML declaration.
    bool Pseudo(std::string_view name)
    {
        if (!At(m_p, name))
            return false;
        m_p += name.size();
        SkipBlanks();
        if (*m_p != '=')
            Fail(m_p, "the XML declaration is malformed");
        ++m_p;
        SkipBlanks();
        return true;
    }

    void XmlDeclaration()
    {
        m_p += 5;
        SkipBlanks();
        if (!Pseudo("version"))
            Fail(m_p, "the XML declaration has no version");
        const uchar quote = *m_p;
        if (quote != '"' && quote != '\'')
            Fail(m_p, "the XML declaration is malformed");
        const uchar* v = ++m_p;
        if (!(v[0] >= '0' && v[0] <= '9' && v[1] == '.'))
            Fail(v, "the XML version is malformed");
        m_p += 2;
        while (*m_p >= '0' && *m_p <= '9')
            ++m_p;
        if (*m_p != quote)
            Fail(m_p, "the XML version is malformed");
        if (v[0] != '1')
            Fail(v, "the XML version is not 1.x");
        ++m_p;
        if (!IsBlank(*m_p)) {
            if (m_p[0] == '?' && m_p[1] == '>') {
                m_p += 2;
                return;
            }
            Fail(m_p, "the XML declaration is malformed");
        }
        SkipBlanks();
        if (Pseudo("encoding")) {
            const uchar quote2 = *m_p;
            if (quote2 != '"' && quote2 != '\'')
                Fail(m_p, "the XML declaration is malformed");
            const uchar* e = ++m_p;
            if (!((*e | 0x20) >= 'a' && (*e | 0x20) <= 'z'))
                Fail(e, "the encoding name is malformed");
            while (((*m_p | 0x20) >= 'a' && (*m_p | 0x20) <= 'z') || (*m_p >= '0' && *m_p <= '9') || *m_p == '.' ||
                   *m_p == '_' || *m_p == '-')
                ++m_p;
            if (*m_p != quote2)
                Fail(m_p, "the encoding name is malformed");
            const std::string_view encoding(reinterpret_cast<const char*>(e), static_cast<std::size_t>(m_p - e));
            std::string upper(encoding);
            for (char& c : upper)
                c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 0x20 : c);
            if (upper != "UTF-8" && upper != "UTF8")
                m_events.OnEncoding(encoding, Offset(e));
            ++m_p;
        }
        // UTF-8 needs no blank before standalone (libxml2 asks for one only
        // after an encoding it converts).
        SkipBlanks();
        if (Pseudo("standalone")) {
            const uchar quote3 = *m_p;
            if (quote3 != '"' && quote3 != '\'')
                Fail(m_p, "the XML declaration is malformed");
            ++m_p;
            if (At(m_p, "no"))
                m_p += 2;
            else if (At(m_p, "yes"))
                m_p += 3;
            else
                Fail(m_p, "standalone is neither yes nor no");
            if (*m_p != quote3)
                Fail(m_p, "the XML declaration is malformed");
            ++m_p;
        }
        SkipBlanks();
        if (!(m_p[0] == '?' && m_p[1] == '>'))
            Fail(m_p, "the XML declaration is not closed");
        m_p += 2;
    }

    void Doctype()
    {
        const uchar* at = m_p;
        m_p += 9;
        SkipBlanks();
        const uchar* nameEnd = NameEnd(m_p, true);
        if (nameEnd == m_p)
            Fail(at, "a DOCTYPE has no name");
        const std::string_view name(reinterpret_cast<const char*>(m_p), static_cast<std::size_t>(nameEnd - m_p));
        m_p = nameEnd;
        SkipBlanks();
        if (At(m_p, "SYSTEM")) {
            m_p += 6;
            if (SkipBlanks() == 0)
                Fail(m_p, "a DOCTYPE is malformed");
            SystemLiteral();
        } else if (At(m_p, "PUBLIC")) {
            m_p += 6;
            if (SkipBlanks() == 0)
                Fail(m_p, "a DOCTYPE is malformed");
            const uchar quote = *m_p;
            if (quote != '"' && quote != '\'')
                Fail(m_p, "a DOCTYPE is malformed");
            ++m_p;
            for (;; ++m_p) {
                const uchar c = *m_p;
                if (c == quote)
                    break;
                if (!(c == 0x20 || c == 0xD || c == 0xA || static_cast<unsigned>((c | 0x20) - 'a') < 26u || (c >= '0' && c <= '9') ||
                      (c != 0 && std::strchr("-'()+,./:=?;!*#@$_%", c) != nullptr)))
                    Fail(m_p, "a DOCTYPE is malformed");
            }
            ++m_p;
            if (SkipBlanks() == 0)
                Fail(m_p, "a DOCTYPE is malformed");
            SystemLiteral();
        }
        SkipBlanks();
        m_events.OnDoctype(name, Offset(m_p));
        Fail(at, "a DOCTYPE");
    }

    void SystemLiteral()
    {
        const uchar quote = *m_p;
        if (quote != '"' && quote != '\'')
            Fail(m_p, "a DOCTYPE is malformed");
        const uchar* start = ++m_p;
        const uchar* close = static_cast<const uchar*>(std::memchr(start, quote, static_cast<std::size_t>(m_end - start)));
        if (!close)
            Fail(start, "a DOCTYPE is malformed");
        Characters(start, close, "a DOCTYPE is malformed");
        m_p = close + 1;
    }

    // The first bytes, the XML declaration, and what comes before the
    // document element.
    void Prolog()
    {
        // libxml2 finds the encoding in the first four bytes.
        if (m_end - m_begin >= 4) {
            const uchar* b = m_begin;
            const auto is = [&](uchar b0, uchar b1, uchar b2, uchar b3) {
                return b[0] == b0 && b[1] == b1 && b[2] == b2 && b[3] == b3;
            };
            const char* other = is(0, 0, 0, 0x3C) || is(0x3C, 0, 0, 0) || is(0, 0, 0x3C, 0) || is(0, 0x3C, 0, 0)
                                    ? "UCS-4"
                                : is(0x4C, 0x6F, 0xA7, 0x94)                     ? "EBCDIC"
                                : is(0x3C, 0, 0x3F, 0) || (b[0] == 0xFF && b[1] == 0xFE) ? "UTF-16LE"
                                : is(0, 0x3C, 0, 0x3F) || (b[0] == 0xFE && b[1] == 0xFF) ? "UTF-16BE"
                                                                                         : nullptr;
            if (other)
                m_events.OnEncoding(other, 0);
            if (b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
                m_p += 3;
        }
        if (*m_p == 0)
            Fail(m_p, "the document is empty");
        if (At(m_p, "<?xml") && IsBlank(m_p[5]))
            XmlDeclaration();
        Misc();
        if (At(m_p, "<!DOCTYPE")) {
            Doctype();
        }
    }

    const uchar* m_begin;
    const uchar* m_end;
    const uchar* m_p;
    CXmlEvents& m_events;
    std::vector<CAttribute> m_attributes;  // the first m_nAttributes are the tag's
    std::size_t m_nAttributes = 0;
    std::vector<CBinding> m_bindings;
    std::size_t m_nBindings = 0;
    std::vector<COpen> m_open;
    const char* m_failure = "";
    std::size_t m_nextProgress = kProgressStep;
    static constexpr std::size_t kNoCheck = static_cast<std::size_t>(-1);
    CXmlSplit* m_pSplit = nullptr;
    std::size_t m_nCheck = kNoCheck;  // the next place of the split
    bool m_bTakenOver = false;
};

}  // namespace

void ScanXml(std::string_view bytes, CXmlEvents& events, CXmlSplit* pSplit)
{
    CScanner scanner(bytes, events);
    scanner.Run(pSplit);
}

void ScanXmlFrom(std::string_view bytes, const CXmlState& state, std::size_t offset, CXmlEvents& events)
{
    CScanner scanner(bytes, events);
    scanner.RunFrom(state, offset);
}

std::size_t CLineCounter::LineOf(std::size_t offset) const
{
    offset = std::min(offset, m_bytes.size());
    const char* data = m_bytes.data();
    if (offset >= m_offset)
        m_line += static_cast<std::size_t>(std::count(data + m_offset, data + offset, '\n'));
    else
        m_line -= static_cast<std::size_t>(std::count(data + offset, data + m_offset, '\n'));
    m_offset = offset;
    return m_line;
}

}  // namespace lumo_cli
