// The 61 factory programs a new instance starts with.
#pragma once

#include "ProgramStore.h"

namespace presets {

struct FactoryProgram {
    const char* name;
    double values[kNumParams];
};

extern const FactoryProgram kFactoryBank[kNumPrograms];

}  // namespace presets
