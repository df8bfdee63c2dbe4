// SPDX-License-Identifier: MIT
// lumo's own PO reader against gettext's po_file_read with lumo's rules on
// what the library read: both accept a file with the same messages and the
// same warnings, or both refuse it, and at the same stage (a file gettext
// reports an error in is refused with gettext's words). The fuzzer calls
// this for every input it makes; the oracle test for a table of cases and
// random files, the seed corpus test for fuzz/corpus-poread.
#pragma once

#include <string>
#include <string_view>

namespace lumo_fuzz {

// The first byte chooses the file's name: odd for a ".pot" (whose header
// may leave the character set unnamed), even for a ".po"; the rest is the
// file. Empty when the readers agree; otherwise what differs.
std::string ComparePoReaders(std::string_view input);

// The same for a file and its name's ending (".po" or ".pot").
std::string ComparePoReaders(std::string_view po, const std::string& suffix);

}  // namespace lumo_fuzz
