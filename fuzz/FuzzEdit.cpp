// SPDX-License-Identifier: MIT
// libFuzzer entry point: every input is a sequence of edits on the running
// program. A broken check aborts, which libFuzzer reports with the input that
// did it.
#include "EditCheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string problem = lumo_fuzz::CheckEdits({reinterpret_cast<const char*>(data), size});
    if (!problem.empty()) {
        std::fprintf(stderr, "lumo_fuzz_edit: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
