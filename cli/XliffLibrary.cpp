// SPDX-License-Identifier: MIT
// XLIFF 1.2 through libxml2's SAX2 parser: the oracle of lumo's own reader
// and the one that words the refusal of a file that is not well-formed.
#include "XliffUnits.h"

#include <libxml/parserInternals.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <exception>
#include <optional>
#include <span>

namespace lumo_cli {

namespace {

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

// The attributes libxml2 gives a start tag: localname, prefix, URI, value
// and its end, five pointers each.
class CLibraryAttributes final : public CXmlAttributeSource {
public:
    explicit CLibraryAttributes(std::span<const xmlChar*> attributes) : m_attributes(attributes) {}

    // The parser replaces every reference but "&" itself, which it gives as
    // "&#38;" for a tree builder to replace: here, into buffer.
    std::optional<std::string_view> Find(std::string_view name, std::string& buffer) const override
    {
        for (std::size_t i = 0; i + 4 < m_attributes.size(); i += 5) {
            if (m_attributes[i + 1] != nullptr || View(m_attributes[i]) != name)
                continue;
            const auto* begin = reinterpret_cast<const char*>(m_attributes[i + 3]);
            const auto* end = reinterpret_cast<const char*>(m_attributes[i + 4]);
            const std::string_view value(begin, static_cast<std::size_t>(end - begin));
            // Its length as the parser holds it is the one held to the limit.
            if (value.find('&') == std::string_view::npos || value.size() > kXmlMaxText)
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

private:
    std::span<const xmlChar*> m_attributes;
};

// The input is read from memory through libxml2's I/O layer, as it reads a
// file: in pieces, its encoding found from the first bytes.
struct CMemoryInput {
    std::string_view bytes;
    std::size_t at = 0;

    static int Read(void* context, char* buffer, int nLength)
    {
        auto& input = *static_cast<CMemoryInput*>(context);
        const std::size_t n = std::min(static_cast<std::size_t>(std::max(nLength, 0)), input.bytes.size() - input.at);
        std::memcpy(buffer, input.bytes.data() + input.at, n);
        input.at += n;
        return static_cast<int>(n);
    }
    static int Close(void*) { return 0; }
};

// libxml2's SAX2 parser with callbacks of our own: no tree is built, not
// even one node at a time. The parser checks the XML; what XLIFF says is
// decided by CXliffUnits, as for lumo's own reader.
class CLibraryReader final : public CXmlPlaces {
public:
    CLibraryReader(std::string_view bytes, CWarnings& warnings)
        : m_bytes(bytes), m_input{bytes}, m_units(*this, warnings)
    {
        // The first bytes are read, and their encoding chosen, already here.
        m_handlers.emplace(&m_error);
        m_ctxt = xmlCreateIOParserCtxt(nullptr, nullptr, CMemoryInput::Read, CMemoryInput::Close, &m_input,
                                       XML_CHAR_ENCODING_NONE);
        if (!m_ctxt)
            throw CImportError(m_error.empty() ? "libxml2 cannot read it" : m_error);
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
    CLibraryReader(const CLibraryReader&) = delete;
    CLibraryReader& operator=(const CLibraryReader&) = delete;
    ~CLibraryReader()
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
            throw CImportError(error.rfind("line ", 0) == 0 ? error : "line " + std::to_string(CurrentLine()) + ": " + error);
        }
        return m_units.Finish();
    }

    std::size_t LineOf(std::size_t place) const override { return place; }

private:
    static CLibraryReader& Of(void* context)
    {
        return *static_cast<CLibraryReader*>(static_cast<xmlParserCtxtPtr>(context)->_private);
    }

    // A refusal from a callback: kept, to be thrown once the parser has
    // returned, since it must not travel through the library's C code.
    template <class Body>
    static void Guarded(void* context, Body&& body)
    {
        CLibraryReader& reader = Of(context);
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
        Guarded(context, [&](CLibraryReader& reader) {
            // lumo reads UTF-8 only: a converter means the file is in another encoding.
            if (!reader.m_bRoot) {
                reader.m_bRoot = true;
                const xmlParserInputPtr input = reader.m_ctxt->input;
                if (input && input->buf && input->buf->encoder)
                    reader.m_units.OnEncoding(input->buf->encoder->name ? input->buf->encoder->name : "?", 1);
            }
            const CLibraryAttributes found(std::span(attributes, static_cast<std::size_t>(nAttributes) * 5));
            reader.m_units.OnElement(View(localName), View(uri), found, reader.AtEmptyElementEnd(), reader.CurrentLine());
        });
    }

    static void OnEnd(void* context, const xmlChar*, const xmlChar*, const xmlChar*)
    {
        Guarded(context, [&](CLibraryReader& reader) { reader.m_units.OnEndElement(); });
    }

    static void OnText(void* context, const xmlChar* text, int nLength)
    {
        Guarded(context, [&](CLibraryReader& reader) { reader.Characters(text, nLength, false); });
    }

    static void OnCdata(void* context, const xmlChar* text, int nLength)
    {
        Guarded(context, [&](CLibraryReader& reader) { reader.Characters(text, nLength, true); });
    }

    static void OnComment(void* context, const xmlChar*)
    {
        Guarded(context, [&](CLibraryReader& reader) { reader.m_units.OnComment(); });
    }

    static void OnInstruction(void* context, const xmlChar*, const xmlChar*)
    {
        Guarded(context, [&](CLibraryReader& reader) { reader.m_units.OnInstruction(); });
    }

    // The parser reaches the declaration's callback only once it has read
    // its name and identifiers; the line where it starts is found in the bytes.
    static void OnDoctype(void* context, const xmlChar* name, const xmlChar*, const xmlChar*)
    {
        Guarded(context, [&](CLibraryReader& reader) {
            reader.m_units.OnDoctype(View(name), DoctypeLineOf(reader.m_bytes), reader.CurrentLine());
        });
    }

    void Characters(const xmlChar* text, int nLength, bool bCdata)
    {
        const std::string_view piece(reinterpret_cast<const char*>(text), static_cast<std::size_t>(nLength));
        if (CTextSink* pSink = m_units.TextSink())
            pSink->AppendUtf8(piece);
        m_units.OnText(piece.size(), bCdata, CurrentLine());
    }

    std::size_t CurrentLine() const
    {
        const long nLine = m_ctxt->input ? m_ctxt->input->line : -1;
        return nLine > 0 ? static_cast<std::size_t>(nLine) : 0;
    }

    // The parser calls back for a start tag before it looks past its
    // attributes: "/>" there means an element with no content, whose end
    // follows at once.
    bool AtEmptyElementEnd() const
    {
        const xmlChar* p = m_ctxt->input ? m_ctxt->input->cur : nullptr;
        return p && p[0] == '/' && p[1] == '>';
    }

    std::string_view m_bytes;
    CMemoryInput m_input;
    std::string m_error;
    std::optional<CThreadErrorHandlers> m_handlers;  // while the parser lives
    xmlParserCtxtPtr m_ctxt = nullptr;
    std::exception_ptr m_failure;
    CXliffUnits m_units;
    bool m_bRoot = false;
};

}  // namespace

std::size_t DoctypeLineOf(std::string_view bytes)
{
    const std::string_view head = bytes.substr(0, std::size_t(1) << 20);
    const std::size_t at = head.find("<!DOCTYPE");
    return at == std::string_view::npos ? 0 : 1 + static_cast<std::size_t>(std::count(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
}

CTranslations ReadXliffWithLibrary(std::string_view bytes, CWarnings& warnings)
{
    CLibraryReader reader(bytes, warnings);
    return reader.Read();
}

}  // namespace lumo_cli
