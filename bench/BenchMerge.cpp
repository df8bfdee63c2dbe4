// SPDX-License-Identifier: MIT
#include "BenchMerge.h"

#include "BenchChild.h"

#include "cli/Cli.h"
#include "cli/EntryIo.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace lumo_bench {

namespace {

// A merge of two changes to every tenth entry each: ours rewrites data texts
// and adds an entry in every thousand, theirs rewrites extra texts and
// removes one entry in every thousand. Nothing conflicts, so the expected
// result is known: both changes.
void WriteSides(const fs::path& source, const fs::path& ours, const fs::path& theirs, const fs::path& expected)
{
    std::vector<lumo_cli::Entry> base, o, t, e;
    lumo_cli::ReadEntryFile(source.string(), &base);
    for (std::size_t i = 0; i < base.size(); ++i) {
        lumo_cli::Entry mine = base[i], yours = base[i], both = base[i];
        if (i % 10 == 0)
            mine.data = both.data = "~" + base[i].data;
        if (i % 10 == 5)
            yours.extra = both.extra = base[i].extra + "~";
        o.push_back(mine);
        if (i % 1000 != 7) {
            t.push_back(yours);
            e.push_back(both);
        }
        if (i % 1000 == 500) {
            const lumo_cli::Entry added{"NEW_" + std::to_string(i), "new text", ""};
            o.push_back(added);
            e.push_back(added);
        }
    }
    lumo_cli::WriteEntryFile(ours.string(), o);
    lumo_cli::WriteEntryFile(theirs.string(), t);
    lumo_cli::WriteEntryFile(expected.string(), e);
}

}  // namespace

void MeasureMerge(const fs::path& source, const fs::path& dir, int nRepeat, CReport& report)
{
    fs::create_directories(dir);
    const fs::path ours = dir / "ours.lumo", theirs = dir / "theirs.lumo", expected = dir / "expected.lumo",
                   merged = dir / "merged.lumo";
    WriteSides(source, ours, theirs, expected);

    // The floor: reading the three files' bytes.
    Timing rawRead{1e300, 1e300};
    for (int r = 0; r < std::max(nRepeat, 3); ++r) {
        CStopwatch sw;
        for (const fs::path& path : {source, ours, theirs})
            ReadWholeFile(path, fs::file_size(path));
        const Timing t = sw.Stop();
        rawRead = {std::min(rawRead.wall, t.wall), std::min(rawRead.cpu, t.cpu)};
    }
    CChildFigures best{};
    for (int r = 0; r < nRepeat; ++r) {
        // Written where the run before wrote, as the export and import runs are.
        std::error_code ec;
        fs::remove(merged, ec);
        const CChildFigures run = MeasureInChild([&] {
            std::ostringstream out, err;
            const int status = lumo_cli::Run(
                {"merge", source.string(), ours.string(), theirs.string(), "-o", merged.string()}, out, err);
            if (status != lumo_cli::exitOk)
                throw std::runtime_error("lumo merge failed (status " + std::to_string(status) + "): " + err.str());
        });
        best.time = r == 0 ? run.time : Timing{std::min(best.time.wall, run.time.wall), std::min(best.time.cpu, run.time.cpu)};
        best.nPeakGrowth = std::max(best.nPeakGrowth, run.nPeakGrowth);
        best.bPeakReset = r == 0 ? run.bPeakReset : best.bPeakReset && run.bPeakReset;
    }
    if (!FilesEqual(merged, expected))
        throw std::runtime_error("lumo merge did not give both sides' changes");
    report.Time("raw read of base, ours, theirs", rawRead);
    report.Time("merge", best.time, 2000);
    report.Figure("merge/raw-read", best.time.wall / rawRead.wall, "", std::nullopt,
                  best.time.cpu / std::max(rawRead.cpu, 1e-6));
    report.Figure("merge memory", static_cast<double>(best.nPeakGrowth) / 1e6,
                  best.bPeakReset ? "MB" : "MB (peak of the whole child)");
    std::error_code ec;
    fs::remove_all(dir, ec);
}

}  // namespace lumo_bench
