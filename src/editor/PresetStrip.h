// The preset strip along the bottom of the editor window: program menu, name field and
// previous/next rocker; load and save of banks, presets and MIDI settings through file
// dialogs; the stored defaults and the A/B memos; MIDI learn and forget with the display of
// the controller under the mouse; the keyboard-focus option and the manual.
//
// The editor owns one strip for its lifetime; the controls exist only while the window is
// open. What each control does is the table `kActions` (by tag); an action that changes
// what the host saves is reported to the host as one change. Everything here runs on the
// editor's thread except the `note...` calls, which the preset system makes from any
// thread (the audio thread included): they only record, and `idle` brings the controls up
// to date with the effect.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "../gui/core/controls.h"
#include "../gui/core/coptionmenu.h"
#include "../gui/core/ctextedit.h"
#include "../platform/OpenDocument.h"
#include "../presets/ProgramStore.h"
#include "../presets/files/PresetFiles.h"
#include "StripControls.h"

class CPresetSystemEffect;
class MyFrame;
namespace presets {
class PresetCommands;
}

class PresetStrip {
public:
    static constexpr int kFirstTag = 98;
    static constexpr int kLastTag = 118;

    PresetStrip(CPresetSystemEffect& effect, presets::PresetCommands& commands);

    // Builds the strip's controls into `frame` with `listener` (the editor) as their
    // listener, switches learn and forget off and takes the stored keyboard-focus choice.
    void open(MyFrame* frame, VSTGUI::CControlListener* listener);
    // Forgets the controls (the frame owns and destroys them).
    void close();
    static bool isStripTag(int tag) { return tag >= kFirstTag && tag <= kLastTag; }
    // A strip control's value changed (the listener's valueChanged for tags 98..118).
    void valueChanged(VSTGUI::CControl* control);
    // Applies what was recorded since the last idle, then names the controller of the
    // control under the mouse.
    void idle();
    // Tells the host about a controller learned or forgotten since the last call (learning
    // completes on the audio thread, which must not call the host for it). Also while the
    // window is closed.
    void reportLearning();

    // ---- any thread: recorded, applied at the next idle ----
    void noteLearnCleared() { modesChanged_.store(true, std::memory_order_release); }
    void noteForgetCleared() { modesChanged_.store(true, std::memory_order_release); }
    void noteCurrentNameChanged() { currentNameChanged_.store(true, std::memory_order_release); }
    void noteProgramRenamed(int index);
    void noteProgramShown(int index);

    // ---- for tests ----
    VSTGUI::CControl* control(int tag) const;
    VSTGUI::COptionMenu* menu() const { return menu_; }
    VSTGUI::CTextEdit* nameField() const { return name_; }
    VSTGUI::CParamDisplay* controllerDisplay() const { return display_; }

private:
    using Action = void (PresetStrip::*)(float value);
    struct TagAction {
        int tag;
        Action run;
    };
    static const TagAction kActions[];

    // The actions, by tag.
    void renameFromField(float);
    void stepProgram(float direction);
    void chooseFromMenu(float entry);
    void loadBank(float variant) { runDialog({presets::FileKind::Bank, false, variant == 0.5f}); }
    void saveBank(float) { runDialog({presets::FileKind::Bank, true, false}); }
    void loadPreset(float variant) { runDialog({presets::FileKind::Preset, false, variant == 0.5f}); }
    void savePreset(float) { runDialog({presets::FileKind::Preset, true, false}); }
    void loadMidi(float variant) { runDialog({presets::FileKind::Midi, false, variant == 0.5f}); }
    void saveMidi(float) { runDialog({presets::FileKind::Midi, true, false}); }
    void defaultBank(float click);
    void defaultPreset(float click);
    void defaultMidi(float click);
    void storeMemoA(float);
    void storeMemoB(float);
    void recallMemoA(float);
    void recallMemoB(float);
    void learn(float on);
    void forget(float on);
    void keyboardFocus(float on);
    void openManual(float);
    void nothing(float) {}

    void storeOrDeleteDefault(float click, bool (presets::PresetCommands::*store)(),
                              bool (presets::PresetCommands::*remove)());
    void runDialog(const presets::FileOperation& operation);
    // Tells the host when what it saves is no longer `before` (see savedState).
    void reportIfChanged(const std::vector<uint8_t>& before);
    void showManualMessage(platform::OpenDocumentResult outcome);
    // The menu, its titles and the name field follow the effect's programs.
    void showProgram(int index);
    void retitle(int index);
    std::string programName(int index) const;
    void showModes();
    void showControllerUnderMouse();
    // Brings the controls up to date with what the `note...` calls recorded.
    void applyRecorded();

    CPresetSystemEffect& effect_;
    presets::PresetCommands& commands_;

    MyFrame* frame_ = nullptr;
    VSTGUI::CTextEdit* name_ = nullptr;
    VSTGUI::COptionMenu* menu_ = nullptr;
    VSTGUI::CParamDisplay* display_ = nullptr;
    VSTGUI::CControl* learn_ = nullptr;
    VSTGUI::CControl* forget_ = nullptr;
    CPSKickButton* manual_ = nullptr;
    VSTGUI::CControl* controls_[kLastTag - kFirstTag + 1] = {};

    static constexpr int kRenameWords = (presets::kNumPrograms + 63) / 64;
    std::atomic<bool> modesChanged_{false};
    std::atomic<bool> currentNameChanged_{false};
    std::atomic<int> shown_{-1};
    std::atomic<uint64_t> renamed_[kRenameWords] = {};
};
