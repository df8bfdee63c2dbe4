// SPDX-License-Identifier: MIT
// A translator's file mapped into memory for a reader that makes one pass
// over it: followed by 0 bytes, its pages given back once read, and safe
// from another program cutting the file short while it is read.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lumo_cli {

class CMappedInput {
public:
    // At least this many 0 bytes follow the file's bytes.
    static constexpr std::size_t kPadding = 16;

    // Throws CFileException when the file cannot be opened or mapped.
    explicit CMappedInput(const std::string& path);
    CMappedInput(const CMappedInput&) = delete;
    CMappedInput& operator=(const CMappedInput&) = delete;
    ~CMappedInput();

    std::string_view Bytes() const { return {m_base, m_size}; }
    // The pages wholly before offset are not needed in memory any more.
    void Release(std::size_t offset);
    // The pages wholly inside [from, to) are not needed in memory any more;
    // for readers of different parts on different threads.
    void Release(std::size_t from, std::size_t to) const;
    // A file cut short while it was read reads as 0 bytes past its new end
    // instead of ending the process; what was read of it is then of no use.
    // Throws CFileException (changedWhileRead) when that happened.
    void ThrowIfCut() const;

private:
    std::string m_path;
    char* m_base = nullptr;
    std::size_t m_size = 0, m_mapped = 0, m_released = 0;
    int m_nGuard = -1;  // this mapping's place among those the fault handler knows
};

}  // namespace lumo_cli
