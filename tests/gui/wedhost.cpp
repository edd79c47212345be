// wedhost: a scripted Windows host for the plug-in's editor, the twin of edhost (the X11
// one) with the same commands. It loads the built DLL with the test-host library as a DAW
// does and drives it from commands on stdin:
//
//   wedhost [--mta] [--dpi-aware] PLUGIN.dll [LOGFILE]
//
// - a top-level window ("wedhost 1") at (0, 100), a second one for a second instance, each
//   sized as effEditGetRect answers before and after the editor opens ("rect W H" in the
//   log) and whenever the editor asks (audioMasterSizeWindow, logged and granted); the plug-in activated at 48 kHz with 256-frame blocks, an audio thread
//   processing silence at about real time;
// - the editor opened into the window (effEditOpen, the HWND as ptr), then effEditIdle
//   every 25 ms from a timer of this (the GUI) thread, each call timed;
// - every host callback appended to the log, as edhost writes it ("@2 " for the second
//   instance); and "hostkey VK" for each key-down that reaches a host window;
// - --mta: COM initialised on the GUI thread as multithreaded before anything loads, as
//   some hosts do, so that the plug-in's own initialisation meets RPC_E_CHANGED_MODE.
// - --dpi-aware: the process per-monitor DPI aware, so that windows get the screen's DPI.
//
// Commands are read by a thread of their own and run on the GUI thread from a posted
// message, so they are answered while the plug-in shows a modal dialog too. On start it
// prints "READY child=<hwnd> parent=<hwnd>" (decimal handles). Each command gets one line:
//   param N | set N V | name | pname I | idle N | pause | resume   as edhost
//   shot FILE             SHOT FILE     (the host window's client area, as PNG)
//   same FILE X Y W H     SAME <pixels differing from that rectangle of FILE> (retried for
//                         half a second while they differ)
//   close                 CLOSED children=<left in the window>
//   reopen                OPENED <1|0> child=<hwnd>
//   second [PLUGIN]       SECOND child=<hwnd> window=<hwnd>   (PLUGIN: another copy of the DLL)
//   rect                  RECT <effEditGetRect's width> <height> window <client width> <height>
//   stats                 STATS maxidle=<ms> idles=<count> gdi=<n> dcs=<n> timers=<n> windows=<n>
//                         classes=<n>   (what the plug-in made through its imports and has
//                         not given back, counted by hooks on the DLL's import table: GDI
//                         objects, device contexts, timers, windows, window classes)
//   windows               WINDOWS children=<n> ours=<n> toplevel=<n>  (children of the host
//                         windows, windows of the plug-in's frame class anywhere, top-level
//                         windows of this process that are not the host's)
//   focus                 FOCUS child|host|none  (the window with the keyboard focus)
//   dialog PATH|cancel    DIALOG <title>  (the open file dialog: PATH typed into its name
//                         box and OK pressed, or Cancel; ERR when none is open)
//   message               MESSAGE <caption>|<text>  (the message box shown, then closed)
//   quit                  QUIT children=<left>, then exit
// "@2 " before a command addresses the second instance. The exit status is 0 only if no
// editor window was left behind.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ScriptedHost.h"
#include "TestHost.h"
#include "core/graphics.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 942, kHeight = 171;
constexpr float kSampleRate = 48000.0f;
constexpr int kBlock = 256;
constexpr UINT kIdlePeriodMs = 25;
constexpr UINT_PTR kIdleTimer = 1;
constexpr UINT kCommandMessage = WM_APP + 7;
const wchar_t* const kHostClass = L"WedhostWindow";

// ------------------------------------------------------------------------- import hooks

// What the plug-in made through its imports and has not given back. Only the GUI thread
// makes windows, timers and GDI objects, but the hooks are plain functions: a lock keeps
// them right whatever thread calls.
struct Counts {
    std::mutex mutex;
    std::set<HGDIOBJ> gdi;
    std::set<HDC> dcs;
    std::set<std::pair<HWND, UINT_PTR>> timers;
    std::set<HWND> windows;
    int classes = 0;
} counts;

template <typename T>
void note(std::set<T>& set, T value, bool made) {
    if (value == T{}) return;
    std::lock_guard<std::mutex> lock(counts.mutex);
    if (made)
        set.insert(value);
    else
        set.erase(value);
}

#define ORIGINAL(name) static decltype(&::name) original_##name = ::name

ORIGINAL(CreateCompatibleDC);
ORIGINAL(CreateDIBSection);
ORIGINAL(CreateFontW);
ORIGINAL(DeleteDC);
ORIGINAL(DeleteObject);
ORIGINAL(GetDC);
ORIGINAL(ReleaseDC);
ORIGINAL(SetTimer);
ORIGINAL(KillTimer);
ORIGINAL(CreateWindowExW);
ORIGINAL(DestroyWindow);
ORIGINAL(RegisterClassExW);
ORIGINAL(UnregisterClassW);

HDC WINAPI hookCreateCompatibleDC(HDC dc) {
    HDC made = original_CreateCompatibleDC(dc);
    note<HGDIOBJ>(counts.gdi, made, true);
    return made;
}
HBITMAP WINAPI hookCreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                    DWORD offset) {
    HBITMAP made = original_CreateDIBSection(dc, info, usage, bits, section, offset);
    note<HGDIOBJ>(counts.gdi, made, true);
    return made;
}
HFONT WINAPI hookCreateFontW(int h, int w, int e, int o, int weight, DWORD italic, DWORD underline, DWORD strike,
                             DWORD charset, DWORD precision, DWORD clip, DWORD quality, DWORD pitch, LPCWSTR face) {
    HFONT made = original_CreateFontW(h, w, e, o, weight, italic, underline, strike, charset, precision, clip, quality,
                                      pitch, face);
    note<HGDIOBJ>(counts.gdi, made, true);
    return made;
}
BOOL WINAPI hookDeleteDC(HDC dc) {
    note<HGDIOBJ>(counts.gdi, dc, false);
    return original_DeleteDC(dc);
}
BOOL WINAPI hookDeleteObject(HGDIOBJ object) {
    note<HGDIOBJ>(counts.gdi, object, false);
    return original_DeleteObject(object);
}
HDC WINAPI hookGetDC(HWND hwnd) {
    HDC dc = original_GetDC(hwnd);
    note<HDC>(counts.dcs, dc, true);
    return dc;
}
int WINAPI hookReleaseDC(HWND hwnd, HDC dc) {
    note<HDC>(counts.dcs, dc, false);
    return original_ReleaseDC(hwnd, dc);
}
UINT_PTR WINAPI hookSetTimer(HWND hwnd, UINT_PTR id, UINT ms, TIMERPROC proc) {
    UINT_PTR made = original_SetTimer(hwnd, id, ms, proc);
    if (made) note(counts.timers, std::make_pair(hwnd, hwnd ? id : made), true);
    return made;
}
BOOL WINAPI hookKillTimer(HWND hwnd, UINT_PTR id) {
    note(counts.timers, std::make_pair(hwnd, id), false);
    return original_KillTimer(hwnd, id);
}
HWND WINAPI hookCreateWindowExW(DWORD exStyle, LPCWSTR cls, LPCWSTR name, DWORD style, int x, int y, int w, int h,
                                HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    HWND made = original_CreateWindowExW(exStyle, cls, name, style, x, y, w, h, parent, menu, instance, param);
    note(counts.windows, made, true);
    return made;
}
BOOL WINAPI hookDestroyWindow(HWND hwnd) {
    note(counts.windows, hwnd, false);
    return original_DestroyWindow(hwnd);
}
ATOM WINAPI hookRegisterClassExW(const WNDCLASSEXW* wc) {
    ATOM atom = original_RegisterClassExW(wc);
    if (atom) {
        std::lock_guard<std::mutex> lock(counts.mutex);
        ++counts.classes;
    }
    return atom;
}
BOOL WINAPI hookUnregisterClassW(LPCWSTR name, HINSTANCE instance) {
    BOOL done = original_UnregisterClassW(name, instance);
    if (done) {
        std::lock_guard<std::mutex> lock(counts.mutex);
        --counts.classes;
    }
    return done;
}

// Points the module's import-table entries of these functions at the hooks above.
void hookImports(HMODULE module) {
    struct Hook {
        const char* name;
        void* hook;
    };
    static const Hook hooks[] = {
        {"CreateCompatibleDC", reinterpret_cast<void*>(hookCreateCompatibleDC)},
        {"CreateDIBSection", reinterpret_cast<void*>(hookCreateDIBSection)},
        {"CreateFontW", reinterpret_cast<void*>(hookCreateFontW)},
        {"DeleteDC", reinterpret_cast<void*>(hookDeleteDC)},
        {"DeleteObject", reinterpret_cast<void*>(hookDeleteObject)},
        {"GetDC", reinterpret_cast<void*>(hookGetDC)},
        {"ReleaseDC", reinterpret_cast<void*>(hookReleaseDC)},
        {"SetTimer", reinterpret_cast<void*>(hookSetTimer)},
        {"KillTimer", reinterpret_cast<void*>(hookKillTimer)},
        {"CreateWindowExW", reinterpret_cast<void*>(hookCreateWindowExW)},
        {"DestroyWindow", reinterpret_cast<void*>(hookDestroyWindow)},
        {"RegisterClassExW", reinterpret_cast<void*>(hookRegisterClassExW)},
        {"UnregisterClassW", reinterpret_cast<void*>(hookUnregisterClassW)},
    };
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress) return;
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d) {
        if (!d->OriginalFirstThunk) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const char* name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name;
            for (const Hook& h : hooks) {
                if (std::strcmp(name, h.name) != 0) continue;
                DWORD old;
                VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
                slots->u1.Function = reinterpret_cast<ULONG_PTR>(h.hook);
                VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
            }
        }
    }
}

// ------------------------------------------------------------------------- the host

struct Instance {
    std::unique_ptr<testhost::Plugin> plugin;
    HWND window = nullptr;
    bool editorOpen = false;
    int idles = 0;
    double maxIdleMs = 0.0;
};

class Host {
public:
    int run(const std::string& pluginPath, const std::string& logPath);
    LRESULT windowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    std::optional<VstIntPtr> onCallback(testhost::Plugin* plugin, const testhost::HostCall& call);
    int instanceOf(const testhost::Plugin* plugin) const;
    void log(int instance, const std::string& line);
    void audioLoop();
    void stopAudio();

    HWND createWindow(int number, int y);
    bool openEditor(Instance& in);
    void idleOnce(Instance& in);
    void runFor(DWORD ms);
    HWND childOf(HWND window) const;
    int childrenOf(HWND window) const;

    void readCommands();
    void runCommands();
    std::string handle(const std::string& line);
    std::string command(Instance& in, std::istringstream& args, const std::string& name);
    std::string compare(Instance& in, const std::string& file, int x, int y, int w, int h);
    std::string windows() const;
    std::string dialog(std::istringstream& args);
    std::string message();
    std::string loadSecond(const std::string& path);
    std::string quit();

    testhost::TestHost host_;
    std::string pluginPath_;
    Instance inst_[2];
    std::atomic<const testhost::Plugin*> known_[2]{};
    std::atomic<int> loading_{1};
    FILE* log_ = nullptr;
    std::mutex logMutex_;

    std::thread audio_;
    std::atomic<bool> audioStop_{false};
    std::atomic<int> active_{0};
    std::atomic<double> samplePos_{0.0};

    std::thread reader_;
    std::mutex commandMutex_;
    std::deque<std::string> commands_;
    bool running_ = false;  // a command is being run (one at a time, even from nested loops)
    bool paused_ = false;
    bool quitting_ = false;
    int exitStatus_ = 1;
    HWND commandWindow_ = nullptr;
};

Host* theHost = nullptr;

LRESULT CALLBACK hostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return theHost ? theHost->windowMessage(hwnd, message, wParam, lParam)
                   : DefWindowProcW(hwnd, message, wParam, lParam);
}

int Host::instanceOf(const testhost::Plugin* plugin) const {
    for (int i = 0; i < 2; ++i)
        if (plugin && known_[i].load() == plugin) return i + 1;
    return loading_.load();
}

void Host::log(int instance, const std::string& line) {
    std::lock_guard<std::mutex> lock(logMutex_);
    if (!log_) return;
    std::fprintf(log_, "%s%s\n", instance == 2 ? "@2 " : "", line.c_str());
    std::fflush(log_);
}

std::optional<VstIntPtr> Host::onCallback(testhost::Plugin* plugin, const testhost::HostCall& call) {
    log(instanceOf(plugin), scripted::logLine(call));
    if (call.opcode == audioMasterSizeWindow) {
        // The editor asks from the GUI thread (its zoom menu): the window takes the size.
        const Instance& in = inst_[instanceOf(plugin) == 2 ? 1 : 0];
        if (!in.window || call.index <= 0 || call.value <= 0) return 0;
        SetWindowPos(in.window, nullptr, 0, 0, call.index, static_cast<int>(call.value),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 1;
    }
    if (call.opcode == audioMasterGetTime)
        return scripted::timeInfoAt(samplePos_.load(std::memory_order_relaxed), kSampleRate);
    return std::nullopt;
}

void Host::audioLoop() {
    std::vector<testhost::Channels<float>> inputs(2), outputs(2);
    const auto period =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(kBlock / kSampleRate));
    auto next = Clock::now();
    while (!audioStop_.load()) {
        const int active = active_.load();
        for (int i = 0; i < active; ++i) {
            testhost::Plugin& p = *inst_[i].plugin;
            inputs[i].assign(static_cast<size_t>(std::max(0, p.effect()->numInputs)), std::vector<float>(kBlock, 0.0f));
            outputs[i].assign(static_cast<size_t>(std::max(0, p.effect()->numOutputs)),
                              std::vector<float>(kBlock, 0.0f));
            p.processReplacing(inputs[i], outputs[i], kBlock);
        }
        samplePos_.store(samplePos_.load() + kBlock);
        next += period;
        const auto now = Clock::now();
        if (next < now - 4 * period) next = now;
        std::this_thread::sleep_until(next);
    }
}

void Host::stopAudio() {
    if (!audio_.joinable()) return;
    audioStop_ = true;
    audio_.join();
}

HWND Host::createWindow(int number, int y) {
    const std::wstring title = L"wedhost " + std::to_wstring(number);
    // A popup: its client area is the whole window, at a known place on the screen.
    HWND hwnd = CreateWindowExW(0, kHostClass, title.c_str(), WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, y, kWidth,
                                kHeight, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(hwnd);
    return hwnd;
}

// The editor's size as effEditGetRect answers it (0 x 0 for none).
std::pair<int, int> editorSize(testhost::Plugin& plugin) {
    ERect* rect = nullptr;
    plugin.dispatch(effEditGetRect, 0, 0, &rect);
    if (!rect) return {0, 0};
    return {rect->right - rect->left, rect->bottom - rect->top};
}

bool Host::openEditor(Instance& in) {
    // As hosts do: the window is sized as the editor answers, before and after it opens.
    auto fit = [&] {
        const auto [w, h] = editorSize(*in.plugin);
        log(&in == &inst_[1] ? 2 : 1, "rect " + std::to_string(w) + " " + std::to_string(h));
        if (w > 0 && h > 0) SetWindowPos(in.window, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    };
    fit();
    const VstIntPtr opened = in.plugin->dispatch(effEditOpen, 0, 0, in.window);
    in.editorOpen = opened != 0;
    fit();
    runFor(150);  // the first idles and paints
    return in.editorOpen;
}

void Host::idleOnce(Instance& in) {
    if (!in.editorOpen) return;
    const auto start = Clock::now();
    in.plugin->dispatch(effEditIdle);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    in.maxIdleMs = std::max(in.maxIdleMs, ms);
    ++in.idles;
}

// Runs the message loop for a while (our idle timer included).
void Host::runFor(DWORD ms) {
    const DWORD end = GetTickCount() + ms;
    MSG msg;
    for (;;) {
        const DWORD now = GetTickCount();
        if (static_cast<int>(end - now) <= 0) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

HWND Host::childOf(HWND window) const { return window ? GetWindow(window, GW_CHILD) : nullptr; }

int Host::childrenOf(HWND window) const {
    int n = 0;
    for (HWND c = childOf(window); c; c = GetWindow(c, GW_HWNDNEXT)) ++n;
    return n;
}

LRESULT Host::windowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (wParam == kIdleTimer && !paused_) {
                for (Instance& in : inst_)
                    if (in.plugin) idleOnce(in);
                host_.clearCalls();
            }
            return 0;
        case kCommandMessage: runCommands(); return 0;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: log(hwnd == inst_[1].window ? 2 : 1, "hostkey " + std::to_string(wParam)); return 0;
        case WM_ERASEBKGND: {
            RECT r;
            GetClientRect(hwnd, &r);
            FillRect(reinterpret_cast<HDC>(wParam), &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
            return 1;
        }
        default: return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void Host::readCommands() {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    std::string pending;
    char buffer[1024];
    DWORD n = 0;
    for (;;) {
        const bool more = ReadFile(in, buffer, sizeof buffer, &n, nullptr) && n > 0;
        if (more) pending.append(buffer, n);
        size_t eol;
        std::vector<std::string> lines;
        while ((eol = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, eol);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
            pending.erase(0, eol + 1);
        }
        if (!more) lines.push_back("quit");  // the script went away: leave as if told to
        {
            std::lock_guard<std::mutex> lock(commandMutex_);
            for (auto& l : lines) commands_.push_back(l);
        }
        if (!lines.empty()) PostMessageW(commandWindow_, kCommandMessage, 0, 0);
        if (!more) return;
    }
}

void Host::runCommands() {
    if (running_) return;  // a modal loop inside a command: the rest waits for it
    running_ = true;
    for (;;) {
        std::string line;
        {
            std::lock_guard<std::mutex> lock(commandMutex_);
            if (commands_.empty() || quitting_) break;
            line = commands_.front();
            commands_.pop_front();
        }
        std::printf("%s\n", handle(line).c_str());
        std::fflush(stdout);
    }
    running_ = false;
}

// The window's client area as the screen shows it, in 32-bit pixels.
struct Capture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
};

Capture capture(HWND hwnd) {
    Capture c;
    RECT client{};
    GetClientRect(hwnd, &client);
    c.width = client.right;
    c.height = client.bottom;
    if (c.width <= 0 || c.height <= 0) return c;
    HDC window = GetDC(hwnd);
    HDC memory = CreateCompatibleDC(window);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, c.width, -c.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, c.width, c.height, window, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    c.pixels.assign(p, p + static_cast<size_t>(c.width) * c.height);
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(hwnd, window);
    return c;
}

std::string Host::compare(Instance& in, const std::string& file, int x, int y, int w, int h) {
    std::ifstream stream(file, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    VSTGUI::PlatformImagePtr reference = VSTGUI::platformGraphics().decodePng(bytes.data(), bytes.size());
    if (!reference) return "ERR cannot read " + file;
    const VSTGUI::PixelRows want = reference->pixels();
    if (x < 0 || y < 0 || w <= 0 || h <= 0 || x + w > want.width || y + h > want.height)
        return "ERR rectangle outside the image";
    long differing = 0;
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (attempt) runFor(kIdlePeriodMs);
        const Capture shown = capture(in.window);
        if (x + w > shown.width || y + h > shown.height) return "ERR rectangle outside the window";
        differing = 0;
        for (int row = y; row < y + h; ++row)
            for (int col = x; col < x + w; ++col)
                if ((shown.pixels[row * shown.width + col] & 0xffffff) != (want.at(col, row) & 0xffffff)) ++differing;
        if (differing == 0) break;
    }
    return "SAME " + std::to_string(differing);
}

std::string Host::windows() const {
    struct Tally {
        const Host* host;
        int ours = 0;
        int toplevel = 0;
        std::wstring prefix = L"VantelFrame";
    } tally{this};
    // Every top-level window of this process, and every window below it.
    EnumWindows(
        [](HWND hwnd, LPARAM p) -> BOOL {
            auto& t = *reinterpret_cast<Tally*>(p);
            DWORD process = 0;
            GetWindowThreadProcessId(hwnd, &process);
            if (process != GetCurrentProcessId()) return TRUE;
            wchar_t name[64] = {};
            GetClassNameW(hwnd, name, 64);
            // The host's own windows, and the system's hidden helpers (IME, message-only).
            const bool system = std::wcscmp(name, L"IME") == 0 || std::wcscmp(name, L"OleMainThreadWndClass") == 0;
            if (std::wcscmp(name, kHostClass) != 0 && !system) ++t.toplevel;
            if (std::wcsncmp(name, t.prefix.c_str(), t.prefix.size()) == 0) ++t.ours;
            EnumChildWindows(
                hwnd,
                [](HWND child, LPARAM q) -> BOOL {
                    auto& u = *reinterpret_cast<Tally*>(q);
                    wchar_t cls[64] = {};
                    GetClassNameW(child, cls, 64);
                    if (std::wcsncmp(cls, u.prefix.c_str(), u.prefix.size()) == 0) ++u.ours;
                    return TRUE;
                },
                p);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&tally));
    int children = 0;
    for (const Instance& in : inst_) children += childrenOf(in.window);
    return "WINDOWS children=" + std::to_string(children) + " ours=" + std::to_string(tally.ours) +
           " toplevel=" + std::to_string(tally.toplevel);
}

// The common item dialog is one of the process's top-level dialog windows (of this thread,
// or of the plug-in's own where this one is multithreaded); its name box (an edit control)
// and its buttons are its children. Everything is posted, so the dialog acts on it from
// its own loop.
HWND findDialog(std::wstring* title) {
    struct Found {
        HWND hwnd = nullptr;
    } found;
    EnumWindows(
        [](HWND hwnd, LPARAM p) -> BOOL {
            DWORD process = 0;
            GetWindowThreadProcessId(hwnd, &process);
            if (process != GetCurrentProcessId()) return TRUE;
            wchar_t cls[32] = {};
            GetClassNameW(hwnd, cls, 32);
            if (std::wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(hwnd)) return TRUE;
            reinterpret_cast<Found*>(p)->hwnd = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    if (found.hwnd && title) {
        wchar_t text[256] = {};
        GetWindowTextW(found.hwnd, text, 256);
        *title = text;
    }
    return found.hwnd;
}

std::string utf8(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::wstring wide(const std::string& s) {
    if (s.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::string Host::dialog(std::istringstream& args) {
    std::string path;
    std::getline(args >> std::ws, path);
    if (path.empty()) return "ERR usage: dialog PATH|cancel";
    std::wstring title;
    HWND dialog = nullptr;
    for (int attempt = 0; attempt < 100 && !(dialog = findDialog(&title)); ++attempt) runFor(50);
    if (!dialog) return "ERR no dialog";
    if (path == "cancel") {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    } else {
        // The name box: the first edit control that is visible (wine and Windows both keep it
        // inside a combo box at the dialog's bottom).
        struct Edit {
            HWND hwnd = nullptr;
        } edit;
        EnumChildWindows(
            dialog,
            [](HWND hwnd, LPARAM p) -> BOOL {
                wchar_t cls[32] = {};
                GetClassNameW(hwnd, cls, 32);
                if (std::wcscmp(cls, L"Edit") != 0 || !IsWindowVisible(hwnd)) return TRUE;
                reinterpret_cast<Edit*>(p)->hwnd = hwnd;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&edit));
        if (!edit.hwnd) return "ERR no name box";
        SendMessageW(edit.hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide(path).c_str()));
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    }
    // The dialog has ended once its window is hidden. It is destroyed, and the plug-in
    // hears its answer, only when its modal loop (which runs this command) gets control
    // back: the script waits for what the answer does.
    for (int attempt = 0; attempt < 100 && IsWindowVisible(dialog); ++attempt) runFor(50);
    if (IsWindowVisible(dialog)) return "ERR the dialog stayed open";
    return "DIALOG " + utf8(title);
}

std::string Host::message() {
    std::wstring caption;
    HWND box = nullptr;
    for (int attempt = 0; attempt < 100 && !(box = findDialog(&caption)); ++attempt) runFor(50);
    if (!box) return "ERR no message box";
    // The text is the static control's that is not the icon.
    std::wstring text;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t cls[32] = {}, t[256] = {};
        GetClassNameW(c, cls, 32);
        GetWindowTextW(c, t, 256);
        if (std::wcscmp(cls, L"Static") == 0 && t[0]) text = t;
    }
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    for (int attempt = 0; attempt < 100 && IsWindowVisible(box); ++attempt) runFor(50);
    return "MESSAGE " + utf8(caption) + "|" + utf8(text);
}

std::string Host::loadSecond(const std::string& path) {
    if (inst_[1].plugin) return "ERR the second instance is loaded already";
    Instance& in = inst_[1];
    loading_ = 2;
    try {
        in.plugin = host_.load(path.empty() ? pluginPath_ : path);
    } catch (const std::exception& e) {
        loading_ = 1;
        return std::string("ERR ") + e.what();
    }
    known_[1] = in.plugin.get();
    in.plugin->activate(kSampleRate, kBlock);
    active_ = 2;
    in.window = createWindow(2, 100 + kHeight + 30);
    openEditor(in);
    return "SECOND child=" + std::to_string(reinterpret_cast<uintptr_t>(childOf(in.window))) +
           " window=" + std::to_string(reinterpret_cast<uintptr_t>(in.window));
}

std::string Host::quit() {
    for (Instance& in : inst_)
        if (in.plugin && in.editorOpen) in.plugin->dispatch(effEditClose);
    stopAudio();
    int left = 0;
    for (Instance& in : inst_) {
        if (!in.plugin) continue;
        in.editorOpen = false;
        left += childrenOf(in.window);
        in.plugin.reset();
    }
    for (Instance& in : inst_)
        if (in.window) DestroyWindow(in.window);
    quitting_ = true;
    exitStatus_ = left == 0 ? 0 : 1;
    PostQuitMessage(0);
    return "QUIT children=" + std::to_string(left);
}

std::string Host::handle(const std::string& line) {
    std::istringstream args(line);
    std::string name;
    if (!(args >> name)) return "ERR empty command";
    int number = 1;
    if (name == "@2") {
        number = 2;
        if (!(args >> name)) return "ERR empty command";
    }
    if (name == "pause" || name == "resume") {
        paused_ = name == "pause";
        return "OK";
    }
    if (name == "second") {
        std::string path;
        std::getline(args >> std::ws, path);
        return loadSecond(path);
    }
    if (name == "quit") return quit();
    if (name == "windows") return windows();
    if (name == "dialog") return dialog(args);
    if (name == "message") return message();
    if (name == "focus") {
        const HWND focused = GetFocus();
        if (!focused) return "FOCUS none";
        for (const Instance& in : inst_) {
            if (!in.window) continue;
            if (focused == in.window) return "FOCUS host";
            if (IsChild(in.window, focused)) return "FOCUS child";
        }
        return "FOCUS other";
    }
    Instance& in = inst_[number - 1];
    if (!in.plugin) return "ERR no instance " + std::to_string(number);
    return command(in, args, name);
}

std::string Host::command(Instance& in, std::istringstream& args, const std::string& name) {
    testhost::Plugin& p = *in.plugin;
    char text[400];
    if (auto answer = scripted::query(p, name, args)) return *answer;
    if (name == "set") {
        int index;
        float value;
        if (!(args >> index >> value)) return "ERR usage: set N V";
        p.setParameter(index, value);
        return "OK";
    }
    if (name == "idle") {
        int count;
        if (!(args >> count) || count < 0) return "ERR usage: idle N";
        for (int i = 0; i < count; ++i) {
            if (i) Sleep(kIdlePeriodMs);
            idleOnce(in);
        }
        return "OK";
    }
    if (name == "shot" || name == "same") {
        std::string file;
        if (!(args >> file)) return "ERR usage: " + name + " FILE";
        if (name == "same") {
            int x, y, w, h;
            if (!(args >> x >> y >> w >> h)) return "ERR missing rectangle X Y W H";
            return compare(in, file, x, y, w, h);
        }
        runFor(50);  // what is painted now is what the window shows
        Capture shown = capture(in.window);
        for (uint32_t& px : shown.pixels) px |= 0xff000000u;
        auto image = VSTGUI::platformGraphics().createImage(shown.width, shown.height, shown.pixels.data(), true);
        if (!image || !VSTGUI::platformGraphics().writePng(*image, file)) return "ERR cannot write " + file;
        return "SHOT " + file;
    }
    if (name == "close") {
        if (in.editorOpen) p.dispatch(effEditClose);
        in.editorOpen = false;
        return "CLOSED children=" + std::to_string(childrenOf(in.window));
    }
    if (name == "reopen") {
        if (in.editorOpen) return "ERR the editor is open";
        const bool opened = openEditor(in);
        return "OPENED " + std::to_string(opened ? 1 : 0) +
               " child=" + std::to_string(reinterpret_cast<uintptr_t>(childOf(in.window)));
    }
    if (name == "rect") {
        const auto [w, h] = editorSize(p);
        RECT client{};
        GetClientRect(in.window, &client);
        return "RECT " + std::to_string(w) + " " + std::to_string(h) + " window " + std::to_string(client.right) + " " +
               std::to_string(client.bottom);
    }
    if (name == "stats") {
        std::lock_guard<std::mutex> lock(counts.mutex);
        std::snprintf(text, sizeof text,
                      "STATS maxidle=%.1f idles=%d gdi=%zu dcs=%zu timers=%zu windows=%zu classes=%d",
                      in.maxIdleMs, in.idles, counts.gdi.size(), counts.dcs.size(), counts.timers.size(),
                      counts.windows.size(), counts.classes);
        return text;
    }
    return "ERR unknown command: " + name;
}

int Host::run(const std::string& pluginPath, const std::string& logPath) {
    pluginPath_ = pluginPath;
    if (!logPath.empty() && !(log_ = std::fopen(logPath.c_str(), "wb"))) {
        std::fprintf(stderr, "wedhost: cannot write %s\n", logPath.c_str());
        return 2;
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = hostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kHostClass;
    RegisterClassExW(&wc);
    commandWindow_ = CreateWindowExW(0, kHostClass, L"wedhost commands", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);

    host_.setHook(
        [this](testhost::Plugin* plugin, const testhost::HostCall& call) { return onCallback(plugin, call); });
    Instance& first = inst_[0];
    try {
        first.plugin = host_.load(pluginPath);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "wedhost: %s\n", e.what());
        return 2;
    }
    // The DLL as loaded (the second instance shares it): its imports are counted from now on.
    const std::wstring file = wide(pluginPath.substr(pluginPath.find_last_of("/\\") + 1));
    if (HMODULE module = GetModuleHandleW(file.c_str())) hookImports(module);
    known_[0] = first.plugin.get();
    first.plugin->activate(kSampleRate, kBlock);
    active_ = 1;
    audio_ = std::thread([this] { audioLoop(); });

    first.window = createWindow(1, 100);
    SetTimer(commandWindow_, kIdleTimer, kIdlePeriodMs, nullptr);
    if (!openEditor(first)) std::fprintf(stderr, "wedhost: effEditOpen refused\n");
    std::printf("READY child=%llu parent=%llu\n",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(childOf(first.window))),
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(first.window)));
    std::fflush(stdout);
    reader_ = std::thread([this] { readCommands(); });
    reader_.detach();  // blocked in a read of stdin until the script closes it

    MSG msg;
    while (!quitting_ && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    stopAudio();
    if (log_) std::fclose(log_);
    return exitStatus_;
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);  // "\n" as the script reads it
    int first = 1;
    for (; first < argc && argv[first][0] == '-'; ++first) {
        if (std::strcmp(argv[first], "--mta") == 0) {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        } else if (std::strcmp(argv[first], "--dpi-aware") == 0) {
            // As a per-monitor aware host: windows are told the screen's real DPI.
            using SetContext = BOOL(WINAPI*)(HANDLE);
            if (auto set = reinterpret_cast<SetContext>(reinterpret_cast<void*>(
                    GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext"))))
                set(reinterpret_cast<HANDLE>(static_cast<intptr_t>(-4)));  // per monitor, version 2
        } else {
            break;
        }
    }
    if (argc <= first) {
        std::fprintf(stderr, "usage: wedhost [--mta] [--dpi-aware] PLUGIN.dll [LOGFILE]\n");
        return 2;
    }
    const char* envLog = std::getenv("EDHOST_LOG");
    const std::string logPath = argc > first + 1 ? argv[first + 1] : envLog ? envLog : "";
    Host host;
    theHost = &host;
    const int status = host.run(argv[first], logPath);
    theHost = nullptr;
    std::fflush(stdout);
    // The reader thread still waits on stdin: leave without waiting for it.
    _exit(status);
}
