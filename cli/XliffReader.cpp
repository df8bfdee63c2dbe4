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
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <functional>
#include <utility>
#include <vector>

namespace lumo_cli {

namespace {

// What the scanner may read past the end of its input, which holds 0 bytes.
constexpr std::size_t kPadding = CMappedInput::kPadding;

// The units the second reader holds until the first gets to them: the
// most memory it may take for them (a million units would take 200 MB).
// With the template, the translations and the file's pages, an import of
// a million entries is near three times the entry file: 8 MB keeps it
// under, where 24 MB did not, and reads as fast.
constexpr std::size_t kMaxHeld = std::size_t(8) << 20;
// Where the second reader starts, as a share of the file: about where the
// first, which also adds every unit to the translations, gets when the
// second has read kMaxHeld of units.
constexpr double kSplitShare = 0.1;
// Below this a second thread costs more than it saves.
constexpr std::size_t kMinSplitSize = std::size_t(1) << 20;

constexpr std::string_view kUnitTag = "<trans-unit";

// The second reader of a split: from its place on, its units go in batches
// to the first, which adds them in order once it gets there.
class CSecondReader final : public CXmlEvents, public CXmlPlaces, public CUnitBatchSink {
public:
    // The first reader took the batches it wanted, or wants no more.
    struct CStopped {};

    CSecondReader(std::string_view bytes, CMappedInput* pMapped) : m_bytes(bytes), m_lines(bytes), m_pMapped(pMapped) {}

    // waitFirst, when given, is waited for before the reading starts.
    void Run(const CXmlState& state, const CXliffUnits::CPosition& position, std::size_t offset,
             std::function<void()> waitFirst)
    {
        m_nReleased = offset;
        m_thread = std::thread([this, state, position, offset, waitFirst = std::move(waitFirst)] {
            try {
                if (waitFirst)
                    waitFirst();
                // Made here: translations made on the first reader's thread
                // would take the place of its own in a feed installed there.
                m_units.emplace(*this, m_warnings);
                m_units->ResumeDeferred(position, *this);
                ScanXmlFrom(m_bytes, state, offset, *this);
                m_units->FlushDeferred();
                Finish(nullptr);
            } catch (const CStopped&) {
                Finish(nullptr);
            } catch (...) {
                // The units before the fault are still to be added first.
                try {
                    if (m_units)
                        m_units->FlushDeferred();
                    Finish(std::current_exception());
                } catch (...) {
                    Finish(std::current_exception());
                }
            }
        });
    }

    // Stops the reading, if it runs, and waits for its end.
    void Stop()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_bStop = true;
            m_batches.clear();
        }
        m_changed.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }
    ~CSecondReader() { Stop(); }

    // The next batch; false at the end. Rethrows what ended the reading.
    bool Next(CUnitBatch& batch)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return !m_batches.empty() || m_bDone; });
        if (!m_batches.empty()) {
            batch = std::move(m_batches.front());
            m_batches.pop_front();
            m_nHeld -= Held(batch);
            lock.unlock();
            m_changed.notify_all();
            return true;
        }
        lock.unlock();
        m_thread.join();
        if (m_error)
            std::rethrow_exception(m_error);
        return false;
    }

    void Push(CUnitBatch& batch) override
    {
        {
            // Held in memory until the first reader gets here: so much at most.
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_bStop || m_nHeld < kMaxHeld; });
            if (m_bStop)
                throw CStopped();
            m_nHeld += Held(batch);
            m_batches.push_back(std::move(batch));
            batch = {};
            if (!m_free.empty()) {
                batch = std::move(m_free.back());
                m_free.pop_back();
            }
        }
        m_changed.notify_all();
    }

    // A batch added, for its memory to be used again.
    void GiveBack(CUnitBatch&& batch)
    {
        batch.bytes.clear();
        batch.units.clear();
        const std::lock_guard lock(m_mutex);
        if (m_free.size() < 4)
            m_free.push_back(std::move(batch));
    }

    std::size_t LineOf(std::size_t place) const override { return m_lines.LineOf(place); }
    void OnEncoding(std::string_view encoding, std::size_t offset) override { m_units->OnEncoding(encoding, offset); }
    void OnDoctype(std::string_view name, std::size_t offset) override
    {
        m_units->OnDoctype(name, DoctypeLineOf(m_bytes), offset);
    }
    void OnElement(std::string_view localName, std::string_view uri, const CXmlAttributeSource& attributes, bool bEmpty,
                   std::size_t offset) override
    {
        m_units->OnElement(localName, uri, attributes, bEmpty, offset);
    }
    void OnEndElement() override { m_units->OnEndElement(); }
    CTextSink* TextSink() override { return m_units->TextSink(); }
    void OnText(std::size_t nUtf8, bool bCdata, std::size_t offset) override { m_units->OnText(nUtf8, bCdata, offset); }
    void OnComment() override { m_units->OnComment(); }
    void OnInstruction() override { m_units->OnInstruction(); }
    void OnProgress(std::size_t offset) override
    {
        if (m_pMapped)
            m_pMapped->Release(std::exchange(m_nReleased, offset), offset);
    }

private:
    static std::size_t Held(const CUnitBatch& batch)
    {
        return batch.bytes.size() + batch.units.size() * sizeof(CUnitBatch::CUnit);
    }

    void Finish(std::exception_ptr error)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_error = std::move(error);
            m_bDone = true;
        }
        m_changed.notify_all();
    }

    std::string_view m_bytes;
    CLineCounter m_lines;
    CWarnings m_warnings;  // none: the first reader gives a unit's warning when it adds it
    std::optional<CXliffUnits> m_units;  // made on its thread
    CMappedInput* m_pMapped;
    std::size_t m_nReleased = 0;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<CUnitBatch> m_batches;
    std::vector<CUnitBatch> m_free;
    std::size_t m_nHeld = 0;  // bytes of the batches not yet taken
    bool m_bStop = false, m_bDone = false;
    std::exception_ptr m_error;
};

// The scanner's events, handed to what XLIFF says.
class CScanReader final : public CXmlEvents, public CXmlPlaces, public CXmlSplit {
public:
    CScanReader(std::string_view bytes, CWarnings& warnings, CMappedInput* pMapped)
        : m_bytes(bytes), m_lines(bytes), m_units(*this, warnings), m_pMapped(pMapped)
    {
    }

    CTranslations Read(std::size_t nSplit)
    {
        // The first unit's state is the guess for the second's place.
        nFirst = m_bytes.find(kUnitTag);
        if (nSplit == kGuessSplit)
            nSplit = m_bytes.size() < kMinSplitSize
                         ? 0
                         : m_bytes.find(kUnitTag, static_cast<std::size_t>(static_cast<double>(m_bytes.size()) * kSplitShare));
        const bool bSplit = nFirst != std::string_view::npos && nSplit != 0 && nSplit != std::string_view::npos && nSplit > nFirst;
        nSecond = nSplit;
        ScanXml(m_bytes, *this, bSplit ? this : nullptr);
        if (m_pSecond)
            m_pSecond->Stop();
        return m_units.Finish();
    }

    void Start() override
    {
        m_position = m_units.Position();
        try {
            m_pSecond = std::make_unique<CSecondReader>(m_bytes, m_pMapped);
            // While an import's template is still being read, that thread
            // has the other core: the translations made meanwhile copy their
            // names and sources, the ones made after refer to the template's.
            m_pSecond->Run(state, m_position, nSecond, CTranslationsFeed::TemplateWait());
        } catch (const std::system_error&) {
            m_pSecond.reset();  // no thread to be had: this one reads it all
        }
    }
    bool TakeOver() override
    {
        if (!m_pSecond || m_units.Position() != m_position)
            return false;
        for (CUnitBatch batch; m_pSecond->Next(batch);) {
            const char* p = batch.bytes.data();
            for (const CUnitBatch::CUnit& unit : batch.units)
                p += m_units.AddDeferred(p, unit);
            m_pSecond->GiveBack(std::move(batch));
        }
        return true;
    }
    void Abandon() override
    {
        if (m_pSecond)
            m_pSecond->Stop();
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
            m_pMapped->Release(std::exchange(m_nReleased, offset), offset);
    }

private:
    std::string_view m_bytes;
    CLineCounter m_lines;
    CXliffUnits m_units;
    CMappedInput* m_pMapped;
    std::size_t m_nReleased = 0;
    CXliffUnits::CPosition m_position;
    std::unique_ptr<CSecondReader> m_pSecond;  // last: stopped before the rest goes
};

// bytes must be followed by kPadding 0 bytes.
CTranslations ReadTerminated(std::string_view bytes, CWarnings& warnings, CMappedInput* pMapped,
                             std::size_t nSplit = kGuessSplit)
{
    // libxml2 once read compressed files as they were; lumo reads XML.
    if (bytes.starts_with("\x1f\x8b") || bytes.starts_with(std::string_view("\xfd" "7zXZ\0", 6)))
        throw CImportError(std::string("line 1: the file is compressed (") + (bytes[0] == '\x1f' ? "gzip" : "xz") +
                           "); lumo reads XLIFF as plain XML: decompress it first");
    CScanReader reader(bytes, warnings, pMapped);
    return reader.Read(nSplit);
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

CTranslations ReadXliffBytes(std::string_view bytes, CWarnings& warnings, std::size_t nSplit)
{
    std::string padded(bytes);
    padded.append(kPadding, '\0');
    return ReadTerminated(std::string_view(padded.data(), bytes.size()), warnings, nullptr, nSplit);
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
