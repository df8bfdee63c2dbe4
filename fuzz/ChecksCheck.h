// SPDX-License-Identifier: MIT
// A source and a translation made from fuzz input, driven through every
// translation check, both as entry files (--against) and as a translator's
// messages (--template). The fuzzer calls this for every input it makes; the
// seed corpus test calls it for every file of fuzz/corpus-checks.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lumo_fuzz {

struct ChecksOutcome {
    std::size_t nFindings = 0;  // of the source against the translation
    std::string problem;        // empty when every property held; otherwise what broke
};

// Input: one byte of options (bit 0 --strict, bit 1 --max-length from the
// second byte, bit 2 --max-growth from the third, bit 3 the placeholder
// patterns, bit 4 fuzzy messages), then the source's fields, then 0x1D and
// the translation's; fields are separated by 0x1E, three to an entry (name,
// data, extra).
ChecksOutcome CheckTranslationChecks(std::string_view bytes);

}  // namespace lumo_fuzz
