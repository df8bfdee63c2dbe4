// SPDX-License-Identifier: MIT
// PO and POT through gettext's own library, so what lumo writes and reads is
// exactly what gettext's tools write and read.
#include "PoLibrary.h"
#include "PoWriter.h"
#include "Utf8Out.h"
#include "StreamIo.h"
#include "TranslationFormats.h"

#include "platform/Cp1252.h"
#include "platform/Exceptions.h"
#include "platform/File.h"

#include <ctime>

namespace lumo_cli {

namespace {

// A message lists at most this many references; the library checks each new
// one against those it has, so thousands of them would cost quadratic time.
constexpr std::size_t kMaxReferences = 50;

std::string Now()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M+0000", &utc);
    return text;
}

std::string HeaderText(const CCatalogInfo& info, bool bTemplate)
{
    const std::string now = Now();
    return "Project-Id-Version: " + info.sourceFile +
           "\n"
           "Report-Msgid-Bugs-To: \n"
           "POT-Creation-Date: " +
           now + "\nPO-Revision-Date: " + (bTemplate ? std::string("YEAR-MO-DA HO:MI+ZONE") : now) +
           "\nLast-Translator: " + (bTemplate ? "FULL NAME <EMAIL@ADDRESS>" : "") +
           "\nLanguage-Team: " + (bTemplate ? "LANGUAGE <LL@li.org>" : "") +
           "\nLanguage: " + (bTemplate ? "" : info.language) +
           "\n"
           "MIME-Version: 1.0\n"
           "Content-Type: text/plain; charset=UTF-8\n"
           "Content-Transfer-Encoding: 8bit\n"
           "X-Generator: lumo " LUMO_VERSION "\n";
}

// What the translator is told about a message: which text of its entries it is.
std::string ExtractedComment(const CMessage& message, std::size_t nMoreReferences)
{
    std::string comment = message.bData && message.bExtra ? "the data text of some entries, the extra text of others"
                          : message.bData                 ? "the data text of the entry"
                                                          : "the extra text of the entry";
    comment += '\n';
    if (nMoreReferences > 0)
        comment += "(and " + std::to_string(nMoreReferences) + " more entries not listed)\n";
    return comment;
}

// gettext keeps a message's context and text apart with the byte 0x04, so
// no PO reader takes a text holding it: such a file is not written.
enum class EPoPart { name, text, translation };

void CheckNoContextSeparator(const CMessage& message, std::string_view text, EPoPart part)
{
    if (text.find('\x04') == std::string_view::npos)
        return;
    const Slot slot = message.first;
    const std::string entry = " of entry " + std::to_string(slot / 2 + 1);
    const std::string field = slot % 2 ? "the extra text" : "the data text";
    const std::string subject = part == EPoPart::name   ? "the name" + entry
                                : part == EPoPart::text ? field + entry
                                                        : "the translation of " + field + entry;
    throw CExportError(subject + " holds the control character U+0004, which PO files cannot carry (gettext "
                                 "separates a message's context with it); export it as XLIFF or JSON instead");
}

}  // namespace

void WritePo(const CCatalog& catalog, const CCatalogInfo& info, bool bTemplate, const ByteSink& sink)
{
    // Every message is checked before the first byte goes out: nothing is
    // written for a file that cannot be.
    for (const CMessage& message : catalog.Messages()) {
        CheckNoContextSeparator(message, message.name, EPoPart::name);
        CheckNoContextSeparator(message, message.source, EPoPart::text);
        if (!bTemplate)
            CheckNoContextSeparator(message, message.translation, EPoPart::translation);
    }
    CPoWriter writer(sink);
    const std::string header = HeaderText(info, bTemplate);
    const std::string comments = "Texts of " + info.sourceFile + " for translation.\n";
    CPoOutMessage out;
    out.comments = comments;
    out.msgstr = header;
    // A template's header is fuzzy until a translator fills it in, as gettext's own templates are.
    out.bFuzzy = bTemplate;
    writer.Write(out);

    std::string name, source, translation, extracted;  // reused: no allocation per message
    std::vector<std::size_t> lines;
    out = CPoOutMessage{};
    out.referenceFile = info.sourceFile;
    out.bHasContext = true;
    for (const CMessage& message : catalog.Messages()) {
        std::size_t nMore = 0;
        lines.clear();
        for (Slot slot = message.first; slot != kNoSlot; slot = catalog.NextSlot(slot)) {
            // One reference per entry, even when both its texts are this message.
            if (slot % 2 == 1 && catalog.MessageAt(slot - 1) == catalog.MessageAt(slot))
                continue;
            if (lines.size() == kMaxReferences)
                ++nMore;
            else
                lines.push_back(slot / 2 + 1);
        }
        extracted = ExtractedComment(message, nMore);
        ToUtf8(name, message.name);
        ToUtf8(source, message.source);
        if (!bTemplate)
            ToUtf8(translation, message.translation);
        out.extractedComments = extracted;
        out.referenceLines = lines;
        out.msgctxt = name;
        out.msgid = source;
        out.msgstr = translation;
        writer.Write(out);
    }
    writer.Flush();
}

CTranslations ReadPo(const std::string& path, CWarnings& warnings)
{
    {
        // The library says no more than "cannot read" for a file it cannot
        // open; opening it first gives the reason.
        CFile probe;
        if (!IsStream(path))
            probe.Open(path, CFile::modeRead);
    }
    CPoFile file = ReadPoFile(path, warnings);
    CheckPoHeader(file.Get());

    CTranslations translations;
    std::string name, source, text;  // reused: no allocation per message
    CPoIterator it(po_message_iterator(file.Get(), nullptr));
    std::size_t nOrdinal = 0;  // of the message among those not obsolete, the header included
    while (po_message_t po = po_next_message(it.Get())) {
        if (po_message_is_obsolete(po))
            continue;
        ++nOrdinal;
        const char* ctxt = po_message_msgctxt(po);
        const std::string_view id = po_message_msgid(po);
        if (!ctxt && id.empty())
            continue;  // the header
        if (po_message_msgid_plural(po))
            throw CImportError(AtLine(path, nOrdinal) + "the message " + DescribePoMessage(po) +
                               " has plural forms (msgid_plural); entry texts have none, so it cannot be imported");
        if (!ctxt || id.empty() || ToEntryText(ctxt, name) || ToEntryText(id, source)) {
            translations.AddUnmatchable();  // no entry of any file can have it
            continue;
        }
        const bool bFuzzy = po_message_is_fuzzy(po) != 0;
        const std::string_view str = po_message_msgstr(po);
        if (const auto problem = ToEntryText(str, text)) {
            if (!bFuzzy)
                throw CImportError(AtLine(path, nOrdinal) + "the translation of " + DescribePoMessage(po) + ": " +
                                   problem->message);
            text = "?";  // fuzzy: counted, never used
        }
        translations.Add({name, source, text, bFuzzy});
    }
    return translations;
}

}  // namespace lumo_cli
