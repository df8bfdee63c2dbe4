// SPDX-License-Identifier: MIT
// Three entry lists merged the way lumo merge does, and checked for what a
// merge must keep. The fuzzer calls this for every input it makes; the seed
// corpus test for every file of fuzz/corpus-merge.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lumo_fuzz {

struct MergeOutcome {
    std::size_t nConflicts = 0;  // of the plain merge of base, ours and theirs
    std::string problem;         // empty when every check held; otherwise what broke
};

// The input is text: base, ours and theirs separated by lines "--", one
// entry per line as NAME=DATA|EXTRA (a line without '=' is a name alone).
// Checks that the merge pairs the entries of each side with the base as lumo
// diff does, and, for the plain merge and with either side favoured:
// - the result makes an entry file that reads back as the same entries;
// - each conflict names an entry of the result by its name, and a text
//   conflict's text holds git's markers; favouring a side leaves none;
// - every merged entry's name is one of ours' or theirs';
// and that ours merged with itself (or with the base on the other side)
// gives ours exactly, without conflicts, and the same for theirs.
MergeOutcome CheckMerge(std::string_view input);

}  // namespace lumo_fuzz
