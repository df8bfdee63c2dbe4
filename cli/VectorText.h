// SPDX-License-Identifier: MIT
// What the text decoders of lumo's own readers (PO, XML) share: which
// vector instructions the processor has, and the table that packs the bytes
// a block keeps with SSSE3's shuffle.
//
// LUMO_NO_AVX512=1 in the environment makes them use the blocks of sixteen
// even where the processor has AVX-512: the tests read every file both
// ways, and it tells a fault of the wide path from one of the reader.
#pragma once

#include <array>
#include <cstdint>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define LUMO_VECTOR_TEXT 1
#endif

namespace lumo_cli {

#ifdef LUMO_VECTOR_TEXT
// SSSE3 and POPCNT.
bool HaveSsse3();
// AVX-512 with BW and VBMI2 (byte compress), BMI2 and POPCNT, unless
// LUMO_NO_AVX512 is set.
bool HaveAvx512();
#define LUMO_AVX512_TARGET "avx512f,avx512bw,avx512vbmi2,bmi,bmi2,popcnt"

// For each 8-bit mask, the indices of its set bits in order: the shuffle
// that packs the bytes it keeps.
constexpr std::array<std::uint64_t, 256> MakePackTable()
{
    std::array<std::uint64_t, 256> table{};
    for (unsigned mask = 0; mask < 256; ++mask) {
        std::uint64_t indices = 0;
        unsigned n = 0;
        for (unsigned bit = 0; bit < 8; ++bit)
            if (mask & (1u << bit))
                indices |= std::uint64_t{bit} << (8 * n++);
        table[mask] = indices;
    }
    return table;
}
inline constexpr std::array<std::uint64_t, 256> kPackTable = MakePackTable();
#endif

}  // namespace lumo_cli
