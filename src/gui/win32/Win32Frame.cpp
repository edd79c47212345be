#include "Win32Frame.h"

#include <windowsx.h>

#include <bitset>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <vector>

#include "../core/cfileselector.h"
#include "../core/cframe.h"
#include "../core/input.h"
#include "../gdiplus/GdiplusGraphics.h"
#include "FileDialogs.h"
#include "Win32Input.h"
#include "windows/WideText.h"

namespace VSTGUI {
namespace win32 {

namespace {

constexpr UINT_PTR kIdleTimer = 1;
// Our own message to our own class: run what `post` queued.
constexpr UINT kRunPosted = WM_APP + 1;
// A child window of a per-monitor aware host hears of a new DPI after its parent has.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
#ifndef WM_DPICHANGED_AFTERPARENT
#define WM_DPICHANGED_AFTERPARENT 0x02E3
#endif

HINSTANCE moduleInstance() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&moduleInstance), &module);
    return module;
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

std::mutex classMutex;
int classUsers = 0;

bool acquireClass() {
    std::lock_guard<std::mutex> lock(classMutex);
    if (classUsers == 0) {
        const std::wstring name = frameClassName();
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = windowProc;
        wc.hInstance = moduleInstance();
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = name.c_str();
        // A class left registered by a frame whose window could not be destroyed serves again.
        if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    }
    ++classUsers;
    return true;
}

void releaseClass() {
    std::lock_guard<std::mutex> lock(classMutex);
    if (classUsers > 0 && --classUsers == 0) UnregisterClassW(frameClassName().c_str(), moduleInstance());
}


// Dots per inch as the system reports them to this thread: the window's where user32 can
// say (Windows 10 1607 on, looked up at run time so that older systems still load us),
// else the screen's. A host that is not DPI-aware gets 96 either way and the system scales
// its windows, ours included, itself: the editor then stays at 100 % rather than zooming
// twice. 0 when nothing answers.
UINT dotsPerInch(HWND hwnd) {
    static const auto forWindow = reinterpret_cast<UINT(WINAPI*)(HWND)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    static const auto forSystem = reinterpret_cast<UINT(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForSystem")));
    if (hwnd && forWindow) return forWindow(hwnd);
    if (!hwnd && forSystem) return forSystem();
    UINT dpi = 0;
    if (HDC dc = GetDC(hwnd)) {
        dpi = static_cast<UINT>(GetDeviceCaps(dc, LOGPIXELSX));
        ReleaseDC(hwnd, dc);
    }
    return dpi;
}

double scaleOf(UINT dpi) { return dpi > 0 ? dpi / 96.0 : 0.0; }

// The scale before any window of ours exists (a host asking effEditGetRect before opening).
double systemScaleWithoutWindow() { return scaleOf(dotsPerInch(nullptr)); }

// What the window procedure needs, apart from the platform frame: it outlives the frame
// while the procedure still runs (a host may close the editor from inside one of our
// messages, say from a modal loop), and the procedure holds a reference for each message.
struct WindowState {
    CFrame* frame = nullptr;  // null once the platform frame has gone
    HWND hwnd = nullptr;      // null once the window has gone
    HWND parent = nullptr;
    int references = 1;

    // The pointer.
    uint32_t buttons = 0;  // X button masks of the presses we saw and their releases not yet
    CPoint lastPoint{-1, -1};
    bool tracking = false;  // a TrackMouseEvent leave is armed
    WheelAccumulator wheel, hwheel;

    // Keys. A key that types is decided by its character (WM_CHAR), so its key-down waits
    // for it; a key decided at its key-down makes its character go nowhere.
    MSG waitingKey{};
    bool keyWaits = false;
    bool swallowCharacter = false;
    wchar_t pendingHigh = 0;
    std::bitset<256> forwardedDown;  // keys whose key-down went to the host

    // The keyboard focus lent to us while a text is edited.
    bool focusLent = false;
    HWND focusLender = nullptr;

    // X11's primary selection, which Windows does not have: a clipboard of the window's own.
    std::string selection;

    std::vector<std::function<void()>> posted;

    void retain() { ++references; }
    void release() {
        if (--references == 0) delete this;
    }
};

WindowState* stateOf(HWND hwnd) {
    if (!hwnd || GetWindowLongPtrW(hwnd, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(windowProc)) return nullptr;
    return reinterpret_cast<WindowState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

bool altHeld() { return GetKeyState(VK_MENU) < 0; }

// Keys the editor does not use are the host's: hosts read their shortcuts (the transport's
// space bar) from their own window's messages. Posted, so that they pass the host's message
// loop and its accelerators as if typed there; only key-downs and key-ups, as the host's
// loop makes the characters of them itself.
void forwardToHost(WindowState& s, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!s.parent || !IsWindow(s.parent)) return;
    const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    if (wParam < 256) {
        if (down)
            s.forwardedDown.set(wParam);
        else if (!s.forwardedDown.test(wParam))
            return;  // its key-down was ours
        else
            s.forwardedDown.reset(wParam);
    }
    PostMessageW(s.parent, message, wParam, lParam);
}

bool characterFollows(HWND hwnd) {
    MSG m;
    return PeekMessageW(&m, hwnd, WM_CHAR, WM_DEADCHAR, PM_NOREMOVE) ||
           PeekMessageW(&m, hwnd, WM_SYSCHAR, WM_SYSDEADCHAR, PM_NOREMOVE);
}

VstKeyCode keyWithModifiers() {
    VstKeyCode key{0, 0, 0};
    key.modifier = keyModifiers(GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0, altHeld());
    return key;
}

bool keyUsed(WindowState& s, VstKeyCode& key) {
    CFrame* frame = s.frame;
    if (!frame) return true;
    CBaseObjectGuard guard(frame);
    return frame->onKeyDown(key) == 1;
}

void keyDown(WindowState& s, UINT message, WPARAM wParam, LPARAM lParam) {
    s.keyWaits = false;
    s.swallowCharacter = false;
    if (isModifierKey(wParam)) {
        forwardToHost(s, message, wParam, lParam);
        return;
    }
    VstKeyCode key = keyWithModifiers();
    key.virt = virtualKeyOf(wParam, (lParam & (1 << 24)) != 0);
    if (!key.virt) {
        const bool control = (key.modifier & MODIFIER_CONTROL) != 0, alt = (key.modifier & MODIFIER_ALTERNATE) != 0;
        // Ctrl or Alt alone make a shortcut, read from the key; both are AltGr, which types.
        if (control != alt) key.character = shortcutCharacter(wParam);
        if (!key.character) {
            if (characterFollows(s.hwnd)) {
                s.waitingKey = MSG{s.hwnd, message, wParam, lParam, 0, {0, 0}};
                s.keyWaits = true;
            } else {
                forwardToHost(s, message, wParam, lParam);
            }
            return;
        }
    }
    const HWND hwnd = s.hwnd;
    const bool used = keyUsed(s, key);
    if (!s.frame) return;
    if (characterFollows(hwnd)) s.swallowCharacter = true;
    if (!used) forwardToHost(s, message, wParam, lParam);
}

void keyUp(WindowState& s, UINT message, WPARAM wParam, LPARAM lParam) {
    if (const VstInt32 virt = virtualKeyOf(wParam, (lParam & (1 << 24)) != 0)) {
        VstKeyCode key = keyWithModifiers();
        key.virt = virt;
        if (CFrame* frame = s.frame) {
            CBaseObjectGuard guard(frame);
            frame->onKeyUp(key);
        }
        if (!s.frame) return;
    }
    forwardToHost(s, message, wParam, lParam);
}

void character(WindowState& s, WPARAM wParam) {
    if (s.swallowCharacter) {
        s.swallowCharacter = false;
        return;
    }
    const int32_t c = characterOf(static_cast<wchar_t>(wParam), s.pendingHigh);
    if (!c) return;  // half a pair: the other half follows
    VstKeyCode key = keyWithModifiers();
    key.character = c;
    const bool waited = s.keyWaits;
    const MSG down = s.waitingKey;
    s.keyWaits = false;
    const bool used = keyUsed(s, key);
    if (!s.frame) return;
    if (!used && waited) forwardToHost(s, down.message, down.wParam, down.lParam);
}

// The pointer left with no button held: the frame's hover ends.
void leave(WindowState& s) {
    if (CFrame* frame = s.frame) {
        CBaseObjectGuard guard(frame);
        frame->rawLeave();
    }
}

void mouse(WindowState& s, UINT message, WPARAM wParam, LPARAM lParam) {
    CFrame* frame = s.frame;
    CBaseObjectGuard guard(frame);
    const HWND hwnd = s.hwnd;
    const CPoint where(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    const uint32_t time = static_cast<uint32_t>(GetMessageTime());
    const uint32_t state = xStateOf(wParam, altHeld());
    s.lastPoint = where;
    if (message == WM_MOUSEMOVE) {
        if (!s.tracking) {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
            s.tracking = TrackMouseEvent(&track) != FALSE;
        }
        frame->rawMove(state, where, time);
        return;
    }
    const int button = buttonOf(message);
    const uint32_t mask = input::xButtonMask(button);
    if (isButtonDown(message)) {
        // Moves and the release come to us for as long as a button is held, wherever the
        // pointer goes, so that a drag ends where it started.
        if (!s.buttons) SetCapture(hwnd);
        s.buttons |= mask;
        frame->rawPress(button, state & ~mask, where, time);
        return;
    }
    if (!(s.buttons & mask)) return;  // pressed outside, released here: not ours
    s.buttons &= ~mask;
    frame->rawRelease(button, state | mask, where, time);
    if (s.buttons || !s.frame) return;
    if (GetCapture() == hwnd) ReleaseCapture();
    // Released outside: the leave that was due while the button was held comes now.
    POINT cursor;
    RECT client;
    if (GetCursorPos(&cursor) && ScreenToClient(hwnd, &cursor) && GetClientRect(hwnd, &client) &&
        !PtInRect(&client, cursor)) {
        s.tracking = false;
        leave(s);
    }
}

void wheel(WindowState& s, UINT message, WPARAM wParam, LPARAM lParam) {
    CFrame* frame = s.frame;
    CBaseObjectGuard guard(frame);
    POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};  // screen coordinates here
    ScreenToClient(s.hwnd, &p);
    const bool vertical = message == WM_MOUSEWHEEL;
    int notches = (vertical ? s.wheel : s.hwheel).add(GET_WHEEL_DELTA_WPARAM(wParam));
    // As X numbers them: 4 up, 5 down, 6 left, 7 right (a positive horizontal delta is right).
    const int button = vertical ? (notches > 0 ? 4 : 5) : (notches > 0 ? 7 : 6);
    const uint32_t state = xStateOf(GET_KEYSTATE_WPARAM(wParam), altHeld());
    for (int n = std::abs(notches); n > 0 && s.frame; --n)
        frame->rawPress(button, state, CPoint(p.x, p.y), static_cast<uint32_t>(GetMessageTime()));
}

// Capture taken away mid-drag (another window took it, a dialog opened): the drag ends as
// if the buttons were released where the pointer was last seen.
void captureLost(WindowState& s) {
    CFrame* frame = s.frame;
    CBaseObjectGuard guard(frame);
    for (int button = 1; button <= 3 && s.frame; ++button) {
        const uint32_t mask = input::xButtonMask(button);
        if (!(s.buttons & mask)) continue;
        s.buttons &= ~mask;
        frame->rawRelease(button, s.buttons | mask, s.lastPoint, static_cast<uint32_t>(GetMessageTime()));
    }
    s.buttons = 0;
}

void paint(WindowState& s) {
    // What is dirty is drawn first, so that a window shown before the first idle shows the
    // panel rather than black.
    if (CFrame* frame = s.frame) {
        CBaseObjectGuard guard(frame);
        frame->redrawDirty();
    }
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(s.hwnd, &ps);
    if (dc && s.frame) {
        if (HDC source = gdiplus::memoryDcOf(s.frame->getBackBuffer())) {
            const RECT& r = ps.rcPaint;
            BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, source, r.left, r.top, SRCCOPY);
        }
    }
    EndPaint(s.hwnd, &ps);
}

void runPosted(WindowState& s) {
    std::vector<std::function<void()>> calls;
    calls.swap(s.posted);
    for (auto& call : calls) {
        if (!s.frame) break;
        call();
    }
}

// True when handled, with the answer in `result`.
bool handle(WindowState& s, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    switch (message) {
        case WM_ERASEBKGND: result = 1; return true;  // the paint covers everything: no flicker
        case WM_PAINT: paint(s); return true;
        case WM_GETDLGCODE: result = DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTTAB; return true;
        case kRunPosted: runPosted(s); return true;
        default: break;
    }
    if (!s.frame) return false;
    switch (message) {
        case WM_TIMER:
            if (wParam != kIdleTimer) return false;
            {
                CFrame* frame = s.frame;
                CBaseObjectGuard guard(frame);
                frame->idle();
            }
            return true;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_LBUTTONUP:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK:
        case WM_MBUTTONUP:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
        case WM_RBUTTONUP: mouse(s, message, wParam, lParam); return true;
        case WM_MOUSEWHEEL:
        case WM_MOUSEHWHEEL: wheel(s, message, wParam, lParam); return true;
        case WM_MOUSELEAVE:
            s.tracking = false;
            if (!s.buttons) leave(s);
            return true;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != s.hwnd && s.buttons) captureLost(s);
            return true;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: keyDown(s, message, wParam, lParam); return true;
        case WM_KEYUP:
        case WM_SYSKEYUP: keyUp(s, message, wParam, lParam); return true;
        case WM_CHAR:
        case WM_SYSCHAR: character(s, wParam); return true;
        case WM_DEADCHAR:
        case WM_SYSDEADCHAR: return true;  // the system joins it with the next key
        case WM_DPICHANGED:
        case WM_DPICHANGED_AFTERPARENT:
            // Moved to a monitor of another DPI: the editor follows unless the user chose a
            // zoom, and asks the host for the size that goes with it.
            if (const double scale = scaleOf(dotsPerInch(s.hwnd))) {
                CFrame* frame = s.frame;
                CBaseObjectGuard guard(frame);
                frame->platformOnSystemScaleChanged(scale);
            }
            return true;
        case WM_KILLFOCUS:
            s.wheel.reset();
            s.hwheel.reset();
            return false;
        default: return false;
    }
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* created = reinterpret_cast<WindowState*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->hwnd = hwnd;
        created->retain();  // the window's reference, given back at WM_NCDESTROY
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* s = reinterpret_cast<WindowState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!s) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        s->hwnd = nullptr;
        s->posted.clear();
        s->release();
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    s->retain();
    LRESULT result = 0;
    const bool handled = handle(*s, message, wParam, lParam, result);
    s->release();
    return handled ? result : DefWindowProcW(hwnd, message, wParam, lParam);
}

std::optional<std::string> utf8(const wchar_t* text, size_t length) {
    return platform::toUtf8(std::wstring(text, length));
}

class Win32Frame : public IPlatformFrame {
public:
    explicit Win32Frame(CFrame* frame) : s(new WindowState) { s->frame = frame; }
    ~Win32Frame() override {
        s->frame = nullptr;
        if (HWND hwnd = s->hwnd) {
            KillTimer(hwnd, kIdleTimer);
            if (GetCapture() == hwnd) ReleaseCapture();
            DestroyWindow(hwnd);
        }
        s->posted.clear();
        s->release();
        if (classHeld) releaseClass();
    }

    bool open(HWND parent) {
        if (!parent || !IsWindow(parent)) return false;
        classHeld = acquireClass();
        if (!classHeld) return false;
        s->parent = parent;
        const IPlatformBackBuffer& buffer = s->frame->getBackBuffer();
        CreateWindowExW(0, frameClassName().c_str(), L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0,
                        0, buffer.getWidth(), buffer.getHeight(), parent, nullptr, moduleInstance(), s);
        if (!s->hwnd) return false;
        SetTimer(s->hwnd, kIdleTimer, kIdleTimerMs, nullptr);
        return true;
    }

    void pump() override {}  // the host's message loop dispatches our messages

    void present(IPlatformBackBuffer& backBuffer, const CRect& rect) override {
        if (!s->hwnd) return;
        const CRect device = backBuffer.deviceRect(rect);
        const RECT r{static_cast<LONG>(device.left), static_cast<LONG>(device.top), static_cast<LONG>(device.right),
                     static_cast<LONG>(device.bottom)};
        InvalidateRect(s->hwnd, &r, FALSE);
    }

    uint32_t getTicks() override { return monotonicTicks(); }

    void takeKeyboardFocus() override {
        s->focusLent = false;  // ours for good: nothing to give back
        if (s->hwnd && IsWindowVisible(s->hwnd)) SetFocus(s->hwnd);
    }

    void borrowKeyboardFocus() override {
        if (!s->hwnd || !IsWindowVisible(s->hwnd)) return;
        const HWND focused = GetFocus();
        if (focused == s->hwnd) return;  // ours already (kept, or lent and not yet given back)
        s->focusLent = true;
        s->focusLender = focused;
        SetFocus(s->hwnd);
    }

    void returnKeyboardFocus() override {
        if (!s->hwnd || !s->focusLent) return;
        s->focusLent = false;
        // Only if it is still ours: a click into another window has moved it on.
        if (GetFocus() == s->hwnd && s->focusLender && IsWindow(s->focusLender)) SetFocus(s->focusLender);
    }

    void setClipboard(ClipboardKind kind, const std::string& text) override {
        if (kind == ClipboardKind::Selection) {
            s->selection = text;
            return;
        }
        const std::wstring w = platform::toWideOrEmpty(text);
        if (!s->hwnd || !openClipboard()) return;
        EmptyClipboard();
        if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (w.size() + 1) * sizeof(wchar_t))) {
            if (auto* p = static_cast<wchar_t*>(GlobalLock(memory))) {
                std::copy(w.begin(), w.end(), p);
                p[w.size()] = 0;
                GlobalUnlock(memory);
            }
            // The system owns the memory once it holds it.
            if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
        }
        CloseClipboard();
    }

    void requestClipboard(ClipboardKind kind, ClipboardReceiver receive) override {
        if (!receive) return;
        if (kind == ClipboardKind::Selection) {
            receive(s->selection);
            return;
        }
        std::string text;
        if (s->hwnd && IsClipboardFormatAvailable(CF_UNICODETEXT) && openClipboard()) {
            if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
                if (auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
                    // Up to the terminator, and never past the memory's end.
                    const size_t units = GlobalSize(data) / sizeof(wchar_t);
                    size_t n = 0;
                    while (n < units && p[n]) ++n;
                    text = utf8(p, n).value_or(std::string());
                    GlobalUnlock(data);
                }
            }
            CloseClipboard();
        }
        receive(text);
    }

    bool showMessage(const std::string& caption, const std::string& text) override {
        if (!s->hwnd) return false;
        const HWND owner = s->hwnd;
        return post(owner, [owner, caption, text] {
            MessageBoxW(owner, platform::toWideOrEmpty(text).c_str(), platform::toWideOrEmpty(caption).c_str(), MB_OK);
        });
    }

    void* getNativeHandle() const override { return s->hwnd; }

    double systemScale() override { return scaleOf(dotsPerInch(s->hwnd)); }

    void setSize(int32_t width, int32_t height) override {
        if (!s->hwnd || width <= 0 || height <= 0) return;
        SetWindowPos(s->hwnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(s->hwnd, nullptr, FALSE);
    }

private:
    // Another program may hold the clipboard open for a moment.
    bool openClipboard() {
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (OpenClipboard(s->hwnd)) return true;
            Sleep(2);
        }
        return false;
    }

    WindowState* s;
    bool classHeld = false;
};

}  // namespace

std::wstring frameClassName() {
    wchar_t name[48];
    std::swprintf(name, sizeof name / sizeof name[0], L"VantelFrame%p", static_cast<void*>(moduleInstance()));
    return name;
}

bool post(HWND window, std::function<void()> call) {
    WindowState* s = stateOf(window);
    if (!s || !s->frame || !call) return false;
    s->posted.push_back(std::move(call));
    if (s->posted.size() == 1 && !PostMessageW(window, kRunPosted, 0, 0)) {
        s->posted.clear();
        return false;
    }
    return true;
}

}  // namespace win32

IPlatformFrame* createWin32PlatformFrame(CFrame* frame, void* parent, const CRect&) {
    auto* platform = new win32::Win32Frame(frame);
    if (!platform->open(static_cast<HWND>(parent))) {
        delete platform;
        return nullptr;
    }
    return platform;
}

void useWin32Platform() {
    PlatformFactory::setDefault(createWin32PlatformFrame);
    PlatformFactory::setDefaultScaleQuery(win32::systemScaleWithoutWindow);
    CNewFileSelector::setDefaultRunner(win32::fileDialogRunner());
}

}  // namespace VSTGUI
