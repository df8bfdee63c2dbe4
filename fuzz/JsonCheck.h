// SPDX-License-Identifier: MIT
// lumo's own JSON reader against nlohmann-json, its oracle: both accept the
// input with the same entries, or both refuse it.
#pragma once

#include <string>
#include <string_view>

namespace lumo_fuzz {

// Empty when the two agree; otherwise what differs.
std::string CompareJsonReaders(std::string_view json);

}  // namespace lumo_fuzz
