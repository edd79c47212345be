// edhost: a scripted X11 host for the plug-in's editor. It loads the built module with the
// test-host library exactly as a DAW does and drives it from commands on stdin:
//
//   edhost PLUGIN.so [LOGFILE [ARTDIR]]     (or $EDHOST_LOG, $EDHOST_ART)
//
// - a 942x171 top-level window on a connection of our own, given the size effEditGetRect
//   answers once the editor is open, and any size the editor asks for through
//   audioMasterSizeWindow (unless told to refuse); the plug-in activated at
//   48 kHz with 256-frame blocks; an audio thread processing silence in 256-frame blocks at
//   about real time and delivering queued MIDI through effProcessEvents before a block;
// - the editor opened into the window (effEditOpen, the window id as ptr), then
//   effEditIdle every 25 ms from this (the GUI) thread, each call timed;
// - every host callback appended to the log, one line each, as
//     automate INDEX VALUE | beginEdit INDEX | endEdit INDEX | updateDisplay |
//     getTime MASK | canDo TEXT | sizeWindow W H | call OPCODE INDEX VALUE OPT
//   lines of the second instance start with "@2 ".
// - with $EDHOST_SCALE set, the scale the host shows its windows at announced to each
//   instance before its editor opens (effVendorSpecific 'PreS' 'AeCs', the scale as opt).
//
// On start it prints "READY child=<xid> parent=<xid>". Each command gets one line back:
//   param N               PARAM N <value>
//   set N V [thread]      OK            (setParameter here, or from a fresh thread, joined)
//   name                  NAME <program name>
//   pname I               PNAME I <name of program I>
//   midi STATUS D1 D2     MIDI delivered (once the audio thread has processed the block)
//   input L R             OK            (the main inputs: 1 kHz sines of these peaks; 0 0 silence)
//   idle N                OK            (N effEditIdle calls, 25 ms apart)
//   pause | resume        OK            (stop and restart the periodic idle)
//   shot FILE             SHOT FILE     (the host window as the server shows it, as PNG)
//   same FILE X Y W H     SAME <pixels differing from that rectangle of FILE>
//   frame ID F X Y W H [SX SY]
//                         FRAME <pixels differing from frame F of artwork ID, its point
//                         (SX,SY) (default its top-left) at (X,Y); a bitmap as large as the
//                         window lies at the origin>; the panel's coordinates: in a window
//                         of twice the panel's size, the 2x artwork at twice them
//   rect                  RECT W H      (effEditGetRect)
//   prerect               PRERECT W H   (what effEditGetRect answered just before the last
//                                        effEditOpen)
//   size                  SIZE window=WxH child=WxH  (as the server has them)
//   scale S               SCALE <answer>  (effVendorSpecific 'PreS' 'AeCs' with S as opt)
//   sizing agree|refuse   OK            (the answer to audioMasterSizeWindow from now on)
//   close                 CLOSED children=<left in the window> errors=<host X errors>
//   reopen                OPENED <1|0> child=<xid>
//   second                SECOND child=<xid> window=<xid>  (a second instance, own window)
//   stats                 STATS maxidle=<ms> idles=<count> xerrors=<host X errors>
//   key C V M | keyup C V M
//                         KEY <answer> | KEYUP <answer>  (effEditKeyDown/Up: index C, value V,
//                         opt M; numbers, 0x.. allowed)
//   grabclip              GRABBED  (the host window owns the CLIPBOARD and never answers for it)
//   level3 KEY KEYSYM     LEVEL3  (the third level, as AltGr reaches it, of the key whose first
//                         keysym is KEY becomes KEYSYM)
//   quit                  QUIT children=<left> errors=<host X errors>, then exit
// "@2 " before a command addresses the second instance and its window. Comparisons retry
// for half a second (idling as usual) while pixels differ, so a drawing still on its way
// does not count. Unknown or malformed commands answer "ERR ...".
//
// The exit status is 0 only if no X error reached our connection and no editor window
// was left behind. The plug-in's own stderr (its "X error" lines) stays ours.
#include <cairo.h>
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ScriptedHost.h"
#include "TestHost.h"
#include "layout.h"
#include "xwindow.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 942, kHeight = 171;
constexpr float kSampleRate = 48000.0f;
constexpr int kBlock = 256;
constexpr auto kIdlePeriod = std::chrono::milliseconds(25);

// One loaded plug-in with its window and editor.
struct Instance {
    std::unique_ptr<testhost::Plugin> plugin;
    xcb_window_t window = 0;
    bool editorOpen = false;
    int width = kWidth, height = kHeight;  // the window's
    std::string rectBeforeOpen;
    int idles = 0;
    double maxIdleMs = 0.0;
    // Guarded by Host::midiMutex.
    std::vector<testhost::MidiMessage> midi;
};

class Host {
public:
    int run(const std::string& pluginPath, const std::string& logPath, const std::string& artDir);

private:
    // Callbacks.
    std::optional<VstIntPtr> onCallback(testhost::Plugin* plugin, const testhost::HostCall& call);
    int instanceOf(const testhost::Plugin* plugin) const;
    void log(int instance, const char* line);

    // Audio.
    void audioLoop();
    void stopAudio();

    // Editor.
    bool openEditor(Instance& in);
    void idleOnce(Instance& in);
    void tick();                        // the periodic idle, when it is due
    void runFor(std::chrono::milliseconds span);  // keeps ticking for a while
    int finishClose(Instance& in);
    void resize(Instance& in, int width, int height);
    std::string announceScale(Instance& in, float scale);

    // Commands.
    std::string handle(const std::string& line);
    std::string command(Instance& in, std::istringstream& args, const std::string& name);
    std::string compare(Instance& in, cairo_surface_t* reference, int rx, int ry, int x, int y, int w, int h,
                        const char* label);
    std::string loadSecond();
    std::string quit();

    testhost::TestHost host_;
    xtest::HostDisplay display_;
    std::string pluginPath_;
    std::string artDir_;
    Instance inst_[2];
    std::atomic<const testhost::Plugin*> known_[2]{};
    std::atomic<int> loading_{1};  // the instance whose entry point may be running

    FILE* log_ = nullptr;
    std::mutex logMutex_;

    std::thread audio_;
    std::atomic<bool> audioStop_{false};
    std::atomic<int> active_{0};  // instances the audio thread processes
    std::atomic<double> samplePos_{0.0};
    // The main inputs: a 1 kHz sine of these peak amplitudes (0: silence), both instances.
    std::atomic<float> inputPeak_[2] = {{0.0f}, {0.0f}};
    std::mutex midiMutex_;
    std::condition_variable midiDone_;
    uint64_t midiQueued_ = 0, midiDelivered_ = 0;  // guarded by midiMutex_

    bool paused_ = false;
    bool refuseSizing_ = false;
    Clock::time_point nextIdle_;
    bool quitting_ = false;
    int exitStatus_ = 1;
};

// ------------------------------------------------------------------------- callbacks

int Host::instanceOf(const testhost::Plugin* plugin) const {
    for (int i = 0; i < 2; ++i)
        if (plugin && known_[i].load() == plugin) return i + 1;
    return loading_.load();
}

void Host::log(int instance, const char* line) {
    std::lock_guard<std::mutex> lock(logMutex_);
    if (!log_) return;
    std::fprintf(log_, "%s%s\n", instance == 2 ? "@2 " : "", line);
    std::fflush(log_);
}

std::optional<VstIntPtr> Host::onCallback(testhost::Plugin* plugin, const testhost::HostCall& call) {
    log(instanceOf(plugin), scripted::logLine(call).c_str());

    // The time is answered here rather than by the library: the audio thread and the
    // editor thread may both ask, and each gets a record of its own, as a DAW's would be.
    if (call.opcode == audioMasterGetTime)
        return scripted::timeInfoAt(samplePos_.load(std::memory_order_relaxed), kSampleRate);
    // The editor asks from its own thread, which is this host's GUI thread: the window
    // takes the size before the answer, as a DAW's would.
    if (call.opcode == audioMasterSizeWindow) {
        const int number = instanceOf(plugin);
        if (refuseSizing_ || number < 1 || call.index <= 0 || call.value <= 0) return 0;
        resize(inst_[number - 1], call.index, static_cast<int>(call.value));
        return 1;
    }
    return std::nullopt;
}

// ------------------------------------------------------------------------- audio

void Host::audioLoop() {
    std::vector<testhost::Channels<float>> inputs(2), outputs(2);
    for (int i = 0; i < 2; ++i) {
        inputs[i].assign(2, std::vector<float>(kBlock, 0.0f));
        outputs[i].assign(2, std::vector<float>(kBlock, 0.0f));
    }
    const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(kBlock / kSampleRate));
    auto next = Clock::now();
    while (!audioStop_.load()) {
        const int active = active_.load();
        std::vector<testhost::MidiMessage> midi[2];
        uint64_t taken;
        {
            std::lock_guard<std::mutex> lock(midiMutex_);
            for (int i = 0; i < active; ++i) midi[i].swap(inst_[i].midi);
            taken = midiQueued_;
        }
        for (int i = 0; i < active; ++i) {
            testhost::Plugin& p = *inst_[i].plugin;
            if (!midi[i].empty()) p.processEvents(midi[i]);
            // Channel counts as the effect declares them (the library wants one vector each).
            inputs[i].resize(static_cast<size_t>(std::max(0, p.effect()->numInputs)), std::vector<float>(kBlock, 0.0f));
            outputs[i].resize(static_cast<size_t>(std::max(0, p.effect()->numOutputs)), std::vector<float>(kBlock, 0.0f));
            for (auto& channel : inputs[i]) std::fill(channel.begin(), channel.end(), 0.0f);
            const double start = samplePos_.load();
            for (size_t c = 0; c < 2 && c < inputs[i].size(); ++c) {
                const float peak = inputPeak_[c].load();
                for (int n = 0; peak != 0.0f && n < kBlock; ++n)
                    inputs[i][c][n] = peak * static_cast<float>(std::sin(2.0 * M_PI * 1000.0 * (start + n) / kSampleRate));
            }
            p.processReplacing(inputs[i], outputs[i], kBlock);
        }
        samplePos_.store(samplePos_.load() + kBlock);
        {
            std::lock_guard<std::mutex> lock(midiMutex_);
            midiDelivered_ = taken;
        }
        midiDone_.notify_all();
        next += period;
        const auto now = Clock::now();
        if (next < now - 4 * period) next = now;  // fell behind (a debugger, a slow machine): go on from now
        std::this_thread::sleep_until(next);
    }
}

void Host::stopAudio() {
    if (!audio_.joinable()) return;
    audioStop_ = true;
    audio_.join();
}

// ------------------------------------------------------------------------- editor

bool Host::openEditor(Instance& in) {
    if (const char* scale = std::getenv("EDHOST_SCALE")) announceScale(in, std::strtof(scale, nullptr));
    ERect* before = nullptr;
    in.rectBeforeOpen = in.plugin->dispatch(effEditGetRect, 0, 0, &before) && before
                            ? std::to_string(before->right - before->left) + " " +
                                  std::to_string(before->bottom - before->top)
                            : "none";
    VstIntPtr opened = in.plugin->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(in.window)));
    in.editorOpen = opened != 0;
    // As DAWs do: the window as large as the editor says once it is open.
    ERect* rect = nullptr;
    if (in.editorOpen && in.plugin->dispatch(effEditGetRect, 0, 0, &rect) && rect)
        resize(in, rect->right - rect->left, rect->bottom - rect->top);
    // The first idles draw the window; by the time the caller hears back the server has it.
    runFor(std::chrono::milliseconds(100));
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

void Host::tick() {
    const auto now = Clock::now();
    if (paused_ || now < nextIdle_) return;
    for (Instance& in : inst_)
        if (in.plugin) idleOnce(in);
    nextIdle_ += kIdlePeriod;
    if (nextIdle_ < now) nextIdle_ = now + kIdlePeriod;
    host_.clearCalls();  // the log has them; the library's record would only grow
    display_.sync();
}

void Host::runFor(std::chrono::milliseconds span) {
    const auto end = Clock::now() + span;
    for (auto now = Clock::now(); now < end; now = Clock::now()) {
        tick();
        std::this_thread::sleep_until(std::min(end, paused_ ? end : nextIdle_));
    }
}

void Host::resize(Instance& in, int width, int height) {
    if (width == in.width && height == in.height) return;
    const uint32_t size[] = {static_cast<uint32_t>(width), static_cast<uint32_t>(height)};
    xcb_configure_window(display_.connection(), in.window, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
    in.width = width;
    in.height = height;
    display_.sync();
}

std::string Host::announceScale(Instance& in, float scale) {
    return "SCALE " + std::to_string(in.plugin->dispatch(effVendorSpecific, vstFourCC('P', 'r', 'e', 'S'),
                                                         vstFourCC('A', 'e', 'C', 's'), nullptr, scale));
}

int Host::finishClose(Instance& in) {
    if (in.editorOpen) in.plugin->dispatch(effEditClose);
    in.editorOpen = false;
    return display_.childrenAfterClose(in.window);
}

// ------------------------------------------------------------------------- commands

std::string Host::compare(Instance& in, cairo_surface_t* reference, int rx, int ry, int x, int y, int w, int h,
                          const char* label) {
    long differing = -1;
    xtest::Box box;
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (attempt) runFor(kIdlePeriod);
        display_.sync();
        cairo_surface_t* screen = display_.grab(in.window, in.width, in.height);
        if (!screen) return "ERR no grab";
        differing = xtest::differingPixels(screen, x, y, reference, rx, ry, w, h, &box);
        cairo_surface_destroy(screen);
        if (differing <= 0) break;
    }
    if (differing < 0) return "ERR rectangle outside the image";
    // Where, in window coordinates, for whoever reads a failure.
    if (differing > 0)
        std::fprintf(stderr, "edhost: %ld pixels differ within x %d..%d, y %d..%d\n", differing, x + box.left,
                     x + box.right, y + box.top, y + box.bottom);
    return std::string(label) + " " + std::to_string(differing);
}

std::string Host::loadSecond() {
    if (inst_[1].plugin) return "ERR the second instance is loaded already";
    Instance& in = inst_[1];
    loading_ = 2;
    try {
        in.plugin = host_.load(pluginPath_);
    } catch (const std::exception& e) {
        loading_ = 1;
        return std::string("ERR ") + e.what();
    }
    known_[1] = in.plugin.get();
    in.plugin->activate(kSampleRate, kBlock);
    active_ = 2;  // published after activation: the audio thread may use it from the next block
    in.window = display_.createWindow(0, 100 + kHeight + 30, kWidth, kHeight);
    openEditor(in);
    return "SECOND child=" + std::to_string(display_.firstChild(in.window)) + " window=" + std::to_string(in.window);
}

std::string Host::quit() {
    for (Instance& in : inst_)
        if (in.plugin && in.editorOpen) in.plugin->dispatch(effEditClose);
    stopAudio();
    int left = 0;
    for (Instance& in : inst_) {
        if (!in.plugin) continue;
        in.editorOpen = false;
        left += display_.childrenAfterClose(in.window);
        in.plugin.reset();  // suspend, effClose, unload
    }
    for (Instance& in : inst_)
        if (in.window) display_.destroyWindow(in.window);
    display_.sync();
    quitting_ = true;
    exitStatus_ = left == 0 && display_.errors() == 0 ? 0 : 1;
    return "QUIT children=" + std::to_string(left) + " errors=" + std::to_string(display_.errors());
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
        nextIdle_ = Clock::now() + kIdlePeriod;
        return "OK";
    }
    if (name == "second") return loadSecond();
    if (name == "quit") return quit();
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
        std::string where;
        if (!(args >> index >> value)) return "ERR usage: set N V [thread]";
        if (args >> where && where == "thread")
            std::thread([&] { p.setParameter(index, value); }).join();
        else if (!where.empty())
            return "ERR usage: set N V [thread]";
        else
            p.setParameter(index, value);
        return "OK";
    }
    if (name == "midi") {
        std::string s, d1, d2;
        if (!(args >> s >> d1 >> d2)) return "ERR usage: midi STATUS D1 D2";
        testhost::MidiMessage m;
        m.status = static_cast<uint8_t>(std::strtol(s.c_str(), nullptr, 0));
        m.data1 = static_cast<uint8_t>(std::strtol(d1.c_str(), nullptr, 0));
        m.data2 = static_cast<uint8_t>(std::strtol(d2.c_str(), nullptr, 0));
        std::unique_lock<std::mutex> lock(midiMutex_);
        in.midi.push_back(m);
        const uint64_t mine = ++midiQueued_;
        if (!midiDone_.wait_for(lock, std::chrono::seconds(2), [&] { return midiDelivered_ >= mine; }))
            return "ERR the audio thread did not take the message";
        return "MIDI delivered";
    }
    if (name == "input") {
        float left, right;
        if (!(args >> left >> right)) return "ERR usage: input LEFT RIGHT";
        inputPeak_[0] = left;
        inputPeak_[1] = right;
        return "OK";
    }
    if (name == "idle") {
        int count;
        if (!(args >> count) || count < 0) return "ERR usage: idle N";
        for (int i = 0; i < count; ++i) {
            if (i) std::this_thread::sleep_for(kIdlePeriod);
            idleOnce(in);
        }
        display_.sync();
        return "OK";
    }
    if (name == "shot") {
        std::string file;
        if (!(args >> file)) return "ERR usage: shot FILE";
        display_.sync();
        cairo_surface_t* screen = display_.grab(in.window, in.width, in.height);
        if (!screen) return "ERR no grab";
        const cairo_status_t status = cairo_surface_write_to_png(screen, file.c_str());
        cairo_surface_destroy(screen);
        if (status != CAIRO_STATUS_SUCCESS) return "ERR cannot write " + file;
        return "SHOT " + file;
    }
    if (name == "same" || name == "frame") {
        std::string file;
        int id = 0, frameIndex = 0;
        int rx = 0, ry = 0;  // where the compared rectangle starts in the reference
        if (name == "same" && !(args >> file)) return "ERR usage: same FILE X Y W H";
        if (name == "frame" && !(args >> id >> frameIndex)) return "ERR usage: frame ID F X Y W H";
        int x, y, w, h;
        if (!(args >> x >> y >> w >> h)) return "ERR missing rectangle X Y W H";
        if (name == "frame") {
            const layout::Bitmap* bitmap = nullptr;
            for (const layout::Bitmap& b : layout::kBitmaps)
                if (b.id == id) bitmap = &b;
            if (!bitmap) return "ERR unknown bitmap " + std::to_string(id);
            if (frameIndex < 0 || frameIndex >= bitmap->frames) return "ERR no frame " + std::to_string(frameIndex);
            const int frameHeight = bitmap->height / bitmap->frames;
            if (w > bitmap->width || h > frameHeight) return "ERR rectangle larger than the frame";
            const bool wholeWindow = bitmap->width == kWidth && frameHeight == kHeight;
            // An optional point of the frame that lies at (X,Y) (a knob shows its frames
            // from (2,2) on).
            int sx = 0, sy = 0;
            if (!(args >> sx >> sy)) sx = sy = 0;
            if (sx < 0 || sy < 0 || sx + w > bitmap->width || sy + h > frameHeight)
                return "ERR rectangle outside the frame";
            rx = wholeWindow ? x : sx;
            ry = frameIndex * frameHeight + (wholeWindow ? y : sy);
            // At 200 % the window shows the 2x artwork pixel for pixel.
            int s = 1;
            if (in.width == 2 * kWidth) s = 2;
            else if (in.width != kWidth) return "ERR frames are compared at 100 or 200 % only";
            x *= s, y *= s, w *= s, h *= s, rx *= s, ry *= s;
            std::snprintf(text, sizeof text, "%s/%sbmp%05d.png", artDir_.c_str(), s == 2 ? "../png2x/" : "", id);
            file = text;
        } else {
            rx = x;
            ry = y;
        }
        cairo_surface_t* reference = cairo_image_surface_create_from_png(file.c_str());
        if (cairo_surface_status(reference) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(reference);
            return "ERR cannot read " + file;
        }
        std::string answer = compare(in, reference, rx, ry, x, y, w, h, name == "same" ? "SAME" : "FRAME");
        cairo_surface_destroy(reference);
        return answer;
    }
    if (name == "close") {
        int left = finishClose(in);
        return "CLOSED children=" + std::to_string(left) + " errors=" + std::to_string(display_.errors());
    }
    if (name == "reopen") {
        if (in.editorOpen) return "ERR the editor is open";
        bool opened = openEditor(in);
        return "OPENED " + std::to_string(opened ? 1 : 0) + " child=" + std::to_string(display_.firstChild(in.window));
    }
    if (name == "key" || name == "keyup") {
        std::string character;
        int virt, modifiers;
        if (!(args >> character >> virt >> modifiers)) return "ERR usage: " + name + " CHAR VIRT MODS";
        const VstInt32 index = static_cast<VstInt32>(std::strtol(character.c_str(), nullptr, 0));
        const VstIntPtr used = p.dispatch(name == "key" ? effEditKeyDown : effEditKeyUp, index, virt, nullptr,
                                          static_cast<float>(modifiers));
        return (name == "key" ? "KEY " : "KEYUP ") + std::to_string(used);
    }
    if (name == "grabclip") {
        // The events that ask for it are read and dropped by every sync: no answer ever.
        xcb_connection_t* c = display_.connection();
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 9, "CLIPBOARD"), nullptr);
        if (!atom) return "ERR no CLIPBOARD atom";
        xcb_set_selection_owner(c, in.window, atom->atom, XCB_CURRENT_TIME);
        xcb_get_selection_owner_reply_t* owner =
            xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr);
        const bool ours = owner && owner->owner == in.window;
        free(owner);
        free(atom);
        display_.sync();
        return ours ? "GRABBED" : "ERR not the owner";
    }
    if (name == "level3") {
        std::string key, sym;
        if (!(args >> key >> sym)) return "ERR usage: level3 KEY KEYSYM";
        const auto first = static_cast<xcb_keysym_t>(std::strtoul(key.c_str(), nullptr, 0));
        xcb_connection_t* c = display_.connection();
        const xcb_setup_t* setup = xcb_get_setup(c);
        const int count = setup->max_keycode - setup->min_keycode + 1;
        xcb_get_keyboard_mapping_reply_t* map = xcb_get_keyboard_mapping_reply(
            c, xcb_get_keyboard_mapping(c, setup->min_keycode, static_cast<uint8_t>(count)), nullptr);
        const int per = map ? map->keysyms_per_keycode : 0;
        const xcb_keysym_t* all = map ? xcb_get_keyboard_mapping_keysyms(map) : nullptr;
        int found = -1;
        for (int k = 0; per >= 6 && k < count && found < 0; ++k)
            if (all[k * per] == first) found = k;
        if (found < 0) {
            free(map);
            return "ERR no such key";
        }
        std::vector<xcb_keysym_t> syms(all + found * per, all + (found + 1) * per);
        free(map);
        syms[4] = syms[5] = static_cast<xcb_keysym_t>(std::strtoul(sym.c_str(), nullptr, 0));
        xcb_change_keyboard_mapping(c, 1, static_cast<xcb_keycode_t>(setup->min_keycode + found),
                                    static_cast<uint8_t>(per), syms.data());
        display_.sync();
        return "LEVEL3";
    }
    if (name == "rect") {
        ERect* rect = nullptr;
        if (!p.dispatch(effEditGetRect, 0, 0, &rect) || !rect) return "RECT none";
        return "RECT " + std::to_string(rect->right - rect->left) + " " + std::to_string(rect->bottom - rect->top);
    }
    if (name == "prerect") return "PRERECT " + in.rectBeforeOpen;
    if (name == "size") {
        display_.sync();
        xcb_connection_t* c = display_.connection();
        auto geometry = [c](xcb_window_t w) {
            xcb_get_geometry_reply_t* g = w ? xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr) : nullptr;
            const std::string answer = g ? std::to_string(g->width) + "x" + std::to_string(g->height) : "none";
            free(g);
            return answer;
        };
        return "SIZE window=" + geometry(in.window) + " child=" + geometry(display_.firstChild(in.window));
    }
    if (name == "scale") {
        float scale;
        if (!(args >> scale)) return "ERR usage: scale S";
        return announceScale(in, scale);
    }
    if (name == "sizing") {
        std::string answer;
        if (!(args >> answer) || (answer != "agree" && answer != "refuse")) return "ERR usage: sizing agree|refuse";
        refuseSizing_ = answer == "refuse";
        return "OK";
    }
    if (name == "stats") {
        std::snprintf(text, sizeof text, "STATS maxidle=%.1f idles=%d xerrors=%d", in.maxIdleMs, in.idles,
                      display_.errors());
        return text;
    }
    return "ERR unknown command: " + name;
}

// ------------------------------------------------------------------------- main loop

int Host::run(const std::string& pluginPath, const std::string& logPath, const std::string& artDir) {
    pluginPath_ = pluginPath;
    artDir_ = artDir;
    if (!display_.connect()) {
        std::fprintf(stderr, "edhost: no X server\n");
        return 2;
    }
    if (!logPath.empty() && !(log_ = std::fopen(logPath.c_str(), "w"))) {
        std::fprintf(stderr, "edhost: cannot write %s\n", logPath.c_str());
        return 2;
    }
    host_.setHook([this](testhost::Plugin* plugin, const testhost::HostCall& call) { return onCallback(plugin, call); });
    Instance& first = inst_[0];
    try {
        first.plugin = host_.load(pluginPath);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "edhost: %s\n", e.what());
        return 2;
    }
    known_[0] = first.plugin.get();
    first.plugin->activate(kSampleRate, kBlock);
    active_ = 1;
    audio_ = std::thread([this] { audioLoop(); });

    first.window = display_.createWindow(0, 100, kWidth, kHeight);
    nextIdle_ = Clock::now();
    if (!openEditor(first)) std::fprintf(stderr, "edhost: effEditOpen refused\n");
    std::printf("READY child=%u parent=%u\n", display_.firstChild(first.window), first.window);
    std::fflush(stdout);

    std::string pending;
    while (!quitting_) {
        pollfd p{0, POLLIN, 0};
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(nextIdle_ - Clock::now()).count();
        if (poll(&p, 1, paused_ ? 100 : static_cast<int>(std::max<long long>(0, wait))) > 0) {
            char buf[1024];
            ssize_t n = read(0, buf, sizeof buf);
            if (n <= 0) {  // the script went away: leave as if told to
                quit();
                break;
            }
            pending.append(buf, static_cast<size_t>(n));
        }
        tick();
        size_t eol;
        while (!quitting_ && (eol = pending.find('\n')) != std::string::npos) {
            const std::string line = pending.substr(0, eol);
            pending.erase(0, eol + 1);
            std::printf("%s\n", handle(line).c_str());
            std::fflush(stdout);
        }
    }
    stopAudio();
    if (log_) std::fclose(log_);
    return exitStatus_;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: edhost PLUGIN.so [LOGFILE [ARTDIR]] (needs an X server)\n");
        return 2;
    }
    const char* envLog = std::getenv("EDHOST_LOG");
    const char* envArt = std::getenv("EDHOST_ART");
    std::string logPath = argc > 2 ? argv[2] : envLog ? envLog : "";
    std::string artDir = argc > 3 ? argv[3] : envArt ? envArt : EDHOST_ART_DIR;
    Host host;
    return host.run(argv[1], logPath, artDir);
}
