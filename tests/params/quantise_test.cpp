#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Quantise.h"

using params::centreOf;
using params::muteOn;
using params::positionOf;
using params::switchOn;

TEST(PositionOf, StepsCoverHalfOpenIntervals) {
    EXPECT_EQ(positionOf(1.0, 13), 12);
    EXPECT_EQ(positionOf(0.999, 13), 12);
    EXPECT_EQ(positionOf(0.0769, 13), 0);
    EXPECT_EQ(positionOf(0.0770, 13), 1);
    EXPECT_EQ(positionOf(0.0, 5), 0);
    EXPECT_EQ(positionOf(0.4, 3), 1);  // LfoMode at 0.4 is already note mode
    EXPECT_EQ(positionOf(0.2, 5), 1);
}

TEST(PositionOf, IsTotalForAnyInput) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(positionOf(std::nan(""), 13), 0);
    EXPECT_EQ(positionOf(-0.5, 13), 0);
    EXPECT_EQ(positionOf(-inf, 13), 0);
    EXPECT_EQ(positionOf(1.0e30, 13), 12);
    EXPECT_EQ(positionOf(inf, 6), 5);
    EXPECT_EQ(positionOf(std::nextafter(1.0f, 0.0f), 3), 2);
}

TEST(CentreOf, IsTheMiddleOfTheStepInSinglePrecision) {
    EXPECT_FLOAT_EQ(centreOf(1, 3), 0.5f);
    EXPECT_FLOAT_EQ(centreOf(2, 3), 2.5f / 3.0f);
    EXPECT_FLOAT_EQ(centreOf(128, 129), 128.5f / 129.0f);
    for (int n : {2, 3, 5, 6, 13, 129})
        for (int k = 0; k < n; ++k) EXPECT_EQ(positionOf(centreOf(k, n), n), k) << k << "/" << n;
}

TEST(Switches, OnFromOneHalfAndMutesOnlyAbove) {
    EXPECT_TRUE(switchOn(0.5));
    EXPECT_FALSE(switchOn(0.4999));
    EXPECT_FALSE(muteOn(0.5));
    EXPECT_TRUE(muteOn(0.5001));
}
