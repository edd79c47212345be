// The editor's frame. Besides the toolkit's frame it can keep the keyboard focus: while
// the option is on, every click into the editor first gives the keyboard focus to the
// editor's own window, so key strokes reach the editor instead of the host. A new frame
// starts with the option on.
//
// It also tells its owner (the editor) of a right click on the panel's background, where
// no control lies (the zoom menu opens there), and of the desktop asking another scale of
// the window.
#pragma once

#include "../gui/core/cframe.h"

class MyFrame : public VSTGUI::CFrame {
public:
    class Owner {
    public:
        virtual ~Owner() = default;
        virtual void backgroundMenu(const VSTGUI::CPoint& where) = 0;
        virtual void systemScaleChanged(double scale) = 0;
    };

    MyFrame(const VSTGUI::CRect& size, void* systemWindow, VSTGUI::VSTGUIEditorInterface* editor)
        : CFrame(size, systemWindow, editor) {}

    // Switching the option on takes the focus at once (unless `takeNow` is false, as when a
    // window opens with the user's stored choice); switching it off gives nothing back.
    void setKeepFocus(bool on, bool takeNow = true);
    bool getKeepFocus() const { return keepFocus; }
    void setOwner(Owner* o) { owner = o; }

    VSTGUI::CMouseEventResult platformOnMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    void platformOnSystemScaleChanged(double scale) override;

private:
    bool keepFocus = true;
    Owner* owner = nullptr;
};
