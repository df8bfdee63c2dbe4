// SPDX-License-Identifier: MIT
// XLIFF 1.2 through libxml2's streaming reader: one unit at a time, so a
// file of any size is read in little memory.
#include "StreamIo.h"
#include "Text.h"
#include "TranslationFormats.h"

#include "platform/File.h"

#include <libxml/parserInternals.h>
#include <libxml/xmlreader.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <cstdio>
#include <optional>

namespace lumo_cli {

namespace {

constexpr std::string_view kNamespace = "urn:oasis:names:tc:xliff:document:1.2";

std::string_view View(const xmlChar* text)
{
    return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

// The first error the parser reports, with its line when it has one.
void OnXmlError(void* context, xmlErrorPtr error)
{
    auto* pText = static_cast<std::string*>(context);
    if (!error || error->level < XML_ERR_ERROR || !pText->empty())
        return;
    std::string message = error->message ? error->message : "malformed XML";
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    const std::string what = error->domain == XML_FROM_I18N
                                 ? "the bytes are not text in the encoding the file declares: "
                                 : "malformed XML: ";
    *pText = (error->line > 0 ? "line " + std::to_string(error->line) + ": " : std::string()) + what + message;
}

// Errors of the encoding conversion and of the input layer come with no
// parser: libxml2 gives them to the thread's handlers, which print them on
// standard error. While a file is read they go where the reader's go
// instead, so the refusal names them and nothing else is printed.
void IgnoreGenericError(void*, const char*, ...) {}

class CThreadErrorHandlers {
public:
    explicit CThreadErrorHandlers(std::string* pFirstError)
        : m_structured(xmlStructuredError), m_pStructuredContext(xmlStructuredErrorContext),
          m_generic(xmlGenericError), m_pGenericContext(xmlGenericErrorContext)
    {
        xmlSetStructuredErrorFunc(pFirstError, OnXmlError);
        xmlSetGenericErrorFunc(nullptr, IgnoreGenericError);
    }
    CThreadErrorHandlers(const CThreadErrorHandlers&) = delete;
    CThreadErrorHandlers& operator=(const CThreadErrorHandlers&) = delete;
    ~CThreadErrorHandlers()
    {
        xmlSetStructuredErrorFunc(m_pStructuredContext, m_structured);
        xmlSetGenericErrorFunc(m_pGenericContext, m_generic);
    }

private:
    xmlStructuredErrorFunc m_structured;
    void* m_pStructuredContext;
    xmlGenericErrorFunc m_generic;
    void* m_pGenericContext;
};

// XLIFF states that mean the target is a finished translation; any other
// state (new, needs-translation, needs-review-translation, ...) is fuzzy,
// unless the unit is approved: Translate Toolkit and the tools built on it
// decide by approved="yes" alone.
bool IsFinalState(std::string_view state, std::string_view approved)
{
    return approved == "yes" || state.empty() || state == "translated" || state == "final" || state == "signed-off";
}

// lumo numbers its units from 1; the number of another tool's unit is no use.
std::size_t UnitNumber(const std::string& id)
{
    std::size_t n = 0;
    const auto [end, ec] = std::from_chars(id.data(), id.data() + id.size(), n);
    return ec == std::errc() && end == id.data() + id.size() ? n : 0;
}

class CUnitReader {
public:
    CUnitReader(const std::string& path, CWarnings& warnings) : m_path(path), m_warnings(warnings)
    {
        // The first bytes are read, and their encoding chosen, already here.
        m_handlers.emplace(&m_error);
        // No network, no external entities; libxml2's own limits keep entity
        // expansion in check.
        m_reader = xmlReaderForFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_BIG_LINES);
        if (!m_reader)
            throw CImportError(m_error.empty() ? "libxml2 cannot open it" : m_error);
        xmlTextReaderSetStructuredErrorHandler(m_reader, OnXmlError, &m_error);
    }
    CUnitReader(const CUnitReader&) = delete;
    CUnitReader& operator=(const CUnitReader&) = delete;
    ~CUnitReader() { xmlFreeTextReader(m_reader); }

    CTranslations Read()
    {
        int result;
        while ((result = xmlTextReaderRead(m_reader)) == 1)
            OnNode();
        if (result < 0 || !m_error.empty()) {
            const std::string error = m_error.empty() ? "malformed XML" : m_error;
            // libxml2 calls its size limits "huge"; that is no fault of the syntax.
            if (const std::size_t at = error.find(": malformed XML: "); at != std::string::npos &&
                (error.find("huge text node") != std::string::npos || error.find("Huge input lookup") != std::string::npos))
                throw CImportError(error.substr(0, at) + ": a text or attribute value is over " +
                                   std::to_string(XML_MAX_TEXT_LENGTH) + " bytes, more than XML readers take");
            throw CImportError(error.rfind("line ", 0) == 0 ? error : Line() + error);
        }
        if (!m_bRoot)
            throw CImportError("the file holds no XML element");
        return std::move(m_translations);
    }

private:
    // The line of the node at hand; the parser itself may have read further.
    std::string Line() const
    {
        const xmlNodePtr node = xmlTextReaderCurrentNode(m_reader);
        const long nLine = node ? xmlGetLineNo(node) : -1;
        return "line " + std::to_string(nLine > 0 ? nLine : xmlTextReaderGetParserLineNumber(m_reader)) + ": ";
    }

    // The reader meets the declaration only once it has read past its
    // internal subset; the line where it starts is found in the bytes.
    std::string DoctypeLine() const
    {
        if (!m_path.empty() && !IsStream(m_path)) {
            std::ifstream in(m_path, std::ios::binary);
            std::string head(1 << 20, '\0');
            in.read(head.data(), static_cast<std::streamsize>(head.size()));
            head.resize(static_cast<std::size_t>(in.gcount()));
            if (const std::size_t at = head.find("<!DOCTYPE"); at != std::string::npos)
                return "line " + std::to_string(1 + std::count(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(at), '\n')) + ": ";
        }
        return Line();
    }

    // An attribute's value, asked for once; nothing when it is absent.
    std::optional<std::string> Attribute(const char* name) const
    {
        xmlChar* value = xmlTextReaderGetAttribute(m_reader, reinterpret_cast<const xmlChar*>(name));
        if (!value)
            return std::nullopt;
        std::string result(View(value));
        xmlFree(value);
        if (result.size() > XML_MAX_TEXT_LENGTH)
            throw CImportError(Line() + "the attribute " + name + " is " + std::to_string(result.size()) +
                               " bytes long; lumo reads at most " + std::to_string(XML_MAX_TEXT_LENGTH) +
                               " bytes, as for a text");
        return result;
    }

    void OnNode()
    {
        const int type = xmlTextReaderNodeType(m_reader);
        const int depth = xmlTextReaderDepth(m_reader);
        if (type == XML_READER_TYPE_ELEMENT)
            OnElement(depth);
        else if (type == XML_READER_TYPE_END_ELEMENT)
            OnEnd(depth);
        else if (type == XML_READER_TYPE_TEXT || type == XML_READER_TYPE_CDATA ||
                 type == XML_READER_TYPE_WHITESPACE || type == XML_READER_TYPE_SIGNIFICANT_WHITESPACE) {
            if (m_textDepth >= 0)
                (m_phDepth >= 0 ? m_ph : *m_pText) += View(xmlTextReaderConstValue(m_reader));
        } else if (type == XML_READER_TYPE_DOCUMENT_TYPE) {
            // XLIFF 1.2 has a schema and no DTD; an internal subset's
            // defaults and entities would change what the file says.
            throw CImportError(DoctypeLine() + "the file has a document type declaration (<!DOCTYPE " +
                               Shown(View(xmlTextReaderConstName(m_reader))) +
                               ">); XLIFF 1.2 has none, and lumo reads no DTD, its entities or defaults");
        } else if (type == XML_READER_TYPE_ENTITY_REFERENCE) {
            throw CImportError(Line() + "the entity reference &" + std::string(View(xmlTextReaderConstLocalName(m_reader))) +
                               "; is not defined by XML itself; lumo reads only &lt; &gt; &amp; &quot; &apos; and "
                               "character references");
        }
    }

    void OnElement(int depth)
    {
        const std::string_view name = View(xmlTextReaderConstLocalName(m_reader));
        const bool bXliff = View(xmlTextReaderConstNamespaceUri(m_reader)) == kNamespace;
        const bool bEmpty = xmlTextReaderIsEmptyElement(m_reader) == 1;
        if (!m_bRoot) {
            m_bRoot = true;
            if (name != "xliff" || !bXliff)
                throw CImportError(Line() + "this is not XLIFF 1.2: the document element is <" + std::string(name) +
                                   "> in the namespace " + Quoted(View(xmlTextReaderConstNamespaceUri(m_reader))) +
                                   ", not <xliff> in \"" + std::string(kNamespace) + "\"");
            return;
        }
        if (m_textDepth >= 0) {
            OnInline(name, depth, bEmpty);
            return;
        }
        if (bXliff && name == "trans-unit" && m_unitDepth < 0 && !bEmpty) {
            m_unitDepth = depth;
            m_unitLine = Line();
            m_id = Attribute("id").value_or("");
            const std::optional<std::string> name = Attribute("resname");
            m_bHasName = name.has_value();
            m_name = name.value_or("");
            m_approved = Attribute("approved").value_or("");
            m_source.clear();
            m_target.clear();
            m_state.clear();
            m_bHasSource = m_bHasTarget = false;
            return;
        }
        if (bXliff && m_unitDepth >= 0 && depth == m_unitDepth + 1 && (name == "source" || name == "target")) {
            const bool bTarget = name == "target";
            (bTarget ? m_bHasTarget : m_bHasSource) = true;
            if (bTarget) {
                m_state = Attribute("state").value_or("");
                m_targetLine = Line();
            }
            m_pText = bTarget ? &m_target : &m_source;
            if (!bEmpty)
                m_textDepth = depth;
        }
    }

    // An element inside a source or target text.
    void OnInline(std::string_view name, int depth, bool bEmpty)
    {
        if (m_phDepth >= 0 || (name != "ph" && name != "g" && name != "mrk"))
            throw CImportError(Line() + "the inline element <" + std::string(name) +
                               "> is not one lumo writes; a text holds only characters and "
                               "<ph ctype=\"x-lumo-control\">U+XXXX</ph> for control characters");
        if (name == "ph") {
            m_ph.clear();
            if (bEmpty)
                AppendControl();
            else
                m_phDepth = depth;
        }
    }

    void AppendControl()
    {
        unsigned value = 0;
        int nRead = 0;
        if (m_ph.size() == 6 && std::sscanf(m_ph.c_str(), "U+%4X%n", &value, &nRead) == 1 && nRead == 6 &&
            value > 0 && value < 0x20)
            *m_pText += static_cast<char>(value);
        else
            throw CImportError(Line() + "a <ph> placeholder holds " + Quoted(m_ph) +
                               "; lumo writes them for control characters only, as U+0001 to U+001F");
    }

    void OnEnd(int depth)
    {
        if (depth == m_phDepth) {
            m_phDepth = -1;
            AppendControl();
        } else if (depth == m_textDepth) {
            m_textDepth = -1;
        } else if (depth == m_unitDepth) {
            m_unitDepth = -1;
            AddUnit();
        }
    }

    void AddUnit()
    {
        if (!m_bHasName || !m_bHasSource || m_source.empty() || ToEntryText(m_name, m_nameBytes) ||
            ToEntryText(m_source, m_sourceBytes)) {
            m_translations.AddUnmatchable();
            return;
        }
        const bool bFuzzy = !IsFinalState(m_state, m_approved);
        if (const auto problem = ToEntryText(m_target, m_targetBytes)) {
            if (!bFuzzy)
                throw CImportError(m_targetLine + "the target of unit " + Quoted(m_id) + " (resname " + Quoted(m_name) +
                                   "): " + problem->message);
            m_targetBytes = "?";  // fuzzy: counted, never used
        }
        if (!m_translations.Add({m_nameBytes, m_sourceBytes, m_targetBytes, bFuzzy, UnitNumber(m_id)}))
            m_warnings.Add("units repeating an earlier unit", [&] {
                return m_unitLine + "unit " + Quoted(m_id) + " has the resname and source of an earlier unit; the "
                                    "earlier one is used";
            });
    }

    std::string m_path;
    CWarnings& m_warnings;
    std::string m_error;
    std::optional<CThreadErrorHandlers> m_handlers;  // while the reader lives
    xmlTextReaderPtr m_reader = nullptr;
    CTranslations m_translations;
    bool m_bRoot = false;
    int m_unitDepth = -1, m_textDepth = -1, m_phDepth = -1;
    std::string m_id, m_name, m_source, m_target, m_state, m_approved, m_ph, m_unitLine, m_targetLine;
    std::string m_nameBytes, m_sourceBytes, m_targetBytes;  // Windows-1252
    std::string* m_pText = nullptr;
    bool m_bHasName = false, m_bHasSource = false, m_bHasTarget = false;
};

}  // namespace

CTranslations ReadXliff(const std::string& path, CWarnings& warnings)
{
    {
        // Opening it first gives the reason when it cannot be read.
        CFile probe;
        if (!IsStream(path))
            probe.Open(path, CFile::modeRead);
        if (probe.IsOpen() && probe.GetLength() == 0)
            throw CImportError("the file is empty; an XLIFF file holds an <xliff> element");
    }
    CUnitReader reader(path, warnings);
    return reader.Read();
}

}  // namespace lumo_cli
