// SPDX-License-Identifier: MIT
// The parts of gettext's libgettextpo that lumo leans on, made safe to use
// from C++: owners that free what the library allocates, its error reports
// turned into exceptions and warnings, and writing through a ByteSink.
#pragma once

#include "TranslationFormats.h"

#include <gettext-po.h>

#include <cstddef>
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
// Refuses a file without a header or in another character set than UTF-8.
void CheckPoHeader(po_file_t file);
// Writes the file in PO syntax to the sink.
void WritePoFile(po_file_t file, const ByteSink& sink);

// "line N: " for the message that is the nOrdinal-th (from 1) that is not
// obsolete, the header counted; the library does not say where a message
// is, so this finds its msgstr line. "" when that cannot be found.
std::string AtLine(const std::string& path, std::size_t nOrdinal);
// For each message the file holds (not obsolete, the header counted), the
// line where it starts: its msgctxt, or its msgid when it has none.
std::vector<std::size_t> PoMessageLines(const std::string& path);
// msgctxt "NAME" msgid "TEXT", the texts shortened, for messages.
std::string DescribePoMessage(po_message_t message);

}  // namespace lumo_cli
