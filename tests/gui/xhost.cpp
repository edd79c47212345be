// A small X11 host for the real-window tests of the toolkit (linked in, so the test sees
// x11ErrorCount()). It makes a top-level window on its own X connection and either
//   xhost toolkit   puts a MyFrame with a knob, an on/off button and a drag area into it
//                   and takes commands on stdin (values, keepfocus 0|1, focusparent,
//                   shot FILE, close), idling the frame every 20 ms; or
//   xhost reopen    opens, draws and closes a MyFrame with the panel background three
//                   times and checks each time that the window shows the background and
//                   that no X error came back (a stale cairo cache for a reused
//                   connection address shows up on the second open).
// The plug-in itself is driven by edhost. X errors on the host's connection are printed
// as "X error" lines on stderr.
#include <cairo.h>
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
#include "xwindow.h"

using namespace VSTGUI;

namespace {

constexpr int kWidth = 942, kHeight = 171;
xtest::HostDisplay display;
xcb_window_t parent = 0;

void focusParent() {
    xcb_set_input_focus(display.connection(), XCB_INPUT_FOCUS_POINTER_ROOT, parent, XCB_CURRENT_TIME);
    display.sync();
}

// Pixels of the window that differ from the panel background (-1: no grab).
long differenceFromPanel(int x, int y, int w, int h) {
    cairo_surface_t* screen = display.grab(parent, kWidth, kHeight);
    // The artwork as the toolkit decoded it, copied into a surface the comparison takes.
    const PixelRows art = resources::load(artwork::kBackground)->pixels();
    cairo_surface_t* panel = cairo_image_surface_create(CAIRO_FORMAT_RGB24, art.width, art.height);
    cairo_surface_flush(panel);
    for (int row = 0; row < art.height; ++row)
        std::memcpy(cairo_image_surface_get_data(panel) + row * cairo_image_surface_get_stride(panel),
                    art.data + row * art.stride, static_cast<size_t>(art.width) * 4);
    cairo_surface_mark_dirty(panel);
    long n = xtest::differingPixels(screen, x, y, panel, x, y, w, h);
    if (screen) cairo_surface_destroy(screen);
    cairo_surface_destroy(panel);
    return n;
}

struct Counter : CControlListener, VSTGUIEditorInterface {
    int changes = 0, begins = 0, ends = 0;
    void valueChanged(CControl*) override { ++changes; }
    int32_t getKnobMode() const override { return kLinearMode; }
    void beginEdit(int32_t) override { ++begins; }
    void endEdit(int32_t) override { ++ends; }
};

MyFrame* openPanel(VSTGUIEditorInterface* editor) {
    auto* frame = new MyFrame(CRect(0, 0, kWidth, kHeight), reinterpret_cast<void*>(static_cast<uintptr_t>(parent)), editor);
    if (!frame->isOpen()) {
        frame->forget();
        return nullptr;
    }
    auto* bg = new CBitmap(artwork::kBackground);
    frame->setBackground(bg);
    bg->forget();
    return frame;
}

int runToolkit() {
    Counter counter;
    MyFrame* frame = openPanel(&counter);
    if (!frame) {
        std::printf("NOFRAME\n");
        return 1;
    }
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
    std::printf("READY child=%u parent=%u\n", display.firstChild(parent), parent);
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
        display.sync();
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
                if (cairo_surface_t* screen = display.grab(parent, kWidth, kHeight)) {
                    cairo_surface_write_to_png(screen, cmd.c_str() + 5);
                    cairo_surface_destroy(screen);
                }
                std::printf("SHOT match=%d\n", differenceFromPanel(5, 5, 1, 1) == 0 ? 1 : 0);
            } else if (cmd == "close") {
                frame->close();
                int left = display.childrenAfterClose(parent);
                std::printf("CLOSED children=%d errors=%d\n", left, display.errors());
                std::fflush(stdout);
                return left == 0 && display.errors() == 0 ? 0 : 1;
            } else {
                std::printf("ERR unknown command: %s\n", cmd.c_str());
            }
            std::fflush(stdout);
        }
    }
    frame->close();
    return 1;
}

// Three frames in a row, each drawn, checked against the background and closed. Only the
// background is drawn, so the whole window must match it.
int runReopen() {
    Counter counter;
    bool ok = true;
    for (int cycle = 1; cycle <= 3; ++cycle) {
        MyFrame* frame = openPanel(&counter);
        if (!frame) {
            std::printf("NOFRAME\n");
            return 1;
        }
        // Several idles apart: the server has the drawing and any error is back.
        for (int i = 0; i < 5; ++i) {
            frame->idle();
            usleep(20000);
        }
        display.sync();
        long differing = differenceFromPanel(0, 0, kWidth, kHeight);
        frame->close();
        int left = display.childrenAfterClose(parent);
        std::printf("CYCLE %d differing=%ld xerrors=%u children=%d\n", cycle, differing, x11ErrorCount(), left);
        ok = ok && differing == 0 && left == 0;
    }
    ok = ok && x11ErrorCount() == 0 && display.errors() == 0;
    std::printf("REOPEN %s\n", ok ? "ok" : "failed");
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const char* mode = argc > 1 ? argv[1] : "";
    const bool toolkit = std::strcmp(mode, "toolkit") == 0, reopen = std::strcmp(mode, "reopen") == 0;
    if ((!toolkit && !reopen) || !display.connect()) {
        std::fprintf(stderr, "usage: xhost toolkit | reopen (needs an X server)\n");
        return 2;
    }
    parent = display.createWindow(0, 100, kWidth, kHeight);
    artwork::install();
    useX11Platform();
    int rc = toolkit ? runToolkit() : runReopen();
    display.destroyWindow(parent);
    return rc;
}
