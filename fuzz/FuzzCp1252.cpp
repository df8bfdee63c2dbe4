// SPDX-License-Identifier: MIT
// libFuzzer entry point: every input is a text, taken both as entry file
// bytes and as UTF-8. A broken check aborts, which libFuzzer reports with the
// input that did it.
#include "Cp1252Check.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string problem = lumo_fuzz::CheckCp1252({reinterpret_cast<const char*>(data), size});
    if (!problem.empty()) {
        std::fprintf(stderr, "lumo_fuzz_cp1252: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
