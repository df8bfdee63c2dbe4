// SPDX-License-Identifier: MIT
#include "Utf8Out.h"

#include "platform/Cp1252.h"

#include <array>

namespace lumo_cli {

namespace {

struct CUtf8Form {
    char bytes[3];
    unsigned char nCount;
};

std::array<CUtf8Form, 256> MakeTable()
{
    std::array<CUtf8Form, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        const std::string utf8 = Cp1252ToUtf8(std::string(1, static_cast<char>(b)));
        for (std::size_t i = 0; i < utf8.size(); ++i)
            table[b].bytes[i] = utf8[i];
        table[b].nCount = static_cast<unsigned char>(utf8.size());
    }
    return table;
}

const std::array<CUtf8Form, 256> kTable = MakeTable();

}  // namespace

void AppendUtf8(std::string& out, std::string_view cp1252)
{
    // ASCII runs go in one append; the rest through the table.
    std::size_t i = 0;
    while (i < cp1252.size()) {
        std::size_t j = i;
        while (j < cp1252.size() && static_cast<unsigned char>(cp1252[j]) < 0x80)
            ++j;
        out.append(cp1252.data() + i, j - i);
        for (; j < cp1252.size() && static_cast<unsigned char>(cp1252[j]) >= 0x80; ++j) {
            const CUtf8Form& form = kTable[static_cast<unsigned char>(cp1252[j])];
            out.append(form.bytes, form.nCount);
        }
        i = j;
    }
}

}  // namespace lumo_cli
