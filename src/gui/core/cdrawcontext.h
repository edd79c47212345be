// Drawing on a cairo context (the frame's back buffer). Rectangles are snapped to whole
// pixels by truncation for fills, outlines and bitmap copies, so that half-pixel
// rectangles stay crisp.
#pragma once

#include <string>
#include <vector>

#include "vstguibase.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace VSTGUI {

class CBitmap;

enum CTxtFace : int32_t {
    kNormalFace = 0,
    kBoldFace = 1 << 1,
    kItalicFace = 1 << 2,
    kUnderlineFace = 1 << 3,
};

// A font by family name and size in pixels; resolved through fontconfig when drawn.
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
    // Draws on `surface` (takes no ownership; the surface must outlive the context).
    explicit CDrawContext(cairo_surface_t* surface);
    ~CDrawContext();
    CDrawContext(const CDrawContext&) = delete;
    CDrawContext& operator=(const CDrawContext&) = delete;

    cairo_t* getCairo() const { return cr; }

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
    // Baseline at the rectangle's vertical middle plus half the cap height; clipped to `rect`.
    // Text is shown as UTF-8, bytes that are not valid UTF-8 as Latin-1 (see utf8.h).
    void drawString(const char* text, const CRect& rect, CHoriTxtAlign align = kCenterText, bool antialias = true);
    CCoord getStringWidth(const char* text);
    CCoord getCapHeight();

private:
    void applyFont();
    void applyClip();
    // Replaces a context that a failed call left in an error state.
    void recover();

    cairo_t* cr;
    cairo_surface_t* surface;
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
