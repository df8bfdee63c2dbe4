// SPDX-License-Identifier: MIT
#include "BenchGettext.h"

#include "BenchChild.h"

#include "cli/EntryIo.h"
#include "platform/Cp1252.h"

#include <gettext-po.h>

#include <stdexcept>
#include <string>

namespace lumo_bench {

namespace {

// The library reports through callbacks; a fatal error must not return. The
// measurements run in a child, which ends with the library's message.
void Problem(int severity, po_message_t, const char* filename, size_t lineno, size_t, int, const char* text)
{
    if (severity == PO_SEVERITY_WARNING)
        return;
    std::string message = "gettext: ";
    if (filename)
        message += std::string(filename) + ":" +
                   (lineno != static_cast<size_t>(-1) ? std::to_string(lineno) : "") + ": ";
    FailChild((message + (text ? text : "")).c_str());
}

void Problem2(int severity, po_message_t m1, const char* f1, size_t l1, size_t c1, int mp1, const char* t1,
              po_message_t, const char*, size_t, size_t, int, const char*)
{
    Problem(severity, m1, f1, l1, c1, mp1, t1);
}

const po_xerror_handler kHandler = {Problem, Problem2};

}  // namespace

std::vector<CPoMessage> PoMessagesOf(const std::filesystem::path& source, const std::filesystem::path& target)
{
    std::vector<lumo_cli::Entry> sourceEntries, targetEntries;
    lumo_cli::ReadEntryFile(source.string(), &sourceEntries);
    lumo_cli::ReadEntryFile(target.string(), &targetEntries);
    if (sourceEntries.size() != targetEntries.size())
        throw std::runtime_error("the translation does not pair with the source entry for entry");
    std::vector<CPoMessage> messages;
    messages.reserve(sourceEntries.size() * 11 / 10);
    for (std::size_t i = 0; i < sourceEntries.size(); ++i) {
        const lumo_cli::Entry& s = sourceEntries[i];
        const lumo_cli::Entry& t = targetEntries[i];
        if (!s.data.empty())
            messages.push_back({Cp1252ToUtf8(s.name), Cp1252ToUtf8(s.data), Cp1252ToUtf8(t.data),
                                "the data text of the entry", i + 1});
        if (!s.extra.empty() && s.extra != s.data)
            messages.push_back({Cp1252ToUtf8(s.name), Cp1252ToUtf8(s.extra), Cp1252ToUtf8(t.extra),
                                "the extra text of the entry", i + 1});
    }
    return messages;
}

void LibraryWritePo(const std::vector<CPoMessage>& messages, const std::string& referenceFile,
                    const std::filesystem::path& path)
{
    po_file_t file = po_file_create();
    po_message_iterator_t it = po_message_iterator(file, nullptr);
    po_message_t header = po_message_create();
    po_message_set_msgid(header, "");
    po_message_set_msgstr(header,
                          "Project-Id-Version: lumo_bench\n"
                          "POT-Creation-Date: 2026-01-01 00:00+0000\n"
                          "Language: fr\n"
                          "MIME-Version: 1.0\n"
                          "Content-Type: text/plain; charset=UTF-8\n"
                          "Content-Transfer-Encoding: 8bit\n");
    po_message_insert(it, header);
    for (const CPoMessage& m : messages) {
        po_message_t message = po_message_create();
        po_message_set_msgctxt(message, m.context.c_str());
        po_message_set_msgid(message, m.id.c_str());
        po_message_set_msgstr(message, m.translation.c_str());
        po_message_set_extracted_comments(message, m.comment.c_str());
        po_message_add_filepos(message, referenceFile.c_str(), m.nEntry);
        po_message_insert(it, message);
    }
    po_message_iterator_free(it);
    if (!po_file_write(file, path.c_str(), &kHandler))
        throw std::runtime_error("gettext could not write " + path.string());
    po_file_free(file);
}

std::size_t LibraryReadPo(const std::filesystem::path& path)
{
    po_file_t file = po_file_read(path.c_str(), &kHandler);
    if (!file)
        throw std::runtime_error("gettext could not read " + path.string());
    po_message_iterator_t it = po_message_iterator(file, nullptr);
    std::size_t nMessages = 0, nBytes = 0;
    while (po_message_t message = po_next_message(it)) {
        const char* context = po_message_msgctxt(message);
        nBytes += (context ? std::char_traits<char>::length(context) : 0) +
                  std::char_traits<char>::length(po_message_msgid(message)) +
                  std::char_traits<char>::length(po_message_msgstr(message)) + po_message_is_fuzzy(message);
        ++nMessages;
    }
    po_message_iterator_free(it);
    po_file_free(file);
    if (nBytes == 0 && nMessages > 1)
        throw std::runtime_error("the messages read from " + path.string() + " are empty");
    return nMessages;
}

}  // namespace lumo_bench
