// SPDX-License-Identifier: MIT
// lumo's own XLIFF reader (its XML scanner) against libxml2's SAX2 parser
// with the same XLIFF rules, the oracle: for the same bytes both give the
// same translations and warnings, or both refuse. The fuzzer calls this for
// every input it makes; the oracle test for a table of cases, random
// documents and the seeds.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lumo_fuzz {

struct CXliffReadOutcome {
    enum EKind { accepted, refused, notWellFormed } kind = accepted;
    std::string text;  // the translations and warnings, or the refusal's message
};

// What each reader makes of the bytes; lumo's own read from two places at
// once, the second at nSplit (0: read in one; see ReadXliffBytes).
CXliffReadOutcome OwnXliffRead(std::string_view bytes, std::size_t nSplit);
CXliffReadOutcome LibraryXliffRead(std::string_view bytes);

// Empty when the two agree: the same translations and warnings, or both
// refuse (lumo's own refusals with the same words); otherwise what differs.
std::string CompareXliffReaders(std::string_view bytes);

}  // namespace lumo_fuzz
