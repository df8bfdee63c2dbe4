// SPDX-License-Identifier: MIT
// libFuzzer entry point: every input is three entry lists given to the merge.
// A broken check aborts, which libFuzzer reports with the input that did it.
#include "MergeCheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const lumo_fuzz::MergeOutcome outcome = lumo_fuzz::CheckMerge({reinterpret_cast<const char*>(data), size});
    if (!outcome.problem.empty()) {
        std::fprintf(stderr, "lumo_fuzz_merge: %s\n", outcome.problem.c_str());
        std::abort();
    }
    return 0;
}
