// SPDX-License-Identifier: MIT
// lumo's own streaming XML reader, for what an XLIFF import needs: one pass
// over a document's bytes (UTF-8), with the well-formedness rules of XML 1.0
// and of namespaces that libxml2 enforces (libxml2 2.9 read with
// XML_PARSE_NONET, every error fatal), reporting what it reads as the
// events libxml2's SAX2 parser gives. Texts go straight into the sink the
// reader of the events names, decoded to Windows-1252.
//
// libxml2 stays the oracle: lumo_fuzz_xliffread and lumo_xliff_oracle_test
// hold the two to the same outcome, and a document refused here as not
// well-formed is read again by libxml2 only to word the refusal.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace lumo_cli {

// Where the text of an element goes while it is read: Windows-1252 bytes
// for an entry (or UTF-8, bUtf8), and its length in UTF-8, which the limits
// count.
struct CTextSink {
    std::string bytes;
    std::size_t nUtf8 = 0;
    char32_t bad = 0;  // the first character with no Windows-1252 byte; 0: none
    bool bUtf8 = false;

    void Clear()
    {
        bytes.clear();
        nUtf8 = 0;
        bad = 0;
    }
    // A piece of text given as UTF-8 (whole characters).
    void AppendUtf8(std::string_view utf8);
};

// The attributes of a start tag, as the reader has them.
class CXmlAttributeSource {
public:
    // The value of the attribute name (with no namespace prefix), its
    // references replaced and its blanks normalised as XML says, except
    // that each "&" it holds stands as "&#38;" when the value is over the
    // limit of a text (libxml2's length of it); nothing when it is absent.
    // buffer may hold the value.
    virtual std::optional<std::string_view> Find(std::string_view name, std::string& buffer) const = 0;

protected:
    ~CXmlAttributeSource() = default;
};

// What the reader reports, in document order. Any of these may throw to
// stop the reading.
class CXmlEvents {
public:
    // An XML declaration names an encoding other than UTF-8, or the first
    // bytes are those of another encoding (UTF-16, UCS-4, EBCDIC).
    virtual void OnEncoding(std::string_view encoding, std::size_t offset) = 0;
    // A document type declaration, once its name and external identifier
    // are read (where libxml2 calls back for it).
    virtual void OnDoctype(std::string_view name, std::size_t offset) = 0;
    // A start tag; offset is that of its ">" or "/>".
    virtual void OnElement(std::string_view localName, std::string_view uri, const CXmlAttributeSource& attributes,
                           bool bEmpty, std::size_t offset) = 0;
    virtual void OnEndElement() = 0;
    // Where the coming text goes; null when it is not kept.
    virtual CTextSink* TextSink() = 0;
    // A piece of text of nUtf8 bytes, already in TextSink(): the characters
    // and references between two tags, or a CDATA section.
    virtual void OnText(std::size_t nUtf8, bool bCdata, std::size_t offset) = 0;
    virtual void OnComment() = 0;
    virtual void OnInstruction() = 0;
    // The bytes before offset are done with (but for counting lines).
    virtual void OnProgress(std::size_t) {}

protected:
    ~CXmlEvents() = default;
};

// The document is not well-formed XML (or breaks one of libxml2's limits):
// offset is where the reader stopped, what a short description.
class CXmlNotWellFormed : public std::runtime_error {
public:
    CXmlNotWellFormed(std::size_t offset, const std::string& what) : std::runtime_error(what), m_offset(offset) {}
    std::size_t Offset() const { return m_offset; }

private:
    std::size_t m_offset;
};

// The reader's state where a start tag begins: the open elements and the
// namespaces in force.
struct CXmlState {
    struct COpen {
        std::size_t nName, nNameLength;  // the offset and length of its name
        std::size_t nBindings;           // bindings in force before it
    };
    struct CBinding {
        std::string prefix, uri;
        bool operator==(const CBinding&) const = default;
    };
    std::vector<COpen> open;
    std::vector<CBinding> bindings;
};

// A document read from two places at once. The first reader, from the
// start, keeps its state where a start tag begins at nFirst and calls
// Start(), which may start a second reader (ScanXmlFrom) at nSecond in that
// state, on another thread. When the first gets to a start tag at nSecond in
// the same state, the second one read on exactly as it would have, and
// TakeOver() gives its events in order; otherwise (nSecond was inside a
// comment, a CDATA section, another element...) Abandon() drops it and the
// first reads on alone.
class CXmlSplit {
public:
    std::size_t nFirst = 0, nSecond = 0;
    CXmlState state;  // the first reader's at nFirst

    virtual void Start() = 0;
    // True when the second reader's events were taken over: the reading ends.
    virtual bool TakeOver() = 0;
    virtual void Abandon() = 0;

protected:
    ~CXmlSplit() = default;
};

// Reads the document, giving its events; throws CXmlNotWellFormed or what
// the events throw. Sixteen 0 bytes must follow bytes (the reader looks at
// the bytes after a place without checking for the end each time).
void ScanXml(std::string_view bytes, CXmlEvents& events, CXmlSplit* pSplit = nullptr);
// The same from offset on, the start of a start tag, in state (the second
// reader of a split).
void ScanXmlFrom(std::string_view bytes, const CXmlState& state, std::size_t offset, CXmlEvents& events);

// The line of an offset as libxml2 counts it: 1 + the line feeds before it.
// Counts from the offset asked last, so offsets asked in order cost one pass.
class CLineCounter {
public:
    explicit CLineCounter(std::string_view bytes) : m_bytes(bytes) {}
    std::size_t LineOf(std::size_t offset) const;

private:
    std::string_view m_bytes;
    mutable std::size_t m_offset = 0, m_line = 1;
};

}  // namespace lumo_cli
