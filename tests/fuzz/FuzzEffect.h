// The preset base on its own, with a fixed state to load into, and the checks every
// fuzz input must pass: a refused load changes nothing, and whatever is taken keeps every
// program value within 0..1 and both controller maps each other's inverse.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../../src/presets/CPresetSystemEffect.h"
#include "../../src/presets/codec/PresetCodec.h"

namespace fuzz {

inline VstIntPtr quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

class Effect : public CPresetSystemEffect {
public:
    Effect() : CPresetSystemEffect(quietHost) {
        selectProgram(13);
        setParameter(60 + 3, 7.5f / 129.0f);
        setParameter(60 + 20, 100.5f / 129.0f);
    }
};

inline std::vector<uint8_t> snapshot(CPresetSystemEffect& e) {
    std::vector<uint8_t> out(reinterpret_cast<const uint8_t*>(e.programs()),
                             reinterpret_cast<const uint8_t*>(e.programs()) + 61 * sizeof(presets::ProgramRecord));
    auto put = [&out](VstInt32 v) {
        const auto* b = reinterpret_cast<const uint8_t*>(&v);
        out.insert(out.end(), b, b + 4);
    };
    put(e.getCurrentProgramIndex());
    for (int p = 0; p < 60; ++p) {
        float v = e.getParameter(60 + p);
        VstInt32 bits;
        std::memcpy(&bits, &v, 4);
        put(bits);
        put(e.getAssignedController(p));
    }
    for (int c = 0; c < 128; ++c) put(e.getControlledParameter(c));
    return out;
}

inline void check(bool condition) {
    if (!condition) std::abort();
}

inline void checkState(CPresetSystemEffect& e) {
    check(e.getCurrentProgramIndex() >= 0 && e.getCurrentProgramIndex() < 61);
    for (int p = 0; p < 61; ++p)
        for (int i = 0; i < 60; ++i) {
            const float v = e.programs()[p].values[i];
            check(v >= 0.0f && v <= 1.0f);
        }
    for (int p = 0; p < 60; ++p) {
        const VstInt32 c = e.getAssignedController(p);
        if (c != 999) check(c >= 0 && c < 128 && e.getControlledParameter(c) == p);
    }
    for (int c = 0; c < 128; ++c) {
        const VstInt32 p = e.getControlledParameter(c);
        if (p != 999) check(p >= 0 && p < 60 && e.getAssignedController(p) == c);
    }
}

}  // namespace fuzz
