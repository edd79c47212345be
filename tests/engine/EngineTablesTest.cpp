// The constant tables at their defining points, and reads that stay inside them whatever
// control value arrives.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "EngineTables.h"

namespace {

const engine::EngineTables& tables() {
    static const engine::EngineTables t;
    return t;
}

TEST(EngineTables, SizesAndDefiningPoints) {
    const auto& t = tables();
    ASSERT_EQ(t.sine.size(), 1000u);
    ASSERT_EQ(t.svfFrequency.size(), 8192u);
    ASSERT_EQ(t.svfDamping.size(), 4097u);
    ASSERT_EQ(t.octave.size(), 10000u);

    EXPECT_EQ(t.sine[0], 0.0);
    EXPECT_NEAR(t.sine[250], 1.0, 1e-5);            // a quarter of the way round: the crest
    EXPECT_NEAR(t.sine[999], 0.0, 1e-12);           // 999 / (999 / 2 pi) = 2 pi
    EXPECT_EQ(t.svfFrequency[0], 0.0);
    EXPECT_NEAR(t.svfFrequency[8191], 2.0 * std::sin(M_PI / 4.0), 1e-7);  // pi/4 in single precision
    EXPECT_EQ(t.svfDamping[0], 2.0);
    EXPECT_EQ(t.svfDamping[4095], 0.0);
    EXPECT_LT(t.svfDamping[4096], 0.0);
    EXPECT_EQ(t.octave[4999], 1.0);
    EXPECT_DOUBLE_EQ(t.octave[0], 0.5);
    EXPECT_DOUBLE_EQ(t.octave[9998], 2.0);
}

TEST(EngineTables, OctaveReadInterpolatesAndClamps) {
    const auto& t = tables();
    EXPECT_DOUBLE_EQ(t.readOctave(0.0), 0.5);
    EXPECT_EQ(t.readOctave(0.5), 1.0);
    EXPECT_DOUBLE_EQ(t.readOctave(1.0), 2.0);
    EXPECT_NEAR(t.readOctave(0.75), std::pow(2.0, 0.5), 1e-7);
    // Halfway between two entries gives their mean.
    EXPECT_DOUBLE_EQ(t.readOctave(4999.5 / 9998.0), 0.5 * (t.octave[4999] + t.octave[5000]));
    EXPECT_DOUBLE_EQ(t.readOctave(-3.0), 0.5);
    EXPECT_DOUBLE_EQ(t.readOctave(40.0), 2.0);
    EXPECT_DOUBLE_EQ(t.readOctave(std::numeric_limits<double>::quiet_NaN()), 0.5);
}

TEST(EngineTables, OtherReadsStayInside) {
    const auto& t = tables();
    EXPECT_EQ(t.readSine(M_PI), t.sine[999]);  // (2 pi) * scale may round past the last entry
    EXPECT_EQ(t.readSine(-M_PI), t.sine[0]);
    EXPECT_EQ(t.readSine(0.0), t.sine[499]);
    EXPECT_EQ(t.readSine(1e9), t.sine[999]);
    EXPECT_EQ(t.readSvfFrequency(-5.0), 0.0);
    EXPECT_EQ(t.readSvfFrequency(1e12), t.svfFrequency[8191]);
    EXPECT_EQ(t.readSvfDamping(0.05), t.svfDamping[204]);
    EXPECT_EQ(t.readSvfDamping(2.0), t.svfDamping[4096]);
    EXPECT_EQ(t.readSvfDamping(-1.0), 2.0);
}

}  // namespace
