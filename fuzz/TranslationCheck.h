// SPDX-License-Identifier: MIT
// One translator's file, PO or XLIFF, imported into a small fixed template
// the way `lumo import` does, and checked for what an import must keep. The
// fuzzer calls this for every input it makes; the seed corpus test calls it
// for every file of fuzz/corpus-translation.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lumo_fuzz {

struct TranslationOutcome {
    bool bAccepted = false;
    std::string refusal;        // the import error's message when refused
    std::size_t nReplaced = 0;  // texts of the template that the import replaced
    std::string problem;        // empty when every check held; otherwise what broke
};

// The first byte chooses the format (0x08 clear: PO, set: XLIFF; "p" and "x"
// in the seeds), the rest is the file. Checks:
// - the file is refused with an import error that has a message, or
//   accepted; nothing else is thrown;
// - what is accepted gives the template's entries in its order, names
//   unchanged, each text either its source text or a translation (not
//   empty, no 0x00), the same translation wherever the same name and text
//   occur, and empty texts left empty;
// - untranslated texts left empty instead changes nothing else;
// - those entries make an entry file that reads back as the same entries.
TranslationOutcome CheckTranslationImport(std::string_view bytes);

}  // namespace lumo_fuzz
