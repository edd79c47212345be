// What the mix around the lines does to sound: gliding controls, the gate and the ducker,
// the input mutes, the dry routing, bypass, mono output and the input meter.
#include <gtest/gtest.h>

#include <cmath>

#include "EngineRig.h"

using namespace enginetest;
using engine::kLeft;
using engine::kRight;

namespace {

// A control change glides with a 30 Hz one-pole: after 1 / (2 pi 30) s it has covered
// 1 - 1/e of the way.
TEST(Smoothing, GainChangeGlidesAsAThirtyHertzOnePole) {
    for (double fs : {44100.0, 96000.0}) {
        Rig rig(fs);
        rig.e.setMixTarget(0.0);  // dry only
        rig.settle();
        rig.e.setInputGainTarget(0.0);
        const int n = static_cast<int>(fs);
        const Signal out = rig.runLeft(constant(n, 1.0)).left;
        const double a = std::exp(-2.0 * M_PI * 30.0 / fs);  // what remains after each sample
        EXPECT_NEAR(out[0], a, tol::kExact) << fs;
        EXPECT_NEAR(out[99], std::pow(a, 100), 1e-10) << fs;
        const int timeConstant = static_cast<int>(std::lround(fs / (2.0 * M_PI * 30.0)));
        EXPECT_NEAR(out[timeConstant - 1], std::exp(-1.0), 1e-3) << fs;
        EXPECT_NEAR(out[n - 1], 0.0, tol::kSilent) << fs;
    }
}

// The gate follows the faded echo and pulls quieter echoes down by (envelope/threshold)^2.
TEST(Gate, AttenuatesBelowThresholdBySquareOfTheRatio) {
    const struct {
        double threshold, level, heard;
    } cases[] = {
        {0.0, 0.25, 0.25},                 // off
        {0.1, 0.25, 0.25},                 // above the threshold: open
        {1.0, 0.25, 0.25 * 0.25 * 0.25},   // 0.25 below full scale: (0.25)^2 of it
        {0.5, 0.25, 0.25 * 0.5 * 0.5},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.e.setGateThresholdTarget(kLeft, c.threshold);
        rig.settle();
        const Signal out = rig.runLeft(constant(44100, c.level)).left;
        EXPECT_NEAR(out.back(), c.heard, tol::kSettled) << c.threshold;
    }
}

// The gate sees an echo 1 ms before it is heard. With a threshold of 0.2 a steady 0.5
// echo is heard unattenuated from its first sample, because by then the envelope has had
// 1 ms of attack (0.5 (1 - e^-1) > 0.2); without the look-ahead that first sample would
// meet an envelope of 0.5 (1 - e^(-1/44.1)) and be cut to a small fraction.
TEST(Gate, LookAheadOpensBeforeTheEchoIsHeard) {
    Rig rig;
    rig.e.setGateThresholdTarget(kLeft, 0.2);
    rig.settle();
    const Signal out = rig.runLeft(constant(2000, 0.5)).left;
    const int first = 441 + rig.lookAhead();
    EXPECT_NEAR(out[first - 1], 0.0, tol::kSilent);
    EXPECT_NEAR(out[first], 0.5, tol::kExact);
}

// The ducker pulls the wet signal down by threshold / envelope while the key is louder
// than the threshold; a key below the threshold leaves it alone.
TEST(Ducking, WetSignalFollowsThresholdOverKeyEnvelope) {
    const double threshold = std::pow(10.0, -1.5);  // Ducking 0: -30 dB
    const struct {
        double key, gain;
    } cases[] = {{1.0, threshold}, {0.5, threshold / 0.5}, {0.01, 1.0}, {-1.0, threshold}};
    for (const auto& c : cases) {
        Rig rig;
        rig.e.setDuckThreshold(threshold);
        rig.e.setDelayTime(kLeft, 1.0);
        rig.settle();
        const int n = 44100;
        const Signal key = constant(n, c.key);
        const Signal out = rig.run(constant(n, 0.5), silence(n), 256, &key).left;
        EXPECT_NEAR(out.back(), 0.5 * c.gain, tol::kSettled) << c.key;
    }
}

// When the key goes quiet, the echoes swell back over the release (3 x EnvSpeed seconds).
TEST(Ducking, ReleasesOverThreeTimesEnvSpeed) {
    Rig rig;
    rig.e.setDuckThreshold(0.1);
    rig.e.setEnvSpeed(0.5);
    rig.e.setDelayTime(kLeft, 1.0);
    rig.settle();
    const int n = 44100;
    const Signal loud = constant(n, 1.0);
    rig.run(constant(n, 0.5), silence(n), 256, &loud);
    const Signal quiet = silence(4 * n);
    const Signal out = rig.run(constant(4 * n, 0.5), silence(4 * n), 256, &quiet).left;
    // The envelope falls from 1 as exp(-t / 1.5 s) and stops ducking at 0.1: t = 1.5 ln 10.
    const int released = firstAbove(out, 0.5 * (1.0 - 1e-9));
    EXPECT_NEAR(released / 44100.0, 1.5 * std::log(10.0), 0.01);
    EXPECT_NEAR(out[n / 2], 0.5 * 0.1 / std::exp(-0.5 / 1.5), 1e-3);
}

// A muted input still sounds dry, new sound stays out of the line, and what is already
// in the line keeps repeating.
TEST(InputMute, CutsOnlyNewInputIntoTheLine) {
    Rig rig;
    rig.e.setMixTarget(0.5);
    rig.e.setDelayTime(kLeft, 100.0);
    rig.e.setFeedbackGainTarget(kLeft, 1.0);
    rig.settle();
    rig.runLeft(impulse(1));  // into the line before the mute
    rig.e.setInputMuteTarget(kLeft, 0.0);
    const int d = 4410, la = rig.lookAhead();
    const Signal out = rig.runLeft(impulse(3 * d, 3000)).left;
    EXPECT_NEAR(out[3000], 0.5, 1e-6);                    // the dry half of the second impulse
    EXPECT_NEAR(out[d + la - 1], 0.5, tol::kExact);       // first echo of the first impulse
    EXPECT_NEAR(out[2 * d + la], 0.5, tol::kExact);       // and its repeat
    EXPECT_LT(std::fabs(out[3000 + d + la]), 1e-5);       // the muted impulse never entered
}

// With RvbMode "out" the dry signal travels the wet path and is ducked with it; with "fx"
// and Mix 0 the output is the dry signal alone, untouched by the key.
TEST(DryRouting, OutModeDucksTheDrySignalFxModeDoesNot) {
    const double threshold = 0.1;
    for (int mode : {0, 1}) {
        Rig rig;
        rig.e.setMixTarget(0.0);
        rig.e.setReverbMode(mode);
        rig.e.setDuckThreshold(threshold);
        rig.e.setOutputGainTarget(2.0);
        rig.settle();
        const int n = 44100;
        const Signal key = constant(n, 1.0);
        const Stereo out = rig.run(constant(n, 0.25), constant(n, -0.25), 256, &key);
        const double expected = mode == 1 ? 0.25 * threshold * 2.0 : 0.25 * 2.0;
        EXPECT_NEAR(out.left.back(), expected, tol::kSettled) << mode;
        EXPECT_NEAR(out.right.back(), -expected, tol::kSettled) << mode;
    }
}

// Bypass hands out the raw input bit for bit, while the engine keeps running: releasing
// it brings back echoes of what was played during the bypass.
TEST(Bypass, PassesRawInputAndKeepsTheTailAlive) {
    Rig rig;
    rig.e.setFeedbackGainTarget(kLeft, 1.0);
    rig.e.setInputGainTarget(3.0);
    rig.e.setBypass(true);
    rig.settle();
    const Signal in = noise(2000);
    const Stereo out = rig.run(in, impulse(2000, 5, 0.5));
    EXPECT_EQ(out.left, in);
    EXPECT_EQ(out.right, impulse(2000, 5, 0.5));

    rig.e.setBypass(false);
    const Signal tail = rig.runLeft(silence(2000)).left;
    double loudest = 0.0;
    for (double v : tail) loudest = std::max(loudest, std::fabs(v));
    EXPECT_GT(loudest, 1.0);  // echoes of the noise at three times its level
}

// One buffer named for both sides carries their sum, in both sample formats; bypass too.
TEST(Output, MonoBufferReceivesTheSumOfBothSides) {
    for (bool bypass : {false, true}) {
        Rig rig;
        rig.e.setMixTarget(0.0);
        rig.e.setBypass(bypass);
        rig.settle();
        double in64L[4] = {0.25, 0.5, -0.75, 0.125}, in64R[4] = {0.5, 0.25, 0.25, 0.0}, out64[4];
        rig.e.process(in64L, in64R, nullptr, nullptr, out64, out64, 4, {});
        float in32L[4] = {0.25f, 0.5f, -0.75f, 0.125f}, in32R[4] = {0.5f, 0.25f, 0.25f, 0.0f}, out32[4];
        rig.e.process(in32L, in32R, nullptr, nullptr, out32, out32, 4, {});
        for (int i = 0; i < 4; ++i) {
            EXPECT_NEAR(out64[i], in64L[i] + in64R[i], tol::kExact) << i;
            EXPECT_FLOAT_EQ(out32[i], in32L[i] + in32R[i]) << i;
        }
    }
}

// Each meter reads the gained input one meter window late; a query returns the peak since
// the last one and restarts it.
TEST(InputMeter, PeaksLagByTheWindowAndRestartOnQuery) {
    Rig rig;
    rig.e.setInputGainTarget(2.0);
    ASSERT_TRUE(rig.e.adoptMeterWindow(100));
    EXPECT_EQ(rig.e.meterWindow(), 100);
    rig.settle();
    Signal left = silence(100), right = silence(100);
    left[10] = 0.25;
    left[20] = -0.375;
    right[15] = 0.3125;  // (each channel's peak where the rings are read eight at a time)
    rig.run(left, right);
    float l = -1.0f, r = -1.0f;
    rig.e.peakQuery(l, r);
    EXPECT_EQ(l, 0.0f);  // still inside the window
    EXPECT_EQ(r, 0.0f);
    rig.run(silence(31), silence(31));
    rig.e.peakQuery(l, r);
    EXPECT_EQ(l, 0.75f);
    EXPECT_EQ(r, 0.625f);
    rig.e.peakQuery(l, r);
    EXPECT_EQ(l, 0.0f);
    EXPECT_EQ(r, 0.0f);

    EXPECT_FALSE(rig.e.adoptMeterWindow(100));
    EXPECT_TRUE(rig.e.adoptMeterWindow(0));  // out of range: the default window
    EXPECT_EQ(rig.e.meterWindow(), 1024);
    EXPECT_FALSE(rig.e.adoptMeterWindow(44101));
}

}  // namespace
