// A small X11 host for the real-window test. It makes a top-level window on its own X
// connection and either
//   xhost toolkit   puts a MyFrame with a knob, an on/off button and a drag area into it
//                   and takes commands on stdin (values, keepfocus 0|1, focusparent,
//                   shot FILE, close), idling the frame every 20 ms; or
//   xhost plugin SO loads the plug-in and opens, idles and closes its editor through the
//                   editor opcodes, counting our window's children before and after.
// X errors on the host's connection are printed as "X error" lines on stderr.
#include <cairo.h>
#include <dlfcn.h>
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "MyFrame.h"
#include "QELControls.h"
#include "artwork.h"
#include "core/resources.h"
#include "x11/X11Frame.h"

using namespace VSTGUI;

namespace {

xcb_connection_t* conn = nullptr;
xcb_window_t parent = 0;
int errors = 0;

void drainErrors() {
    while (xcb_generic_event_t* e = xcb_poll_for_event(conn)) {
        if (e->response_type == 0) {
            auto* err = reinterpret_cast<xcb_generic_error_t*>(e);
            std::fprintf(stderr, "X error %d on request %d\n", err->error_code, err->major_code);
            ++errors;
        }
        free(e);
    }
}

bool openParent() {
    conn = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(conn)) return false;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn)).data;
    parent = xcb_generate_id(conn);
    uint32_t values[2] = {screen->black_pixel, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(conn, XCB_COPY_FROM_PARENT, parent, screen->root, 0, 100, 942, 171, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    xcb_map_window(conn, parent);
    free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));  // round trip: mapped
    return true;
}

int children() {
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(conn, xcb_query_tree(conn, parent), nullptr);
    int n = tree ? xcb_query_tree_children_length(tree) : -1;
    free(tree);
    return n;
}

xcb_window_t firstChild() {
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(conn, xcb_query_tree(conn, parent), nullptr);
    xcb_window_t child = tree && xcb_query_tree_children_length(tree) ? xcb_query_tree_children(tree)[0] : 0;
    free(tree);
    return child;
}

void focusParent() {
    xcb_set_input_focus(conn, XCB_INPUT_FOCUS_POINTER_ROOT, parent, XCB_CURRENT_TIME);
    free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
}

// Grabs the parent window from the server into a PNG; answers the pixel at (x, y).
uint32_t shot(const char* path, int x, int y) {
    xcb_get_image_reply_t* img = xcb_get_image_reply(
        conn, xcb_get_image(conn, XCB_IMAGE_FORMAT_Z_PIXMAP, parent, 0, 0, 942, 171, ~0u), nullptr);
    if (!img) return 0xffffffff;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 942, 171);
    cairo_surface_flush(s);
    unsigned char* dst = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    const uint8_t* src = xcb_get_image_data(img);
    for (int row = 0; row < 171; ++row) std::memcpy(dst + row * stride, src + row * 942 * 4, 942 * 4);
    cairo_surface_mark_dirty(s);
    cairo_surface_write_to_png(s, path);
    uint32_t p = reinterpret_cast<const uint32_t*>(dst + y * stride)[x] & 0xffffff;
    cairo_surface_destroy(s);
    free(img);
    return p;
}

uint32_t panelPixel(int x, int y) {
    cairo_surface_t* panel = resources::load(128);
    cairo_surface_flush(panel);
    uint32_t p = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(panel) +
                                                   y * cairo_image_surface_get_stride(panel))[x] &
                 0xffffff;
    cairo_surface_destroy(panel);
    return p;
}

struct Counter : CControlListener, VSTGUIEditorInterface {
    int changes = 0, begins = 0, ends = 0;
    void valueChanged(CControl*) override { ++changes; }
    int32_t getKnobMode() const override { return kLinearMode; }
    void beginEdit(int32_t) override { ++begins; }
    void endEdit(int32_t) override { ++ends; }
};

int runToolkit() {
    artwork::install();
    useX11Platform();
    Counter counter;
    auto* frame = new MyFrame(CRect(0, 0, 942, 171), reinterpret_cast<void*>(static_cast<uintptr_t>(parent)), &counter);
    if (!frame->isOpen()) {
        std::printf("NOFRAME\n");
        return 1;
    }
    auto* bg = new CBitmap(128);
    frame->setBackground(bg);
    bg->forget();
    auto* knobBitmap = new CBitmap(134);
    auto* knob = new QELAnimKnob(CRect(383, 29, 418, 64), &counter, 0, 101, 37, knobBitmap, CPoint(2, 2),
                                 CRect(384, 30, 417, 63));
    knobBitmap->forget();
    knob->setValue(0.5f);
    frame->addView(knob);
    auto* buttonBitmap = new CBitmap(150);
    auto* button = new QELOnOffButton(CRect(784, 102, 808, 122), &counter, 42, buttonBitmap);
    buttonBitmap->forget();
    frame->addView(button);
    frame->addView(new CInvisibleSlider(CRect(317, 115, 330, 132), &counter, 10));
    frame->idle();
    std::printf("READY child=%u parent=%u\n", firstChild(), parent);
    std::fflush(stdout);

    std::string line;
    for (;;) {
        pollfd p{0, POLLIN, 0};
        if (poll(&p, 1, 20) > 0) {
            char buf[512];
            ssize_t n = read(0, buf, sizeof buf);
            if (n <= 0) break;
            line.append(buf, static_cast<size_t>(n));
        }
        frame->idle();
        drainErrors();
        size_t eol;
        while ((eol = line.find('\n')) != std::string::npos) {
            std::string cmd = line.substr(0, eol);
            line.erase(0, eol + 1);
            if (cmd == "values") {
                std::printf("VALUES knob=%.4f button=%.4f changes=%d edits=%d/%d\n", knob->getValue(),
                            button->getValue(), counter.changes, counter.begins, counter.ends);
            } else if (cmd.rfind("keepfocus ", 0) == 0) {
                frame->setKeepFocus(cmd[10] == '1');
                std::printf("OK\n");
            } else if (cmd == "focusparent") {
                focusParent();
                std::printf("OK\n");
            } else if (cmd.rfind("shot ", 0) == 0) {
                uint32_t got = shot(cmd.c_str() + 5, 5, 5);
                std::printf("SHOT match=%d\n", got == panelPixel(5, 5) ? 1 : 0);
            } else if (cmd == "close") {
                frame->close();
                free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
                drainErrors();
                std::printf("CLOSED children=%d errors=%d\n", children(), errors);
                std::fflush(stdout);
                return children() == 0 && errors == 0 ? 0 : 1;
            }
            std::fflush(stdout);
        }
    }
    frame->close();
    return 1;
}

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

int runPlugin(const char* path) {
    void* lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        std::printf("NOLIB %s\n", dlerror());
        return 1;
    }
    auto entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(lib, "VSTPluginMain"));
    AEffect* fx = entry ? entry(hostCallback) : nullptr;
    if (!fx) return 1;
    fx->dispatcher(fx, effOpen, 0, 0, nullptr, 0);
    ERect* rect = nullptr;
    fx->dispatcher(fx, effEditGetRect, 0, 0, &rect, 0);
    int width = rect ? rect->right - rect->left : 0, height = rect ? rect->bottom - rect->top : 0;  // the rect dies with the effect
    VstIntPtr opened = fx->dispatcher(fx, effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(parent)), 0);
    for (int i = 0; i < 5; ++i) {
        fx->dispatcher(fx, effEditIdle, 0, 0, nullptr, 0);
        usleep(20000);
    }
    int during = children();
    fx->dispatcher(fx, effEditClose, 0, 0, nullptr, 0);
    free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
    int after = children();
    fx->dispatcher(fx, effClose, 0, 0, nullptr, 0);
    dlclose(lib);
    drainErrors();
    std::printf("PLUGIN open=%d rect=%dx%d children=%d after=%d errors=%d\n", static_cast<int>(opened), width, height,
                during, after, errors);
    return opened == 1 && during == 1 && after == 0 && errors == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || !openParent()) {
        std::fprintf(stderr, "usage: xhost toolkit | plugin PATH (needs an X server)\n");
        return 2;
    }
    int rc = std::strcmp(argv[1], "plugin") == 0 && argc > 2 ? runPlugin(argv[2]) : runToolkit();
    xcb_destroy_window(conn, parent);
    xcb_disconnect(conn);
    return rc;
}
