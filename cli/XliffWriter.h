// SPDX-License-Identifier: MIT
// XML written directly, byte for byte as libxml2's xmlTextWriter writes the
// same calls without indentation: the declaration, "/>" for an element
// with no content, and its escapes (& < > " and CR in text; those and tab
// and LF as character references in attributes). Texts given as
// Windows-1252 are converted and escaped in the same pass, through one
// table per byte, into a buffer handed to the sink a megabyte at a time.
// A test and a fuzz target compare it with libxml2's writer.
#pragma once

#include "FormatRegistry.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace lumo_cli {

class CXliffWriter {
public:
    explicit CXliffWriter(const ByteSink& sink);
    CXliffWriter(const CXliffWriter&) = delete;
    CXliffWriter& operator=(const CXliffWriter&) = delete;

    // <?xml version="1.0" encoding="UTF-8"?> and a line break.
    void StartDocument();
    // Element names are literals of the program: they stay valid, and need
    // no escape. The calls are inline so that a literal's length is known
    // where it is written.
    void Start(std::string_view name)
    {
        CloseStartTag();
        Append("<");
        Append(name);
        m_open.push_back(name);
        m_bStartTagOpen = true;
    }
    void End();
    void Attribute(std::string_view name, std::string_view utf8) { AttributeIn(name, utf8, false); }
    void AttributeCp1252(std::string_view name, std::string_view cp1252) { AttributeIn(name, cp1252, true); }
    void Text(std::string_view utf8)
    {
        CloseStartTag();
        Escaped(utf8, ETable::text, false);
    }
    void TextCp1252(std::string_view cp1252)
    {
        CloseStartTag();
        Escaped(cp1252, ETable::text, true);
    }
    // Written as it is; closes a start tag left open, as content does.
    void Raw(std::string_view text)
    {
        CloseStartTag();
        Append(text);
    }
    // Ends every element still open, then a line break.
    void EndDocument();
    // Hands what is still buffered to the sink.
    void Flush();

private:
    enum class ETable { text, attribute };
    void CloseStartTag()
    {
        if (m_bStartTagOpen) {
            Append(">");
            m_bStartTagOpen = false;
        }
    }
    void AttributeIn(std::string_view name, std::string_view value, bool bCp1252)
    {
        if (!m_bStartTagOpen)
            ThrowAttributeOutsideStartTag();
        Append(" ");
        Append(name);
        Append("=\"");
        Escaped(value, ETable::attribute, bCp1252);
        Append("\"");
    }
    void Append(std::string_view bytes)
    {
        if (static_cast<std::size_t>(m_end - m_p) < bytes.size()) {
            AppendInPieces(bytes);
            return;
        }
        std::memcpy(m_p, bytes.data(), bytes.size());
        m_p += bytes.size();
    }
    void AppendInPieces(std::string_view bytes);
    [[noreturn]] static void ThrowAttributeOutsideStartTag();
    // The escaped form of bytes; bCp1252 converts each byte >= 0x80 too.
    void Escaped(std::string_view bytes, ETable table, bool bCp1252);
    void Reserve(std::size_t nBytes);

    const ByteSink& m_sink;
    std::unique_ptr<char[]> m_buffer;
    char* m_p;    // where the next byte goes
    char* m_end;  // the buffer's end, less the slack of one table entry
    std::vector<std::string_view> m_open;  // the elements open, innermost last
    bool m_bStartTagOpen = false;
};

}  // namespace lumo_cli
