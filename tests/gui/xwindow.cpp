#include "xwindow.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace xtest {

HostDisplay::~HostDisplay() {
    if (conn_) xcb_disconnect(conn_);
}

bool HostDisplay::connect() {
    conn_ = xcb_connect(nullptr, nullptr);
    return !xcb_connection_has_error(conn_);
}

xcb_window_t HostDisplay::createWindow(int x, int y, int width, int height) {
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data;
    xcb_window_t window = xcb_generate_id(conn_);
    uint32_t values[2] = {screen->black_pixel, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(conn_, XCB_COPY_FROM_PARENT, window, screen->root, static_cast<int16_t>(x),
                      static_cast<int16_t>(y), static_cast<uint16_t>(width), static_cast<uint16_t>(height), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK,
                      values);
    xcb_map_window(conn_, window);
    sync();
    return window;
}

void HostDisplay::destroyWindow(xcb_window_t window) {
    xcb_destroy_window(conn_, window);
    sync();
}

void HostDisplay::sync() {
    free(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr));
    while (xcb_generic_event_t* e = xcb_poll_for_event(conn_)) {
        if (e->response_type == 0) {
            auto* err = reinterpret_cast<xcb_generic_error_t*>(e);
            std::fprintf(stderr, "X error %d on request %d.%d\n", err->error_code, err->major_code, err->minor_code);
            ++errors_;
        }
        free(e);
    }
}

int HostDisplay::children(xcb_window_t window) {
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(conn_, xcb_query_tree(conn_, window), nullptr);
    int n = tree ? xcb_query_tree_children_length(tree) : -1;
    free(tree);
    return n;
}

xcb_window_t HostDisplay::firstChild(xcb_window_t window) {
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(conn_, xcb_query_tree(conn_, window), nullptr);
    xcb_window_t child = tree && xcb_query_tree_children_length(tree) ? xcb_query_tree_children(tree)[0] : 0;
    free(tree);
    return child;
}

int HostDisplay::childrenAfterClose(xcb_window_t window) {
    int n = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        sync();
        if ((n = children(window)) == 0) break;
        usleep(10000);
    }
    return n;
}

cairo_surface_t* HostDisplay::grab(xcb_window_t window, int width, int height) {
    xcb_get_image_reply_t* img = xcb_get_image_reply(
        conn_,
        xcb_get_image(conn_, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0, static_cast<uint16_t>(width),
                      static_cast<uint16_t>(height), ~0u),
        nullptr);
    // Depth 24 at 32 bits a pixel, as Xvfb -screen ...x24 serves it: the bytes are cairo's RGB24.
    if (!img || img->depth != 24 || xcb_get_image_data_length(img) != width * height * 4) {
        free(img);
        return nullptr;
    }
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_surface_flush(s);
    unsigned char* dst = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    const uint8_t* src = xcb_get_image_data(img);
    for (int row = 0; row < height; ++row)
        std::memcpy(dst + row * stride, src + static_cast<size_t>(row) * width * 4, static_cast<size_t>(width) * 4);
    cairo_surface_mark_dirty(s);
    free(img);
    return s;
}

namespace {

bool inside(cairo_surface_t* s, int x, int y, int w, int h) {
    return x >= 0 && y >= 0 && w >= 0 && h >= 0 && x + w <= cairo_image_surface_get_width(s) &&
           y + h <= cairo_image_surface_get_height(s);
}

uint32_t rgb(cairo_surface_t* s, int x, int y) {
    const unsigned char* row = cairo_image_surface_get_data(s) + static_cast<size_t>(y) * cairo_image_surface_get_stride(s);
    return reinterpret_cast<const uint32_t*>(row)[x] & 0xffffff;
}

}  // namespace

long differingPixels(cairo_surface_t* a, int ax, int ay, cairo_surface_t* b, int bx, int by, int w, int h,
                     Box* where) {
    if (!a || !b || !inside(a, ax, ay, w, h) || !inside(b, bx, by, w, h)) return -1;
    cairo_surface_flush(a);
    cairo_surface_flush(b);
    long n = 0;
    Box box{w, h, -1, -1};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (rgb(a, ax + x, ay + y) != rgb(b, bx + x, by + y)) {
                ++n;
                box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x), std::max(box.bottom, y)};
            }
    if (where) *where = n ? box : Box{};
    return n;
}

}  // namespace xtest
