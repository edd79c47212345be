#include "Editor.h"

#include "../presets/CPresetSystemEffect.h"

Editor::Editor(AudioEffect* effect) : AEffEditor(effect) {
    rect_.top = 0;
    rect_.left = 0;
    rect_.bottom = kHeight;
    rect_.right = kWidth;
    if (effect) {
        effect->setEditor(this);
        if (auto* presetEffect = dynamic_cast<CPresetSystemEffect*>(effect)) presetEffect->setPresetEditor(this);
    }
}

Editor::~Editor() {
    if (auto* presetEffect = dynamic_cast<CPresetSystemEffect*>(effect)) presetEffect->setPresetEditor(nullptr);
}

bool Editor::getRect(ERect** rect) {
    if (!rect) return false;
    *rect = &rect_;
    return true;
}

void Editor::setParameter(VstInt32 index, float value) {
    (void)index;
    (void)value;
}

void Editor::linkOff() { linked_ = false; }

void Editor::linkOn() { linked_ = true; }

void Editor::tempoChanged(double bpm) { tempo_ = bpm; }
