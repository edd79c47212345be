// What the preset system asks of the editor object. The editor exists from the effect's
// construction on, whether or not its window is open; every hook must work (and usually
// does nothing visible) while the window is closed.
#pragma once

namespace presets {

class PresetEditorHooks {
public:
    virtual ~PresetEditorHooks() = default;
    virtual void clearLearnButton() {}
    virtual void clearForgetButton() {}
    // The host renamed the current program: name field and menu entry follow.
    virtual void showProgramName(const char* name) { (void)name; }
    // A block reader gave program `index` a new name (menu entry follows when open).
    virtual void programRenamed(int index) { (void)index; }
    // A block reader is about to select program `index` (menu and name field follow).
    virtual void programShown(int index) { (void)index; }
    // Start-up: the user's stored default bank, preset and MIDI settings, recent paths.
    virtual void applyStoredDefaults() {}
};

}  // namespace presets
