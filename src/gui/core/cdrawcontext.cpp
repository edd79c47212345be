#include "cdrawcontext.h"

#include <cairo.h>

#include "cbitmap.h"
#include "utf8.h"

namespace VSTGUI {

namespace {
CFontDesc gSystemFont("Arial", 12);
CFontDesc gVeryBig("Arial", 18);
CFontDesc gBig("Arial", 14);
CFontDesc gNormal("Arial", 12);
CFontDesc gSmall("Arial", 11);
CFontDesc gSmaller("Arial", 10);
CFontDesc gVerySmall("Arial", 9);

// GDI-style truncation to whole pixels.
CRect snap(const CRect& r) {
    return CRect(std::floor(r.left), std::floor(r.top), std::floor(r.right), std::floor(r.bottom));
}

void setSource(cairo_t* cr, const CColor& c) {
    cairo_set_source_rgba(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0);
}
}  // namespace

const CFontRef kSystemFont = &gSystemFont;
const CFontRef kNormalFontVeryBig = &gVeryBig;
const CFontRef kNormalFontBig = &gBig;
const CFontRef kNormalFont = &gNormal;
const CFontRef kNormalFontSmall = &gSmall;
const CFontRef kNormalFontSmaller = &gSmaller;
const CFontRef kNormalFontVerySmall = &gVerySmall;

CDrawContext::CDrawContext(cairo_surface_t* surface) : cr(cairo_create(surface)), surface(surface) {
    double w = 0, h = 0;
    if (cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_IMAGE) {
        w = cairo_image_surface_get_width(surface);
        h = cairo_image_surface_get_height(surface);
    }
    fullRect = CRect(0, 0, w, h);
    clipRect = fullRect;
}

CDrawContext::~CDrawContext() { cairo_destroy(cr); }

void CDrawContext::drawBitmap(CBitmap* bitmap, const CRect& destIn, const CPoint& offset, float alpha) {
    if (!bitmap || !bitmap->getSurface()) return;
    CRect dest = snap(destIn);
    if (dest.isEmpty()) return;
    double ox = std::floor(offset.x), oy = std::floor(offset.y);
    cairo_save(cr);
    cairo_rectangle(cr, dest.left, dest.top, dest.width(), dest.height());
    cairo_clip(cr);
    cairo_set_source_surface(cr, bitmap->getSurface(), dest.left - ox, dest.top - oy);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    if (alpha >= 1.f)
        cairo_paint(cr);
    else
        cairo_paint_with_alpha(cr, alpha < 0.f ? 0.0 : alpha);
    cairo_restore(cr);
}

void CDrawContext::drawRect(const CRect& rectIn, CDrawStyle style) {
    CRect r = snap(rectIn);
    if (r.isEmpty()) return;
    if (style != kDrawStroked) {
        setSource(cr, fillColor);
        cairo_rectangle(cr, r.left, r.top, r.width(), r.height());
        cairo_fill(cr);
    }
    if (style != kDrawFilled) {
        setSource(cr, frameColor);
        cairo_set_line_width(cr, lineWidth);
        double half = lineWidth / 2;
        cairo_rectangle(cr, r.left + half, r.top + half, r.width() - lineWidth, r.height() - lineWidth);
        cairo_stroke(cr);
    }
}

void CDrawContext::drawLine(const CPoint& from, const CPoint& to) {
    setSource(cr, frameColor);
    cairo_set_line_width(cr, lineWidth);
    cairo_move_to(cr, std::floor(from.x) + 0.5, std::floor(from.y) + 0.5);
    cairo_line_to(cr, std::floor(to.x) + 0.5, std::floor(to.y) + 0.5);
    cairo_stroke(cr);
}

void CDrawContext::applyClip() {
    cairo_reset_clip(cr);
    CRect r = snap(clipRect);
    cairo_rectangle(cr, r.left, r.top, r.width(), r.height());
    cairo_clip(cr);
}

void CDrawContext::setClipRect(const CRect& clip) {
    clipRect = clip;
    clipRect.bound(fullRect);
    applyClip();
}

void CDrawContext::pushClip(const CRect& clip) {
    clipStack.push_back(clipRect);
    CRect r = clip;
    r.bound(clipRect);
    clipRect = r;
    applyClip();
}

void CDrawContext::popClip() {
    if (clipStack.empty()) return;
    clipRect = clipStack.back();
    clipStack.pop_back();
    applyClip();
}

void CDrawContext::setFont(const CFontDesc* font, CCoord size, int32_t style) {
    if (!font) return;
    fontName = font->getName();
    fontSize = size > 0 ? size : font->getSize();
    fontStyle = style >= 0 ? style : font->getStyle();
}

void CDrawContext::applyFont() {
    cairo_select_font_face(cr, fontName.c_str(),
                           (fontStyle & kItalicFace) ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           (fontStyle & kBoldFace) ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, fontSize);
}

void CDrawContext::recover() {
    // A cairo context that met an error stays broken and ignores everything drawn after
    // it; a new one on the same surface, with the same clip, goes on.
    if (cairo_status(cr) == CAIRO_STATUS_SUCCESS) return;
    cairo_destroy(cr);
    cr = cairo_create(surface);
    applyClip();
}

CCoord CDrawContext::getStringWidth(const char* text) {
    if (!text) return 0;
    const std::string shown = utf8::valid(text);
    applyFont();
    cairo_text_extents_t ext{};
    cairo_text_extents(cr, shown.c_str(), &ext);
    const CCoord width = cairo_status(cr) == CAIRO_STATUS_SUCCESS ? ext.x_advance : 0;
    recover();
    return width;
}

CCoord CDrawContext::getCapHeight() {
    applyFont();
    cairo_text_extents_t ext{};
    cairo_text_extents(cr, "M", &ext);
    const CCoord cap = cairo_status(cr) == CAIRO_STATUS_SUCCESS ? -ext.y_bearing : 0;
    recover();
    return cap;
}

void CDrawContext::drawString(const char* rawText, const CRect& rect, CHoriTxtAlign align, bool antialias) {
    if (!rawText || !*rawText) return;
    const std::string shown = utf8::valid(rawText);
    const char* text = shown.c_str();
    applyFont();
    CCoord width = getStringWidth(text);
    CCoord cap = getCapHeight();
    CCoord x = rect.left;
    if (align == kCenterText)
        x = rect.left + (rect.width() - width) / 2;
    else if (align == kRightText)
        x = rect.right - width;
    CCoord baseline = rect.top + rect.height() / 2 + cap / 2;
    cairo_save(cr);
    CRect clip = rect;
    clip.bound(clipRect);
    cairo_rectangle(cr, clip.left, clip.top, clip.width(), clip.height());
    cairo_clip(cr);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
    setSource(cr, fontColor);
    cairo_move_to(cr, std::round(x), std::round(baseline));
    cairo_show_text(cr, text);
    cairo_restore(cr);
    recover();
}

}  // namespace VSTGUI
