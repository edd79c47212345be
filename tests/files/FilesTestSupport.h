// Shared by the file and settings tests: a private settings folder for every test (the
// user's own settings are never touched), effects as a host builds them, a scripted file
// selector, a byte-exact snapshot of everything a load may change, and small file helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "../../src/host/QEL.h"
#include "../../src/presets/codec/PresetCodec.h"
#include "../../src/presets/files/FileSelector.h"
#include "../../src/presets/files/PresetFiles.h"
#include "../../src/presets/settings/PresetCommands.h"

namespace filestest {

using Bytes = std::vector<uint8_t>;

inline VstIntPtr quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

inline std::unique_ptr<QEL> newEffect() { return std::make_unique<QEL>(quietHost); }

// The dialog as a test scripts it: answers in order, and every request kept.
class ScriptedSelector : public presets::FileSelector {
public:
    std::optional<std::string> choose(const presets::FileSelectorRequest& request) override {
        requests.push_back(request);
        if (answers.empty()) return std::nullopt;
        std::optional<std::string> answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::deque<std::optional<std::string>> answers;
    std::vector<presets::FileSelectorRequest> requests;
};

// Everything a load may change, as bytes: programs, current program, assignments, maps.
inline Bytes snapshot(CPresetSystemEffect& e) {
    const auto* programs = reinterpret_cast<const uint8_t*>(e.programs());
    Bytes out(programs, programs + presets::kNumPrograms * sizeof(presets::ProgramRecord));
    auto put = [&out](const void* p) {
        const auto* b = static_cast<const uint8_t*>(p);
        out.insert(out.end(), b, b + 4);
    };
    const VstInt32 current = e.getCurrentProgramIndex();
    put(&current);
    for (VstInt32 p = 0; p < presets::kNumParams; ++p) {
        const float v = e.getParameter(presets::kNumParams + p);
        const VstInt32 c = e.getAssignedController(p);
        put(&v);
        put(&c);
    }
    for (VstInt32 c = 0; c < 128; ++c) {
        const VstInt32 p = e.getControlledParameter(c);
        put(&p);
    }
    return out;
}

inline std::string programName(CPresetSystemEffect& e, int index) {
    char text[presets::kProgramNameSize + 1] = {};
    presets::readProgramName(e.programs()[index], text);
    return text;
}

inline bool sameProgram(const presets::ProgramRecord& a, const presets::ProgramRecord& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Gives program `index` a recognisable name and values that no factory program has.
inline void makeDistinct(CPresetSystemEffect& e, int index, int salt) {
    presets::ProgramRecord& p = e.programs()[index];
    presets::storeProgramName(p, ("Test " + std::to_string(salt)).c_str());
    for (int i = 0; i < presets::kNumParams; ++i) p.values[i] = static_cast<float>((i * 13 + salt) % 101) / 100.0f;
}

inline float assignmentOf(int controller) { return (controller + 0.5f) / 129.0f; }

inline void reverseWord(Bytes& b, size_t at) {
    std::swap(b[at], b[at + 3]);
    std::swap(b[at + 1], b[at + 2]);
}

// A block as a machine of the other byte order writes it. `identifierToo` false gives
// the mixed file: identifier in native order, every other word reversed.
inline Bytes reversedBlock(const Bytes& block, bool identifierToo = true) {
    Bytes b = block;
    if (identifierToo) reverseWord(b, 0);
    for (size_t w = 5; w < presets::kHeaderSize; w += 4) reverseWord(b, w);
    size_t pos = presets::kHeaderSize;
    while (pos + 12 <= b.size()) {
        int32_t type, length;
        std::memcpy(&type, &block[pos], 4);
        std::memcpy(&length, &block[pos + 4], 4);
        const size_t end = pos + 12 + static_cast<size_t>(length);
        // Name bytes are text: only the record head is words.
        const size_t wordsEnd = type == presets::kNameRecord ? pos + 12 : end;
        for (size_t w = pos; w + 4 <= wordsEnd; w += 4) reverseWord(b, w);
        pos = end;
    }
    return b;
}

inline void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// Names in a folder other than . and ..
std::vector<std::string> listFolder(const std::string& folder);

// A temporary folder for the test, removed with everything in it at the end; and the
// user's settings folder pointed into it through XDG_CONFIG_HOME before anything reads it.
class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string path(const std::string& name) const { return root + name; }
    std::string settingsFolder() const { return root + "config/Morvane/Vantel/"; }

    std::string root;  // with its trailing '/'
};

// A fresh effect in a scratch folder, with its file operations answered by a scripted selector.
class PresetFilesTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        effect = newEffect();
        files = std::make_unique<presets::PresetFiles>(*effect, &selector);
    }
    std::unique_ptr<QEL> effect;
    ScriptedSelector selector;
    std::unique_ptr<presets::PresetFiles> files;
};

}  // namespace filestest
