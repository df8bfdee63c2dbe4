// SPDX-License-Identifier: MIT
// libFuzzer entry point: every input is a source and a translation for the
// translation checks. A broken property aborts, which libFuzzer reports with
// the input that did it.
#include "ChecksCheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const lumo_fuzz::ChecksOutcome outcome =
        lumo_fuzz::CheckTranslationChecks({reinterpret_cast<const char*>(data), size});
    if (!outcome.problem.empty()) {
        std::fprintf(stderr, "lumo_fuzz_checks: %s\n", outcome.problem.c_str());
        std::abort();
    }
    return 0;
}
