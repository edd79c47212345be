#include "X11Frame.h"

#include <cairo-xcb.h>
#include <cairo.h>
#include <xcb/xcb.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../core/cframe.h"

namespace VSTGUI {

namespace {

// Every request we (and cairo for us) send is unchecked, so its errors come back as events.
// Nothing can be done about one at that point, but dropping it silently hides real faults
// (a blit into a GC the server never heard of leaves the window blank): each is counted
// for the tests and printed, the only line the plug-in ever writes, for whoever debugs a
// host.
std::atomic<uint32_t> errorCount{0};

void reportError(const xcb_generic_error_t* error) {
    errorCount.fetch_add(1, std::memory_order_relaxed);
    std::fprintf(stderr, "X error %d on request %d.%d\n", error->error_code, error->major_code, error->minor_code);
}

constexpr uint32_t kXKBackSpace = 0xff08, kXKTab = 0xff09, kXKReturn = 0xff0d, kXKEscape = 0xff1b,
                   kXKHome = 0xff50, kXKLeft = 0xff51, kXKUp = 0xff52, kXKRight = 0xff53, kXKDown = 0xff54,
                   kXKEnd = 0xff57, kXKKPEnter = 0xff8d, kXKDelete = 0xffff, kXKISOLeftTab = 0xfe20,
                   kXKEuroSign = 0x20ac;

class X11Frame : public IPlatformFrame {
public:
    explicit X11Frame(CFrame* frame) : frame(frame) {}
    ~X11Frame() override { destroy(); }

    bool open(uint32_t parent, const CRect& size);

    void pump() override;
    void present(cairo_surface_t* backBuffer, const CRect& rect) override;
    uint32_t getTicks() override { return monotonicTicks(); }
    void takeKeyboardFocus() override;
    void* getNativeHandle() const override { return reinterpret_cast<void*>(static_cast<uintptr_t>(window)); }

private:
    void destroy();
    void loadKeymap();
    void dispatch(xcb_generic_event_t* event);
    void key(xcb_key_press_event_t* event, bool down);
    xcb_visualtype_t* findVisual(xcb_visualid_t id);

    CFrame* frame;
    xcb_connection_t* conn = nullptr;
    xcb_window_t window = 0;
    cairo_surface_t* surface = nullptr;
    std::vector<xcb_keysym_t> keysyms;
    uint8_t minKeycode = 8;
    uint8_t keysymsPerKeycode = 0;
};

xcb_visualtype_t* X11Frame::findVisual(xcb_visualid_t id) {
    for (auto screens = xcb_setup_roots_iterator(xcb_get_setup(conn)); screens.rem; xcb_screen_next(&screens))
        for (auto depths = xcb_screen_allowed_depths_iterator(screens.data); depths.rem; xcb_depth_next(&depths))
            for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem; xcb_visualtype_next(&visuals))
                if (visuals.data->visual_id == id) return visuals.data;
    return nullptr;
}

bool X11Frame::open(uint32_t parent, const CRect& size) {
    conn = xcb_connect(nullptr, nullptr);
    if (!conn || xcb_connection_has_error(conn)) return false;

    // The parent's visual and depth, so that our window matches it.
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(conn, xcb_get_window_attributes(conn, parent), nullptr);
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(conn, xcb_get_geometry(conn, parent), nullptr);
    if (!attributes || !geometry) {
        free(attributes);
        free(geometry);
        return false;
    }
    xcb_visualid_t visualId = attributes->visual;
    xcb_colormap_t colormap = attributes->colormap;
    uint8_t depth = geometry->depth;
    free(attributes);
    free(geometry);
    xcb_visualtype_t* visual = findVisual(visualId);
    if (!visual || depth == 0) return false;

    window = xcb_generate_id(conn);
    const uint32_t eventMask = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                               XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_ENTER_WINDOW |
                               XCB_EVENT_MASK_LEAVE_WINDOW | XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE |
                               XCB_EVENT_MASK_FOCUS_CHANGE;
    uint32_t mask = XCB_CW_BACK_PIXMAP | XCB_CW_BORDER_PIXEL | XCB_CW_EVENT_MASK;
    std::vector<uint32_t> values{XCB_BACK_PIXMAP_NONE, 0, eventMask};
    if (colormap != XCB_NONE) {
        mask |= XCB_CW_COLORMAP;
        values.push_back(colormap);
    }
    uint16_t w = static_cast<uint16_t>(size.width()), h = static_cast<uint16_t>(size.height());
    xcb_void_cookie_t cookie = xcb_create_window_checked(conn, depth, window, parent, 0, 0, w, h, 0,
                                                         XCB_WINDOW_CLASS_INPUT_OUTPUT, visualId, mask, values.data());
    if (xcb_generic_error_t* error = xcb_request_check(conn, cookie)) {
        free(error);
        window = 0;
        return false;
    }

    // XEmbed info: protocol version 0, mapped.
    const char* name = "_XEMBED_INFO";
    if (xcb_intern_atom_reply_t* atom =
            xcb_intern_atom_reply(conn, xcb_intern_atom(conn, 0, static_cast<uint16_t>(strlen(name)), name), nullptr)) {
        uint32_t info[2] = {0, 1};
        xcb_change_property(conn, XCB_PROP_MODE_REPLACE, window, atom->atom, atom->atom, 32, 2, info);
        free(atom);
    }
    loadKeymap();
    surface = cairo_xcb_surface_create(conn, window, visual, w, h);
    xcb_map_window(conn, window);
    xcb_flush(conn);
    return cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
}

void X11Frame::destroy() {
    if (conn) {
        // The errors of the last drawing are still on their way; one round trip brings
        // them in before the connection goes.
        free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
        while (xcb_generic_event_t* event = xcb_poll_for_event(conn)) {
            if ((event->response_type & 0x7f) == 0) reportError(reinterpret_cast<xcb_generic_error_t*>(event));
            free(event);
        }
    }
    if (surface) {
        // cairo keeps what it knows of a connection (GCs, formats, shared memory) in a
        // process-wide list keyed by the connection's address, and forgets it only when
        // the device is finished. The next xcb_connect usually gets the same address back
        // from the allocator; with the device left alive, the next window would draw
        // through GCs of the closed connection, every blit would fail with BadGC and
        // the window would stay blank. So the device goes with the connection.
        cairo_device_t* device = cairo_device_reference(cairo_surface_get_device(surface));
        cairo_surface_finish(surface);
        cairo_surface_destroy(surface);
        surface = nullptr;
        if (device) {
            cairo_device_finish(device);
            cairo_device_destroy(device);
        }
    }
    if (conn) {
        // A BadWindow (the host destroyed its window first) arrives as an ignored event.
        if (window) xcb_destroy_window(conn, window);
        xcb_flush(conn);
        xcb_disconnect(conn);
        conn = nullptr;
    }
    window = 0;
}

void X11Frame::loadKeymap() {
    const xcb_setup_t* setup = xcb_get_setup(conn);
    minKeycode = setup->min_keycode;
    uint8_t count = static_cast<uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    xcb_get_keyboard_mapping_reply_t* reply =
        xcb_get_keyboard_mapping_reply(conn, xcb_get_keyboard_mapping(conn, minKeycode, count), nullptr);
    keysyms.clear();
    keysymsPerKeycode = 0;
    if (!reply) return;
    keysymsPerKeycode = reply->keysyms_per_keycode;
    xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
    keysyms.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(reply));
    free(reply);
}

void X11Frame::key(xcb_key_press_event_t* e, bool down) {
    if (keysymsPerKeycode == 0 || e->detail < minKeycode) return;
    size_t base = static_cast<size_t>(e->detail - minKeycode) * keysymsPerKeycode;
    if (base >= keysyms.size()) return;
    xcb_keysym_t sym = keysyms[base];
    bool shift = (e->state & XCB_MOD_MASK_SHIFT) != 0;
    bool caps = (e->state & XCB_MOD_MASK_LOCK) != 0;
    xcb_keysym_t shifted = (keysymsPerKeycode > 1 && base + 1 < keysyms.size() && keysyms[base + 1]) ? keysyms[base + 1] : sym;
    if (sym >= 'a' && sym <= 'z') {
        if (shift != caps) sym = shifted != sym ? shifted : sym - 32;
    } else if (shift) {
        sym = shifted;
    }
    VstKeyCode code{0, 0, 0};
    if (e->state & XCB_MOD_MASK_SHIFT) code.modifier |= MODIFIER_SHIFT;
    if (e->state & XCB_MOD_MASK_CONTROL) code.modifier |= MODIFIER_CONTROL;
    if (e->state & XCB_MOD_MASK_1) code.modifier |= MODIFIER_ALTERNATE;
    switch (sym) {
        case kXKBackSpace: code.virt = VKEY_BACK; break;
        case kXKTab:
        case kXKISOLeftTab: code.virt = VKEY_TAB; break;
        case kXKReturn: code.virt = VKEY_RETURN; break;
        case kXKKPEnter: code.virt = VKEY_ENTER; break;
        case kXKEscape: code.virt = VKEY_ESCAPE; break;
        case kXKDelete: code.virt = VKEY_DELETE; break;
        case kXKHome: code.virt = VKEY_HOME; break;
        case kXKEnd: code.virt = VKEY_END; break;
        case kXKLeft: code.virt = VKEY_LEFT; break;
        case kXKRight: code.virt = VKEY_RIGHT; break;
        case kXKUp: code.virt = VKEY_UP; break;
        case kXKDown: code.virt = VKEY_DOWN; break;
        case ' ':
            code.virt = VKEY_SPACE;
            code.character = ' ';
            break;
        default:
            // Latin-1 keysyms are their characters; Unicode keysyms carry the code point
            // under 0x01000000; the euro sign has a keysym of its own.
            if ((sym >= 0x21 && sym <= 0x7e) || (sym >= 0xa0 && sym <= 0xff))
                code.character = static_cast<VstInt32>(sym);
            else if ((sym & 0xff000000u) == 0x01000000u)
                code.character = static_cast<VstInt32>(sym & 0x00ffffffu);
            else if (sym == kXKEuroSign)
                code.character = 0x20ac;
            else
                return;
    }
    if (down)
        frame->onKeyDown(code);
    else
        frame->onKeyUp(code);
}

void X11Frame::dispatch(xcb_generic_event_t* event) {
    switch (event->response_type & 0x7f) {
        case 0: reportError(reinterpret_cast<xcb_generic_error_t*>(event)); break;
        case XCB_EXPOSE: {
            auto* e = reinterpret_cast<xcb_expose_event_t*>(event);
            frame->invalidRect(CRect(e->x, e->y, e->x + e->width, e->y + e->height));
            break;
        }
        case XCB_BUTTON_PRESS: {
            auto* e = reinterpret_cast<xcb_button_press_event_t*>(event);
            frame->rawPress(e->detail, e->state, CPoint(e->event_x, e->event_y), e->time);
            break;
        }
        case XCB_BUTTON_RELEASE: {
            auto* e = reinterpret_cast<xcb_button_release_event_t*>(event);
            frame->rawRelease(e->detail, e->state, CPoint(e->event_x, e->event_y), e->time);
            break;
        }
        case XCB_MOTION_NOTIFY: {
            auto* e = reinterpret_cast<xcb_motion_notify_event_t*>(event);
            frame->rawMove(e->state, CPoint(e->event_x, e->event_y), e->time);
            break;
        }
        case XCB_ENTER_NOTIFY: {
            auto* e = reinterpret_cast<xcb_enter_notify_event_t*>(event);
            frame->rawMove(e->state, CPoint(e->event_x, e->event_y), e->time);
            break;
        }
        case XCB_LEAVE_NOTIFY: {
            auto* e = reinterpret_cast<xcb_leave_notify_event_t*>(event);
            if (e->mode == XCB_NOTIFY_MODE_NORMAL) frame->rawLeave();
            break;
        }
        case XCB_KEY_PRESS: key(reinterpret_cast<xcb_key_press_event_t*>(event), true); break;
        case XCB_KEY_RELEASE: key(reinterpret_cast<xcb_key_press_event_t*>(event), false); break;
        case XCB_MAPPING_NOTIFY: loadKeymap(); break;
        default: break;
    }
}

void X11Frame::pump() {
    if (!conn) return;
    // A run of motion events collapses into its last one: the drag laws work from the
    // press point, so intermediate positions add nothing.
    xcb_generic_event_t* pendingMotion = nullptr;
    while (xcb_generic_event_t* event = xcb_poll_for_event(conn)) {
        if ((event->response_type & 0x7f) == XCB_MOTION_NOTIFY) {
            free(pendingMotion);
            pendingMotion = event;
            continue;
        }
        if (pendingMotion) {
            dispatch(pendingMotion);
            free(pendingMotion);
            pendingMotion = nullptr;
        }
        dispatch(event);
        free(event);
        if (!conn || frame->isClosed()) break;
    }
    if (pendingMotion) {
        if (conn && !frame->isClosed()) dispatch(pendingMotion);
        free(pendingMotion);
    }
}

void X11Frame::present(cairo_surface_t* backBuffer, const CRect& rect) {
    if (!surface) return;
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_surface(cr, backBuffer, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_rectangle(cr, rect.left, rect.top, rect.width(), rect.height());
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    xcb_flush(conn);
}

void X11Frame::takeKeyboardFocus() {
    if (!conn || !window) return;
    xcb_get_window_attributes_reply_t* a =
        xcb_get_window_attributes_reply(conn, xcb_get_window_attributes(conn, window), nullptr);
    bool viewable = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
    free(a);
    if (!viewable) return;
    xcb_set_input_focus(conn, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
    xcb_flush(conn);
}

}  // namespace

IPlatformFrame* createX11PlatformFrame(CFrame* frame, void* parent, const CRect& size) {
    uint32_t parentWindow = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(parent));
    if (!parentWindow) return nullptr;
    auto* platform = new X11Frame(frame);
    if (!platform->open(parentWindow, size)) {
        delete platform;
        return nullptr;
    }
    return platform;
}

void useX11Platform() { PlatformFactory::setDefault(createX11PlatformFrame); }

uint32_t x11ErrorCount() { return errorCount.load(std::memory_order_relaxed); }

}  // namespace VSTGUI
