// The preset strip inside the whole effect, loaded by the test host and driven as a user
// drives it: clicks, double clicks, typing and the file dialogs on an offscreen window, with
// the effect's state, the host's callbacks and the user's settings folder checked after
// each step.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <thread>

#include "Editor.h"
#include "GuiTest.h"
#include "Scratch.h"
#include "MyFrame.h"
#include "layout.h"
#include "TestHost.h"
#include "../../src/host/QEL.h"
#include "../../src/presets/ControllerNames.h"
#include "../../src/presets/settings/PresetCommands.h"

using namespace guitest;

namespace {

// The effect linked into this program, reached as a host reaches a module's entry point.
AEffect* linkedEffect(audioMasterCallback audioMaster) {
    AudioEffect* effect = createEffectInstance(audioMaster);
    return effect ? effect->getAeffect() : nullptr;
}

// The file dialog as a test scripts it: it answers at the first poll with the next path
// (an empty one cancels) and keeps every request.
struct ScriptedDialogs : IFileDialogRunner {
    struct Job : IFileDialogJob {
        std::string answer;
        bool poll(std::vector<std::string>& files) override {
            if (!answer.empty()) files.push_back(answer);
            return true;
        }
        void cancel() override {}
    };
    IFileDialogJob* start(const FileDialogRequest& request) override {
        requests.push_back(request);
        auto* job = new Job;
        if (!answers.empty()) {
            job->answer = answers.front();
            answers.erase(answers.begin());
        }
        return job;
    }
    std::vector<std::string> answers;
    std::vector<FileDialogRequest> requests;
};

class Strip : public ::testing::Test {
protected:
    void SetUp() override {
        OffscreenFrame::install();
        CNewFileSelector::setRunner(&dialogs);
        plugin = host.adopt(&linkedEffect, "the linked effect");
        plugin->activate(44100.0f, 512);
        fx = plugin->effect();
        effect = static_cast<AudioEffect*>(fx->object);
        open();
        host.clearCalls();
    }
    void TearDown() override {
        plugin.reset();
        CNewFileSelector::setRunner(nullptr);
        OffscreenFrame::uninstall();
    }
    void open() {
        ASSERT_EQ(fx->dispatcher(fx, effEditOpen, 0, 0, reinterpret_cast<void*>(0x400001), 0), 1);
        editor = static_cast<Editor*>(effect->getEditor());
        strip = editor->presetStrip();
        screen = OffscreenFrame::of(editor->getFrame());
        idle();
    }
    void idle() {
        screen->advance(40);
        fx->dispatcher(fx, effEditIdle, 0, 0, nullptr, 0);
    }
    static CPoint centre(int tag) {
        auto middle = [](const layout::Control& c) {
            return CPoint(std::floor((c.left + c.right) / 2), std::floor((c.top + c.bottom) / 2));
        };
        for (const auto& c : layout::kStrip)
            if (c.tag == tag) return middle(c);
        for (const auto& c : layout::kPanel)  // the link button
            if (c.tag == tag) return middle(c);
        return CPoint(-1, -1);
    }
    // A click on a strip control; `clicks` 2 makes a double click.
    void click(int tag, int button = 1, uint32_t mods = 0, int clicks = 1, CCoord dx = 0) {
        screen->advance(1000);  // never the second click of an earlier one
        const CPoint p = centre(tag);
        for (int i = 0; i < clicks; ++i) screen->click(p.x + dx, p.y, button, mods);
        idle();
    }
    int current() { return static_cast<QEL*>(effect)->getCurrentProgramIndex(); }
    std::string name(int index) {
        char text[64] = {};
        fx->dispatcher(fx, effGetProgramNameIndexed, index, 0, text, 0);
        return text;
    }
    bool stored(const char* value) {
        std::vector<uint8_t> bytes;
        return editor->commands()->settingsStore().readBinary(value, bytes);
    }
    float value(int tag) { return strip->control(tag)->getValue(); }

    Scratch scratch;
    const std::string& root = scratch.folder();
    ScriptedDialogs dialogs;
    testhost::TestHost host;
    std::unique_ptr<testhost::Plugin> plugin;
    AudioEffect* effect = nullptr;
    AEffect* fx = nullptr;
    Editor* editor = nullptr;
    PresetStrip* strip = nullptr;
    OffscreenFrame* screen = nullptr;
};

}  // namespace

TEST_F(Strip, ProgramsFromTheMenuTheRockerAndTheNameField) {
    // Menu entry 12 through the popup: program 12 becomes current with its stored name, also
    // when the entry's title has gone stale.
    strip->menu()->getEntry(12)->setTitle("stale title");
    click(110);
    CView* popup = editor->getFrame()->getModalView();
    ASSERT_NE(popup, nullptr);
    const CRect& r = popup->getViewSize();
    screen->click(r.left + COptionMenu::kBorder + 5, r.top + COptionMenu::kBorder + 12.5 * COptionMenu::kRowHeight);
    idle();
    EXPECT_EQ(current(), 12);
    char shown[64] = {};
    fx->dispatcher(fx, effGetProgramName, 0, 0, shown, 0);
    EXPECT_STREQ(shown, "Exosphere");
    EXPECT_STREQ(strip->nameField()->getText(), "Exosphere");
    EXPECT_STREQ(strip->menu()->getEntry(12)->getTitle(), "Exosphere");
    EXPECT_EQ(strip->menu()->getCurrentIndex(), 12);
    EXPECT_GT(host.count(audioMasterUpdateDisplay), 0u);

    // The rocker steps once per press, on the press, and stops at both ends.
    const CPoint rocker = centre(99);
    screen->press(rocker.x + 8, rocker.y);
    screen->move(rocker.x + 8, rocker.y + 40);  // out and back in while pressed
    screen->move(rocker.x + 8, rocker.y);
    screen->release(rocker.x + 8, rocker.y);
    idle();
    EXPECT_EQ(current(), 13);
    EXPECT_STREQ(strip->nameField()->getText(), name(13).c_str());
    click(99, 1, 0, 1, -8);
    EXPECT_EQ(current(), 12);
    for (auto [from, dx, expected] : {std::tuple{60, 8, 60}, {0, -8, 0}, {1, -8, 0}}) {
        static_cast<QEL*>(effect)->selectProgram(from);
        click(99, 1, 0, 1, dx);
        EXPECT_EQ(current(), expected) << from;
    }
    EXPECT_EQ(strip->menu()->getCurrentIndex(), 0);

    // Typing renames the current program and its menu entry, nothing else.
    std::vector<std::string> before;
    for (int p = 0; p < 61; ++p) before.push_back(name(p));
    click(98);
    screen->key(0, VKEY_END);
    for (size_t i = 0; i < before[0].size(); ++i) screen->key(0, VKEY_BACK);
    screen->type("Dub Echo");
    screen->key(0, VKEY_RETURN);
    idle();
    before[0] = "Dub Echo";
    for (int p = 0; p < 61; ++p) EXPECT_EQ(name(p), before[p]) << p;
    EXPECT_STREQ(strip->menu()->getEntry(0)->getTitle(), "Dub Echo");

    // None of this reached the host as an edit of anything but a parameter.
    for (const testhost::HostCall& c : host.calls()) {
        const bool edit =
            c.opcode == audioMasterAutomate || c.opcode == audioMasterBeginEdit || c.opcode == audioMasterEndEdit;
        EXPECT_TRUE(!edit || c.index < 60) << c.opcode << " " << c.index;
    }
}

TEST_F(Strip, TheHostsKeysGoToTheNameFieldAndTheMenuAndOtherwiseStayTheHosts) {
    auto key = [&](int32_t character, int virt = 0) {
        return fx->dispatcher(fx, effEditKeyDown, character, virt, nullptr, 0);
    };
    // Nothing being edited: no key is the editor's (the space bar is the host's transport).
    for (auto [c, v] : {std::pair{' ', 0}, {0, VKEY_ESCAPE}, {0, VKEY_RETURN}, {'a', 0}, {0, VKEY_DOWN}})
        EXPECT_EQ(key(c, v), 0) << c << " " << v;
    // Keys as a Linux host forwards them: the focus option is off (fresh settings), so they
    // come only through effEditKeyDown; the field takes what it uses.
    ASSERT_FALSE(editor->getMyFrame()->getKeepFocus());
    click(98);
    for (char c : std::string("My Patch")) EXPECT_EQ(key(c), 1);
    EXPECT_EQ(key(0, VKEY_F1), 0);
    EXPECT_EQ(key(0, VKEY_RETURN), 1);
    idle();
    EXPECT_EQ(name(0), "My Patch");
    EXPECT_EQ(key(' '), 0);
    // The menu: Escape closes it; Down and Return choose the entry below the current one.
    click(110);
    ASSERT_TRUE(strip->menu()->isPopupOpen());
    EXPECT_EQ(key(0, VKEY_ESCAPE), 1);
    EXPECT_FALSE(strip->menu()->isPopupOpen());
    idle();
    click(110);
    EXPECT_EQ(key(0, VKEY_DOWN), 1);
    EXPECT_EQ(key(0, VKEY_RETURN), 1);
    idle();
    EXPECT_EQ(current(), 1);
    EXPECT_EQ(key(0, VKEY_ESCAPE), 0);
    // Each borrowed the keyboard focus while it was active and gave it back afterwards.
    EXPECT_EQ(screen->focusBorrows, 3);
    EXPECT_EQ(screen->focusReturns, 3);
    EXPECT_EQ(screen->focusRequests, 0);
}

TEST_F(Strip, DefaultsTakeADoubleClickAndMemosASingleOne) {
    const struct {
        int tag;
        const char* value;
    } defaults[] = {{111, "DefaultBank"}, {112, "DefaultPreset"}, {108, "DefaultMidi"}};
    for (const auto& d : defaults) {
        click(d.tag);
        EXPECT_FALSE(stored(d.value)) << "a single click does nothing: " << d.value;
        click(d.tag, 1, 0, 2);
        EXPECT_TRUE(stored(d.value)) << d.value;
        click(d.tag, 1, kXControlMask, 2);
        EXPECT_FALSE(stored(d.value)) << "Ctrl-double-click deletes: " << d.value;
        EXPECT_EQ(value(d.tag), 0.f);
    }
    // Memo A keeps program 5; recalled into program 9, it brings name and values along.
    static_cast<QEL*>(effect)->selectProgram(5);
    click(113);
    static_cast<QEL*>(effect)->selectProgram(9);
    click(115);
    EXPECT_EQ(name(9), name(5));
    EXPECT_EQ(effect->getParameter(3), static_cast<QEL*>(effect)->programs()[5].values[3]);
    EXPECT_EQ(current(), 9);
    EXPECT_STREQ(strip->nameField()->getText(), name(5).c_str());
}

TEST_F(Strip, FilesGoThroughTheDialogsAndACancelChangesNothing) {
    // Titles: a plain click, a plain right click (reversed), a right click with Shift.
    click(102);
    click(102, 3);
    click(102, 3, kXShiftMask);
    click(100, 3);
    click(106);
    ASSERT_EQ(dialogs.requests.size(), 5u);
    const char* titles[] = {"Load preset", "Load preset (endian-reversed)", "Load preset",
                            "Load bank (endian-reversed)", "Load MIDI settings"};
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(dialogs.requests[i].title, titles[i]);
    EXPECT_EQ(dialogs.requests[0].extensions.at(0).getExtension(), "qel");

    // A preset saved from program 7 and loaded into program 2.
    auto* qel = static_cast<QEL*>(effect);
    qel->selectProgram(7);
    dialogs.answers = {root + "seven"};
    click(103);
    EXPECT_EQ(dialogs.requests.back().style, FileDialogRequest::kSelectSaveFile);
    struct stat st {};
    ASSERT_EQ(stat((root + "seven.qel").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 2129);
    qel->selectProgram(2);
    dialogs.answers = {root + "seven.qel"};
    click(102);
    EXPECT_EQ(name(2), name(7));
    EXPECT_EQ(dialogs.requests.back().initialDirectory, root);  // the folder of the last file

    // MIDI settings and a bank: saved, changed, loaded back; the bank shows program 0.
    qel->setParameter(60 + 15, presets::controllerStepValue(74, 129));
    dialogs.answers = {root + "cc.qem", root + "all.qeb"};
    click(107);
    click(101);
    qel->forgetController(15);
    fx->dispatcher(fx, effSetProgramName, 0, 0, const_cast<char*>("changed"), 0);
    dialogs.answers = {root + "cc.qem", root + "all.qeb"};
    click(106);
    click(100);
    EXPECT_EQ(qel->getAssignedController(15), 74);
    EXPECT_EQ(current(), 0);
    EXPECT_EQ(strip->menu()->getCurrentIndex(), 0);
    EXPECT_STREQ(strip->menu()->getEntry(2)->getTitle(), name(7).c_str());

    // Cancelled dialogs of every kind leave the state as it was.
    const std::vector<uint8_t> chunk = [&] {
        void* data = nullptr;
        const VstIntPtr size = fx->dispatcher(fx, effGetChunk, 0, 0, &data, 0);
        return std::vector<uint8_t>(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
    }();
    const size_t asked = dialogs.requests.size();
    for (int tag : {100, 101, 102, 103, 106, 107}) click(tag);
    EXPECT_EQ(dialogs.requests.size(), asked + 6);
    void* data = nullptr;
    const VstIntPtr size = fx->dispatcher(fx, effGetChunk, 0, 0, &data, 0);
    EXPECT_EQ(std::vector<uint8_t>(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size), chunk);
}

TEST_F(Strip, LearnForgetAndTheControllerDisplayFollowTheEffect) {
    auto* qel = static_cast<QEL*>(effect);
    click(105);
    EXPECT_TRUE(qel->learnMode());
    click(109);
    EXPECT_FALSE(qel->learnMode());
    EXPECT_TRUE(qel->forgetMode());
    EXPECT_EQ(value(105), 0.f);
    click(105);
    EXPECT_FALSE(qel->forgetMode());
    EXPECT_EQ(value(109), 0.f);
    EXPECT_EQ(value(105), 1.f);

    // Learning completes on the audio thread; the button follows at the next idle.
    qel->setParameter(15, 0.3f);
    std::thread audio([&] {
        VstMidiEvent cc{};
        cc.type = kVstMidiType;
        cc.byteSize = sizeof cc;
        cc.midiData[0] = static_cast<char>(0xB0);
        cc.midiData[1] = 74;
        cc.midiData[2] = 127;
        VstEvents events{};
        events.numEvents = 1;
        events.events[0] = reinterpret_cast<VstEvent*>(&cc);
        fx->dispatcher(fx, effProcessEvents, 0, 0, &events, 0);
    });
    audio.join();
    EXPECT_EQ(value(105), 1.f);
    idle();
    EXPECT_EQ(value(105), 0.f);
    EXPECT_EQ(qel->getAssignedController(15), 74);

    // The display names the controller of the parameter control under the mouse: Cutoff's
    // knob, then Reso's.
    const struct {
        CCoord x, y;
        const char* text;
    } spots[] = {{690, 40, "brightness"}, {740, 40, "not assigned"}, {centre(105).x, centre(105).y, ""},
                 {600, 80, ""}, {690, 40, "brightness"}};
    for (const auto& s : spots) {
        screen->move(s.x, s.y);
        idle();
        EXPECT_EQ(strip->controllerDisplay()->getDisplayText(), s.text) << s.x << "," << s.y;
    }
    screen->leave();
    idle();
    EXPECT_EQ(strip->controllerDisplay()->getDisplayText(), "");
}

TEST_F(Strip, ChangesFromOtherThreadsReachTheStripAtTheNextIdle) {
    // Another instance's bank, with program 3 renamed and current, arrives as a chunk.
    std::vector<uint8_t> chunk;
    {
        auto other = host.adopt(&linkedEffect, "another instance");
        other->open();
        static_cast<QEL*>(static_cast<AudioEffect*>(other->effect()->object))->selectProgram(3);
        other->setProgramName("Far Away");
        chunk = other->getChunk();
    }

    // A name is being typed for program 0 when the chunk makes program 3 current.
    click(98);
    screen->type("typed for 0");
    std::thread host([&] { fx->dispatcher(fx, effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.data(), 0); });
    host.join();
    EXPECT_NE(std::string(strip->menu()->getEntry(3)->getTitle()), "Far Away");  // nothing touched before idle
    idle();
    EXPECT_STREQ(strip->menu()->getEntry(3)->getTitle(), "Far Away");
    EXPECT_EQ(strip->menu()->getCurrentIndex(), 3);
    EXPECT_STREQ(strip->nameField()->getText(), "Far Away");
    EXPECT_FALSE(strip->nameField()->isEditing());  // the typing was dropped, not given to program 3
    screen->key(0, VKEY_RETURN);
    EXPECT_EQ(name(3), "Far Away");

    std::thread rename([&] { fx->dispatcher(fx, effSetProgramName, 0, 0, const_cast<char*>("Nearer"), 0); });
    rename.join();
    idle();
    EXPECT_STREQ(strip->nameField()->getText(), "Nearer");
    EXPECT_STREQ(strip->menu()->getEntry(3)->getTitle(), "Nearer");
}

TEST_F(Strip, ANameInAWindowsCodePageDrawsAndSoDoesEverythingAfterIt) {
    fx->dispatcher(fx, effSetProgramName, 0, 0, const_cast<char*>("Caf\xe9 \x96 D\xfc" "b"), 0);
    idle();
    editor->getFrame()->invalid();
    idle();
    // The name is drawn (dark text on the light field) ...
    const CRect field(210, 156, 322, 169);
    int dark = 0;
    for (int y = 158; y < 167; ++y)
        for (int x = 212; x < 320; ++x) dark += (screen->pixel(x, y) & 0xff) < 120;
    EXPECT_GT(dark, 20);
    // ... and every strip control made after it shows its bitmap's first frame.
    bool after = false;
    for (const auto& c : layout::kStrip) {
        after = after || c.tag == 98;
        if (!after || c.bitmap == 128) continue;
        const int x = static_cast<int>(c.right - c.left) / 2, y = static_cast<int>(c.bottom - c.top) / 2;
        const uint32_t expected = resources::load(c.bitmap)->pixels().at(x, y) & 0xffffff;
        EXPECT_EQ(screen->pixel(static_cast<int>(c.left) + x, static_cast<int>(c.top) + y), expected) << c.tag;
    }
    // The menu's popup shows the name too.
    click(110);
    ASSERT_NE(editor->getFrame()->getModalView(), nullptr);
    screen->writePng(std::string(GUI_OUTPUT_DIR) + "/strip_menu.png");
}

#if !defined(_WIN32)
// (xdg-open is Linux's opener; the Windows build opens documents through the shell.)
TEST_F(Strip, TheManualOpensOrSaysWhyNot) {
    // A stand-in opener: "notool" documents have no application (xdg-open's status 3).
    const std::string bin = root + "bin/";
    mkdir(bin.c_str(), 0700);
    std::ofstream(bin + "xdg-open") << "#!/bin/sh\ncase \"$1\" in *notool*) exit 3;; esac\nexit 0\n";
    chmod((bin + "xdg-open").c_str(), 0700);
    std::ofstream(root + "notool.pdf") << "%";
    const std::string savedPath = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", bin.c_str(), 1);
    auto messageAfterClick = [&]() -> CMessageBox* {
        click(118);
        EXPECT_EQ(value(118), 0.f);  // released at once
        for (int i = 0; i < 300 && !editor->getFrame()->getModalView(); ++i) {
            usleep(10000);
            idle();
        }
        return dynamic_cast<CMessageBox*>(editor->getFrame()->getModalView());
    };
    ASSERT_TRUE(editor->commands()->settingsStore().writeString("ManualPath", root + "notool.pdf"));
    CMessageBox* box = messageAfterClick();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->getCaption(), "Could not open manual file");
    EXPECT_EQ(box->getText(), "Make sure Acrobat Reader is installed");
    screen->key(0, VKEY_RETURN);
    EXPECT_EQ(editor->getFrame()->getModalView(), nullptr);

    ASSERT_TRUE(editor->commands()->settingsStore().remove("ManualPath"));
    box = messageAfterClick();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->getCaption(), "");
    EXPECT_EQ(box->getText(), "Could not open user manual");
    setenv("PATH", savedPath.c_str(), 1);
}
#endif

TEST_F(Strip, TheKeyboardFocusOptionIsStoredAndTheFrameFollowsIt) {
    // A fresh settings folder: the option is off, and a click leaves the focus alone.
    EXPECT_EQ(value(117), 0.f);
    EXPECT_FALSE(editor->getMyFrame()->getKeepFocus());
    screen->click(600, 80);
    EXPECT_EQ(screen->focusRequests, 0);
    click(117);
    EXPECT_TRUE(editor->getMyFrame()->getKeepFocus());
    EXPECT_EQ(screen->focusRequests, 1);  // switching it on takes the focus at once
    screen->click(600, 80);
    EXPECT_EQ(screen->focusRequests, 2);
    // A new window takes the stored choice without taking the focus yet.
    fx->dispatcher(fx, effEditClose, 0, 0, nullptr, 0);
    open();
    EXPECT_EQ(value(117), 1.f);
    EXPECT_TRUE(editor->getMyFrame()->getKeepFocus());
    EXPECT_EQ(screen->focusRequests, 0);
    uint32_t stored = 0;
    EXPECT_TRUE(editor->commands()->settingsStore().readNumber("KeyboardFocus", stored));
    EXPECT_EQ(stored, 1u);
}

TEST_F(Strip, WhatTheEditorChangesInTheSavedStateReachesTheHostOnceAndWhatTheHostSetsNever) {
    auto* qel = static_cast<QEL*>(effect);
    // As Qtractor does, the host sets each reported parameter back from inside the report.
    host.setHook([](testhost::Plugin* p, const testhost::HostCall& call) -> std::optional<VstIntPtr> {
        if (p && p->effect() && call.opcode == audioMasterAutomate) p->setParameter(call.index, call.opt);
        return std::nullopt;
    });
    auto midiControl = [&](uint8_t controller) {  // on an audio thread of the host's
        std::thread([&] { plugin->processEvents({{0, 0xB0, controller, 64}}); }).join();
    };
    dialogs.answers = {root + "start.qeb"};
    click(101);
    const std::vector<uint8_t> chunk = plugin->getChunk();
    const int kReport = params::kUnused43, kNone = -1;
    const struct {
        const char* what;
        std::function<void()> act;
        int automated;  // the one parameter the host hears of
    } actions[] = {
        // A fresh program 0 has its sides alike: only the feedback gain set here is copied.
        {"the link's copy", [&] { qel->setParameter(params::kFbGainL, 0.1f); click(62, 3); }, params::kFbGainR},
        {"the rocker", [&] { click(99, 1, 0, 1, 8); }, kReport},
        {"the rocker on the last program", [&] { qel->selectProgram(60); idle(); click(99, 1, 0, 1, 8); }, kNone},
        {"a name typed", [&] { strip->nameField()->setText("Night Bus"); editor->valueChanged(strip->nameField()); },
         kReport},
        {"a bank file", [&] { dialogs.answers = {root + "start.qeb"}; click(100); }, kReport},
        {"a controller learned", [&] { click(105); qel->setParameter(30, 0.4f); midiControl(81); }, kReport},
        {"a controller forgotten", [&] { click(109); qel->setParameter(30, 0.5f); }, kReport},
        {"the host's chunk, program, parameter, name and assignment, and a controller", [&] {
             plugin->setChunk(chunk);
             plugin->setProgram(0);
             plugin->setParameter(3, 0.7f);
             plugin->setProgramName("Host");
             plugin->setParameter(60 + 3, presets::controllerStepValue(7, 129));
             midiControl(7);
         }, kNone},
    };
    for (const auto& a : actions) {
        host.clearCalls();
        a.act();
        idle();
        const std::vector<testhost::HostCall> automated = host.calls(audioMasterAutomate);
        ASSERT_EQ(automated.size(), a.automated == kNone ? 0u : 1u) << a.what;
        if (a.automated == kNone) continue;
        EXPECT_EQ(automated[0].index, a.automated) << a.what;
        if (a.automated != kReport) continue;
        EXPECT_EQ(automated[0].opt, effect->getParameter(kReport)) << a.what;  // its own value: nothing changes
    }
    // The host's answer to a report is no touch: an armed learn still waits for one.
    click(105);
    click(99, 1, 0, 1, 8);
    EXPECT_EQ(qel->learnTarget(), -1);
}
