// SPDX-License-Identifier: MIT
#include "XliffWriter.h"

#include "platform/Cp1252.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>
#include <string>

namespace lumo_cli {

namespace {

constexpr std::size_t kBufferBytes = std::size_t(1) << 20;
// Every byte's form is at most 6 bytes ("&quot;"); a form is copied as 8.
constexpr std::size_t kFormBytes = 8;
constexpr std::size_t kMaxForm = 6;
// Input is escaped in pieces of this size, each with room for its worst case.
constexpr std::size_t kPieceBytes = 16384;

struct CForm {
    char bytes[kFormBytes - 1];
    unsigned char nCount;
};
static_assert(sizeof(CForm) == kFormBytes);

using CTable = std::array<CForm, 256>;

const char* EscapeOf(unsigned char byte, bool bAttribute)
{
    switch (byte) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    case '\r': return "&#13;";
    case '\n': return bAttribute ? "&#10;" : nullptr;
    case '\t': return bAttribute ? "&#9;" : nullptr;
    default: return nullptr;
    }
}

CTable MakeTable(bool bAttribute, bool bCp1252)
{
    CTable table{};
    for (unsigned b = 0; b < 256; ++b) {
        std::string form(1, static_cast<char>(b));
        if (const char* escape = EscapeOf(static_cast<unsigned char>(b), bAttribute))
            form = escape;
        else if (bCp1252 && b >= 0x80)
            form = Cp1252ToUtf8(form);
        std::memcpy(table[b].bytes, form.data(), form.size());
        table[b].nCount = static_cast<unsigned char>(form.size());
    }
    return table;
}

// [attribute][cp1252]
const CTable kTables[2][2] = {{MakeTable(false, false), MakeTable(false, true)},
                              {MakeTable(true, false), MakeTable(true, true)}};

}  // namespace

CXliffWriter::CXliffWriter(const ByteSink& sink)
    : m_sink(sink), m_buffer(new char[kBufferBytes + kFormBytes]), m_p(m_buffer.get()),
      m_end(m_buffer.get() + kBufferBytes)
{
}

void CXliffWriter::StartDocument()
{
    Append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
}

void CXliffWriter::End()
{
    if (m_open.empty())
        throw std::logic_error("the XML writer has no element to end");
    if (m_bStartTagOpen) {
        Append("/>");
        m_bStartTagOpen = false;
    } else {
        Append("</");
        Append(m_open.back());
        Append(">");
    }
    m_open.pop_back();
}

void CXliffWriter::EndDocument()
{
    while (!m_open.empty())
        End();
    Append("\n");
}

void CXliffWriter::Flush()
{
    if (m_p != m_buffer.get())
        m_sink(m_buffer.get(), static_cast<std::size_t>(m_p - m_buffer.get()));
    m_p = m_buffer.get();
}

void CXliffWriter::Reserve(std::size_t nBytes)
{
    if (static_cast<std::size_t>(m_end - m_p) < nBytes)
        Flush();
}

void CXliffWriter::AppendInPieces(std::string_view bytes)
{
    while (!bytes.empty()) {
        Reserve(1);
        const std::size_t n = std::min(bytes.size(), static_cast<std::size_t>(m_end - m_p));
        std::memcpy(m_p, bytes.data(), n);
        m_p += n;
        bytes.remove_prefix(n);
    }
}

void CXliffWriter::ThrowAttributeOutsideStartTag()
{
    throw std::logic_error("an XML attribute outside a start tag");
}

void CXliffWriter::Escaped(std::string_view bytes, ETable table, bool bCp1252)
{
    const CTable& forms = kTables[table == ETable::attribute][bCp1252];
    while (!bytes.empty()) {
        const std::size_t n = std::min(bytes.size(), kPieceBytes);
        Reserve(n * kMaxForm);
        // Every form is copied whole (8 bytes); the buffer's slack takes the
        // overrun of the last one.
        char* p = m_p;
        for (std::size_t i = 0; i < n; ++i) {
            const CForm& form = forms[static_cast<unsigned char>(bytes[i])];
            std::memcpy(p, form.bytes, kFormBytes - 1);
            p += form.nCount;
        }
        m_p = p;
        bytes.remove_prefix(n);
    }
}

}  // namespace lumo_cli
