// SPDX-License-Identifier: MIT
// lumo merge BASE OURS THEIRS -o OUT: the three-way merge of entry files, on
// its own or as git's merge driver.
#pragma once

#include "CommandLine.h"

#include "Merge.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace lumo_cli {

// Git passes its conflict-marker-size; beyond this a marker is no marker.
inline constexpr int kMaxMarkerSize = 1000;

struct CMergeOptions {
    std::string base, ours, theirs, output;
    int nMarkerSize = 7;
    std::optional<std::string> name;  // --name: the file's path, for the markers and the messages
    EMergeFavor favor = EMergeFavor::none;
};

// 0 for a clean merge, 1 when OUT holds conflicts, 2 for an error (a damaged
// or unreadable input, or OUT could not be written: OUT is left as it was).
// Each conflict is listed on err; out gets nothing.
int RunMerge(const CMergeOptions& options, std::ostream& out, std::ostream& err);

// The command line's arguments after "merge".
int RunMergeCommand(const CArguments& args, std::ostream& out, std::ostream& err);

extern const char* const kMergeHelp;

}  // namespace lumo_cli
