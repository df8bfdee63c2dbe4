// SPDX-License-Identifier: MIT
#include "Csv.h"

#include <algorithm>
#include <functional>

namespace lumo_cli {

bool CCsvReader::EndOfLine(std::size_t& pos)
{
    if (m_text[pos] == '\n') {
        ++pos;
    } else if (m_text[pos] == '\r' && pos + 1 < m_text.size() && m_text[pos + 1] == '\n') {
        pos += 2;
    } else {
        return false;
    }
    ++m_nLine;
    return true;
}

bool CCsvReader::Next(CCsvRecord& record)
{
    if (m_text.find_first_not_of("\r\n", m_pos) == std::string_view::npos) {
        m_pos = m_text.size();
        return false;
    }
    record.nLine = m_nLine;
    std::size_t n = 0;
    for (;;) {
        if (n == record.fields.size())
            record.fields.emplace_back();
        const bool bMore = ReadField(record.fields[n++]);
        if (!bMore) {
            record.fields.resize(n);
            // Growing the list moves the fields, and a short unquoted text
            // moves with its string: point such texts at their string again.
            const std::less<const char*> before;
            for (CCsvField& field : record.fields) {
                const char* p = field.text.data();
                if (before(p, m_text.data()) || before(m_text.data() + m_text.size(), p))
                    field.text = field.unquoted;
            }
            return true;
        }
    }
}

bool CCsvReader::ReadField(CCsvField& field)
{
    field.nLine = m_nLine;
    std::size_t pos = m_pos;
    if (pos < m_text.size() && m_text[pos] == '"') {
        const std::size_t nStartLine = m_nLine;
        ++pos;
        // Up to the closing quote; the text is the input's own bytes unless
        // a doubled quote inside it has to become one.
        const std::size_t start = pos;
        bool bDoubled = false;
        field.unquoted.clear();
        for (;;) {
            const std::size_t quote = m_text.find('"', pos);
            if (quote == std::string_view::npos)
                throw CCsvError(nStartLine, "the quoted field that starts here is never closed (a quote is missing)");
            const std::string_view piece = m_text.substr(pos, quote - pos);
            m_nLine += static_cast<std::size_t>(std::count(piece.begin(), piece.end(), '\n'));
            if (quote + 1 < m_text.size() && m_text[quote + 1] == '"') {
                if (!bDoubled)
                    field.unquoted.assign(m_text.substr(start, pos - start));
                bDoubled = true;
                field.unquoted.append(piece);
                field.unquoted += '"';
                pos = quote + 2;
                continue;
            }
            if (bDoubled)
                field.unquoted.append(piece);
            field.text = bDoubled ? std::string_view(field.unquoted) : m_text.substr(start, quote - start);
            pos = quote + 1;
            break;
        }
        // After the closing quote: the next field, the end of the record or of the input.
        bool bMore = false;
        if (pos < m_text.size()) {
            if (m_text[pos] == ',') {
                ++pos;
                bMore = true;
            } else if (!EndOfLine(pos)) {
                throw CCsvError(m_nLine, "a quoted field goes on after its closing quote (a quote inside a "
                                         "quoted field is written as two quotes)");
            }
        }
        m_pos = pos;
        return bMore;
    }

    const std::size_t start = pos;
    for (;;) {
        if (pos >= m_text.size()) {
            field.text = m_text.substr(start, pos - start);
            m_pos = pos;
            return false;
        }
        const char c = m_text[pos];
        if (c == ',' || c == '\n' || c == '\r') {
            field.text = m_text.substr(start, pos - start);
            if (c == ',') {
                m_pos = pos + 1;
                return true;
            }
            if (!EndOfLine(pos))
                throw CCsvError(m_nLine, "a carriage return outside quotes must be followed by a line feed "
                                         "(a field holding a line break must be quoted)");
            m_pos = pos;
            return false;
        }
        if (c == '"')
            throw CCsvError(m_nLine, "a quote inside a field that is not quoted (enclose the field in quotes "
                                     "and write the quote as two quotes)");
        ++pos;
    }
}

void AppendCsvField(std::string& out, std::string_view field)
{
    const bool bQuote = field.find_first_of(",\"\r\n") != std::string_view::npos ||
                        (!field.empty() && (field.front() == ' ' || field.front() == '\t' ||
                                            field.back() == ' ' || field.back() == '\t'));
    if (!bQuote) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace lumo_cli
