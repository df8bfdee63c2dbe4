// SPDX-License-Identifier: MIT
// libFuzzer entry point: lumo's JSON reader against nlohmann-json's. The
// first byte is skipped, so the import fuzzer's seeds serve as they are.
#include "JsonCheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string problem = lumo_fuzz::CompareJsonReaders({reinterpret_cast<const char*>(data) + 1, size - 1});
    if (!problem.empty()) {
        std::fprintf(stderr, "lumo_fuzz_json: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
