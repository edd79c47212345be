// A platform without a window, for tests: a clock the test sets, injected input that goes
// through the same translation as X11's, counted focus requests, a clipboard shared by all
// offscreen frames (answered at the next pump, as X11 answers, or never if a test says so),
// the list of rectangles presented, the window's size and the desktop's scale, and pixel
// and PNG access to the back buffer.
#pragma once

#include <string>
#include <vector>

#include "../core/cframe.h"
#include "../core/platform.h"

namespace VSTGUI {

class OffscreenFrame : public IPlatformFrame {
public:
    OffscreenFrame(CFrame* frame, void* parent);

    // Makes every frame opened from now on offscreen (uninstall: windows again, and the
    // desktop's scale back to 1).
    static void install();
    static void uninstall();
    static OffscreenFrame* of(CFrame* frame);

    void pump() override;
    void present(IPlatformBackBuffer& backBuffer, const CRect& rect) override;
    uint32_t getTicks() override { return ticks; }
    void takeKeyboardFocus() override { ++focusRequests; }
    void borrowKeyboardFocus() override { ++focusBorrows; }
    void returnKeyboardFocus() override { ++focusReturns; }
    void setClipboard(ClipboardKind kind, const std::string& utf8) override;
    void requestClipboard(ClipboardKind kind, ClipboardReceiver receive) override;
    void* getNativeHandle() const override { return parent; }
    double systemScale() override { return desktopScale; }
    void setSize(int32_t width, int32_t height) override { size = CPoint(width, height); }

    // The desktop's scale for frames opened from now on (1: 96 dots per inch).
    static void setDefaultSystemScale(double scale);
    // The window moves to a monitor that asks for `scale`: the frame hears of it.
    void changeSystemScale(double scale);

    // Clock.
    void setTicks(uint32_t t) { ticks = t; }
    void advance(uint32_t ms) { ticks += ms; }

    // Input; `mods` is an X modifier mask (kXShiftMask, kXControlMask, kXMod1Mask); the
    // event time is the clock's.
    void press(CCoord x, CCoord y, int button = 1, uint32_t mods = 0);
    void release(CCoord x, CCoord y, int button = 1, uint32_t mods = 0);
    void move(CCoord x, CCoord y, uint32_t mods = 0);
    void click(CCoord x, CCoord y, int button = 1, uint32_t mods = 0);
    void drag(CCoord x0, CCoord y0, CCoord x1, CCoord y1, uint32_t mods = 0);
    void wheel(CCoord x, CCoord y, int notches, uint32_t mods = 0);
    void leave() { frame->rawLeave(); }
    int32_t key(int32_t character, unsigned char virt = 0, unsigned char modifier = 0);
    int32_t keyUp(int32_t character, unsigned char virt = 0, unsigned char modifier = 0);
    int32_t type(const char* text);

    // Output.
    uint32_t pixel(int x, int y) const;  // 0xRRGGBB of the back buffer's pixel
    bool writePng(const std::string& path) const;  // the path in UTF-8

    std::vector<CRect> presented;
    // The window's size in its pixels as last set (0 x 0: never changed since it opened).
    CPoint size;
    double desktopScale;
    int focusRequests = 0;
    int focusBorrows = 0;
    int focusReturns = 0;

    // The clipboard and the primary selection, as another program would find them.
    static std::string& clipboard(ClipboardKind kind);
    // While set, requests bring nothing (an owner that never replies, until given up).
    bool clipboardSilent = false;

private:
    CFrame* frame;
    void* parent;
    uint32_t ticks = 1000;
    uint32_t held = 0;
    ClipboardKind pendingKind = ClipboardKind::Clipboard;
    ClipboardReceiver pending;
};

}  // namespace VSTGUI
