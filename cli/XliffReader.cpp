// SPDX-License-Identifier: MIT
// XLIFF 1.2 through lumo's own XML reader: one pass over the file's bytes,
// mapped, each unit's texts decoded straight to Windows-1252 and kept only
// until the unit ends. libxml2 words the refusal of a file that is not
// well-formed XML.
#include "MappedInput.h"
#include "StreamIo.h"
#include "TranslationFormats.h"
#include "XliffUnits.h"
#include "XmlScanner.h"

#include "platform/File.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace lumo_cli {

namespace {

// What the scanner may read past the end of its input, which holds 0 bytes.
constexpr std::size_t kPadding = CMappedInput::kPadding;

// The scanner's events, handed to what XLIFF says.
class CScanReader final : public CXmlEvents, public CXmlPlaces {
public:
    CScanReader(std::string_view bytes, CWarnings& warnings, CMappedInput* pMapped)
        : m_bytes(bytes), m_lines(bytes), m_units(*this, warnings), m_pMapped(pMapped)
    {
    }

    CTranslations Read()
    {
        ScanXml(m_bytes, *this);
        return m_units.Finish();
    }

    std::size_t LineOf(std::size_t place) const override { return m_lines.LineOf(place); }

    void OnEncoding(std::string_view encoding, std::size_t offset) override { m_units.OnEncoding(encoding, offset); }
    void OnDoctype(std::string_view name, std::size_t offset) override
    {
        m_units.OnDoctype(name, DoctypeLineOf(m_bytes), offset);
    }
    void OnElement(std::string_view localName, std::string_view uri, const CXmlAttributeSource& attributes, bool bEmpty,
                   std::size_t offset) override
    {
        m_units.OnElement(localName, uri, attributes, bEmpty, offset);
    }
    void OnEndElement() override { m_units.OnEndElement(); }
    CTextSink* TextSink() override { return m_units.TextSink(); }
    void OnText(std::size_t nUtf8, bool bCdata, std::size_t offset) override { m_units.OnText(nUtf8, bCdata, offset); }
    void OnComment() override { m_units.OnComment(); }
    void OnInstruction() override { m_units.OnInstruction(); }
    void OnProgress(std::size_t offset) override
    {
        if (m_pMapped)
            m_pMapped->Release(offset);
    }

private:
    std::string_view m_bytes;
    CLineCounter m_lines;
    CXliffUnits m_units;
    CMappedInput* m_pMapped;
};

// bytes must be followed by kPadding 0 bytes.
CTranslations ReadTerminated(std::string_view bytes, CWarnings& warnings, CMappedInput* pMapped)
{
    // libxml2 once read compressed files as they were; lumo reads XML.
    if (bytes.starts_with("\x1f\x8b") || bytes.starts_with(std::string_view("\xfd" "7zXZ\0", 6)))
        throw CImportError(std::string("line 1: the file is compressed (") + (bytes[0] == '\x1f' ? "gzip" : "xz") +
                           "); lumo reads XLIFF as plain XML: decompress it first");
    CScanReader reader(bytes, warnings, pMapped);
    return reader.Read();
}

// lumo's reader and, when it finds the file not well-formed, libxml2's for
// the words of the refusal.
CTranslations ReadOrWordRefusal(std::string_view bytes, CWarnings& warnings, CMappedInput* pMapped)
{
    try {
        return ReadTerminated(bytes, warnings, pMapped);
    } catch (const CXmlEncodingRefusal&) {
        // A file in another encoding may be broken in it too: then libxml2,
        // which reads it, says where; otherwise lumo's refusal stands.
        CWarnings unused;
        ReadXliffWithLibrary(bytes, unused);
        throw;
    } catch (const CXmlNotWellFormed& e) {
        CWarnings unused;
        ReadXliffWithLibrary(bytes, unused);
        // It must refuse too (the fuzzer checks that): never a silent accept.
        const std::size_t nLine = CLineCounter(bytes).LineOf(e.Offset());
        throw std::logic_error("line " + std::to_string(nLine) + ": internal error: lumo's XML reader finds " +
                               e.what() + " here, but libxml2 reads the file; nothing was imported");
    }
}

}  // namespace

CTranslations ReadXliffBytes(std::string_view bytes, CWarnings& warnings)
{
    std::string padded(bytes);
    padded.append(kPadding, '\0');
    return ReadTerminated(std::string_view(padded.data(), bytes.size()), warnings, nullptr);
}

CTranslations ReadXliff(const std::string& path, CWarnings& warnings)
{
    if (IsStream(path)) {
        std::string bytes = ReadStream(path);
        const std::size_t nSize = bytes.size();
        bytes.append(kPadding, '\0');
        return ReadOrWordRefusal(std::string_view(bytes.data(), nSize), warnings, nullptr);
    }
    {
        // Opening it first gives the reason when it cannot be read.
        CFile probe;
        probe.Open(path, CFile::modeRead);
        if (probe.GetLength() == 0)
            throw CImportError("the file is empty; an XLIFF file holds an <xliff> element");
    }
    CMappedInput file(path);
    try {
        CTranslations translations = ReadOrWordRefusal(file.Bytes(), warnings, &file);
        // What was read of a file cut short meanwhile says nothing about it.
        file.ThrowIfCut();
        return translations;
    } catch (...) {
        file.ThrowIfCut();
        throw;
    }
}

}  // namespace lumo_cli
