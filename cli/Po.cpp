// SPDX-License-Identifier: MIT
// PO and POT through gettext's own library, so what lumo writes and reads is
// exactly what gettext's tools write and read.
#include "ParallelChunks.h"
#include "PoLibrary.h"
#include "PoWriter.h"
#include "StreamIo.h"
#include "TranslationFormats.h"

#include "platform/Cp1252.h"
#include "platform/Exceptions.h"
#include "platform/File.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <ctime>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
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

// gettext reads the escapes \0 and \x00 as a NUL and then cuts the text
// there, so "Caf\0x" would import as "Caf". Finds the first line of a
// message (comments and obsolete messages aside) whose string holds one.
std::size_t LineOfNulEscape(std::istream& in)
{
    std::string line;
    for (std::size_t nLine = 1; std::getline(in, line); ++nLine) {
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#')
            continue;
        bool bInString = false;
        for (std::size_t i = start; i < line.size(); ++i) {
            if (line[i] == '"') {
                bInString = !bInString;
            } else if (bInString && line[i] == '\\' && i + 1 < line.size()) {
                const char c = line[++i];
                if (c >= '0' && c <= '7') {
                    unsigned value = 0;
                    for (int k = 0; k < 3 && i < line.size() && line[i] >= '0' && line[i] <= '7'; ++k, ++i)
                        value = value * 8 + static_cast<unsigned>(line[i] - '0');
                    --i;
                    if (value == 0)
                        return nLine;
                } else if (c == 'x') {
                    bool bAny = false, bNonZero = false;
                    while (i + 1 < line.size() && std::isxdigit(static_cast<unsigned char>(line[i + 1]))) {
                        bAny = true;
                        bNonZero |= line[++i] != '0';
                    }
                    if (bAny && !bNonZero)
                        return nLine;
                }
            }
        }
    }
    return 0;
}

void RefuseNulEscape(std::istream& in)
{
    if (const std::size_t nLine = LineOfNulEscape(in))
        throw CImportError("line " + std::to_string(nLine) +
                           ": a text holds a NUL character (U+0000, written \\0 or \\x00), which an entry file "
                           "cannot hold");
}

// A stream cannot be read twice, and gettext reads by name: it is read
// whole here, checked, and handed over as a file in memory.
class CStreamCopy {
public:
    explicit CStreamCopy(const std::string& path)
    {
        std::string bytes = ReadStream(path);
        std::istringstream in(bytes);
        RefuseNulEscape(in);
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
    std::optional<CStreamCopy> copy;
    if (IsStream(path)) {
        copy.emplace(path);
    } else {
        // The library says no more than "cannot read" for a file it cannot
        // open; opening it first gives the reason.
        CFile probe;
        probe.Open(path, CFile::modeRead);
        std::ifstream in(path, std::ios::binary);
        RefuseNulEscape(in);
    }
    const std::string readPath = copy ? copy->Path() : path;
    CPoFile file = ReadPoFile(readPath, warnings);
    CheckPoHeader(file.Get());

    const std::vector<std::size_t> starts = pLines ? PoMessageLines(readPath) : std::vector<std::size_t>();
    CTranslations translations;
    std::string name, source, text;  // reused: no allocation per message
    CPoIterator it(po_message_iterator(file.Get(), nullptr));
    std::size_t nOrdinal = 0;  // of the message among those not obsolete, the header included
    while (po_message_t po = po_next_message(it.Get())) {
        if (po_message_is_obsolete(po))
            continue;
        ++nOrdinal;
        const char* ctxt = po_message_msgctxt(po);
        const std::string_view id = po_message_msgid(po);
        if (!ctxt && id.empty())
            continue;  // the header
        if (po_message_msgid_plural(po))
            throw CImportError(AtLine(readPath, nOrdinal) + "the message " + DescribePoMessage(po) +
                               " has plural forms (msgid_plural); entry texts have none, so it cannot be imported");
        if (!ctxt || id.empty() || ToEntryText(ctxt, name) || ToEntryText(id, source)) {
            translations.AddUnmatchable();  // no entry of any file can have it
            continue;
        }
        const bool bFuzzy = po_message_is_fuzzy(po) != 0;
        const std::string_view str = po_message_msgstr(po);
        if (const auto problem = ToEntryText(str, text)) {
            if (!bFuzzy)
                throw CImportError(AtLine(readPath, nOrdinal) + "the translation of " + DescribePoMessage(po) + ": " +
                                   problem->message);
            text = "?";  // fuzzy: counted, never used
        }
        if (translations.Add({name, source, text, bFuzzy}) && pLines)
            pLines->push_back(nOrdinal <= starts.size() ? starts[nOrdinal - 1] : 0);
    }
    return translations;
}

}  // namespace lumo_cli
