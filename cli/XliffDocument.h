// SPDX-License-Identifier: MIT
// What an XLIFF 1.2 export says, unit by unit, independent of who writes the
// bytes: lumo's own writer (XliffWriter.h) in the program, libxml2's
// xmlTextWriter in the tests that hold the two to the same output.
//
// A Writer has Start(name), End(), Attribute(name, utf8),
// AttributeCp1252(name, bytes), Text(utf8), TextCp1252(bytes), Raw(text),
// StartDocument(), EndDocument() and Flush(), as libxml2's writer has.
#pragma once

#include "TranslationFormats.h"

#include "platform/Utf8.h"

#include <charconv>
#include <string>
#include <string_view>

namespace lumo_cli {

// lumo's version, as the document's <tool> names it.
const char* XliffToolVersion();

namespace xliff_document {

constexpr const char* kNamespace = "urn:oasis:names:tc:xliff:document:1.2";

// A text as XLIFF content: the control characters XML 1.0 cannot carry
// become <ph ctype="x-lumo-control">U+0007</ph>, numbered within the text.
template <class Writer>
void WriteSegment(Writer& writer, std::string_view cp1252)
{
    std::size_t nPlaceholder = 0, start = 0;
    for (std::size_t i = 0; i <= cp1252.size(); ++i) {
        if (i < cp1252.size() && !IsXmlForbiddenControl(static_cast<unsigned char>(cp1252[i])))
            continue;
        if (i > start)
            writer.TextCp1252(cp1252.substr(start, i - start));
        if (i == cp1252.size())
            break;
        writer.Start("ph");
        writer.Attribute("id", std::to_string(++nPlaceholder));
        writer.Attribute("ctype", "x-lumo-control");
        writer.Text(UnicodeName(static_cast<unsigned char>(cp1252[i])));
        writer.End();
        start = i + 1;
    }
}

// The note into a buffer that the next message reuses.
inline const std::string& NoteText(const CCatalog& catalog, const CMessage& message, const CCatalogInfo& info,
                                   std::string& note)
{
    constexpr std::size_t kMaxReferences = 50;
    const auto forEachEntry = [&](auto&& visit) {
        for (Slot slot = message.first; slot != kNoSlot; slot = catalog.NextSlot(slot))
            if (!(slot % 2 == 1 && catalog.MessageAt(slot - 1) == catalog.MessageAt(slot)))  // named already
                visit(slot / 2 + 1);
    };
    std::size_t nEntries = 0;
    forEachEntry([&](std::size_t) { ++nEntries; });
    note.clear();
    AppendOccurrence(note, message, nEntries);
    note[0] = 'T';
    note += ':';
    std::size_t nShown = 0;
    forEachEntry([&](std::size_t nEntry) {
        if (nShown++ >= kMaxReferences)
            return;
        char number[24] = ":";
        const char* end = std::to_chars(number + 1, number + sizeof number, nEntry).ptr;
        note += ' ';
        note += info.sourceFile;
        note.append(number, static_cast<std::size_t>(end - number));
    });
    if (nEntries > kMaxReferences)
        note += " (" + std::to_string(nEntries - kMaxReferences) + " more not listed)";
    return note;
}

}  // namespace xliff_document

// The declaration and the start tags up to <body> and its line break.
template <class Writer>
void WriteXliffStart(const CCatalogInfo& info, Writer& writer)
{
    using namespace xliff_document;
    writer.StartDocument();
    writer.Start("xliff");
    writer.Attribute("version", "1.2");
    writer.Attribute("xmlns", kNamespace);
    writer.Raw("\n");
    writer.Start("file");
    writer.Attribute("original", info.sourceFile);
    writer.Attribute("datatype", "plaintext");
    writer.Attribute("source-language", info.sourceLanguage);
    if (!info.language.empty())
        writer.Attribute("target-language", info.language);
    writer.Raw("\n");
    writer.Start("header");
    writer.Start("tool");
    writer.Attribute("tool-id", "lumo");
    writer.Attribute("tool-name", "lumo");
    writer.Attribute("tool-version", XliffToolVersion());
    writer.End();
    writer.End();
    writer.Raw("\n");
    writer.Start("body");
    writer.Raw("\n");
}

// The units of the messages [mBegin, mEnd), each with its line break: they
// depend on nothing else, so any writer may write a stretch of them. note
// is a buffer the units reuse.
template <class Writer>
void WriteXliffUnits(const CCatalog& catalog, const CCatalogInfo& info, std::size_t mBegin, std::size_t mEnd,
                     Writer& writer, std::string& note)
{
    using namespace xliff_document;
    const CCatalog::CMessages messages = catalog.Messages();
    char id[24];
    for (std::size_t m = mBegin; m < mEnd; ++m) {
        const CMessage message = messages[m];
        writer.Start("trans-unit");
        const char* idEnd = std::to_chars(id, id + sizeof id, m + 1).ptr;
        writer.Attribute("id", std::string_view(id, static_cast<std::size_t>(idEnd - id)));
        writer.AttributeCp1252("resname", message.name);
        // Translate Toolkit and the tools built on it read a unit as fuzzy
        // unless it is approved, whatever its target's state.
        if (!message.translation.empty())
            writer.Attribute("approved", "yes");
        // Blanks and line breaks are part of the texts.
        writer.Attribute("xml:space", "preserve");
        writer.Raw("\n  ");
        writer.Start("source");
        WriteSegment(writer, message.source);
        writer.End();
        if (!message.translation.empty()) {
            writer.Raw("\n  ");
            writer.Start("target");
            writer.Attribute("state", "translated");
            WriteSegment(writer, message.translation);
            writer.End();
        }
        writer.Raw("\n  ");
        writer.Start("note");
        writer.Attribute("from", "lumo");
        writer.Text(NoteText(catalog, message, info, note));
        writer.End();
        writer.Raw("\n");
        writer.End();
        writer.Raw("\n");
    }
}

// The end tags of what WriteXliffStart opened, and the document's end.
template <class Writer>
void WriteXliffEnd(Writer& writer)
{
    writer.End();  // body
    writer.Raw("\n");
    writer.End();  // file
    writer.Raw("\n");
    writer.End();  // xliff
    writer.EndDocument();
    writer.Flush();
}

// The whole document by one writer, each unit written as it is made.
template <class Writer>
void WriteXliffDocument(const CCatalog& catalog, const CCatalogInfo& info, Writer& writer)
{
    std::string note;
    WriteXliffStart(info, writer);
    WriteXliffUnits(catalog, info, 0, catalog.Messages().size(), writer, note);
    WriteXliffEnd(writer);
}

}  // namespace lumo_cli
