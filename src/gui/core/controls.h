// The stock bitmap controls. Film strips have their frames stacked vertically.
#pragma once

#include <string>

#include "cview.h"

namespace VSTGUI {

// A knob dragged up/right to raise the value. In linear mode (the editor's) a drag of
// `range` pixels covers the whole range: 200 px, times the zoom factor while Shift is held.
class CKnob : public CControl {
public:
    CKnob(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background, CBitmap* handle,
          const CPoint& offset = CPoint(0, 0));

    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) override;
    void draw(CDrawContext* context) override;

    void setZoomFactor(float val) { zoomFactor = val; }
    float getZoomFactor() const { return zoomFactor; }
    // The point of the handle for the current value (the circular drawing's pointer tip).
    void valueToPoint(CPoint& point) const;

    bool isTypeOf(const char* name) const override;

    static constexpr CCoord kRange = 200;

protected:
    CPoint offset;
    CPoint handlePoint;
    float zoomFactor = 1.5f;
    // Drag state.
    CPoint firstPoint;
    CPoint lastPoint;
    float entryValue = 0.f;
    float coef = 0.f;
    CCoord range = kRange;
    int32_t oldButton = 0;
    bool modeLinear = false;
    bool dragging = false;
};

class CAnimKnob : public CKnob {
public:
    CAnimKnob(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
              CCoord heightOfOneImage, CBitmap* background, const CPoint& offset = CPoint(0, 0));
    int32_t getNumSubPixmaps() const { return subPixmaps; }
    CCoord getHeightOfOneImage() const { return heightOfOneImage; }
    // frame = trunc(normalised value * (n - 1))
    int32_t frameForValue() const;
    void draw(CDrawContext* context) override;
    bool isTypeOf(const char* name) const override;

protected:
    int32_t subPixmaps;
    CCoord heightOfOneImage;
};

// Two frames (upper half off, lower half on); a left press toggles between min and max.
class COnOffButton : public CControl {
public:
    COnOffButton(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background, int32_t style = 0);
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    void draw(CDrawContext* context) override;
    bool isTypeOf(const char* name) const override;

protected:
    int32_t style;
};

// Pressed (max) while the button is held with the pointer inside; notifies on release.
class CKickButton : public CControl {
public:
    CKickButton(const CRect& size, CControlListener* listener, int32_t tag, CCoord heightOfOneImage,
                CBitmap* background, const CPoint& offset = CPoint(0, 0));
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    void draw(CDrawContext* context) override;
    CCoord getHeightOfOneImage() const { return heightOfOneImage; }
    bool isTypeOf(const char* name) const override;

protected:
    CCoord heightOfOneImage;
    CPoint offset;
    float entryValue = 0.f;
};

// n positions along one axis of the control; frame = round(normalised value * (n - 1)),
// frames stacked vertically in the bitmap. The horizontal and vertical switches differ
// only in the axis a press is measured along and the length the positions share.
class CSwitchBase : public CControl {
public:
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    void draw(CDrawContext* context) override;
    int32_t getNumSubPixmaps() const { return subPixmaps; }
    CCoord getHeightOfOneImage() const { return heightOfOneImage; }

protected:
    CSwitchBase(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
                CCoord heightOfOneImage, int32_t maxPositions, CBitmap* background, const CPoint& offset);
    // The length the positions share, and how far along it a point lies.
    virtual CCoord axisLength() const = 0;
    virtual CCoord distanceAlong(const CPoint& where) const = 0;

    int32_t subPixmaps;
    CCoord heightOfOneImage;
    int32_t maxPositions;
    CPoint offset;
    double coef = 0;
};

// n positions across the bitmap's width.
class CHorizontalSwitch : public CSwitchBase {
public:
    CHorizontalSwitch(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
                      CCoord heightOfOneImage, int32_t maxPositions, CBitmap* background,
                      const CPoint& offset = CPoint(0, 0));
    bool isTypeOf(const char* name) const override;

protected:
    CCoord axisLength() const override;
    CCoord distanceAlong(const CPoint& where) const override { return where.x - size.left; }
};

// The same, with the positions stacked down one frame's height.
class CVerticalSwitch : public CSwitchBase {
public:
    CVerticalSwitch(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
                    CCoord heightOfOneImage, int32_t maxPositions, CBitmap* background,
                    const CPoint& offset = CPoint(0, 0));
    bool isTypeOf(const char* name) const override;

protected:
    CCoord axisLength() const override { return heightOfOneImage; }
    CCoord distanceAlong(const CPoint& where) const override { return where.y - size.top; }
};

// -1 while the left half is pressed, +1 for the right half, back to 0 on release.
class CRockerSwitch : public CControl {
public:
    enum { kHorizontal = 1 << 0, kVertical = 1 << 1 };
    CRockerSwitch(const CRect& size, CControlListener* listener, int32_t tag, CCoord heightOfOneImage,
                  CBitmap* background, const CPoint& offset = CPoint(0, 0), int32_t style = kHorizontal);
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    void draw(CDrawContext* context) override;
    bool isTypeOf(const char* name) const override;

protected:
    CCoord heightOfOneImage;
    CPoint offset;
    int32_t style;
    float entryValue = 0.f;
};

// Display only: frame = int(normalised value * (n - 1) + 0.5).
class CMovieBitmap : public CControl {
public:
    CMovieBitmap(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
                 CCoord heightOfOneImage, CBitmap* background, const CPoint& offset = CPoint(0, 0));
    int32_t frameForValue() const;
    void draw(CDrawContext* context) override;
    int32_t getNumSubPixmaps() const { return subPixmaps; }
    bool isTypeOf(const char* name) const override;

protected:
    int32_t subPixmaps;
    CCoord heightOfOneImage;
    CPoint offset;
};

// A click area that shows a view over the frame as its modal view. Draws nothing; only the
// left button hits it.
class CSplashScreen : public CControl {
public:
    CSplashScreen(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background,
                  const CRect& toDisplay, const CPoint& offset = CPoint(0, 0));
    ~CSplashScreen() override;
    void draw(CDrawContext* context) override;
    bool hitTest(const CPoint& where, const CButtonState& buttons = CButtonState(-1)) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    // Sets the minimum and takes the splash view off the frame if it is ours.
    virtual void unSplash();
    const CRect& getDisplayRect() const { return toDisplay; }
    bool isTypeOf(const char* name) const override;

protected:
    CRect toDisplay;
    CPoint offset;
    CView* modalView = nullptr;
};

enum CParamDisplayStyle : int32_t {
    kShadowText = 1 << 2,
    k3DIn = 1 << 3,
    k3DOut = 1 << 4,
    kNoFrame = 1 << 5,
    kPopupStyle = 1 << 9,
    kCheckStyle = 1 << 10,
    kNoTextStyle = 1 << 11,
    kNoDrawStyle = 1 << 12,
    kDoubleClickStyle = 1 << 13,
};

using CParamDisplayValueToStringProc = bool (*)(float value, char utf8String[256], void* userData);

// Shows its value as text: the background bitmap (at the back offset) or a filled box
// outlined in the frame colour, then the text centred (by default) in the font colour.
class CParamDisplay : public CControl {
public:
    explicit CParamDisplay(const CRect& size, CBitmap* background = nullptr, int32_t style = 0);
    void draw(CDrawContext* context) override;

    void setFont(CFontRef font);
    CFontRef getFont() const { return font; }
    void setFontColor(const CColor& c) { fontColor = c; setDirty(); }
    void setBackColor(const CColor& c) { backColor = c; setDirty(); }
    void setFrameColor(const CColor& c) { frameColor = c; setDirty(); }
    void setHoriAlign(CHoriTxtAlign a) { horiAlign = a; setDirty(); }
    void setStyle(int32_t s) { style = s; setDirty(); }
    int32_t getStyle() const { return style; }
    void setValueToStringProc(CParamDisplayValueToStringProc proc, void* userData = nullptr);
    // The text the display shows for its current value.
    std::string getDisplayText() const;
    bool isTypeOf(const char* name) const override;

protected:
    void drawBack(CDrawContext* context);
    void drawText(CDrawContext* context, const char* text);

    CFontRef font;
    CColor fontColor = kWhiteCColor;
    CColor backColor = kBlackCColor;
    CColor frameColor = kBlackCColor;
    CHoriTxtAlign horiAlign = kCenterText;
    int32_t style;
    CParamDisplayValueToStringProc valueToString = nullptr;
    void* valueToStringUserData = nullptr;
    bool antialias = true;
};

}  // namespace VSTGUI
