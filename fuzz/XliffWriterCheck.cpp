// SPDX-License-Identifier: MIT
#include "XliffWriterCheck.h"

#include "cli/XliffDocument.h"
#include "platform/Cp1252.h"
#include "tests/support/TextDifference.h"

#include <libxml/xmlerror.h>
#include <libxml/xmlwriter.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace lumo_fuzz {

namespace {

const xmlChar* X(const char* text)
{
    return reinterpret_cast<const xmlChar*>(text);
}

int AppendChunk(void* context, const char* bytes, int nCount)
{
    static_cast<std::string*>(context)->append(bytes, static_cast<std::size_t>(nCount));
    return nCount;
}

int CloseOutput(void*)
{
    return 0;
}

// libxml2's streaming writer behind the calls the document makes: what
// lumo's export wrote before it had its own writer.
class CLibXmlWriter {
public:
    explicit CLibXmlWriter(std::string& out)
    {
        xmlOutputBufferPtr buffer = xmlOutputBufferCreateIO(AppendChunk, CloseOutput, &out, nullptr);
        m_writer = buffer ? xmlNewTextWriter(buffer) : nullptr;
        if (!m_writer)
            throw std::runtime_error("cannot set up libxml2's writer");
    }
    CLibXmlWriter(const CLibXmlWriter&) = delete;
    CLibXmlWriter& operator=(const CLibXmlWriter&) = delete;
    ~CLibXmlWriter() { xmlFreeTextWriter(m_writer); }

    void StartDocument() { Check(xmlTextWriterStartDocument(m_writer, nullptr, "UTF-8", nullptr)); }
    void Start(const char* name) { Check(xmlTextWriterStartElement(m_writer, X(name))); }
    void End() { Check(xmlTextWriterEndElement(m_writer)); }
    void Attribute(const char* name, std::string_view utf8)
    {
        Check(xmlTextWriterWriteAttribute(m_writer, X(name), X(std::string(utf8).c_str())));
    }
    void AttributeCp1252(const char* name, std::string_view cp1252) { Attribute(name, Cp1252ToUtf8(cp1252)); }
    void Text(std::string_view utf8) { Check(xmlTextWriterWriteString(m_writer, X(std::string(utf8).c_str()))); }
    void TextCp1252(std::string_view cp1252) { Text(Cp1252ToUtf8(cp1252)); }
    void Raw(std::string_view text) { Check(xmlTextWriterWriteRaw(m_writer, X(std::string(text).c_str()))); }
    void EndDocument() { Check(xmlTextWriterEndDocument(m_writer)); }
    void Flush() { Check(xmlTextWriterFlush(m_writer)); }

private:
    static void Check(int result)
    {
        if (result < 0)
            throw std::runtime_error("libxml2's writer failed");
    }

    xmlTextWriterPtr m_writer = nullptr;
};

}  // namespace

CXliffTestExport XliffExportFromBytes(std::string_view bytes)
{
    std::vector<std::string> fields;
    for (std::size_t start = 0; start <= bytes.size();) {
        const std::size_t end = std::min(bytes.find('\0', start), bytes.size());
        fields.emplace_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    CXliffTestExport given;
    // The name as lumo gives it: printable UTF-8.
    given.info.sourceFile = Cp1252ToUtf8(fields[0]);
    for (char& c : given.info.sourceFile)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    // A language code, as lumo accepts one.
    if (fields.size() > 1)
        for (const char c : fields[1])
            if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_')
                given.info.language += c;
    const auto field = [&](std::size_t f) { return f < fields.size() ? fields[f] : std::string(); };
    for (std::size_t f = 2; f < fields.size(); f += 5) {
        std::string name = fields[f];
        for (char& c : name)
            if (lumo_cli::IsXmlForbiddenControl(static_cast<unsigned char>(c)))
                c = '_';
        given.source.push_back({name, field(f + 1), field(f + 2)});
        given.target.push_back({name, field(f + 3), field(f + 4)});
    }
    return given;
}

std::string LibraryXliffText(const lumo_cli::CCatalog& catalog, const lumo_cli::CCatalogInfo& info)
{
    std::string text;
    {
        CLibXmlWriter writer(text);
        lumo_cli::WriteXliffDocument(catalog, info, writer);
    }
    return text;
}

std::string OwnXliffText(const lumo_cli::CCatalog& catalog, const lumo_cli::CCatalogInfo& info)
{
    std::string text;
    lumo_cli::WriteXliff(catalog, info, [&](const char* p, std::size_t n) { text.append(p, n); });
    return text;
}

std::string CompareXliffWriters(const CXliffTestExport& given)
{
    lumo_cli::CCatalog catalog(given.source);
    lumo_cli::CWarnings warnings;
    catalog.AddTranslations(given.target, warnings);
    const std::string library = LibraryXliffText(catalog, given.info);
    const std::string own = OwnXliffText(catalog, given.info);
    return lumo_test::DescribeTextDifference("XLIFF", "libxml2", library, own, 300);
}

}  // namespace lumo_fuzz
