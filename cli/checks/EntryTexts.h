// SPDX-License-Identifier: MIT
// Entry files as the checks read them: the whole file in one block and each
// text a view into it, so a million entries cost no allocation each; and the
// pairing of a translation's entries with the source's by name and
// occurrence, the way lumo diff pairs them.
#pragma once

#include "cli/EntryIo.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lumo_cli {

struct CEntryTexts {
    std::string_view name, data, extra;
};

class CEntryTextFile {
public:
    // Reads strictly, as ReadEntryInput does (a stream too). Throws
    // CEntryFileException for damage and CFileException when it cannot be read.
    void Read(const std::string& path);
    // The texts of entries that are already in memory; they must outlive this.
    void Refer(const std::vector<Entry>& entries);

    const std::vector<CEntryTexts>& Entries() const { return m_entries; }
    const CIrregularRecords& Irregular() const { return m_irregular; }

private:
    std::string m_bytes;
    std::vector<std::unique_ptr<char[]>> m_copies;  // texts the reader did not leave in m_bytes
    std::vector<CEntryTexts> m_entries;
    CIrregularRecords m_irregular;
};

struct CPairing {
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    std::vector<std::uint32_t> sourceOfTarget;  // kNone: no partner
    std::vector<std::uint32_t> targetOfSource;
    // For each target entry: paired, but outside the largest set of pairs
    // that keeps the source's order (as lumo diff's "moved").
    std::vector<bool> moved;
};

CPairing PairEntries(const std::vector<CEntryTexts>& source, const std::vector<CEntryTexts>& target);

}  // namespace lumo_cli
