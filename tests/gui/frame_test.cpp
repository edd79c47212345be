// The frame: hit testing, capture, the modal view, modifier clicks, enter/exit tracking,
// edit brackets, input translation, timers, idle and repainting.
#include <thread>

#include "GuiTest.h"

using namespace guitest;

using Dispatch = FrameTest;

TEST_F(Dispatch, PressGoesToTheTopmostViewAndAnOpaqueRefusalEndsTheSearch) {
    auto* lower = add(new Probe(CRect(10, 10, 60, 60), "lower", log));
    auto* upper = add(new Probe(CRect(40, 40, 90, 90), "upper", log, kMouseEventNotHandled));
    screen->press(50, 50);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"upper down 50,50"}));
    screen->release(50, 50);

    log.clear();
    upper->setTransparency(true);
    screen->press(50, 50);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"upper down 50,50", "lower down 50,50"}));
    screen->release(50, 50);

    log.clear();
    upper->setMouseEnabled(false);
    lower->setVisible(false);
    screen->press(50, 50);  // neither is eligible
    EXPECT_TRUE(log.lines.empty());
    screen->release(50, 50);
    lower->setVisible(true);
    log.clear();
    screen->press(60, 30);  // the right edge lies outside a rectangle
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(Dispatch, HandledPressCapturesMovesAndReleaseButResultThreeGetsNeither) {
    auto* a = add(new Probe(CRect(10, 10, 30, 30), "a", log, kMouseEventHandled));
    add(new Probe(CRect(100, 10, 120, 30), "b", log, kMouseDownEventHandledButDontNeedMovedOrUpEvents));
    screen->press(20, 20);
    screen->move(300, 150);  // far outside the view
    screen->release(300, 150);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"a down 20,20", "a moved 300,150", "a up 300,150"}));
    EXPECT_EQ(a->lastButtons, 0);  // the release carries the buttons still held: none

    log.clear();
    screen->press(110, 20);
    screen->move(20, 20);  // over "a", with the button held: belongs to nobody
    screen->release(20, 20);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"b down 110,20", "a entered"}));
}

TEST_F(Dispatch, ModalViewTakesEveryPressAndIsAllGetViewAtKnows) {
    auto* under = add(new Probe(CRect(0, 0, 100, 100), "under", log));
    auto* modal = new Probe(CRect(200, 0, 300, 100), "modal", log, kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    ASSERT_TRUE(frame->setModalView(modal));
    auto* second = new Probe(CRect(0, 0, 10, 10), "second", log);
    EXPECT_FALSE(frame->setModalView(second));
    second->forget();

    screen->click(50, 50);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"modal down 50,50"}));
    EXPECT_EQ(frame->getViewAt(CPoint(50, 50)), nullptr);
    EXPECT_EQ(frame->getViewAt(CPoint(250, 50)), modal);

    // Clearing hands the reference back instead of releasing the view.
    modal->remember();
    EXPECT_TRUE(frame->setModalView(nullptr));
    EXPECT_EQ(modal->getNbReference(), 2);
    modal->forget();
    modal->forget();
    EXPECT_EQ(frame->getViewAt(CPoint(50, 50)), under);
}

TEST_F(Dispatch, ListenerIsAskedFirstForRightClicksAndModifiers) {
    auto* knob = add(new CKnob(CRect(10, 10, 40, 40), &listener, 7, nullptr, nullptr));
    screen->press(20, 20, 3, kXControlMask);  // right + Ctrl
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "modifier 7 " + std::to_string(kRButton | kControl));
    screen->release(20, 20, 3);

    log.clear();
    listener.modifierAnswer = 1;  // consumes the click: the knob sees nothing
    screen->press(20, 20, 1, kXShiftMask);
    screen->move(20, 0, kXShiftMask);
    screen->release(20, 0, 1, kXShiftMask);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"modifier 7 " + std::to_string(kLButton | kShift)}));
    EXPECT_EQ(knob->getValue(), 0.f);

    log.clear();
    screen->click(20, 20);  // plain left: not asked
    EXPECT_EQ(log.count("modifier"), 0u);
}

TEST_F(Dispatch, EnterAndExitFollowThePointerButNotDuringACapture) {
    add(new Probe(CRect(10, 10, 50, 50), "a", log));
    add(new Probe(CRect(40, 10, 90, 50), "b", log));
    screen->move(20, 20);
    screen->move(45, 20);  // over the overlap: b lies on top
    screen->move(200, 100);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"a entered", "a moved 20,20", "a exited", "b entered",
                                                   "b moved 45,20", "b exited"}));
    log.clear();
    screen->move(20, 20);
    screen->press(20, 20);
    screen->move(60, 20);  // captured by a: no exit, no enter
    screen->release(60, 20);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"a entered", "a moved 20,20", "a down 20,20", "a moved 60,20",
                                                   "a up 60,20", "a exited", "b entered"}));
    log.clear();
    screen->leave();
    EXPECT_EQ(log.lines, (std::vector<std::string>{"b exited"}));
    CPoint where;
    frame->getCurrentMouseLocation(where);
    EXPECT_EQ(where, CPoint(-1, -1));
}

TEST_F(Dispatch, EditBracketsNestListenerOutsideEffect) {
    auto* knob = add(new CKnob(CRect(10, 10, 40, 40), &listener, 12, nullptr, nullptr));
    knob->setValue(0.5f);
    screen->drag(20, 30, 20, 10);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"listener begin 12", "effect begin 12", "changed 12 0.6",
                                                   "effect end 12", "listener end 12"}));
}

TEST_F(Dispatch, PressElsewhereCommitsTheTextBeingEdited) {
    auto* edit = add(new CTextEdit(CRect(200, 150, 300, 165), &listener, 98, "Init"));
    add(new Probe(CRect(10, 10, 50, 50), "p", log));
    screen->click(299, 157);  // selects the whole text
    ASSERT_TRUE(edit->isEditing());
    screen->key(0, VKEY_END);
    screen->type("!");
    screen->click(20, 20);
    EXPECT_FALSE(edit->isEditing());
    EXPECT_STREQ(edit->getText(), "Init!");
    EXPECT_EQ(log.lines, (std::vector<std::string>{"listener begin 98", "effect begin 98", "changed 98 0", "effect end 98",
                                                   "listener end 98", "p down 20,20", "p up 20,20", "p entered"}));
}

TEST_F(Dispatch, CloseReleasesEveryViewAndTheModalView) {
    auto* child = new Probe(CRect(0, 0, 10, 10), "c", log);
    auto* modal = new Probe(CRect(0, 0, 10, 10), "m", log);
    child->remember();
    modal->remember();
    frame->addView(child);
    frame->setModalView(modal);
    frame->close();
    frame = nullptr;
    EXPECT_EQ(child->getNbReference(), 1);
    EXPECT_EQ(modal->getNbReference(), 1);
    EXPECT_FALSE(child->isAttached());
    child->forget();
    modal->forget();
}

// ---------------------------------------------------------------- input translation

using Input = FrameTest;

TEST_F(Input, ButtonStatesFollowTheWindowsConvention) {
    auto* p = add(new Probe(CRect(0, 0, 100, 100), "p", log));
    screen->press(10, 10, 3, kXControlMask);
    EXPECT_EQ(p->lastButtons, kRButton | kControl);
    screen->press(10, 10, 1, kXShiftMask | kXMod1Mask);  // right still held
    screen->move(12, 10, kXShiftMask | kXMod1Mask);
    EXPECT_EQ(p->lastButtons, kLButton | kRButton | kShift | kAlt);
    screen->release(12, 10, 3);  // left still held after the release
    EXPECT_EQ(p->lastButtons, kLButton);
}

TEST_F(Input, WheelButtonsAreNotchesOnTheViewUnderThePointer) {
    auto* p = add(new Probe(CRect(0, 0, 100, 100), "p", log));
    screen->wheel(10, 10, 1, kXShiftMask);
    EXPECT_EQ(p->lastButtons, kShift);
    screen->wheel(10, 10, -2);
    screen->wheel(200, 10, 1);  // nothing there
    EXPECT_EQ(log.lines, (std::vector<std::string>{"p wheel 1", "p wheel -1", "p wheel -1"}));
}

TEST_F(Input, DoubleClickIsASecondPressWithin500msAnd4Pixels) {
    auto* p = add(new Probe(CRect(0, 0, 200, 100), "p", log, kMouseDownEventHandledButDontNeedMovedOrUpEvents));
    auto pressAt = [&](CCoord x, uint32_t dt, int button = 1) {
        screen->advance(dt);
        screen->click(x, 10, button);
        return (p->lastButtons & kDoubleClick) != 0;
    };
    EXPECT_FALSE(pressAt(10, 1000));
    EXPECT_TRUE(pressAt(14, 499));  // 4 px, 499 ms
    EXPECT_FALSE(pressAt(14, 100)); // a third press is single again
    EXPECT_FALSE(pressAt(14, 1000));
    EXPECT_FALSE(pressAt(14, 501)); // too late
    EXPECT_FALSE(pressAt(19, 100)); // too far (5 px)
    EXPECT_FALSE(pressAt(19, 100, 3));  // another button
    EXPECT_TRUE(pressAt(19, 100, 3));

    DoubleClickDetector d;  // server time wraps around
    EXPECT_FALSE(d.press(1, CPoint(0, 0), 0xFFFFFF00u));
    EXPECT_TRUE(d.press(1, CPoint(0, 0), 0x00000010u));
}

// ---------------------------------------------------------------- idle, timers, threads

using Idle = FrameTest;

TEST_F(Idle, TimerFiresAtMostOncePerIdle) {
    int fired = 0;
    auto* timer = new CVSTGUITimer([&](CVSTGUITimer*) { ++fired; }, 30, frame);
    timer->start();
    for (int i = 0; i < 4; ++i) {
        screen->advance(50);
        frame->idle();
    }
    EXPECT_EQ(fired, 4);
    screen->advance(500);  // a long gap gives one call, not a burst
    frame->idle();
    EXPECT_EQ(fired, 5);
    screen->advance(20);
    frame->idle();
    EXPECT_EQ(fired, 5);
    timer->forget();  // stops it
    screen->advance(50);
    frame->idle();
    EXPECT_EQ(fired, 5);
}

TEST_F(Idle, NestedIdleFromATimerOnlyRepaints) {
    int fired = 0;
    auto* control = add(new CControl(CRect(10, 10, 20, 20), nullptr, 1, nullptr));
    auto* timer = new CVSTGUITimer(
        [&](CVSTGUITimer*) {
            ++fired;
            control->setValue(0.7f);
            screen->advance(100);
            frame->idle();  // the editor's idle calls the frame's idle again
        },
        30, frame);
    timer->start();
    frame->idle();
    screen->presented.clear();
    screen->advance(40);
    frame->idle();
    EXPECT_EQ(fired, 1);
    ASSERT_EQ(screen->presented.size(), 1u);
    EXPECT_EQ(screen->presented[0], CRect(10, 10, 20, 20));
    timer->forget();
}

TEST_F(Idle, ValueStoredFromAnotherThreadRepaintsExactlyItsControl) {
    auto* a = add(new CMovieBitmap(CRect(43, 23, 50, 68), nullptr, 80, 21, 45, nullptr));
    add(new CMovieBitmap(CRect(43, 87, 50, 132), nullptr, 81, 21, 45, nullptr));
    frame->idle();
    screen->presented.clear();
    std::thread([a] { a->setValue(0.75f); }).join();
    frame->idle();
    EXPECT_EQ(screen->presented, (std::vector<CRect>{CRect(43, 23, 50, 68)}));
    screen->presented.clear();
    frame->idle();  // nothing changed since
    EXPECT_TRUE(screen->presented.empty());
}

TEST_F(Idle, PendingBlockingTaskDropsInputButIdleStillRepaints) {
    struct Task : CFrameTask {
        bool done = false;
        bool poll() override { return done; }
        bool blocksInput() const override { return true; }
    };
    auto* p = add(new Probe(CRect(0, 0, 100, 100), "p", log));
    auto* task = new Task;
    frame->addTask(task);
    screen->click(10, 10);
    screen->wheel(10, 10, 1);
    EXPECT_EQ(screen->key('a'), -1);
    EXPECT_TRUE(log.lines.empty());
    p->invalid();
    screen->presented.clear();
    frame->idle();
    EXPECT_FALSE(screen->presented.empty());
    task->done = true;
    frame->idle();
    task->forget();
    screen->click(10, 10);
    EXPECT_EQ(log.count("p down"), 1u);
}
