// The mapping from normalised values to engine quantities, and the recomputations a
// change triggers (delay range and mode, note values against the tempo).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "Engine.h"
#include "Parameters.h"
#include "Quantise.h"

using namespace params;

namespace {

struct Recorder : ParameterListener {
    std::vector<double> tempos;
    std::vector<std::pair<int, float>> rewrites;
    void tempoChanged(double bpm) override { tempos.push_back(bpm); }
    void valueRewritten(int index, float value) override { rewrites.emplace_back(index, value); }
};

class Mapping : public ::testing::Test {
protected:
    void SetUp() override { p.setListener(&listener); }

    // A side in note mode at n/d of a whole note.
    void noteMode(int side, float numerator, float denominator) {
        p.apply(kDlyNumL + side, numerator);
        p.apply(kDlyDenL + side, denominator);
        p.apply(kDlyModeL + side, 1.0f);
    }
    static float denominatorValue(int position) { return centreOf(position, 13); }

    engine::Engine engine;
    Parameters p{engine};
    Recorder listener;
};

TEST_F(Mapping, NoteTimesAgainstTheTempo) {
    noteMode(0, 0.1f, denominatorValue(3));  // 1/4
    EXPECT_DOUBLE_EQ(p.delayTimeMs(0), 500.0);
    p.adoptBlockTempo(50.0);
    noteMode(0, 0.1f, denominatorValue(0));  // 1/1 at 50 BPM
    EXPECT_DOUBLE_EQ(p.delayTimeMs(0), 4800.0);
    p.adoptBlockTempo(120.0);
    noteMode(1, 0.9f, denominatorValue(0));  // 9/1 at 120 BPM: 18 s, limited
    EXPECT_DOUBLE_EQ(p.delayTimeMs(1), 5000.0);
    EXPECT_TRUE(p.limitQuery(kLimitRightNote));
    EXPECT_FALSE(p.limitQuery(kLimitLeftNote));
    // The shortest note: 1/96 at 400 BPM.
    p.adoptBlockTempo(400.0);
    noteMode(0, 0.1f, denominatorValue(12));
    EXPECT_DOUBLE_EQ(p.delayTimeMs(0), 6.25);
}

TEST_F(Mapping, LeavingNoteModeHandsTheTimeToTheFreeControls) {
    struct Case {
        double tempo;
        int denominator;
        float range;
        double fraction;
    } cases[] = {
        {120.0, 3, 0.5f, 0.5},               // 500 ms: 1000 ms range, half of it
        {120.0, 0, centreOf(2, 3), 0.4},     // 2000 ms: 5000 ms range
        {100.0, 8, centreOf(0, 3), 1.0},     // exactly 100 ms: the smallest range, all of it
    };
    for (const Case& c : cases) {
        p.adoptBlockTempo(c.tempo);
        noteMode(0, 0.1f, denominatorValue(c.denominator));
        const double before = p.delayTimeMs(0);
        listener.rewrites.clear();
        p.apply(kDlyModeL, 0.0f);
        EXPECT_FLOAT_EQ(static_cast<float>(p.value(kRangeL)), c.range) << before;
        EXPECT_NEAR(p.value(kDlyTimeL), c.fraction, 1e-12) << before;
        EXPECT_DOUBLE_EQ(p.delayTimeMs(0), before);  // no jump
        ASSERT_EQ(listener.rewrites.size(), 2u);
        EXPECT_EQ(listener.rewrites[0].first, kRangeL);
        EXPECT_EQ(listener.rewrites[1].first, kDlyTimeL);
    }
}

TEST_F(Mapping, RangeChangesKeepTheTimeWhereTheyCan) {
    p.apply(kDlyModeL, 0.0f);
    p.apply(kRangeL, centreOf(2, 3));
    p.apply(kDlyTimeL, 0.4f);
    EXPECT_DOUBLE_EQ(p.delayTimeMs(0), 0.4f * 5000.0);
    p.apply(kRangeL, centreOf(0, 3));  // 2000 ms does not fit into 100 ms
    EXPECT_DOUBLE_EQ(p.value(kDlyTimeL), 1.0);
    EXPECT_DOUBLE_EQ(p.delayTimeMs(0), 100.0);
    p.apply(kRangeL, centreOf(2, 3));
    EXPECT_NEAR(p.value(kDlyTimeL), 0.02, 1e-15);
    EXPECT_NEAR(p.delayTimeMs(0), 100.0, 1e-12);
}

TEST_F(Mapping, DelayTimeIsIgnoredInNoteModeAndClampedInTimeMode) {
    noteMode(0, 0.1f, denominatorValue(3));
    const double stored = p.value(kDlyTimeL);
    p.apply(kDlyTimeL, 0.9f);
    EXPECT_DOUBLE_EQ(p.value(kDlyTimeL), stored);
    EXPECT_DOUBLE_EQ(p.delayTimeMs(0), 500.0);

    p.apply(kDlyModeR, 0.0f);
    p.apply(kRangeR, centreOf(2, 3));
    p.apply(kDlyTimeR, 3.0f);
    EXPECT_DOUBLE_EQ(p.delayTimeMs(1), 5000.0);
    p.apply(kDlyTimeR, -2.0f);
    EXPECT_DOUBLE_EQ(p.delayTimeMs(1), 0.0);
}

TEST_F(Mapping, LfoRatesFreeAndSynchronised) {
    p.apply(kLfoMode, 0.0f);
    p.apply(kLfoRate, 0.0f);
    EXPECT_DOUBLE_EQ(p.lfoRate(), 0.01);
    p.apply(kLfoRate, 0.25f);
    EXPECT_DOUBLE_EQ(p.lfoRate(), 1.0);

    // 8/1 of a whole note at 30 BPM
    p.adoptBlockTempo(30.0);
    p.apply(kLfoNum, 0.9f);
    p.apply(kLfoDen, 0.0f);
    p.apply(kLfoMode, 0.5f);
    EXPECT_DOUBLE_EQ(p.lfoRate(), 0.015625);
    EXPECT_FALSE(p.limitQuery(kLimitLfoNote));
    // 1/96 at 400 BPM: 160 Hz, limited to 15 Hz
    p.adoptBlockTempo(400.0);
    p.apply(kLfoNum, 0.1f);
    p.apply(kLfoDen, 1.0f);
    EXPECT_DOUBLE_EQ(p.lfoRate(), 15.0);
    EXPECT_TRUE(p.limitQuery(kLimitLfoNote));
    // Back to free mode: the rate holds until LFORate is set again.
    p.apply(kLfoMode, 0.0f);
    EXPECT_DOUBLE_EQ(p.lfoRate(), 15.0);
}

TEST_F(Mapping, TempoFromHostAndEditor) {
    EXPECT_DOUBLE_EQ(p.tempo(), 120.0);
    EXPECT_DOUBLE_EQ(p.tempoPosition(), 90.0 / 370.0);
    EXPECT_FALSE(p.adoptBlockTempo(500.0));  // ignored in a block
    EXPECT_FALSE(p.adoptBlockTempo(20.0));
    EXPECT_FALSE(p.adoptBlockTempo(std::nan("")));
    EXPECT_DOUBLE_EQ(p.tempo(), 120.0);
    p.adoptResumeTempo(500.0);  // limited at resume
    EXPECT_DOUBLE_EQ(p.tempo(), 400.0);
    p.adoptResumeTempo(std::numeric_limits<double>::infinity());
    p.adoptResumeTempo(-10.0);
    EXPECT_DOUBLE_EQ(p.tempo(), 400.0);
    p.setTempoPosition(0.0);
    EXPECT_DOUBLE_EQ(p.tempo(), 30.0);
    p.setTempoPosition(-3.0);
    EXPECT_DOUBLE_EQ(p.tempo(), 30.0);
    ASSERT_FALSE(listener.tempos.empty());
    EXPECT_DOUBLE_EQ(listener.tempos.back(), 30.0);
}

TEST_F(Mapping, EveryTempoChangeRetimesNoteSides) {
    noteMode(0, 0.1f, denominatorValue(3));
    engine.suspend();  // clears the time-changed flags
    ASSERT_FALSE(engine.timeChanged(0));
    p.adoptBlockTempo(60.0);
    EXPECT_TRUE(engine.timeChanged(0));
    EXPECT_DOUBLE_EQ(p.delayTimeMs(0), 1000.0);
}

TEST_F(Mapping, PreDelayLimitIsReportedPerSide) {
    p.apply(kPreNumL, 1.0f);           // 9
    p.apply(kPreDenL, centreOf(1, 13));  // over 2
    EXPECT_TRUE(p.limitQuery(kLimitLeftPreDelay));
    EXPECT_FALSE(p.limitQuery(kLimitRightPreDelay));
    EXPECT_FALSE(p.limitQuery(3));
}

TEST_F(Mapping, NonFiniteValuesChangeNothing) {
    p.apply(kMix, 0.25f);
    p.apply(kMix, std::nanf(""));
    p.apply(kMix, std::numeric_limits<float>::infinity());
    EXPECT_DOUBLE_EQ(p.value(kMix), 0.25);
    p.apply(-1, 0.5f);
    p.apply(60, 0.5f);
    EXPECT_DOUBLE_EQ(p.value(60), 0.0);
}

}  // namespace
