// The whole effect in-process, as a host drives it: every factory program renders a demo
// signal (plucked notes over a drum pattern) with finite, audible output in both sample
// formats, and every parameter set to values far outside 0..1 leaves the output finite.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "../../src/host/QEL.h"
#include "../host/FakeHost.h"

namespace {

constexpr double kFs = 44100.0;
constexpr int kBlock = 512;
constexpr int kPrograms = 61;
constexpr int kParameters = 60;

// Two seconds: a plucked note every quarter second (decaying sines with an overtone) and a
// drum hit (decaying noise) every half second; peaks near -6 dBFS. Right is a little
// different from left so the sides differ.
std::vector<float> demo(int channel) {
    const int n = static_cast<int>(2.0 * kFs);
    const double notes[] = {220.0, 330.0, 262.0, 392.0, 294.0, 440.0, 247.0, 349.0};
    std::vector<float> s(n);
    uint32_t seed = 777u + channel;
    for (int i = 0; i < n; ++i) {
        const double t = i / kFs;
        const int note = static_cast<int>(t / 0.25);
        const double since = t - note * 0.25;
        const double f = notes[note % 8] * (channel ? 1.003 : 1.0);
        double v = 0.3 * std::exp(-since * 6.0) *
                   (std::sin(6.283185307179586 * f * since) + 0.3 * std::sin(6.283185307179586 * 2 * f * since));
        seed = seed * 1664525u + 1013904223u;
        const double hit = t - static_cast<int>(t / 0.5) * 0.5;
        v += 0.2 * std::exp(-hit * 30.0) * (static_cast<double>(seed >> 8) / 8388608.0 - 1.0);
        s[i] = static_cast<float>(v);
    }
    return s;
}

class WholeEngine : public ::testing::Test {
protected:
    void SetUp() override {
        fakehost::state().reset();
        fakehost::state().time.flags = kVstTempoValid | kVstPpqPosValid;
        effect = std::make_unique<QEL>(fakehost::callback);
        effect->setSampleRate(static_cast<float>(kFs));
        effect->setBlockSize(kBlock);
        left = demo(0);
        right = demo(1);
    }

    // Renders the demo signal plus a second of tail; the host's song position advances.
    template <typename T>
    void render(std::vector<T>& outL, std::vector<T>& outR) {
        const int n = static_cast<int>(left.size()) + static_cast<int>(kFs);
        std::vector<T> inL(n, T(0)), inR(n, T(0)), none(n, T(0));
        std::copy(left.begin(), left.end(), inL.begin());
        std::copy(right.begin(), right.end(), inR.begin());
        outL.assign(n, T(0));
        outR.assign(n, T(0));
        for (int at = 0; at < n; at += kBlock) {
            const int frames = std::min(kBlock, n - at);
            fakehost::state().time.ppqPos = at / kFs * 2.0;
            T* inputs[4] = {inL.data() + at, inR.data() + at, none.data() + at, none.data() + at};
            T* outputs[2] = {outL.data() + at, outR.data() + at};
            if constexpr (sizeof(T) == sizeof(float))
                effect->processReplacing(inputs, outputs, frames);
            else
                effect->processDoubleReplacing(inputs, outputs, frames);
        }
    }

    std::unique_ptr<QEL> effect;
    std::vector<float> left, right;
};

template <typename T>
double peakOf(const std::vector<T>& a, const std::vector<T>& b) {
    double peak = 0.0;
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_TRUE(std::isfinite(a[i]) && std::isfinite(b[i])) << i;
        if (!std::isfinite(a[i]) || !std::isfinite(b[i])) return -1.0;
        peak = std::max({peak, std::fabs(double(a[i])), std::fabs(double(b[i]))});
    }
    return peak;
}

// Each program: audible, finite output in 32 bits, and the 64-bit path gives the same
// within what the 32-bit output rounding and input widening can change.
TEST_F(WholeEngine, EveryFactoryProgramRendersTheDemoInBothFormats) {
    for (int p = 0; p < kPrograms; ++p) {
        effect = std::make_unique<QEL>(fakehost::callback);
        effect->setSampleRate(static_cast<float>(kFs));
        effect->selectProgram(p);
        effect->resume();
        std::vector<float> l32, r32;
        render(l32, r32);
        const double peak = peakOf(l32, r32);
        EXPECT_GT(peak, 0.01) << p;
        EXPECT_LT(peak, 16.0) << p;

        // A fresh instance again: a resume after a program change glides the controls from
        // where the last program left them, and the random shape's generator runs on.
        effect = std::make_unique<QEL>(fakehost::callback);
        effect->setSampleRate(static_cast<float>(kFs));
        effect->selectProgram(p);
        effect->resume();
        std::vector<double> l64, r64;
        render(l64, r64);
        EXPECT_GT(peakOf(l64, r64), 0.0) << p;
        double worst = 0.0;
        for (size_t i = 0; i < l32.size(); ++i)
            worst = std::max({worst, std::fabs(l32[i] - l64[i]), std::fabs(r32[i] - r64[i])});
        EXPECT_LT(worst, 1e-4 * std::max(1.0, peak)) << p << " " << worst;
    }
}

// A suspend and resume between two renders of a program gives the same samples again (the
// program is selected while suspended, as hosts do, so no glide from the last one runs).
TEST_F(WholeEngine, ResumedProgramRendersTheSameAgain) {
    for (int p : {0, 7, 24, 34, 60}) {
        effect->suspend();
        effect->selectProgram(p);
        effect->suspend();
        effect->resume();
        std::vector<float> a, b, c, d;
        render(a, b);
        effect->suspend();
        effect->resume();
        render(c, d);
        EXPECT_EQ(a, c) << p;
        EXPECT_EQ(b, d) << p;
        effect->suspend();
    }
}

// Every parameter at each value far outside 0..1, in both formats: finite output, and the
// effect still sounds once another program is selected.
TEST_F(WholeEngine, ParameterValuesFarOutsideTheRangeLeaveTheOutputFinite) {
    for (float v : {-1e30f, -3.0f, 1.5f, 7.0f, 1e30f}) {
        for (int i = 0; i < kParameters; ++i) effect->setParameter(i, v);
        effect->setParameter(41, 0.0f);  // Bypass off, so the engine's output is what is heard
        effect->resume();
        std::vector<float> l32, r32;
        std::vector<double> l64, r64;
        render(l32, r32);
        render(l64, r64);
        EXPECT_GE(peakOf(l32, r32), 0.0) << v;
        EXPECT_GE(peakOf(l64, r64), 0.0) << v;
        effect->suspend();
    }
    // The wild values went into the current program (0); another one brings sane values back.
    effect->suspend();
    effect->selectProgram(1);
    effect->resume();
    std::vector<float> l, r;
    render(l, r);
    EXPECT_GT(peakOf(l, r), 0.01);
}

}  // namespace
