#include "About.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "../gui/core/cframe.h"

using namespace VSTGUI;

CAbout::CAbout(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background, const CRect& toDisplay,
               const CPoint& offset, const CPoint& versionOrigin)
    : CSplashScreen(size, listener, tag, background, toDisplay, offset), versionOrigin(versionOrigin) {}

CMouseEventResult CAbout::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    value = value == 0.f ? 1.f : 0.f;
    if (value == 0.f || !parentFrame) return kMouseEventHandled;
    auto* view = new CSplashScreenMyView(toDisplay, this, versionOrigin);
    // The frame takes over our one reference while the view is its modal view.
    if (!parentFrame->setModalView(view)) {
        view->forget();
        value = 0.f;
    }
    invalid();
    return kMouseEventHandled;
}

void CAbout::closeSplash(CSplashScreenMyView* view) {
    value = getMin();
    setDirty();
    if (parentFrame && view && parentFrame->getModalView() == view) {
        parentFrame->invalid();
        parentFrame->setModalView(nullptr);  // hands the frame's reference back to us
        view->forget();
    }
}

CSplashScreenMyView::CSplashScreenMyView(const CRect& size, CAbout* about, const CPoint& versionOrigin)
    : CControl(size, nullptr, 0, about ? about->getBackground() : nullptr), about(about), versionOrigin(versionOrigin) {}

bool CSplashScreenMyView::isTypeOf(const char* name) const {
    return std::strcmp(name, "CSplashScreenMyView") == 0 || CControl::isTypeOf(name);
}

void CSplashScreenMyView::draw(CDrawContext* context) {
    if (background) background->draw(context, size, CPoint(0, 0));
    context->setFont(kNormalFontSmall, 11);
    context->setFontColor(kWhiteCColor);
    const CCoord x = size.left + versionOrigin.x, y = size.top + versionOrigin.y;
    context->drawString(kVersionText, CRect(x, y, x + kVersionWidth, y + kVersionHeight), kLeftText, true);
    const long percent = std::lround((parentFrame ? parentFrame->getScaleFactor() : 1) * 100);
    char zoom[32];
    std::snprintf(zoom, sizeof zoom, "Zoom %ld %%", percent);
    const CCoord below = y + kVersionHeight;
    context->drawString(zoom, CRect(x, below, x + kVersionWidth, below + kVersionHeight), kLeftText, true);
    context->setFont(kNormalFontVerySmall, 9);
    context->setFontColor(MakeCColor(150, 154, 160));
    const CCoord hint = below + kVersionHeight;
    context->drawString(kZoomHint, CRect(x, hint, x + kHintWidth, hint + kHintHeight), kLeftText, true);
    setDirty(false);
}

CMouseEventResult CSplashScreenMyView::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    if (about) about->closeSplash(this);
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}
