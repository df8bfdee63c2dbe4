// SPDX-License-Identifier: MIT
// lumo_bench: makes a large entry file and measures, in one run, how long the
// program's real code paths take on it next to the plain cost of reading and
// writing its bytes, how long the Edit commands take, how much memory a
// loaded file needs, and how lumo's exports and imports compare with a plain
// read and, for PO, with gettext's own library.
//
//   lumo_bench [--entries N] [--repeat R] [--format-repeat F] [--moves M] [--dir DIR] [--keep]

#include "BenchChecks.h"
#include "BenchFormats.h"
#include "BenchMerge.h"
#include "BenchFrontEnd.h"
#include "BenchSupport.h"

#include "app/LumoEditApp.h"
#include "platform/Document.h"
#include "platform/FrameWnd.h"
#include "res/resource.h"
#include "tree/LumoEditView.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace lumo_bench;

namespace {

struct Options {
    std::uint32_t nEntries = 1000000;
    int nRepeat = 3;
    // Each takes about a second at full size; 0 leaves them out. The first
    // run writes its output into memory the system may not have handed out
    // for a while, which on a virtual machine can cost more than the
    // conversion: the later runs write where the one before wrote.
    int nFormatRepeat = 3;
    int nMoves = 1000;
    int nEdits = 5;
    std::optional<fs::path> dir;
    bool bKeep = false;
};

[[noreturn]] void Usage(const char* why)
{
    std::fprintf(stderr, "lumo_bench: %s\n", why);
    std::fprintf(stderr,
                 "usage: lumo_bench [--entries N] [--repeat R] [--format-repeat F] [--moves M] [--dir DIR] [--keep]\n"
                 "  --entries N  entries in the generated file (default 1000000)\n"
                 "  --repeat R   runs of each file measurement; the best counts (default 3)\n"
                 "  --format-repeat F  runs of each export and import; the best counts (default 3, 0 for none)\n"
                 "  --moves M    Move Up / Move Down commands timed (default 1000)\n"
                 "  --dir DIR    where the files go (default: a new folder in the temp folder)\n"
                 "  --keep       keep the generated files\n");
    std::exit(2);
}

std::uint64_t ParseNumber(const char* text, std::uint64_t max)
{
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || text[0] == '-' || value > max)
        Usage((std::string("not a valid number: ") + text).c_str());
    return value;
}

Options ParseOptions(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> const char* {
            if (i + 1 >= argc)
                Usage((arg + " needs a value").c_str());
            return argv[++i];
        };
        if (arg == "--entries")
            o.nEntries = static_cast<std::uint32_t>(ParseNumber(value(), 50000000));
        else if (arg == "--repeat")
            o.nRepeat = static_cast<int>(std::max<std::uint64_t>(1, ParseNumber(value(), 100)));
        else if (arg == "--format-repeat")
            o.nFormatRepeat = static_cast<int>(ParseNumber(value(), 100));
        else if (arg == "--moves")
            o.nMoves = static_cast<int>(ParseNumber(value(), 1000000));
        else if (arg == "--dir")
            o.dir = value();
        else if (arg == "--keep")
            o.bKeep = true;
        else if (arg == "--help" || arg == "-h")
            Usage("measures load, store, the Edit commands, memory, and lumo's exports and imports on a "
                  "generated entry file");
        else
            Usage(("unknown option " + arg).c_str());
    }
    return o;
}

// The headless program: ClumoEditApp on the benchmark's front end, started
// with no file like from a bare command line.
class CHeadlessProgram {
public:
    CHeadlessProgram() : m_app(std::make_unique<ClumoEditApp>())
    {
        if (!m_app->InitInstance())
            throw std::runtime_error("the program did not start");
    }
    CBenchFrontEnd& fe() { return m_fe; }
    CFrameWnd& frame() { return *m_app->m_pMainWnd; }
    ClumoEditView& view() { return *dynamic_cast<ClumoEditView*>(frame().GetActiveView()); }
    CDocument& doc() { return *frame().GetActiveDocument(); }
    CTreeCtrl& tree() { return view().GetTreeCtrl(); }
    bool Open(const fs::path& path) { return m_app->OpenDocumentFile(path.c_str()) != nullptr; }
    bool Command(UINT nID) { return frame().OnCommand(nID); }
    void SelectEntry(UINT nRow) { tree().SelectItem(tree().GetChildAt(TVI_ROOT, nRow)); }

private:
    CBenchFrontEnd m_fe;  // made first, gone last
    std::unique_ptr<ClumoEditApp> m_app;
};

void Require(bool bOk, const std::string& what)
{
    if (!bOk)
        throw std::runtime_error(what);
}

// The keys must run 0 .. n-1 in display order, rows must match, and every
// entry must have its data node.
void CheckTree(CHeadlessProgram& program)
{
    CTreeCtrl& tree = program.tree();
    std::uint32_t n = 0;
    for (HTREEITEM h = tree.GetRootItem(); h; h = tree.GetNextSiblingItem(h), ++n) {
        Require(tree.GetItemData(h) == n, "entry " + std::to_string(n) + " has the wrong key");
        Require(tree.GetChildItem(h) != nullptr, "entry " + std::to_string(n) + " lost its data");
    }
    Require(n == program.view().m_nCount, "the entry count disagrees with the tree");
    Require(n == 0 || tree.GetItemRow(tree.GetChildAt(TVI_ROOT, n - 1)) == n - 1, "the rows are wrong");
}

struct Ratio {
    const char* name;
    Timing numerator, denominator;
    double target;
};

void RequireNoMessages(CHeadlessProgram& program)
{
    const auto& messages = program.fe().m_messages;
    Require(messages.empty(), "the program reported: " + (messages.empty() ? CString() : messages.front()));
}

int Run(const Options& o)
{
    CScratchDir scratch(o.dir, o.bKeep);
    const fs::path source = scratch / "entries.lumo";
    const fs::path rawCopy = scratch / "raw-copy.lumo";
    const fs::path stored = scratch / "stored.lumo";

    CReport report;
    report.Line("machine", MachineDescription());
    report.Line("entries", std::to_string(o.nEntries));

    const std::uint64_t nFileSize = WriteEntryFile(source, o.nEntries);
    report.Figure("file size", static_cast<double>(nFileSize) / 1e6, "MB");

    auto pProgram = std::make_unique<CHeadlessProgram>();
    CHeadlessProgram& program = *pProgram;

    // The load first, in a fresh process, so the memory peak is the load's.
    const bool bPeakReset = ResetPeakMemory();
    const std::uint64_t nRssBefore = ResidentBytes();
    CSeries loads;
    {
        CStopwatch sw;
        const bool bOpened = program.Open(source);
        loads.Add(sw.Stop());
        Require(bOpened, "the file did not open");
    }
    const std::uint64_t nPeak = PeakResidentBytes();
    Require(program.view().m_nCount == o.nEntries, "the file opened with the wrong number of entries");
    RequireNoMessages(program);

    // The floor: the same bytes read into memory and written to a new file
    // (with fsync, as a save does).
    CSeries rawReads, rawWrites;
    for (int r = 0; r < o.nRepeat; ++r) {
        std::unique_ptr<char[]> bytes;
        {
            CStopwatch sw;
            bytes = ReadWholeFile(source, nFileSize);
            rawReads.Add(sw.Stop());
        }
        CStopwatch sw;
        WriteWholeFile(rawCopy, bytes.get(), nFileSize);
        rawWrites.Add(sw.Stop());
    }
    std::error_code ec;
    fs::remove(rawCopy, ec);

    for (int r = 1; r < o.nRepeat; ++r) {
        CStopwatch sw;
        const bool bOpened = program.Open(source);
        loads.Add(sw.Stop());
        Require(bOpened, "the file did not open again");
    }
    CheckTree(program);

    CSeries stores;
    for (int r = 0; r < o.nRepeat; ++r) {
        CStopwatch sw;
        const bool bSaved = program.doc().OnSaveDocument(stored.c_str());
        stores.Add(sw.Stop());
        Require(bSaved, "the file was not saved");
    }
    Require(FilesEqual(source, stored), "the saved file differs from the file loaded");
    fs::remove(stored, ec);

    report.Time("raw read", rawReads.Best());
    report.Time("raw write", rawWrites.Best());
    report.Time("load", loads.Best());
    report.Time("load (first)", loads.First());
    report.Time("store", stores.Best());
    report.Figure("peak memory", static_cast<double>(nPeak) / 1e6, "MB");
    if (!bPeakReset)
        report.Line("note", "the peak could not be reset before the load; it is the whole run's so far");
    report.Figure("memory before load", static_cast<double>(nRssBefore) / 1e6, "MB");

    // Edit commands through the command route, the selection set before each.
    CSeries moves;
    if (o.nEntries >= 3) {
        CRandom random(0x5EED);
        for (int i = 0; i < o.nMoves; ++i) {
            const auto row = static_cast<UINT>(1 + random.Below(o.nEntries - 2));
            const UINT nID = random.Below(2) == 0 ? ID_EDIT_MOVEUP : ID_EDIT_MOVEDOWN;
            program.SelectEntry(row);
            CStopwatch sw;
            const bool bRan = program.Command(nID);
            moves.Add(sw.Stop());
            Require(bRan, "a Move command was disabled");
        }
        report.Time("move median", moves.Median(), 1.0);
        report.Time("move max", moves.Max(), 5.0);
    }

    // Remove renumbers the keys below the entry; the first Move after it is
    // timed too, since it finds the level changed.
    CSeries removes, movesAfterRemove;
    CRandom random(0xD1CE);
    for (int i = 0; i < o.nEdits && program.view().m_nCount > 1; ++i) {
        program.SelectEntry(program.view().m_nCount / 2);
        CStopwatch sw;
        const bool bRan = program.Command(ID_EDIT_REMOVEITEM);
        removes.Add(sw.Stop());
        Require(bRan, "Remove Item was disabled");
        if (program.view().m_nCount >= 3) {
            program.SelectEntry(static_cast<UINT>(1 + random.Below(program.view().m_nCount - 2)));
            CStopwatch swMove;
            const bool bMoved = program.Command(ID_EDIT_MOVEDOWN);
            movesAfterRemove.Add(swMove.Stop());
            Require(bMoved, "Move Down was disabled");
        }
    }
    if (!removes.Empty()) {
        report.Time("remove median", removes.Median());
        report.Time("remove max", removes.Max(), 10.0);
    }
    if (!movesAfterRemove.Empty())
        report.Time("move after remove", movesAfterRemove.Max(), 5.0);

    CSeries adds;
    for (int i = 0; i < o.nEdits && program.tree().GetCount() > 0; ++i) {
        const CString name = "STR_ADDED_" + std::to_string(i);
        program.fe().m_dialogScripts.push_back([name](CBenchFrontEnd::CRunningDialog& dlg) {
            dlg.SetText(IDC_VALUE_NAME, name);
            dlg.SetText(IDC_VALUE_DATA, "Added by the benchmark");
            dlg.Click(IDOK);
        });
        const UINT nBefore = program.view().m_nCount;
        CStopwatch sw;
        const bool bRan = program.Command(ID_EDIT_ADDITEM);
        adds.Add(sw.Stop());
        Require(bRan && program.view().m_nCount == nBefore + 1, "Add Item added nothing");
        Require(program.tree().GetItemText(program.tree().GetChildAt(TVI_ROOT, nBefore)) == name,
                "Add Item added the wrong entry");
    }
    if (!adds.Empty()) {
        report.Time("add median", adds.Median());
        report.Time("add max", adds.Max(), 1.0);
    }
    CheckTree(program);
    RequireNoMessages(program);
    pProgram.reset();  // one program at a time

    std::vector<Ratio> ratios{
        {"load/raw-read", loads.Best(), rawReads.Best(), 3.0},
        {"store/raw-write", stores.Best(), rawWrites.Best(), 2.0},
    };
#ifdef LUMO_BENCH_GUI
    ratios.push_back({"window/load", MeasureWindow(source, o.nRepeat, report), loads.Best(), 1.3});
#endif
    for (const Ratio& r : ratios)
        report.Figure(r.name, r.numerator.wall / r.denominator.wall, "", r.target,
                      r.numerator.cpu / std::max(r.denominator.cpu, 1e-6));
    report.Figure("memory/file-size",
                  static_cast<double>(nPeak) / static_cast<double>(std::max<std::uint64_t>(nFileSize, 1)), "", 2.5);

    // Last, so the figures above are taken as before. Each runs in a child
    // process of its own, for a memory peak of its own.
    if (o.nFormatRepeat > 0)
        MeasureChecks(source, scratch / "checks", o.nFormatRepeat, report);
    if (o.nFormatRepeat > 0) {
        // A tenth of the entries first, for how each conversion grows with its work.
        const std::uint32_t nSmall = o.nEntries / 10;
        const fs::path small = scratch / "entries-tenth.lumo";
        WriteEntryFile(small, nSmall);
        const CFormatFigures smallFigures =
            MeasureFormats(small, scratch / "formats", o.nFormatRepeat, report, " (" + std::to_string(nSmall) + ")");
        fs::remove(small, ec);
        ReportGrowth(smallFigures, MeasureFormats(source, scratch / "formats", o.nFormatRepeat, report), 10, report);
    }
    if (o.nFormatRepeat > 0)
        MeasureMerge(source, scratch / "merge", o.nFormatRepeat, report);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const Options options = ParseOptions(argc, argv);
    try {
        return Run(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lumo_bench: %s\n", e.what());
        return 1;
    }
}
