// SPDX-License-Identifier: MIT
// One entry file, loaded through the program's document and checked for
// everything a load must keep. The fuzzer calls this for every input it
// makes; the corpus test calls it for every file of the seed corpus.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumo_fuzz {

struct LoadOutcome {
    bool bLoaded = false;     // false: the load failed with a damage report
    std::string report;       // that report
    std::uint32_t nEntries = 0;  // entries in the editor afterwards
    std::string problem;      // empty when every check held; otherwise what broke
};

// Loads the bytes into the running program's view with the document's
// Serialize, once from memory and once from a file read through a small
// buffer, and checks:
// - a load either succeeds or throws the damage report, nothing else;
// - the entries shown are exactly the complete entries in the bytes, the
//   damage (if any) is reported at the right entry and byte offset, and the
//   tree is consistent;
// - what is shown stores in the canonical form, and store -> load -> store
//   gives identical bytes, also for what is left after damage;
// - where the program runs with AddressSanitizer: no load or store
//   allocates more than the input justifies.
LoadOutcome CheckLoad(std::string_view bytes);

}  // namespace lumo_fuzz
