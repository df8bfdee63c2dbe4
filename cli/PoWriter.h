// SPDX-License-Identifier: MIT
// PO syntax written directly, byte for byte as gettext's po_file_write
// writes the same messages (and so as msgcat does): the same escapes, the
// same line breaking at 79 columns (libunistring's, which gettext uses),
// the same comments and flags. gettext's library keeps every message in
// memory and checks each reference against the others; this writes each
// message as it comes. A test and a fuzz target compare the two.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lumo_cli {

// One message as PO shows it; texts in UTF-8. Comments are lines separated
// by '\n' (a final '\n' ends the last line).
struct CPoOutMessage {
    std::string_view comments;           // "# " lines, the translator's
    std::string_view extractedComments;  // "#. " lines
    std::string_view referenceFile;      // "#: FILE:LINE ...", one per line number
    std::span<const std::size_t> referenceLines;
    bool bFuzzy = false;  // shown only with a translation, as gettext does
    bool bHasContext = false;
    std::string_view msgctxt, msgid, msgstr;
};

class CPoWriter {
public:
    using Sink = std::function<void(const char* pBytes, std::size_t nCount)>;

    explicit CPoWriter(Sink sink);
    CPoWriter(const CPoWriter&) = delete;
    CPoWriter& operator=(const CPoWriter&) = delete;

    // Messages in file order, the header (msgid "") first.
    void Write(const CPoOutMessage& message);
    // Hands what is still buffered to the sink.
    void Flush();

private:
    void Comment(const char* prefix, std::string_view lines);
    void References(std::string_view file, std::span<const std::size_t> lines);
    void String(std::string_view keyword, std::string_view value);
    void WidthBreaks(int startColumn, int width, std::size_t nProhibited, bool bFirstOnly);
    void FlushIfFull();

    Sink m_sink;
    std::string m_out;
    std::string m_portion;   // one escaped line of a string
    std::string m_possible;  // where the line breaking rules allow a break in it
    std::vector<std::size_t> m_breakAt;  // where it breaks
    bool m_bFirst = true;
};

}  // namespace lumo_cli
