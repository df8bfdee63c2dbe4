// SPDX-License-Identifier: MIT
// Windows-1252 texts appended to an output buffer as UTF-8, through a table
// of every byte's UTF-8 form: the writers convert every text they write, so
// this runs once per byte of every export.
#pragma once

#include <string>
#include <string_view>

namespace lumo_cli {

// out += the UTF-8 form of cp1252, with the editor's lossless byte map.
void AppendUtf8(std::string& out, std::string_view cp1252);
// The same into a buffer emptied first.
inline const std::string& ToUtf8(std::string& buffer, std::string_view cp1252)
{
    buffer.clear();
    AppendUtf8(buffer, cp1252);
    return buffer;
}

}  // namespace lumo_cli
