#include "InstructionSet.h"

#include <cstdlib>
#include <cstring>

namespace engine {

bool cpuHasAvx2() {
    // The compiler's CPU model checks the XSAVE state as well, so a kernel that does not save
    // the upper halves of the vector registers counts as no AVX.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

InstructionSet chooseInstructionSet() {
    const bool avx2 = cpuHasAvx2();
    if (const char* forced = std::getenv("VANTEL_ISA")) {
        if (std::strcmp(forced, "sse2") == 0) return InstructionSet::kSse2;
        if (std::strcmp(forced, "avx2") == 0) return avx2 ? InstructionSet::kAvx2 : InstructionSet::kSse2;
    }
    return avx2 ? InstructionSet::kAvx2 : InstructionSet::kSse2;
}

const char* nameOf(InstructionSet set) { return set == InstructionSet::kAvx2 ? "AVX2" : "SSE2"; }

}  // namespace engine
