// SPDX-License-Identifier: MIT
// libFuzzer entry point: the export an input makes is written by lumo's
// XLIFF writer and by libxml2's; a difference aborts.
#include "XliffWriterCheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto given = lumo_fuzz::XliffExportFromBytes({reinterpret_cast<const char*>(data), size});
    const std::string problem = lumo_fuzz::CompareXliffWriters(given);
    if (!problem.empty()) {
        std::fprintf(stderr, "lumo_fuzz_xliffwrite: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
