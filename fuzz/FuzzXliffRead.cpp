// SPDX-License-Identifier: MIT
// libFuzzer entry point: the input is read as an XLIFF file by lumo's own
// reader and by libxml2's SAX2 parser; a difference aborts.
#include "XliffReadCheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string problem = lumo_fuzz::CompareXliffReaders({reinterpret_cast<const char*>(data), size});
    if (!problem.empty()) {
        std::fprintf(stderr, "lumo_fuzz_xliffread: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
