// The plug-in's editor object. It exists from the effect's construction on, whether or
// not a window is open: the effect tells it about parameter changes, tempo changes and
// the left/right link, and the preset system reaches it through its hooks.
#pragma once

#include <atomic>

#include "../presets/PresetEditorHooks.h"
#include "../vst/aeffeditor.h"

class QEL;

class Editor : public AEffEditor, public presets::PresetEditorHooks {
public:
    static constexpr int kWidth = 942;
    static constexpr int kHeight = 171;

    explicit Editor(AudioEffect* effect);
    ~Editor() override;

    bool getRect(ERect** rect) override;

    // Called from any thread; controls follow at the next idle.
    virtual void setParameter(VstInt32 index, float value);
    // The left/right link of the channel controls.
    virtual void linkOff();
    virtual void linkOn();
    bool isLinked() const { return linked_.load(std::memory_order_relaxed); }
    // The tempo in force, for the tempo control.
    virtual void tempoChanged(double bpm);
    double shownTempo() const { return tempo_.load(std::memory_order_relaxed); }

private:
    ERect rect_{};
    std::atomic<bool> linked_{false};
    std::atomic<double> tempo_{120.0};
};
