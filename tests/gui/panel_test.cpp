// The panel inside the whole effect, driven with the mouse on an offscreen window: the
// shared channel controls and their two sides, the link, the note and time controls, the
// edit brackets the host sees, host changes followed at idle, and the about screen.
#include <stdlib.h>

#include <cmath>
#include <thread>

#include "About.h"
#include "EditorFixture.h"
#include "MyFrame.h"
#include "QELControls.h"
#include "layout.h"
#include "../../src/host/QEL.h"
#include "../../src/params/Quantise.h"

using namespace guitest;
using namespace params;

namespace {

struct HostCall {
    VstInt32 opcode, index;
    float value;
};
std::vector<HostCall> gCalls;

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt) {
    if (opcode == audioMasterBeginEdit || opcode == audioMasterEndEdit || opcode == audioMasterAutomate)
        gCalls.push_back({opcode, index, opt});
    return opcode == audioMasterVersion ? 2400 : 0;
}

class PanelTest : public ::testing::Test, protected EditorFixture {
protected:
    void SetUp() override {
        makeEffect(hostCallback);
        open();
    }
    void TearDown() override { closeEffect(); }
    void open() {
        ASSERT_TRUE(openEditor());
        panel = editor->panel();
        // Program 0's two sides are equal, so it starts linked: the tests start unlinked.
        editor->linkOff();
        idle();
        gCalls.clear();
    }
    static CPoint centre(int tag) {
        for (const auto& c : layout::kPanel)
            if (c.tag == tag) return CPoint(std::floor((c.left + c.right) / 2), std::floor((c.top + c.bottom) / 2));
        return CPoint(-1, -1);
    }
    void click(int tag, int button = 1, uint32_t mods = 0) {
        screen->advance(1000);
        const CPoint p = centre(tag);
        screen->click(p.x, p.y, button, mods);
        idle();
    }
    // A vertical drag starting on the control's centre; up is positive.
    void drag(int tag, CCoord up) {
        screen->advance(1000);
        const CPoint p = centre(tag);
        screen->drag(p.x, p.y, p.x, p.y - up);
        idle();
    }
    float shown(int tag) { return panel->control(tag)->getValue(); }
    void setAll(std::initializer_list<std::pair<int, float>> values) {
        for (auto [index, value] : values) effect->setParameter(index, value);
        idle();
    }
    // The host's calls as text, e.g. "begin 5", "automate 6 0.7", "end 5".
    std::vector<std::string> calls() {
        std::vector<std::string> out;
        for (const HostCall& c : gCalls) {
            const char* what = c.opcode == audioMasterBeginEdit ? "begin " : c.opcode == audioMasterEndEdit ? "end " : "automate ";
            out.push_back(what + std::to_string(c.index) + (c.opcode == audioMasterAutomate ? " " + num(c.value) : ""));
        }
        return out;
    }

    Panel* panel = nullptr;
};

}  // namespace

TEST_F(PanelTest, TheSideButtonsChooseWhichDelaySideTheChannelControlsEdit) {
    setAll({{kDlyModeL, 0.f}, {kDlyModeR, 0.f}});  // free times: the time area shows them
    setAll({{kFbPanL, 0.2f}, {kFbPanR, 0.9f}, {kDlyTimeL, 0.25f}, {kDlyTimeR, 0.64f}, {kMuteInR, 1.f}});
    EXPECT_FLOAT_EQ(shown(83), 0.2f);
    EXPECT_FLOAT_EQ(shown(90), 0.5f);  // the time area shows the square root
    EXPECT_EQ(shown(91), 0.f);
    EXPECT_EQ(shown(92), 1.f);
    click(92);  // the right side
    EXPECT_TRUE(panel->rightSideShown());
    EXPECT_FLOAT_EQ(shown(83), 0.9f);
    EXPECT_FLOAT_EQ(shown(90), 0.8f);
    EXPECT_EQ(shown(96), 1.f);
    EXPECT_EQ(shown(91), 1.f);
    EXPECT_EQ(shown(92), 0.f);
    click(91);  // back to the left: everything as it was
    EXPECT_FLOAT_EQ(shown(83), 0.2f);
    EXPECT_FLOAT_EQ(shown(90), 0.5f);
    click(91);  // the side already shown: only that button falls back to 0
    EXPECT_FALSE(panel->rightSideShown());
    EXPECT_EQ(shown(91), 0.f);

    // A host change of the hidden side leaves every control as it is; of the shown side, not.
    std::vector<float> before;
    for (const auto& c : layout::kPanel) before.push_back(panel->control(c.tag)->getValue());
    std::thread([&] { effect->setParameter(kDlyTimeR, 0.1f); }).join();
    idle();
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(panel->control(layout::kPanel[i].tag)->getValue(), before[i]) << layout::kPanel[i].tag;
    std::thread([&] { effect->setParameter(kDlyTimeL, 0.09f); }).join();
    idle();
    EXPECT_FLOAT_EQ(shown(90), 0.3f);
    EXPECT_TRUE(calls().empty());  // following the host tells the host nothing
}

TEST_F(PanelTest, TheLinkMirrorsEditsAndASpecialClickCopiesTheShownSide) {
    setAll({{kFbPanL, 0.5f}, {kFbGainL, 0.3f}, {kFbGainR, 0.8f}});
    click(62);  // a plain click links and copies nothing
    EXPECT_TRUE(editor->isLinked());
    EXPECT_FLOAT_EQ(effect->getParameter(kFbGainR), 0.8f);

    // The shown pan turned down to 0.3 (200 pixels for the whole range): the other side
    // mirrors it, and the host sees both parameters touched inside one drag.
    drag(83, -40);
    EXPECT_NEAR(effect->getParameter(kFbPanL), 0.3f, 1e-6);
    EXPECT_NEAR(effect->getParameter(kFbPanR), 0.7f, 1e-6);
    const std::vector<std::string> seen = calls();
    ASSERT_GE(seen.size(), 4u);
    EXPECT_EQ(seen.front(), "begin 5");
    EXPECT_EQ(seen[1], "begin 6");
    EXPECT_EQ(seen[seen.size() - 2], "end 6");
    EXPECT_EQ(seen.back(), "end 5");

    // A right click copies all fourteen pairs (the pans mirrored) and stays linked.
    const std::pair<int, float> left[] = {{kFbGainL, 0.1f},  {kFbPanL, 0.2f},   {kDlyPanL, 0.35f}, {kDlyGateL, 0.4f},
                                          {kFbInvL, 0.75f},  {kMuteInL, 0.75f}, {kDlyInvL, 0.75f}, {kDlyModeL, 0.75f},
                                          {kRangeL, 0.5f},   {kDlyNumL, 0.7f},  {kDlyDenL, 0.3f},  {kDlyTimeL, 0.45f},
                                          {kPreNumL, 0.25f}, {kPreDenL, 0.6f}};
    for (auto [index, value] : left) effect->setParameter(index, value);
    idle();
    gCalls.clear();
    click(62, 3);
    EXPECT_TRUE(editor->isLinked());
    EXPECT_EQ(shown(62), 1.f);
    for (auto [index, value] : left) {
        const bool pan = index == kFbPanL || index == kDlyPanL;
        EXPECT_FLOAT_EQ(effect->getParameter(index + 1), pan ? 1.f - effect->getParameter(index) : effect->getParameter(index))
            << index;
    }
    const std::vector<std::string> copied = calls();
    EXPECT_EQ(std::count(copied.begin(), copied.end(), "begin " + std::to_string(kFbGainR)), 1);
    click(62);  // a plain click on a lit button unlinks
    EXPECT_FALSE(editor->isLinked());
}

TEST_F(PanelTest, NoteAndTimeControlsOfTheDelayAndTheLfo) {
    // Free delay time: the area stores thousandths of the square law; the buttons nudge.
    setAll({{kDlyModeL, 0.25f}, {kDlyTimeL, 0.25f}});
    drag(90, 100);  // 0.5 -> 0.6 over 100 pixels
    EXPECT_FLOAT_EQ(effect->getParameter(kDlyTimeL), 0.36f);
    click(77);
    EXPECT_FLOAT_EQ(effect->getParameter(kDlyTimeL), 0.361f);
    click(76, 1, kXShiftMask);
    EXPECT_FLOAT_EQ(effect->getParameter(kDlyTimeL), 0.351f);

    // Note mode: range and time snap back; the buttons step numerator and denominator,
    // wrapping, and down with a modifier.
    setAll({{kDlyModeL, 0.75f}, {kDlyNumL, centreOf(4, 5)}, {kDlyDenL, centreOf(0, 13)}});
    const float range = effect->getParameter(kRangeL), time = effect->getParameter(kDlyTimeL);
    click(89);
    drag(90, 50);
    EXPECT_EQ(effect->getParameter(kRangeL), range);
    EXPECT_EQ(effect->getParameter(kDlyTimeL), time);
    EXPECT_EQ(shown(89), range);
    click(76);
    EXPECT_EQ(positionOf(effect->getParameter(kDlyNumL), 5), 0);
    click(77, 1, kXControlMask);
    EXPECT_EQ(positionOf(effect->getParameter(kDlyDenL), 13), 12);

    // Pre-delay with the link on: the other side takes the stepped value and the partner.
    setAll({{kPreNumL, centreOf(2, 6)}, {kPreDenL, centreOf(5, 13)}, {kPreDenR, centreOf(9, 13)}});
    click(62);
    click(74);
    EXPECT_EQ(positionOf(effect->getParameter(kPreNumL), 6), 3);
    EXPECT_EQ(positionOf(effect->getParameter(kPreNumR), 6), 3);
    EXPECT_EQ(positionOf(effect->getParameter(kPreDenR), 13), 5);

    // The LFO rate buttons stop at 0.01 and 15 Hz.
    auto rate = [&] { return std::pow(16.0, effect->getParameter(kLfoRate)) - 1.0; };
    auto setRate = [&](double hz) { setAll({{kLfoRate, static_cast<float>(std::log(hz + 1.0) / std::log(16.0))}}); };
    setAll({{kLfoMode, 0.f}});
    setRate(0.0105);
    click(78);
    EXPECT_NEAR(rate(), 0.01, 1e-6);
    setRate(14.9995);
    click(79);
    EXPECT_NEAR(rate(), 15.0, 1e-5);
    // The tempo area, with no tempo from the host: 30 + 370 x^2 BPM.
    const double position = effect->getTempoPosition();
    drag(61, 100);
    EXPECT_NEAR(std::sqrt(effect->getTempoPosition()), std::sqrt(position) + 0.1, 1e-4);
    EXPECT_NEAR(effect->hostTempo(), 30.0 + 370.0 * effect->getTempoPosition(), 1e-9);
    // Synced LFO: the rate area snaps back.
    setAll({{kLfoMode, 0.5f}});
    const float lfoRate = effect->getParameter(kLfoRate);
    drag(10, 80);
    EXPECT_EQ(effect->getParameter(kLfoRate), lfoRate);
}

TEST_F(PanelTest, EditBracketsStayBalancedAcrossLinkFlipsAndAClose) {
    click(62);
    screen->advance(1000);
    const CPoint pan = centre(85);
    screen->press(pan.x, pan.y);
    screen->move(pan.x, pan.y - 20);
    std::thread([&] { editor->linkOff(); }).join();  // a program load from another thread
    idle();
    screen->move(pan.x, pan.y - 30);
    screen->release(pan.x, pan.y - 30);
    idle();
    EXPECT_EQ(calls().front(), "begin 48");
    EXPECT_EQ(calls()[1], "begin 49");
    int open = 0;
    for (const std::string& c : calls()) open += c.rfind("begin", 0) == 0 ? 1 : c.rfind("end", 0) == 0 ? -1 : 0;
    EXPECT_EQ(open, 0);
    EXPECT_EQ(panel->editedTag(), -1);

    // The window closes in the middle of a drag: the host's touch ends with it.
    gCalls.clear();
    const CPoint input = centre(0);
    screen->press(input.x, input.y);
    screen->move(input.x, input.y - 10);
    EXPECT_EQ(panel->editedTag(), 0);
    fx->dispatcher(fx, effEditClose, 0, 0, nullptr, 0);
    EXPECT_EQ(calls().back(), "end 0");
    EXPECT_EQ(panel->editedTag(), -1);
    open = 0;
    for (const std::string& c : calls()) open += c.rfind("begin", 0) == 0 ? 1 : c.rfind("end", 0) == 0 ? -1 : 0;
    EXPECT_EQ(open, 0);
    for (const HostCall& c : gCalls) EXPECT_LT(c.index, 60);
}

TEST_F(PanelTest, TheAboutScreenOpensAndClosesOnLeftClicksOnly) {
    auto modal = [&] { return dynamic_cast<CSplashScreenMyView*>(editor->getFrame()->getModalView()); };
    click(82, 3);
    EXPECT_EQ(modal(), nullptr);
    for (CCoord x : {10.0, 930.0}) {  // either edge
        screen->advance(1000);
        screen->click(x, 80);
        idle();
        ASSERT_NE(modal(), nullptr);
        screen->advance(1000);
        screen->click(500, 80, 3);  // a right click keeps it
        ASSERT_NE(modal(), nullptr);
        screen->advance(1000);
        screen->click(500, 80);
        EXPECT_EQ(modal(), nullptr);
        idle();
    }
    EXPECT_TRUE(calls().empty());
    // Closing the window while it shows releases it with the frame (the leak checker sees
    // the rest).
    screen->advance(1000);
    screen->click(10, 80);
    idle();
    ASSERT_NE(modal(), nullptr);
    fx->dispatcher(fx, effEditClose, 0, 0, nullptr, 0);
    open();
    EXPECT_EQ(editor->getFrame()->getModalView(), nullptr);
}

TEST_F(PanelTest, TheArtworkSitsSeamlesslyOnThePanel) {
    // Each knob's drawing rectangle starts with panel pixels in its corners, and so does
    // every button and switch: the film strips carry the panel where their element ends.
    const PixelRows panelArt = resources::load(128)->pixels();
    auto panelPixel = [&](int x, int y) { return panelArt.at(x, y) & 0xffffff; };
    int checked = 0;
    for (const auto& c : layout::kPanel) {
        const int inset = c.kind == layout::Kind::Knob ? 1 : 0;
        if (c.kind != layout::Kind::Knob && c.kind != layout::Kind::OnOff && c.kind != layout::Kind::Kick &&
            c.kind != layout::Kind::Switch)
            continue;
        const int x = static_cast<int>(c.left) + inset, y = static_cast<int>(c.top) + inset;
        EXPECT_EQ(screen->pixel(x, y), panelPixel(x, y)) << "control " << c.tag;
        ++checked;
    }
    EXPECT_EQ(checked, 21 + 10 + 6 + 7);  // knobs, on/off buttons (with the side tabs), step buttons, switches
}
