#include "cview.h"

#include <cstring>

#include "cframe.h"

namespace VSTGUI {

// ---------------------------------------------------------------- CView

CView::CView(const CRect& size) : size(size), mouseableArea(size) {}

CView::CView(const CView& other)
    : CBaseObject(other),
      size(other.size),
      mouseableArea(other.mouseableArea),
      background(other.background),
      mouseEnabled(other.mouseEnabled),
      visible(other.visible),
      transparent(other.transparent),
      wantsFocusFlag(other.wantsFocusFlag) {
    if (background) background->remember();
}

CView::~CView() {
    if (background) background->forget();
}

void CView::draw(CDrawContext* context) {
    if (background) background->draw(context, size);
    setDirty(false);
}

void CView::invalid() {
    setDirty(false);
    if (parentFrame) parentFrame->invalidRect(size);
}

void CView::invalidRect(const CRect& rect) {
    if (parentFrame) parentFrame->invalidRect(rect);
}

CMouseEventResult CView::onMouseDown(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseUp(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseMoved(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseEntered(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseExited(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }

bool CView::onWheel(const CPoint&, const float&, const CButtonState&) { return false; }

bool CView::onWheel(const CPoint& where, const CMouseWheelAxis& axis, const float& distance,
                    const CButtonState& buttons) {
    if (axis == kMouseWheelAxisX) return false;
    return onWheel(where, distance, buttons);
}

int32_t CView::onKeyDown(VstKeyCode&) { return -1; }
int32_t CView::onKeyUp(VstKeyCode&) { return -1; }

bool CView::hitTest(const CPoint& where, const CButtonState&) { return mouseableArea.pointInside(where); }

void CView::setViewSize(const CRect& rect, bool invalidate) {
    if (invalidate) invalid();
    size = rect;
    mouseableArea = rect;
    if (invalidate) invalid();
}

void CView::setVisible(bool state) {
    if (visible == state) return;
    visible = state;
    if (parentFrame) parentFrame->invalidRect(size);
}

void CView::setBackground(CBitmap* bitmap) {
    if (bitmap) bitmap->remember();
    if (background) background->forget();
    background = bitmap;
    setDirty(true);
}

bool CView::attached(CFrame* parent) {
    parentFrame = parent;
    return true;
}

bool CView::removed(CFrame*) {
    parentFrame = nullptr;
    return true;
}

bool CView::isTypeOf(const char* name) const {
    return std::strcmp(name, "CView") == 0 || CBaseObject::isTypeOf(name);
}

// ---------------------------------------------------------------- CControl

CControl::CControl(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* bg)
    : CView(size), listener(listener), tag(tag) {
    setBackground(bg);
}

CControl::CControl(const CControl& other)
    : CView(other),
      listener(other.listener),
      tag(other.tag),
      value(other.value.load()),
      oldValue(other.oldValue),
      vmin(other.vmin),
      vmax(other.vmax),
      defaultValue(other.defaultValue),
      wheelInc(other.wheelInc),
      backOffset(other.backOffset) {}

void CControl::setValue(float val) {
    if (!(val >= vmin)) val = vmin;  // NaN ends up at the minimum
    if (val > vmax) val = vmax;
    value.store(val, std::memory_order_relaxed);
}

float CControl::getValueNormalized() const {
    float range = getRange();
    return range == 0.f ? 0.f : (value - vmin) / range;
}

void CControl::setValueNormalized(float val) {
    if (!(val >= 0.f)) val = 0.f;
    if (val > 1.f) val = 1.f;
    setValue(vmin + val * getRange());
}

void CControl::setTag(int32_t val) {
    if (listener) listener->controlTagWillChange(this);
    tag = val;
    if (listener) listener->controlTagDidChange(this);
}

void CControl::beginEdit() {
    // Brackets nest (a knob's press opens one and its Ctrl reset another): only the
    // outermost pair reaches the listener and the host.
    if (editing++ > 0) return;
    if (listener) listener->controlBeginEdit(this);
    if (parentFrame) parentFrame->beginEdit(tag);
}

void CControl::endEdit() {
    if (editing == 0 || --editing > 0) return;
    if (parentFrame) parentFrame->endEdit(tag);
    if (listener) listener->controlEndEdit(this);
}

void CControl::valueChanged() {
    if (listener) listener->valueChanged(this);
}

bool CControl::checkDefaultValue(CButtonState button) {
    if (button.isLeftButton() && button.getModifierState() == kDefaultValueModifier) {
        float defValue = getDefaultValue();
        if (defValue != getValue()) {
            beginEdit();
            setValue(defValue);
            valueChanged();
            endEdit();
        }
        return true;
    }
    return false;
}

void CControl::bounceValue() {
    float v = value;
    if (v > vmax)
        value = vmax;
    else if (!(v >= vmin))
        value = vmin;
}

bool CControl::isDirty() const { return value.load(std::memory_order_relaxed) != oldValue || CView::isDirty(); }

void CControl::setDirty(bool state) {
    CView::setDirty(state);
    if (!state) oldValue = value.load(std::memory_order_relaxed);
}

bool CControl::isTypeOf(const char* name) const {
    return std::strcmp(name, "CControl") == 0 || CView::isTypeOf(name);
}

}  // namespace VSTGUI
