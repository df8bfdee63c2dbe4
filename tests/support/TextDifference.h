// SPDX-License-Identifier: MIT
// For the oracle checks: where lumo's output first differs from a library's,
// shown from the start of that line in both.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

namespace lumo_test {

// Empty when the texts are the same.
inline std::string DescribeTextDifference(const std::string& what, const std::string& libraryName,
                                          const std::string& library, const std::string& own, std::size_t nShown)
{
    if (library == own)
        return "";
    const std::size_t at =
        static_cast<std::size_t>(std::mismatch(library.begin(), library.end(), own.begin(), own.end()).first -
                                 library.begin());
    const std::size_t from = at == 0 ? std::string::npos : library.rfind('\n', at - 1);
    const std::size_t start = from == std::string::npos ? 0 : from + 1;
    return "the " + what + " texts differ at byte " + std::to_string(at) + ": " + libraryName + " wrote\n" +
           library.substr(start, nShown) + "\n---- lumo wrote\n" + own.substr(start, nShown);
}

}  // namespace lumo_test
