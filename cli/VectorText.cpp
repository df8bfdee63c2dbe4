// SPDX-License-Identifier: MIT
#include "VectorText.h"

#include <cstdlib>
#include <cstring>

namespace lumo_cli {

#ifdef LUMO_VECTOR_TEXT
bool HaveSsse3()
{
    static const bool bHave = __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("popcnt");
    return bHave;
}

bool HaveAvx512()
{
    static const bool bHave = [] {
        const char* no = std::getenv("LUMO_NO_AVX512");
        if (no && *no && std::strcmp(no, "0") != 0)
            return false;
        return __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi2") &&
               __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
    }();
    return bHave;
}
#endif

}  // namespace lumo_cli
