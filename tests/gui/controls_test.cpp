// The toolkit's stock controls: value laws, edit brackets and notifications.
#include <tuple>

#include "GuiTest.h"

using namespace guitest;

using Controls = FrameTest;

TEST_F(Controls, KnobLinearDragCoversTheRangeIn200PixelsTimesZoomWithShift) {
    auto* knob = add(new CAnimKnob(CRect(100, 20, 135, 55), &listener, 3, 101, 37, nullptr));
    knob->setZoomFactor(5.f);
    knob->setValue(0.5f);
    screen->drag(110, 40, 110, -60);  // 100 px up
    EXPECT_FLOAT_EQ(knob->getValue(), 1.f);

    knob->setValue(0.5f);
    screen->drag(110, 40, 110, -60, kXShiftMask);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.6f);

    knob->setValue(0.5f);
    screen->drag(110, 40, 160, 40);  // right counts like up
    EXPECT_FLOAT_EQ(knob->getValue(), 0.75f);

    knob->setValue(0.5f);
    screen->drag(110, 40, 110, 400);  // clamped at the minimum
    EXPECT_FLOAT_EQ(knob->getValue(), 0.f);
}

TEST_F(Controls, KnobRebasesWhenShiftChangesMidDrag) {
    auto* knob = add(new CAnimKnob(CRect(100, 20, 135, 55), &listener, 3, 101, 37, nullptr));
    knob->setZoomFactor(5.f);
    knob->setValue(0.5f);
    screen->press(110, 40);
    screen->move(110, 20);  // +20 px: 0.6
    EXPECT_FLOAT_EQ(knob->getValue(), 0.6f);
    screen->move(110, 20, kXShiftMask);  // Shift pressed, pointer still: nothing happens yet
    EXPECT_FLOAT_EQ(knob->getValue(), 0.6f);
    screen->move(110, 19, kXShiftMask);  // the first move with Shift re-bases: 21 px coarse
    EXPECT_NEAR(knob->getValue(), 0.605f, 1e-6);
    screen->move(110, -1, kXShiftMask);  // then 20 px at 1/1000 per pixel
    EXPECT_NEAR(knob->getValue(), 0.625f, 1e-6);
    screen->release(110, -1);
}

TEST_F(Controls, KnobCtrlClickRestoresTheDefaultInsideOneBracket) {
    auto* knob = add(new CAnimKnob(CRect(100, 20, 135, 55), &listener, 3, 101, 37, nullptr));
    knob->setDefaultValue(0.25f);
    knob->setValue(0.9f);
    screen->press(110, 40, 1, kXControlMask);
    screen->move(110, 0, kXControlMask);  // no capture after a reset
    screen->release(110, 0, 1, kXControlMask);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.25f);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"modifier 3 " + std::to_string(kLButton | kControl),
                                                   "listener begin 3", "effect begin 3", "changed 3 0.25",
                                                   "effect end 3", "listener end 3"}));
}

TEST_F(Controls, KnobWheelStepsByTheWheelIncrement) {
    auto* knob = add(new CAnimKnob(CRect(100, 20, 135, 55), &listener, 3, 101, 37, nullptr));
    knob->setWheelInc(1.f / 32);
    knob->setValue(0.5f);
    screen->wheel(110, 40, 1);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.53125f);
    screen->wheel(110, 40, -1, kXShiftMask);  // a tenth with Shift
    EXPECT_FLOAT_EQ(knob->getValue(), 0.528125f);
    knob->setValue(1.f);
    log.clear();
    screen->wheel(110, 40, 1);  // already at the top: no edit, no notification
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(Controls, HorizontalSwitchPositionsAcrossTheBitmap) {
    for (auto [id, width, frames] : {std::tuple{142, 19, 2}, std::tuple{143, 26, 3}})
        resources::setOverride(id, codedStrip(width, 9, frames));
    auto* b2 = new CBitmap(142);
    auto* b3 = new CBitmap(143);
    auto* two = add(new CHorizontalSwitch(CRect(109, 90, 128, 99), &listener, 88, 2, 9, 2, b2));
    auto* three = add(new CHorizontalSwitch(CRect(104, 57, 130, 66), &listener, 89, 3, 9, 3, b3));
    b2->forget();
    b3->forget();
    struct Case {
        CHorizontalSwitch* sw;
        CCoord x;
        float value;
    };
    const Case cases[] = {{two, 109, 0.f},   {two, 118, 0.f},   {two, 118.5, 1.f}, {two, 127, 1.f},
                          {three, 104, 0.f}, {three, 117, 0.5f}, {three, 129, 1.f}, {three, 112, 0.f}};
    for (const Case& c : cases) {
        screen->click(c.x, c.sw == two ? 94 : 60);
        EXPECT_FLOAT_EQ(c.sw->getValue(), c.value) << "x = " << c.x;
    }
    three->setValue(0.5f);
    screen->click(117, 60, 1, kXControlMask);  // Ctrl-click: the default, 0
    EXPECT_FLOAT_EQ(three->getValue(), 0.f);
}

TEST_F(Controls, OnOffButtonTogglesBetweenMinAndMax) {
    auto* b = add(new COnOffButton(CRect(10, 10, 34, 30), &listener, 46, nullptr));
    screen->click(20, 20);
    EXPECT_FLOAT_EQ(b->getValue(), 1.f);
    screen->click(20, 20);
    EXPECT_FLOAT_EQ(b->getValue(), 0.f);
    screen->click(20, 20, 3);  // right button: not taken
    EXPECT_FLOAT_EQ(b->getValue(), 0.f);
    EXPECT_EQ(log.count("changed 46"), 2u);
}

TEST_F(Controls, KickButtonIsPressedWhileInsideAndNotifiesOnRelease) {
    auto* k = add(new CKickButton(CRect(10, 10, 29, 29), &listener, 77, 19, nullptr));
    screen->press(15, 15);
    EXPECT_FLOAT_EQ(k->getValue(), 1.f);
    screen->move(50, 50);
    EXPECT_FLOAT_EQ(k->getValue(), 0.f);
    screen->move(15, 15);
    screen->release(15, 15);
    EXPECT_FLOAT_EQ(k->getValue(), 0.f);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"listener begin 77", "effect begin 77", "changed 77 1",
                                                   "changed 77 0", "effect end 77", "listener end 77"}));
}

TEST_F(Controls, RockerFollowsTheHalfUnderThePointerAndReturnsToZero) {
    auto* r = add(new CRockerSwitch(CRect(342, 156, 372, 169), &listener, 99, 13, nullptr));
    EXPECT_FLOAT_EQ(r->getValue(), 0.f);
    screen->press(350, 160);
    EXPECT_FLOAT_EQ(r->getValue(), -1.f);
    screen->move(360, 160);
    EXPECT_FLOAT_EQ(r->getValue(), 1.f);
    screen->move(500, 60);  // outside: the value at the press (0)
    EXPECT_FLOAT_EQ(r->getValue(), 0.f);
    screen->release(500, 60);
    EXPECT_FLOAT_EQ(r->getValue(), 0.f);
}

TEST_F(Controls, MovieBitmapRoundsToTheNearestFrame) {
    auto* m = add(new CMovieBitmap(CRect(43, 23, 50, 68), nullptr, 80, 21, 45, nullptr));
    const std::pair<float, int> cases[] = {{0.f, 0}, {0.024f, 0}, {0.025f, 1}, {0.749f, 15}, {0.99f, 20}, {1.f, 20}};
    for (auto [v, f] : cases) {
        m->setValue(v);
        EXPECT_EQ(m->frameForValue(), f) << v;
    }
    m->setValue(3.f);  // clamped to the maximum
    EXPECT_FLOAT_EQ(m->getValue(), 1.f);
}

TEST_F(Controls, SplashScreenOpensOnLeftClickAndClosesFromItsView) {
    auto* s = add(new CSplashScreen(CRect(2, 2, 21, 153), &listener, 82, nullptr, CRect(0, 0, 942, 171)));
    screen->click(10, 50, 3);  // right: no hit at all
    EXPECT_EQ(frame->getModalView(), nullptr);
    screen->click(10, 50);
    ASSERT_NE(frame->getModalView(), nullptr);
    EXPECT_FLOAT_EQ(s->getValue(), 1.f);
    screen->click(500, 80, 3);  // right on the splash: stays
    EXPECT_NE(frame->getModalView(), nullptr);
    screen->click(500, 80);
    EXPECT_EQ(frame->getModalView(), nullptr);
    EXPECT_FLOAT_EQ(s->getValue(), 0.f);
    screen->click(10, 50);  // again
    EXPECT_NE(frame->getModalView(), nullptr);
}

TEST_F(Controls, ParamDisplayTextComesFromItsCallback) {
    auto* d = add(new CParamDisplay(CRect(733, 157, 823, 169)));
    d->setValue(0.5f);
    EXPECT_EQ(d->getDisplayText(), "0.50");
    d->setValueToStringProc(
        [](float v, char out[256], void*) {
            std::snprintf(out, 256, "cc %d", static_cast<int>(v * 128));
            return true;
        },
        nullptr);
    EXPECT_EQ(d->getDisplayText(), "cc 64");
}

TEST_F(Controls, SetValueClampsAndNanGoesToTheMinimum) {
    CControl c(CRect(0, 0, 1, 1));
    c.setMin(-1.f);
    c.setValue(2.f);
    EXPECT_FLOAT_EQ(c.getValue(), 1.f);
    c.setValue(std::nanf(""));
    EXPECT_FLOAT_EQ(c.getValue(), -1.f);
    c.setValueNormalized(0.25f);
    EXPECT_FLOAT_EQ(c.getValue(), -0.5f);
}
