// SPDX-License-Identifier: MIT
// libFuzzer entry point: every input is an entry file the user might open.
// A broken check aborts, which libFuzzer reports with the input that did it.
#include "LoadCheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const lumo_fuzz::LoadOutcome outcome =
        lumo_fuzz::CheckLoad({reinterpret_cast<const char*>(data), size});
    if (!outcome.problem.empty()) {
        std::fprintf(stderr, "lumo_fuzz_load: %s\n", outcome.problem.c_str());
        std::abort();
    }
    return 0;
}
