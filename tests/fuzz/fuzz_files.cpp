// libFuzzer entries for the readers of preset, bank and MIDI-settings files and of the
// user's stored values. The first input byte picks the case, the rest is the content.
//   FILES_TARGET 0: a file image. Byte 0: bits 0-1 the file kind (preset, bank, MIDI; 3
//                   counts as MIDI), bit 2 the endian-reversed option.
//   FILES_TARGET 1: a stored value, written into a private settings folder and read by
//                   start-up, a memo recall, the recent paths and the keyboard focus.
//                   Byte 0 % 8 names the value.
// A refused load changes nothing (a bank file with our identifier only makes program 0
// current); whatever is taken keeps the state valid.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

#include "../../src/presets/files/PresetFiles.h"
#include "../../src/presets/settings/PresetCommands.h"
#include "FuzzEffect.h"

#ifndef FILES_TARGET
#error "FILES_TARGET selects the reader under test"
#endif

namespace {

#if FILES_TARGET == 0
constexpr size_t kProgramsBytes = 61 * sizeof(presets::ProgramRecord);

bool sameExceptCurrent(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.begin() + kProgramsBytes, b.begin()) &&
           std::equal(a.begin() + kProgramsBytes + 4, a.end(), b.begin() + kProgramsBytes + 4);
}
#endif

#if FILES_TARGET == 1
const char* const kValueNames[] = {"DefaultBank", "DefaultPreset", "DefaultMidi", "MemoA",
                                   "CurrDir",     "CurrPreset",    "KeyboardFocus", "MemoB"};

// One settings folder for the whole run, removed at exit. Kept in a plain array: an exit
// handler must not read an object that static destruction has already taken down.
char gFolder[64];

void removeFolder() {
    for (const char* name : kValueNames) ::unlink((std::string(gFolder) + name).c_str());
    ::rmdir(gFolder);
}

std::string settingsFolder() {
    if (!gFolder[0]) {
        std::strcpy(gFolder, "/tmp/vantel-fuzz-settings-XXXXXX");
        if (!::mkdtemp(gFolder)) std::abort();
        std::atexit(removeFolder);
    }
    return std::string(gFolder) + "/";
}
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    fuzz::Effect effect;
    const std::vector<uint8_t> before = fuzz::snapshot(effect);

#if FILES_TARGET == 0
    const int kindBits = data[0] & 3;
    const presets::FileKind kind = kindBits == 0 ? presets::FileKind::Preset
                                   : kindBits == 1 ? presets::FileKind::Bank
                                                   : presets::FileKind::Midi;
    const bool reversed = data[0] & 4;
    const presets::FileResult result = presets::applyFileImage(effect, kind, data + 1, size - 1, reversed);
    if (result != presets::FileResult::Done) {
        if (kind == presets::FileKind::Bank)
            fuzz::check(sameExceptCurrent(fuzz::snapshot(effect), before));
        else
            fuzz::check(fuzz::snapshot(effect) == before);
    }
#else
    const char* name = kValueNames[data[0] % 8];
    const platform::SettingsStore store(settingsFolder());
    // Written plainly: the reader is under test here, not the (flushing) writer.
    {
        std::ofstream value(settingsFolder() + name, std::ios::binary | std::ios::trunc);
        value.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
        fuzz::check(static_cast<bool>(value));
    }
    presets::PresetCommands commands(effect, nullptr, store);
    bool taken = false;
    switch (data[0] % 8) {
        case 0: taken = commands.loadDefaultBank(); break;
        case 1: taken = commands.loadDefaultPreset(); break;
        case 2: taken = commands.loadDefaultMidi(); break;
        case 3: taken = commands.recallMemoA(); break;
        case 7: taken = commands.recallMemoB(); break;
        default: break;
    }
    if (!taken) fuzz::check(fuzz::snapshot(effect) == before);
    commands.applyStoredDefaults();
    (void)commands.keyboardFocus();
    const presets::RecentPaths& recent = commands.recentPaths();
    for (const std::string* s : {&recent.directory, &recent.preset, &recent.bank, &recent.midi})
        fuzz::check(s->size() <= presets::kMaxRecentPath && s->find('\0') == std::string::npos);
    store.remove(name);
#endif

    fuzz::checkState(effect);
    return 0;
}
