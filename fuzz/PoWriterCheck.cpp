// SPDX-License-Identifier: MIT
#include "PoWriterCheck.h"

#include "cli/PoLibrary.h"
#include "cli/PoWriter.h"
#include "platform/Cp1252.h"
#include "tests/support/TextDifference.h"

#include <algorithm>

namespace lumo_fuzz {

std::string LibraryPoText(const std::vector<CPoTestMessage>& messages, const std::string& file)
{
    lumo_cli::CPoFile po(po_file_create());
    {
        lumo_cli::CPoIterator it(po_message_iterator(po.Get(), nullptr));
        for (const CPoTestMessage& given : messages) {
            po_message_t message = po_message_create();
            if (given.bHasContext)
                po_message_set_msgctxt(message, given.msgctxt.c_str());
            po_message_set_msgid(message, given.msgid.c_str());
            po_message_set_msgstr(message, given.msgstr.c_str());
            if (!given.comments.empty())
                po_message_set_comments(message, given.comments.c_str());
            if (!given.extracted.empty())
                po_message_set_extracted_comments(message, given.extracted.c_str());
            for (const std::size_t line : given.lines)
                po_message_add_filepos(message, file.c_str(), line);
            po_message_set_fuzzy(message, given.bFuzzy ? 1 : 0);
            po_message_insert(it.Get(), message);
        }
    }
    std::string text;
    lumo_cli::WritePoFile(po.Get(), [&](const char* p, std::size_t n) { text.append(p, n); });
    return text;
}

std::string OwnPoText(const std::vector<CPoTestMessage>& messages, const std::string& file)
{
    std::string text;
    lumo_cli::CPoWriter writer([&](const char* p, std::size_t n) { text.append(p, n); });
    std::string msgctxt, msgid, msgstr;
    for (const CPoTestMessage& given : messages) {
        lumo_cli::CPoOutMessage out;
        // As lumo writes them: a message's texts as the Windows-1252 bytes
        // of entry texts, the header (no context) as UTF-8.
        out.bCp1252 = given.bHasContext && Utf8ToCp1252(given.msgctxt, msgctxt).ok &&
                      Utf8ToCp1252(given.msgid, msgid).ok && Utf8ToCp1252(given.msgstr, msgstr).ok;
        out.comments = given.comments;
        out.extractedComments = given.extracted;
        out.referenceFile = file;
        out.referenceLines = given.lines;
        out.bFuzzy = given.bFuzzy;
        out.bHasContext = given.bHasContext;
        out.msgctxt = out.bCp1252 ? msgctxt : given.msgctxt;
        out.msgid = out.bCp1252 ? msgid : given.msgid;
        out.msgstr = out.bCp1252 ? msgstr : given.msgstr;
        writer.Write(out);
    }
    writer.Flush();
    return text;
}

std::vector<CPoTestMessage> PoMessagesFromBytes(std::string_view bytes, std::string& file)
{
    // Fields end at 0x00: the file name, then per message a control byte
    // and its five texts.
    std::vector<std::string> fields;
    for (std::size_t start = 0; start <= bytes.size();) {
        const std::size_t end = std::min(bytes.find('\0', start), bytes.size());
        fields.push_back(Cp1252ToUtf8(bytes.substr(start, end - start)));
        start = end + 1;
    }
    file = fields.front();
    // A reference's file name never holds a control character or a blank
    // line break: lumo gives the printable name.
    for (char& c : file)
        if (static_cast<unsigned char>(c) < 0x20)
            c = '_';
    std::vector<CPoTestMessage> messages;
    for (std::size_t f = 1; f + 5 < fields.size() + 1; f += 6) {
        const unsigned control = fields[f].empty() ? 0 : static_cast<unsigned char>(fields[f][0]);
        CPoTestMessage given;
        given.bHasContext = (control & 1) == 0;
        given.bFuzzy = (control & 2) != 0;
        given.msgctxt = fields[f + 1];
        given.msgid = f + 2 < fields.size() ? fields[f + 2] : "";
        given.msgstr = f + 3 < fields.size() ? fields[f + 3] : "";
        given.comments = f + 4 < fields.size() ? fields[f + 4] : "";
        given.extracted = f + 5 < fields.size() ? fields[f + 5] : "";
        // Up to 63 references, ascending from a start the byte picks.
        const std::size_t nLines = (control >> 2) & 0x3F;
        for (std::size_t k = 0; k < nLines; ++k)
            given.lines.push_back(1 + k * (1 + control) * 37);
        messages.push_back(std::move(given));
    }
    return messages;
}

std::string ComparePoWriters(const std::vector<CPoTestMessage>& messages, const std::string& file)
{
    // The library reads texts as the header's character set says, so
    // every file starts with a UTF-8 header, as lumo's do.
    std::vector<CPoTestMessage> all(1);
    all[0].bHasContext = false;
    all[0].msgstr = "Content-Type: text/plain; charset=UTF-8\n";
    all.insert(all.end(), messages.begin(), messages.end());
    const std::string library = LibraryPoText(all, file);
    const std::string own = OwnPoText(all, file);
    return lumo_test::DescribeTextDifference("PO", "gettext", library, own, 200);
}

}  // namespace lumo_fuzz
