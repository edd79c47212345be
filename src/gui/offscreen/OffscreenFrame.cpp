#include "OffscreenFrame.h"

#include "../core/graphics.h"

namespace VSTGUI {

namespace {
double gDefaultSystemScale = 1;

IPlatformFrame* createOffscreen(CFrame* frame, void* parent, const CRect&) { return new OffscreenFrame(frame, parent); }
}  // namespace

OffscreenFrame::OffscreenFrame(CFrame* frame, void* parent)
    : desktopScale(gDefaultSystemScale), frame(frame), parent(parent) {}

void OffscreenFrame::setDefaultSystemScale(double scale) { gDefaultSystemScale = scale; }

void OffscreenFrame::changeSystemScale(double scale) {
    desktopScale = scale;
    frame->platformOnSystemScaleChanged(scale);
}

void PlatformFactory::useOffscreen() {
    setOverride(createOffscreen);
    setOverrideScaleQuery([] { return gDefaultSystemScale; });
}
void OffscreenFrame::install() { PlatformFactory::useOffscreen(); }
void OffscreenFrame::uninstall() {
    PlatformFactory::setOverride(nullptr);
    gDefaultSystemScale = 1;
}

OffscreenFrame* OffscreenFrame::of(CFrame* frame) {
    return frame ? dynamic_cast<OffscreenFrame*>(frame->getPlatformFrame()) : nullptr;
}

std::string& OffscreenFrame::clipboard(ClipboardKind kind) {
    static std::string texts[2];
    return texts[kind == ClipboardKind::Clipboard ? 0 : 1];
}

void OffscreenFrame::setClipboard(ClipboardKind kind, const std::string& utf8) { clipboard(kind) = utf8; }

void OffscreenFrame::requestClipboard(ClipboardKind kind, ClipboardReceiver receive) {
    if (pending) pending(std::string());
    pendingKind = kind;
    pending = std::move(receive);
}

void OffscreenFrame::pump() {
    if (!pending) return;
    ClipboardReceiver receive = std::move(pending);
    pending = nullptr;
    receive(clipboardSilent ? std::string() : clipboard(pendingKind));
}

void OffscreenFrame::present(IPlatformBackBuffer&, const CRect& rect) { presented.push_back(rect); }

void OffscreenFrame::press(CCoord x, CCoord y, int button, uint32_t mods) {
    frame->rawPress(button, mods | held, CPoint(x, y), ticks);
    held |= input::xButtonMask(button);
}

void OffscreenFrame::release(CCoord x, CCoord y, int button, uint32_t mods) {
    frame->rawRelease(button, mods | held, CPoint(x, y), ticks);
    held &= ~input::xButtonMask(button);
}

void OffscreenFrame::move(CCoord x, CCoord y, uint32_t mods) { frame->rawMove(mods | held, CPoint(x, y), ticks); }

void OffscreenFrame::click(CCoord x, CCoord y, int button, uint32_t mods) {
    press(x, y, button, mods);
    release(x, y, button, mods);
}

void OffscreenFrame::drag(CCoord x0, CCoord y0, CCoord x1, CCoord y1, uint32_t mods) {
    press(x0, y0, 1, mods);
    move(x1, y1, mods);
    release(x1, y1, 1, mods);
}

void OffscreenFrame::wheel(CCoord x, CCoord y, int notches, uint32_t mods) {
    int button = notches > 0 ? 4 : 5;
    for (int i = 0; i < (notches > 0 ? notches : -notches); ++i) {
        frame->rawPress(button, mods | held, CPoint(x, y), ticks);
        frame->rawRelease(button, mods | held, CPoint(x, y), ticks);
    }
}

int32_t OffscreenFrame::key(int32_t character, unsigned char virt, unsigned char modifier) {
    VstKeyCode code{character, virt, modifier};
    return frame->onKeyDown(code);
}

int32_t OffscreenFrame::keyUp(int32_t character, unsigned char virt, unsigned char modifier) {
    VstKeyCode code{character, virt, modifier};
    return frame->onKeyUp(code);
}

int32_t OffscreenFrame::type(const char* text) {
    int32_t result = -1;
    for (const char* c = text; c && *c; ++c) result = key(static_cast<unsigned char>(*c));
    return result;
}

uint32_t OffscreenFrame::pixel(int x, int y) const { return frame->getBackBuffer().pixels().at(x, y) & 0xffffff; }

bool OffscreenFrame::writePng(const std::string& path) const {
    return platformGraphics().writePng(frame->getBackBuffer(), path);
}

}  // namespace VSTGUI
