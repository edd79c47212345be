#include "PresetCommands.h"

#include "../CPresetSystemEffect.h"
#include "../codec/PresetCodec.h"

namespace presets {

PresetCommands::PresetCommands(CPresetSystemEffect& effect, FileSelector* selector, platform::SettingsStore store)
    : PresetFiles(effect, selector), store_(std::move(store)) {}

// ---------------------------------------------------------------- stored blocks

bool PresetCommands::storeBlock(const char* name, const std::vector<uint8_t>& block) {
    return !block.empty() && store_.writeBinary(name, block.data(), block.size());
}

bool PresetCommands::loadStoredBlock(const char* name, unsigned acceptedKinds) {
    std::vector<uint8_t> value;
    if (!store_.readBinary(name, value)) return false;
    // Stored values have no endian-reversed option: the identifier alone tells the order.
    return PresetCodec(effect_).loadBlockImage(value.data(), value.size(), acceptedKinds, false);
}

bool PresetCommands::storeDefaultBank() { return storeBlock(setting::kDefaultBank, PresetCodec(effect_).buildBankBlock()); }
bool PresetCommands::storeDefaultPreset() {
    return storeBlock(setting::kDefaultPreset, PresetCodec(effect_).buildPresetBlock());
}
bool PresetCommands::storeDefaultMidi() { return storeBlock(setting::kDefaultMidi, PresetCodec(effect_).buildMidiBlock()); }

bool PresetCommands::deleteDefaultBank() { return store_.remove(setting::kDefaultBank); }
bool PresetCommands::deleteDefaultPreset() { return store_.remove(setting::kDefaultPreset); }
bool PresetCommands::deleteDefaultMidi() { return store_.remove(setting::kDefaultMidi); }

bool PresetCommands::loadDefaultBank() { return loadStoredBlock(setting::kDefaultBank, kBankKinds); }
bool PresetCommands::loadDefaultPreset() { return loadStoredBlock(setting::kDefaultPreset, kPresetKinds); }
bool PresetCommands::loadDefaultMidi() { return loadStoredBlock(setting::kDefaultMidi, kMidiKinds); }

bool PresetCommands::storeMemoA() { return storeBlock(setting::kMemoA, PresetCodec(effect_).buildPresetBlock()); }
bool PresetCommands::storeMemoB() { return storeBlock(setting::kMemoB, PresetCodec(effect_).buildPresetBlock()); }
bool PresetCommands::recallMemoA() { return loadStoredBlock(setting::kMemoA, kPresetKinds); }
bool PresetCommands::recallMemoB() { return loadStoredBlock(setting::kMemoB, kPresetKinds); }

// ---------------------------------------------------------------- recent paths

bool PresetCommands::saveRecentPaths() {
    // Every instance saves when it goes; most have nothing new to say, and a host that
    // scans plug-ins creates and destroys many. A value already stored is not rewritten.
    auto save = [this](const char* name, const std::string& value) {
        std::string stored;
        if (store_.readString(name, stored, kMaxRecentPath) && stored == value) return true;
        return store_.writeString(name, value);
    };
    const RecentPaths& recent = recentPaths();
    bool ok = save(setting::kCurrDir, recent.directory);
    ok = save(setting::kCurrBank, recent.bank) && ok;
    ok = save(setting::kCurrPreset, recent.preset) && ok;
    ok = save(setting::kCurrMidi, recent.midi) && ok;
    return ok;
}

void PresetCommands::loadRecentPaths() {
    auto read = [this](const char* name) {
        std::string value;
        store_.readString(name, value, kMaxRecentPath);
        return RecentPaths::fitted(value);
    };
    RecentPaths& recent = recentPaths();
    recent.directory = read(setting::kCurrDir);
    recent.bank = read(setting::kCurrBank);
    recent.preset = read(setting::kCurrPreset);
    recent.midi = read(setting::kCurrMidi);
}

// ---------------------------------------------------------------- keyboard focus, zoom, manual

bool PresetCommands::keyboardFocus() const {
    uint32_t value = 0;
    return store_.readNumber(setting::kKeyboardFocus, value) && value != 0;
}

bool PresetCommands::setKeyboardFocus(bool on) { return store_.writeNumber(setting::kKeyboardFocus, on ? 1u : 0u); }

int PresetCommands::zoom() const {
    uint32_t value = 0;
    return store_.readNumber(setting::kZoom, value) && value <= 1000 ? static_cast<int>(value) : 0;
}

bool PresetCommands::setZoom(int percent) {
    return percent > 0 && store_.writeNumber(setting::kZoom, static_cast<uint32_t>(percent));
}

std::string PresetCommands::manualPath() const {
    std::string path;
    store_.readString(setting::kManualPath, path, kMaxManualPath);
    return path;
}

ManualMessage PresetCommands::manualMessage(platform::OpenDocumentResult outcome) {
    switch (outcome) {
        case platform::OpenDocumentResult::Opened: return {};
        case platform::OpenDocumentResult::NoApplication:
            return {true, "Make sure Acrobat Reader is installed", "Could not open manual file"};
        case platform::OpenDocumentResult::Failed: break;
    }
    return {true, "Could not open user manual", ""};
}

// ---------------------------------------------------------------- start-up

void PresetCommands::applyStoredDefaults() {
    loadDefaultBank();
    effect_.selectProgram(0);
    loadDefaultPreset();
    loadDefaultMidi();
    loadRecentPaths();
}

}  // namespace presets
