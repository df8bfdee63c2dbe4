// SPDX-License-Identifier: MIT
// The outside formats: lumo's export to and import from JSON, CSV, POT, PO
// and XLIFF at full size, and gettext's own library writing and reading the
// same PO messages.
#pragma once

#include "BenchSupport.h"

#include "BenchChild.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace lumo_bench {

// Each conversion's figures by name ("export json", ...), in the order measured.
using CFormatFigures = std::vector<std::pair<std::string, CChildFigures>>;

// source: the generated entry file; dir: where the other files go (removed
// again as soon as they are measured). Each run is a child process of its
// own; the best of nRepeat runs counts. suffix follows every figure's name.
CFormatFigures MeasureFormats(const std::filesystem::path& source, const std::filesystem::path& dir, int nRepeat,
                              CReport& report, const std::string& suffix = "");

// How much longer each conversion of large took than the same of small,
// for nFactor times the entries; at most 1.1 * nFactor for linear cost.
void ReportGrowth(const CFormatFigures& small, const CFormatFigures& large, double nFactor, CReport& report);

}  // namespace lumo_bench
