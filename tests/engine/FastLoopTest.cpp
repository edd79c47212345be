// The engine's loop is arranged for speed (passes over chunks, stages skipped while nobody
// reads them, state in locals) and compiled twice, for SSE2 and AVX2; PlainLoop.h is the same
// chain written one stage after another. Every compile the CPU runs must give the plain
// loop's samples, bit for bit, in both formats, for every combination of switches.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <utility>

#include "EngineRig.h"
#include "PlainLoop.h"
#include "Scenes.h"

using namespace enginetest;
using engine::Engine;
using engine::kLeft;
using engine::kRight;

namespace {

template <typename T>
bool sameBits(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

template <typename T>
void plainProcess(Engine& e, const T* inL, const T* inR, const T* key, T* outL, T* outR, int32_t n,
                  const engine::BlockTime& time) {
    engine::PlainLoop::process(e, inL, inR, key, key, outL, outR, n, time);
}

template <typename T>
void expectSameAsPlain(const Scene& scene) {
    Engine plain;
    std::vector<T> plainL, plainR;
    renderScene<T>(plain, scene, plainL, plainR, plainProcess<T>);
    for (engine::InstructionSet set : runnableInstructionSets()) {
        const ForcedInstructionSet forced(set);
        Engine fast;
        ASSERT_EQ(fast.instructionSet(), set);
        std::vector<T> fastL, fastR;
        renderScene<T>(fast, scene, fastL, fastR);
        EXPECT_TRUE(sameBits(fastL, plainL)) << scene.name << " left, " << sizeof(T) * 8 << " bit, " << nameOf(set);
        EXPECT_TRUE(sameBits(fastR, plainR)) << scene.name << " right, " << sizeof(T) * 8 << " bit, " << nameOf(set);
    }
}

TEST(FastLoop, BusyScenesGiveThePlainLoopsSamples) {
    for (const Scene& scene : scenes()) {
        expectSameAsPlain<double>(scene);
        expectSameAsPlain<float>(scene);
    }
}

// Every combination of the switches the fast loop chooses its variant by (filter placement,
// clock, reverb type, drive) and the LFO shapes, each with its own random continuous settings
// that move halfway through (so the glides run), and a delay time change (so a fade runs).
TEST(FastLoop, EveryVariantGivesThePlainLoopsSamples) {
    uint32_t seed = 2024;
    auto uniform = [&seed](double lo, double hi) {
        seed = seed * 1664525u + 1013904223u;
        return lo + (hi - lo) * (seed >> 8) / 16777216.0;
    };
    int variant = 0;
    for (int placement = 0; placement < 4; ++placement)
        for (int clock = 0; clock < 2; ++clock)
            for (int reverb = 0; reverb < 3; ++reverb)
                for (int drive = 0; drive < 2; ++drive, ++variant) {
                    double v[16];
                    for (double& x : v) x = uniform(0.0, 1.0);
                    const int wave = variant % 5;
                    Scene scene{"variant",
                                [=](Engine& e) {
                                    shortLines(e, 3.0 + 30.0 * v[0], 3.0 + 30.0 * v[1]);
                                    e.setFilterOn(placement > 0);
                                    e.setFilterMode(placement > 0 ? placement - 1 : variant % 3);
                                    e.setFilterType(variant % 3);
                                    e.setCutoffTarget(100.0 + 8000.0 * v[2]);
                                    e.setResonanceTarget(v[3]);
                                    e.setCutoffModTarget(2.0 * v[4] - 1.0);
                                    e.setResoModTarget(2.0 * v[5] - 1.0);
                                    e.setVcoOn(clock == 1);
                                    e.setVcoManual(2.0 * v[6] - 1.0);
                                    e.setVcoModTarget(variant % 4 == 0 ? 0.0 : 2.0 * v[7] - 1.0);
                                    e.setReverbOn(reverb > 0);
                                    e.setReverbType(reverb == 2 ? 1 : 0);
                                    e.setReverbAmount(v[8]);
                                    e.setReverbMode(variant % 2);
                                    e.setDriveTarget(1.0 + 15.0 * v[9], drive == 1);
                                    e.setLfoWave(wave);
                                    e.setLfoRate(0.1 + 20.0 * v[10]);
                                    e.setLrOffsetTarget(3.0 * v[11] - 1.5);
                                    e.setModSourceTarget(v[12]);
                                    e.setFeedbackGainTarget(kLeft, 0.9 * v[13]);
                                    e.setFeedbackGainTarget(kRight, 0.9 * v[14]);
                                    e.setFeedbackPanTarget(kLeft, v[15]);
                                    e.setGateThresholdTarget(kRight, 0.1 * v[15]);
                                    e.setMixTarget(v[3]);
                                },
                                [=](Engine& e) {
                                    e.setCutoffTarget(200.0 + 3000.0 * v[4]);
                                    e.setVcoModTarget(v[5]);
                                    e.setMixTarget(v[6]);
                                    e.setDriveTarget(8.0, drive == 1);
                                    e.setDelayTime(kLeft, 5.0 + 10.0 * v[7]);
                                    e.setBypass(variant % 7 == 0);
                                }};
                    SCOPED_TRACE(variant);
                    expectSameAsPlain<double>(scene);
                    expectSameAsPlain<float>(scene);
                }
}

// The LFO's memoryless shapes are formed ahead of the input side four samples at a time;
// channel phases further out than a turn take the slow wrap there, one by one. Offsets far
// out of range, read by the filter and by a clock that follows them, steady and gliding.
TEST(FastLoop, FarLfoOffsetsGiveThePlainLoopsSamples) {
    for (int wave : {0, 2})
        for (double offset : {7.5, -40.0, 1e6}) {
            Scene scene{"far offset",
                        [=](Engine& e) {
                            shortLines(e, 9.0, 13.0);
                            e.setFilterOn(true);
                            e.setFilterMode(1);
                            e.setCutoffModTarget(0.8);
                            e.setVcoOn(true);
                            e.setVcoModTarget(0.6);
                            e.setLfoWave(wave);
                            e.setLfoRate(3.0);
                            e.setLrOffsetTarget(offset);
                        },
                        [=](Engine& e) { e.setLrOffsetTarget(-offset * 0.5); }};
            SCOPED_TRACE(offset);
            expectSameAsPlain<double>(scene);
            expectSameAsPlain<float>(scene);
        }
}

// Stages that nobody reads are skipped and only their state moves on: the LFO while neither
// the clock nor the filter reads it, the drive window while the drive is off, the ducker on a
// silent key, the gate while no threshold can close it. Once something reads them they must
// go on exactly where running them all along would have left them: the LFO's phase and the
// memory of its square and random shapes, the drive window, the envelopes.
TEST(FastLoop, IdleStagesResumeWhereTheyWouldHaveBeen) {
    constexpr int kFrames = 9000, kWake = 4700;
    constexpr int kBlocks[] = {256, 100, 1, 333, 64};
    const Signal l = noise(kFrames, 7), r = noise(kFrames, 8), k = noise(kFrames, 9);
    for (int wave = 0; wave < 5; ++wave) {
        auto idle = [wave](Engine& e) {
            shortLines(e, 7.0, 11.0);
            e.setFeedbackGainTarget(kLeft, 0.6);
            e.setFeedbackGainTarget(kRight, 0.5);
            e.setVcoOn(true);
            e.setVcoManual(0.3);     // a steady clock reads no modulation
            e.setVcoModTarget(0.0);
            e.setLfoWave(wave);
            e.setLfoRate(3.7);
            e.setModSourceTarget(0.4);
            e.setDriveTarget(6.0, false);  // the window runs, the gain is not applied
            e.setGateThresholdTarget(kLeft, 0.0);
            e.setGateThresholdTarget(kRight, 0.0);
            e.setDuckThreshold(0.2);
            e.suspend();
        };
        auto wake = [](Engine& e) {
            e.setFilterOn(true);
            e.setFilterMode(1);
            e.setCutoffModTarget(0.8);
            e.setVcoModTarget(0.6);
            e.setDriveTarget(6.0, true);
            e.setGateThresholdTarget(kLeft, 0.05);
            e.setGateThresholdTarget(kRight, 0.05);
        };
        auto render = [&](Engine& e, bool fast, std::vector<float>& outL, std::vector<float>& outR) {
            std::vector<float> inL(l.begin(), l.end()), inR(r.begin(), r.end()), key(kFrames, 0.0f);
            outL.assign(kFrames, 0.0f);
            outR.assign(kFrames, 0.0f);
            bool woken = false;
            for (int at = 0, b = 0; at < kFrames; ++b) {
                if (at >= kWake && !woken) {
                    woken = true;
                    wake(e);
                    for (int i = at; i < kFrames; ++i) key[i] = static_cast<float>(0.5 * k[i]);
                }
                const int n = std::min(kBlocks[b % 5], (at < kWake ? kWake : kFrames) - at);
                if (fast)
                    e.process(inL.data() + at, inR.data() + at, key.data() + at, key.data() + at, outL.data() + at,
                              outR.data() + at, n, {});
                else
                    engine::PlainLoop::process<float>(e, inL.data() + at, inR.data() + at, key.data() + at,
                                                      key.data() + at, outL.data() + at, outR.data() + at, n, {});
                at += n;
            }
        };
        Engine plain;
        idle(plain);
        std::vector<float> plainL, plainR;
        render(plain, false, plainL, plainR);
        for (engine::InstructionSet set : runnableInstructionSets()) {
            const ForcedInstructionSet forced(set);
            Engine fast;
            idle(fast);
            std::vector<float> fastL, fastR;
            render(fast, true, fastL, fastR);
            EXPECT_TRUE(sameBits(fastL, plainL) && sameBits(fastR, plainR)) << "wave " << wave << ", " << nameOf(set);
        }
    }
}

// Mono output (one buffer named for both sides), in-place processing and missing channels
// go through the same writer in both loops.
TEST(FastLoop, BufferLayoutsGiveThePlainLoopsSamples) {
    const Scene& scene = *findScene("everything-song-locked");
    Engine fast, plain;
    for (Engine* e : {&fast, &plain}) {
        scene.setup(*e);
        e->suspend();
    }
    const Signal l = noise(3000, 1), r = noise(3000, 2);
    std::vector<float> fl(l.begin(), l.end()), fr(r.begin(), r.end());
    std::vector<float> monoFast(3000), monoPlain(3000), ioFastL = fl, ioFastR = fr, ioPlainL = fl, ioPlainR = fr;
    fast.process(fl.data(), fr.data(), nullptr, nullptr, monoFast.data(), monoFast.data(), 3000, {});
    engine::PlainLoop::process<float>(plain, fl.data(), fr.data(), nullptr, nullptr, monoPlain.data(),
                                      monoPlain.data(), 3000, {});
    EXPECT_TRUE(sameBits(monoFast, monoPlain));
    fast.process(ioFastL.data(), ioFastR.data(), ioFastL.data(), nullptr, ioFastL.data(), ioFastR.data(), 3000, {});
    engine::PlainLoop::process<float>(plain, ioPlainL.data(), ioPlainR.data(), ioPlainL.data(), nullptr,
                                      ioPlainL.data(), ioPlainR.data(), 3000, {});
    EXPECT_TRUE(sameBits(ioFastL, ioPlainL));
    EXPECT_TRUE(sameBits(ioFastR, ioPlainR));
    const float* none = nullptr;
    float* nowhere = nullptr;
    fast.process(none, fr.data(), none, none, nowhere, monoFast.data(), 3000, {});
    engine::PlainLoop::process<float>(plain, none, fr.data(), none, none, nowhere, monoPlain.data(), 3000, {});
    EXPECT_TRUE(sameBits(monoFast, monoPlain));
}

// The key as a host may give it: two different channels, or one alone on either side, with
// samples that are not numbers, in blocks that end between groups of four.
TEST(FastLoop, KeyChannelsGiveThePlainLoopsSamples) {
    const Scene& scene = *findScene("spring-out-random");  // ducks above 0.2
    constexpr int kFrames = 3000, kBlock = 333;
    Signal kl = noise(kFrames, 5), kr = noise(kFrames, 6);
    kl[101] = std::numeric_limits<double>::quiet_NaN();
    kr[202] = -std::numeric_limits<double>::infinity();
    const Signal l = noise(kFrames, 1), r = noise(kFrames, 2);
    const std::vector<float> inL(l.begin(), l.end()), inR(r.begin(), r.end()), keyL(kl.begin(), kl.end()),
        keyR(kr.begin(), kr.end());
    auto render = [&](Engine& e, const float* kL, const float* kR, bool fast) {
        scene.setup(e);
        e.suspend();
        std::vector<float> out(2 * kFrames);
        for (int at = 0; at < kFrames; at += kBlock) {
            const int n = std::min(kBlock, kFrames - at);
            float* oL = out.data() + at;
            float* oR = out.data() + kFrames + at;
            const float* a = kL ? kL + at : nullptr;
            const float* b = kR ? kR + at : nullptr;
            if (fast) e.process(inL.data() + at, inR.data() + at, a, b, oL, oR, n, {});
            else engine::PlainLoop::process<float>(e, inL.data() + at, inR.data() + at, a, b, oL, oR, n, {});
        }
        return out;
    };
    const float* none = nullptr;
    const std::pair<const float*, const float*> keys[] = {
        {keyL.data(), keyR.data()}, {keyL.data(), none}, {none, keyR.data()}};
    for (const auto& [kL, kR] : keys) {
        Engine plain;
        const std::vector<float> expected = render(plain, kL, kR, false);
        for (engine::InstructionSet set : runnableInstructionSets()) {
            const ForcedInstructionSet forced(set);
            Engine fast;
            EXPECT_TRUE(sameBits(render(fast, kL, kR, true), expected))
                << (kL ? "left " : "") << (kR ? "right " : "") << nameOf(set);
        }
    }
}

}  // namespace
