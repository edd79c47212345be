#include "StripControls.h"

#include <cstring>

using namespace VSTGUI;

namespace {
bool typeIs(const char* name, const char* own) { return std::strcmp(name, own) == 0; }
}  // namespace

// ---------------------------------------------------------------- CPSKickButton

CPSKickButton::CPSKickButton(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background,
                             bool doubleClickOnly)
    : WithHover(size, listener, tag, size.height(), background), doubleClickOnly(doubleClickOnly) {}

CMouseEventResult CPSKickButton::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    if (doubleClickOnly && !buttons.isDoubleClick()) return kMouseEventNotHandled;
    pressed = true;
    value = doubleClickOnly && (buttons & kControl) ? 0.5f : 1.f;
    valueChanged();
    invalid();
    return kMouseEventHandled;  // the release comes back to us
}

CMouseEventResult CPSKickButton::onMouseMoved(CPoint&, const CButtonState&) { return kMouseEventHandled; }

CMouseEventResult CPSKickButton::onMouseUp(CPoint&, const CButtonState&) {
    release();
    return kMouseEventHandled;
}

void CPSKickButton::release() {
    value = 0.f;
    pressed = false;
    invalid();
}

void CPSKickButton::draw(CDrawContext* context) { drawFrame(context, pressed ? 2 : hover ? 1 : 0, heightOfOneImage); }

bool CPSKickButton::isTypeOf(const char* name) const { return typeIs(name, "CPSKickButton") || CKickButton::isTypeOf(name); }

// ---------------------------------------------------------------- CSaveLoadButton

CSaveLoadButton::CSaveLoadButton(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background)
    : WithHover(size, listener, tag, size.height(), background) {}

CMouseEventResult CSaveLoadButton::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!(buttons & (kLButton | kRButton))) return kMouseEventNotHandled;
    // The right button alone asks for the byte-reversed variant of a load.
    const bool plainRight = buttons.getButtonState() == kRButton && buttons.getModifierState() == 0;
    value = plainRight ? 0.5f : 1.f;
    valueChanged();
    value = 0.f;
    invalid();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

void CSaveLoadButton::draw(CDrawContext* context) {
    drawFrame(context, value != 0.f ? 2 : hover ? 1 : 0, heightOfOneImage);
}

bool CSaveLoadButton::isTypeOf(const char* name) const {
    return typeIs(name, "CSaveLoadButton") || CKickButton::isTypeOf(name);
}

// ---------------------------------------------------------------- CPSOnOffButton

CPSOnOffButton::CPSOnOffButton(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background)
    : WithHover(size, listener, tag, background) {}

CMouseEventResult CPSOnOffButton::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    value = value != 0.f ? 0.f : 1.f;
    valueChanged();
    invalid();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

void CPSOnOffButton::draw(CDrawContext* context) {
    const CCoord frameHeight = background ? std::trunc(background->getHeight() / 3) : 0;
    drawFrame(context, value != 0.f ? 2 : hover ? 1 : 0, frameHeight);
}

bool CPSOnOffButton::isTypeOf(const char* name) const {
    return typeIs(name, "CPSOnOffButton") || COnOffButton::isTypeOf(name);
}

// ---------------------------------------------------------------- CPSRockerSwitch

CPSRockerSwitch::CPSRockerSwitch(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background)
    : WithHover(size, listener, tag, size.height(), background, CPoint(0, 0), kHorizontal) {}

void CPSRockerSwitch::setSide(int newSide) {
    if (side == newSide) return;
    side = newSide;
    invalid();
}

CMouseEventResult CPSRockerSwitch::onMouseEntered(CPoint& where, const CButtonState&) {
    setSide(sideOf(where));
    return kMouseEventHandled;
}

CMouseEventResult CPSRockerSwitch::onMouseExited(CPoint&, const CButtonState&) {
    setSide(0);
    return kMouseEventHandled;
}

CMouseEventResult CPSRockerSwitch::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    // Moving while pressed changes nothing: the step was taken on the press.
    if (buttons.getButtonState() == 0) setSide(sideOf(where));
    return kMouseEventHandled;
}

CMouseEventResult CPSRockerSwitch::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    value = static_cast<float>(sideOf(where));
    invalid();
    valueChanged();
    return kMouseEventHandled;  // the release comes back to us
}

CMouseEventResult CPSRockerSwitch::onMouseUp(CPoint& where, const CButtonState&) {
    value = 0.f;
    // The pointer may have moved to the other half while the button was held.
    if (size.pointInside(where)) side = sideOf(where);
    invalid();
    return kMouseEventHandled;
}

void CPSRockerSwitch::draw(CDrawContext* context) {
    const int frame = value < 0.f ? 3 : value > 0.f ? 4 : side < 0 ? 1 : side > 0 ? 2 : 0;
    drawFrame(context, frame, heightOfOneImage);
}

bool CPSRockerSwitch::isTypeOf(const char* name) const {
    return typeIs(name, "CPSRockerSwitch") || CRockerSwitch::isTypeOf(name);
}
