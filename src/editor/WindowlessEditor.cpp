#include "WindowlessEditor.h"

#include "../presets/CPresetSystemEffect.h"
#include "../presets/settings/PresetCommands.h"

WindowlessEditor::WindowlessEditor(AudioEffectX* effect)
    : presetEffect_(dynamic_cast<CPresetSystemEffect*>(effect)) {
    if (presetEffect_) {
        presetEffect_->setPresetEditor(this);
        commands_ = std::make_unique<presets::PresetCommands>(*presetEffect_);
    }
}

WindowlessEditor::~WindowlessEditor() {
    // The recent paths outlive the instance, as with a window.
    if (commands_) commands_->saveRecentPaths();
    if (presetEffect_) presetEffect_->setPresetEditor(nullptr);
}

void WindowlessEditor::setParameter(VstInt32, float) {
    // No control shows it.
}

void WindowlessEditor::applyStoredDefaults() {
    if (commands_) commands_->applyStoredDefaults();
}

EditorObject* createEditorObject(AudioEffectX* effect) { return new WindowlessEditor(effect); }
