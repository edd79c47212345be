// The editor object as the effect sees it. It exists from the effect's construction on,
// whether or not a window can be opened: the effect tells it about parameter changes, tempo
// changes and the left/right link, and the preset system reaches it through its hooks and
// its commands (files, stored defaults, memos, recent paths).
//
// createEditorObject makes the Editor, whose window opens when the host asks for it.
#pragma once

#include "../presets/PresetEditorHooks.h"
#include "../vst/aeffectx.h"

class AudioEffectX;
namespace presets {
class PresetCommands;
}

class EditorObject : public presets::PresetEditorHooks {
public:
    ~EditorObject() override = default;

    // Any thread.
    virtual void setParameter(VstInt32 index, float value) = 0;
    // The left/right link of the channel controls.
    virtual void linkOff() = 0;
    virtual void linkOn() = 0;
    virtual bool isLinked() const = 0;
    // The tempo in force, for the tempo control.
    virtual void tempoChanged(double bpm) = 0;
    virtual double shownTempo() const = 0;
    // Files, stored defaults, memos, keyboard focus and manual (null without a preset effect).
    virtual presets::PresetCommands* commands() const = 0;
    // Any thread: the scale the host shows its windows at (1 = 100 %). False when there is
    // no window to scale or the scale is no use.
    virtual bool hostScaleAnnounced(float scale) {
        (void)scale;
        return false;
    }
};

// The editor object for `effect`: it attaches itself to the effect as the host's editor
// (effFlagsHasEditor). The caller owns it.
EditorObject* createEditorObject(AudioEffectX* effect);
