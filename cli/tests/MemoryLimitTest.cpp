// SPDX-License-Identifier: MIT
// Exports to every format as a child under a memory limit (ulimit -v): at
// every limit the program either does its work or says "there is not
// enough memory" with status 2, writing nothing. gettext's library used to
// end the process itself from inside its PO writer ("memory exhausted",
// status 1, an empty temporary file left).
#include "CliTestUtil.h"
#include "ToolTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace lumo_cli_test;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

TEST(MemoryLimit, EveryLimitGivesTheWorkOrTheRefusal)
{
    if (kSanitized)
        GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit here allows";
    TempDir dir;
    std::vector<Entry> entries = RandomEntries(15, 5000);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i].data += std::string(400, static_cast<char>('a' + i % 26)) + " " + std::to_string(i);
        for (std::string* text : {&entries[i].name, &entries[i].data, &entries[i].extra})
            std::replace(text->begin(), text->end(), '\x04', '4');  // PO cannot carry it
        for (char& c : entries[i].name)
            if (static_cast<unsigned char>(c) < 0x20)
                c = '_';  // nor can an XML attribute
    }
    WriteFile(dir / "in.lumo", EntryFileBytes(entries));
    WriteFile(dir / "tr.lumo", EntryFileBytes(entries));

    for (const std::string format : {"po", "pot", "xliff", "json", "csv"}) {
        const std::string out = dir / ("out." + format);
        const std::string source = format == "po" || format == "xliff" ? " --source " + Quoted(dir / "in.lumo") : "";
        const std::string command = Quoted(LUMO_CLI_BINARY) + " export " + Quoted(dir / (source.empty() ? "in.lumo" : "tr.lumo")) +
                                    source + " --format " + format + " -o " + Quoted(out);
        const auto run = [&](long kb) { return RunTool("ulimit -v " + std::to_string(kb) + "; exec " + command); };

        // The smallest limit (in KB) at which the export runs through.
        long low = 1024, high = 4L << 20;
        ASSERT_EQ(run(high).status, 0) << format << ": " << run(high).output;
        const std::string expected = ReadFile(out);
        std::filesystem::remove(out);
        while (high - low > 256) {
            const long mid = (low + high) / 2;
            (run(mid).status == 0 ? high : low) = mid;
            std::filesystem::remove(out);
        }
        // Below it, down to where the program can hardly start: each run
        // does the whole export or refuses cleanly, leaving nothing behind.
        int nRefused = 0;
        for (long kb = high; kb > 1024; kb -= 1024) {
            const CToolResult r = run(kb);
            const auto files = FilesIn(dir.Path());
            if (r.status == 0) {
                ASSERT_EQ(ReadFile(out).size(), expected.size()) << format << " at " << kb << " KB";
                std::filesystem::remove(out);
                continue;
            }
            // A process that cannot even load its libraries is no test of ours.
            if (r.output.find("error while loading shared libraries") != std::string::npos ||
                r.output.find("cannot allocate TLS data structures") != std::string::npos ||
                r.output.find("cannot allocate memory for find-object data") != std::string::npos)
                break;
            ++nRefused;
            EXPECT_EQ(r.status, 2) << format << " at " << kb << " KB: " << r.output;
            EXPECT_NE(r.output.find("there is not enough memory"), std::string::npos)
                << format << " at " << kb << " KB: " << r.output;
            EXPECT_EQ(files, (std::vector<std::string>{"in.lumo", "tr.lumo"})) << format << " at " << kb << " KB";
        }
        EXPECT_GT(nRefused, 0) << format << ": no limit refused the export";
    }
}

}  // namespace
