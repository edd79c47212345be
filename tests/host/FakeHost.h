// A minimal in-process host for tests that construct the effect directly: it answers
// from plain fields and records every callback.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "aeffectx.h"

namespace fakehost {

struct Call {
    VstInt32 opcode, index;
    VstIntPtr value;
    float opt;
    std::string text;
};

struct State {
    VstIntPtr version = 2400;
    bool timeAvailable = true;
    VstTimeInfo time{};
    std::vector<bool> inputPins{true, true, true, true};  // true = connected
    std::vector<bool> outputPins{true, true};
    VstIntPtr outputLatency = 0;
    VstIntPtr canDoAnswer = 1;
    std::vector<Call> calls;

    void reset() { *this = State{}; time.tempo = 120.0; }
    size_t count(VstInt32 opcode) const {
        size_t n = 0;
        for (const Call& c : calls) n += c.opcode == opcode;
        return n;
    }
};

inline State& state() {
    static State s;
    return s;
}

inline VstIntPtr callback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    State& s = state();
    Call call{opcode, index, value, opt, ""};
    if (opcode == audioMasterCanDo && ptr) call.text = static_cast<const char*>(ptr);
    s.calls.push_back(call);
    switch (opcode) {
        case audioMasterVersion: return s.version;
        case audioMasterGetTime: return s.timeAvailable ? reinterpret_cast<VstIntPtr>(&s.time) : 0;
        case audioMasterPinConnected: {
            const auto& pins = value ? s.outputPins : s.inputPins;
            const bool connected = index >= 0 && index < static_cast<VstInt32>(pins.size()) && pins[index];
            return connected ? 0 : 1;
        }
        case audioMasterGetOutputLatency: return s.outputLatency;
        case audioMasterCanDo: return s.canDoAnswer;
        default: return 0;
    }
}

}  // namespace fakehost
