// The seam between the frame and a window system. The X11 and Windows backends and the
// offscreen backend (tests, `vantel shot`) implement it; a frame created without a parent
// window has none. What the frame draws reaches it as the renderer's back buffer
// (graphics.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "graphics.h"
#include "vstguibase.h"

namespace VSTGUI {

class CFrame;

// The desktop's clipboard, and the X11 "primary selection" (the text last selected, which a
// middle click pastes); platforms without one treat it as a clipboard of their own.
enum class ClipboardKind { Clipboard, Selection };
using ClipboardReceiver = std::function<void(const std::string& utf8)>;

class IPlatformFrame {
public:
    virtual ~IPlatformFrame() = default;
    // Dispatches every queued event to the frame without blocking.
    virtual void pump() = 0;
    // Shows `rect` (logical coordinates) of the back buffer on screen.
    virtual void present(IPlatformBackBuffer& backBuffer, const CRect& rect) = 0;
    // Milliseconds of a monotonic clock, wrapping like GetTickCount.
    virtual uint32_t getTicks() = 0;
    // Gives the keyboard focus to the frame's own window, for good: nothing is handed back.
    virtual void takeKeyboardFocus() = 0;
    // Gives the keyboard focus to the frame's window while something in it is being edited:
    // `returnKeyboardFocus` hands it back to the window that had it, unless the focus was
    // taken for good meanwhile or has moved on elsewhere.
    virtual void borrowKeyboardFocus() { takeKeyboardFocus(); }
    virtual void returnKeyboardFocus() {}
    // The clipboard. `setClipboard` makes `utf8` what a paste anywhere gets (the window
    // serves it for as long as it owns the clipboard). `requestClipboard` asks for the
    // text and hands it to `receive` once, at once or from a later pump: an empty text when
    // the clipboard holds none, its owner does not answer in time, or a newer request
    // replaced this one. (A platform that closes drops what is pending unanswered.)
    virtual void setClipboard(ClipboardKind kind, const std::string& utf8) {
        (void)kind;
        (void)utf8;
    }
    virtual void requestClipboard(ClipboardKind kind, ClipboardReceiver receive) {
        (void)kind;
        (void)receive;
    }
    // Shows a message with an OK button in the window system's own message box, owned by
    // the frame's window, without waiting for it to be dismissed: true when it is shown so.
    // Where there is none (false), the frame shows a message box of its own (CMessageBox).
    virtual bool showMessage(const std::string& caption, const std::string& text) {
        (void)caption;
        (void)text;
        return false;
    }
    // The native window (an X window id, an HWND), or null.
    virtual void* getNativeHandle() const = 0;

    // The scale the desktop asks of windows where this one is shown, 1 for 96 dots per inch
    // (X11: GDK_SCALE or QT_SCALE_FACTOR when set, else the screen's Xft.dpi resource / 96;
    // Windows: the window's DPI / 96). 0: the platform has no idea, and the editor opens at
    // 100 % unless told otherwise. A platform tells its frame of a new one (the window moved
    // to a monitor of another DPI) through CFrame::platformOnSystemScaleChanged.
    virtual double systemScale() { return 0; }
    // Gives the window a new size in its own pixels (the frame's size times its scale). A
    // platform whose window cannot change leaves it as it was.
    virtual void setSize(int32_t width, int32_t height) {
        (void)width;
        (void)height;
    }
};

using PlatformCreator = IPlatformFrame* (*)(CFrame* frame, void* parent, const CRect& size);
// The desktop's scale before any window is open (as IPlatformFrame::systemScale; 0: unknown).
using SystemScaleQuery = double (*)();

class PlatformFactory {
public:
    // The backend a plug-in uses (the X11 one, installed by the editor).
    static void setDefault(PlatformCreator creator);
    // Tests: every frame opened from now on is offscreen (null restores the default).
    static void setOverride(PlatformCreator creator);
    static void useOffscreen();
    static IPlatformFrame* create(CFrame* frame, void* parent, const CRect& size);
    // The same pair for the scale a window would open at, which a host may ask for before
    // the window exists (effEditGetRect); the override's whenever a creator override is set.
    static void setDefaultScaleQuery(SystemScaleQuery query);
    static void setOverrideScaleQuery(SystemScaleQuery query);
    static double systemScale();
};

// A monotonic clock in ms, wrapped to 32 bits.
uint32_t monotonicTicks();

}  // namespace VSTGUI
