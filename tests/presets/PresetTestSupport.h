// Helpers shared by the preset-system tests: an effect made of the preset base alone, an
// editor stand-in that records what the preset system asks of it, a host callback that
// records calls, and a byte-exact snapshot of everything a load may change.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "../../src/presets/CPresetSystemEffect.h"
#include "../../src/presets/codec/PresetCodec.h"

namespace presettest {

using Bytes = std::vector<uint8_t>;

struct HostCall {
    VstInt32 opcode, index;
};

// What the host answers and what it was asked. One per process: the callback has no
// user pointer. Tests reset it in their fixtures.
struct Host {
    VstIntPtr canDoAnswer = 1;
    std::vector<HostCall> calls;
    std::vector<std::string> canDoTexts;
    size_t count(VstInt32 opcode) const {
        size_t n = 0;
        for (const HostCall& c : calls) n += c.opcode == opcode;
        return n;
    }
};

inline Host& host() {
    static Host h;
    return h;
}

inline VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void* ptr, float) {
    host().calls.push_back({opcode, index});
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterCanDo) {
        host().canDoTexts.push_back(ptr ? static_cast<const char*>(ptr) : "");
        return host().canDoAnswer;
    }
    return 0;
}

struct Hooks : presets::PresetEditorHooks {
    int learnCleared = 0, forgetCleared = 0;
    std::vector<std::string> shownNames;
    std::vector<int> renamed, shown;
    void clearLearnButton() override { ++learnCleared; }
    void clearForgetButton() override { ++forgetCleared; }
    void showProgramName(const char* name) override { shownNames.push_back(name); }
    void programRenamed(int index) override { renamed.push_back(index); }
    void programShown(int index) override { shown.push_back(index); }
};

// The preset base without an engine: selectProgram is recorded so tests see what a load
// selects and with which values.
class TestEffect : public CPresetSystemEffect {
public:
    TestEffect() : CPresetSystemEffect(hostCallback) { setPresetEditor(&hooks); }
    ~TestEffect() override { setPresetEditor(nullptr); }

    void selectProgram(VstInt32 index) override {
        selected.push_back(index);
        CPresetSystemEffect::selectProgram(index);
    }

    presets::PresetCodec codec() { return presets::PresetCodec(*this); }

    Hooks hooks;
    std::vector<VstInt32> selected;
};

// Everything a load may change, as bytes: the 61 programs, the current program, the
// assignment values and both controller maps.
inline Bytes snapshot(CPresetSystemEffect& e) {
    Bytes out(sizeof(presets::ProgramRecord) * presets::kNumPrograms);
    std::memcpy(out.data(), e.programs(), out.size());
    auto put = [&out](const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        out.insert(out.end(), b, b + n);
    };
    VstInt32 current = e.getCurrentProgramIndex();
    put(&current, 4);
    for (VstInt32 p = 0; p < presets::kNumParams; ++p) {
        float v = e.getParameter(presets::kNumParams + p);
        VstInt32 c = e.getAssignedController(p);
        put(&v, 4);
        put(&c, 4);
    }
    for (VstInt32 c = 0; c < 128; ++c) {
        VstInt32 p = e.getControlledParameter(c);
        put(&p, 4);
    }
    return out;
}

// Every 32-bit word in [from, to) of a record list, reversed in place, record by record:
// heads, and for name records only the head (the name bytes are never reversed).
inline void reverseRecords(Bytes& b, size_t from, size_t to) {
    size_t pos = from;
    while (pos + 12 <= to) {
        int32_t type, length;
        std::memcpy(&type, &b[pos], 4);
        std::memcpy(&length, &b[pos + 4], 4);
        const size_t bodyEnd = pos + 12 + static_cast<size_t>(length);
        const size_t wordsEnd = type == presets::kNameRecord ? pos + 12 : bodyEnd;
        for (size_t w = pos; w + 4 <= wordsEnd; w += 4) std::swap(b[w], b[w + 3]), std::swap(b[w + 1], b[w + 2]);
        pos = bodyEnd;
    }
}

inline void reverseWord(Bytes& b, size_t at) {
    std::swap(b[at], b[at + 3]);
    std::swap(b[at + 1], b[at + 2]);
}

// A whole block written in the other byte order: identifier, the nine header words and
// every record word.
inline Bytes reversedBlock(const Bytes& block) {
    Bytes b = block;
    reverseWord(b, 0);
    for (size_t w = 5; w < presets::kHeaderSize; w += 4) reverseWord(b, w);
    reverseRecords(b, presets::kHeaderSize, b.size());
    return b;
}

inline int32_t intAt(const Bytes& b, size_t at) {
    int32_t v;
    std::memcpy(&v, &b[at], 4);
    return v;
}
inline float floatAt(const Bytes& b, size_t at) {
    float v;
    std::memcpy(&v, &b[at], 4);
    return v;
}
inline void putInt(Bytes& b, size_t at, int32_t v) { std::memcpy(&b[at], &v, 4); }
inline void putFloat(Bytes& b, size_t at, float v) { std::memcpy(&b[at], &v, 4); }

// A program's name as text (up to the first NUL of its 24 bytes).
inline std::string nameOf(const presets::ProgramRecord& program) {
    char text[presets::kProgramNameSize + 1] = {};
    presets::readProgramName(program, text);
    return text;
}

inline float notAssigned() { return 128.5f / 129.0f; }
inline float assignmentOf(int controller) { return (controller + 0.5f) / 129.0f; }

}  // namespace presettest
