// The editor's own controls and MyFrame's keyboard focus.
#include "GuiTest.h"
#include "MyFrame.h"
#include "QELControls.h"
#include "StripControls.h"

using namespace guitest;

using EditorControls = FrameTest;

TEST_F(EditorControls, OnOffButtonTogglesQuarterAndThreeQuarters) {
    auto* b = add(new QELOnOffButton(CRect(784, 102, 808, 122), &listener, 42, nullptr));
    screen->click(790, 110);
    EXPECT_FLOAT_EQ(b->getValue(), 0.75f);
    screen->advance(1000);
    screen->click(790, 110);
    EXPECT_FLOAT_EQ(b->getValue(), 0.25f);
    b->setValue(1.f);  // a host value of 1.0 is on; the next click turns it off
    screen->advance(1000);
    screen->click(790, 110);
    EXPECT_FLOAT_EQ(b->getValue(), 0.25f);
    EXPECT_EQ(log.lines[0], "listener begin 42");
    EXPECT_EQ(log.lines[1], "effect begin 42");
    EXPECT_EQ(log.lines[2], "changed 42 0.75");
    EXPECT_EQ(log.lines[3], "effect end 42");
    EXPECT_EQ(log.lines[4], "listener end 42");
}

namespace {
// Records the special-click flag as the listener sees it.
struct FlagListener : CControlListener {
    std::vector<bool> flags;
    void valueChanged(CControl* c) override { flags.push_back(static_cast<QELOnOffButton*>(c)->isSpecialClick()); }
};
}  // namespace

TEST_F(EditorControls, OnOffButtonReportsRightAndCtrlClicksAsSpecial) {
    FlagListener flags;
    auto* b = add(new QELOnOffButton(CRect(61, 70, 85, 90), &flags, 62, nullptr));
    screen->click(70, 80, 3);  // right click toggles too
    EXPECT_FLOAT_EQ(b->getValue(), 0.75f);
    screen->advance(1000);
    screen->click(70, 80, 1, kXControlMask);
    screen->advance(1000);
    screen->click(70, 80);
    screen->advance(1000);
    screen->click(70, 80, 2);  // middle: nothing
    EXPECT_EQ(flags.flags, (std::vector<bool>{true, true, false}));
    EXPECT_FLOAT_EQ(b->getValue(), 0.75f);
    EXPECT_FALSE(b->isSpecialClick());
}

TEST_F(EditorControls, KickButtonFiresOnPressWithItsStep) {
    auto* k = add(new QELKickButton(CRect(90, 24, 109, 43), &listener, 74, 19, nullptr, CPoint(0, 0)));
    struct Case {
        uint32_t mods;
        float step;
    };
    for (Case c : {Case{0, 1.f}, Case{kXShiftMask, 10.f}, Case{kXControlMask, 100.f},
                   Case{kXShiftMask | kXControlMask, 100.f}}) {
        log.clear();
        listener.modifierAnswer = 0;
        screen->press(100, 30, 1, c.mods);
        EXPECT_FLOAT_EQ(k->getStep(), c.step);
        EXPECT_FLOAT_EQ(k->getValue(), 1.f);
        EXPECT_EQ(log.count("changed 74 1"), 1u);
        screen->release(100, 30, 1, c.mods);
        EXPECT_FLOAT_EQ(k->getValue(), 0.f);
        EXPECT_EQ(log.count("changed"), 1u);  // the release does not notify
        screen->advance(1000);
    }
    screen->click(100, 30, 3);
    EXPECT_FLOAT_EQ(k->getValue(), 0.f);
}

TEST_F(EditorControls, VerticalSelectorPicksThePositionUnderThePointer) {
    auto* s = add(new QELSwitchVert(CRect(359, 83, 375, 139), &listener, 9, 5, 56, 5, nullptr, CPoint(0, 0)));
    screen->click(365, 83 + 55);
    EXPECT_FLOAT_EQ(s->getValue(), 0.8f);
    screen->advance(1000);
    screen->click(365, 83 + 10);
    EXPECT_FLOAT_EQ(s->getValue(), 0.f);
    screen->advance(1000);
    screen->click(365, 83 + 23);  // 23 / 56 * 5 = 2.05
    EXPECT_FLOAT_EQ(s->getValue(), 0.4f);
    screen->advance(1000);
    screen->click(365, 83 + 55, 3);
    EXPECT_FLOAT_EQ(s->getValue(), 0.4f);
}

TEST_F(EditorControls, InvisibleSliderDragLaw) {
    auto* s = add(new CInvisibleSlider(CRect(112, 115, 125, 132), &listener, 90));
    s->setValue(0.2f);
    screen->press(118, 120);
    screen->move(118, 20);  // 100 px up at 1/1000
    EXPECT_NEAR(s->getValue(), 0.3f, 1e-6);
    screen->move(118, 20, kXShiftMask);  // Shift: 1/5000 from here on, no jump
    EXPECT_NEAR(s->getValue(), 0.3f, 1e-6);
    screen->move(118, -80, kXShiftMask);
    EXPECT_NEAR(s->getValue(), 0.32f, 1e-6);
    screen->release(118, -80, 1, kXShiftMask);

    s->setValue(0.2f);
    screen->advance(1000);
    screen->drag(118, 120, 318, 120);  // 200 px right counts as 100 up
    EXPECT_NEAR(s->getValue(), 0.3f, 1e-6);

    s->setValue(0.2f);
    screen->advance(1000);
    screen->drag(118, 120, 118, 20, kXShiftMask);  // Shift from the press: 1/4000
    EXPECT_NEAR(s->getValue(), 0.225f, 1e-6);
}

TEST_F(EditorControls, InvisibleSliderClampsAndRestartsFromTheClampedValue) {
    auto* s = add(new CInvisibleSlider(CRect(112, 115, 125, 132), &listener, 90));
    s->setValue(0.1f);
    screen->drag(118, 120, 118, 500);  // far below the minimum
    EXPECT_FLOAT_EQ(s->getValue(), 0.f);
    screen->advance(1000);
    screen->drag(118, 120, 118, 70);
    EXPECT_NEAR(s->getValue(), 0.05f, 1e-6);
    EXPECT_EQ(log.count("listener begin 90"), 2u);
    EXPECT_EQ(log.count("listener end 90"), 2u);
}

TEST_F(EditorControls, InvisibleSliderWheelAndCopy) {
    auto* s = add(new CInvisibleSlider(CRect(112, 115, 125, 132), &listener, 90));
    s->setValue(0.5f);
    screen->wheel(118, 120, 1);
    EXPECT_NEAR(s->getValue(), 0.505f, 1e-6);
    screen->wheel(118, 120, -1, kXShiftMask);
    EXPECT_NEAR(s->getValue(), 0.5047f, 1e-6);
    EXPECT_EQ(log.count("changed 90"), 2u);
    EXPECT_TRUE(s->isTypeOf("CInvisibleSlider"));
    EXPECT_TRUE(s->isTypeOf("CControl"));
    EXPECT_TRUE(s->isTypeOf("CBaseObject"));
    EXPECT_FALSE(s->isTypeOf("CKnob"));
    auto* copy = static_cast<CInvisibleSlider*>(s->newCopy());
    EXPECT_EQ(copy->getTag(), 90);
    EXPECT_FLOAT_EQ(copy->getValue(), s->getValue());
    copy->forget();
}

TEST_F(EditorControls, AnimKnobDragsFiveTimesFinerWithShift) {
    auto* k = add(new QELAnimKnob(CRect(383, 29, 418, 64), &listener, 0, 101, 37, nullptr, CPoint(2, 2),
                                  CRect(384, 30, 417, 63)));
    k->setWheelInc(1.f / 32);
    k->setValue(0.5f);
    screen->drag(400, 46, 400, -54);
    EXPECT_FLOAT_EQ(k->getValue(), 1.f);
    k->setValue(0.5f);
    screen->advance(1000);
    screen->drag(400, 46, 400, -54, kXShiftMask);
    EXPECT_FLOAT_EQ(k->getValue(), 0.6f);
    screen->wheel(400, 46, 1);
    EXPECT_FLOAT_EQ(k->getValue(), 0.63125f);
}

// ---------------------------------------------------------------- MyFrame

class FocusTest : public ::testing::Test {
protected:
    void SetUp() override {
        OffscreenFrame::install();
        frame = new MyFrame(CRect(0, 0, 942, 171), reinterpret_cast<void*>(1), &editor);
        screen = OffscreenFrame::of(frame);
        knob = new QELAnimKnob(CRect(383, 29, 418, 64), &listener, 0, 101, 37, nullptr, CPoint(2, 2),
                               CRect(384, 30, 417, 63));
        frame->addView(knob);
    }
    void TearDown() override {
        frame->close();
        OffscreenFrame::uninstall();
    }
    Log log;
    RecordingListener listener{log};
    RecordingEditor editor{log};
    MyFrame* frame = nullptr;
    OffscreenFrame* screen = nullptr;
    QELAnimKnob* knob = nullptr;
};

TEST_F(FocusTest, KeepFocusTakesTheFocusOnEveryClickInside) {
    EXPECT_TRUE(frame->getKeepFocus());  // on after construction
    EXPECT_EQ(screen->focusRequests, 0);
    screen->click(400, 46);
    screen->click(5, 5);  // on the background too
    EXPECT_EQ(screen->focusRequests, 2);
}

TEST_F(FocusTest, OptionOffLeavesTheFocusAloneAndOnTakesItAtOnce) {
    frame->setKeepFocus(false);
    EXPECT_EQ(screen->focusRequests, 0);  // nothing given back either
    screen->click(400, 46);
    EXPECT_EQ(screen->focusRequests, 0);
    EXPECT_EQ(log.count("effect begin 0"), 1u);  // the click still worked
    frame->setKeepFocus(true);
    EXPECT_EQ(screen->focusRequests, 1);
    screen->click(400, 46);
    EXPECT_EQ(screen->focusRequests, 2);
}

TEST_F(FocusTest, ClicksDroppedWhileADialogIsOpenDoNotMoveTheFocus) {
    struct Pending : CFrameTask {
        bool poll() override { return false; }
        bool blocksInput() const override { return true; }
    };
    auto* task = new Pending;
    frame->addTask(task);
    task->forget();
    screen->click(400, 46);
    EXPECT_EQ(screen->focusRequests, 0);
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(EditorControls, StripControlsNotifyOncePerPressAndShowHoverAndValueFrames) {
    // Frame-coded bitmaps: the colour at a control's centre names the frame drawn.
    const struct {
        int id, width, frameHeight, frames;
    } art[] = {{990, 17, 15, 3}, {992, 32, 13, 3}, {995, 30, 13, 5}, {998, 24, 16, 3}};
    for (const auto& a : art) resources::setOverride(a.id, codedStrip(a.width, a.frameHeight, a.frames));
    auto made = [this](auto* c) {
        c->getBackground()->forget();  // the control holds its own reference
        return add(c);
    };
    auto* load = made(new CSaveLoadButton(CRect(87, 156, 104, 171), &listener, 100, new CBitmap(990)));
    auto* preset = made(new CPSKickButton(CRect(53, 156, 85, 169), &listener, 111, new CBitmap(992), true));
    made(new CPSRockerSwitch(CRect(342, 156, 372, 169), &listener, 99, new CBitmap(995)));
    auto* learn = made(new CPSOnOffButton(CRect(831, 155, 855, 171), &listener, 105, new CBitmap(998)));
    auto frameAt = [this](CCoord x, CCoord y, int frames) {
        frame->idle();
        return frameOfColour(screen->pixel(static_cast<int>(x), static_cast<int>(y)), frames);
    };
    auto click = [this](CCoord x, CCoord y, int button = 1, uint32_t mods = 0) {
        screen->advance(1000);
        screen->click(x, y, button, mods);
    };
    auto changes = [this] {
        std::vector<std::string> out;
        for (const auto& l : log.lines)
            if (l.rfind("changed", 0) == 0) out.push_back(l);
        return out;
    };

    // Hover: on enter, off on exit; the rocker tells its halves apart.
    screen->move(95, 163);
    EXPECT_EQ(frameAt(95, 163, 3), 1);
    screen->move(345, 162);
    EXPECT_EQ(frameAt(95, 163, 3), 0);
    EXPECT_EQ(frameAt(345, 162, 5), 1);
    screen->move(368, 162);
    EXPECT_EQ(frameAt(345, 162, 5), 2);

    // The rocker steps once, on the press; its value frame wins over the hover frame, and
    // leaving, coming back and releasing notify nothing.
    log.clear();
    screen->press(368, 162);
    EXPECT_EQ(frameAt(368, 162, 5), 4);
    screen->move(368, 190);
    screen->move(345, 162);
    screen->release(345, 162);
    EXPECT_EQ(changes(), (std::vector<std::string>{"changed 99 1"}));
    EXPECT_EQ(frameAt(345, 162, 5), 1);
    click(345, 162);
    EXPECT_EQ(changes().back(), "changed 99 -1");

    // Load: a plain right click asks for the reversed variant; any other click is plain.
    log.clear();
    click(95, 163, 3);
    click(95, 163, 3, kXShiftMask);
    click(95, 163);
    EXPECT_EQ(changes(), (std::vector<std::string>{"changed 100 0.5", "changed 100 1", "changed 100 1"}));
    EXPECT_EQ(load->getValue(), 0.f);

    // A default button: a single click is not taken; a double click 1, with Ctrl 0.5; it
    // shows pressed while held and notifies nothing on release.
    log.clear();
    click(69, 162);
    screen->advance(1000);
    screen->click(69, 162);
    screen->press(69, 162);
    EXPECT_EQ(frameAt(69, 162, 3), 2);
    screen->release(69, 162);
    EXPECT_EQ(frameAt(69, 162, 3), 1);
    screen->advance(1000);
    screen->click(69, 162, 1, kXControlMask);
    screen->click(69, 162, 1, kXControlMask);
    EXPECT_EQ(changes(), (std::vector<std::string>{"changed 111 1", "changed 111 0.5"}));
    EXPECT_FALSE(preset->isPressed());

    // On/off: a left click toggles, the right button does nothing.
    log.clear();
    click(843, 163);
    EXPECT_EQ(frameAt(843, 163, 3), 2);
    click(843, 163, 3);
    EXPECT_EQ(learn->getValue(), 1.f);
    click(843, 163);
    EXPECT_EQ(changes(), (std::vector<std::string>{"changed 105 1", "changed 105 0"}));
    EXPECT_EQ(frameAt(843, 163, 3), 1);  // off, with the pointer on it

    EXPECT_EQ(log.count("effect begin") + log.count("listener begin"), 0u);  // no edit brackets
}
