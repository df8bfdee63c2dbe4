// SPDX-License-Identifier: MIT
// The outside formats: lumo's export to and import from JSON, CSV, POT, PO
// and XLIFF at full size, and gettext's own library writing and reading the
// same PO messages.
#pragma once

#include "BenchSupport.h"

#include <filesystem>

namespace lumo_bench {

// source: the generated entry file; dir: where the other files go (removed
// again as soon as they are measured). Each run is a child process of its
// own; the best of nRepeat runs counts.
void MeasureFormats(const std::filesystem::path& source, const std::filesystem::path& dir, int nRepeat,
                    CReport& report);

}  // namespace lumo_bench
