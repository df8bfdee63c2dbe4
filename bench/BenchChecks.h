// SPDX-License-Identifier: MIT
// lumo check --against at full size: the generated file against a
// translation of it, next to the plain read of the two files.
#pragma once

#include "BenchSupport.h"

#include <filesystem>

namespace lumo_bench {

// source: the generated entry file; dir: where the translation goes (removed
// again afterwards). The best of nRepeat runs, each in a child of its own.
void MeasureChecks(const std::filesystem::path& source, const std::filesystem::path& dir, int nRepeat,
                   CReport& report);

}  // namespace lumo_bench
