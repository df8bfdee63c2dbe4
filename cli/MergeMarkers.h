// SPDX-License-Identifier: MIT
// git's conflict markers inside an entry's text: how the merge driver writes
// a conflict, and how to tell that a text still holds one, so that an
// unresolved merge cannot slip into a release.
#pragma once

#include <string>
#include <string_view>

namespace lumo_cli {

inline constexpr int kDefaultMarkerSize = 7;

// The three versions of a text between git's markers, each marker nMarkerSize
// characters long and followed by its side's name ("ours", "base",
// "theirs"), and ":LABEL" when a label is given:
//   <<<<<<< ours\nOURS\n||||||| base\nBASE\n=======\nTHEIRS\n>>>>>>> theirs
// Without bHasBase (an entry both sides added) the base section is left out.
// Control characters in the label become '?', so every marker stays one line.
std::string ConflictText(std::string_view ours, std::string_view base, std::string_view theirs, bool bHasBase,
                         int nMarkerSize, std::string_view label);

// True when the text holds a conflict as git writes one: a line that starts
// with N '<' (N at least 7, followed by a blank or the end of the line),
// later a line of exactly N '=', and later a line that starts with N '>'.
// Lines end with LF or CR LF. A lone "=======" underline is no conflict.
bool HoldsConflictMarkers(std::string_view text);

}  // namespace lumo_cli
