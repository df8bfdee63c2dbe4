// SPDX-License-Identifier: MIT
#include "LoadCheck.h"

#include "tests/support/EntryBytes.h"

#include "tests/FakeFrontEnd.h"
#include "app/LumoEditApp.h"
#include "document/EntryFile.h"
#include "document/LumoEditDoc.h"
#include "platform/AfxRes.h"
#include "platform/Archive.h"
#include "platform/File.h"
#include "platform/FrameWnd.h"
#include "platform/Resources.h"
#include "tree/LumoEditView.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LUMO_COUNT_ALLOCATIONS 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define LUMO_COUNT_ALLOCATIONS 1
#endif

#ifdef LUMO_COUNT_ALLOCATIONS
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*pMallocHook)(const volatile void*, std::size_t),
                                                         void (*pFreeHook)(const volatile void*));
#endif

namespace lumo_fuzz {
namespace {

// ---- What the bytes hold, read the plain way -------------------------------

struct Entry {
    std::string name, data, extra;
    bool operator==(const Entry&) const = default;
};

struct Expected {
    bool bSound = true;
    std::vector<Entry> entries;  // the complete entries, before any damage
    std::uint64_t nOffset = 0;   // where the damage starts
    std::uint32_t nEntry = 0;    // the entry it is reported for (1-based; 0 for the count)
    std::uint64_t nTrailing = 0; // sound: bytes after the last entry
    std::uint64_t nHidden = 0;   // sound: records with bytes after their first 0x00
    std::uint64_t nRewritten = 0; // sound: records without a 0x00 (or of length 0), saved in other bytes
};

std::uint32_t Le32At(std::string_view b, std::size_t pos)
{
    return std::uint32_t{static_cast<unsigned char>(b[pos])} |
           std::uint32_t{static_cast<unsigned char>(b[pos + 1])} << 8 |
           std::uint32_t{static_cast<unsigned char>(b[pos + 2])} << 16 |
           std::uint32_t{static_cast<unsigned char>(b[pos + 3])} << 24;
}

Expected Parse(std::string_view b)
{
    Expected r;
    if (b.empty())
        return r;
    if (b.size() < 4) {
        r.bSound = false;
        return r;
    }
    const std::uint32_t count = Le32At(b, 0);
    std::size_t pos = 4;
    // Every entry takes at least 12 bytes, so this ends after at most size/12 rounds.
    for (std::uint32_t i = 0; i < count; ++i) {
        Entry e;
        for (std::string* field : {&e.name, &e.data, &e.extra}) {
            if (b.size() - pos < 4 || Le32At(b, pos) > b.size() - pos - 4) {
                r.bSound = false;
                r.nOffset = pos;
                r.nEntry = i + 1;
                return r;
            }
            const std::string_view record = b.substr(pos + 4, Le32At(b, pos));
            *field = std::string(record.substr(0, record.find('\0')));
            if (const std::size_t nul = record.find('\0'); nul != std::string_view::npos && nul + 1 < record.size())
                ++r.nHidden;
            if (record.find('\0') == std::string_view::npos)
                ++r.nRewritten;
            pos += 4 + record.size();
        }
        r.entries.push_back(std::move(e));
    }
    // Bytes after the last entry belong to no entry: the file loads, with a warning.
    r.nTrailing = b.size() - pos;
    return r;
}

// ---- Allocation accounting (with AddressSanitizer only) --------------------

struct AllocationCount {
    bool bCounting = false;
    std::size_t nLargest = 0;
    std::size_t nTotal = 0;
};
AllocationCount g_alloc;

#ifdef LUMO_COUNT_ALLOCATIONS
// AddressSanitizer reports every allocation to this hook.
void OnMalloc(const volatile void*, std::size_t size)
{
    if (g_alloc.bCounting) {
        g_alloc.nTotal += size;
        if (size > g_alloc.nLargest)
            g_alloc.nLargest = size;
    }
}
void OnFree(const volatile void*) {}
[[maybe_unused]] const int g_nHooksInstalled = __sanitizer_install_malloc_and_free_hooks(&OnMalloc, &OnFree);
#endif

// Counts what one load or store allocates and checks it against the input:
// fixed costs (a 3 MiB block of tree nodes, 1 MiB text chunks) plus a small
// multiple of the input's size. A count or a length taken on trust breaks it.
class AllocationBudget {
public:
    explicit AllocationBudget(std::size_t nInput) : m_nInput(nInput) { g_alloc = {true, 0, 0}; }
    ~AllocationBudget() { g_alloc.bCounting = false; }
    // Stops counting; says what was exceeded, if anything.
    std::optional<std::string> Exceeded(const char* what)
    {
        g_alloc.bCounting = false;
        const std::size_t largestAllowed = (std::size_t{4} << 20) + 4 * m_nInput + 64;
        const std::size_t totalAllowed = (std::size_t{16} << 20) + 64 * m_nInput;
        if (g_alloc.nLargest > largestAllowed || g_alloc.nTotal > totalAllowed)
            return std::string(what) + " of " + std::to_string(m_nInput) + " input bytes asked for " +
                   std::to_string(g_alloc.nTotal) + " bytes in all, the largest block " +
                   std::to_string(g_alloc.nLargest) + " bytes";
        return std::nullopt;
    }

private:
    std::size_t m_nInput;
};

// ---- The program ---------------------------------------------------------

class Program {
public:
    Program()
    {
        m_app.m_strAppName = AfxLoadString(AFX_IDS_APP_TITLE);
        m_bStarted = m_app.InitInstance() && m_app.m_pMainWnd && m_app.m_pMainWnd->GetActiveView();
        m_fd = ::memfd_create("lumo-load-check", MFD_CLOEXEC);
        if (m_fd >= 0) {
            m_strPath = "/proc/self/fd/" + std::to_string(m_fd);
        } else {
            m_strPath = (std::filesystem::temp_directory_path() /
                         ("lumo-load-check-" + std::to_string(::getpid()) + ".lumo"))
                            .string();
            m_bRemovePath = true;
        }
    }
    ~Program()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (m_bRemovePath)
            std::remove(m_strPath.c_str());
    }

    bool Started() const { return m_bStarted; }
    ClumoEditView& View() { return *dynamic_cast<ClumoEditView*>(m_app.m_pMainWnd->GetActiveView()); }
    CDocument& Doc() { return *m_app.m_pMainWnd->GetActiveDocument(); }

    // Puts the bytes in the file the file loads read.
    bool SetFileBytes(std::string_view bytes)
    {
        if (m_fd < 0) {
            std::FILE* f = std::fopen(m_strPath.c_str(), "wb");
            if (!f)
                return false;
            const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
            return std::fclose(f) == 0 && ok;
        }
        if (::ftruncate(m_fd, 0) != 0)
            return false;
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::pwrite(m_fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    const std::string& FilePath() const { return m_strPath; }

private:
    CFakeFrontEnd m_fe;  // before the application, which uses it
    ClumoEditApp m_app;
    bool m_bStarted = false;
    int m_fd = -1;
    std::string m_strPath;
    bool m_bRemovePath = false;
};

Program& TheProgram()
{
    static Program program;
    return program;
}

// ---- Checks --------------------------------------------------------------

struct Attempt {
    bool bLoaded = false;
    std::optional<CEntryFileException> damage;
    std::string problem;
};

// Runs a load and sorts out what came of it: success, the damage report, or
// anything else (a fault).
template <class LoadFn>
Attempt RunLoad(const char* what, std::size_t nInput, LoadFn&& load)
{
    Attempt a;
    AllocationBudget budget(nInput);
    try {
        load();
        a.bLoaded = true;
    } catch (const CEntryFileException& e) {
        a.damage = e;
    } catch (const std::exception& e) {
        a.problem = std::string(what) + " threw something other than a damage report: " + AfxDescribeException(e);
    } catch (...) {
        a.problem = std::string(what) + " threw something that is not an exception";
    }
    if (auto over = budget.Exceeded(what))
        a.problem = *over;
    return a;
}

std::string Store(Program& program, std::size_t nInput, std::string& problem)
{
    std::string out;
    AllocationBudget budget(nInput);
    try {
        CArchive ar(&out);
        program.Doc().Serialize(ar);
        ar.Close();
    } catch (const std::exception& e) {
        problem = "storing what was shown failed: " + AfxDescribeException(e);
    }
    if (auto over = budget.Exceeded("storing"))
        problem = *over;
    return out;
}

std::string Show(std::string_view text)
{
    std::string s;
    for (unsigned char c : text.substr(0, 40)) {
        if (c >= 0x20 && c < 0x7F) {
            s += static_cast<char>(c);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            s += hex;
        }
    }
    return text.size() > 40 ? s + "..." : s;
}

// The entries shown must be exactly the expected ones, in a consistent tree.
std::string CompareTree(ClumoEditView& view, const std::vector<Entry>& expected)
{
    const CTreeCtrl& tree = view.GetTreeCtrl();
    if (view.m_nCount != expected.size())
        return "the entry count is " + std::to_string(view.m_nCount) + ", expected " + std::to_string(expected.size());
    if (tree.GetChildCount(TVI_ROOT) != expected.size())
        return "the tree shows " + std::to_string(tree.GetChildCount(TVI_ROOT)) + " entries, expected " +
               std::to_string(expected.size());
    if (tree.GetSelectedItem() != nullptr)
        return "an entry is selected after a load";
    std::size_t nodes = 0;
    HTREEITEM h = tree.GetRootItem();
    for (std::size_t i = 0; i < expected.size(); ++i, h = tree.GetNextSiblingItem(h)) {
        const std::string at = "entry " + std::to_string(i + 1) + ": ";
        if (!h)
            return at + "missing in the tree";
        if (tree.GetItemData(h) != i)
            return at + "its position key is " + std::to_string(tree.GetItemData(h));
        if (tree.GetItemTextView(h) != expected[i].name)
            return at + "name \"" + Show(tree.GetItemTextView(h)) + "\", expected \"" + Show(expected[i].name) + "\"";
        HTREEITEM hData = tree.GetChildItem(h);
        if (!hData)
            return at + "no data node";
        if (tree.GetItemTextView(hData) != expected[i].data)
            return at + "data \"" + Show(tree.GetItemTextView(hData)) + "\", expected \"" + Show(expected[i].data) +
                   "\"";
        HTREEITEM hExtra = tree.GetNextSiblingItem(hData);
        if (expected[i].extra.empty() != (hExtra == nullptr))
            return at + (hExtra ? "an extra node for an empty extra text" : "no extra node");
        if (hExtra && tree.GetItemTextView(hExtra) != expected[i].extra)
            return at + "extra \"" + Show(tree.GetItemTextView(hExtra)) + "\", expected \"" +
                   Show(expected[i].extra) + "\"";
        if (hExtra && tree.GetNextSiblingItem(hExtra))
            return at + "more than two texts";
        if (tree.GetChildItem(hData) || (hExtra && tree.GetChildItem(hExtra)))
            return at + "a text node has children";
        nodes += hExtra ? 3 : 2;
    }
    if (h)
        return "the tree shows more entries than expected";
    if (tree.GetCount() != nodes)
        return "the tree counts " + std::to_string(tree.GetCount()) + " nodes, expected " + std::to_string(nodes);
    return {};
}

std::string CompareDamage(const CEntryFileException& e, const Expected& expected, std::size_t nInput)
{
    if (e.GetErrorMessage().rfind(e.m_bForeign ? "the file does not look like an entry file; " : "the file is damaged: ",
                                  0) != 0)
        return "the damage report reads \"" + e.GetErrorMessage() + "\"";
    if (e.m_nOffset != expected.nOffset || e.m_nEntry != expected.nEntry)
        return "the damage is reported at entry " + std::to_string(e.m_nEntry) + ", byte offset " +
               std::to_string(e.m_nOffset) + "; expected entry " + std::to_string(expected.nEntry) +
               ", byte offset " + std::to_string(expected.nOffset) + " (" + e.GetErrorMessage() + ")";
    if (e.m_nOffset > nInput)
        return "the damage is reported past the end";
    return {};
}

// A load that found bytes no entry holds says so, and only then.
std::string CheckWarning(const char* what, const CDocument& doc, const Expected& expected)
{
    const CString& warning = doc.GetLoadWarning();
    if (warning.empty() != (expected.nTrailing == 0 && expected.nHidden == 0 && expected.nRewritten == 0))
        return std::string(what) + ": the load warning reads \"" + warning + "\" for " +
               std::to_string(expected.nTrailing) + " bytes after the last entry, " +
               std::to_string(expected.nHidden) + " records with hidden bytes and " +
               std::to_string(expected.nRewritten) + " records to write in the usual form";
    if (expected.nRewritten > 0 &&
        warning.find(std::to_string(expected.nRewritten) + (expected.nRewritten == 1 ? " record will" : " records will")) ==
            std::string::npos)
        return std::string(what) + ": the load warning \"" + warning + "\" does not count the " +
               std::to_string(expected.nRewritten) + " records to write in the usual form";
    if (expected.nTrailing > 0 && warning.rfind(std::to_string(expected.nTrailing) + " byte", 0) != 0)
        return std::string(what) + ": the load warning \"" + warning + "\" does not start with the " +
               std::to_string(expected.nTrailing) + " bytes after the last entry";
    return {};
}

// Checks one load attempt against what the bytes hold; "" when it holds.
std::string CheckAttempt(const char* what, const Attempt& a, const Expected& expected, ClumoEditView& view,
                         std::size_t nInput)
{
    const std::string prefix = std::string(what) + ": ";
    if (!a.problem.empty())
        return a.problem;
    if (expected.bSound && !a.bLoaded)
        return prefix + "sound bytes were refused: " + a.damage->GetErrorMessage();
    if (!expected.bSound && a.bLoaded)
        return prefix + "damaged bytes loaded as sound";
    if (a.damage)
        if (std::string p = CompareDamage(*a.damage, expected, nInput); !p.empty())
            return prefix + p;
    if (std::string p = CompareTree(view, expected.entries); !p.empty())
        return prefix + p;
    return {};
}

}  // namespace

LoadOutcome CheckLoad(std::string_view bytes)
{
    LoadOutcome outcome;
    Program& program = TheProgram();
    if (!program.Started()) {
        outcome.problem = "the program did not start";
        return outcome;
    }
    ClumoEditView& view = program.View();
    CDocument& doc = program.Doc();
    const Expected expected = Parse(bytes);
    const std::size_t n = bytes.size();

    // From memory.
    const Attempt fromMemory = RunLoad("loading from memory", n, [&] {
        CArchive ar(bytes);
        doc.Serialize(ar);
    });
    outcome.bLoaded = fromMemory.bLoaded;
    if (fromMemory.damage)
        outcome.report = fromMemory.damage->GetErrorMessage();
    outcome.nEntries = view.m_nCount;
    if (outcome.problem = CheckAttempt("loading from memory", fromMemory, expected, view, n); !outcome.problem.empty())
        return outcome;
    if (fromMemory.bLoaded)
        if (outcome.problem = CheckWarning("loading from memory", doc, expected); !outcome.problem.empty())
            return outcome;

    // What is shown, sound or left after damage, stores canonically and survives a round trip.
    const std::string canonical = lumo_test_support::EntryFileBytes(expected.entries);
    std::string first = Store(program, n, outcome.problem);
    if (!outcome.problem.empty())
        return outcome;
    if (first != canonical) {
        outcome.problem = "stored " + std::to_string(first.size()) + " bytes that are not the canonical " +
                          std::to_string(canonical.size()) + " bytes of the entries shown";
        return outcome;
    }
    const Attempt reload = RunLoad("reloading what was stored", n, [&] {
        CArchive ar(std::string_view{first});
        doc.Serialize(ar);
    });
    if (outcome.problem = CheckAttempt("reloading what was stored", reload, Parse(first), view, n);
        !outcome.problem.empty())
        return outcome;
    if (!reload.bLoaded) {
        outcome.problem = "what was stored does not load";
        return outcome;
    }
    const std::string second = Store(program, n, outcome.problem);
    if (!outcome.problem.empty())
        return outcome;
    if (second != first) {
        outcome.problem = "store -> load -> store changed the bytes";
        return outcome;
    }

    // From a file through a small buffer, so that reads straddle the buffer's end.
    if (!program.SetFileBytes(bytes)) {
        outcome.problem = "could not write the bytes to " + program.FilePath();
        return outcome;
    }
    CFile file;
    const Attempt fromFile = RunLoad("loading from a file", n, [&] {
        file.Open(program.FilePath(), CFile::modeRead);
        CArchive ar(&file, CArchive::load, 16 + static_cast<UINT>(n % 48));
        doc.Serialize(ar);
        ar.Close();
    });
    if (outcome.problem = CheckAttempt("loading from a file", fromFile, expected, view, n); !outcome.problem.empty())
        return outcome;
    if (fromFile.bLoaded)
        if (outcome.problem = CheckWarning("loading from a file", doc, expected); !outcome.problem.empty())
            return outcome;
    if (fromFile.damage && fromFile.damage->GetErrorMessage() != outcome.report)
        outcome.problem = "loading from a file reported \"" + fromFile.damage->GetErrorMessage() +
                          "\", from memory \"" + outcome.report + "\"";
    return outcome;
}

}  // namespace lumo_fuzz
