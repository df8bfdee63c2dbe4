// SPDX-License-Identifier: MIT
// One measurement in a forked child process: its memory peak is its own, and
// what it allocates cannot weigh on the measurements after it.
#pragma once

#include "BenchSupport.h"

#include <cstdint>
#include <functional>

namespace lumo_bench {

struct CChildFigures {
    Timing time;                  // of work alone
    std::uint64_t nPeakGrowth;    // the peak resident size during work, less the size before it
    bool bPeakReset;              // false when the peak could not be reset; then it is the child's whole peak
};

// Runs prepare, then work, timed, in a child. An exception in either, or a
// child that dies, is thrown here as std::runtime_error with its message.
CChildFigures MeasureInChild(const std::function<void()>& work, const std::function<void()>& prepare = {});

// In a child, for libraries that can only report a fatal error through a
// callback that must not return: says why on standard error and ends the
// child; the parent reports it.
[[noreturn]] void FailChild(const char* message);

}  // namespace lumo_bench
