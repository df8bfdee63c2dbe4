// SPDX-License-Identifier: MIT
// lumo's own PO writer against gettext's po_file_write on the same
// messages: the bytes must be the same. The fuzzer calls this for every
// input it makes; the oracle test for a table of cases and random ones.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lumo_fuzz {

// One message, texts in UTF-8.
struct CPoTestMessage {
    bool bHasContext = true;
    std::string msgctxt, msgid, msgstr, comments, extracted;
    std::vector<std::size_t> lines;  // references into file, each line once
    bool bFuzzy = false;
};

// The file as gettext's library writes it, and as lumo's writer does.
std::string LibraryPoText(const std::vector<CPoTestMessage>& messages, const std::string& file);
std::string OwnPoText(const std::vector<CPoTestMessage>& messages, const std::string& file);

// Messages made from any bytes: the texts are the bytes read as
// Windows-1252 (what lumo's texts are), cut at 0x00, with a few control
// bytes choosing context, fuzziness and references.
std::vector<CPoTestMessage> PoMessagesFromBytes(std::string_view bytes, std::string& file);

// Empty when both writers give the same bytes; otherwise where they differ.
std::string ComparePoWriters(const std::vector<CPoTestMessage>& messages, const std::string& file);

}  // namespace lumo_fuzz
