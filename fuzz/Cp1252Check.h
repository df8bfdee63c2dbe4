// SPDX-License-Identifier: MIT
// The Windows-1252 conversion both ways, checked on one input. The fuzzer
// calls this for every input it makes; the seed corpus test for every file of
// fuzz/corpus-cp1252.
#pragma once

#include <string>
#include <string_view>

namespace lumo_fuzz {

// Checks, with the input taken once as entry text bytes and once as UTF-8:
// - every byte string survives bytes -> UTF-8 -> bytes unchanged, also
//   through the import's text conversion (which refuses only a 0x00);
// - UTF-8 is converted exactly when it is valid and every character has a
//   byte, and then converting back gives the same text; a refusal names the
//   first offending place and character;
// - the line and column of any offset are where they are.
// Returns what broke, or nothing.
std::string CheckCp1252(std::string_view bytes);

}  // namespace lumo_fuzz
