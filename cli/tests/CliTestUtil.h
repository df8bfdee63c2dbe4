// SPDX-License-Identifier: MIT
// Helpers for the lumo tests: entry file bytes built by hand (independent of
// the writer), temporary folders, and running the commands in-process or as
// the built program.
#pragma once

#include "cli/EntryIo.h"
#include "tests/support/EntryBytes.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace lumo_cli_test {

using lumo_cli::Entry;

inline std::string EntryFileBytes(const std::vector<Entry>& entries)
{
    return lumo_test_support::EntryFileBytes(entries);
}
using lumo_test_support::Le32;
using lumo_test_support::Record;

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
// The names of the files in a folder, sorted.
std::vector<std::string> FilesIn(const std::filesystem::path& dir);

// A fresh folder per test, removed afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

struct CRunResult {
    int status;
    std::string out, err;
};
// lumo_cli::Run with captured streams.
CRunResult Lumo(const std::vector<std::string>& args);

// Entries with random texts over all bytes 0x01-0xFF, weighted towards the
// characters CSV and JSON treat specially.
std::vector<Entry> RandomEntries(unsigned seed, std::size_t nCount);

}  // namespace lumo_cli_test
