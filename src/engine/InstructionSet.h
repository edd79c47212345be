// Which compile of the processing code an engine runs. The plug-in is built for plain
// x86-64 (SSE2); the processing code is compiled a second time for AVX2 and FMA, and an
// engine takes that one when the CPU has both. The choice is made once, when the engine
// is constructed, and the environment can force it (tests run both):
//   VANTEL_ISA=sse2   always the SSE2 code
//   VANTEL_ISA=avx2   the AVX2 code where the CPU has it, else SSE2 (never an instruction
//                     the CPU lacks)
// Both compiles give the same samples, bit for bit: neither contracts a multiply and an add
// into one rounding (the library is built with -ffp-contract=off), and the vector
// instructions round each operation as the scalar ones do.
#pragma once

namespace engine {

enum class InstructionSet { kSse2, kAvx2 };

// True when this CPU (and its operating system) can run the AVX2 compile.
bool cpuHasAvx2();

// The compile a new engine runs: $VANTEL_ISA if set and possible, else the best the CPU has.
InstructionSet chooseInstructionSet();

// "SSE2" or "AVX2".
const char* nameOf(InstructionSet set);

}  // namespace engine
