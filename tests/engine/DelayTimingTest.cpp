// Where echoes come out: first arrival, repeat spacing and level, routing between the
// lines, polarity, the fade that re-times a line, and buffer sizes across sample rates.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

#include "EngineRig.h"

using namespace enginetest;
using engine::kLeft;
using engine::kRight;

namespace {

class EchoTiming : public ::testing::TestWithParam<double> {};

INSTANTIATE_TEST_SUITE_P(Rates, EchoTiming, ::testing::Values(44100.0, 96000.0));

// An impulse first comes out after pre-delay + time, plus the 1 ms look-ahead of what is heard.
TEST_P(EchoTiming, FreeTimeImpulseArrivesAtTimePlusLookAhead) {
    Rig rig(GetParam());
    rig.e.setDelayTime(kLeft, 10.01);  // 441.441 samples at 44.1 kHz: truncated
    rig.settle();
    const int expected = slotsFor(10.01, rig.fs) + rig.lookAhead();
    const Stereo out = rig.runLeft(impulse(expected + 100));
    EXPECT_EQ(firstAbove(out.left, tol::kSilent), expected);
    EXPECT_NEAR(out.left[expected], 1.0, tol::kExact);
    EXPECT_EQ(firstAbove(out.right, tol::kSilent), -1);
}

TEST_P(EchoTiming, NoteTimeAtTempoArrivesAtItsLength) {
    Rig rig(GetParam());
    // A dotted quarter (3/8) at 120 BPM lasts 750 ms.
    rig.e.setDelayTime(kLeft, engine::noteTimeMs(3, 8, 120.0));
    rig.settle();
    const int expected = slotsFor(750.0, rig.fs) + rig.lookAhead();
    const Stereo out = rig.runLeft(impulse(expected + 10), 1024);
    EXPECT_EQ(firstAbove(out.left, tol::kSilent), expected);
}

TEST_P(EchoTiming, PreDelayAddsItsOwnTruncatedLength) {
    Rig rig(GetParam());
    rig.e.setDelayTime(kLeft, 10.0);
    rig.e.setPreDelay(kLeft, 1, 1);  // 1/2 of the time: 5 ms
    rig.e.setDelayTime(kRight, 10.0);
    rig.e.setPreDelay(kRight, 5, 1);  // 9/2 of the time, limited to the time itself
    rig.settle();
    EXPECT_DOUBLE_EQ(rig.e.preDelayTime(kLeft), 5.0);
    EXPECT_DOUBLE_EQ(rig.e.preDelayTime(kRight), 10.0);
    const int n = 3 * slotsFor(10.0, rig.fs);
    const Stereo out = rig.run(impulse(n), impulse(n));
    EXPECT_EQ(firstAbove(out.left, tol::kSilent), slotsFor(5.0, rig.fs) + slotsFor(10.0, rig.fs) + rig.lookAhead());
    EXPECT_EQ(firstAbove(out.right, tol::kSilent), 2 * slotsFor(10.0, rig.fs) + rig.lookAhead());
}

TEST_P(EchoTiming, RepeatsEveryTimePlusOneSampleScaledByFeedbackGain) {
    Rig rig(GetParam());
    rig.e.setFeedbackGainTarget(kLeft, 0.5);
    rig.e.setPreDelay(kLeft, 1, 0);  // 1/1: pre-delay = time; repeats must not include it
    rig.settle();
    const int d = slotsFor(10.0, rig.fs);
    const int first = 2 * d + rig.lookAhead();
    const Stereo out = rig.runLeft(impulse(first + 5 * (d + 1) + 1));
    const std::vector<int> peaks = peaksAbove(out.left, tol::kSilent);
    ASSERT_EQ(peaks.size(), 6u);
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(peaks[k], first + k * (d + 1)) << "repeat " << k;
        EXPECT_NEAR(out.left[peaks[k]], std::pow(0.5, k), tol::kExact) << "repeat " << k;
    }
}

// Heads that coincide: with no time and no pre-delay the line's output is this sample's
// input plus this sample's feedback, so a full-gain loop accumulates one input per sample.
TEST(DelayLine, ZeroTimeOutputsInputPlusFeedbackOfTheSameSample) {
    Rig rig;
    rig.e.setDelayTime(kLeft, 0.0);
    rig.e.setFeedbackGainTarget(kLeft, 1.0);
    rig.settle();
    const Stereo out = rig.runLeft(constant(rig.lookAhead() + 4, 0.25));
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(out.left[rig.lookAhead() + k], 0.25 * (k + 1), tol::kExact);
}

TEST(Feedback, FullGainRepeatsForeverAndCrossedPansPingPong) {
    Rig rig;
    for (int side : {kLeft, kRight}) rig.e.setFeedbackGainTarget(side, 1.0);
    rig.e.setFeedbackPanTarget(kLeft, 1.0);   // the left line feeds the right line
    rig.e.setFeedbackPanTarget(kRight, 0.0);  // and the right line feeds the left
    rig.settle();
    const int d = 441, first = d + rig.lookAhead();
    const Stereo out = rig.runLeft(impulse(first + 6 * (d + 1) + 1));
    for (int k = 0; k < 7; ++k) {
        const Signal& here = (k % 2 == 0) ? out.left : out.right;
        const Signal& there = (k % 2 == 0) ? out.right : out.left;
        EXPECT_NEAR(here[first + k * (d + 1)], 1.0, tol::kExact) << "repeat " << k;
        EXPECT_NEAR(there[first + k * (d + 1)], 0.0, tol::kSilent) << "repeat " << k;
    }
}

// At full gain the loop is lossless: a steady input of 1 adds 1 with every repeat, as long
// as what is fed back stays within +12 dBFS (4). Beyond, the loop's limit bends it towards 8,
// so the line settles where y - 1 = 4 + 4u / (1 + u), u = (y - 4) / 4: at y = 4 + (1 + sqrt 17) / 2.
TEST(Feedback, FullGainLoopFedForeverSettlesBelowItsLimit) {
    Rig rig;
    rig.e.setFeedbackGainTarget(kLeft, 1.0);
    rig.e.setFeedbackPanTarget(kLeft, 0.0);
    rig.settle();
    const int d = 441, first = d + rig.lookAhead();
    const Stereo out = rig.runLeft(constant(10 * 44100, 1.0));
    for (int k = 0; k < 5; ++k) EXPECT_NEAR(out.left[first + k * (d + 1) + d / 2], k + 1.0, tol::kExact) << "repeat " << k;
    EXPECT_GT(out.left[first + 5 * (d + 1) + d / 2], 5.0);
    EXPECT_LT(out.left[first + 5 * (d + 1) + d / 2], 6.0);
    EXPECT_NEAR(out.left.back(), 4.0 + (1.0 + std::sqrt(17.0)) / 2.0, 1e-9);
    EXPECT_LT(*std::max_element(out.left.begin(), out.left.end()), 4.0 + (1.0 + std::sqrt(17.0)) / 2.0 + 1e-9);
}

TEST(Feedback, FeedbackInversionAlternatesWhileEchoInversionFlipsOnlyWhatIsHeard) {
    Rig rig;
    for (int side : {kLeft, kRight}) rig.e.setFeedbackGainTarget(side, 1.0);
    rig.e.setFeedbackInvert(kLeft, true);
    rig.e.setDelayInvert(kRight, true);
    rig.settle();
    const int d = 441, first = d + rig.lookAhead();
    const Stereo out = rig.run(impulse(first + 4 * (d + 1) + 1), impulse(first + 4 * (d + 1) + 1));
    for (int k = 0; k < 5; ++k) {
        EXPECT_NEAR(out.left[first + k * (d + 1)], k % 2 == 0 ? 1.0 : -1.0, tol::kExact) << "repeat " << k;
        EXPECT_NEAR(out.right[first + k * (d + 1)], -1.0, tol::kExact) << "repeat " << k;
    }
}

// A new time never jumps the heads under sound: the line fades 60 dB down over 100 ms,
// moves, and fades back up over another 100 ms, with no step anywhere.
TEST_P(EchoTiming, TimeChangeFadesDownAndUpWithoutAClick) {
    Rig rig(GetParam());
    const double fs = rig.fs;
    const int settleFrames = slotsFor(30.0, fs);
    rig.runLeft(constant(settleFrames, 0.5));  // the line is full of a steady 0.5
    rig.e.setDelayTime(kLeft, 20.0);
    const int n = static_cast<int>(0.25 * fs);
    const Signal out = rig.runLeft(constant(n, 0.5)).left;

    // What is heard left the fade one look-ahead earlier.
    const int la = rig.lookAhead();
    const auto bottom = std::min_element(out.begin() + la, out.end()) - out.begin();
    const double tenthOfSecond = fs / 10.0;
    EXPECT_LE(out[bottom], 0.5 * 0.001 * (1.0 + 1e-9));  // 60 dB down
    EXPECT_NEAR(static_cast<double>(bottom - la), tenthOfSecond, 2.0);
    const int recovered = firstAbove(Signal(out.begin() + bottom, out.end()), 0.5 * (1.0 - 1e-9));
    ASSERT_GT(recovered, 0);
    EXPECT_NEAR(static_cast<double>(recovered), tenthOfSecond, 2.0);

    // No click: neighbouring samples differ by at most one fade step of the 0.5 level.
    double largestStep = 0.0;
    for (size_t i = 1; i < out.size(); ++i) largestStep = std::max(largestStep, std::fabs(out[i] - out[i - 1]));
    EXPECT_LT(largestStep, 0.5 * (1.0 / rig.e.fadeFactor() - 1.0) * (1.0 + 1e-9));
    EXPECT_FALSE(rig.e.timeChanged(kLeft));
    EXPECT_DOUBLE_EQ(rig.e.fadeGain(kLeft), 1.0);
}

// Sound already in the line stays there through a time change: once the heads have
// moved, it is heard at the new time and then repeats at the new spacing, at full level.
TEST(DelayLine, SoundInTheLineIsHeardAtTheNewTimeAfterTheFade) {
    Rig rig;
    rig.e.setDelayTime(kLeft, 500.0);
    rig.e.setFeedbackGainTarget(kLeft, 1.0);
    rig.settle();
    const int before = 1000;
    rig.runLeft(impulse(before));
    rig.e.setDelayTime(kLeft, 1000.0);
    const Signal out = rig.runLeft(silence(100000), 4096).left;
    const int d = 44100, heard = d + rig.lookAhead() - before;
    const std::vector<int> echoes = peaksAbove(out, 1e-9);
    ASSERT_EQ(echoes.size(), 2u);
    EXPECT_EQ(echoes[0], heard);
    EXPECT_EQ(echoes[1], heard + d + 1);
    EXPECT_NEAR(out[echoes[0]], 1.0, tol::kExact);
    EXPECT_NEAR(out[echoes[1]], 1.0, tol::kExact);
}

// A time that changes again during the fall only updates the time: the heads jump once.
TEST(DelayLine, TimeChangedAgainDuringTheFallTakesTheLatest) {
    Rig rig;
    rig.e.setDelayTime(kLeft, 20.0);
    rig.runLeft(silence(1000));
    rig.e.setDelayTime(kLeft, 30.0);
    rig.runLeft(silence(static_cast<int>(0.25 * 44100)));
    const int expected = slotsFor(30.0, 44100.0) + rig.lookAhead();
    const Stereo out = rig.runLeft(impulse(expected + 10));
    EXPECT_EQ(firstAbove(out.left, tol::kSilent), expected);
}

// Buffers follow the rate, hold ten seconds at any supported rate (fractional too), and
// the longest pre-delay plus the longest time still arrive where they belong.
class SampleRates : public ::testing::TestWithParam<double> {};

INSTANTIATE_TEST_SUITE_P(Supported, SampleRates,
                         ::testing::Values(4096.0, 22050.0, 44100.0, 48000.0, 96000.0, 192000.0, 200000.0, 44100.5));

TEST_P(SampleRates, BuffersSizedAndLongestEchoArrivesOnTime) {
    const double fs = GetParam();
    Rig rig(fs);
    EXPECT_DOUBLE_EQ(rig.e.sampleRate(), fs);
    EXPECT_EQ(rig.e.delayBufferLength(), static_cast<int>(std::ceil(10.0 * fs)) + 1);
    EXPECT_EQ(rig.e.lookAheadLength(), static_cast<int>(fs / 1000.0));

    rig.e.setDelayTime(kLeft, 5000.0);
    rig.e.setPreDelay(kLeft, 5, 0);  // 9/1: limited to the time, 5 s
    rig.e.setDelayTime(kRight, 7.0);
    rig.settle();
    const int longest = 2 * slotsFor(5000.0, fs) + rig.lookAhead();
    const int shortest = slotsFor(7.0, fs) + rig.lookAhead();
    const auto arrivals = rig.firstArrivals(longest + 2);
    EXPECT_EQ(arrivals.first.at, longest);
    EXPECT_NEAR(arrivals.first.value, 1.0, tol::kExact);
    EXPECT_EQ(arrivals.second.at, shortest);
}

TEST(SampleRateChange, OutOfRangeRatesRunAt44100AndTheSameRateChangesNothing) {
    engine::Engine e;
    EXPECT_FALSE(e.adoptSampleRate(44100.0));
    EXPECT_TRUE(e.adoptSampleRate(48000.0));
    EXPECT_EQ(e.delayBufferLength(), 480001);
    EXPECT_FALSE(e.adoptSampleRate(48000.0));
    EXPECT_TRUE(e.adoptSampleRate(1000.0));
    EXPECT_DOUBLE_EQ(e.sampleRate(), 44100.0);
    EXPECT_TRUE(e.adoptSampleRate(48000.0));
    EXPECT_TRUE(e.adoptSampleRate(std::nan("")));
    EXPECT_DOUBLE_EQ(e.sampleRate(), 44100.0);
    EXPECT_EQ(e.delayBufferLength(), 441001);
}

// The LFO's shape smoothing has a 1000 Hz corner at 44100 Hz (the rate of construction,
// and again when an engine comes back to it) and 500 Hz at any other rate; the other
// coefficients follow every rate.
TEST(SampleRateChange, RateDependentCoefficients) {
    engine::Engine e;
    const double twoPi = 6.283185307179586;
    EXPECT_DOUBLE_EQ(e.shapeSmoothing(), 1.0 - std::exp(-twoPi * 1000.0 / 44100.0));
    EXPECT_NEAR(e.smoothingStep(), 1.0 - std::exp(-twoPi * 30.0 / 44100.0), 1e-15);
    EXPECT_NEAR(std::pow(e.fadeFactor(), 4410.0), 0.001, 1e-12);
    ASSERT_TRUE(e.adoptSampleRate(48000.0));
    EXPECT_DOUBLE_EQ(e.shapeSmoothing(), 1.0 - std::exp(-twoPi * 500.0 / 48000.0));
    EXPECT_NEAR(std::pow(e.fadeFactor(), 4800.0), 0.001, 1e-12);
    e.setEnvSpeed(0.0);  // L = 100: a 10 Hz follower
    EXPECT_NEAR(e.envelopeCoefficient(), 1.0 - std::exp(-twoPi * 10.0 / 48000.0), 1e-15);
    ASSERT_TRUE(e.adoptSampleRate(44100.0));
    EXPECT_DOUBLE_EQ(e.shapeSmoothing(), 1.0 - std::exp(-twoPi * 1000.0 / 44100.0));
}

}  // namespace

namespace {

// Times arrive from other threads and from anywhere: the line holds 0..5000 ms, and a
// burst of changes from another thread while blocks run ends at the last time set.
TEST(DelayTime, OutOfRangeTimesAreLimited) {
    engine::Engine e;
    e.setDelayTime(kLeft, std::nan(""));
    EXPECT_EQ(e.delayTime(kLeft), 0.0);
    e.setDelayTime(kLeft, -3.0);
    EXPECT_EQ(e.delayTime(kLeft), 0.0);
    e.setDelayTime(kLeft, 1e300);
    EXPECT_EQ(e.delayTime(kLeft), 5000.0);
    e.setPreDelay(kLeft, 99, -4);  // positions beyond the tables: the nearest ends
    EXPECT_EQ(e.preDelayTime(kLeft), 5000.0);
    EXPECT_TRUE(e.timeChanged(kLeft));
}

TEST(DelayTime, ChangesFromAnotherThreadEndAtTheLastOne) {
    Rig rig;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int k = 0; k < 2000; ++k) rig.e.setDelayTime(kLeft, 5.0 + (k % 17));
        rig.e.setDelayTime(kLeft, 30.0);
        done = true;
    });
    while (!done) rig.runLeft(silence(64), 64);
    writer.join();
    rig.runLeft(silence(static_cast<int>(0.25 * 44100)), 1024);
    const int expected = slotsFor(30.0, 44100.0) + rig.lookAhead();
    EXPECT_EQ(firstAbove(rig.runLeft(impulse(expected + 5)).left, tol::kSilent), expected);
}

}  // namespace
