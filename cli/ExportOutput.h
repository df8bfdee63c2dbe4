// SPDX-License-Identifier: MIT
// An export's bytes made piece by piece and written where the command line
// says: standard output, a pipe or device straight through, a regular file
// replaced only once all of it was written.
#pragma once

#include "EntryWriters.h"

#include <functional>
#include <ostream>
#include <string>

namespace lumo_cli {

// produce hands every byte to the sink it is given. output "-" is out.
// Throws what the sink or produce throws; std::runtime_error for a failed
// write to out or a stream, CFileException for a file.
void WriteExport(const std::string& output, std::ostream& out, const std::function<void(const ByteSink&)>& produce);

}  // namespace lumo_cli
