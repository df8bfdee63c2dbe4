// SPDX-License-Identifier: MIT
// lumo's own reader of PO and POT files: one pass over the bytes, each
// msgctxt, msgid and msgstr decoded and turned into the Windows-1252 bytes
// an entry file stores, each message's line known as it is read.
//
// It accepts exactly the files that gettext's libgettextpo (po_file_read)
// reads without an error, with the same messages, and then applies lumo's
// own rules (a header in UTF-8, one domain, no plural forms, no NUL, texts
// Windows-1252 can hold). gettext stays the oracle (a test and the fuzz
// target lumo_fuzz_poread compare the two) and the one that words a
// refusal of a file that is not valid PO.
#pragma once

#include "Translation.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lumo_cli {

struct CPoReading {
    enum class EVerdict {
        accepted,  // translations (and lines) hold the file's messages
        refused,   // valid PO that lumo cannot use: refusal says why, and where
        notPo,     // gettext reports an error: its words are for gettext to give
                   // (ReadPoFileApart)
    };
    EVerdict verdict = EVerdict::accepted;
    CTranslations translations;
    // For each translation kept, the line of its message (its msgctxt).
    std::vector<std::size_t> lines;
    // What gettext warns of while reading such a file, in its words.
    std::vector<std::string> warnings;
    std::string refusal;
    // refused: a header names a character set that gettext reads files in and
    // lumo does not; gettext's reader, which aborts on some (CP1255), did
    // not look further.
    bool bForeignCharset = false;
    // notPo: the line where the file stops being what gettext accepts.
    std::size_t nStopLine = 0;
};

// Reads a whole PO file. fileName is the name gettext would be given: a
// ".pot" file may leave its character set unnamed without a warning.
// release, when given, is told from time to time that the bytes before an
// offset are done with, so a mapped file need not stay in memory whole.
CPoReading ReadPoText(std::string_view input, std::string_view fileName, bool bLines,
                      const std::function<void(std::size_t)>& release = nullptr);

// lumo's rules for the header of a PO file (its msgstr): it names UTF-8 (or
// ASCII, or the CHARSET of a template) in its Content-Type, and gettext,
// which takes the first "charset=" of the header, reads the file in the same.
// Throws CImportError.
void CheckPoHeaderText(std::string_view header);

// "msgctxt "NAME" msgid "TEXT"", the texts shortened, for messages.
std::string DescribePoMessage(const std::string* pContext, std::string_view id);

}  // namespace lumo_cli
