// SPDX-License-Identifier: MIT
// What an XLIFF 1.2 file says, from the events of an XML reader: lumo's own
// (XmlScanner.h), which reads every import, or libxml2's SAX2 parser, which
// words the refusal of a file that is not well-formed XML and is the oracle
// the tests and lumo_fuzz_xliffread hold lumo's reader to. Both readers give
// this class the same events in the same order, so what XLIFF means is
// decided once, here.
#pragma once

#include "Text.h"
#include "Translation.h"
#include "XmlScanner.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumo_cli {

// libxml2's limit on a text node, an attribute value and a comment without
// XML_PARSE_HUGE (its XML_MAX_TEXT_LENGTH); lumo holds every text to it.
inline constexpr std::size_t kXmlMaxText = 10000000;

// The line of a place the reader gave: libxml2 gives lines, lumo's reader
// byte offsets, counted into lines only for a message.
class CXmlPlaces {
public:
    virtual std::size_t LineOf(std::size_t place) const = 0;

protected:
    ~CXmlPlaces() = default;
};

// A file refused for being in another encoding than UTF-8.
class CXmlEncodingRefusal : public CImportError {
public:
    using CImportError::CImportError;
};

// Units a second reader read ahead (see CXmlSplit), their texts decoded,
// for the first to add in document order.
struct CUnitBatch {
    struct CUnit {
        std::uint32_t nName = 0, nSource = 0, nTarget = 0, nId = 0;  // their bytes, one after the other
        bool bFuzzy = false, bUnmatchable = false;
        std::size_t nUnitId = 0, nPlace = 0;
    };
    std::string bytes;
    std::vector<CUnit> units;
};

class CUnitBatchSink {
public:
    // Takes the batch, leaving an empty one in its place (perhaps one given
    // back, its memory kept). May throw to stop the reading.
    virtual void Push(CUnitBatch& batch) = 0;

protected:
    ~CUnitBatchSink() = default;
};

class CXliffUnits {
public:
    CXliffUnits(const CXmlPlaces& places, CWarnings& warnings) : m_places(places), m_warnings(warnings) {}

    // Where the reading stands between two elements; the same place in the
    // same state reads on the same.
    struct CPosition {
        bool bRoot = false, bSkipEnd = false, bRunCdata = false;
        int depth = 0, unitDepth = -1, textDepth = -1, phDepth = -1;
        bool operator==(const CPosition&) const = default;
    };
    CPosition Position() const
    {
        return {m_bRoot, m_bSkipEnd, m_bRunCdata, m_depth, m_unitDepth, m_textDepth, m_phDepth};
    }
    // Reads on from position, each unit's translation given to sink in
    // batches instead of added (and its warning left to AddDeferred).
    void ResumeDeferred(const CPosition& position, CUnitBatchSink& sink);
    // The rest of the units to the sink.
    void FlushDeferred();
    // Adds a unit a deferred reader gave, as it would have been added here;
    // p is where its bytes start in the batch. Returns their length.
    std::size_t AddDeferred(const char* p, const CUnitBatch::CUnit& unit);

    // A start tag; place is where the reader stands once its attributes
    // are read (libxml2's line there).
    void OnElement(std::string_view name, std::string_view uri, const CXmlAttributeSource& attributes, bool bEmpty,
                   std::size_t place);
    void OnEndElement();
    // Where the next text goes; null when it is not kept.
    CTextSink* TextSink() { return m_textDepth >= 0 ? (m_phDepth >= 0 ? &m_ph : m_pText) : nullptr; }
    // A piece of text (characters, a reference or a CDATA section) of
    // nUtf8 bytes, already added to TextSink().
    void OnText(std::size_t nUtf8, bool bCdata, std::size_t place);
    void OnComment() { m_nRun = 0; }
    void OnInstruction() { m_nRun = 0; }
    // A DOCTYPE: refused. line is where it starts when known, else 0.
    [[noreturn]] void OnDoctype(std::string_view name, std::size_t line, std::size_t place);
    // An encoding other than UTF-8: refused with CXmlEncodingRefusal.
    [[noreturn]] void OnEncoding(std::string_view encoding, std::size_t place);

    CTranslations Finish();

private:
    std::string LineText(std::size_t place) const;
    void OnInline(std::string_view name, int depth, bool bEmpty, std::size_t place);
    void AppendControl();
    void AddUnit();
    void AddTranslation(const CTranslation& translation, std::size_t unitPlace, std::string_view id);

    const CXmlPlaces& m_places;
    CWarnings& m_warnings;
    CTranslations m_translations;
    bool m_bRoot = false, m_bSkipEnd = false, m_bRunCdata = false;
    int m_depth = 0, m_unitDepth = -1, m_textDepth = -1, m_phDepth = -1;
    std::size_t m_nRun = 0;  // UTF-8 bytes of the text run at hand
    std::size_t m_unitPlace = 0, m_targetPlace = 0, m_phPlace = 0;
    std::string m_id, m_name, m_state, m_approved;  // UTF-8
    CTextSink m_source, m_target, m_ph;
    std::string m_attribute;  // an attribute's value as the reader decoded it
    std::string m_nameBytes;  // Windows-1252
    CTextSink* m_pText = nullptr;
    bool m_bHasName = false, m_bHasSource = false, m_bHasTarget = false;
    CUnitBatchSink* m_pDeferred = nullptr;
    CUnitBatch m_batch;
};

// The translations of an XLIFF file read by libxml2's SAX2 parser: the
// oracle of lumo's own reader, and the one that words its refusal of a
// file that is not well-formed. Throws CImportError.
CTranslations ReadXliffWithLibrary(std::string_view bytes, CWarnings& warnings);

// The same read by lumo's own reader. A file that is not well-formed XML
// throws CXmlNotWellFormed; every other refusal is a CImportError.
// A large file is read from two places at once (CXmlSplit), the second
// where a unit seems to start a tenth of the way in; nSplit, when
// given, names that place instead (the tests try each "<trans-unit"), or
// 0 for none.
inline constexpr std::size_t kGuessSplit = static_cast<std::size_t>(-1);
CTranslations ReadXliffBytes(std::string_view bytes, CWarnings& warnings, std::size_t nSplit = kGuessSplit);

// The line where a file's DOCTYPE starts, as both readers name it: the
// first "<!DOCTYPE" in its first MiB, or 0 past that.
std::size_t DoctypeLineOf(std::string_view bytes);

}  // namespace lumo_cli
