// The editor object: window lifecycle through the host's editor opcodes, values stored
// from other threads and applied at idle, and harmlessness without an X server.
#include <stdlib.h>

#include <atomic>
#include <memory>
#include <thread>

#include "Editor.h"
#include "GuiTest.h"
#include "MyFrame.h"
#include "../../src/host/QEL.h"

using namespace guitest;

namespace {

std::vector<std::pair<VstInt32, VstInt32>> gHostCalls;  // opcode, index

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float) {
    gHostCalls.emplace_back(opcode, index);
    return opcode == audioMasterVersion ? 2400 : 0;
}

// An editor that records what idle applies.
class ProbeEditor : public Editor {
public:
    ProbeEditor() : Editor(nullptr) {}
    std::vector<std::pair<int, float>> applied;
    std::vector<bool> links;
    std::vector<double> tempos;

protected:
    void applyParameter(int index, float value) override { applied.emplace_back(index, value); }
    void applyLink(bool on) override { links.push_back(on); }
    void applyTempo(double bpm) override { tempos.push_back(bpm); }
};

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override { OffscreenFrame::install(); }
    void TearDown() override { OffscreenFrame::uninstall(); }
    void* window = reinterpret_cast<void*>(0x400001);
};

}  // namespace

TEST_F(EditorTest, HostOpcodesOpenIdleAndCloseTheWindow) {
    gHostCalls.clear();
    AudioEffect* effect = createEffectInstance(hostCallback);
    ASSERT_NE(effect, nullptr);
    AEffect* fx = effect->getAeffect();
    EXPECT_TRUE(fx->flags & effFlagsHasEditor);

    ERect* rect = nullptr;  // answered before open
    ASSERT_EQ(fx->dispatcher(fx, effEditGetRect, 0, 0, &rect, 0), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->right, 942);
    EXPECT_EQ(rect->bottom, 171);

    EXPECT_EQ(fx->dispatcher(fx, effEditOpen, 0, 0, nullptr, 0), 0);  // no parent window
    fx->dispatcher(fx, effEditIdle, 0, 0, nullptr, 0);                 // idle before open is harmless
    ASSERT_EQ(fx->dispatcher(fx, effEditOpen, 0, 0, window, 0), 1);
    auto* editor = static_cast<Editor*>(effect->getEditor());
    ASSERT_NE(editor->getFrame(), nullptr);
    auto* screen = OffscreenFrame::of(editor->getFrame());
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->getNativeHandle(), window);
    EXPECT_EQ(fx->dispatcher(fx, effSetEditKnobMode, 0, kLinearMode, nullptr, 0), 1);
    EXPECT_EQ(editor->getKnobMode(), kLinearMode);

    fx->dispatcher(fx, effEditIdle, 0, 0, nullptr, 0);
    EXPECT_EQ(screen->presented, (std::vector<CRect>{CRect(0, 0, 942, 171)}));
    // The background is the panel artwork.
    const PixelRows panel = resources::load(128)->pixels();
    for (auto [x, y] : {std::pair{0, 0}, {600, 80}, {941, 170}, {600, 160}})
        EXPECT_EQ(screen->pixel(x, y), panel.at(x, y) & 0xffffff);

    // Keys from the host reach the frame (nothing takes them yet).
    EXPECT_EQ(fx->dispatcher(fx, effEditKeyDown, 'a', 0, nullptr, 0), 0);

    // A second open without a close replaces the window.
    ASSERT_EQ(fx->dispatcher(fx, effEditOpen, 0, 0, window, 0), 1);
    fx->dispatcher(fx, effEditClose, 0, 0, nullptr, 0);
    EXPECT_EQ(editor->getFrame(), nullptr);
    fx->dispatcher(fx, effEditIdle, 0, 0, nullptr, 0);
    fx->dispatcher(fx, effEditClose, 0, 0, nullptr, 0);  // twice is harmless
    ASSERT_EQ(fx->dispatcher(fx, effEditOpen, 0, 0, window, 0), 1);  // reopens
    fx->dispatcher(fx, effClose, 0, 0, nullptr, 0);  // closing the effect with the window open
}

#if !defined(_WIN32)
TEST_F(EditorTest, WithoutAnXServerOpenFailsQuietly) {
    OffscreenFrame::uninstall();  // the X11 backend, as in the plug-in
    const char* display = getenv("DISPLAY");
    std::string saved = display ? display : "";
    setenv("DISPLAY", ":9999", 1);  // no server there
    {
        Editor editor(nullptr);
        ERect* rect = nullptr;
        EXPECT_TRUE(editor.getRect(&rect));
        EXPECT_EQ(rect->right, 942);
        EXPECT_FALSE(editor.open(reinterpret_cast<void*>(0x400001)));
        EXPECT_EQ(editor.getFrame(), nullptr);
        EXPECT_FALSE(editor.isOpen());
        editor.idle();
        editor.close();
    }
    if (display)
        setenv("DISPLAY", saved.c_str(), 1);
    else
        unsetenv("DISPLAY");
}
#endif

TEST_F(EditorTest, CallsFromOtherThreadsAreAppliedAtTheNextIdle) {
    ProbeEditor editor;
    editor.setParameter(3, 0.25f);  // before open: stored, applied when the window opens
    editor.setParameter(-1, 1.f);   // out of range: ignored
    editor.setParameter(120, 1.f);
    ASSERT_TRUE(editor.open(window));
    EXPECT_EQ(editor.applied, (std::vector<std::pair<int, float>>{{3, 0.25f}}));
    EXPECT_EQ(editor.links, (std::vector<bool>{false}));
    EXPECT_EQ(editor.tempos, (std::vector<double>{120.0}));
    editor.applied.clear();
    editor.links.clear();
    editor.tempos.clear();

    std::thread automation([&] {
        for (int i = 0; i < 1000; ++i) editor.setParameter(i % 60, i / 1000.f);
        editor.linkOn();
        editor.tempoChanged(133.0);
    });
    automation.join();
    EXPECT_TRUE(editor.applied.empty());  // nothing touched until idle
    EXPECT_TRUE(editor.hasPendingChanges());
    editor.idle();
    ASSERT_EQ(editor.applied.size(), 60u);  // each parameter once, with its last value
    EXPECT_EQ(editor.applied[0], (std::pair<int, float>{0, 960 / 1000.f}));
    EXPECT_EQ(editor.applied[39], (std::pair<int, float>{39, 999 / 1000.f}));
    EXPECT_EQ(editor.applied[59], (std::pair<int, float>{59, 959 / 1000.f}));
    EXPECT_EQ(editor.links, (std::vector<bool>{true}));
    EXPECT_EQ(editor.tempos, (std::vector<double>{133.0}));
    EXPECT_TRUE(editor.isLinked());
    EXPECT_FALSE(editor.hasPendingChanges());
    editor.applied.clear();
    editor.idle();
    EXPECT_TRUE(editor.applied.empty());
    editor.close();
    editor.setParameter(5, 0.5f);  // closed: stored only
    EXPECT_FLOAT_EQ(editor.storedParameter(5), 0.5f);
    EXPECT_TRUE(editor.applied.empty());
}

TEST_F(EditorTest, FrameIsAKeepFocusFrameAndEveryOpenStartsWithTheOptionOn) {
    Editor editor(nullptr);
    ASSERT_TRUE(editor.open(window));
    editor.getMyFrame()->setKeepFocus(false);
    editor.close();
    ASSERT_TRUE(editor.open(window));
    EXPECT_TRUE(editor.getMyFrame()->getKeepFocus());
    EXPECT_EQ(VSTGUI::AEffGUIEditor::getStaticKnobMode(), kLinearMode);
    editor.close();
}
