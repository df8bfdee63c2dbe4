// SPDX-License-Identifier: MIT
// PO syntax written directly, byte for byte as gettext's po_file_write
// writes the same messages (and so as msgcat does): the same escapes, the
// same line breaking at 79 columns (Unicode's rules as libunistring, which
// gettext uses, applies them: by the library for UTF-8 texts, by tables of
// our own for the 256 characters of Windows-1252 texts, which a test holds
// to the library), the same comments and flags. gettext's library keeps every message in
// memory and checks each reference against the others; this writes each
// message as it comes. A test and a fuzz target compare the two.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lumo_cli {

// One message as PO shows it. Comments are UTF-8 lines separated by '\n'
// (a final '\n' ends the last line).
struct CPoOutMessage {
    std::string_view comments;           // "# " lines, the translator's
    std::string_view extractedComments;  // "#. " lines
    std::string_view referenceFile;      // "#: FILE:LINE ...", one per line number
    std::span<const std::size_t> referenceLines;
    bool bFuzzy = false;  // shown only with a translation, as gettext does
    bool bHasContext = false;
    // msgctxt, msgid and msgstr: UTF-8, or with bCp1252 Windows-1252 bytes
    // (entry texts), converted to UTF-8 as they are written.
    bool bCp1252 = false;
    std::string_view msgctxt, msgid, msgstr;
};

// Where Unicode's line breaking rules, as libunistring applies them, allow
// a break in a Windows-1252 text as PO shows it (each byte as its escape or
// its UTF-8 form): pMayBreak[i] (one per byte) tells whether a break may go
// just before the form of byte i.
void PossibleBreaksCp1252(std::string_view text, bool* pMayBreak);

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
    // The next message follows messages written before it elsewhere (the
    // stretch before this one, made by another writer): a blank line goes
    // before it, as before every message but the first.
    void Continue() { m_bFirst = false; }

    // What each byte of a string becomes: its escape, or its UTF-8 form,
    // and at most how many columns that takes.
    struct CForm {
        char bytes[3];
        unsigned char nCount;
    };
    struct CForms {
        CForm form[256];
        unsigned char columns[256];
    };

private:
    void Comment(const char* prefix, std::string_view lines);
    void References(std::string_view file, std::span<const std::size_t> lines);
    void String(std::string_view keyword, std::string_view value, const CForms& forms);
    void WidthBreaks(int startColumn, int width, std::size_t nProhibited, bool bFirstOnly);
    void Cp1252Breaks(std::string_view raw, int startColumn, int width, bool bLastProhibited);
    void Put(std::string_view bytes);
    void PutForms(std::string_view raw, const CForms& forms);
    char* Room(std::size_t nBytes);

    Sink m_sink;
    std::unique_ptr<char[]> m_buffer;
    char* m_p;    // where the next byte goes
    char* m_end;  // the buffer's end, less the slack of one form
    std::string m_portion;   // one escaped UTF-8 line of a string that may need breaking
    std::string m_possible;  // where the line breaking rules allow a break in it
    std::vector<std::size_t> m_breakAt;  // where it breaks
    bool m_bFirst = true;
};

}  // namespace lumo_cli
