#include "X11Frame.h"

#include <xcb/xcb.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../cairo/CairoXcbWindow.h"
#include "../core/cframe.h"
#include "../core/utf8.h"
#include "../posix/ProcessDialogRunner.h"
#include "DesktopScale.h"

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

// Keysyms (X11/keysymdef.h) of the keys that are not text.
constexpr uint32_t kXKBackSpace = 0xff08, kXKTab = 0xff09, kXKReturn = 0xff0d, kXKEscape = 0xff1b,
                   kXKHome = 0xff50, kXKLeft = 0xff51, kXKUp = 0xff52, kXKRight = 0xff53, kXKDown = 0xff54,
                   kXKPageUp = 0xff55, kXKPageDown = 0xff56, kXKEnd = 0xff57, kXKInsert = 0xff63,
                   kXKKPEnter = 0xff8d, kXKKPHome = 0xff95, kXKKPLeft = 0xff96, kXKKPUp = 0xff97,
                   kXKKPRight = 0xff98, kXKKPDown = 0xff99, kXKKPPageUp = 0xff9a, kXKKPPageDown = 0xff9b,
                   kXKKPEnd = 0xff9c, kXKKPInsert = 0xff9e, kXKKPDelete = 0xff9f, kXKDelete = 0xffff,
                   kXKISOLeftTab = 0xfe20, kXKISOLevel3Shift = 0xfe03, kXKModeSwitch = 0xff7e, kXKNumLock = 0xff7f;

bool isModifierKeysym(uint32_t sym) {
    return (sym >= 0xffe1 && sym <= 0xffee) || (sym >= 0xfe01 && sym <= 0xfe13) || sym == kXKModeSwitch ||
           sym == kXKNumLock;
}

// Keypad keysyms: the digits and operators NumLock turns the keys into, and the keys' other
// meanings (KP_Home .. KP_Delete, KP_Enter).
bool isKeypadKeysym(uint32_t sym) { return sym >= 0xff80 && sym <= 0xffbd; }

uint32_t upperCase(uint32_t sym) {
    if (sym >= 'a' && sym <= 'z') return sym - 32;
    if (sym >= 0xe0 && sym <= 0xfe && sym != 0xf7) return sym - 32;  // Latin-1
    return sym;
}

// How long a paste waits for the clipboard's owner.
constexpr uint32_t kPasteTimeoutMs = 1000;
// Larger texts would need the incremental transfer, which a name field has no use for.
constexpr size_t kMaxSelectionBytes = 65536;

class X11Frame : public IPlatformFrame {
public:
    explicit X11Frame(CFrame* frame) : frame(frame) {}
    ~X11Frame() override { destroy(); }

    bool open(uint32_t parent, const CRect& size);

    void pump() override;
    void present(IPlatformBackBuffer& backBuffer, const CRect& rect) override;
    uint32_t getTicks() override { return monotonicTicks(); }
    void takeKeyboardFocus() override;
    void borrowKeyboardFocus() override;
    void returnKeyboardFocus() override;
    void setClipboard(ClipboardKind kind, const std::string& utf8) override;
    void requestClipboard(ClipboardKind kind, ClipboardReceiver receive) override;
    void* getNativeHandle() const override { return reinterpret_cast<void*>(static_cast<uintptr_t>(window)); }
    double systemScale() override;
    void setSize(int32_t width, int32_t height) override;

private:
    void destroy();
    void internAtoms();
    void loadKeymap();
    void dispatch(xcb_generic_event_t* event);
    void key(xcb_key_press_event_t* event, bool down);
    xcb_keysym_t keysymOf(uint8_t keycode, uint16_t state) const;
    xcb_visualtype_t* findVisual(xcb_visualid_t id);
    xcb_window_t focusedWindow();
    void focus(xcb_window_t target);
    // Selections: [0] CLIPBOARD, [1] PRIMARY.
    xcb_atom_t selectionAtom(ClipboardKind kind) const {
        return kind == ClipboardKind::Clipboard ? atoms.clipboard : static_cast<xcb_atom_t>(XCB_ATOM_PRIMARY);
    }
    int selectionIndex(xcb_atom_t selection) const {
        return selection == atoms.clipboard ? 0 : selection == XCB_ATOM_PRIMARY ? 1 : -1;
    }
    bool owns(xcb_atom_t selection);
    void serve(const xcb_selection_request_event_t* request);
    void received(const xcb_selection_notify_event_t* notify);
    void convert(xcb_atom_t target);
    // Ends the pending paste with nothing.
    void pasteFailed();
    void noteTime(xcb_timestamp_t time) {
        if (time != XCB_CURRENT_TIME) lastTime = time;
    }

    CFrame* frame;
    xcb_connection_t* conn = nullptr;
    xcb_window_t window = 0;
    std::unique_ptr<cairo::XcbWindowTarget> target;
    std::vector<xcb_keysym_t> keysyms;
    uint8_t minKeycode = 8;
    uint8_t keysymsPerKeycode = 0;
    // The modifiers that choose the third level (AltGr), the second group, the keypad's digits.
    uint16_t level3Mask = 0, modeSwitchMask = 0, numLockMask = 0;
    // The server time of the last event seen: selections are claimed and asked for with it.
    xcb_timestamp_t lastTime = XCB_CURRENT_TIME;

    struct {
        xcb_atom_t clipboard = XCB_NONE, utf8 = XCB_NONE, targets = XCB_NONE, timestamp = XCB_NONE, text = XCB_NONE,
                   incr = XCB_NONE, paste = XCB_NONE;
    } atoms;
    struct Owned {
        bool owned = false;
        std::string text;
        xcb_timestamp_t since = XCB_CURRENT_TIME;
    } owned[2];
    struct Paste {
        ClipboardReceiver receive;
        xcb_atom_t selection = XCB_NONE;
        xcb_atom_t target = XCB_NONE;
        uint32_t started = 0;
    } paste;
    // The window that had the focus before we borrowed it, while it is lent to us.
    bool focusLent = false;
    xcb_window_t focusLender = XCB_NONE;
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

    internAtoms();
    loadKeymap();
    target = cairo::XcbWindowTarget::create(conn, window, visual, w, h);
    xcb_map_window(conn, window);
    xcb_flush(conn);
    return target != nullptr;
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
    target.reset();  // before the connection (it forgets what cairo knows of it)
    if (conn) {
        // A BadWindow (the host destroyed its window first) arrives as an ignored event.
        if (window) xcb_destroy_window(conn, window);
        xcb_flush(conn);
        xcb_disconnect(conn);
        conn = nullptr;
    }
    window = 0;
}

void X11Frame::internAtoms() {
    static const char* const names[] = {"_XEMBED_INFO", "CLIPBOARD", "UTF8_STRING",       "TARGETS",
                                        "TIMESTAMP",    "TEXT",      "INCR",              "_VANTEL_SELECTION"};
    constexpr size_t count = sizeof names / sizeof names[0];
    xcb_intern_atom_cookie_t cookies[count];
    for (size_t i = 0; i < count; ++i)
        cookies[i] = xcb_intern_atom(conn, 0, static_cast<uint16_t>(strlen(names[i])), names[i]);
    xcb_atom_t found[count] = {};
    for (size_t i = 0; i < count; ++i) {
        if (xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(conn, cookies[i], nullptr)) {
            found[i] = reply->atom;
            free(reply);
        }
    }
    // XEmbed info: protocol version 0, mapped.
    if (found[0] != XCB_NONE) {
        uint32_t info[2] = {0, 1};
        xcb_change_property(conn, XCB_PROP_MODE_REPLACE, window, found[0], found[0], 32, 2, info);
    }
    atoms.clipboard = found[1];
    atoms.utf8 = found[2];
    atoms.targets = found[3];
    atoms.timestamp = found[4];
    atoms.text = found[5];
    atoms.incr = found[6];
    atoms.paste = found[7];
}

void X11Frame::loadKeymap() {
    const xcb_setup_t* setup = xcb_get_setup(conn);
    minKeycode = setup->min_keycode;
    uint8_t count = static_cast<uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    xcb_get_keyboard_mapping_cookie_t mapping = xcb_get_keyboard_mapping(conn, minKeycode, count);
    xcb_get_modifier_mapping_cookie_t modifiers = xcb_get_modifier_mapping(conn);
    xcb_get_keyboard_mapping_reply_t* reply = xcb_get_keyboard_mapping_reply(conn, mapping, nullptr);
    xcb_get_modifier_mapping_reply_t* modReply = xcb_get_modifier_mapping_reply(conn, modifiers, nullptr);
    keysyms.clear();
    keysymsPerKeycode = 0;
    level3Mask = modeSwitchMask = numLockMask = 0;
    if (reply) {
        keysymsPerKeycode = reply->keysyms_per_keycode;
        xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
        keysyms.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(reply));
        free(reply);
    }
    if (modReply && keysymsPerKeycode) {
        // Which of the eight modifiers AltGr, Mode_switch and NumLock are bound to.
        const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(modReply);
        const int perModifier = modReply->keycodes_per_modifier;
        for (int mod = 0; mod < 8; ++mod) {
            for (int k = 0; k < perModifier; ++k) {
                const xcb_keycode_t code = codes[mod * perModifier + k];
                if (code < minKeycode) continue;
                const size_t base = static_cast<size_t>(code - minKeycode) * keysymsPerKeycode;
                for (size_t c = 0; c < keysymsPerKeycode && base + c < keysyms.size(); ++c) {
                    const uint16_t bit = static_cast<uint16_t>(1u << mod);
                    if (keysyms[base + c] == kXKISOLevel3Shift) level3Mask |= bit;
                    if (keysyms[base + c] == kXKModeSwitch) modeSwitchMask |= bit;
                    if (keysyms[base + c] == kXKNumLock) numLockMask |= bit;
                }
            }
        }
    }
    free(modReply);
}

xcb_keysym_t X11Frame::keysymOf(uint8_t keycode, uint16_t state) const {
    if (keysymsPerKeycode == 0 || keycode < minKeycode) return 0;
    const size_t base = static_cast<size_t>(keycode - minKeycode) * keysymsPerKeycode;
    auto column = [&](size_t c) -> xcb_keysym_t {
        return c < keysymsPerKeycode && base + c < keysyms.size() ? keysyms[base + c] : 0;
    };
    // The core protocol's columns: group 1 (plain, shifted), group 2 (Mode_switch), then
    // the third level (AltGr) of group 1, as XKB lays it out for core clients.
    xcb_keysym_t plain = column(0), shifted = column(1);
    if ((state & modeSwitchMask) && column(2)) {
        plain = column(2);
        shifted = column(3);
    }
    if ((state & level3Mask) && column(4)) {
        plain = column(4);
        shifted = column(5);
    }
    if (!shifted) shifted = upperCase(plain);
    const bool shift = (state & XCB_MOD_MASK_SHIFT) != 0;
    const bool caps = (state & XCB_MOD_MASK_LOCK) != 0;
    if ((state & numLockMask) && isKeypadKeysym(shifted)) return shift ? plain : shifted;
    if (upperCase(plain) != plain) return shift != caps ? shifted : plain;
    return shift ? shifted : plain;
}

void X11Frame::key(xcb_key_press_event_t* e, bool down) {
    const xcb_keysym_t sym = keysymOf(e->detail, e->state);
    if (sym == 0 || isModifierKeysym(sym)) return;
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
        case kXKDelete:
        case kXKKPDelete: code.virt = VKEY_DELETE; break;
        case kXKInsert:
        case kXKKPInsert: code.virt = VKEY_INSERT; break;
        case kXKHome:
        case kXKKPHome: code.virt = VKEY_HOME; break;
        case kXKEnd:
        case kXKKPEnd: code.virt = VKEY_END; break;
        case kXKLeft:
        case kXKKPLeft: code.virt = VKEY_LEFT; break;
        case kXKRight:
        case kXKKPRight: code.virt = VKEY_RIGHT; break;
        case kXKUp:
        case kXKKPUp: code.virt = VKEY_UP; break;
        case kXKDown:
        case kXKKPDown: code.virt = VKEY_DOWN; break;
        case kXKPageUp:
        case kXKKPPageUp: code.virt = VKEY_PAGEUP; break;
        case kXKPageDown:
        case kXKKPPageDown: code.virt = VKEY_PAGEDOWN; break;
        case ' ': code.virt = VKEY_SPACE; break;
        default:
            // The keysym itself: the frame reads it as text the same way as a Linux host's
            // forwarded keys (see keys.h), dead keys included.
            code.character = static_cast<VstInt32>(sym);
    }
    frame->syncModifiers(e->state);
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
            frame->rawExpose(CRect(e->x, e->y, e->x + e->width, e->y + e->height));
            break;
        }
        case XCB_BUTTON_PRESS: {
            auto* e = reinterpret_cast<xcb_button_press_event_t*>(event);
            noteTime(e->time);
            frame->rawPress(e->detail, e->state, CPoint(e->event_x, e->event_y), e->time);
            break;
        }
        case XCB_BUTTON_RELEASE: {
            auto* e = reinterpret_cast<xcb_button_release_event_t*>(event);
            noteTime(e->time);
            frame->rawRelease(e->detail, e->state, CPoint(e->event_x, e->event_y), e->time);
            break;
        }
        case XCB_MOTION_NOTIFY: {
            auto* e = reinterpret_cast<xcb_motion_notify_event_t*>(event);
            noteTime(e->time);
            frame->rawMove(e->state, CPoint(e->event_x, e->event_y), e->time);
            break;
        }
        case XCB_ENTER_NOTIFY: {
            auto* e = reinterpret_cast<xcb_enter_notify_event_t*>(event);
            noteTime(e->time);
            frame->rawMove(e->state, CPoint(e->event_x, e->event_y), e->time);
            break;
        }
        case XCB_LEAVE_NOTIFY: {
            auto* e = reinterpret_cast<xcb_leave_notify_event_t*>(event);
            noteTime(e->time);
            if (e->mode == XCB_NOTIFY_MODE_NORMAL) frame->rawLeave();
            break;
        }
        case XCB_KEY_PRESS:
        case XCB_KEY_RELEASE: {
            auto* e = reinterpret_cast<xcb_key_press_event_t*>(event);
            noteTime(e->time);
            key(e, (event->response_type & 0x7f) == XCB_KEY_PRESS);
            break;
        }
        case XCB_MAPPING_NOTIFY: {
            auto* e = reinterpret_cast<xcb_mapping_notify_event_t*>(event);
            if (e->request != XCB_MAPPING_POINTER) loadKeymap();
            break;
        }
        case XCB_SELECTION_REQUEST: serve(reinterpret_cast<xcb_selection_request_event_t*>(event)); break;
        case XCB_SELECTION_NOTIFY: received(reinterpret_cast<xcb_selection_notify_event_t*>(event)); break;
        case XCB_SELECTION_CLEAR: {
            auto* e = reinterpret_cast<xcb_selection_clear_event_t*>(event);
            const int i = selectionIndex(e->selection);
            if (i >= 0 && e->owner == window) owned[i] = Owned{};
            break;
        }
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
    // A clipboard owner that has not answered by now will not: the paste brings nothing.
    if (paste.receive && static_cast<uint32_t>(monotonicTicks() - paste.started) > kPasteTimeoutMs) pasteFailed();
}

void X11Frame::present(IPlatformBackBuffer& backBuffer, const CRect& rect) {
    if (!target) return;
    target->present(backBuffer, rect);
    xcb_flush(conn);
}

// ---------------------------------------------------------------- scale and size

namespace {
// The resource database of a screen (xrdb's RESOURCE_MANAGER on its root window), at most
// a few kilobytes, read when a window opens.
std::string screenResources(xcb_connection_t* conn, xcb_window_t root) {
    std::string resources;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        conn, xcb_get_property(conn, 0, root, XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING, 0, 65536 / 4), nullptr);
    if (reply && reply->format == 8)
        resources.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                         static_cast<size_t>(xcb_get_property_value_length(reply)));
    free(reply);
    return resources;
}

double desktopScaleWith(const std::string& resources) {
    return x11::desktopScale(std::getenv("GDK_SCALE"), std::getenv("QT_SCALE_FACTOR"), resources);
}

// Before a window exists: the default screen of $DISPLAY, on a connection made for the
// question (0 without a server).
double defaultScreenScale() {
    int screenNumber = 0;
    xcb_connection_t* conn = xcb_connect(nullptr, &screenNumber);
    double scale = 0;
    if (!xcb_connection_has_error(conn)) {
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn));
        for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
        if (it.rem) scale = desktopScaleWith(screenResources(conn, it.data->root));
    }
    xcb_disconnect(conn);
    return scale;
}
}  // namespace

double X11Frame::systemScale() {
    std::string resources;
    if (conn && window) {
        xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(conn, xcb_get_geometry(conn, window), nullptr);
        if (geometry) resources = screenResources(conn, geometry->root);
        free(geometry);
    }
    return desktopScaleWith(resources);
}

void X11Frame::setSize(int32_t width, int32_t height) {
    if (!conn || !window || width <= 0 || height <= 0) return;
    const uint32_t size[] = {static_cast<uint32_t>(width), static_cast<uint32_t>(height)};
    xcb_configure_window(conn, window, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
    if (target) target->setSize(width, height);
    xcb_flush(conn);
}

// ---------------------------------------------------------------- keyboard focus

xcb_window_t X11Frame::focusedWindow() {
    xcb_get_input_focus_reply_t* reply = xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr);
    const xcb_window_t focused = reply ? reply->focus : XCB_NONE;
    free(reply);
    return focused;
}

void X11Frame::focus(xcb_window_t target) {
    if (target == window) {
        xcb_get_window_attributes_reply_t* a =
            xcb_get_window_attributes_reply(conn, xcb_get_window_attributes(conn, window), nullptr);
        const bool viewable = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
        free(a);
        if (!viewable) return;
    }
    // Checked, and its answer dropped unread: a window given the focus back may have gone
    // meanwhile, and that error is nobody's concern.
    const xcb_void_cookie_t request =
        xcb_set_input_focus_checked(conn, XCB_INPUT_FOCUS_PARENT, target, XCB_CURRENT_TIME);
    xcb_discard_reply(conn, request.sequence);
    xcb_flush(conn);
}

void X11Frame::takeKeyboardFocus() {
    if (!conn || !window) return;
    focusLent = false;  // ours for good: nothing to give back
    focus(window);
}

void X11Frame::borrowKeyboardFocus() {
    if (!conn || !window) return;
    const xcb_window_t focused = focusedWindow();
    if (focused == window) return;  // ours already (kept, or lent and not yet given back)
    focusLent = true;
    focusLender = focused;
    focus(window);
}

void X11Frame::returnKeyboardFocus() {
    if (!conn || !window || !focusLent) return;
    focusLent = false;
    // Only if it is still ours: a click into another window has moved it on.
    if (focusedWindow() == window) focus(focusLender);
}

// ---------------------------------------------------------------- clipboard

bool X11Frame::owns(xcb_atom_t selection) {
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(conn, xcb_get_selection_owner(conn, selection), nullptr);
    const bool ours = reply && reply->owner == window;
    free(reply);
    return ours;
}

void X11Frame::setClipboard(ClipboardKind kind, const std::string& utf8) {
    if (!conn || !window || utf8.size() > kMaxSelectionBytes) return;
    const xcb_atom_t selection = selectionAtom(kind);
    if (selection == XCB_NONE) return;
    Owned& mine = owned[kind == ClipboardKind::Clipboard ? 0 : 1];
    mine.text = utf8;
    // Claimed with the time of the event that led here, as the ICCCM asks; a time older
    // than the present owner's claim is refused, and then the present time serves.
    xcb_set_selection_owner(conn, window, selection, lastTime);
    if (!owns(selection) && lastTime != XCB_CURRENT_TIME)
        xcb_set_selection_owner(conn, window, selection, XCB_CURRENT_TIME);
    mine.owned = owns(selection);
    mine.since = lastTime;
}

void X11Frame::pasteFailed() {
    ClipboardReceiver receive = std::move(paste.receive);
    paste = Paste{};
    if (receive) receive(std::string());
}

void X11Frame::requestClipboard(ClipboardKind kind, ClipboardReceiver receive) {
    pasteFailed();
    if (!receive) return;
    const xcb_atom_t selection = selectionAtom(kind);
    if (!conn || !window || selection == XCB_NONE) {
        receive(std::string());
        return;
    }
    const Owned& mine = owned[kind == ClipboardKind::Clipboard ? 0 : 1];
    if (mine.owned && owns(selection)) {
        receive(mine.text);  // our own text: no need to ask ourselves
        return;
    }
    paste.receive = std::move(receive);
    paste.selection = selection;
    paste.started = monotonicTicks();
    convert(atoms.utf8);
}

void X11Frame::convert(xcb_atom_t target) {
    paste.target = target;
    xcb_delete_property(conn, window, atoms.paste);
    xcb_convert_selection(conn, window, paste.selection, target, atoms.paste, lastTime);
    xcb_flush(conn);
}

void X11Frame::received(const xcb_selection_notify_event_t* e) {
    noteTime(e->time);
    if (!paste.receive || e->requestor != window || e->selection != paste.selection || e->target != paste.target)
        return;
    if (e->property == XCB_NONE) {
        // Not as UTF-8: perhaps as Latin-1 (STRING), which every owner of text offers.
        if (paste.target == atoms.utf8)
            convert(XCB_ATOM_STRING);
        else
            pasteFailed();
        return;
    }
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        conn, xcb_get_property(conn, 1, window, e->property, XCB_GET_PROPERTY_TYPE_ANY, 0, kMaxSelectionBytes / 4),
        nullptr);
    ClipboardReceiver receive = std::move(paste.receive);
    paste = Paste{};
    if (!reply) {
        receive(std::string());
        return;
    }
    const char* data = static_cast<const char*>(xcb_get_property_value(reply));
    const std::string bytes(data, static_cast<size_t>(xcb_get_property_value_length(reply)));
    const xcb_atom_t type = reply->type;
    const bool text = reply->format == 8 && type != atoms.incr;  // an incremental transfer is declined
    free(reply);
    if (!text) {
        receive(std::string());
        return;
    }
    if (type == XCB_ATOM_STRING) {
        std::string utf8;
        for (unsigned char c : bytes) utf8 += utf8::encode(c);
        receive(utf8);
    } else {
        receive(bytes);  // UTF-8 as asked for (the field makes any stray byte readable)
    }
}

void X11Frame::serve(const xcb_selection_request_event_t* e) {
    noteTime(e->time);
    const int i = selectionIndex(e->selection);
    // Clients older than the ICCCM name no property: the target's own name serves.
    const xcb_atom_t property = e->property != XCB_NONE ? e->property : e->target;
    bool answered = false;
    auto put = [&](xcb_atom_t type, uint8_t format, uint32_t length, const void* data) {
        xcb_discard_reply(conn, xcb_change_property_checked(conn, XCB_PROP_MODE_REPLACE, e->requestor, property, type,
                                                            format, length, data)
                                    .sequence);
        answered = true;
    };
    if (i >= 0 && owned[i].owned && e->owner == window) {
        const std::string& text = owned[i].text;
        if (e->target == atoms.targets) {
            const xcb_atom_t offered[] = {atoms.targets, atoms.timestamp, atoms.utf8, XCB_ATOM_STRING, atoms.text};
            put(XCB_ATOM_ATOM, 32, 5, offered);
        } else if (e->target == atoms.timestamp) {
            const uint32_t since = owned[i].since;
            put(XCB_ATOM_INTEGER, 32, 1, &since);
        } else if (e->target == atoms.utf8 || e->target == atoms.text) {
            put(atoms.utf8, 8, static_cast<uint32_t>(text.size()), text.data());
        } else if (e->target == XCB_ATOM_STRING) {
            // Latin-1: characters beyond it become '?'.
            std::string latin1;
            for (size_t at = 0; at < text.size(); at = utf8::next(text, at)) {
                const unsigned char lead = static_cast<unsigned char>(text[at]);
                const size_t n = utf8::next(text, at) - at;
                if (lead < 0x80)
                    latin1 += static_cast<char>(lead);
                else if (n == 2 && lead <= 0xc3)
                    latin1 += static_cast<char>(((lead & 0x03) << 6) | (text[at + 1] & 0x3f));
                else
                    latin1 += '?';
            }
            put(XCB_ATOM_STRING, 8, static_cast<uint32_t>(latin1.size()), latin1.data());
        }
    }
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = e->time;
    notify.requestor = e->requestor;
    notify.selection = e->selection;
    notify.target = e->target;
    notify.property = answered ? property : XCB_NONE;
    xcb_discard_reply(conn, xcb_send_event_checked(conn, 0, e->requestor, XCB_EVENT_MASK_NO_EVENT,
                                                   reinterpret_cast<const char*>(&notify))
                                .sequence);
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

void useX11Platform() {
    PlatformFactory::setDefault(createX11PlatformFrame);
    PlatformFactory::setDefaultScaleQuery(defaultScreenScale);
    CNewFileSelector::setDefaultRunner(posix::processDialogRunner());
}

uint32_t x11ErrorCount() { return errorCount.load(std::memory_order_relaxed); }

}  // namespace VSTGUI
