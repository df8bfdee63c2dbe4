// SPDX-License-Identifier: MIT
// XLIFF 1.2 export: each unit goes out as it is made, so the document never
// exists in memory as a whole.
#include "ParallelChunks.h"
#include "TranslationFormats.h"
#include "XliffDocument.h"
#include "XliffWriter.h"

#include "platform/Cp1252.h"
#include "platform/Utf8.h"

#include <libxml/parserInternals.h>

#include <algorithm>
#include <memory>
#include <string>

namespace lumo_cli {

namespace {

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

const char* XliffToolVersion()
{
    return LUMO_VERSION;
}

void WriteXliff(const CCatalog& catalog, const CCatalogInfo& info, const ByteSink& sink)
{
    const CCatalog::CMessages messages = catalog.Messages();
    const std::size_t nChunks = ChunkCount(messages.size());
    const auto chunkEnd = [&](std::size_t nChunk) { return std::min(messages.size(), (nChunk + 1) * kChunkItems); };
    // Every message is checked before the first byte goes out: nothing is
    // written for a file that cannot be.
    ProduceChunksInOrder(
        nChunks,
        [&]() -> ChunkProducer {
            return [&](std::size_t nChunk, std::string&) {
                for (std::size_t m = nChunk * kChunkItems; m < chunkEnd(nChunk); ++m) {
                    const CMessage message = messages[m];
                    CheckName(message);
                    CheckLength(message, message.source, false);
                    CheckLength(message, message.translation, true);
                }
            };
        },
        [](std::string_view) {});

    CXliffWriter writer(sink);
    WriteXliffStart(info, writer);
    writer.Flush();
    // The units in stretches, each thread with a writer of its own that
    // writes into the stretch's buffer.
    struct CStretchWriter {
        std::string* pBytes = nullptr;
        ByteSink sink = [this](const char* p, std::size_t n) { pBytes->append(p, n); };
        CXliffWriter writer{sink};
        std::string note;  // reused: no allocation per unit
    };
    const auto makeProducer = [&]() -> ChunkProducer {
        auto state = std::make_shared<CStretchWriter>();
        return [&, state](std::size_t nChunk, std::string& bytes) {
            state->pBytes = &bytes;
            WriteXliffUnits(catalog, info, nChunk * kChunkItems, chunkEnd(nChunk), state->writer, state->note);
            state->writer.Flush();
        };
    };
    ProduceChunksInOrder(nChunks, makeProducer, [&](std::string_view bytes) { sink(bytes.data(), bytes.size()); });
    WriteXliffEnd(writer);
}

}  // namespace lumo_cli
