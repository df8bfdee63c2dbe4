// SPDX-License-Identifier: MIT
// Entry files written out the plain way, independently of the program's own
// writer, for the tests and the fuzz checks to compare against: a
// little-endian count, then per entry three records (a little-endian
// length that counts the closing 0x00, the text, 0x00).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumo_test_support {

inline std::string Le32(std::uint32_t value)
{
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return s;
}

// One record: length, text, 0x00.
inline std::string Record(std::string_view text)
{
    return Le32(static_cast<std::uint32_t>(text.size() + 1)) + std::string(text) + std::string(1, '\0');
}

// The entry file for these entries (anything with name, data and extra).
template <class TEntry>
std::string EntryFileBytes(const std::vector<TEntry>& entries)
{
    std::string out = Le32(static_cast<std::uint32_t>(entries.size()));
    for (const TEntry& e : entries)
        out += Record(e.name) + Record(e.data) + Record(e.extra);
    return out;
}

}  // namespace lumo_test_support
