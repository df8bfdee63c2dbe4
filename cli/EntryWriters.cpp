// SPDX-License-Identifier: MIT
#include "EntryWriters.h"

#include "Csv.h"
#include "Utf8Out.h"

#include <array>

namespace lumo_cli {

namespace {

constexpr std::size_t kFlushBytes = std::size_t(1) << 20;

// What a byte becomes inside a JSON string: "" for itself.
std::array<std::string, 256> MakeJsonEscapes()
{
    std::array<std::string, 256> table;
    for (unsigned c = 0; c < 0x20; ++c) {
        char code[8];
        std::snprintf(code, sizeof code, "\\u%04x", c);
        table[c] = code;
    }
    table['\b'] = "\\b";
    table['\t'] = "\\t";
    table['\n'] = "\\n";
    table['\f'] = "\\f";
    table['\r'] = "\\r";
    table['"'] = "\\\"";
    table['\\'] = "\\\\";
    return table;
}

const std::array<std::string, 256> kJsonEscapes = MakeJsonEscapes();

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
    out += '"';
    std::size_t start = 0;
    for (std::size_t i = 0; i < cp1252.size(); ++i) {
        const std::string& escape = kJsonEscapes[static_cast<unsigned char>(cp1252[i])];
        if (escape.empty())
            continue;
        AppendUtf8(out, cp1252.substr(start, i - start));
        out += escape;
        start = i + 1;
    }
    AppendUtf8(out, cp1252.substr(start));
    out += '"';
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
    std::string field;  // reused: no allocation per text
    out += "name,data,extra\r\n";
    for (const Entry& entry : entries) {
        AppendCsvField(out, ToUtf8(field, entry.name));
        out += ',';
        AppendCsvField(out, ToUtf8(field, entry.data));
        out += ',';
        AppendCsvField(out, ToUtf8(field, entry.extra));
        out += "\r\n";
        buffered.Step();
    }
    buffered.Flush();
}

}  // namespace lumo_cli
