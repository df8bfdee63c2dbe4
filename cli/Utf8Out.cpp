// SPDX-License-Identifier: MIT
#include "Utf8Out.h"

#include "platform/Cp1252.h"

#include <array>
#include <cstring>

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
    // Written straight into room for the longest form (three bytes a byte),
    // then cut to what was written: no append per character.
    const std::size_t nOld = out.size();
    out.resize(nOld + 3 * cp1252.size());
    char* p = out.data() + nOld;
    for (const char c : cp1252) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) {
            *p++ = c;
            continue;
        }
        const CUtf8Form& form = kTable[u];
        std::memcpy(p, form.bytes, 3);
        p += form.nCount;
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
}

}  // namespace lumo_cli
