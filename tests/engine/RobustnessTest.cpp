// Properties that hold whatever the settings: both sample formats agree, block splits and
// resets leave no trace, silence stays clean, and hostile input (not-a-number samples,
// missing buffers, empty blocks, runaway feedback) never reaches the host as garbage.
#include <gtest/gtest.h>

#include <cfenv>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>

#include "EngineRig.h"

using namespace enginetest;
using engine::kLeft;
using engine::kRight;

namespace {

// A busy setting: feedback with cross-feed, pre-delay, gate, echo pan and inversion, a
// mix, ducking from the key, and different times per side.
void busy(engine::Engine& e) {
    e.setVcoOn(false);
    e.setDelayTime(kLeft, 13.7);
    e.setDelayTime(kRight, 4.1);
    e.setPreDelay(kLeft, 2, 3);
    e.setFeedbackGainTarget(kLeft, 0.8);
    e.setFeedbackGainTarget(kRight, 0.6);
    e.setFeedbackPanTarget(kLeft, 0.3);
    e.setFeedbackPanTarget(kRight, 0.9);
    e.setDelayPanTarget(kLeft, 0.2);
    e.setDelayInvert(kRight, true);
    e.setGateThresholdTarget(kLeft, 0.04);
    e.setDuckThreshold(0.3);
    e.setMixTarget(0.6);
    e.setInputGainTarget(1.4);
    e.setOutputGainTarget(0.7);
}

Signal asFloats(Signal s) {
    for (auto& v : s) v = static_cast<float>(v);
    return s;
}

TEST(Formats, ThirtyTwoBitPathAgreesWithSixtyFourBitWithinFloatPrecision) {
    Rig a, b;
    busy(a.e);
    busy(b.e);
    a.settle();
    b.settle();
    const Signal l = asFloats(noise(20000, 1)), r = asFloats(noise(20000, 2)), key = asFloats(noise(20000, 3));
    const Stereo out64 = a.run<double>(l, r, 333, &key);
    const Stereo out32 = b.run<float>(l, r, 333, &key);
    double worst = 0.0;
    for (size_t i = 0; i < l.size(); ++i) {
        worst = std::max(worst, std::fabs(out64.left[i] - out32.left[i]));
        worst = std::max(worst, std::fabs(out64.right[i] - out32.right[i]));
    }
    EXPECT_LT(worst, tol::kFloatPath);
}

// How the host splits the audio into blocks changes nothing, not even during a time fade.
TEST(Blocks, OutputDoesNotDependOnBlockSize) {
    Stereo reference;
    for (int block : {4096, 1, 7, 64, 1000}) {
        Rig rig;
        busy(rig.e);
        rig.settle();
        rig.e.setDelayTime(kLeft, 9.0);  // a fade is under way from the first sample
        const Signal key = noise(12000, 9);
        const Stereo out = rig.run(noise(12000, 7), noise(12000, 8), block, &key);
        if (block == 4096) {
            reference = out;
            continue;
        }
        EXPECT_EQ(out.left, reference.left) << block;
        EXPECT_EQ(out.right, reference.right) << block;
    }
}

// Suspend leaves no trace of earlier sound: afterwards the engine sounds like a new one.
TEST(Reset, SuspendedEngineSoundsLikeAFreshOne) {
    Rig fresh, used;
    busy(fresh.e);
    busy(used.e);
    fresh.settle();
    const Signal key = noise(8000, 5);
    used.run(noise(8000, 3), noise(8000, 4), 100, &key);
    used.e.setDelayTime(kRight, 30.0);
    used.run(noise(3000, 6), noise(3000, 7), 100, &key);
    used.e.setDelayTime(kRight, 4.1);
    used.settle();
    const Stereo a = fresh.run(noise(6000, 1), noise(6000, 2), 256, &key);
    const Stereo b = used.run(noise(6000, 1), noise(6000, 2), 256, &key);
    EXPECT_EQ(a.left, b.left);
    EXPECT_EQ(a.right, b.right);
}

// The random LFO shape starts its sequence over at every reset, so a passage rendered again
// after the host suspends and resumes, at the same or a new sample rate (an offline bounce
// after playback), sounds as it does in a fresh instance, sample for sample.
TEST(Reset, RandomLfoRepeatsAfterSuspendAndResume) {
    auto wobble = [](Rig& rig, uint32_t seed = 1) {
        rig.e.seedRandom(seed);
        rig.e.setLfoWave(4);
        rig.e.setLfoRate(40.0);
        rig.e.setLrOffsetTarget(0.9);
        rig.e.setModSourceTarget(0.0);
        rig.e.setFilterOn(true);
        rig.e.setFilterMode(2);
        rig.e.setCutoffTarget(1500.0);
        rig.e.setCutoffModTarget(1.0);
        rig.e.setResoModTarget(0.8);
        rig.settle();
    };
    const Signal l = noise(20000, 1), r = noise(20000, 2);
    auto fresh = [&](double fs, uint32_t seed = 1) {
        Rig rig(fs);
        wobble(rig, seed);
        return rig.run(l, r);
    };
    for (double fs : {44100.0, 48000.0}) {
        Rig rig;
        wobble(rig);
        rig.run(l, r);  // playback draws its values
        rig.e.suspend();
        rig.e.adoptSampleRate(fs);
        rig.e.reset();  // resume
        const Stereo again = rig.run(l, r), reference = fresh(fs);
        EXPECT_EQ(again.left, reference.left) << fs;
        EXPECT_EQ(again.right, reference.right) << fs;
    }
    // The values drawn are heard: another seed sounds different.
    EXPECT_NE(fresh(44100.0, 99).left, fresh(44100.0).left);
}

// After a loud burst the silence that follows holds zeros or normal numbers only, and no
// operation of the engine underflows into the denormal range on the way there.
TEST(Silence, BurstDecaysWithoutDenormals) {
    for (double fs : {44100.0, 96000.0}) {
        Rig rig(fs);
        busy(rig.e);
        rig.e.setFeedbackGainTarget(kLeft, 0.95);
        rig.e.setEnvSpeed(0.0);
        rig.settle();
        rig.run(noise(4000), noise(4000, 77));
        // Long enough for a 30 ms envelope to fall through the whole double range.
        const int n = static_cast<int>(fs) * 24;
        std::feclearexcept(FE_ALL_EXCEPT);
        const Stereo out64 = rig.run<double>(silence(n), silence(n), 4096);
        const Stereo out32 = rig.run<float>(silence(n / 24), silence(n / 24), 4096);
        EXPECT_FALSE(std::fetestexcept(FE_UNDERFLOW)) << fs;
        for (const Signal* s : {&out64.left, &out64.right}) {
            for (double v : *s) ASSERT_TRUE(v == 0.0 || std::fabs(v) >= DBL_MIN) << v;
            EXPECT_LT(std::fabs(s->back()), 1e-12);
        }
        for (const Signal* s : {&out32.left, &out32.right})
            for (double v : *s) ASSERT_TRUE(v == 0.0 || std::fabs(v) >= FLT_MIN) << v;
    }
}

// A glide lands on its target exactly: left to itself it would stall a few hundred rounding
// steps short (near 1e-44 on the way to 0), and a gain resting there turns sound into
// denormals. A target in the denormal range is taken as 0.
TEST(Silence, GlideLandsExactlyOnItsTarget) {
    struct Case {
        double from, to;
    };
    const Case cases[] = {{1.0, 0.0}, {0.0, 1.0}, {-0.3, 1e-35}, {2.0, 1e-300}, {0.5, 3.7}};
    for (double fs : {44100.0, 192000.0}) {
        const double step = engine::smoothingStepFor(fs);
        for (const Case& c : cases) {
            double v = c.from;
            for (int n = 0; n < static_cast<int>(fs) * 2 && v != c.to; ++n) {
                v = engine::glide(v, c.to, step);
                ASSERT_TRUE(v == 0.0 || std::fabs(v) >= DBL_MIN) << v;
            }
            EXPECT_EQ(v, c.to) << c.from << " -> " << c.to << " at " << fs;
            EXPECT_EQ(engine::glide(v, c.to, step), c.to);  // and stays there
        }
    }
    engine::SmoothedControls controls;
    controls.set(engine::kOutputGain, 1e-310);
    EXPECT_EQ(controls.target[engine::kOutputGain].load(), 0.0);
}

// Output pulled to 0 while sound plays: a 32-bit host never receives a denormal float on
// the way down (the narrowing writes anything below the smallest normal float as 0), and
// once the glide has landed every sample is 0.
TEST(Silence, OutputGlidedToZeroWritesNoDenormalFloat) {
    Rig rig;
    busy(rig.e);
    rig.settle();
    rig.run<float>(noise(4410, 1), noise(4410, 2), 512);
    rig.e.setOutputGainTarget(0.0);
    const int n = 10 * 44100;
    const Stereo out = rig.run<float>(noise(n, 3), noise(n, 4), 512);
    for (const Signal* s : {&out.left, &out.right}) {
        for (double v : *s) ASSERT_TRUE(v == 0.0 || std::fabs(v) >= FLT_MIN) << v;
        EXPECT_EQ(firstAbove(Signal(s->begin() + 44100, s->end()), 0.0), -1);
    }
}

// A sample that is not a number, main or key, counts as silence before the input gain.
TEST(HostileInput, NonFiniteSamplesCountAsSilence) {
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    Signal l = noise(3000, 1), r = noise(3000, 2), key = noise(3000, 3);
    Signal cleanL = l, cleanR = r, cleanKey = key;
    l[100] = nan;
    r[200] = inf;
    key[300] = -inf;
    cleanL[100] = cleanR[200] = cleanKey[300] = 0.0;
    Rig a, b;
    busy(a.e);
    busy(b.e);
    a.settle();
    b.settle();
    const Stereo dirty = a.run(l, r, 128, &key);
    const Stereo clean = b.run(cleanL, cleanR, 128, &cleanKey);
    EXPECT_EQ(dirty.left, clean.left);
    EXPECT_EQ(dirty.right, clean.right);
}

// Bypass passes the raw input, but never a non-finite sample: that one becomes 0.
TEST(HostileInput, BypassedNonFiniteSampleBecomesZero) {
    Rig rig;
    rig.e.setBypass(true);
    rig.settle();
    float in[3] = {0.5f, std::numeric_limits<float>::quiet_NaN(), -0.25f}, out[3];
    rig.e.process(in, in, nullptr, nullptr, out, nullptr, 3, {});
    EXPECT_EQ(out[0], 0.5f);
    EXPECT_EQ(out[1], 0.0f);
    EXPECT_EQ(out[2], -0.25f);
}

// A feedback gain far beyond what a host can set (the loop's limit holds what is fed back
// at 8 at most) takes the second echo of an impulse to 500 and the third beyond the output
// ceiling: the first two are heard, and from the sample where the third would arrive the
// block is silent (in both formats and every compile, the one that writes straight to the
// host included); the engine starts over, the ceiling's count and the recoveries go up by
// one, and sound flows again with a sane setting once its buffers are clear.
TEST(HostileInput, RunawayFeedbackIsSilencedFromTheFirstSampleBeyondTheCeiling) {
    for (engine::InstructionSet set : runnableInstructionSets()) {
        for (bool narrow : {false, true}) {
            const ForcedInstructionSet forced(set);
            Rig rig;
            rig.e.setFeedbackGainTarget(kLeft, 500.0);
            rig.e.setFeedbackPanTarget(kLeft, 0.0);  // back into the left line
            rig.settle();
            const int n = 8192;
            const Stereo blown = narrow ? rig.run<float>(impulse(n), silence(n), n) : rig.run(impulse(n), silence(n), n);
            SCOPED_TRACE(testing::Message() << engine::nameOf(set) << (narrow ? " float" : " double"));

            const int first = firstAbove(blown.left, 0.5);
            ASSERT_GT(first, 0);
            const int second = firstAbove(blown.left, 2.0, first + 1);
            ASSERT_GT(second, first);
            EXPECT_NEAR(blown.left[second], 500.0 * blown.left[first], 1e-3);
            const int silencedFrom = second + (second - first);
            // Silence, exactly 0, from that sample on (before it the wet offset is never 0).
            for (int i = 0; i < n; ++i) ASSERT_EQ(blown.left[i] == 0.0, i >= silencedFrom) << i;
            for (int i = 0; i < n; ++i) ASSERT_LE(std::fabs(blown.left[i]), engine::Engine::kOutputCeiling) << i;
            EXPECT_TRUE(rig.e.recovering());
            EXPECT_EQ(rig.e.faults().recoveries, 1u);
            EXPECT_EQ(rig.e.faults().ceilingActions, 1u);

            rig.e.setFeedbackGainTarget(kLeft, 0.0);
            const Stereo after = rig.runLeft(constant(44100, 0.25), 2048);
            EXPECT_NEAR(after.left.back(), 0.25, 1e-6);
            EXPECT_EQ(rig.e.faults().recoveries, 1u);
        }
    }

    // Bypassed, the host's own signal goes on unchanged while the engine starts over.
    Rig rig;
    rig.e.setFeedbackGainTarget(kLeft, 500.0);
    rig.e.setFeedbackPanTarget(kLeft, 0.0);
    rig.e.setBypass(true);
    rig.settle();
    const Signal in = impulse(8192);
    EXPECT_EQ(rig.run(in, in, 8192).left, in);
    EXPECT_EQ(rig.e.faults().recoveries, 1u);
    EXPECT_EQ(rig.e.faults().ceilingActions, 0u);
}

// At 192 kHz the buffers hold about 46 MB, milliseconds of work to clear. After an overflow
// no block clears more than a bounded share of them, in proportion to its length (counted,
// not timed); until all are clear the output is silent whatever comes in, and afterwards an
// impulse echoes at its sample again, out of a reverb that overflowed too.
TEST(HostileInput, OverflowRecoverySpreadsTheClearingOverBlocks) {
    const double fs = 192000.0;
    const int block = 512;
    const uint64_t perBlockLimit = 128u * block;
    Rig rig(fs);
    rig.e.setReverbOn(true);  // half the echo goes through it; it overflows as well
    rig.e.setReverbAmount(0.5);
    rig.e.setFeedbackGainTarget(kLeft, 1e200);
    rig.settle();
    const Signal in = noise(block, 5);
    Signal outL(block), outR(block);
    auto runBlock = [&] {
        const uint64_t before = rig.e.memoryCleared();
        rig.e.process(in.data(), in.data(), nullptr, nullptr, outL.data(), outR.data(), block, {});
        return rig.e.memoryCleared() - before;
    };

    int blocks = 0;
    while (!rig.e.recovering()) {
        ASSERT_LT(++blocks, 100) << "no overflow";
        ASSERT_LE(runBlock(), perBlockLimit);  // the block that overflows too
    }
    rig.e.setFeedbackGainTarget(kLeft, 0.5);
    uint64_t total = 0;
    while (rig.e.recovering()) {
        const uint64_t cleared = runBlock();
        ASSERT_LE(cleared, perBlockLimit);
        total += cleared;
        for (int i = 0; i < block; ++i) ASSERT_TRUE(outL[i] == 0.0 && outR[i] == 0.0) << i;
    }
    EXPECT_GE(total, 2u * static_cast<uint64_t>(rig.e.delayBufferLength()));

    // Nothing of the overflow is left to be heard: silence in, silence out, for longer than
    // the reverb's longest delay.
    const int n = static_cast<int>(fs / 10);
    const Stereo quiet = rig.run(silence(n), silence(n), block);
    EXPECT_EQ(firstAbove(quiet.left, tol::kSilent), -1);
    EXPECT_EQ(firstAbove(quiet.right, tol::kSilent), -1);
    const auto [left, right] = rig.firstArrivals(slotsFor(20.0, fs));
    EXPECT_EQ(left.at, slotsFor(10.0, fs) + rig.lookAhead());
    EXPECT_NEAR(left.value, 0.5, tol::kExact);  // the reverb's share comes later
    EXPECT_EQ(right.at, left.at);
    EXPECT_FALSE(rig.e.recovering());
}

// In place: inputs and outputs share buffers, and every frame is read before it is written.
TEST(Buffers, InPlaceProcessingMatchesSeparateBuffers) {
    Rig a, b;
    busy(a.e);
    busy(b.e);
    a.settle();
    b.settle();
    const Signal l = noise(1000, 1), r = noise(1000, 2);
    Signal outL(1000), outR(1000);
    a.e.process(l.data(), r.data(), l.data(), r.data(), outL.data(), outR.data(), 1000, {});
    Signal ioL = l, ioR = r;
    b.e.process(ioL.data(), ioR.data(), ioL.data(), ioR.data(), ioL.data(), ioR.data(), 1000, {});
    EXPECT_EQ(ioL, outL);
    EXPECT_EQ(ioR, outR);
}

// Missing inputs read as silence, missing outputs are skipped, and an empty block writes
// nothing.
TEST(Buffers, NullChannelsAndEmptyBlocks) {
    Rig a, b;
    a.e.setMixTarget(0.5);
    b.e.setMixTarget(0.5);
    a.settle();
    b.settle();
    const Signal r = noise(500, 4), zeros = silence(500);
    Signal outL(500, 7.0), outR(500, 7.0), refL(500), refR(500);
    a.e.process(nullptr, r.data(), nullptr, nullptr, nullptr, outR.data(), 500, {});
    b.e.process(zeros.data(), r.data(), nullptr, nullptr, refL.data(), refR.data(), 500, {});
    EXPECT_EQ(outR, refR);
    EXPECT_EQ(outL, Signal(500, 7.0));

    a.e.process(r.data(), r.data(), r.data(), r.data(), nullptr, nullptr, 500, {});  // nothing to write
    a.e.process(r.data(), r.data(), nullptr, nullptr, outL.data(), outR.data(), 0, {});
    a.e.process(r.data(), r.data(), nullptr, nullptr, outL.data(), outR.data(), -5, {});
    EXPECT_EQ(outL, Signal(500, 7.0));
    EXPECT_EQ(outR, refR);
}

}  // namespace
