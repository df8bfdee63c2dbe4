// SPDX-License-Identifier: MIT
// gettext's own library writing and reading a PO file, without lumo: the
// pace that lumo's PO export and import are measured against.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace lumo_bench {

// One message as lumo's PO export makes it, already in UTF-8.
struct CPoMessage {
    std::string context, id, translation, comment;
    std::size_t nEntry;  // 1-based, for the reference FILE:ENTRY
};

// The messages of a translation: each non-empty data and extra text of the
// source with the text of the same entry of the target, which pairs with
// the source entry for entry. Reads both entry files.
std::vector<CPoMessage> PoMessagesOf(const std::filesystem::path& source, const std::filesystem::path& target);

// po_file_create, a header, po_message_insert of every message, po_file_write.
void LibraryWritePo(const std::vector<CPoMessage>& messages, const std::string& referenceFile,
                    const std::filesystem::path& path);
// po_file_read, then every message's context, id and translation looked at.
// Returns the number of messages, header included.
std::size_t LibraryReadPo(const std::filesystem::path& path);

}  // namespace lumo_bench
