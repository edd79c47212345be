// Showing a cairo back buffer in an X window (cairo's xcb surface on the window). The X11
// frame owns the window and the connection; this owns what cairo keeps of them.
#pragma once

#include <xcb/xcb.h>

#include <memory>

#include "../core/graphics.h"

namespace VSTGUI {
namespace cairo {

class XcbWindowTarget {
public:
    // Null when cairo cannot draw into the window.
    static std::unique_ptr<XcbWindowTarget> create(xcb_connection_t* conn, xcb_window_t window,
                                                   xcb_visualtype_t* visual, int width, int height);
    ~XcbWindowTarget();
    XcbWindowTarget(const XcbWindowTarget&) = delete;
    XcbWindowTarget& operator=(const XcbWindowTarget&) = delete;

    // Copies `rect` (logical coordinates) of the back buffer into the window (not flushed
    // to the server: the caller flushes its connection).
    void present(IPlatformBackBuffer& backBuffer, const CRect& rect);
    // The window has been given a new size (in its pixels).
    void setSize(int width, int height);

private:
    struct Impl;
    explicit XcbWindowTarget(Impl* impl) : impl(impl) {}
    Impl* impl;
};

}  // namespace cairo
}  // namespace VSTGUI
