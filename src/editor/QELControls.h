// The editor's own controls: thin refinements of the toolkit's controls.
//   QELAnimKnob      film-strip knob drawn into an inset rectangle, fine drag 5x
//   QELOnOffButton   toggles 0.25/0.75 and reports a Ctrl- or right-click as special
//   QELKickButton    fires on press and tells how far to step (1, 10 with Shift, 100 with Ctrl)
//   QELSwitch        the toolkit's horizontal switch
//   QELSwitchVert    a vertical selector of p positions inside one frame's height
//   CInvisibleSlider a transparent drag area with its own drag law and fine mode
#pragma once

#include "../gui/core/controls.h"

class QELAnimKnob : public VSTGUI::CAnimKnob {
public:
    QELAnimKnob(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, int32_t tag, int32_t subPixmaps,
                VSTGUI::CCoord heightOfOneImage, VSTGUI::CBitmap* background, const VSTGUI::CPoint& offset,
                const VSTGUI::CRect& drawRect);
    ~QELAnimKnob() override = default;
    void draw(VSTGUI::CDrawContext* context) override;
    const VSTGUI::CRect& getDrawRect() const { return drawRect; }

private:
    VSTGUI::CRect drawRect;
};

class QELOnOffButton : public VSTGUI::COnOffButton {
public:
    QELOnOffButton(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, int32_t tag,
                   VSTGUI::CBitmap* background);
    ~QELOnOffButton() override = default;
    void draw(VSTGUI::CDrawContext* context) override;
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    // True only while the listener is notified of a Ctrl-click or a right click.
    bool isSpecialClick() const { return specialClick; }

private:
    bool specialClick = false;
};

class QELKickButton : public VSTGUI::CKickButton {
public:
    QELKickButton(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, int32_t tag,
                  VSTGUI::CCoord heightOfOneImage, VSTGUI::CBitmap* background, const VSTGUI::CPoint& offset);
    ~QELKickButton() override = default;
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseUp(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    float getStep() const { return step; }

private:
    float step = 1.f;
};

class QELSwitch : public VSTGUI::CHorizontalSwitch {
public:
    QELSwitch(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, int32_t tag, int32_t subPixmaps,
              VSTGUI::CCoord heightOfOneImage, int32_t positions, VSTGUI::CBitmap* background,
              const VSTGUI::CPoint& offset);
    ~QELSwitch() override = default;
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
};

class QELSwitchVert : public VSTGUI::CVerticalSwitch {
public:
    QELSwitchVert(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, int32_t tag, int32_t subPixmaps,
                  VSTGUI::CCoord heightOfOneImage, int32_t positions, VSTGUI::CBitmap* background,
                  const VSTGUI::CPoint& offset);
    ~QELSwitchVert() override = default;
    void draw(VSTGUI::CDrawContext* context) override;
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    int32_t getPositions() const { return positions; }

private:
    int32_t positions;
};

class CInvisibleSlider : public VSTGUI::CControl {
public:
    CInvisibleSlider(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, int32_t tag);
    CInvisibleSlider(const CInvisibleSlider& other);
    ~CInvisibleSlider() override = default;

    bool isTypeOf(const char* name) const override;
    VSTGUI::CBaseObject* newCopy() const override { return new CInvisibleSlider(*this); }
    void draw(VSTGUI::CDrawContext* context) override;
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseUp(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseMoved(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    bool onWheel(const VSTGUI::CPoint& where, const float& distance, const VSTGUI::CButtonState& buttons) override;

private:
    float step = 0.f;
    float base = 0.f;
    int32_t rebaseButtons = 0;
    VSTGUI::CPoint pressPoint;
};
