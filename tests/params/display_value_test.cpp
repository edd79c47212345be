// The digit display's values, against numbers worked out by hand from the display rules:
// the quantity d rounded into the finest of 0.000 / 00.00 / 000.0 / 0000 that holds it,
// balances as left:right percent, note values as fractions. 44100 Hz and 120 BPM.
#include <gtest/gtest.h>

#include "Engine.h"
#include "Parameters.h"
#include "Quantise.h"

using namespace params;

namespace {

class DisplayValues : public ::testing::Test {
protected:
    engine::Engine engine;
    Parameters p{engine};

    // A record holding leftovers of an earlier item, so each field must be written to pass.
    static DisplayValue leftovers(bool isSigned) { return DisplayValue{4321, 2, isSigned, 3, 7, 9}; }
};

struct NumberCase {
    int index;
    float x;
    int number, point;
    bool isSigned;
    int ratioMode;
};

TEST_F(DisplayValues, NumbersAndRatios) {
    const NumberCase cases[] = {
        {kInput, 0.5f, 0, 1, true, 0},               // gain 1: +0.000
        {kOutput, 1.0f, 1204, 2, true, 0},           // gain 4: 12.04 dB
        {kOutput, 0.0f, -1000, 3, true, 0},          // silence reads -100 dB
        {kFbGainL, 0.3162423f, -1000, 2, true, 0},   // -9.9996 dB carries to -10.00, not -10.000
        {kDlyGateR, 0.5f, -1204, 2, true, 0},        // threshold 0.25
        {kMix, 0.3f, 7030, 0, false, 2},             // 70:30
        {kMix, 0.05f, 9505, 0, false, 2},            // 95:05
        {kMix, 0.0f, 1000, 0, false, 3},             // k = 0: 100:0
        {kFbPanR, 0.995f, 100, 0, false, 1},         // k = 100: 0:100
        {kModSrc, 1.0f, 100, 0, false, 1},           // k = 101 as 100
        {kLfoRate, 0.5f, 3000, 1, false, 0},         // 16^0.5 - 1 = 3 Hz
        {kLrOffset, 0.0f, -1800, 3, true, 0},        // -180 degrees
        {kCutfMod, 0.25f, -5000, 2, true, 0},        // -50 %
        {kCutoff, 1.0f, 1600, 2, false, 0},          // 16 kHz
        {kCutoff, 0.0f, 50, 1, false, 0},            // 50 Hz = 0.050 kHz
        {kReso, 0.0f, -2400, 2, true, 0},            // x * 24 - 24
        {kVcoMan, 0.0f, 500, 1, false, 0},           // clock factor 0.5
        {kDrive, 1.0f, 2408, 2, true, 0},            // gain 16: 24.08 dB
        {kEnvSpeed, 0.5f, 5500, 3, false, 0},        // 550 ms
        {kEnvSpeed, 0.9999667f, 1000, 0, false, 0},  // 999.97 ms carries to 1000
        {kRvbAmt, 0.5f, 5000, 2, false, 0},          // 50 %
        {kModSens, 0.5f, 4000, 2, false, 0},         // factor 4, times 10, unsigned
        {kLfoWave, 0.5f, 0, 1, false, 0},            // no value of its own: a plain zero
    };
    for (const NumberCase& c : cases) {
        p.apply(c.index, c.x);
        DisplayValue v = leftovers(!c.isSigned);
        p.displayValue(c.index, v);
        SCOPED_TRACE(testing::Message() << "index " << c.index << " x " << c.x);
        EXPECT_EQ(v.number, c.number);
        EXPECT_EQ(v.point, c.point);
        EXPECT_EQ(v.isSigned, c.isSigned);
        EXPECT_EQ(v.ratioMode, c.ratioMode);
        EXPECT_EQ(v.numerator, -1);
    }
}

TEST_F(DisplayValues, TempoAndDelayTimesAsTheEngineHasThem) {
    p.apply(kDlyModeL, 0.0f);  // free: 0.4 of 5000 ms
    p.apply(kDlyNumR, 0.1f);   // note mode: 1/4 at 120 BPM is 500 ms
    p.apply(kDlyDenR, centreOf(3, 13));
    p.apply(kDlyModeR, 1.0f);
    const NumberCase cases[] = {
        {kTempoItem, 0, 1200, 3, false, 0},  // 120.0
        {kDlyTimeL, 0, 2000, 0, false, 0},
        {kDlyTimeR, 0, 5000, 3, false, 0},
    };
    for (const NumberCase& c : cases) {
        DisplayValue v = leftovers(true);
        p.displayValue(c.index, v);
        EXPECT_EQ(v.number, c.number) << c.index;
        EXPECT_EQ(v.point, c.point) << c.index;
        EXPECT_FALSE(v.isSigned) << c.index;
    }
}

TEST_F(DisplayValues, NoteFractionsOfEachSideLeaveTheNumberAlone) {
    p.apply(kDlyNumL, 0.3f);  // 3/16
    p.apply(kDlyDenL, centreOf(7, 13));
    p.apply(kDlyNumR, 1.0f);  // 9/96
    p.apply(kDlyDenR, 1.0f);
    p.apply(kLfoNum, 1.0f);  // 8/1
    p.apply(kLfoDen, 0.0f);
    p.apply(kPreNumL, centreOf(3, 6));  // 5/2
    p.apply(kPreDenL, centreOf(1, 13));
    p.apply(kPreNumR, 0.0f);  // 0/64
    p.apply(kPreDenR, centreOf(11, 13));
    const struct {
        int item, numerator, denominator;
    } cases[] = {
        {kDlyNumL, 3, 16}, {kDlyDenL, 3, 16}, {kDlyNumR, 9, 96}, {kDlyDenR, 9, 96}, {kLfoNum, 8, 1},
        {kLfoDen, 8, 1},   {kPreNumL, 5, 2},  {kPreDenL, 5, 2},  {kPreNumR, 0, 64}, {kPreDenR, 0, 64},
    };
    for (const auto& c : cases) {
        DisplayValue v = leftovers(true);
        p.displayValue(c.item, v);
        EXPECT_EQ(v.numerator, c.numerator) << c.item;
        EXPECT_EQ(v.denominator, c.denominator) << c.item;
        EXPECT_EQ(v.number, 4321) << c.item;
        EXPECT_EQ(v.point, 2) << c.item;
        EXPECT_TRUE(v.isSigned) << c.item;
        EXPECT_EQ(v.ratioMode, 3) << c.item;
    }
}

}  // namespace
