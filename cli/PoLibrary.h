// SPDX-License-Identifier: MIT
// The parts of gettext's libgettextpo that lumo leans on, made safe to use
// from C++: owners that free what the library allocates, its error reports
// turned into exceptions and warnings, and writing through a ByteSink.
#pragma once

#include "TranslationFormats.h"

#include <gettext-po.h>

#include <cstddef>
#include <optional>
#include <utility>
#include <string>
#include <vector>

namespace lumo_cli {

class CPoFile {
public:
    explicit CPoFile(po_file_t file) : m_file(file) {}
    CPoFile(CPoFile&& other) noexcept : m_file(std::exchange(other.m_file, nullptr)) {}
    CPoFile& operator=(CPoFile&&) = delete;
    ~CPoFile()
    {
        if (m_file)
            po_file_free(m_file);
    }
    po_file_t Get() const { return m_file; }

private:
    po_file_t m_file;
};

class CPoIterator {
public:
    explicit CPoIterator(po_message_iterator_t it) : m_it(it) {}
    CPoIterator(const CPoIterator&) = delete;
    CPoIterator& operator=(const CPoIterator&) = delete;
    ~CPoIterator() { po_message_iterator_free(m_it); }
    po_message_iterator_t Get() const { return m_it; }

private:
    po_message_iterator_t m_it;
};

// Reads a PO file. Throws CImportError with the first problem the library
// reports (syntax, a message defined twice, ...); its warnings go to warnings.
CPoFile ReadPoFile(const std::string& path, CWarnings& warnings);
// gettext's reader aborts on some files (one whose header names CP1255, at
// its Hebrew letters), so to word the refusal of a file that lumo's reader
// found not to be PO, the file is read in a child process. Throws
// CImportError with the library's first error, or with lumo's refusal of
// the header it read (CheckPoHeader); the warnings go to warnings. Returns
// nothing when the library reads the file without a complaint, and how the
// child ended when it did not end by itself.
std::optional<std::string> ReadPoFileApart(const std::string& path, CWarnings& warnings);
// Refuses a file of more than one domain, without a header or in another
// character set than UTF-8 (CheckPoHeaderText).
void CheckPoHeader(po_file_t file);
// Writes the file in PO syntax to the sink.
void WritePoFile(po_file_t file, const ByteSink& sink);

}  // namespace lumo_cli
