// The value display's pure steps: digit cells from a display record, the item under the
// mouse or the drag, the blink of a limited note value, and the meters' rise and fall.
#include <gtest/gtest.h>

#include <cmath>

#include "ValueDisplay.h"

using namespace valuedisplay;
using params::DisplayValue;

namespace {

// Expected cells as frame numbers, tag order 64..73. Cell 1 has 13 frames (0 blank, 1..10
// digits, 11 minus, 12 plus), cells 2..4 have 11, points and marks 2; a cell's value is its
// frame / (frames - 1).
struct CellCase {
    const char* reads;
    DisplayValue value;
    bool blink;
    int frames[kCellCount];
};

TEST(ValueDisplayCells, FramesOfEachKindOfValue) {
    const CellCase cases[] = {
        // reads, {number, point, signed, ratio mode, numerator, denominator}, blink,
        // frames {cells 1..4, points after 1..3, marks after 1..3}
        {"+0.00", {0, 1, true, 0, -1, 0}, true, {12, 1, 1, 1, 0, 1, 0, 0, 0, 0}},
        {"120.0", {1200, 3, false, 0, -1, 0}, true, {2, 3, 1, 1, 0, 0, 1, 0, 0, 0}},
        {"2000", {2000, 0, false, 0, -1, 0}, true, {3, 1, 1, 1, 0, 0, 0, 0, 0, 0}},
        {"0.050", {50, 1, false, 0, -1, 0}, true, {1, 1, 6, 1, 1, 0, 0, 0, 0, 0}},
        {"-12.0", {-1204, 2, true, 0, -1, 0}, true, {11, 2, 3, 1, 0, 0, 1, 0, 0, 0}},
        {"-100", {-1000, 3, true, 0, -1, 0}, true, {11, 2, 1, 1, 0, 0, 0, 0, 0, 0}},
        {"70:30", {7030, 0, false, 2, -1, 0}, true, {8, 1, 4, 1, 0, 0, 0, 0, 1, 0}},
        {"0:100", {100, 0, false, 1, -1, 0}, true, {1, 2, 1, 1, 0, 0, 0, 1, 0, 0}},
        {"100:0", {1000, 0, false, 3, -1, 0}, true, {2, 1, 1, 1, 0, 0, 0, 0, 0, 1}},
        // Fractions ignore what an earlier number left in the record.
        {"3 _:16", {4321, 2, true, 3, 3, 16}, true, {4, 0, 2, 7, 0, 0, 0, 0, 1, 0}},
        {"1 _:_4", {0, 0, false, 0, 1, 4}, true, {2, 0, 0, 5, 0, 0, 0, 0, 1, 0}},
        {"blank", {4321, 2, true, 3, 3, 16}, false, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    const int lastFrame[kCellCount] = {12, 10, 10, 10, 1, 1, 1, 1, 1, 1};
    for (const CellCase& c : cases) {
        const Cells cells = cellValues(c.value, c.blink);
        for (int i = 0; i < kCellCount; ++i)
            EXPECT_FLOAT_EQ(cells[i], static_cast<float>(c.frames[i]) / lastFrame[i]) << c.reads << " tag " << 64 + i;
    }
}

struct ChoiceCase {
    int editedTag;
    double x, y;
    int hoveredTag;
    bool right, lfoSynced, delaySynced;
    int item, selector;
};

TEST(ValueDisplayItem, DragThenAreasThenKnobsThenTempo) {
    const ChoiceCase cases[] = {
        // Nothing dragged, the mouse away from every area and knob: the tempo.
        {-1, 10, 10, -1, false, false, false, 61, 0},
        {-1, 300, 30, 61, false, false, false, 61, 0},  // the tempo area itself
        {-1, 341, 60, 41, false, false, false, 61, 0},  // a button is no knob
        // The LFO area, edges included.
        {-1, 283, 75, -1, false, false, false, 10, 0},
        {-1, 375, 140, -1, false, true, false, 33, 0},
        {-1, 282, 100, -1, false, true, false, 61, 0},
        // The delay area: the shown side, blinking on its note limit when synced.
        {-1, 100, 100, -1, false, false, false, 35, 0},
        {-1, 100, 100, -1, true, false, false, 36, 0},
        {-1, 86, 50, -1, false, false, true, 26, 1},
        {-1, 149, 134, -1, true, false, true, 27, 2},
        // The pre-delay area, in either delay mode.
        {-1, 100, 30, -1, false, false, false, 54, 8},
        {-1, 100, 30, -1, true, false, true, 55, 16},
        // Knobs under the mouse; the channel knobs follow the shown side.
        {-1, 220, 40, 84, false, false, false, 3, 0},
        {-1, 220, 40, 84, true, false, false, 4, 0},
        {-1, 170, 40, 83, true, false, false, 6, 0},
        {-1, 170, 100, 85, false, false, false, 48, 0},
        {-1, 220, 100, 86, true, false, false, 51, 0},
        {-1, 490, 100, 47, false, false, false, 47, 0},
        // A drag wins over the mouse position.
        {22, 300, 100, -1, false, true, false, 22, 0},
        {86, 10, 10, -1, true, false, false, 51, 0},
        {10, 10, 10, -1, false, true, false, 33, 0},
        {90, 10, 10, -1, true, false, true, 27, 2},
        {76, 10, 10, -1, false, false, false, 35, 0},
        {61, 100, 100, -1, false, false, false, 61, 0},
        {91, 100, 100, -1, false, false, false, 61, 0},
        {74, 100, 30, -1, false, false, false, 61, 0},
    };
    for (const ChoiceCase& c : cases) {
        const ItemChoice choice = chooseItem(c.editedTag, c.x, c.y, c.hoveredTag, c.right, c.lfoSynced, c.delaySynced);
        SCOPED_TRACE(testing::Message() << "edited " << c.editedTag << " at " << c.x << "," << c.y << " over "
                                        << c.hoveredTag << (c.right ? " right" : " left"));
        EXPECT_EQ(choice.item, c.item);
        EXPECT_EQ(choice.blinkSelector, c.selector);
    }
}

TEST(ValueDisplayBlink, TogglesEvery251MsWhileLimitedAndRestsOn) {
    Blink b{true, 1000};
    b = stepBlink(b, true, 1250);
    EXPECT_TRUE(b.on);
    b = stepBlink(b, true, 1251);
    EXPECT_FALSE(b.on);
    EXPECT_EQ(b.lastToggleMs, 1251u);
    b = stepBlink(b, true, 1501);
    EXPECT_FALSE(b.on);
    b = stepBlink(b, true, 1502);
    EXPECT_TRUE(b.on);
    b = stepBlink(b, true, 1800);  // off again; then the limit goes away
    b = stepBlink(b, false, 1801);
    EXPECT_TRUE(b.on);
    EXPECT_EQ(b.lastToggleMs, 1800u);

    // Across the wrap of the 32-bit tick count.
    EXPECT_FALSE(stepBlink(Blink{true, 0xFFFFFF00u}, true, 0x10u).on);  // 272 ms later
    EXPECT_TRUE(stepBlink(Blink{true, 0xFFFFFFF0u}, true, 0x10u).on);   // 32 ms later
}

TEST(ValueDisplayMeter, RisesAtOnceAndFallsInHalfASecond) {
    const struct {
        float peak, last;
        uint32_t elapsed;
        float value;
    } cases[] = {
        {0.01f, 0.0f, 30, 0.0f},                    // below -24 dB
        {std::pow(10.0f, -1.2f), 0.0f, 30, 0.0f},   // exactly the floor
        {0.5f, 0.0f, 30, 1.0f - 6.0206f / 24.0f},   // -6.02 dB: 0.749
        {2.0f, 0.0f, 30, 1.0f},                     // above 0 dB stays at the top
        {0.0f, 1.0f, 250, 0.5f},                    // half way after 250 ms
        {0.0f, 1.0f, 500, 0.0f},                    // at the bottom after 500 ms
        {0.0f, 0.2f, 5000, 0.0f},                   // never below the bottom
        {0.5f, 0.9f, 50, 0.8f},                     // falling, still above the input
        {0.5f, 0.8f, 200, 1.0f - 6.0206f / 24.0f},  // the input catches the fall
        {std::nanf(""), 0.0f, 30, 0.0f},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(meterValue(c.peak, c.last, c.elapsed), c.value, 1e-4f)
            << "peak " << c.peak << " last " << c.last << " after " << c.elapsed;
}

}  // namespace
