// SPDX-License-Identifier: MIT
// XLIFF 1.2 through libxml2's SAX2 parser: one unit at a time, so a file of
// any size is read in little memory.
#include "StreamIo.h"
#include "Text.h"
#include "TranslationFormats.h"

#include "platform/File.h"

#include <libxml/parserInternals.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <cstdio>
#include <exception>
#include <optional>
#include <span>

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
std::size_t UnitNumber(std::string_view id)
{
    std::size_t n = 0;
    const auto [end, ec] = std::from_chars(id.data(), id.data() + id.size(), n);
    return ec == std::errc() && end == id.data() + id.size() ? n : 0;
}

// libxml2's SAX2 parser with callbacks of our own: no tree is built, not
// even one node at a time, and each unit's texts are kept only until the
// unit ends. The parser checks the XML; what XLIFF says is decided here.
class CUnitReader {
public:
    CUnitReader(const std::string& path, CWarnings& warnings) : m_path(path), m_warnings(warnings)
    {
        // The first bytes are read, and their encoding chosen, already here.
        m_handlers.emplace(&m_error);
        m_ctxt = xmlCreateFileParserCtxt(path.c_str());
        if (!m_ctxt)
            throw CImportError(m_error.empty() ? "libxml2 cannot open it" : m_error);
        // No network, no external entities; libxml2's own limits keep entity
        // expansion in check.
        xmlCtxtUseOptions(m_ctxt, XML_PARSE_NONET | XML_PARSE_BIG_LINES);
        m_ctxt->_private = this;
        xmlSAXHandler& sax = *m_ctxt->sax;
        sax.startElementNs = OnStart;
        sax.endElementNs = OnEnd;
        sax.characters = OnText;
        sax.ignorableWhitespace = OnText;
        sax.cdataBlock = OnCdata;
        sax.comment = OnComment;
        sax.processingInstruction = OnInstruction;
        sax.internalSubset = OnDoctype;
        sax.externalSubset = nullptr;
        sax.reference = nullptr;
        sax.serror = OnParserError;
        sax.error = nullptr;
        sax.warning = nullptr;
    }
    CUnitReader(const CUnitReader&) = delete;
    CUnitReader& operator=(const CUnitReader&) = delete;
    ~CUnitReader()
    {
        if (m_ctxt) {
            xmlFreeDoc(m_ctxt->myDoc);
            m_ctxt->myDoc = nullptr;
            xmlFreeParserCtxt(m_ctxt);
        }
    }

    CTranslations Read()
    {
        const int result = xmlParseDocument(m_ctxt);
        if (m_failure)
            std::rethrow_exception(m_failure);
        if (result < 0 || !m_ctxt->wellFormed || !m_error.empty()) {
            const std::string error = m_error.empty() ? "malformed XML" : m_error;
            // libxml2 calls its size limits "huge"; that is no fault of the syntax.
            if (const std::size_t at = error.find(": malformed XML: "); at != std::string::npos &&
                (error.find("huge text node") != std::string::npos || error.find("Huge input lookup") != std::string::npos ||
                 error.compare(at + 17, 24, "AttValue length too long") == 0))
                throw CImportError(error.substr(0, at) + ": a text or attribute value is over " +
                                   std::to_string(XML_MAX_TEXT_LENGTH) + " bytes, more than XML readers take");
            throw CImportError(error.rfind("line ", 0) == 0 ? error : LineText(CurrentLine()) + error);
        }
        if (!m_bRoot)
            throw CImportError("the file holds no XML element");
        return std::move(m_translations);
    }

private:
    static CUnitReader& Of(void* context)
    {
        return *static_cast<CUnitReader*>(static_cast<xmlParserCtxtPtr>(context)->_private);
    }

    // A refusal from a callback: kept, to be thrown once the parser has
    // returned, since it must not travel through the library's C code.
    template <class Body>
    static void Guarded(void* context, Body&& body)
    {
        CUnitReader& reader = Of(context);
        // After an error the parser may go on (a namespace error does), but
        // the file is refused for it: what it means as XLIFF no longer matters.
        if (reader.m_failure || !reader.m_error.empty())
            return;
        try {
            body(reader);
        } catch (...) {
            reader.m_failure = std::current_exception();
            xmlStopParser(reader.m_ctxt);
        }
    }

    // The parser's errors come with its context, not the text they go to.
    static void OnParserError(void* context, xmlErrorPtr error) { OnXmlError(&Of(context).m_error, error); }

    static void OnStart(void* context, const xmlChar* localName, const xmlChar*, const xmlChar* uri, int,
                        const xmlChar**, int nAttributes, int, const xmlChar** attributes)
    {
        Guarded(context, [&](CUnitReader& reader) {
            reader.OnElement(View(localName), View(uri), std::span(attributes, static_cast<std::size_t>(nAttributes) * 5));
        });
    }

    static void OnEnd(void* context, const xmlChar*, const xmlChar*, const xmlChar*)
    {
        Guarded(context, [&](CUnitReader& reader) { reader.OnEndElement(); });
    }

    static void OnText(void* context, const xmlChar* text, int nLength)
    {
        Guarded(context, [&](CUnitReader& reader) {
            reader.OnCharacters({reinterpret_cast<const char*>(text), static_cast<std::size_t>(nLength)}, false);
        });
    }

    static void OnCdata(void* context, const xmlChar* text, int nLength)
    {
        Guarded(context, [&](CUnitReader& reader) {
            reader.OnCharacters({reinterpret_cast<const char*>(text), static_cast<std::size_t>(nLength)}, true);
        });
    }

    static void OnComment(void* context, const xmlChar*)
    {
        Guarded(context, [&](CUnitReader& reader) { reader.m_nRun = 0; });
    }

    static void OnInstruction(void* context, const xmlChar*, const xmlChar*)
    {
        Guarded(context, [&](CUnitReader& reader) { reader.m_nRun = 0; });
    }

    // XLIFF 1.2 has a schema and no DTD; an internal subset's defaults and
    // entities would change what the file says.
    static void OnDoctype(void* context, const xmlChar* name, const xmlChar*, const xmlChar*)
    {
        Guarded(context, [&](CUnitReader& reader) {
            throw CImportError(reader.DoctypeLine() + "the file has a document type declaration (<!DOCTYPE " +
                               Shown(View(name)) + ">); XLIFF 1.2 has none, and lumo reads no DTD, its entities or "
                               "defaults");
        });
    }

    std::size_t CurrentLine() const
    {
        const long nLine = m_ctxt->input ? m_ctxt->input->line : -1;
        return nLine > 0 ? static_cast<std::size_t>(nLine) : 0;
    }

    static std::string LineText(std::size_t nLine) { return "line " + std::to_string(nLine) + ": "; }

    // The parser reaches the declaration's callback only once it has read
    // its name and identifiers; the line where it starts is found in the bytes.
    std::string DoctypeLine() const
    {
        if (!m_path.empty() && !IsStream(m_path)) {
            std::ifstream in(m_path, std::ios::binary);
            std::string head(1 << 20, '\0');
            in.read(head.data(), static_cast<std::streamsize>(head.size()));
            head.resize(static_cast<std::size_t>(in.gcount()));
            if (const std::size_t at = head.find("<!DOCTYPE"); at != std::string::npos)
                return LineText(1 + static_cast<std::size_t>(std::count(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(at), '\n')));
        }
        return LineText(CurrentLine());
    }

    // An attribute without a namespace, its references replaced; nothing
    // when it is absent. The parser replaces them all but "&" itself, which
    // it gives as "&#38;" for a tree builder to replace: here, into buffer.
    std::optional<std::string_view> Attribute(std::span<const xmlChar*> attributes, std::string_view name,
                                              std::string& buffer) const
    {
        for (std::size_t i = 0; i + 4 < attributes.size(); i += 5) {
            if (attributes[i + 1] != nullptr || View(attributes[i]) != name)
                continue;
            const auto* begin = reinterpret_cast<const char*>(attributes[i + 3]);
            const auto* end = reinterpret_cast<const char*>(attributes[i + 4]);
            const std::string_view value(begin, static_cast<std::size_t>(end - begin));
            if (value.size() > XML_MAX_TEXT_LENGTH)
                throw CImportError(LineText(CurrentLine()) + "the attribute " + std::string(name) + " is " +
                                   std::to_string(value.size()) + " bytes long; lumo reads at most " +
                                   std::to_string(XML_MAX_TEXT_LENGTH) + " bytes, as for a text");
            if (value.find('&') == std::string_view::npos)
                return value;
            buffer.clear();
            for (std::size_t at = 0; at < value.size();) {
                const std::size_t amp = value.find("&#38;", at);
                buffer.append(value.substr(at, amp == std::string_view::npos ? std::string_view::npos : amp - at));
                if (amp == std::string_view::npos)
                    break;
                buffer += '&';
                at = amp + 5;
            }
            return std::string_view(buffer);
        }
        return std::nullopt;
    }

    // The parser calls back for a start tag before it looks past its
    // attributes: "/>" there means an element with no content, whose end
    // follows at once.
    bool AtEmptyElementEnd() const
    {
        const xmlChar* p = m_ctxt->input ? m_ctxt->input->cur : nullptr;
        return p && p[0] == '/' && p[1] == '>';
    }

    void OnCharacters(std::string_view text, bool bCdata)
    {
        // libxml2's tree builder refuses a text node over its limit; the
        // same limit holds here for every run of text, kept or not.
        if (bCdata != m_bRunCdata) {
            m_bRunCdata = bCdata;
            m_nRun = 0;
        }
        m_nRun += text.size();
        if (m_textDepth >= 0) {
            // A text kept grows by its runs; no text lumo writes is longer
            // than one run may be.
            std::string& kept = m_phDepth >= 0 ? m_ph : *m_pText;
            kept += text;
            m_nRun = std::max(m_nRun, kept.size());
        }
        if (m_nRun > XML_MAX_TEXT_LENGTH)
            throw CImportError(LineText(CurrentLine()) + "a text or attribute value is over " +
                               std::to_string(XML_MAX_TEXT_LENGTH) + " bytes, more than XML readers take");
    }

    void OnElement(std::string_view name, std::string_view uri, std::span<const xmlChar*> attributes)
    {
        m_nRun = 0;
        const int depth = m_depth++;
        const bool bXliff = uri == kNamespace;
        const bool bEmpty = AtEmptyElementEnd();
        m_bSkipEnd = bEmpty;  // the element is done with here
        if (!m_bRoot) {
            m_bRoot = true;
            if (name != "xliff" || !bXliff)
                throw CImportError(LineText(CurrentLine()) + "this is not XLIFF 1.2: the document element is <" +
                                   std::string(name) + "> in the namespace " + Quoted(uri) + ", not <xliff> in \"" +
                                   std::string(kNamespace) + "\"");
            return;
        }
        if (m_textDepth >= 0) {
            OnInline(name, depth, bEmpty);
            return;
        }
        if (bXliff && name == "trans-unit" && m_unitDepth < 0 && !bEmpty) {
            m_unitDepth = depth;
            m_nUnitLine = CurrentLine();
            m_id = Attribute(attributes, "id", m_attribute).value_or("");
            const std::optional<std::string_view> resname = Attribute(attributes, "resname", m_attribute);
            m_bHasName = resname.has_value();
            m_name = resname.value_or("");
            m_approved = Attribute(attributes, "approved", m_attribute).value_or("");
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
                m_state = Attribute(attributes, "state", m_attribute).value_or("");
                m_nTargetLine = CurrentLine();
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
            throw CImportError(LineText(CurrentLine()) + "the inline element <" + std::string(name) +
                               "> is not one lumo writes; a text holds only characters and "
                               "<ph ctype=\"x-lumo-control\">U+XXXX</ph> for control characters");
        if (name == "ph") {
            m_ph.clear();
            m_nPhLine = CurrentLine();
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
            throw CImportError(LineText(m_nPhLine) + "a <ph> placeholder holds " + Quoted(m_ph) +
                               "; lumo writes them for control characters only, as U+0001 to U+001F");
    }

    void OnEndElement()
    {
        m_nRun = 0;
        const int depth = --m_depth;
        if (m_bSkipEnd) {
            m_bSkipEnd = false;
            return;
        }
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
                throw CImportError(LineText(m_nTargetLine) + "the target of unit " + Quoted(m_id) + " (resname " +
                                   Quoted(m_name) + "): " + problem->message);
            m_targetBytes = "?";  // fuzzy: counted, never used
        }
        if (!m_translations.Add({m_nameBytes, m_sourceBytes, m_targetBytes, bFuzzy, UnitNumber(m_id)}))
            m_warnings.Add("units repeating an earlier unit", [&] {
                return LineText(m_nUnitLine) + "unit " + Quoted(m_id) + " has the resname and source of an earlier "
                                               "unit; the earlier one is used";
            });
    }

    std::string m_path;
    CWarnings& m_warnings;
    std::string m_error;
    std::optional<CThreadErrorHandlers> m_handlers;  // while the parser lives
    xmlParserCtxtPtr m_ctxt = nullptr;
    std::exception_ptr m_failure;
    CTranslations m_translations;
    bool m_bRoot = false, m_bSkipEnd = false, m_bRunCdata = false;
    int m_depth = 0, m_unitDepth = -1, m_textDepth = -1, m_phDepth = -1;
    std::size_t m_nRun = 0;  // bytes of the text run at hand
    std::size_t m_nUnitLine = 0, m_nTargetLine = 0, m_nPhLine = 0;
    std::string m_id, m_name, m_source, m_target, m_state, m_approved, m_ph;
    std::string m_attribute;  // an attribute whose "&" had to be put back
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
