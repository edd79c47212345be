#include "controls.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "cframe.h"

namespace VSTGUI {

namespace {
bool typeIs(const char* name, const char* own) { return std::strcmp(name, own) == 0; }
}  // namespace

// ---------------------------------------------------------------- CKnob

CKnob::CKnob(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background, CBitmap* handle,
             const CPoint& offset)
    : CControl(size, listener, tag, background), offset(offset) {
    (void)handle;  // the handle is drawn as a line
}

void CKnob::valueToPoint(CPoint& point) const {
    // Pointer from -135 degrees (minimum) to +135 degrees (maximum), 0 pointing up.
    const double pi = 3.14159265358979323846;
    double angle = (-135.0 + 270.0 * getValueNormalized()) * pi / 180.0;
    double radius = std::fmin(size.width(), size.height()) / 2 - 3;
    point.x = size.width() / 2 + std::sin(angle) * radius;
    point.y = size.height() / 2 - std::cos(angle) * radius;
}

void CKnob::draw(CDrawContext* context) {
    if (background) background->draw(context, size, offset);
    valueToPoint(handlePoint);
    context->setFrameColor(kWhiteCColor);
    context->setLineWidth(1);
    CPoint center(size.left + size.width() / 2, size.top + size.height() / 2);
    context->drawLine(center, CPoint(size.left + handlePoint.x, size.top + handlePoint.y));
    setDirty(false);
}

CMouseEventResult CKnob::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    beginEdit();
    if (checkDefaultValue(buttons)) {
        endEdit();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    dragging = true;
    firstPoint = where;
    lastPoint = where;
    entryValue = value;
    oldButton = buttons;
    range = kRange;
    int32_t mode = kCircularMode;
    int32_t frameMode = parentFrame ? parentFrame->getKnobMode() : kCircularMode;
    if (frameMode == kLinearMode) {
        if (!(buttons & kAlt)) mode = kLinearMode;
    } else if (buttons & kAlt) {
        mode = kLinearMode;
    }
    modeLinear = mode == kLinearMode;
    if (modeLinear && (buttons & kZoomModifier)) range *= zoomFactor;
    coef = static_cast<float>((vmax - vmin) / range);
    return kMouseEventHandled;
}

CMouseEventResult CKnob::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton() || !dragging) return kMouseEventNotHandled;
    if (where == lastPoint) return kMouseEventHandled;
    lastPoint = where;
    float before = value;
    if (modeLinear) {
        CCoord diff = (firstPoint.y - where.y) + (where.x - firstPoint.x);
        if (static_cast<int32_t>(buttons) != oldButton) {
            // A modifier changed during the drag: re-base so that the value does not jump.
            range = kRange;
            if (buttons & kZoomModifier) range *= zoomFactor;
            float coef2 = static_cast<float>((vmax - vmin) / range);
            entryValue += static_cast<float>(diff * (coef - coef2));
            coef = coef2;
            oldButton = buttons;
        }
        value = static_cast<float>(entryValue + diff * coef);
    } else {
        // Circular: the angle of the pointer around the knob's centre.
        const double pi = 3.14159265358979323846;
        CPoint c = size.getCenter();
        double angle = std::atan2(where.x - c.x, c.y - where.y) * 180.0 / pi;  // 0 up, clockwise
        if (angle < -135) angle = -135;
        if (angle > 135) angle = 135;
        value = static_cast<float>(vmin + (angle + 135.0) / 270.0 * (vmax - vmin));
    }
    bounceValue();
    if (value != before) valueChanged();
    if (isDirty()) invalid();
    return kMouseEventHandled;
}

CMouseEventResult CKnob::onMouseUp(CPoint&, const CButtonState&) {
    if (!dragging) return kMouseEventNotHandled;
    dragging = false;
    endEdit();
    return kMouseEventHandled;
}

bool CKnob::onWheel(const CPoint&, const float& distance, const CButtonState& buttons) {
    float before = value;
    float v = getValueNormalized();
    if (buttons & kZoomModifier)
        v += 0.1f * distance * getWheelInc();
    else
        v += distance * getWheelInc();
    setValueNormalized(v);
    if (value != before) {
        invalid();
        beginEdit();
        valueChanged();
        endEdit();
    }
    return true;
}

bool CKnob::isTypeOf(const char* name) const { return typeIs(name, "CKnob") || CControl::isTypeOf(name); }

// ---------------------------------------------------------------- CAnimKnob

CAnimKnob::CAnimKnob(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
                     CCoord heightOfOneImage, CBitmap* background, const CPoint& offset)
    : CKnob(size, listener, tag, background, nullptr, offset),
      subPixmaps(subPixmaps),
      heightOfOneImage(heightOfOneImage) {}

int32_t CAnimKnob::frameForValue() const {
    if (subPixmaps < 2) return 0;
    int32_t f = static_cast<int32_t>(getValueNormalized() * (subPixmaps - 1));
    return f < 0 ? 0 : (f >= subPixmaps ? subPixmaps - 1 : f);
}

void CAnimKnob::draw(CDrawContext* context) {
    if (background) background->draw(context, size, CPoint(offset.x, offset.y + frameForValue() * heightOfOneImage));
    valueToPoint(handlePoint);
    setDirty(false);
}

bool CAnimKnob::isTypeOf(const char* name) const { return typeIs(name, "CAnimKnob") || CKnob::isTypeOf(name); }

// ---------------------------------------------------------------- COnOffButton

COnOffButton::COnOffButton(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background,
                           int32_t style)
    : CControl(size, listener, tag, background), style(style) {}

void COnOffButton::draw(CDrawContext* context) {
    CCoord off = (value == vmax && background) ? std::floor(background->getHeight() / 2) : 0;
    if (background) background->draw(context, size, CPoint(0, off));
    setDirty(false);
}

CMouseEventResult COnOffButton::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    value = (value == vmax) ? vmin : vmax;
    invalid();
    beginEdit();
    valueChanged();
    endEdit();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

bool COnOffButton::isTypeOf(const char* name) const {
    return typeIs(name, "COnOffButton") || CControl::isTypeOf(name);
}

// ---------------------------------------------------------------- CKickButton

CKickButton::CKickButton(const CRect& size, CControlListener* listener, int32_t tag, CCoord heightOfOneImage,
                         CBitmap* background, const CPoint& offset)
    : CControl(size, listener, tag, background), heightOfOneImage(heightOfOneImage), offset(offset) {}

void CKickButton::draw(CDrawContext* context) {
    CPoint where = offset;
    if (value == vmax) where.y += heightOfOneImage;
    if (background) background->draw(context, size, where);
    setDirty(false);
}

CMouseEventResult CKickButton::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    entryValue = value;
    beginEdit();
    return onMouseMoved(where, buttons);
}

CMouseEventResult CKickButton::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (buttons.isLeftButton()) {
        value = size.pointInside(where) ? vmax : vmin;
        if (isDirty()) invalid();
    }
    return kMouseEventHandled;
}

CMouseEventResult CKickButton::onMouseUp(CPoint&, const CButtonState&) {
    if (value > vmin) valueChanged();
    value = vmin;
    valueChanged();
    if (isDirty()) invalid();
    endEdit();
    return kMouseEventHandled;
}

bool CKickButton::isTypeOf(const char* name) const { return typeIs(name, "CKickButton") || CControl::isTypeOf(name); }

// ---------------------------------------------------------------- CHorizontalSwitch

CSwitchBase::CSwitchBase(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
                         CCoord heightOfOneImage, int32_t maxPositions, CBitmap* background, const CPoint& offset)
    : CControl(size, listener, tag, background),
      subPixmaps(subPixmaps),
      heightOfOneImage(heightOfOneImage),
      maxPositions(maxPositions),
      offset(offset) {
    setDefaultValue(0.f);
}

void CSwitchBase::draw(CDrawContext* context) {
    if (background) {
        int32_t frame = subPixmaps > 1 ? static_cast<int32_t>(getValueNormalized() * (subPixmaps - 1) + 0.5f) : 0;
        background->draw(context, size, CPoint(offset.x, offset.y + frame * heightOfOneImage));
    }
    setDirty(false);
}

CMouseEventResult CSwitchBase::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    coef = maxPositions > 0 ? axisLength() / maxPositions : 1.0;
    beginEdit();
    if (checkDefaultValue(buttons)) {
        endEdit();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    return onMouseMoved(where, buttons);
}

CMouseEventResult CSwitchBase::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (buttons.isLeftButton()) {
        float before = value;
        int32_t position = static_cast<int32_t>(distanceAlong(where) / coef);
        float norm = subPixmaps > 1 ? position / static_cast<float>(subPixmaps - 1) : 0.f;
        value = vmin + norm * (vmax - vmin);
        bounceValue();
        if (value != before) {
            valueChanged();
            invalid();
        }
    }
    return kMouseEventHandled;
}

CMouseEventResult CSwitchBase::onMouseUp(CPoint&, const CButtonState&) {
    endEdit();
    return kMouseEventHandled;
}

CHorizontalSwitch::CHorizontalSwitch(const CRect& size, CControlListener* listener, int32_t tag,
                                     int32_t subPixmaps, CCoord heightOfOneImage, int32_t maxPositions,
                                     CBitmap* background, const CPoint& offset)
    : CSwitchBase(size, listener, tag, subPixmaps, heightOfOneImage, maxPositions, background, offset) {}

// The bitmap's width is shared by the positions (a control without a bitmap: 1 pixel each).
CCoord CHorizontalSwitch::axisLength() const { return background ? background->getWidth() : maxPositions; }

bool CHorizontalSwitch::isTypeOf(const char* name) const {
    return typeIs(name, "CHorizontalSwitch") || CControl::isTypeOf(name);
}

// ---------------------------------------------------------------- CVerticalSwitch

CVerticalSwitch::CVerticalSwitch(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
                                 CCoord heightOfOneImage, int32_t maxPositions, CBitmap* background,
                                 const CPoint& offset)
    : CSwitchBase(size, listener, tag, subPixmaps, heightOfOneImage, maxPositions, background, offset) {}

bool CVerticalSwitch::isTypeOf(const char* name) const {
    return typeIs(name, "CVerticalSwitch") || CControl::isTypeOf(name);
}

// ---------------------------------------------------------------- CRockerSwitch

CRockerSwitch::CRockerSwitch(const CRect& size, CControlListener* listener, int32_t tag, CCoord heightOfOneImage,
                             CBitmap* background, const CPoint& offset, int32_t style)
    : CControl(size, listener, tag, background), heightOfOneImage(heightOfOneImage), offset(offset), style(style) {
    setMin(-1.f);
    setMax(1.f);
    setValue(0.f);
}

void CRockerSwitch::draw(CDrawContext* context) {
    CPoint where = offset;
    if (value == vmax)
        where.y += 2 * heightOfOneImage;
    else if (value == (vmax + vmin) / 2.f)
        where.y += heightOfOneImage;
    if (background) background->draw(context, size, where);
    setDirty(false);
}

CMouseEventResult CRockerSwitch::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    entryValue = value;
    beginEdit();
    return onMouseMoved(where, buttons);
}

CMouseEventResult CRockerSwitch::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    float before = value;
    bool inside = size.pointInside(where);
    if (!inside)
        value = entryValue;
    else if (style & kVertical)
        value = where.y < size.top + size.height() / 2 ? vmax : vmin;
    else
        value = where.x < size.left + size.width() / 2 ? vmin : vmax;
    if (value != before) {
        valueChanged();
        invalid();
    }
    return kMouseEventHandled;
}

CMouseEventResult CRockerSwitch::onMouseUp(CPoint&, const CButtonState&) {
    float before = value;
    value = 0.f;
    if (value != before) valueChanged();
    if (isDirty()) invalid();
    endEdit();
    return kMouseEventHandled;
}

bool CRockerSwitch::isTypeOf(const char* name) const {
    return typeIs(name, "CRockerSwitch") || CControl::isTypeOf(name);
}

// ---------------------------------------------------------------- CMovieBitmap

CMovieBitmap::CMovieBitmap(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
                           CCoord heightOfOneImage, CBitmap* background, const CPoint& offset)
    : CControl(size, listener, tag, background),
      subPixmaps(subPixmaps),
      heightOfOneImage(heightOfOneImage),
      offset(offset) {}

int32_t CMovieBitmap::frameForValue() const {
    if (subPixmaps < 2) return 0;
    int32_t f = static_cast<int32_t>(getValueNormalized() * (subPixmaps - 1) + 0.5f);
    return f < 0 ? 0 : (f >= subPixmaps ? subPixmaps - 1 : f);
}

void CMovieBitmap::draw(CDrawContext* context) {
    if (background) background->draw(context, size, CPoint(offset.x, offset.y + frameForValue() * heightOfOneImage));
    setDirty(false);
}

bool CMovieBitmap::isTypeOf(const char* name) const {
    return typeIs(name, "CMovieBitmap") || CControl::isTypeOf(name);
}

// ---------------------------------------------------------------- CSplashScreen

namespace {
// The stock splash view: the bitmap over the display rectangle; a left click closes it.
class CDefaultSplashScreenView : public CView {
public:
    CDefaultSplashScreenView(const CRect& size, CBitmap* bitmap, const CPoint& offset, CSplashScreen* owner)
        : CView(size), offset(offset), owner(owner) {
        setBackground(bitmap);
    }
    void draw(CDrawContext* context) override {
        if (background) background->draw(context, size, offset);
        setDirty(false);
    }
    CMouseEventResult onMouseDown(CPoint&, const CButtonState& buttons) override {
        if (!buttons.isLeftButton()) return kMouseEventNotHandled;
        owner->unSplash();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }

private:
    CPoint offset;
    CSplashScreen* owner;
};
}  // namespace

CSplashScreen::CSplashScreen(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* bg,
                             const CRect& toDisplay, const CPoint& offset)
    : CControl(size, listener, tag, bg), toDisplay(toDisplay), offset(offset) {
    modalView = new CDefaultSplashScreenView(toDisplay, bg, offset, this);
}

CSplashScreen::~CSplashScreen() {
    if (modalView) modalView->forget();
}

void CSplashScreen::draw(CDrawContext*) { setDirty(false); }

bool CSplashScreen::hitTest(const CPoint& where, const CButtonState& buttons) {
    return CView::hitTest(where, buttons) && (buttons & kLButton);
}

CMouseEventResult CSplashScreen::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    value = (value == vmax) ? vmin : vmax;
    if (value == vmax && modalView && parentFrame) {
        modalView->remember();  // the frame holds this reference while it shows the view
        if (parentFrame->setModalView(modalView))
            valueChanged();
        else
            modalView->forget();
    }
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

void CSplashScreen::unSplash() {
    setDirty();
    value = vmin;
    if (parentFrame && modalView && parentFrame->getModalView() == modalView) {
        parentFrame->setModalView(nullptr);
        modalView->forget();
    }
}

bool CSplashScreen::isTypeOf(const char* name) const {
    return typeIs(name, "CSplashScreen") || CControl::isTypeOf(name);
}

// ---------------------------------------------------------------- CParamDisplay

CParamDisplay::CParamDisplay(const CRect& size, CBitmap* bg, int32_t style)
    : CControl(size, nullptr, 0, bg), font(kSystemFont), style(style) {
    backOffset = CPoint(0, 0);
}

void CParamDisplay::setFont(CFontRef f) {
    if (f) font = f;
    setDirty();
}

void CParamDisplay::setValueToStringProc(CParamDisplayValueToStringProc proc, void* userData) {
    valueToString = proc;
    valueToStringUserData = userData;
    setDirty();
}

std::string CParamDisplay::getDisplayText() const {
    char text[256] = {0};
    if (valueToString) {
        if (!valueToString(value, text, valueToStringUserData)) text[0] = 0;
        text[255] = 0;
    } else {
        std::snprintf(text, sizeof text, "%2.2f", static_cast<double>(value));
    }
    return text;
}

void CParamDisplay::drawBack(CDrawContext* context) {
    if (background) {
        background->draw(context, size, backOffset);
    } else {
        context->setFillColor(backColor);
        context->fillRect(size);
        if (!(style & kNoFrame)) {
            context->setFrameColor(frameColor);
            context->frameRect(size);
        }
    }
}

void CParamDisplay::drawText(CDrawContext* context, const char* text) {
    if (style & kNoTextStyle) return;
    context->setFont(font);
    context->setFontColor(fontColor);
    CRect textRect = size;
    if (horiAlign != kCenterText) textRect.inset(2, 0);
    context->drawString(text, textRect, horiAlign, antialias);
}

void CParamDisplay::draw(CDrawContext* context) {
    if (!(style & kNoDrawStyle)) {
        drawBack(context);
        drawText(context, getDisplayText().c_str());
    }
    setDirty(false);
}

bool CParamDisplay::isTypeOf(const char* name) const {
    return typeIs(name, "CParamDisplay") || CControl::isTypeOf(name);
}

}  // namespace VSTGUI
