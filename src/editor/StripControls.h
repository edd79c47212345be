// The preset strip's own controls, refinements of the toolkit's. Each shows a hover frame
// while the pointer is over it and notifies its listener exactly once per press, on the
// press; none of them opens an edit bracket, since none of them is a parameter.
//   CPSKickButton    a kick button, optionally taking only double clicks (the defaults);
//                    1.0, or 0.5 for a Ctrl-double-click; frames normal, hover, pressed
//   CSaveLoadButton  left click 1.0, a plain right click 0.5 (the byte-reversed load); the
//                    value falls back to 0 at once; frames normal, hover, value not 0
//   CPSOnOffButton   left click toggles 0/1; frames off, hover while off, on
//   CPSRockerSwitch  previous/next: -1 on the left half, +1 on the right; frames idle,
//                    hover left, hover right, -1, +1 (the value frames win)
#pragma once

#include "../gui/core/controls.h"

// The hover state the strip's controls share: set on enter, cleared on exit, each followed
// by a redraw; and the drawing of one frame of a vertical film strip.
template <typename Control>
class WithHover : public Control {
public:
    using Control::Control;
    VSTGUI::CMouseEventResult onMouseEntered(VSTGUI::CPoint&, const VSTGUI::CButtonState&) override {
        setHover(true);
        return VSTGUI::kMouseEventHandled;
    }
    VSTGUI::CMouseEventResult onMouseExited(VSTGUI::CPoint&, const VSTGUI::CButtonState&) override {
        setHover(false);
        return VSTGUI::kMouseEventHandled;
    }
    bool isHovered() const { return hover; }

protected:
    void setHover(bool on) {
        if (hover == on) return;
        hover = on;
        this->invalid();
    }
    void drawFrame(VSTGUI::CDrawContext* context, int index, VSTGUI::CCoord frameHeight) {
        if (this->background) this->background->draw(context, this->size, VSTGUI::CPoint(0, index * frameHeight));
        this->setDirty(false);
    }
    bool hover = false;
};

class CPSKickButton : public WithHover<VSTGUI::CKickButton> {
public:
    CPSKickButton(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, int32_t tag,
                  VSTGUI::CBitmap* background, bool doubleClickOnly = false);
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseUp(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseMoved(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    void draw(VSTGUI::CDrawContext* context) override;
    // Lets go of a press (the manual button, whose message may take the release).
    void release();
    bool isPressed() const { return pressed; }
    bool isTypeOf(const char* name) const override;

private:
    bool doubleClickOnly;
    bool pressed = false;
};

class CSaveLoadButton : public WithHover<VSTGUI::CKickButton> {
public:
    CSaveLoadButton(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, int32_t tag,
                    VSTGUI::CBitmap* background);
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    void draw(VSTGUI::CDrawContext* context) override;
    bool isTypeOf(const char* name) const override;
};

class CPSOnOffButton : public WithHover<VSTGUI::COnOffButton> {
public:
    CPSOnOffButton(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, int32_t tag,
                   VSTGUI::CBitmap* background);
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    void draw(VSTGUI::CDrawContext* context) override;
    bool isTypeOf(const char* name) const override;
};

class CPSRockerSwitch : public WithHover<VSTGUI::CRockerSwitch> {
public:
    CPSRockerSwitch(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, int32_t tag,
                    VSTGUI::CBitmap* background);
    VSTGUI::CMouseEventResult onMouseEntered(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseExited(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseMoved(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseUp(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    void draw(VSTGUI::CDrawContext* context) override;
    // -1 over the left half, +1 over the right half, 0 with the pointer elsewhere.
    int hoverSide() const { return side; }
    bool isTypeOf(const char* name) const override;

private:
    int sideOf(const VSTGUI::CPoint& where) const { return where.x < size.left + size.width() / 2 ? -1 : 1; }
    void setSide(int newSide);
    int side = 0;
};
