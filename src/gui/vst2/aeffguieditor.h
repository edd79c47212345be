// The VST 2.4 binding of the toolkit: an editor whose frame the host's editor opcodes
// drive. getRect answers at any time (before open too); idle runs the frame's idle; the
// edit brackets of controls reach the effect's beginEdit/endEdit (and so the host).
#pragma once

#include "../../vst/aeffeditor.h"
#include "../core/cframe.h"

class AudioEffect;

namespace VSTGUI {

class AEffGUIEditor : public AEffEditor, public VSTGUIEditorInterface {
public:
    explicit AEffGUIEditor(AudioEffect* effect);
    ~AEffGUIEditor() override;

    bool getRect(ERect** ppRect) override;
    // Records the parent window; fails on null. Derived editors build the frame.
    bool open(void* ptr) override;
    void close() override;
    void idle() override;

    bool onKeyDown(VstKeyCode& keyCode) override;
    bool onKeyUp(VstKeyCode& keyCode) override;
    bool onWheel(float distance) override;
    // The knob mode is one setting for the whole process.
    bool setKnobMode(VstInt32 val) override;
    int32_t getKnobMode() const override { return knobMode; }
    static int32_t getStaticKnobMode() { return knobMode; }

    void beginEdit(int32_t index) override;
    void endEdit(int32_t index) override;

    // Repaints what is dirty without pumping events or firing timers.
    void flushDrawing();
    uint32_t getTicks() const;

protected:
    ERect rect;

private:
    static int32_t knobMode;
};

}  // namespace VSTGUI
