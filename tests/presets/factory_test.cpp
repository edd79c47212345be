// The factory bank: names in order, the three historical programs value for value, the
// rules every designed program keeps, and a render of every program through the effect.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <cmath>
#include <memory>
#include <vector>

#include "../../src/host/QEL.h"
#include "../../src/presets/FactoryBank.h"
#include "PresetTestSupport.h"

using presets::kFactoryBank;

namespace {

const char* const kNames[61] = {
    "Default", "Cirrostratus", "Nagual", "Studio One", "Bitch Slap", "El Dorado", "Solaris", "Oracle",
    "Up In Smoke", "Lullaby For A Robot", "Atomizer", "Fasttrack", "Exosphere", "Octachoron", "Close Encounter",
    "Cotton Wool", "Vertigo", "Raptures Of The Deep", "Stalker", "Bumper", "Airpeggiator", "Hanging Rock",
    "Wormhole", "Illumination", "Ping Pong", "Hadron Collider", "Parasite", "Pressure", "Delirium Tremens",
    "Desolation", "Mirage", "Descent", "Let It Flow", "Aurora Borealis", "Meta Flanger", "Patagonia",
    "Asa Nisi Masa", "Sauropod", "Silicon Soul", "Twin Brothers", "Backdraft", "Daydreaming", "Dirty Harry",
    "Cisterna Magna", "Silver Gate", "Primal Soup", "Orbitoclast", "Crystalline", "Master And Servant",
    "Out To Lunch", "Xibalba", "Albedo", "Gamma Ray", "Rub A Dub", "Short Circuit", "Great Attractor",
    "Acid Reflux", "Big Eye", "Fight Or Flight", "Beyond The Stars", "Bass Drone"};

// The three programs whose values are historical, as they were published.
const float kDefault[60] = {0.5f, 0.5f, 0.5f, 0, 0, 0, 1, 0.25f, 0.25f, 0.1f, 0.5f, 0.5f, 0.5f, 0.5f, 0.166667f,
                            1, 0, 0.5f, 0.5f, 0.25f, 0.25f, 0, 0.5f, 0.166667f, 1, 1, 0.1f, 0.1f, 0.269231f,
                            0.269231f, 0.833334f, 0.833334f, 0.5f, 0.1f, 0, 0.4f, 0.4f, 0, 0, 0, 0.5f, 0, 0, 0, 0,
                            1, 0, 0.5f, 0, 1, 0, 0, 1, 0.5f, 0, 0, 0.115385f, 0.115385f, 0, 0};
const float kMetaFlanger[60] = {
    0.5f, 0.58f, 0.72f, 0.736f, 0.736f, 0.1365f, 0.8625f, 0.75f, 0.75f, 0, 0.064843f, 0.26f, 0.464f, 0.3905f, 0,
    0.469f, 0.11307f, 0.5f, 0.79f, 0.25f, 0.25f, 0.775f, 0.617778f, 0, 0, 0, 0.3f, 0.1f, 0.423077f, 0.269231f,
    0.5f, 0.833334f, 0, 0.7f, 0, 0.006f, 0.006f, 0, 1, 0.3235f, 0.4685f, 0.25f, 0.25f, 0, 0.5f, 0.75f, 0.25f,
    0.6825f, 0, 0.59f, 0.705f, 0.39f, 1, 0.35f, 0.25f, 0.25f, 0.115385f, 0.115385f, 0, 0};
const float kBassDrone[60] = {
    0.4985f, 0.62f, 0.62f, 0.165f, 0.3365f, 0.968f, 0, 0.25f, 0.25f, 0.1f, 0.057525f, 0.525f, 0.2085f, 0.654f, 1,
    0.3875f, 0.492443f, 0.5f, 0.495f, 0.25f, 0.25f, 0.025f, 0.805f, 0.5f, 0.75f, 0.75f, 0.1f, 0.1f, 0.346154f,
    0.269231f, 0.5f, 0.5f, 0.5f, 0.3f, 0, 0.542f, 0.361f, 0, 1, 0.3f, 0.435f, 0.25f, 0.5f, 0, 0.5f, 0.25f, 0.25f,
    0.93f, 0, 1, 0.235f, 0.235f, 0.25f, 0.485f, 0.083333f, 0, 0.115385f, 0.115385f, 0, 0};

bool isHistorical(int program) { return program == 0 || program == 34 || program == 60; }

// Number of steps of each stepped parameter (0: continuous or unused), written out here
// rather than taken from the parameter table so the test checks it independently.
int stepsOf(int index) {
    switch (index) {
        case 7: case 8: case 19: case 20: case 24: case 25: case 37: case 38:
        case 41: case 42: case 45: case 46: case 58: case 59: return 2;
        case 14: case 23: case 30: case 31: case 32: return 3;
        case 9: case 26: case 27: case 33: return 5;
        case 54: case 55: return 6;
        case 28: case 29: case 34: case 56: case 57: return 13;
        default: return 0;
    }
}

TEST(FactoryBank, NamesInOrder) {
    for (int p = 0; p < 61; ++p) EXPECT_STREQ(kFactoryBank[p].name, kNames[p]) << p;
    presettest::TestEffect effect;
    char text[32];
    ASSERT_TRUE(effect.getProgramNameIndexed(0, 60, text));
    EXPECT_STREQ(text, "Bass Drone");
    for (int p = 0; p < 61; ++p) EXPECT_EQ(presettest::nameOf(effect.programs()[p]), kNames[p]);
}

TEST(FactoryBank, HistoricalProgramsValueForValue) {
    presettest::TestEffect effect;
    for (int i = 0; i < 60; ++i) {
        EXPECT_EQ(effect.programs()[0].values[i], kDefault[i]) << i;
        EXPECT_EQ(effect.programs()[34].values[i], kMetaFlanger[i]) << i;
        EXPECT_EQ(effect.programs()[60].values[i], kBassDrone[i]) << i;
    }
    EXPECT_EQ(std::memcmp(&effect.templateProgram(), &effect.programs()[0], sizeof(presets::ProgramRecord)), 0);
}

TEST(FactoryBank, EveryProgramKeepsTheRules) {
    for (int p = 0; p < 61; ++p) {
        const double* v = kFactoryBank[p].values;
        for (int i = 0; i < 60; ++i) EXPECT_TRUE(v[i] >= 0.0 && v[i] <= 1.0) << kNames[p] << " " << i;
        EXPECT_EQ(v[20], 0.25) << kNames[p];  // DlyInvR
        for (int i : {7, 8, 19}) EXPECT_TRUE(v[i] == 0.25 || v[i] == 0.75) << kNames[p] << " " << i;
        if (isHistorical(p)) continue;
        EXPECT_EQ(v[41], 0.25) << kNames[p] << ": bypassed";
        for (int i = 0; i < 60; ++i) {
            const int n = stepsOf(i);
            if (!n) continue;
            const double k = std::floor(v[i] * n);
            EXPECT_NEAR(v[i], (k + 0.5) / n, 1e-6) << kNames[p] << " parameter " << i << " off its step centre";
        }
    }
}

TEST(FactoryBank, NoTwoProgramsAlike) {
    // Summed over the 60 values, any two programs differ by at least this much.
    constexpr double kMinimumDistance = 1.0;
    for (int a = 0; a < 61; ++a)
        for (int b = a + 1; b < 61; ++b) {
            double distance = 0.0;
            for (int i = 0; i < 60; ++i) distance += std::fabs(kFactoryBank[a].values[i] - kFactoryBank[b].values[i]);
            EXPECT_GE(distance, kMinimumDistance) << kNames[a] << " and " << kNames[b];
        }
}

// The highest gain of the state-variable filter at its corner, for the damping that a
// resonance setting gives: 2 (1 - r^0.25), r at least 0.05.
double filterPeak(double typeValue, double reso) {
    const double q = 1.0 / (2.0 * (1.0 - std::pow(std::max(0.05, reso), 0.25)));
    if (std::floor(typeValue * 3) == 1) return q;                     // band-pass
    return q > 0.7072 ? q / std::sqrt(1.0 - 1.0 / (4.0 * q * q)) : 1.0;  // low- and high-pass
}

TEST(FactoryBank, DesignedFeedbackLoopsStayBelowUnity) {
    // The larger feedback gain, times the filter's resonant peak when the filter sits in
    // the loop ("fb"), is what a repeat can gain at worst; below 1 the repeats die away
    // instead of building up to the filter's saturation.
    for (int p = 0; p < 61; ++p) {
        if (isHistorical(p)) continue;
        const double* v = kFactoryBank[p].values;
        double loop = std::max(v[3], v[4]);
        const bool filterInLoop = v[42] >= 0.5 && std::floor(v[23] * 3) == 1;
        if (filterInLoop) loop *= filterPeak(v[14], v[16]);
        EXPECT_LT(loop, 0.9) << kNames[p];
    }
}

// ---------------------------------------------------------------- rendering

VstTimeInfo gTime{};

VstIntPtr renderHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    switch (opcode) {
        case audioMasterVersion: return 2400;
        case audioMasterGetTime:
            gTime.tempo = 120.0;
            gTime.sampleRate = 44100.0;
            gTime.flags = kVstTempoValid;
            return reinterpret_cast<VstIntPtr>(&gTime);
        case audioMasterGetSampleRate: return 44100;
        default: return 0;  // pins connected, no latency, nothing else known
    }
}

constexpr int kRate = 44100;
constexpr int kInputFrames = 2 * kRate;        // two seconds of playing
constexpr int kFrames = kInputFrames + 4 * kRate;  // and four of tail: the longest repeat is 4.8 s
constexpr int kBlock = 512;

// Two bars of plucked notes over a kick and hats, peaking at 0.5 (-6 dBFS).
std::vector<float> demoSignal() {
    std::vector<double> s(kFrames, 0.0);
    uint32_t seed = 12345;
    auto noise = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
    };
    const double tones[] = {220.0, 329.63, 392.0, 440.0, 523.25, 440.0, 392.0, 329.63};
    for (int e = 0; e < 8; ++e) {
        const int at = e * kRate / 4;
        if (e % 4 == 0)
            for (int i = 0; i < kRate / 3; ++i) {
                const double t = static_cast<double>(i) / kRate;
                s[at + i] += 0.8 * std::sin(2 * M_PI * (50 + 80 * std::exp(-t / 0.04)) * t) * std::exp(-t / 0.12);
            }
        for (int i = 0; i < kRate / 50; ++i) s[at + i] += 0.15 * noise() * std::exp(-i / (0.005 * kRate));
        const double f = tones[e];
        for (int i = 0; i < kRate / 3; ++i) {
            const double t = static_cast<double>(i) / kRate;
            s[at + i] += 0.4 * (std::sin(2 * M_PI * f * t) + 0.3 * std::sin(4 * M_PI * f * t)) * std::exp(-t / 0.08);
        }
    }
    double peak = 0.0;
    for (double x : s) peak = std::max(peak, std::fabs(x));
    std::vector<float> out(kFrames);
    for (int i = 0; i < kFrames; ++i) out[i] = static_cast<float>(s[i] * 0.5 / peak);
    return out;
}

const std::vector<float>& demo() {
    static const std::vector<float> signal = demoSignal();
    return signal;
}

struct Render {
    std::vector<float> left, right;
};

Render render(int program) {
    const std::vector<float>& input = demo();
    auto effect = std::make_unique<QEL>(renderHost);
    effect->setSampleRate(static_cast<float>(kRate));
    effect->setBlockSize(kBlock);
    effect->resume();
    effect->selectProgram(program);
    Render r{std::vector<float>(kFrames), std::vector<float>(kFrames)};
    std::vector<float> silence(kBlock, 0.0f);
    for (int at = 0; at < kFrames; at += kBlock) {
        const int n = std::min(kBlock, kFrames - at);
        float* inputs[4] = {const_cast<float*>(&input[at]), const_cast<float*>(&input[at]), silence.data(),
                            silence.data()};
        float* outputs[2] = {&r.left[at], &r.right[at]};
        effect->processReplacing(inputs, outputs, n);
    }
    effect->suspend();
    return r;
}

double peakOf(const Render& r, int from, int to) {
    double peak = 0.0;
    for (int i = from; i < to; ++i) peak = std::max({peak, std::fabs(double(r.left[i])), std::fabs(double(r.right[i]))});
    return peak;
}

double rmsOf(const Render& r, int from, int to) {
    double sum = 0.0;
    for (int i = from; i < to; ++i) sum += double(r.left[i]) * r.left[i] + double(r.right[i]) * r.right[i];
    return std::sqrt(sum / (2.0 * (to - from)));
}

bool engineIsSilent() {
    static const bool silent = peakOf(render(0), 0, kFrames) == 0.0;
    return silent;
}

class FactoryRender : public ::testing::TestWithParam<int> {};

TEST_P(FactoryRender, SoundsAndStaysBounded) {
    if (engineIsSilent()) GTEST_SKIP() << "the engine produces no output yet (all zeros for Default)";
    const int p = GetParam();
    const Render r = render(p);
    for (int i = 0; i < kFrames; ++i)
        ASSERT_TRUE(std::isfinite(r.left[i]) && std::isfinite(r.right[i])) << "sample " << i;

    // Not silent, and no louder than +6 dBFS from an input that peaks at -6 dBFS.
    EXPECT_GT(rmsOf(r, 0, kInputFrames), 0.02);
    constexpr double kPeakLimit = 2.0;
    const double peak = peakOf(r, 0, kFrames);
    EXPECT_LE(peak, kPeakLimit);
    // A runaway keeps growing: the last half second would be the loudest part of the render.
    const int lastHalfSecond = kFrames - kRate / 2;
    const double before = peakOf(r, 0, lastHalfSecond);
    const double end = peakOf(r, lastHalfSecond, kFrames);
    EXPECT_LE(end, 1.25 * before) << "the repeats build up";
}

INSTANTIATE_TEST_SUITE_P(Programs, FactoryRender, ::testing::Range(0, 61), [](const ::testing::TestParamInfo<int>& info) {
    std::string name;
    for (const char* c = kNames[info.param]; *c; ++c)
        if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
    return name;
});

TEST(FactoryStart, FreshInstanceStartsOnDefault) {
    QEL effect(renderHost);
    char name[32] = {};
    effect.getProgramName(name);
    EXPECT_STREQ(name, "Default");
    EXPECT_EQ(effect.getCurrentProgramIndex(), 0);
    for (int i = 0; i < 60; ++i) EXPECT_EQ(effect.getParameter(i), kDefault[i]) << i;
}

}  // namespace
