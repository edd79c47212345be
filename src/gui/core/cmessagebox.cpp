#include "cmessagebox.h"

#include <cstring>

#include "cframe.h"

namespace VSTGUI {

CMessageBox::CMessageBox(const CRect& size, const char* caption, const char* text, std::function<void()> onClose)
    : CView(size), caption(caption ? caption : ""), text(text ? text : ""), onClose(std::move(onClose)) {}

bool CMessageBox::show(CFrame* frame, const char* caption, const char* text, std::function<void()> onClose) {
    if (!frame || frame->getModalView()) return false;
    IPlatformFrame* platform = frame->getPlatformFrame();
    if (!onClose && platform && platform->showMessage(caption ? caption : "", text ? text : "")) return true;
    const CRect& f = frame->getViewSize();
    const CCoord w = 300, h = 86;
    CCoord left = std::floor(f.left + (f.width() - w) / 2), top = std::floor(f.top + (f.height() - h) / 2);
    auto* box = new CMessageBox(CRect(left, top, left + w, top + h), caption, text, std::move(onClose));
    if (!frame->setModalView(box)) {
        box->forget();
        return false;
    }
    return true;
}

CRect CMessageBox::getOkRect() const {
    CCoord cx = size.left + size.width() / 2;
    return CRect(cx - 28, size.bottom - 26, cx + 28, size.bottom - 8);
}

void CMessageBox::draw(CDrawContext* context) {
    context->setFillColor(MakeCColor(240, 240, 236));
    context->setFrameColor(MakeCColor(50, 52, 56));
    context->drawRect(size, kDrawFilledAndStroked);
    context->setFillColor(MakeCColor(50, 52, 56));
    context->fillRect(CRect(size.left, size.top, size.right, size.top + 18));
    context->setFont(kNormalFontSmall, 11, kBoldFace);
    context->setFontColor(kWhiteCColor);
    context->drawString(caption.c_str(), CRect(size.left + 6, size.top, size.right - 6, size.top + 18), kLeftText);
    context->setFont(kNormalFontSmall, 11, kNormalFace);
    context->setFontColor(MakeCColor(20, 20, 20));
    context->drawString(text.c_str(), CRect(size.left + 8, size.top + 24, size.right - 8, size.top + 50), kCenterText);
    CRect ok = getOkRect();
    context->setFillColor(MakeCColor(214, 216, 220));
    context->drawRect(ok, kDrawFilledAndStroked);
    context->drawString("OK", ok, kCenterText);
    setDirty(false);
}

void CMessageBox::dismiss() {
    CFrame* frame = parentFrame;
    CBaseObjectGuard guard(this);
    std::function<void()> done = std::move(onClose);
    if (frame && frame->getModalView() == this) {
        frame->setModalView(nullptr);
        forget();  // the frame's reference
    }
    if (done) done();
}

CMouseEventResult CMessageBox::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (buttons.isLeftButton() && getOkRect().pointInside(where)) dismiss();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

int32_t CMessageBox::onKeyDown(VstKeyCode& key) {
    if (key.virt == VKEY_RETURN || key.virt == VKEY_ENTER) dismiss();
    return 1;
}

bool CMessageBox::isTypeOf(const char* name) const {
    return std::strcmp(name, "CMessageBox") == 0 || CView::isTypeOf(name);
}

}  // namespace VSTGUI
