// SPDX-License-Identifier: MIT
// libFuzzer entry point: lumo's PO reader against gettext's po_file_read.
// The first byte chooses between a ".po" and a ".pot" name (see PoReadCheck.h).
#include "PoReadCheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string problem = lumo_fuzz::ComparePoReaders({reinterpret_cast<const char*>(data), size});
    if (!problem.empty()) {
        std::fprintf(stderr, "lumo_fuzz_poread: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
