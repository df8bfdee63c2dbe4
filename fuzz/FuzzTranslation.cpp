// SPDX-License-Identifier: MIT
// libFuzzer entry point: every input is a PO or XLIFF file given to
// `lumo import` with a template (the first byte chooses which). A broken
// check aborts, which libFuzzer reports with the input that did it.
#include "TranslationCheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const lumo_fuzz::TranslationOutcome outcome =
        lumo_fuzz::CheckTranslationImport({reinterpret_cast<const char*>(data), size});
    if (!outcome.problem.empty()) {
        std::fprintf(stderr, "lumo_fuzz_translation: %s\n", outcome.problem.c_str());
        std::abort();
    }
    return 0;
}
