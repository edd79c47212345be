// Views and controls. A view is a rectangle of the frame that draws itself and may take
// mouse, wheel and key events; a control adds a value with a range, a default, a tag and
// a listener, and the edit brackets that reach the host.
#pragma once

#include <atomic>

#include "cbitmap.h"
#include "cdrawcontext.h"
#include "vstguibase.h"

namespace VSTGUI {

class CFrame;
class CControl;

// What the frame needs of the editor it belongs to.
class VSTGUIEditorInterface {
public:
    virtual ~VSTGUIEditorInterface() = default;
    virtual void doIdleStuff() {}
    virtual int32_t getKnobMode() const { return kCircularMode; }
    virtual void beginEdit(int32_t index) { (void)index; }
    virtual void endEdit(int32_t index) { (void)index; }
    virtual CFrame* getFrame() const { return frame; }

protected:
    CFrame* frame = nullptr;
};

class CControlListener {
public:
    virtual ~CControlListener() = default;
    virtual void valueChanged(CControl* control) = 0;
    // Asked first for a click with a modifier or the right button; non-zero consumes it.
    virtual int32_t controlModifierClicked(CControl* control, CButtonState button) {
        (void)control;
        (void)button;
        return 0;
    }
    virtual void controlBeginEdit(CControl* control) { (void)control; }
    virtual void controlEndEdit(CControl* control) { (void)control; }
    virtual void controlTagWillChange(CControl* control) { (void)control; }
    virtual void controlTagDidChange(CControl* control) { (void)control; }
};

class CView : public CBaseObject {
public:
    explicit CView(const CRect& size);
    CView(const CView& other);
    ~CView() override;

    // Drawing.
    virtual void draw(CDrawContext* context);
    virtual void drawRect(CDrawContext* context, const CRect& updateRect) {
        (void)updateRect;
        draw(context);
    }
    virtual bool isDirty() const { return dirty; }
    virtual void setDirty(bool state = true) { dirty = state; }
    // Adds the view's rectangle to the frame's region to repaint.
    virtual void invalid();
    void invalidRect(const CRect& rect);

    // Mouse and keys (positions are frame coordinates).
    virtual CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseEntered(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseExited(CPoint& where, const CButtonState& buttons);
    virtual bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons);
    virtual bool onWheel(const CPoint& where, const CMouseWheelAxis& axis, const float& distance,
                         const CButtonState& buttons);
    // 1 handled, -1 not handled.
    virtual int32_t onKeyDown(VstKeyCode& keyCode);
    virtual int32_t onKeyUp(VstKeyCode& keyCode);
    virtual bool hitTest(const CPoint& where, const CButtonState& buttons = CButtonState(-1));

    virtual void takeFocus() {}
    virtual void looseFocus() {}
    virtual bool wantsFocus() const { return wantsFocusFlag; }
    void setWantsFocus(bool state) { wantsFocusFlag = state; }

    // Geometry and attributes.
    const CRect& getViewSize() const { return size; }
    CRect& getViewSize(CRect& rect) const { return rect = size; }
    virtual void setViewSize(const CRect& rect, bool invalidate = true);
    const CRect& getMouseableArea() const { return mouseableArea; }
    void setMouseableArea(const CRect& rect) { mouseableArea = rect; }
    CCoord getWidth() const { return size.width(); }
    CCoord getHeight() const { return size.height(); }

    void setMouseEnabled(bool state) { mouseEnabled = state; }
    bool getMouseEnabled() const { return mouseEnabled; }
    void setVisible(bool state);
    bool isVisible() const { return visible; }
    void setTransparency(bool state) { transparent = state; }
    bool getTransparency() const { return transparent; }

    virtual void setBackground(CBitmap* bitmap);
    CBitmap* getBackground() const { return background; }
    CBitmap* getDrawBackground() const { return background; }

    // Called by the frame when the view is added or removed.
    virtual bool attached(CFrame* parent);
    virtual bool removed(CFrame* parent);
    bool isAttached() const { return parentFrame != nullptr; }
    CFrame* getFrame() const { return parentFrame; }

    bool isTypeOf(const char* name) const override;

protected:
    CRect size;
    CRect mouseableArea;
    CFrame* parentFrame = nullptr;
    CBitmap* background = nullptr;
    bool dirty = false;
    bool mouseEnabled = true;
    bool visible = true;
    bool transparent = false;
    bool wantsFocusFlag = false;
};

class CControl : public CView {
public:
    CControl(const CRect& size, CControlListener* listener = nullptr, int32_t tag = 0, CBitmap* background = nullptr);
    CControl(const CControl& other);

    // Any thread: clamps into [min, max] and stores; the next idle repaints.
    virtual void setValue(float val);
    virtual float getValue() const { return value; }
    virtual void setValueNormalized(float val);
    virtual float getValueNormalized() const;
    virtual void setMin(float val) { vmin = val; }
    virtual float getMin() const { return vmin; }
    virtual void setMax(float val) { vmax = val; }
    virtual float getMax() const { return vmax; }
    virtual float getRange() const { return vmax - vmin; }
    virtual void setDefaultValue(float val) { defaultValue = val; }
    virtual float getDefaultValue() const { return defaultValue; }
    virtual void setWheelInc(float val) { wheelInc = val; }
    virtual float getWheelInc() const { return wheelInc; }
    float getOldValue() const { return oldValue; }
    bool isEditing() const { return editing > 0; }

    virtual void setTag(int32_t val);
    int32_t getTag() const { return tag; }
    virtual void setListener(CControlListener* l) { listener = l; }
    CControlListener* getListener() const { return listener; }
    void setBackOffset(const CPoint& offset) { backOffset = offset; }
    const CPoint& getBackOffset() const { return backOffset; }

    // Edit brackets: listener first, then the editor (and so the host) on begin; the
    // editor first, then the listener on end. Nested brackets collapse into the outermost.
    virtual void beginEdit();
    virtual void endEdit();
    // Notifies the listener.
    virtual void valueChanged();
    // Left click with Ctrl: restores the default value (with an edit bracket) and answers true.
    virtual bool checkDefaultValue(CButtonState button);
    // Clamps the value into [min, max].
    virtual void bounceValue();

    bool isDirty() const override;
    void setDirty(bool state = true) override;

    bool isTypeOf(const char* name) const override;

protected:
    CControlListener* listener;
    int32_t tag;
    std::atomic<float> value{0.f};
    float oldValue = 1.f;  // the value last drawn; differs from value at first
    float vmin = 0.f;
    float vmax = 1.f;
    float defaultValue = 0.5f;
    float wheelInc = 0.1f;
    CPoint backOffset;
    int32_t editing = 0;
};

}  // namespace VSTGUI
