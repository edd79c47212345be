#include "QELControls.h"

#include <cmath>
#include <cstring>

#include "../params/Quantise.h"

using namespace VSTGUI;
using params::centreOf;
using params::positionOf;

// ---------------------------------------------------------------- QELAnimKnob

QELAnimKnob::QELAnimKnob(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
                         CCoord heightOfOneImage, CBitmap* background, const CPoint& offset, const CRect& drawRect)
    : CAnimKnob(size, listener, tag, subPixmaps, heightOfOneImage, background, offset), drawRect(drawRect) {
    setZoomFactor(5.f);
}

void QELAnimKnob::draw(CDrawContext* context) {
    // trunc, not round: 0.5 on a 101-frame strip is frame 50, 1.0 is frame 100.
    int32_t frame = static_cast<int32_t>((subPixmaps - 1) * getValueNormalized());
    if (frame < 0) frame = 0;
    if (frame > subPixmaps - 1) frame = subPixmaps - 1;
    if (background) background->draw(context, drawRect, CPoint(offset.x, offset.y + frame * heightOfOneImage), 1.f);
    valueToPoint(handlePoint);
    setDirty(false);
}

// ---------------------------------------------------------------- QELOnOffButton

QELOnOffButton::QELOnOffButton(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background)
    : COnOffButton(size, listener, tag, background, 0) {}

void QELOnOffButton::draw(CDrawContext* context) {
    CCoord y = 0;
    if (background && positionOf(getValue(), 2) == 1) y = std::trunc(background->getHeight() / 2);
    if (background) background->draw(context, size, CPoint(0, y));
    setDirty(false);
}

CMouseEventResult QELOnOffButton::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!(buttons & (kLButton | kRButton))) return kMouseEventNotHandled;
    beginEdit();
    setValue(centreOf(1 - positionOf(getValue(), 2), 2));
    if ((buttons & kControl) || (buttons & kRButton)) specialClick = true;
    valueChanged();
    specialClick = false;
    endEdit();
    invalid();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

// ---------------------------------------------------------------- QELKickButton

QELKickButton::QELKickButton(const CRect& size, CControlListener* listener, int32_t tag, CCoord heightOfOneImage,
                             CBitmap* background, const CPoint& offset)
    : CKickButton(size, listener, tag, heightOfOneImage, background, offset) {}

CMouseEventResult QELKickButton::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    setValue(1.f);
    step = (buttons & kControl) ? 100.f : (buttons & kShift) ? 10.f : 1.f;
    beginEdit();
    invalid();
    valueChanged();
    endEdit();
    return kMouseEventHandled;
}

CMouseEventResult QELKickButton::onMouseUp(CPoint&, const CButtonState&) {
    setValue(0.f);
    invalid();
    return kMouseEventHandled;
}

// ---------------------------------------------------------------- QELSwitch

QELSwitch::QELSwitch(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
                     CCoord heightOfOneImage, int32_t positions, CBitmap* background, const CPoint& offset)
    : CHorizontalSwitch(size, listener, tag, subPixmaps, heightOfOneImage, positions, background, offset) {}

CMouseEventResult QELSwitch::onMouseDown(CPoint& where, const CButtonState& buttons) {
    return CHorizontalSwitch::onMouseDown(where, buttons);
}

// ---------------------------------------------------------------- QELSwitchVert

QELSwitchVert::QELSwitchVert(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
                             CCoord heightOfOneImage, int32_t positions, CBitmap* background, const CPoint& offset)
    : CVerticalSwitch(size, listener, tag, subPixmaps, heightOfOneImage, positions, background, offset),
      positions(positions) {}

void QELSwitchVert::draw(CDrawContext* context) {
    int32_t frame = positionOf(getValue(), positions);
    if (background) background->draw(context, size, CPoint(0, frame * heightOfOneImage));
    setDirty(false);
}

CMouseEventResult QELSwitchVert::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    beginEdit();
    float p = static_cast<float>(positions);
    setValue(std::floor(static_cast<float>((where.y - size.top) / heightOfOneImage) * p) / p);
    if (isDirty()) valueChanged();
    invalid();
    endEdit();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

// ---------------------------------------------------------------- CInvisibleSlider

CInvisibleSlider::CInvisibleSlider(const CRect& size, CControlListener* listener, int32_t tag)
    : CControl(size, listener, tag, nullptr) {}

CInvisibleSlider::CInvisibleSlider(const CInvisibleSlider& other)
    : CControl(other),
      step(other.step),
      base(other.base),
      rebaseButtons(other.rebaseButtons),
      pressPoint(other.pressPoint) {}

bool CInvisibleSlider::isTypeOf(const char* name) const {
    return std::strcmp(name, "CInvisibleSlider") == 0 || CControl::isTypeOf(name);
}

void CInvisibleSlider::draw(CDrawContext*) { setDirty(false); }

CMouseEventResult CInvisibleSlider::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    beginEdit();
    base = getValue();
    rebaseButtons = buttons;
    pressPoint = where;
    step = (buttons & kShift) ? getRange() / 4000.f : getRange() / 1000.f;
    return onMouseMoved(where, buttons);
}

CMouseEventResult CInvisibleSlider::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    // Up and right raise the value; horizontal travel counts half.
    float u = static_cast<float>(0.5 * (where.x - pressPoint.x) + (pressPoint.y - where.y));
    if (static_cast<int32_t>(buttons) != rebaseButtons) {
        // A modifier changed mid-drag: new step, and a base that keeps the value in place.
        float newStep = (buttons & kShift) ? getRange() / 5000.f : getRange() / 1000.f;
        base += (step - newStep) * u;
        step = newStep;
        rebaseButtons = buttons;
    }
    value = u * step + base;
    bounceValue();
    invalid();
    valueChanged();
    return kMouseEventHandled;
}

CMouseEventResult CInvisibleSlider::onMouseUp(CPoint&, const CButtonState&) {
    endEdit();
    return kMouseEventHandled;
}

bool CInvisibleSlider::onWheel(const CPoint&, const float& distance, const CButtonState& buttons) {
    value = getValue() + distance * ((buttons & kShift) ? 0.0003f : 0.005f);
    bounceValue();
    invalid();
    if (listener) {
        beginEdit();
        valueChanged();
        endEdit();
    }
    return true;
}
