// The editor object of builds without an editor window: the effect's link and tempo state
// and the preset system's commands, with no controls to follow them. The host sees no
// editor (the effect answers the editor opcodes with 0 and shows its parameters through
// the host's own generic view).
#pragma once

#include <atomic>
#include <memory>

#include "EditorObject.h"

class CPresetSystemEffect;

class WindowlessEditor : public EditorObject {
public:
    explicit WindowlessEditor(AudioEffectX* effect);
    ~WindowlessEditor() override;

    void setParameter(VstInt32 index, float value) override;
    void linkOff() override { linked_.store(false, std::memory_order_relaxed); }
    void linkOn() override { linked_.store(true, std::memory_order_relaxed); }
    bool isLinked() const override { return linked_.load(std::memory_order_relaxed); }
    void tempoChanged(double bpm) override { tempo_.store(bpm, std::memory_order_relaxed); }
    double shownTempo() const override { return tempo_.load(std::memory_order_relaxed); }
    presets::PresetCommands* commands() const override { return commands_.get(); }

    // Start-up: the user's stored default bank, preset and MIDI settings, and recent paths.
    void applyStoredDefaults() override;

private:
    CPresetSystemEffect* presetEffect_;
    std::unique_ptr<presets::PresetCommands> commands_;
    std::atomic<bool> linked_{false};
    std::atomic<double> tempo_{120.0};
};
