// SPDX-License-Identifier: MIT
#include "BenchFormats.h"

#include "BenchChild.h"
#include "BenchGettext.h"

#include "cli/Cli.h"
#include "cli/EntryIo.h"

#include <algorithm>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace lumo_bench {

namespace {

// A lumo command, run through the command line's own entry point.
void Lumo(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    if (lumo_cli::Run(args, out, err) != lumo_cli::exitOk) {
        std::string line = "lumo";
        for (const std::string& arg : args)
            line += " " + arg;
        throw std::runtime_error(line + " failed: " + err.str());
    }
}

// A stand-in translation: every non-empty text of the source turned around
// behind a tilde, so it differs from the source and never becomes empty.
void WriteTranslation(const fs::path& source, const fs::path& target)
{
    std::vector<lumo_cli::Entry> entries;
    lumo_cli::ReadEntryFile(source.string(), &entries);
    for (lumo_cli::Entry& entry : entries) {
        for (std::string* text : {&entry.data, &entry.extra}) {
            if (!text->empty()) {
                std::reverse(text->begin(), text->end());
                text->insert(text->begin(), '~');
            }
        }
    }
    lumo_cli::WriteEntryFile(target.string(), entries);
}

class CFormatRun {
public:
    CFormatRun(const fs::path& dir, int nRepeat, CReport& report, std::string suffix, std::uint64_t nEntryFile)
        : m_dir(dir), m_nRepeat(nRepeat), m_report(report), m_suffix(std::move(suffix)), m_nEntryFile(nEntryFile)
    {
    }

    CFormatFigures m_figures;

    fs::path operator/(const char* name) const { return m_dir / name; }

    // The best of the runs; the memory figure is the largest, to be safe.
    // nRuns, when given, instead of the runs asked for.
    CChildFigures Measure(const std::function<void()>& work, const std::function<void()>& prepare = {},
                          int nRuns = 0)
    {
        return MeasureWriting({}, work, prepare, nRuns);
    }
    // The same for work that writes output: the output of each run is
    // removed before the next, which then writes where it wrote. A virtual
    // machine may take seconds to hand out memory it took back while it
    // lay unused, as much for any program writing that many bytes (see the
    // raw write); the runs after the first show the conversion's own cost.
    CChildFigures MeasureWriting(const fs::path& output, const std::function<void()>& work,
                                 const std::function<void()>& prepare = {}, int nRuns = 0)
    {
        CChildFigures best{};
        for (int r = 0; r < (nRuns > 0 ? nRuns : m_nRepeat); ++r) {
            std::error_code ec;
            if (!output.empty())
                fs::remove(output, ec);
            const CChildFigures run = MeasureInChild(work, prepare);
            best.time = r == 0 ? run.time
                               : Timing{std::min(best.time.wall, run.time.wall), std::min(best.time.cpu, run.time.cpu)};
            best.nPeakGrowth = std::max(best.nPeakGrowth, run.nPeakGrowth);
            best.bPeakReset = r == 0 ? run.bPeakReset : best.bPeakReset && run.bPeakReset;
        }
        return best;
    }

    // The plain read of a file's bytes, the floor for anything that reads it.
    Timing RawRead(const fs::path& path)
    {
        const std::uint64_t nSize = fs::file_size(path);
        CSeries reads;
        for (int r = 0; r < std::max(m_nRepeat, 3); ++r) {
            CStopwatch sw;
            const auto bytes = ReadWholeFile(path, nSize);
            reads.Add(sw.Stop());
        }
        return reads.Best();
    }

    // name, its time, that time over the raw read of the file it reads, and its memory.
    // The memory is also given as a multiple of the entry file's size. Only
    // lumo's own conversions have targets: a second at most, 3 x the file.
    void Report(const std::string& name, const CChildFigures& f, Timing rawRead, bool bLumo = true)
    {
        m_figures.emplace_back(name, f);
        const std::string label = name + m_suffix;
        const bool bTargets = bLumo && m_suffix.empty();  // the targets are for a million entries
        m_report.Time(label, f.time, bTargets ? std::optional<double>(kMaxMs) : std::nullopt);
        m_report.Figure(label + "/raw-read", f.time.wall / rawRead.wall, "", std::nullopt,
                        f.time.cpu / std::max(rawRead.cpu, 1e-6));
        m_report.Figure(label + " memory", static_cast<double>(f.nPeakGrowth) / 1e6,
                        f.bPeakReset ? "MB" : "MB (peak of the whole child)");
        m_report.Figure(label + " memory/entry-file",
                        static_cast<double>(f.nPeakGrowth) / static_cast<double>(std::max<std::uint64_t>(m_nEntryFile, 1)),
                        "", bTargets ? std::optional<double>(3.0) : std::nullopt);
    }

    // Export to a file and import it again; the import must give back expected.
    void RoundTrip(const char* format, const std::vector<std::string>& exportArgs, const fs::path& exported,
                   const std::vector<std::string>& importArgs, const fs::path& input, const fs::path& expected,
                   CChildFigures* pExport = nullptr, CChildFigures* pImport = nullptr)
    {
        const fs::path back = m_dir / "back.lumo";
        const CChildFigures e = MeasureWriting(exported, [&] { Lumo(exportArgs); });
        Report(std::string("export ") + format, e, RawRead(input));
        const CChildFigures i = MeasureWriting(back, [&] { Lumo(importArgs); });
        Report(std::string("import ") + format, i, RawRead(exported));
        if (!FilesEqual(back, expected))
            throw std::runtime_error(std::string("the ") + format + " export did not import back to the same file");
        std::error_code ec;
        fs::remove(back, ec);
        if (pExport)
            *pExport = e;
        if (pImport)
            *pImport = i;
    }

private:
    // Every conversion of a million entries, in either direction, takes a
    // second at most: about 30 times the plain read of its file.
    static constexpr double kMaxMs = 1000;

    fs::path m_dir;
    int m_nRepeat;
    CReport& m_report;
    std::string m_suffix;
    std::uint64_t m_nEntryFile;
};

}  // namespace

CFormatFigures MeasureFormats(const fs::path& source, const fs::path& dir, int nRepeat, CReport& report,
                              const std::string& suffix)
{
    fs::create_directories(dir);
    CFormatRun run(dir, nRepeat, report, suffix, fs::file_size(source));
    const std::string src = source.string(), back = (run / "back.lumo").string();
    std::error_code ec;

    for (const char* format : {"json", "csv"}) {
        const std::string file = (run / (std::string("entries.") + format).c_str()).string();
        run.RoundTrip(format, {"export", src, "-o", file}, file, {"import", file, "-o", back}, source, source);
        fs::remove(file, ec);
    }

    const fs::path pot = run / "entries.pot";
    const CChildFigures potExport = run.MeasureWriting(pot, [&] { Lumo({"export", src, "--format", "pot", "-o", pot.string()}); });
    run.Report("export pot", potExport, run.RawRead(source));
    fs::remove(pot, ec);

    // A translation of every text, exported against the source and imported into it.
    const fs::path target = run / "translated.lumo";
    WriteTranslation(source, target);
    const std::string tgt = target.string();
    const fs::path po = run / "translated.po", xliff = run / "translated.xlf";
    CChildFigures poExport{}, poImport{};
    run.RoundTrip("po", {"export", tgt, "--source", src, "--format", "po", "-o", po.string()}, po,
                  {"import", po.string(), "--template", src, "-o", back}, target, target, &poExport, &poImport);
    run.RoundTrip("xliff", {"export", tgt, "--source", src, "--format", "xliff", "-o", xliff.string()}, xliff,
                  {"import", xliff.string(), "--template", src, "-o", back}, target, target);
    fs::remove(xliff, ec);

    // gettext's library on the same messages: the pace for lumo's PO figures.
    // One run each: they take ten times as long, and have no target.
    std::vector<CPoMessage> messages;
    const fs::path libraryPo = run / "library.po";
    const CChildFigures libraryWrite = run.Measure(
        [&] { LibraryWritePo(messages, source.filename().string(), libraryPo); },
        [&] { messages = PoMessagesOf(source, target); }, 1);
    run.Report("gettext write po", libraryWrite, run.RawRead(target), false);
    fs::remove(libraryPo, ec);
    const CChildFigures libraryRead = run.Measure([&] { LibraryReadPo(po); }, {}, 1);
    run.Report("gettext read po", libraryRead, run.RawRead(po), false);
    fs::remove(po, ec);
    fs::remove(target, ec);
    fs::remove(dir, ec);  // only when nothing else is in it

    report.Figure("export po/gettext-write" + suffix, poExport.time.wall / libraryWrite.time.wall, "", std::nullopt,
                  poExport.time.cpu / std::max(libraryWrite.time.cpu, 1e-6));
    report.Figure("import po/gettext-read" + suffix, poImport.time.wall / libraryRead.time.wall, "", std::nullopt,
                  poImport.time.cpu / std::max(libraryRead.time.cpu, 1e-6));
    return std::move(run.m_figures);
}

void ReportGrowth(const CFormatFigures& small, const CFormatFigures& large, double nFactor, CReport& report)
{
    for (const auto& [name, figures] : large) {
        const auto it = std::find_if(small.begin(), small.end(), [&](const auto& f) { return f.first == name; });
        if (it == small.end())
            continue;
        const Timing& a = it->second.time;
        const Timing& b = figures.time;
        const bool bLumo = name.rfind("gettext", 0) != 0;
        report.Figure(name + " growth", b.wall / std::max(a.wall, 1e-6), "",
                      bLumo ? std::optional<double>(1.1 * nFactor) : std::nullopt, b.cpu / std::max(a.cpu, 1e-6));
    }
}

}  // namespace lumo_bench
