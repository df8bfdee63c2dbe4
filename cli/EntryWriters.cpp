// SPDX-License-Identifier: MIT
#include "EntryWriters.h"

#include "Csv.h"

#include "platform/Cp1252.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace lumo_cli {

namespace {

constexpr std::size_t kFlushBytes = std::size_t(1) << 20;

// What a byte becomes inside a JSON string (escaped as nlohmann-json's dump()
// escapes it, or its UTF-8 form), and inside a CSV field (its UTF-8 form).
struct CByteForm {
    char bytes[6];
    unsigned char nCount;
};

struct CByteForms {
    std::array<CByteForm, 256> json{}, csv{};
    CByteForms()
    {
        for (unsigned b = 0; b < 256; ++b) {
            const std::string utf8 = Cp1252ToUtf8(std::string(1, static_cast<char>(b)));
            std::string escaped = utf8;
            if (b < 0x20) {
                char code[8];
                std::snprintf(code, sizeof code, "\\u%04x", b);
                escaped = code;
            }
            switch (b) {
            case '\b': escaped = "\\b"; break;
            case '\t': escaped = "\\t"; break;
            case '\n': escaped = "\\n"; break;
            case '\f': escaped = "\\f"; break;
            case '\r': escaped = "\\r"; break;
            case '"': escaped = "\\\""; break;
            case '\\': escaped = "\\\\"; break;
            default: break;
            }
            Set(json[b], escaped);
            Set(csv[b], b == '"' ? std::string("\"\"") : utf8);
        }
    }
    static void Set(CByteForm& form, const std::string& bytes)
    {
        std::memcpy(form.bytes, bytes.data(), bytes.size());
        form.nCount = static_cast<unsigned char>(bytes.size());
    }
};

const CByteForms kForms;

// Appends text with each byte in its form of the table: straight into room
// for the longest form, then cut to what was written.
template <std::size_t nLongest>
void AppendForms(std::string& out, std::string_view cp1252, const std::array<CByteForm, 256>& forms, char quote)
{
    const std::size_t nOld = out.size();
    out.resize(nOld + nLongest * cp1252.size() + 2);
    char* p = out.data() + nOld;
    if (quote)
        *p++ = quote;
    for (const char c : cp1252) {
        const CByteForm& form = forms[static_cast<unsigned char>(c)];
        std::memcpy(p, form.bytes, nLongest);
        p += form.nCount;
    }
    if (quote)
        *p++ = quote;
    out.resize(static_cast<std::size_t>(p - out.data()));
}

// A text as a CSV field in UTF-8: as AppendCsvField quotes its UTF-8 form
// (the bytes that decide it are ASCII, the same in both).
void AppendCsvText(std::string& out, std::string_view cp1252)
{
    const bool bQuote = cp1252.find_first_of(",\"\r\n") != std::string_view::npos ||
                        (!cp1252.empty() && (cp1252.front() == ' ' || cp1252.front() == '\t' ||
                                             cp1252.back() == ' ' || cp1252.back() == '\t'));
    AppendForms<3>(out, cp1252, kForms.csv, bQuote ? '"' : '\0');
}

// Collects output and hands it to the sink in large pieces.
class CBufferedSink {
public:
    explicit CBufferedSink(const ByteSink& sink) : m_sink(sink) { m_out.reserve(kFlushBytes + 4096); }
    std::string& Out() { return m_out; }
    void Step()
    {
        if (m_out.size() >= kFlushBytes)
            Flush();
    }
    void Flush()
    {
        if (!m_out.empty())
            m_sink(m_out.data(), m_out.size());
        m_out.clear();
    }

private:
    const ByteSink& m_sink;
    std::string m_out;
};

}  // namespace

void AppendJsonString(std::string& out, std::string_view cp1252)
{
    AppendForms<6>(out, cp1252, kForms.json, '"');
}

void WriteJsonEntries(const std::vector<Entry>& entries, const ByteSink& sink)
{
    CBufferedSink buffered(sink);
    std::string& out = buffered.Out();
    if (entries.empty()) {
        out += "[]\n";
    } else {
        out += "[\n";
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const Entry& entry = entries[i];
            out += "  {\"name\": ";
            AppendJsonString(out, entry.name);
            out += ", \"data\": ";
            AppendJsonString(out, entry.data);
            out += ", \"extra\": ";
            AppendJsonString(out, entry.extra);
            out += i + 1 < entries.size() ? "},\n" : "}\n";
            buffered.Step();
        }
        out += "]\n";
    }
    buffered.Flush();
}

void WriteCsvEntries(const std::vector<Entry>& entries, const ByteSink& sink)
{
    CBufferedSink buffered(sink);
    std::string& out = buffered.Out();
    out += "name,data,extra\r\n";
    for (const Entry& entry : entries) {
        AppendCsvText(out, entry.name);
        out += ',';
        AppendCsvText(out, entry.data);
        out += ',';
        AppendCsvText(out, entry.extra);
        out += "\r\n";
        buffered.Step();
    }
    buffered.Flush();
}

}  // namespace lumo_cli
