// The whole effect as a host makes it, its editor on an offscreen window, and the user's
// settings in a scratch folder of the test's own: what the editor's fixtures share.
#pragma once

#include "Editor.h"
#include "GuiTest.h"
#include "Scratch.h"
#include "../../src/host/QEL.h"

namespace guitest {

class EditorFixture {
protected:
    void makeEffect(audioMasterCallback host) {
        OffscreenFrame::install();
        effect = static_cast<QEL*>(createEffectInstance(host));
        fx = effect->getAeffect();
        editor = static_cast<Editor*>(effect->getEditor());
    }
    // effEditOpen as a host sends it; true when the window opened (then `screen` is it).
    bool openEditor() {
        if (fx->dispatcher(fx, effEditOpen, 0, 0, reinterpret_cast<void*>(0x400001), 0) != 1) return false;
        screen = OffscreenFrame::of(editor->getFrame());
        return true;
    }
    void closeEffect() {
        fx->dispatcher(fx, effClose, 0, 0, nullptr, 0);
        OffscreenFrame::uninstall();
    }
    // 40 ms on the window's clock, then the host's idle.
    void idle() {
        screen->advance(40);
        fx->dispatcher(fx, effEditIdle, 0, 0, nullptr, 0);
    }

    Scratch scratch;
    QEL* effect = nullptr;
    AEffect* fx = nullptr;
    Editor* editor = nullptr;
    OffscreenFrame* screen = nullptr;
};

}  // namespace guitest
