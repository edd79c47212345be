// The program record and the store of 61 programs, as they travel in every block.
#pragma once

#include <cstdint>
#include <cstring>

namespace presets {

constexpr int kNumPrograms = 61;
constexpr int kNumParams = 60;
constexpr int kProgramNameSize = 24;

struct ProgramRecord {
    char name[kProgramNameSize];  // NUL-padded; a 24-character name has no terminator
    float values[kNumParams];
};
static_assert(sizeof(ProgramRecord) == 264, "program record layout");

// The naming rule: at most 24 characters; a shorter name is stored with its terminator in
// a cleared field, a name of 24 or more as its first 24 characters without one.
inline void storeProgramName(ProgramRecord& program, const char* text) {
    size_t n = 0;
    if (text)
        while (n < kProgramNameSize && text[n]) ++n;
    std::memset(program.name, 0, kProgramNameSize);
    if (n) std::memcpy(program.name, text, n);
}

}  // namespace presets
