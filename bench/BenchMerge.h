// SPDX-License-Identifier: MIT
// lumo merge at full size: three entry files of the generated file's size,
// two translators' changes to it, merged in a child process of its own.
#pragma once

#include "BenchSupport.h"

#include <filesystem>

namespace lumo_bench {

// source: the generated entry file (the base); dir: where the two sides and
// the result go (removed again afterwards). The best of nRepeat runs.
void MeasureMerge(const std::filesystem::path& source, const std::filesystem::path& dir, int nRepeat,
                  CReport& report);

}  // namespace lumo_bench
