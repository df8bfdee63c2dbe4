// SPDX-License-Identifier: MIT
// Entry files written out the plain way, independently of the program's own
// writer, so the fuzz checks can compare against them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumo_fuzz {

inline std::string Le32(std::uint32_t value)
{
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[i] = static_cast<char>(value >> (8 * i));
    return s;
}

// The entry file for these entries (anything with name, data and extra).
template <class TEntry>
std::string Canonical(const std::vector<TEntry>& entries)
{
    std::string out = Le32(static_cast<std::uint32_t>(entries.size()));
    for (const TEntry& e : entries)
        for (const std::string* text : {&e.name, &e.data, &e.extra})
            out += Le32(static_cast<std::uint32_t>(text->size() + 1)) + *text + std::string(1, '\0');
    return out;
}

}  // namespace lumo_fuzz
