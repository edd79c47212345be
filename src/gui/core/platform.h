// The seam between the frame and a window system. The X11 backend and the offscreen
// backend (tests) implement it; a frame created without a parent window has none.
#pragma once

#include <cstdint>

#include "vstguibase.h"

typedef struct _cairo_surface cairo_surface_t;

namespace VSTGUI {

class CFrame;

class IPlatformFrame {
public:
    virtual ~IPlatformFrame() = default;
    // Dispatches every queued event to the frame without blocking.
    virtual void pump() = 0;
    // Shows `rect` of the back buffer on screen.
    virtual void present(cairo_surface_t* backBuffer, const CRect& rect) = 0;
    // Milliseconds of a monotonic clock, wrapping like GetTickCount.
    virtual uint32_t getTicks() = 0;
    // Gives the keyboard focus to the frame's own window.
    virtual void takeKeyboardFocus() = 0;
    // The native window (an X window id), or null.
    virtual void* getNativeHandle() const = 0;
};

using PlatformCreator = IPlatformFrame* (*)(CFrame* frame, void* parent, const CRect& size);

class PlatformFactory {
public:
    // The backend a plug-in uses (the X11 one, installed by the editor).
    static void setDefault(PlatformCreator creator);
    // Tests: every frame opened from now on is offscreen (null restores the default).
    static void setOverride(PlatformCreator creator);
    static void useOffscreen();
    static IPlatformFrame* create(CFrame* frame, void* parent, const CRect& size);
};

// CLOCK_MONOTONIC in ms, wrapped to 32 bits.
uint32_t monotonicTicks();

}  // namespace VSTGUI
