// SPDX-License-Identifier: MIT
// One input of `lumo import`, JSON or CSV, checked for what an import must
// keep. The fuzzer calls this for every input it makes; the seed corpus test
// calls it for every file of fuzz/corpus-import.
#pragma once

#include <string>
#include <string_view>

namespace lumo_fuzz {

struct ImportOutcome {
    bool bAccepted = false;
    std::string refusal;  // the import error's message when refused
    std::string problem;  // empty when every check held; otherwise what broke
};

// The first byte chooses the format (even: JSON, odd: CSV), the rest is the
// file. Checks:
// - the input is refused with an import error that says where, or accepted;
//   nothing else is thrown;
// - accepted JSON is valid JSON holding the same texts;
// - what is accepted round-trips: entries -> entry file bytes (the canonical
//   ones) -> read back, entries -> JSON -> import, entries -> CSV -> import,
//   each giving the same entries.
ImportOutcome CheckImport(std::string_view bytes);

}  // namespace lumo_fuzz
