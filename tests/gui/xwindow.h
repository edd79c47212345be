// What both X11 test hosts need of the server: a connection of the host's own, top-level
// windows for an editor to live in, their children, and the pixels on screen.
#pragma once

#include <cairo.h>
#include <xcb/xcb.h>

namespace xtest {

class HostDisplay {
public:
    ~HostDisplay();
    bool connect();  // false without a server
    xcb_connection_t* connection() const { return conn_; }

    // A mapped top-level window with a black background; answers once the server has it.
    xcb_window_t createWindow(int x, int y, int width, int height);
    void destroyWindow(xcb_window_t window);

    // One round trip, then every queued event read; errors are counted and each printed
    // to stderr as "X error <code> on request <major>.<minor>".
    void sync();
    int errors() const { return errors_; }

    int children(xcb_window_t window);
    xcb_window_t firstChild(xcb_window_t window);
    // Children of `window` once the server has destroyed what is going away: an editor's
    // window dies with its own connection, which the server tears down on its own time.
    int childrenAfterClose(xcb_window_t window);

    // The window's contents as the server shows them (an RGB24 image to destroy), null if
    // the grab failed.
    cairo_surface_t* grab(xcb_window_t window, int width, int height);

private:
    xcb_connection_t* conn_ = nullptr;
    int errors_ = 0;
};

// Where pixels differ, relative to the compared rectangle (left, top, right, bottom inclusive).
struct Box {
    int left = 0, top = 0, right = -1, bottom = -1;
};

// Pixels whose colour differs between the w x h rectangle of `a` at (ax, ay) and that of `b`
// at (bx, by); alpha is ignored. -1 when a rectangle leaves its image.
long differingPixels(cairo_surface_t* a, int ax, int ay, cairo_surface_t* b, int bx, int by, int w, int h,
                     Box* where = nullptr);

}  // namespace xtest
