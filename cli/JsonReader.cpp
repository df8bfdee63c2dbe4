// SPDX-License-Identifier: MIT
#include "JsonReader.h"
#include "Text.h"

#include "platform/Cp1252.h"

#include <array>
#include <cstring>
#include <string>

namespace lumo_cli {

namespace {

// What the bytes of a JSON string's inside are to the first scan: 0 for a
// byte copied as it is, 1 for the closing quote, a backslash, a control
// character (refused unless escaped) and every byte of UTF-8 beyond ASCII.
constexpr std::array<unsigned char, 256> MakeStops()
{
    std::array<unsigned char, 256> stops{};
    for (int c = 0; c < 0x20; ++c)
        stops[c] = 1;
    stops['"'] = 1;
    stops['\\'] = 1;
    for (int c = 0x80; c < 0x100; ++c)
        stops[c] = 1;
    return stops;
}
constexpr std::array<unsigned char, 256> kStops = MakeStops();

constexpr std::array<const char*, 3> kKeys = {"name", "data", "extra"};

class CJsonEntryReader {
public:
    explicit CJsonEntryReader(std::string_view input)
        : m_p(input.data()), m_begin(input.data()), m_end(input.data() + input.size())
    {
    }

    bool Read(CEntryStore& entries)
    {
        // The library skips a UTF-8 byte order mark at the very start.
        if (m_end - m_p >= 3 && std::memcmp(m_p, "\xEF\xBB\xBF", 3) == 0)
            m_p += 3;
        SkipBlanks();
        if (!Take('['))
            return false;
        SkipBlanks();
        if (!Take(']')) {
            for (;;) {
                if (!ReadEntry())
                    return false;
                entries.Append(m_texts[0], m_texts[1], m_texts[2]);
                SkipBlanks();
                if (Take(']'))
                    break;
                if (!Take(','))
                    return false;
                SkipBlanks();
            }
        }
        SkipBlanks();
        // The library's lexer takes a 0x00 byte for the end of the input.
        return m_p == m_end || *m_p == '\0';
    }

    std::size_t Offset() const { return static_cast<std::size_t>(m_p - m_begin); }

private:
    void SkipBlanks()
    {
        while (m_p != m_end && (*m_p == ' ' || *m_p == '\n' || *m_p == '\r' || *m_p == '\t'))
            ++m_p;
    }

    bool Take(char c)
    {
        if (m_p == m_end || *m_p != c)
            return false;
        ++m_p;
        return true;
    }

    // One object into m_texts: its name, data and extra text.
    bool ReadEntry()
    {
        if (!Take('{'))
            return false;
        bool seen[3] = {};
        for (int n = 0; n < 3; ++n) {
            SkipBlanks();
            if (n > 0) {
                if (!Take(','))
                    return false;
                SkipBlanks();
            }
            // A key is one of three short words; anything longer is refused.
            if (!Take('"') || !ReadString(m_key))
                return false;
            std::size_t k = 0;
            while (k < kKeys.size() && m_key != kKeys[k])
                ++k;
            if (k == kKeys.size() || seen[k])
                return false;
            seen[k] = true;
            SkipBlanks();
            if (!Take(':'))
                return false;
            SkipBlanks();
            if (!Take('"') || !ReadString(m_texts[k]))
                return false;
        }
        SkipBlanks();
        return Take('}');
    }

    // The rest of a string after its opening quote, as Windows-1252 bytes,
    // into out. Refuses what the library refuses (a control character, a
    // bad escape, UTF-8 that is not well formed) and what an entry cannot
    // hold (a character Windows-1252 has no byte for, a NUL).
    bool ReadString(std::string& out)
    {
        // Most texts are plain: found in one scan and copied once.
        const char* start = m_p;
        const char* p = m_p;
        while (p != m_end && !kStops[static_cast<unsigned char>(*p)])
            ++p;
        if (p != m_end && *p == '"') {
            out.assign(start, p);
            m_p = p + 1;
            return true;
        }
        // Otherwise decoded into a scratch buffer as long as the string's
        // bytes (no character takes more room decoded), then copied once into
        // a text of its size. Skipping what follows each backslash finds the
        // closing quote of any string that is well formed.
        const char* close = p;
        for (;;) {
            close = static_cast<const char*>(std::memchr(close, '"', static_cast<std::size_t>(m_end - close)));
            if (!close) {
                close = m_end;
                break;
            }
            // Escaped when an odd number of backslashes comes before it.
            const char* b = close;
            while (b > p && b[-1] == '\\')
                --b;
            if ((close - b) % 2 == 0)
                break;
            ++close;
        }
        m_scratch.resize(static_cast<std::size_t>(close - start));
        char* w = m_scratch.data();
        std::memcpy(w, start, static_cast<std::size_t>(p - start));
        w += p - start;
        while (p < close) {
            // ASCII, and U+00A0 to U+00FF (most of what is not ASCII, each its
            // own byte), without a branch on which it is.
            const auto c = static_cast<unsigned char>(*p);
            const unsigned next = p + 1 < m_end ? static_cast<unsigned char>(p[1]) : 0;
            const bool bPlain = !kStops[c];
            const bool bLatin1 = (c == 0xC3 && (next & 0xC0) == 0x80) || (c == 0xC2 && next >= 0xA0 && next <= 0xBF);
            if (bPlain || bLatin1) {
                *w++ = static_cast<char>(bPlain ? c : c == 0xC3 ? 0xC0 | (next & 0x3F) : next);
                p += bPlain ? 1 : 2;
                continue;
            }
            if (c < 0x20 || c == '"')
                return Stop(p);
            if (!(c == '\\' ? Escape(p, w) : Utf8(p, w)))
                return false;
        }
        if (p != close || close == m_end)
            return Stop(p);
        out.assign(m_scratch.data(), static_cast<std::size_t>(w - m_scratch.data()));
        m_p = close + 1;
        return true;
    }

    bool Stop(const char* p)
    {
        m_p = p;
        return false;
    }

    // One character of Windows-1252 for a code point, or a refusal at p.
    bool Put(char32_t ch, const char* p, char*& w)
    {
        const std::optional<unsigned char> byte = ch == 0 ? std::nullopt : UnicodeToCp1252(ch);
        if (!byte)
            return Stop(p);
        *w++ = static_cast<char>(*byte);
        return true;
    }

    bool Escape(const char*& p, char*& w)
    {
        const char* at = p;
        if (m_end - p < 2)
            return Stop(p);
        char32_t ch;
        switch (p[1]) {
        case '"': ch = '"'; break;
        case '\\': ch = '\\'; break;
        case '/': ch = '/'; break;
        case 'b': ch = '\b'; break;
        case 'f': ch = '\f'; break;
        case 'n': ch = '\n'; break;
        case 'r': ch = '\r'; break;
        case 't': ch = '\t'; break;
        case 'u': {
            if (m_end - p < 6)
                return Stop(p);
            ch = 0;
            for (int i = 2; i < 6; ++i) {
                const int v = HexValue(p[i]);
                if (v < 0)
                    return Stop(p);
                ch = ch << 4 | static_cast<char32_t>(v);
            }
            // A surrogate (paired or not) never stands for a Windows-1252
            // character, so it is refused either way.
            if (ch >= 0xD800 && ch <= 0xDFFF)
                return Stop(p);
            p += 6;
            return Put(ch, at, w);
        }
        default:
            return Stop(p);
        }
        p += 2;
        return Put(ch, at, w);
    }

    // A character of two or three bytes of well-formed UTF-8 (every
    // character Windows-1252 holds beyond ASCII is one).
    bool Utf8(const char*& p, char*& w)
    {
        const auto* u = reinterpret_cast<const unsigned char*>(p);
        const std::ptrdiff_t left = m_end - p;
        auto trail = [&](int i, unsigned char lo = 0x80, unsigned char hi = 0xBF) {
            return i < left && u[i] >= lo && u[i] <= hi;
        };
        char32_t ch;
        int n;
        if (u[0] >= 0xC2 && u[0] <= 0xDF && trail(1)) {
            ch = (char32_t{u[0]} & 0x1F) << 6 | (u[1] & 0x3F);
            n = 2;
        } else if (u[0] >= 0xE0 && u[0] <= 0xEF &&
                   trail(1, u[0] == 0xE0 ? 0xA0 : 0x80, u[0] == 0xED ? 0x9F : 0xBF) && trail(2)) {
            ch = (char32_t{u[0]} & 0x0F) << 12 | (char32_t{u[1]} & 0x3F) << 6 | (u[2] & 0x3F);
            n = 3;
        } else {
            return Stop(p);
        }
        if (!Put(ch, p, w))
            return false;
        p += n;
        return true;
    }

    const char* m_p;
    const char* m_begin;
    const char* m_end;
    std::string m_key, m_scratch;
    std::string m_texts[3];  // reused from entry to entry: no allocation per text
};

}  // namespace

bool ReadJsonEntries(std::string_view input, CEntryStore& entries, std::size_t* pStop)
{
    entries = CEntryStore();
    // No text is longer decoded than in the input: the block is never copied as it grows.
    entries.Reserve(0, input.size());
    CJsonEntryReader reader(input);
    const bool ok = reader.Read(entries);
    if (!ok && pStop)
        *pStop = reader.Offset();
    return ok;
}

}  // namespace lumo_cli
