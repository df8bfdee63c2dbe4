// SPDX-License-Identifier: MIT
#include "Csv.h"

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
    record.fields.clear();
    record.nLine = m_nLine;
    for (;;) {
        CCsvField field;
        const bool bMore = ReadField(field);
        record.fields.push_back(std::move(field));
        if (!bMore)
            return true;
    }
}

bool CCsvReader::ReadField(CCsvField& field)
{
    field.nLine = m_nLine;
    std::size_t pos = m_pos;
    if (pos < m_text.size() && m_text[pos] == '"') {
        const std::size_t nStartLine = m_nLine;
        ++pos;
        for (;;) {
            if (pos >= m_text.size())
                throw CCsvError(nStartLine, "the quoted field that starts here is never closed (a quote is missing)");
            const char c = m_text[pos];
            if (c == '"') {
                if (pos + 1 < m_text.size() && m_text[pos + 1] == '"') {
                    field.text += '"';
                    pos += 2;
                    continue;
                }
                ++pos;
                break;
            }
            if (c == '\n')
                ++m_nLine;
            field.text += c;
            ++pos;
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
            field.text.assign(m_text.substr(start, pos - start));
            m_pos = pos;
            return false;
        }
        const char c = m_text[pos];
        if (c == ',' || c == '\n' || c == '\r') {
            field.text.assign(m_text.substr(start, pos - start));
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
