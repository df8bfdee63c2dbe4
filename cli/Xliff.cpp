// SPDX-License-Identifier: MIT
// XLIFF 1.2 through libxml2's streaming writer: each unit goes out as it is
// made, so the document never exists in memory as a whole.
#include "TranslationFormats.h"
#include "Utf8Out.h"

#include "platform/Cp1252.h"
#include "platform/Utf8.h"

#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlwriter.h>

#include <exception>
#include <memory>

namespace lumo_cli {

namespace {

constexpr const char* kNamespace = "urn:oasis:names:tc:xliff:document:1.2";

const xmlChar* X(const char* text)
{
    return reinterpret_cast<const xmlChar*>(text);
}

// The writer's output: every chunk handed to the sink; a failure is kept to
// be rethrown, since it must not travel through the library's C code.
struct COutput {
    const ByteSink* pSink;
    std::exception_ptr failure;
};

int WriteChunk(void* context, const char* bytes, int nCount)
{
    auto* pOutput = static_cast<COutput*>(context);
    try {
        (*pOutput->pSink)(bytes, static_cast<std::size_t>(nCount));
        return nCount;
    } catch (...) {
        pOutput->failure = std::current_exception();
        return -1;
    }
}

int CloseOutput(void*)
{
    return 0;
}

// A failed write is reported once, by lumo, from the sink's own exception;
// libxml2 would print its own line about it too.
void IgnoreXmlError(void*, xmlErrorPtr) {}

class CXmlWriter {
public:
    explicit CXmlWriter(const ByteSink& sink) : m_output{&sink, nullptr}
    {
        xmlOutputBufferPtr buffer = xmlOutputBufferCreateIO(WriteChunk, CloseOutput, &m_output, nullptr);
        m_writer = buffer ? xmlNewTextWriter(buffer) : nullptr;
        if (!m_writer)
            throw std::runtime_error("cannot set up the XML writer");
        xmlSetStructuredErrorFunc(nullptr, IgnoreXmlError);
    }
    CXmlWriter(const CXmlWriter&) = delete;
    CXmlWriter& operator=(const CXmlWriter&) = delete;
    ~CXmlWriter()
    {
        xmlFreeTextWriter(m_writer);
        xmlSetStructuredErrorFunc(nullptr, nullptr);
    }

    void Start(const char* name) { Check(xmlTextWriterStartElement(m_writer, X(name))); }
    void End() { Check(xmlTextWriterEndElement(m_writer)); }
    void Attribute(const char* name, const std::string& value)
    {
        Check(xmlTextWriterWriteAttribute(m_writer, X(name), X(value.c_str())));
    }
    void Text(const std::string& utf8) { Check(xmlTextWriterWriteString(m_writer, X(utf8.c_str()))); }
    // A Windows-1252 text, through a buffer kept for the next one.
    void TextCp1252(std::string_view cp1252) { Text(ToUtf8(m_scratch, cp1252)); }
    void AttributeCp1252(const char* name, std::string_view cp1252) { Attribute(name, ToUtf8(m_scratch, cp1252)); }
    void Raw(const char* text) { Check(xmlTextWriterWriteRaw(m_writer, X(text))); }
    void StartDocument() { Check(xmlTextWriterStartDocument(m_writer, nullptr, "UTF-8", nullptr)); }
    void EndDocument() { Check(xmlTextWriterEndDocument(m_writer)); }
    void Flush() { Check(xmlTextWriterFlush(m_writer)); }

private:
    void Check(int result)
    {
        if (m_output.failure)
            std::rethrow_exception(m_output.failure);
        if (result < 0)
            throw std::runtime_error("the XML writer failed");
    }

    COutput m_output;
    xmlTextWriterPtr m_writer = nullptr;
    std::string m_scratch;
};

// A text as XLIFF content: the control characters XML 1.0 cannot carry
// become <ph ctype="x-lumo-control">U+0007</ph>, numbered within the text.
void WriteSegment(CXmlWriter& writer, std::string_view cp1252)
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
const std::string& NoteText(const CCatalog& catalog, const CMessage& message, const CCatalogInfo& info,
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
    note = DescribeOccurrence(message, nEntries);
    note[0] = 'T';
    note += ':';
    std::size_t nShown = 0;
    forEachEntry([&](std::size_t nEntry) {
        if (nShown++ >= kMaxReferences)
            return;
        char number[24];
        const int n = std::snprintf(number, sizeof number, ":%zu", nEntry);
        note += ' ';
        note += info.sourceFile;
        note.append(number, static_cast<std::size_t>(n));
    });
    if (nEntries > kMaxReferences)
        note += " (" + std::to_string(nEntries - kMaxReferences) + " more not listed)";
    return note;
}

void CheckName(const CMessage& message)
{
    for (const char c : message.name)
        if (IsXmlForbiddenControl(static_cast<unsigned char>(c))) {
            throw CExportError("the name of entry " + std::to_string(message.first / 2 + 1) + " holds the control "
                               "character " + UnicodeName(static_cast<unsigned char>(c)) + ", which an XML attribute cannot carry; export it as PO instead");
        }
}

// The length of a Windows-1252 text in UTF-8.
std::size_t Utf8Length(std::string_view cp1252)
{
    std::size_t n = 0;
    for (const char c : cp1252)
        n += ::Utf8Length(Cp1252ToUnicode(static_cast<unsigned char>(c)));
    return n;
}

// libxml2, like other careful XML readers, refuses a text node longer than
// this; a file lumo could not read back is not written.
void CheckLength(const CMessage& message, std::string_view text, bool bTranslation)
{
    if (text.size() <= XML_MAX_TEXT_LENGTH / 3 || Utf8Length(text) <= XML_MAX_TEXT_LENGTH)
        return;
    const Slot slot = message.first;
    throw CExportError(std::string(bTranslation ? "the translation of " : "") + "the " +
                       (slot % 2 ? "extra" : "data") + " text of entry " + std::to_string(slot / 2 + 1) + " is " +
                       std::to_string(Utf8Length(text)) + " bytes long in UTF-8; XML readers refuse a text over " +
                       std::to_string(XML_MAX_TEXT_LENGTH) + " bytes, so XLIFF cannot carry it; export it as PO instead");
}

}  // namespace

void WriteXliff(const CCatalog& catalog, const CCatalogInfo& info, const ByteSink& sink)
{
    for (const CMessage& message : catalog.Messages()) {
        CheckName(message);
        CheckLength(message, message.source, false);
        CheckLength(message, message.translation, true);
    }

    CXmlWriter writer(sink);
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
    writer.Attribute("tool-version", LUMO_VERSION);
    writer.End();
    writer.End();
    writer.Raw("\n");
    writer.Start("body");
    writer.Raw("\n");
    const CCatalog::CMessages messages = catalog.Messages();
    std::string note;
    for (std::size_t m = 0; m < messages.size(); ++m) {
        const CMessage message = messages[m];
        writer.Start("trans-unit");
        writer.Attribute("id", std::to_string(m + 1));
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
    writer.End();  // body
    writer.Raw("\n");
    writer.End();  // file
    writer.Raw("\n");
    writer.End();  // xliff
    writer.EndDocument();
    writer.Flush();
}

}  // namespace lumo_cli
