#include "aeffguieditor.h"

#include "../../vst/audioeffectx.h"

namespace VSTGUI {

int32_t AEffGUIEditor::knobMode = kCircularMode;

AEffGUIEditor::AEffGUIEditor(AudioEffect* effect) : AEffEditor(effect) {
    rect.top = rect.left = rect.bottom = rect.right = 0;
    if (effect) effect->setEditor(this);
}

AEffGUIEditor::~AEffGUIEditor() {
    if (frame) {
        CFrame* f = frame;
        frame = nullptr;
        f->close();
    }
}

bool AEffGUIEditor::getRect(ERect** ppRect) {
    if (!ppRect) return false;
    *ppRect = &rect;
    return true;
}

bool AEffGUIEditor::open(void* ptr) {
    if (!ptr) return false;
    return AEffEditor::open(ptr);
}

void AEffGUIEditor::close() { AEffEditor::close(); }

void AEffGUIEditor::idle() {
    AEffEditor::idle();
    if (frame) frame->idle();
}

bool AEffGUIEditor::onKeyDown(VstKeyCode& keyCode) { return frame && frame->onKeyDown(keyCode) == 1; }

bool AEffGUIEditor::onKeyUp(VstKeyCode& keyCode) { return frame && frame->onKeyUp(keyCode) == 1; }

bool AEffGUIEditor::onWheel(float distance) {
    if (!frame) return false;
    CPoint where;
    frame->getCurrentMouseLocation(where);
    return frame->platformOnMouseWheel(where, kMouseWheelAxisY, distance, CButtonState());
}

bool AEffGUIEditor::setKnobMode(VstInt32 val) {
    knobMode = val;
    return true;
}

void AEffGUIEditor::beginEdit(int32_t index) {
    if (auto* fx = dynamic_cast<AudioEffectX*>(effect)) fx->beginEdit(index);
}

void AEffGUIEditor::endEdit(int32_t index) {
    if (auto* fx = dynamic_cast<AudioEffectX*>(effect)) fx->endEdit(index);
}

void AEffGUIEditor::flushDrawing() {
    if (frame) frame->redrawDirty();
}

uint32_t AEffGUIEditor::getTicks() const { return frame ? frame->getTicks() : monotonicTicks(); }

}  // namespace VSTGUI
