// SPDX-License-Identifier: MIT
#include "BenchChecks.h"

#include "BenchChild.h"

#include "cli/Cli.h"
#include "cli/EntryIo.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace lumo_bench {

namespace {

// A translation that keeps every code: each non-empty text behind a tilde.
// The generated texts are random bytes, so some hold what looks like a
// placeholder or a tag; those stay as they are.
void WriteKeptTranslation(const fs::path& source, const fs::path& target)
{
    std::vector<lumo_cli::Entry> entries;
    lumo_cli::ReadEntryFile(source.string(), &entries);
    for (lumo_cli::Entry& entry : entries)
        for (std::string* text : {&entry.data, &entry.extra})
            if (!text->empty())
                text->insert(text->begin(), '~');
    lumo_cli::WriteEntryFile(target.string(), entries);
}

}  // namespace

void MeasureChecks(const fs::path& source, const fs::path& dir, int nRepeat, CReport& report)
{
    fs::create_directories(dir);
    const fs::path target = dir / "translated.lumo";
    WriteKeptTranslation(source, target);
    const std::uint64_t nBytes = fs::file_size(source) + fs::file_size(target);

    // The floor: both files read, as the check reads both.
    CSeries rawReads;
    for (int r = 0; r < std::max(nRepeat, 3); ++r) {
        CStopwatch sw;
        const auto a = ReadWholeFile(source, fs::file_size(source));
        const auto b = ReadWholeFile(target, fs::file_size(target));
        rawReads.Add(sw.Stop());
    }
    CChildFigures best{};
    for (int r = 0; r < nRepeat; ++r) {
        const CChildFigures run = MeasureInChild([&] {
            // The findings go nowhere: their printing is part of the time, not their storage.
            std::ofstream out("/dev/null");
            std::ostringstream err;
            const int status = lumo_cli::Run({"check", "--against", source.string(), target.string()}, out, err);
            if (status != lumo_cli::exitOk && status != lumo_cli::exitRefused)
                throw std::runtime_error("lumo check --against failed: " + err.str());
        });
        best.time = r == 0 ? run.time
                           : Timing{std::min(best.time.wall, run.time.wall), std::min(best.time.cpu, run.time.cpu)};
        best.nPeakGrowth = std::max(best.nPeakGrowth, run.nPeakGrowth);
        best.bPeakReset = run.bPeakReset;
    }
    // What it found, once, outside the timing.
    {
        std::ostringstream out, err;
        lumo_cli::Run({"check", "--against", source.string(), target.string(), "--format", "json"}, out, err);
        const std::string json = out.str();
        const std::size_t at = json.rfind("\"errors\":");
        const std::size_t warnings = json.rfind("\"warnings\":");
        report.Line("check --against findings",
                    json.substr(at + 10, json.find_first_of(",\n", at + 10) - at - 10) + " errors, " +
                        json.substr(warnings + 12, json.find_first_of(",\n}", warnings + 12) - warnings - 12) +
                        " warnings");
    }
    report.Time("raw read of both", rawReads.Best());
    report.Time("check --against", best.time, 1000.0);
    report.Figure("check --against/raw-read", best.time.wall / rawReads.Best().wall, "", std::nullopt,
                  best.time.cpu / std::max(rawReads.Best().cpu, 1e-6));
    report.Figure("check --against memory", static_cast<double>(best.nPeakGrowth) / 1e6,
                  best.bPeakReset ? "MB" : "MB (peak of the whole child)");
    report.Figure("check memory/files", static_cast<double>(best.nPeakGrowth) / static_cast<double>(nBytes), "", 2.5);
    std::error_code ec;
    fs::remove(target, ec);
    fs::remove(dir, ec);
}

}  // namespace lumo_bench
