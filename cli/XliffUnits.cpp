// SPDX-License-Identifier: MIT
#include "XliffUnits.h"

#include "platform/Cp1252.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace lumo_cli {

namespace {

constexpr std::string_view kNamespace = "urn:oasis:names:tc:xliff:document:1.2";

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

}  // namespace

void CTextSink::AppendUtf8(std::string_view utf8)
{
    nUtf8 += utf8.size();
    if (bUtf8) {
        bytes += utf8;
        return;
    }
    if (bad != 0)
        return;  // the text cannot be used; only its length still counts
    std::string converted;
    const CUtf8ToCp1252Result result = Utf8ToCp1252(utf8, converted);
    bytes += converted;
    if (!result.ok)
        bad = result.badChar;
}

std::string CXliffUnits::LineText(std::size_t place) const
{
    return "line " + std::to_string(m_places.LineOf(place)) + ": ";
}

void CXliffUnits::OnDoctype(std::string_view name, std::size_t line, std::size_t place)
{
    // XLIFF 1.2 has a schema and no DTD; an internal subset's defaults and
    // entities would change what the file says.
    throw CImportError((line > 0 ? "line " + std::to_string(line) + ": " : LineText(place)) +
                       "the file has a document type declaration (<!DOCTYPE " + Shown(name) +
                       ">); XLIFF 1.2 has none, and lumo reads no DTD, its entities or defaults");
}

void CXliffUnits::OnEncoding(std::string_view encoding, std::size_t place)
{
    throw CXmlEncodingRefusal(LineText(place) + "the file is in the encoding " + Shown(encoding) +
                       "; lumo reads XLIFF in UTF-8 only, as translation tools write it: save it as UTF-8");
}

void CXliffUnits::OnText(std::size_t nUtf8, bool bCdata, std::size_t place)
{
    // libxml2's tree builder refuses a text node over its limit; the same
    // limit holds here for every run of text, kept or not.
    if (bCdata != m_bRunCdata) {
        m_bRunCdata = bCdata;
        m_nRun = 0;
    }
    m_nRun += nUtf8;
    // A text kept grows by its runs; no text lumo writes is longer than one
    // run may be.
    if (const CTextSink* pSink = TextSink())
        m_nRun = std::max(m_nRun, pSink->nUtf8);
    if (m_nRun > kXmlMaxText)
        throw CImportError(LineText(place) + "a text or attribute value is over " + std::to_string(kXmlMaxText) +
                           " bytes, more than XML readers take");
}

void CXliffUnits::OnElement(std::string_view name, std::string_view uri, const CXmlAttributeSource& attributes,
                            bool bEmpty, std::size_t place)
{
    m_nRun = 0;
    const int depth = m_depth++;
    const bool bXliff = uri == kNamespace;
    m_bSkipEnd = bEmpty;  // the element is done with here
    if (!m_bRoot) {
        m_bRoot = true;
        if (name != "xliff" || !bXliff)
            throw CImportError(LineText(place) + "this is not XLIFF 1.2: the document element is <" + std::string(name) +
                               "> in the namespace " + Quoted(uri) + ", not <xliff> in \"" + std::string(kNamespace) +
                               "\"");
        return;
    }
    if (m_textDepth >= 0) {
        OnInline(name, depth, bEmpty, place);
        return;
    }
    // An attribute, its length held to the limit of a text.
    const auto attribute = [&](std::string_view attributeName) -> std::optional<std::string_view> {
        const std::optional<std::string_view> value = attributes.Find(attributeName, m_attribute);
        if (value && value->size() > kXmlMaxText)
            throw CImportError(LineText(place) + "the attribute " + std::string(attributeName) + " is " +
                               std::to_string(value->size()) + " bytes long; lumo reads at most " +
                               std::to_string(kXmlMaxText) + " bytes, as for a text");
        return value;
    };
    if (bXliff && name == "trans-unit" && m_unitDepth < 0 && !bEmpty) {
        m_unitDepth = depth;
        m_unitPlace = place;
        m_id = attribute("id").value_or("");
        const std::optional<std::string_view> resname = attribute("resname");
        m_bHasName = resname.has_value();
        m_name = resname.value_or("");
        m_approved = attribute("approved").value_or("");
        m_source.Clear();
        m_target.Clear();
        m_state.clear();
        m_bHasSource = m_bHasTarget = false;
        return;
    }
    if (bXliff && m_unitDepth >= 0 && depth == m_unitDepth + 1 && (name == "source" || name == "target")) {
        const bool bTarget = name == "target";
        (bTarget ? m_bHasTarget : m_bHasSource) = true;
        if (bTarget) {
            m_state = attribute("state").value_or("");
            m_targetPlace = place;
        }
        m_pText = bTarget ? &m_target : &m_source;
        if (!bEmpty)
            m_textDepth = depth;
    }
}

// An element inside a source or target text.
void CXliffUnits::OnInline(std::string_view name, int depth, bool bEmpty, std::size_t place)
{
    if (m_phDepth >= 0 || (name != "ph" && name != "g" && name != "mrk"))
        throw CImportError(LineText(place) + "the inline element <" + std::string(name) +
                           "> is not one lumo writes; a text holds only characters and "
                           "<ph ctype=\"x-lumo-control\">U+XXXX</ph> for control characters");
    if (name == "ph") {
        m_ph.Clear();
        m_ph.bUtf8 = true;
        m_phPlace = place;
        if (bEmpty)
            AppendControl();
        else
            m_phDepth = depth;
    }
}

void CXliffUnits::AppendControl()
{
    const std::string& ph = m_ph.bytes;
    unsigned value = 0;
    int nRead = 0;
    if (ph.size() == 6 && std::sscanf(ph.c_str(), "U+%4X%n", &value, &nRead) == 1 && nRead == 6 && value > 0 &&
        value < 0x20) {
        m_pText->bytes += static_cast<char>(value);
        ++m_pText->nUtf8;
    } else {
        throw CImportError(LineText(m_phPlace) + "a <ph> placeholder holds " + Quoted(ph) +
                           "; lumo writes them for control characters only, as U+0001 to U+001F");
    }
}

void CXliffUnits::OnEndElement()
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

void CXliffUnits::AddUnit()
{
    // Most names are ASCII, the same bytes in Windows-1252.
    const bool bAsciiName = std::all_of(m_name.begin(), m_name.end(), [](char c) { return (c & 0x80) == 0 && c != 0; });
    if (bAsciiName)
        m_nameBytes = m_name;
    if (!m_bHasName || !m_bHasSource || m_source.nUtf8 == 0 || (!bAsciiName && ToEntryText(m_name, m_nameBytes)) ||
        m_source.bad != 0) {
        if (!m_pDeferred) {
            m_translations.AddUnmatchable();
            return;
        }
        m_batch.units.emplace_back().bUnmatchable = true;
        if (m_batch.units.size() >= 4096)
            FlushDeferred();
        return;
    }
    const bool bFuzzy = !IsFinalState(m_state, m_approved);
    std::string_view target = m_target.bytes;
    if (m_target.bad != 0) {
        if (!bFuzzy)
            throw CImportError(LineText(m_targetPlace) + "the target of unit " + Quoted(m_id) + " (resname " +
                               Quoted(m_name) + "): the character " + DescribeCharacter(m_target.bad) +
                               " has no Windows-1252 byte");
        target = "?";  // fuzzy: counted, never used
    }
    const CTranslation translation{m_nameBytes, m_source.bytes, target, bFuzzy, UnitNumber(m_id)};
    if (!m_pDeferred) {
        AddTranslation(translation, m_unitPlace, m_id);
        return;
    }
    CUnitBatch::CUnit& unit = m_batch.units.emplace_back();
    for (const std::string_view text : {translation.name, translation.source, translation.text, std::string_view(m_id)})
        m_batch.bytes += text;
    unit.nName = static_cast<std::uint32_t>(translation.name.size());
    unit.nSource = static_cast<std::uint32_t>(translation.source.size());
    unit.nTarget = static_cast<std::uint32_t>(translation.text.size());
    unit.nId = static_cast<std::uint32_t>(m_id.size());
    unit.bFuzzy = bFuzzy;
    unit.nUnitId = translation.nUnitId;
    unit.nPlace = m_unitPlace;
    if (m_batch.units.size() >= 4096)
        FlushDeferred();
}

void CXliffUnits::AddTranslation(const CTranslation& translation, std::size_t unitPlace, std::string_view id)
{
    if (!m_translations.Add(translation))
        m_warnings.Add("units repeating an earlier unit", [&] {
            return LineText(unitPlace) + "unit " + Quoted(id) +
                   " has the resname and source of an earlier unit; the earlier one is used";
        });
}

void CXliffUnits::ResumeDeferred(const CPosition& position, CUnitBatchSink& sink)
{
    m_bRoot = position.bRoot;
    m_bSkipEnd = position.bSkipEnd;
    m_bRunCdata = position.bRunCdata;
    m_depth = position.depth;
    m_unitDepth = position.unitDepth;
    m_textDepth = position.textDepth;
    m_phDepth = position.phDepth;
    m_pDeferred = &sink;
}

void CXliffUnits::FlushDeferred()
{
    if (m_batch.units.empty())
        return;
    m_pDeferred->Push(m_batch);
}

std::size_t CXliffUnits::AddDeferred(const char* p, const CUnitBatch::CUnit& unit)
{
    if (unit.bUnmatchable) {
        m_translations.AddUnmatchable();
        return 0;
    }
    const std::string_view name(p, unit.nName), source(p + unit.nName, unit.nSource);
    const std::string_view target(p + unit.nName + unit.nSource, unit.nTarget);
    const std::string_view id(target.data() + target.size(), unit.nId);
    AddTranslation({name, source, target, unit.bFuzzy, unit.nUnitId}, unit.nPlace, id);
    return std::size_t{unit.nName} + unit.nSource + unit.nTarget + unit.nId;
}

CTranslations CXliffUnits::Finish()
{
    if (!m_bRoot)
        throw CImportError("the file holds no XML element");
    return std::move(m_translations);
}

}  // namespace lumo_cli
