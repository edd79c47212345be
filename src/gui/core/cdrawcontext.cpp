#include "cdrawcontext.h"

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
}  // namespace

const CFontRef kSystemFont = &gSystemFont;
const CFontRef kNormalFontVeryBig = &gVeryBig;
const CFontRef kNormalFontBig = &gBig;
const CFontRef kNormalFont = &gNormal;
const CFontRef kNormalFontSmall = &gSmall;
const CFontRef kNormalFontSmaller = &gSmaller;
const CFontRef kNormalFontVerySmall = &gVerySmall;

CDrawContext::CDrawContext(IPlatformBackBuffer& target)
    : surface(target.createSurface()), scale(target.getScaleFactor()) {
    fullRect = CRect(0, 0, target.getWidth() / scale, target.getHeight() / scale);
    clipRect = fullRect;
}

CDrawContext::CDrawContext() : surface(platformGraphics().createMeasuringSurface()) {}

CDrawContext::~CDrawContext() = default;

void CDrawContext::drawBitmap(CBitmap* bitmap, const CRect& destIn, const CPoint& offset, float alpha) {
    if (!bitmap || !bitmap->getPlatformImage()) return;
    CRect dest = snap(destIn);
    if (dest.isEmpty()) return;
    CCoord imageScale = 1;
    const PlatformImagePtr& image = bitmap->imageFor(scale, imageScale);
    surface->drawImage(*image, dest, CPoint(std::floor(offset.x), std::floor(offset.y)), alpha < 0.f ? 0.f : alpha,
                       imageScale);
}

void CDrawContext::drawRect(const CRect& rectIn, CDrawStyle style) {
    CRect r = snap(rectIn);
    if (r.isEmpty()) return;
    if (style != kDrawStroked) surface->fillRect(r, fillColor);
    if (style != kDrawFilled) surface->strokeRect(r, frameColor, lineWidth);
}

void CDrawContext::drawLine(const CPoint& from, const CPoint& to) {
    surface->drawLine(CPoint(std::floor(from.x), std::floor(from.y)), CPoint(std::floor(to.x), std::floor(to.y)),
                      frameColor, lineWidth);
}

void CDrawContext::applyClip() { surface->setClip(snap(clipRect)); }

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

TextFont CDrawContext::currentFont() const { return TextFont{fontName, fontSize, fontStyle}; }

CCoord CDrawContext::getStringWidth(const char* text) {
    if (!text) return 0;
    return surface->textWidth(utf8::valid(text), currentFont());
}

CCoord CDrawContext::getCapHeight() { return surface->capHeight(currentFont()); }

void CDrawContext::drawString(const char* rawText, const CRect& rect, CHoriTxtAlign align, bool antialias) {
    if (!rawText || !*rawText) return;
    const std::string shown = utf8::valid(rawText);
    const TextFont font = currentFont();
    CCoord width = surface->textWidth(shown, font);
    CCoord cap = surface->capHeight(font);
    CCoord x = rect.left;
    if (align == kCenterText)
        x = rect.left + (rect.width() - width) / 2;
    else if (align == kRightText)
        x = rect.right - width;
    CCoord baseline = rect.top + rect.height() / 2 + cap / 2;
    CRect clip = rect;
    clip.bound(clipRect);
    // On whole pixels of the device, where the glyphs are hinted to.
    auto onPixel = [this](CCoord v) { return std::round(v * scale) / scale; };
    surface->drawText(shown, CPoint(onPixel(x), onPixel(baseline)), font, fontColor, antialias, clip);
}

}  // namespace VSTGUI
