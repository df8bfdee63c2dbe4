// SPDX-License-Identifier: MIT
// PO and POT: written by lumo's own writer and read by its own reader, each
// held to gettext's library (the oracle) so that what lumo writes and reads is
// exactly what gettext's tools write and read.
#include "MappedInput.h"
#include "ParallelChunks.h"
#include "PoLibrary.h"
#include "PoReader.h"
#include "PoWriter.h"
#include "StreamIo.h"
#include "TranslationFormats.h"

#include "platform/Cp1252.h"
#include "platform/Exceptions.h"
#include "platform/File.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <memory>
#include <optional>
#include <system_error>

#include <sys/mman.h>
#include <unistd.h>

namespace lumo_cli {

namespace {

// A message lists at most this many references; the library checks each new
// one against those it has, so thousands of them would cost quadratic time.
constexpr std::size_t kMaxReferences = 50;

std::string Now()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M+0000", &utc);
    return text;
}

std::string HeaderText(const CCatalogInfo& info, bool bTemplate)
{
    const std::string now = Now();
    return "Project-Id-Version: " + info.sourceFile +
           "\n"
           "Report-Msgid-Bugs-To: \n"
           "POT-Creation-Date: " +
           now + "\nPO-Revision-Date: " + (bTemplate ? std::string("YEAR-MO-DA HO:MI+ZONE") : now) +
           "\nLast-Translator: " + (bTemplate ? "FULL NAME <EMAIL@ADDRESS>" : "") +
           "\nLanguage-Team: " + (bTemplate ? "LANGUAGE <LL@li.org>" : "") +
           "\nLanguage: " + (bTemplate ? "" : info.language) +
           "\n"
           "MIME-Version: 1.0\n"
           "Content-Type: text/plain; charset=UTF-8\n"
           "Content-Transfer-Encoding: 8bit\n"
           "X-Generator: lumo " LUMO_VERSION "\n";
}

// What the translator is told about a message: which text of its entries it is.
void ExtractedComment(std::string& comment, const CMessage& message, std::size_t nEntries, std::size_t nMoreReferences)
{
    comment.clear();
    AppendOccurrence(comment, message, nEntries);
    comment += '\n';
    if (nMoreReferences > 0)
        comment += "(" + std::to_string(nMoreReferences) + " of them not listed)\n";
}

// gettext keeps a message's context and text apart with the byte 0x04, so
// no PO reader takes a text holding it: such a file is not written.
enum class EPoPart { name, text, translation };

void CheckNoContextSeparator(const CMessage& message, std::string_view text, EPoPart part)
{
    if (text.find('\x04') == std::string_view::npos)
        return;
    const Slot slot = message.first;
    const std::string entry = " of entry " + std::to_string(slot / 2 + 1);
    const std::string field = slot % 2 ? "the extra text" : "the data text";
    const std::string subject = part == EPoPart::name   ? "the name" + entry
                                : part == EPoPart::text ? field + entry
                                                        : "the translation of " + field + entry;
    throw CExportError(subject + " holds the control character U+0004, which PO files cannot carry (gettext "
                                 "separates a message's context with it); export it as XLIFF or JSON instead");
}

// A PO input's bytes: a regular file mapped, its pages let go once read
// (a file of a million messages is three times the entry file); a stream
// read whole.
class CPoInput {
public:
    explicit CPoInput(const std::string& path)
    {
        if (IsStream(path)) {
            m_stream = ReadStream(path);
            m_bytes = m_stream;
            return;
        }
        // Opened first as every file is, so that a file that cannot be read
        // gets the reason.
        CFile probe;
        probe.Open(path, CFile::modeRead);
        m_mapped.emplace(path);
        m_bytes = m_mapped->Bytes();
    }

    std::string_view Bytes() const { return m_bytes; }
    // The bytes before offset are done with.
    void Release(std::size_t offset) const
    {
        if (m_mapped)
            m_mapped->Release(offset);
    }
    // Throws when the file was cut short while it was read.
    void ThrowIfCut() const
    {
        if (m_mapped)
            m_mapped->ThrowIfCut();
    }
    const std::string& Stream() const { return m_stream; }

private:
    std::string m_stream;
    mutable std::optional<CMappedInput> m_mapped;
    std::string_view m_bytes;
};

// gettext reads by name: a stream's bytes are handed over as a file in memory.
class CStreamCopy {
public:
    explicit CStreamCopy(std::string_view bytes)
    {
        m_fd = memfd_create("lumo-po-input", MFD_CLOEXEC);
        if (m_fd < 0)
            throw std::system_error(errno, std::generic_category(), "cannot make room for the PO text");
        for (std::size_t pos = 0; pos < bytes.size();) {
            const ssize_t n = ::write(m_fd, bytes.data() + pos, bytes.size() - pos);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                throw std::system_error(errno, std::generic_category(), "cannot make room for the PO text");
            pos += static_cast<std::size_t>(n);
        }
    }
    CStreamCopy(const CStreamCopy&) = delete;
    CStreamCopy& operator=(const CStreamCopy&) = delete;
    ~CStreamCopy() { ::close(m_fd); }
    std::string Path() const { return "/proc/self/fd/" + std::to_string(m_fd); }

private:
    int m_fd = -1;
};

}  // namespace

void WritePo(const CCatalog& catalog, const CCatalogInfo& info, bool bTemplate, const ByteSink& sink)
{
    const CCatalog::CMessages messages = catalog.Messages();
    // Every message is checked before the first byte goes out: nothing is
    // written for a file that cannot be.
    ProduceChunksInOrder(
        ChunkCount(messages.size()),
        [&]() -> ChunkProducer {
            return [&](std::size_t nChunk, std::string&) {
                const std::size_t nEnd = std::min(messages.size(), (nChunk + 1) * kChunkItems);
                for (std::size_t m = nChunk * kChunkItems; m < nEnd; ++m) {
                    const CMessage message = messages[m];
                    CheckNoContextSeparator(message, message.name, EPoPart::name);
                    CheckNoContextSeparator(message, message.source, EPoPart::text);
                    if (!bTemplate)
                        CheckNoContextSeparator(message, message.translation, EPoPart::translation);
                }
            };
        },
        [](std::string_view) {});

    {
        CPoWriter writer(sink);
        const std::string header = HeaderText(info, bTemplate);
        const std::string comments = "Texts of " + info.sourceFile + " for translation.\n";
        CPoOutMessage out;
        out.comments = comments;
        out.msgstr = header;
        // A template's header is fuzzy until a translator fills it in, as gettext's own templates are.
        out.bFuzzy = bTemplate;
        writer.Write(out);
        writer.Flush();
    }

    // The messages in stretches, each thread with a writer of its own that
    // writes into the stretch's buffer.
    struct CStretchWriter {
        std::string* pBytes = nullptr;
        CPoWriter writer{[this](const char* p, std::size_t n) { pBytes->append(p, n); }};
        std::string extracted;  // reused: no allocation per message
        std::vector<std::size_t> lines;
        CPoOutMessage out;
    };
    const auto makeProducer = [&]() -> ChunkProducer {
        auto state = std::make_shared<CStretchWriter>();
        state->out.referenceFile = info.sourceFile;
        state->out.bHasContext = true;
        state->out.bCp1252 = true;
        return [&, state](std::size_t nChunk, std::string& bytes) {
            CStretchWriter& own = *state;
            own.pBytes = &bytes;
            own.writer.Continue();
            std::vector<std::size_t>& lines = own.lines;
            CPoOutMessage& out = own.out;
            const std::size_t nEnd = std::min(messages.size(), (nChunk + 1) * kChunkItems);
            for (std::size_t m = nChunk * kChunkItems; m < nEnd; ++m) {
                const CMessage message = messages[m];
                std::size_t nMore = 0;
                lines.clear();
                for (Slot slot = message.first; slot != kNoSlot; slot = catalog.NextSlot(slot)) {
                    // One reference per entry, even when both its texts are this message.
                    if (slot % 2 == 1 && catalog.MessageAt(slot - 1) == catalog.MessageAt(slot))
                        continue;
                    if (lines.size() == kMaxReferences)
                        ++nMore;
                    else
                        lines.push_back(slot / 2 + 1);
                }
                ExtractedComment(own.extracted, message, lines.size() + nMore, nMore);
                out.extractedComments = own.extracted;
                out.referenceLines = lines;
                out.msgctxt = message.name;
                out.msgid = message.source;
                out.msgstr = bTemplate ? std::string_view() : message.translation;
                own.writer.Write(out);
            }
            own.writer.Flush();
        };
    };
    ProduceChunksInOrder(ChunkCount(messages.size()), makeProducer,
                         [&](std::string_view bytes) { sink(bytes.data(), bytes.size()); });
}

CTranslations ReadPo(const std::string& path, CWarnings& warnings)
{
    return ReadPo(path, warnings, nullptr);
}

CTranslations ReadPo(const std::string& path, CWarnings& warnings, std::vector<std::size_t>* pLines)
{
    const CPoInput input(path);
    // gettext reads a stream under another name, which never ends in ".pot".
    std::optional<CPoReading> read;
    try {
        read.emplace(ReadPoText(input.Bytes(), IsStream(path) ? std::string() : path, pLines != nullptr,
                                [&](std::size_t offset) { input.Release(offset); }));
    } catch (...) {
        input.ThrowIfCut();
        throw;
    }
    // What was read of a file cut short meanwhile says nothing about it.
    input.ThrowIfCut();
    CPoReading& reading = *read;
    const auto warn = [&](const std::string& text) {
        warnings.Add("warnings from gettext", [&] { return "gettext: " + text; });
    };
    switch (reading.verdict) {
    case CPoReading::EVerdict::accepted:
        for (const std::string& text : reading.warnings)
            warn(text);
        if (pLines)
            *pLines = std::move(reading.lines);
        return std::move(reading.translations);
    case CPoReading::EVerdict::refused:
        for (const std::string& text : reading.warnings)
            warn(text);
        throw CImportError(reading.refusal);
    case CPoReading::EVerdict::notPo:
        break;
    }
    // Not what gettext reads without an error: gettext says what is wrong, in its words.
    std::optional<CStreamCopy> copy;
    if (IsStream(path))
        copy.emplace(input.Stream());
    const std::string at = "line " + std::to_string(reading.nStopLine) + ": ";
    if (const std::optional<std::string> failure = ReadPoFileApart(copy ? copy->Path() : path, warnings))
        throw CImportError(at + "the file is not PO as gettext reads it, and gettext's reader failed on it (" +
                           *failure + ")");
    throw CImportError(at + "lumo cannot read the file from here on, though gettext reads it without an error; this "
                            "is a fault of lumo's, please report it");
}

}  // namespace lumo_cli
