// SPDX-License-Identifier: MIT
// libFuzzer entry point: the messages an input makes are written by lumo's
// PO writer and by gettext's library; a difference aborts.
#include "PoWriterCheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string file;
    const auto messages = lumo_fuzz::PoMessagesFromBytes({reinterpret_cast<const char*>(data), size}, file);
    const std::string problem = lumo_fuzz::ComparePoWriters(messages, file);
    if (!problem.empty()) {
        std::fprintf(stderr, "lumo_fuzz_powrite: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
