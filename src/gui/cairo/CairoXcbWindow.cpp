#include "CairoXcbWindow.h"

#include <cairo-xcb.h>
#include <cairo.h>

#include "CairoGraphics.h"

namespace VSTGUI {
namespace cairo {

struct XcbWindowTarget::Impl {
    cairo_surface_t* surface;
};

std::unique_ptr<XcbWindowTarget> XcbWindowTarget::create(xcb_connection_t* conn, xcb_window_t window,
                                                         xcb_visualtype_t* visual, int width, int height) {
    cairo_surface_t* surface = cairo_xcb_surface_create(conn, window, visual, width, height);
    std::unique_ptr<XcbWindowTarget> target(new XcbWindowTarget(new Impl{surface}));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return nullptr;
    return target;
}

XcbWindowTarget::~XcbWindowTarget() {
    // cairo keeps what it knows of a connection (GCs, formats, shared memory) in a
    // process-wide list keyed by the connection's address, and forgets it only when the
    // device is finished. The next xcb_connect usually gets the same address back from the
    // allocator; with the device left alive, the next window would draw through GCs of the
    // closed connection, every blit would fail with BadGC and the window would stay blank.
    // So the device goes with the window, before the connection does.
    cairo_device_t* device = cairo_device_reference(cairo_surface_get_device(impl->surface));
    cairo_surface_finish(impl->surface);
    cairo_surface_destroy(impl->surface);
    if (device) {
        cairo_device_finish(device);
        cairo_device_destroy(device);
    }
    delete impl;
}

void XcbWindowTarget::setSize(int width, int height) { cairo_xcb_surface_set_size(impl->surface, width, height); }

void XcbWindowTarget::present(IPlatformBackBuffer& backBuffer, const CRect& rect) {
    cairo_surface_t* pixels = surfaceOf(backBuffer);
    if (!pixels) return;
    cairo_t* cr = cairo_create(impl->surface);
    cairo_set_source_surface(cr, pixels, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    // Whole pixels of the buffer: a partly covered edge pixel would be blended with what
    // the window showed before.
    const CRect covered = backBuffer.deviceRect(rect);
    cairo_rectangle(cr, covered.left, covered.top, covered.width(), covered.height());
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(impl->surface);
}

}  // namespace cairo
}  // namespace VSTGUI
