// Drawing into the frame's back buffer through the renderer's surface (graphics.h). The
// context keeps the colours, the font and the clip stack, snaps rectangles to whole pixels
// by truncation for fills, outlines and bitmap copies (so that half-pixel rectangles stay
// crisp) and places text, so that every renderer receives the same pixels to fill.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "graphics.h"
#include "vstguibase.h"

namespace VSTGUI {

class CBitmap;

// A font by family name and size in pixels; the renderer resolves the name when drawing.
class CFontDesc : public CBaseObject {
public:
    CFontDesc(const char* name = "Arial", CCoord size = 12, int32_t style = kNormalFace)
        : name(name ? name : "Arial"), size(size), style(style) {}
    const std::string& getName() const { return name; }
    CCoord getSize() const { return size; }
    int32_t getStyle() const { return style; }
    void setName(const char* n) { name = n ? n : ""; }
    void setSize(CCoord s) { size = s; }
    void setStyle(int32_t s) { style = s; }

private:
    std::string name;
    CCoord size;
    int32_t style;
};
using CFontRef = CFontDesc*;

// Stock fonts: Arial 18/14/12/11/10/9 pixels and the system font (Arial 12).
extern const CFontRef kSystemFont;
extern const CFontRef kNormalFontVeryBig;
extern const CFontRef kNormalFontBig;
extern const CFontRef kNormalFont;
extern const CFontRef kNormalFontSmall;
extern const CFontRef kNormalFontSmaller;
extern const CFontRef kNormalFontVerySmall;

enum CDrawStyle : int32_t { kDrawStroked = 0, kDrawFilled, kDrawFilledAndStroked };

class CDrawContext {
public:
    // Draws into `target` (which must outlive the context); all is there once the context
    // is destroyed.
    explicit CDrawContext(IPlatformBackBuffer& target);
    // Measures text only: what is drawn goes nowhere.
    CDrawContext();
    ~CDrawContext();
    CDrawContext(const CDrawContext&) = delete;
    CDrawContext& operator=(const CDrawContext&) = delete;

    void drawBitmap(CBitmap* bitmap, const CRect& dest, const CPoint& offset = CPoint(0, 0), float alpha = 1.f);

    void setFillColor(const CColor& c) { fillColor = c; }
    void setFrameColor(const CColor& c) { frameColor = c; }
    void setLineWidth(CCoord w) { lineWidth = w; }
    const CColor& getFillColor() const { return fillColor; }
    const CColor& getFrameColor() const { return frameColor; }

    void drawRect(const CRect& rect, CDrawStyle style = kDrawStroked);
    void fillRect(const CRect& rect) { drawRect(rect, kDrawFilled); }
    void frameRect(const CRect& rect) { drawRect(rect, kDrawStroked); }
    void drawLine(const CPoint& from, const CPoint& to);

    void setClipRect(const CRect& clip);
    const CRect& getClipRect() const { return clipRect; }
    void pushClip(const CRect& clip);
    void popClip();

    void setFont(const CFontDesc* font, CCoord size = 0, int32_t style = -1);
    void setFontColor(const CColor& c) { fontColor = c; }
    const CColor& getFontColor() const { return fontColor; }
    // Baseline at the rectangle's vertical middle plus half the cap height, both rounded to
    // whole pixels of the target (at 150 % to steps of 2/3 of a logical pixel); clipped to
    // `rect`. Text is shown as UTF-8, bytes that are not valid UTF-8 as Latin-1 (see utf8.h).
    void drawString(const char* text, const CRect& rect, CHoriTxtAlign align = kCenterText, bool antialias = true);
    CCoord getStringWidth(const char* text);
    CCoord getCapHeight();

private:
    void applyClip();
    TextFont currentFont() const;

    std::unique_ptr<IPlatformSurface> surface;
    CCoord scale = 1;  // the target's device pixels per logical pixel
    CRect fullRect;
    CRect clipRect;
    std::vector<CRect> clipStack;
    CColor fillColor = kWhiteCColor;
    CColor frameColor = kBlackCColor;
    CColor fontColor = kWhiteCColor;
    CCoord lineWidth = 1;
    std::string fontName = "Arial";
    CCoord fontSize = 12;
    int32_t fontStyle = kNormalFace;
};

}  // namespace VSTGUI
