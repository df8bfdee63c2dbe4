// SPDX-License-Identifier: MIT
// What the benchmark needs around the program: a scratch folder, the
// generated entry file, plain file reads and writes, clocks, memory figures
// and the printed report.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumo_bench {

// A folder for the benchmark's files, removed with them at the end unless kept.
class CScratchDir {
public:
    CScratchDir(const std::optional<std::filesystem::path>& dir, bool bKeep);
    ~CScratchDir();
    CScratchDir(const CScratchDir&) = delete;
    CScratchDir& operator=(const CScratchDir&) = delete;
    std::filesystem::path operator/(const char* name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
    bool m_bRemove;
};

// splitmix64: the same numbers on every machine and standard library.
class CRandom {
public:
    explicit CRandom(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform enough in [0, n) for n far below 2^64.
    std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(Next() % n); }

private:
    std::uint64_t m_state;
};

// Writes an entry file of nEntries deterministic entries: names STR_0001234_
// and up to 12 more bytes, texts of 0-90 bytes from 0x20-0x7E and 0xC0-0xFF,
// one entry in ten with an extra text of 1-30 bytes. Returns its size.
std::uint64_t WriteEntryFile(const std::filesystem::path& path, std::uint32_t nEntries);

// The whole file in a freshly allocated buffer, with plain read calls.
std::unique_ptr<char[]> ReadWholeFile(const std::filesystem::path& path, std::uint64_t nSize);
// A new file with these bytes, written with plain write calls and synced to disk.
void WriteWholeFile(const std::filesystem::path& path, const char* bytes, std::uint64_t nSize);
bool FilesEqual(const std::filesystem::path& a, const std::filesystem::path& b);

// Wall-clock time, and the processor time of this thread over the same span:
// on a machine shared with other work the second shows what the code itself
// cost.
struct Timing {
    double wall = 0;  // milliseconds
    double cpu = 0;
};

class CStopwatch {
public:
    CStopwatch();
    Timing Stop() const;

private:
    std::chrono::steady_clock::time_point m_start;
    double m_cpuStart;
};

// Timings of repeated runs of one thing.
class CSeries {
public:
    void Add(Timing t) { m_runs.push_back(t); }
    bool Empty() const { return m_runs.empty(); }
    Timing Best() const;    // of each clock
    Timing Median() const;
    Timing Max() const;
    Timing First() const { return m_runs.empty() ? Timing{} : m_runs.front(); }

private:
    std::vector<Timing> m_runs;
};

// Resets the process's peak resident size to the current one; false where
// the system does not allow it.
bool ResetPeakMemory();
std::uint64_t PeakResidentBytes();
std::uint64_t ResidentBytes();
// The processor's name and the number of cores.
std::string MachineDescription();

// One figure a line: name, value, unit, and the target when there is one.
class CReport {
public:
    void Line(const std::string& name, const std::string& text);
    void Figure(const std::string& name, double value, const char* unit,
                std::optional<double> target = std::nullopt, std::optional<double> cpu = std::nullopt);
    void Time(const std::string& name, Timing t, std::optional<double> target = std::nullopt)
    {
        Figure(name, t.wall, "ms", target, t.cpu);
    }
};

}  // namespace lumo_bench

#ifdef LUMO_BENCH_GUI
// Opens the file in the Qt front end's window, offscreen, and times the open
// up to the end of the tree's first paint; the best of nRepeat runs.
lumo_bench::Timing MeasureWindow(const std::filesystem::path& file, int nRepeat, lumo_bench::CReport& report);
#endif
