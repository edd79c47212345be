// Every preset-strip command that reaches beyond the program store: the files (with the
// recent folder and file names), the user's stored defaults, the A/B memos, the
// keyboard-focus and zoom choices and the user manual. One object per effect, owned by the editor
// object; it works whether or not the editor's window is open.
//
// The user's settings are shared by all instances of the effect: every operation reads or
// writes the settings store anew, so what one instance stores the next one (in this
// process or another) finds. A stored value that is missing or corrupt is ignored: it
// never stops an instance from starting and never changes anything.
#pragma once

#include <string>
#include <vector>

#include "../../platform/OpenDocument.h"
#include "../../platform/SettingsStore.h"
#include "../files/PresetFiles.h"

namespace presets {

// Names of the stored values.
namespace setting {
constexpr const char* kDefaultBank = "DefaultBank";      // bank block
constexpr const char* kDefaultPreset = "DefaultPreset";  // preset block
constexpr const char* kDefaultMidi = "DefaultMidi";      // MIDI block
constexpr const char* kMemoA = "MemoA";                  // preset block
constexpr const char* kMemoB = "MemoB";                  // preset block
constexpr const char* kCurrDir = "CurrDir";              // text: the recent folder
constexpr const char* kCurrBank = "CurrBank";            // text: recent file names
constexpr const char* kCurrPreset = "CurrPreset";
constexpr const char* kCurrMidi = "CurrMidi";
constexpr const char* kKeyboardFocus = "KeyboardFocus";  // number: 1 or 0
constexpr const char* kZoom = "Zoom";                    // number: the editor's size in per cent
constexpr const char* kManualPath = "ManualPath";        // text, set by hand or an installer
}  // namespace setting

// The longest manual path read; a longer value counts as none.
constexpr size_t kMaxManualPath = 4096;

// What the editor shows after the manual button: nothing, or one message box.
struct ManualMessage {
    bool show = false;
    std::string text;
    std::string caption;
};

class PresetCommands : public PresetFiles {
public:
    // `store`: where the user's settings live (by default the per-user folder).
    explicit PresetCommands(CPresetSystemEffect& effect, FileSelector* selector = nullptr,
                            platform::SettingsStore store = platform::SettingsStore());

    // ---- defaults every new instance starts from ----
    bool storeDefaultBank();    // all 61 programs, and the current program index
    bool storeDefaultPreset();  // the current program
    bool storeDefaultMidi();    // the 60 controller assignments
    bool deleteDefaultBank();
    bool deleteDefaultPreset();
    bool deleteDefaultMidi();
    // True when a stored value was there and was taken whole.
    bool loadDefaultBank();
    bool loadDefaultPreset();  // into the current program
    bool loadDefaultMidi();

    // ---- memos: the current program, shared by all instances of the user ----
    bool storeMemoA();
    bool storeMemoB();
    bool recallMemoA();  // into the current program; the program index stays
    bool recallMemoB();

    // ---- recent paths ----
    bool saveRecentPaths();
    // Each path takes its stored value, or the empty string where none fits.
    void loadRecentPaths();

    // ---- keyboard focus ----
    // The stored choice: true for any non-zero value, false when none is stored.
    bool keyboardFocus() const;
    bool setKeyboardFocus(bool on);

    // ---- the editor's zoom ----
    // The stored per cent, 0 when none is stored (the editor decides what it is worth).
    int zoom() const;
    bool setZoom(int percent);

    // ---- the manual ----
    // The stored "ManualPath": the document the manual button opens (empty when none).
    std::string manualPath() const;
    // What the editor shows once the opening of the manual has an outcome.
    static ManualMessage manualMessage(platform::OpenDocumentResult outcome);

    // Start-up, once per instance: the default bank, program 0, the default preset into
    // it, the default MIDI settings, the recent paths.
    void applyStoredDefaults();

    const platform::SettingsStore& settingsStore() const { return store_; }

private:
    bool storeBlock(const char* name, const std::vector<uint8_t>& block);
    bool loadStoredBlock(const char* name, unsigned acceptedKinds);

    platform::SettingsStore store_;
};

}  // namespace presets
