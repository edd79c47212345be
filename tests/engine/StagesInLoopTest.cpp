// The stages where the signal path puts them, measured through the whole engine: the
// filter at the input, in the loop and on the echoes only; the drive on new input only;
// the clocked lines' latency, spacing and pitch; the anti-alias priming; the reverb after
// the mix; the LFO locked to the song position.
#include <gtest/gtest.h>

#include <cfenv>
#include <cfloat>
#include <cmath>

#include "EngineRig.h"

using namespace enginetest;
using engine::kLeft;
using engine::kRight;

namespace {

constexpr double kFs = 44100.0;
constexpr int kTimeSlots = 441;  // 10 ms
constexpr int kLookAhead = 44;   // 1 ms
constexpr double kTwoPi = 6.283185307179586;

// ---------------------------------------------------------------- filter placement

enum Mode { kIn = 0, kFeedback = 1, kListen = 2 };

struct FilterSetting {
    int type;
    double cutoff, resonance;
};

// The filter with the coefficients the engine forms for a settled cutoff and resonance and
// no modulation (cutoff factor 1, resonance control = resonance).
engine::StateVariableFilter filterFor(const engine::Engine& e, const FilterSetting& f) {
    engine::StateVariableFilter svf;
    svf.adaptSampleRate(kFs);
    svf.computeCoefficients(e.tables(), f.cutoff, 1.0, f.resonance, 0.0, 0.0);
    return svf;
}

void useFilter(engine::Engine& e, const FilterSetting& f, int mode) {
    e.setFilterOn(true);
    e.setFilterMode(mode);
    e.setFilterType(f.type);
    e.setCutoffTarget(f.cutoff);
    e.setResonanceTarget(f.resonance);
}

// The left line as the formulas give it, with feedback gain g and no pre-delay: the line
// output is y[n] = s[n - D] + g fb[n - D - 1]; what is heard is the filtered y ("fb", "fx")
// or y itself; what is fed back is the filtered y only in "fb". Heard 1 ms late.
Signal modelEchoes(const Signal& s, double g, engine::StateVariableFilter* svf, int type, bool filterFedBack) {
    const int n = static_cast<int>(s.size());
    Signal y(n, 0.0), fb(n, 0.0), out(n, 0.0);
    for (int i = 0; i < n; ++i) {
        const int from = i - kTimeSlots;
        y[i] = (from >= 0 ? s[from] : 0.0) + (from - 1 >= 0 ? g * fb[from - 1] : 0.0);
        const double z = svf ? svf->process(0, y[i], type) : y[i];
        fb[i] = filterFedBack ? z : y[i];
        if (i + kLookAhead < n) out[i + kLookAhead] = z;
    }
    return out;
}

double worstDifference(const Signal& a, const Signal& b) {
    double worst = 0.0;
    for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::fabs(a[i] - b[i]));
    return worst;
}

double peakIn(const Signal& s, int from, int length) {
    double peak = 0.0;
    for (int i = from; i < from + length; ++i) peak = std::max(peak, std::fabs(s[i]));
    return peak;
}

// Low level (the cubic term stays negligible) broadband input: a click and a burst of noise.
Signal probe(int n) {
    Signal s = noise(n, 99);
    for (int i = 0; i < n; ++i) s[i] = i < 200 ? 0.01 * s[i] : 0.0;
    s[0] = 0.02;
    return s;
}

TEST(FilterPlacement, EchoesFilteredOnceInFxAndOnEveryPassInFb) {
    const FilterSetting settings[] = {{0, 1200.0, 0.3}, {1, 2500.0, 0.7}, {2, 800.0, 0.05}};
    const int n = 4 * (kTimeSlots + 1) + 600;
    for (const FilterSetting& f : settings) {
        for (int mode : {kFeedback, kListen}) {
            Rig rig;
            useFilter(rig.e, f, mode);
            rig.e.setFeedbackGainTarget(kLeft, 0.6);
            rig.settle();
            const Signal in = probe(n);
            const Signal out = rig.runLeft(in).left;
            engine::StateVariableFilter svf = filterFor(rig.e, f);
            const Signal expected = modelEchoes(in, 0.6, &svf, f.type, mode == kFeedback);
            EXPECT_LT(worstDifference(out, expected), 1e-12) << f.type << " " << mode;
        }
    }
}

// Share of a stretch's energy in its sample-to-sample differences: falls as sound darkens.
double brightness(const Signal& s, int from, int length) {
    double all = 0.0, edges = 0.0;
    for (int i = from + 1; i < from + length; ++i) {
        all += s[i] * s[i];
        edges += (s[i] - s[i - 1]) * (s[i] - s[i - 1]);
    }
    return edges / all;
}

// What that means to the ear: the third repeat of a click through a 2 kHz low pass is as
// bright as the first in "fx", but much darker in "fb", where it passed the filter three times.
TEST(FilterPlacement, RepeatsDarkenOnlyInTheLoop) {
    const FilterSetting lowPass{0, 2000.0, 0.05};
    double third[3] = {};
    for (int mode : {kFeedback, kListen}) {
        Rig rig;
        useFilter(rig.e, lowPass, mode);
        rig.e.setFeedbackGainTarget(kLeft, 1.0);
        rig.settle();
        const Signal out = rig.runLeft(impulse(4 * (kTimeSlots + 1) + 200, 0, 0.1)).left;
        const int first = kLookAhead + kTimeSlots - 2;
        third[mode] = brightness(out, first + 2 * (kTimeSlots + 1), 200) / brightness(out, first, 200);
    }
    EXPECT_NEAR(third[kListen], 1.0, 1e-6);  // filtered once, repeated unchanged
    EXPECT_LT(third[kFeedback], 0.5);         // through the filter on every pass
}

TEST(FilterPlacement, InputPlacementFiltersTheDrySignalAndWhatEntersTheLine) {
    const FilterSetting f{0, 900.0, 0.4};
    const int n = 3 * (kTimeSlots + 1) + 600;
    Rig rig;
    useFilter(rig.e, f, kIn);
    rig.e.setMixTarget(0.5);
    rig.e.setFeedbackGainTarget(kLeft, 0.5);
    rig.settle();
    const Signal in = probe(n);
    const Signal out = rig.runLeft(in).left;
    engine::StateVariableFilter svf = filterFor(rig.e, f);
    Signal dry(n);
    for (int i = 0; i < n; ++i) dry[i] = svf.process(0, in[i], f.type);
    // The line carries the filtered input; its repeats are not filtered again.
    const Signal echoes = modelEchoes(dry, 0.5, nullptr, 0, false);
    Signal expected(n);
    for (int i = 0; i < n; ++i) expected[i] = 0.5 * dry[i] + 0.5 * echoes[i];
    EXPECT_LT(worstDifference(out, expected), 1e-12);
}

TEST(FilterPlacement, FilterOffMeansNoFilterAnywhere) {
    for (int mode : {kIn, kFeedback, kListen}) {
        Rig plain, off;
        useFilter(off.e, {0, 300.0, 0.9}, mode);
        off.e.setFilterOn(false);
        for (Rig* r : {&plain, &off}) {
            r->e.setMixTarget(0.5);
            r->e.setFeedbackGainTarget(kLeft, 0.7);
            r->settle();
        }
        const Signal in = noise(3000, 4);
        EXPECT_EQ(off.runLeft(in).left, plain.runLeft(in).left) << mode;
    }
}

// ---------------------------------------------------------------- drive

// A steady level s comes out of the line as s (1 - D s / 4) up to s = 2 / D and as the
// ceiling 1 / D above; the dry signal is untouched.
TEST(DriveInLoop, SteadyLevelBelowTheKneeAndCeilingAbove) {
    const struct {
        double drive, level, echo;
    } cases[] = {
        {4.0, 0.25, 0.25 * (1.0 - 4.0 * 0.25 / 4.0)},
        {4.0, 0.4, 0.4 * (1.0 - 4.0 * 0.4 / 4.0)},
        {4.0, 0.8, 1.0 / 4.0},
        {16.0, 0.9, 1.0 / 16.0},
        {16.0, 0.1, 0.1 * (1.0 - 16.0 * 0.1 / 4.0)},
        {1.0, 0.9, 0.9 * (1.0 - 0.9 / 4.0)},
    };
    for (const auto& c : cases) {
        Rig wet, dry;
        wet.e.setDriveTarget(c.drive, true);
        dry.e.setDriveTarget(c.drive, true);
        dry.e.setMixTarget(0.0);
        wet.settle();
        dry.settle();
        EXPECT_NEAR(wet.runLeft(constant(2000, c.level)).left.back(), c.echo, 1e-12) << c.drive << " " << c.level;
        EXPECT_NEAR(dry.runLeft(constant(2000, c.level)).left.back(), c.level, 1e-12) << c.drive << " " << c.level;
    }
}

TEST(DriveInLoop, DriveZeroLeavesEvenFullScaleAlone) {
    Rig rig;
    rig.e.setDriveTarget(1.0, false);
    rig.settle();
    EXPECT_NEAR(rig.runLeft(constant(2000, 1.0)).left.back(), 1.0, 1e-12);
}

// The drive shapes what enters the line, never the feedback: a click of 0.5 at D = 16 (window
// sum 8 = 2N, gain 1/2) enters as 0.25, and every repeat is 0.9 of the one before.
TEST(DriveInLoop, FeedbackIsNotDriven) {
    Rig rig;
    rig.e.setDriveTarget(16.0, true);
    rig.e.setFeedbackGainTarget(kLeft, 0.9);
    rig.settle();
    const Signal out = rig.runLeft(impulse(4 * (kTimeSlots + 1) + 100, 0, 0.5)).left;
    for (int k = 0; k < 4; ++k) {
        const int at = kLookAhead + kTimeSlots + k * (kTimeSlots + 1);
        EXPECT_NEAR(out[at], 0.25 * std::pow(0.9, k), 1e-12) << k;
        EXPECT_NEAR(out[at - 1], 0.0, tol::kSilent) << k;
    }
}

// ---------------------------------------------------------------- clock mode

// At VcoMan and VcoMod centre the clocked line sounds exactly like the plain line fed with
// the anti-alias filtered input, three samples later.
TEST(ClockInLoop, CentreSettingsAddExactlyThreeSamples) {
    for (double fs : {44100.0, 96000.0}) {
        Rig clocked(fs), plain(fs);
        clocked.e.setVcoOn(true);
        clocked.settle();
        const Signal in = noise(6000, 21);
        engine::AntiAliasFilter antiAlias;
        antiAlias.adaptSampleRate(fs);
        Signal filtered = in, silent = silence(6000);
        for (size_t i = 0; i < in.size(); ++i) antiAlias.process(filtered[i], silent[i]);
        const Signal a = clocked.runLeft(in).left;
        const Signal b = plain.runLeft(filtered).left;
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(a[i], 0.0, tol::kSilent);
        double worst = 0.0;
        for (size_t i = 0; i + 3 < a.size(); ++i) worst = std::max(worst, std::fabs(a[i + 3] - b[i]));
        EXPECT_LT(worst, 1e-12) << fs;
        EXPECT_GT(peakIn(a, 0, 6000), 0.5) << fs;  // the echo is there
    }
}

// Where the loudest sample of each repeat falls.
std::vector<int> repeatPeaks(const Signal& s, int first, int spacing, int count) {
    std::vector<int> at;
    for (int k = 0; k < count; ++k) {
        const int from = first + k * spacing - spacing / 2;
        int best = from;
        for (int i = from; i < from + spacing; ++i)
            if (std::fabs(s[i]) > std::fabs(s[best])) best = i;
        at.push_back(best);
    }
    return at;
}

// At VcoMan -1 the clock runs at half the sample rate: every slot lasts two samples, so the
// echoes are twice as far apart as at the centre.
TEST(ClockInLoop, ManualAtMinusOneSpacesEchoesTwiceAsFar) {
    int spacing[2] = {};
    for (int half = 0; half < 2; ++half) {
        Rig rig;
        rig.e.setVcoOn(true);
        rig.e.setVcoManual(half ? -1.0 : 0.0);
        rig.e.setFeedbackGainTarget(kLeft, 0.8);
        rig.settle();
        const int step = half ? 2 * kTimeSlots : kTimeSlots;
        const Signal out = rig.runLeft(impulse(kLookAhead + 5 * (step + 10), 0, 0.5)).left;
        const std::vector<int> peaks = repeatPeaks(out, kLookAhead + step, step + 4, 4);
        spacing[half] = peaks[3] - peaks[2];
        EXPECT_EQ(peaks[2] - peaks[1], spacing[half]);
    }
    EXPECT_EQ(spacing[0], kTimeSlots + 4);
    // A repeat takes D / v samples in the line, one sample on the write side, two ticks
    // (2 / v samples) on the read side, and one sample to re-enter as feedback:
    // 441 + 1 + 2 + 1 at v = 1, and 882 + 1 + 4 + 1 at v = 0.5.
    EXPECT_EQ(spacing[1], 2 * kTimeSlots + 6);
}

// Sound written while the clock runs at the sample rate and read after VcoMan drops to -1
// plays at half speed: a 1000 Hz sine comes back at 500 Hz.
TEST(ClockInLoop, SlowerReadingDropsAnOctave) {
    Rig rig;
    rig.e.setVcoOn(true);
    rig.e.setDelayTime(kLeft, 500.0);
    rig.settle();
    const int n = static_cast<int>(1.5 * kFs);
    Signal in = silence(n);
    for (int i = 0; i < static_cast<int>(0.4 * kFs); ++i) in[i] = 0.5 * std::sin(kTwoPi * 1000.0 * i / kFs);
    const int switchAt = static_cast<int>(0.45 * kFs) / 256 * 256;  // a block boundary
    const Signal before(in.begin(), in.begin() + switchAt), after(in.begin() + switchAt, in.end());
    const Signal head = rig.runLeft(before).left;
    rig.e.setVcoManual(-1.0);
    const Signal tail = rig.runLeft(after).left;
    // The echo of the written sine, read at half speed, lasts from about 0.55 s to 1.35 s.
    const size_t from = static_cast<size_t>(0.7 * kFs) - switchAt, to = static_cast<size_t>(1.2 * kFs) - switchAt;
    const double hz = [&] {
        double first = -1.0, last = -1.0;
        int count = 0;
        for (size_t i = from + 1; i < to; ++i)
            if (tail[i - 1] < 0.0 && tail[i] >= 0.0) {
                const double at = static_cast<double>(i - 1) + tail[i - 1] / (tail[i - 1] - tail[i]);
                if (count++ == 0) first = at;
                last = at;
            }
        return (count - 1) * kFs / (last - first);
    }();
    EXPECT_NEAR(hz, 500.0, 0.5);
    EXPECT_GT(peakIn(tail, static_cast<int>(from), static_cast<int>(to - from)), 0.4);
    (void)head;
}

// With the modulation depth at +1 or -1 the rate follows the modulation signal alone.
TEST(ClockInLoop, FullModulationDepthMakesManualIrrelevant) {
    for (double depth : {1.0, -1.0}) {
        Rig a, b;
        for (Rig* r : {&a, &b}) {
            r->e.setVcoOn(true);
            r->e.setVcoModTarget(depth);
            r->e.setLfoRate(5.0);
            r->e.setFeedbackGainTarget(kLeft, 0.5);
            r->settle();
        }
        a.e.setVcoManual(-0.8);
        b.e.setVcoManual(0.9);
        const Signal in = noise(8000, 5);
        EXPECT_EQ(a.runLeft(in).left, b.runLeft(in).left) << depth;
    }
    // ... whereas at half depth the manual setting is heard.
    Rig a, b;
    for (Rig* r : {&a, &b}) {
        r->e.setVcoOn(true);
        r->e.setVcoModTarget(0.5);
        r->settle();
    }
    a.e.setVcoManual(-0.8);
    b.e.setVcoManual(0.9);
    EXPECT_NE(a.runLeft(noise(8000, 5)).left, b.runLeft(noise(8000, 5)).left);
}

// Switching the clock on while a steady signal runs: the anti-alias filter starts from the
// primed states and the read history from what was just heard, so the echo does not move.
TEST(ClockInLoop, SwitchingOnMakesNoStep) {
    Rig rig;
    rig.e.setDriveTarget(2.0, true);  // the priming uses the line input after the drive
    rig.settle();
    const double level = 0.5, driven = level * (1.0 - 2.0 * level / 4.0);
    const Signal before = rig.runLeft(constant(4000, level)).left;
    EXPECT_NEAR(before.back(), driven, 1e-12);
    rig.e.setVcoOn(true);
    const Signal after = rig.runLeft(constant(4000, level)).left;
    EXPECT_LT(worstDifference(after, constant(4000, driven)), 1e-9);
}

// ---------------------------------------------------------------- reverb

void reverbOn(engine::Engine& e, int type, double amount) {
    e.setReverbOn(true);
    e.setReverbType(type);
    e.setReverbAmount(amount);
}

// RvbAmt 0: what comes out is exactly what goes in, while the tail builds in the tank.
TEST(ReverbInLoop, AmountZeroIsTheIdentityWhileTheTailBuilds) {
    for (int type : {0, 1}) {
        Rig with, without;
        reverbOn(with.e, type, 0.0);
        with.e.setMixTarget(0.5);
        without.e.setMixTarget(0.5);
        with.settle();
        without.settle();
        const Signal in = noise(20000, 8);
        EXPECT_EQ(with.runLeft(in).left, without.runLeft(in).left) << type;
        with.e.setReverbAmount(1.0);
        const Signal tail = with.runLeft(silence(8000)).left;
        EXPECT_GT(peakIn(tail, 0, 8000), 1e-3) << type;
    }
}

// RvbOn off holds the tail where it is; on again, it goes on exactly where it stopped.
TEST(ReverbInLoop, OffThenOnResumesTheTail) {
    for (int type : {0, 1}) {
        Rig through, paused;
        for (Rig* r : {&through, &paused}) {
            r->e.setDelayTime(kLeft, 0.0);
            r->e.setDelayTime(kRight, 0.0);
            reverbOn(r->e, type, 1.0);
            r->settle();
            r->run(noise(5000, 1), noise(5000, 2));
            r->runLeft(silence(200));  // the burst's last samples out of the look-ahead
        }
        const Signal expected = through.runLeft(silence(6000)).left;
        paused.e.setReverbOn(false);
        const Signal held = paused.runLeft(silence(6000)).left;
        EXPECT_LT(peakIn(held, 0, 6000), 1e-12) << type;
        paused.e.setReverbOn(true);
        EXPECT_EQ(paused.runLeft(silence(6000)).left, expected) << type;
    }
}

// RvbMode "out" with Mix 0 sends the whole signal through the reverb and the ducking; "fx"
// gives the dry signal untouched by either.
TEST(ReverbInLoop, OutModeSendsTheDrySignalThroughReverbAndDucking) {
    const int n = 4000;
    const Signal key = constant(n, 1.0);
    Rig out, fx;
    for (Rig* r : {&out, &fx}) {
        reverbOn(r->e, 0, 1.0);
        r->e.setMixTarget(0.0);
        r->e.setDuckThreshold(0.1);
        r->settle();
    }
    out.e.setReverbMode(1);
    const Signal click = impulse(n, 0, 1.0);
    const Stereo heardFx = fx.run(click, click, 256, &key);
    const Stereo heardOut = out.run(click, click, 256, &key);
    EXPECT_NEAR(heardFx.left[0], 1.0, 1e-12);  // the dry click itself, not ducked
    EXPECT_LT(std::fabs(heardOut.left[0]), 1e-9);  // no direct sound: all of it is in the tank
    // The spring's first output needs the longest pair delay (2384 samples at 44.1 kHz).
    EXPECT_GT(peakIn(heardOut.left, 2380, 1000), 1e-4);

    // With RvbAmt 0 the "out" path is the dry signal, ducked by threshold / envelope.
    out.e.setReverbAmount(0.0);
    const Signal tone = constant(n, 0.5);
    const Stereo ducked = out.run(tone, tone, 256, &key);
    const double envelope = 1.0 - std::pow(1.0 - (1.0 - std::exp(-1000.0 / (kFs * 10.0))), 2 * n);
    EXPECT_NEAR(ducked.left.back(), 0.5 * 0.1 / envelope, 1e-6);
}

// ---------------------------------------------------------------- LFO song lock

TEST(SongLock, PhaseFollowsTheHostPositionEveryBlock) {
    engine::Engine e;
    e.setLfoMode(2);
    e.setLfoNote(0, 3);  // 1/4: one cycle per quarter note
    e.setLfoRate(2.0);   // 120 BPM
    e.suspend();
    float io[64] = {};
    const struct {
        double ppq, phase;
    } cases[] = {
        {0.0, 0.0}, {0.25, kTwoPi * 0.25}, {7.5, kTwoPi * 0.5}, {3.75, kTwoPi * 0.75 - kTwoPi}, {-0.25, kTwoPi * 0.75 - kTwoPi},
    };
    for (const auto& c : cases) {
        e.process(io, io, nullptr, nullptr, io, io, 0, engine::BlockTime{true, c.ppq});
        EXPECT_NEAR(e.lfoPhase(), c.phase, 1e-12) << c.ppq;
        // Within the block the phase runs on at the note rate.
        e.process(io, io, nullptr, nullptr, io, io, 64, engine::BlockTime{true, c.ppq});
        EXPECT_NEAR(std::remainder(e.lfoPhase() - c.phase - 64 * kTwoPi * 2.0 / kFs, kTwoPi), 0.0, 1e-9) << c.ppq;
    }
    // A half-note cycle (1/2) at position 1.5 quarters is three quarters through.
    e.setLfoNote(0, 1);
    e.process(io, io, nullptr, nullptr, io, io, 0, engine::BlockTime{true, 1.5});
    EXPECT_NEAR(e.lfoPhase(), kTwoPi * 0.75 - kTwoPi, 1e-12);
    // No position from the host: the LFO stands still at phase 0.
    e.process(io, io, nullptr, nullptr, io, io, 64, engine::BlockTime{});
    EXPECT_EQ(e.lfoPhase(), 0.0);
    // Free and plain note modes ignore the position.
    e.setLfoMode(1);
    e.process(io, io, nullptr, nullptr, io, io, 64, engine::BlockTime{true, 0.25});
    EXPECT_NEAR(e.lfoPhase(), 64 * kTwoPi * 2.0 / kFs, 1e-12);
}

}  // namespace

namespace {

// ---------------------------------------------------------------- properties with every stage

// Every stage on: filter in the loop, drive, modulated clock, reverb, gate, ducking.
void everything(engine::Engine& e, int reverbType) {
    e.setDelayTime(kLeft, 23.0);
    e.setDelayTime(kRight, 17.0);
    e.setFilterOn(true);
    e.setFilterMode(1);
    e.setCutoffTarget(3000.0);
    e.setResonanceTarget(0.6);
    e.setCutoffModTarget(0.5);
    e.setResoModTarget(0.3);
    e.setDriveTarget(4.0, true);
    e.setVcoOn(true);
    e.setVcoModTarget(0.4);
    e.setLfoRate(3.0);
    e.setLrOffsetTarget(0.7);
    reverbOn(e, reverbType, 0.5);
    e.setReverbMode(1);
    e.setFeedbackGainTarget(kLeft, 0.8);
    e.setFeedbackGainTarget(kRight, 0.7);
    e.setFeedbackPanTarget(kLeft, 0.6);
    e.setGateThresholdTarget(kLeft, 0.01);
    e.setDuckThreshold(0.3);
    e.setMixTarget(0.6);
}

TEST(EveryStage, ThirtyTwoBitPathAgreesWithSixtyFourBit) {
    for (int type : {0, 1}) {
        Rig a, b;
        everything(a.e, type);
        everything(b.e, type);
        a.settle();
        b.settle();
        Signal l = noise(20000, 1), r = noise(20000, 2), key = noise(20000, 3);
        for (Signal* s : {&l, &r, &key})
            for (double& v : *s) v = static_cast<float>(0.5 * v);
        const Stereo out64 = a.run<double>(l, r, 300, &key);
        const Stereo out32 = b.run<float>(l, r, 300, &key);
        double worst = 0.0, peak = 0.0;
        for (size_t i = 0; i < l.size(); ++i) {
            worst = std::max({worst, std::fabs(out64.left[i] - out32.left[i]), std::fabs(out64.right[i] - out32.right[i])});
            peak = std::max(peak, std::fabs(out64.left[i]));
        }
        EXPECT_LT(worst, 2e-6) << type;  // float rounding of the output, no more
        EXPECT_GT(peak, 0.1) << type;
    }
}

TEST(EveryStage, SuspendedEngineSoundsLikeAFreshOne) {
    for (int type : {0, 1}) {
        Rig fresh, used;
        everything(fresh.e, type);
        everything(used.e, type);
        fresh.settle();
        const Signal key = noise(9000, 5);
        used.run(noise(9000, 3), noise(9000, 4), 128, &key);
        used.settle();
        const Stereo a = fresh.run(noise(9000, 1), noise(9000, 2), 256, &key);
        const Stereo b = used.run(noise(9000, 1), noise(9000, 2), 256, &key);
        EXPECT_EQ(a.left, b.left) << type;
        EXPECT_EQ(a.right, b.right) << type;
    }
}

// After a loud burst through every stage, the tails hold zeros or normal numbers only and no
// operation underflows on the way (the reverb's input offset keeps the tank above the
// denormal range; every other recursion flushes).
TEST(EveryStage, TailsHaveNoDenormals) {
    for (int type : {0, 1}) {
        for (double fs : {44100.0, 96000.0}) {
            Rig rig(fs);
            everything(rig.e, type);
            rig.e.setEnvSpeed(0.0);
            rig.settle();
            rig.run(noise(4000, 1), noise(4000, 2));
            const int n = static_cast<int>(fs) * 6;
            std::feclearexcept(FE_ALL_EXCEPT);
            const Stereo out64 = rig.run<double>(silence(n), silence(n), 4096);
            const Stereo out32 = rig.run<float>(silence(n / 6), silence(n / 6), 4096);
            EXPECT_FALSE(std::fetestexcept(FE_UNDERFLOW)) << type << " " << fs;
            for (const Signal* s : {&out64.left, &out64.right, &out32.left, &out32.right})
                for (double v : *s) ASSERT_TRUE(v == 0.0 || std::fabs(v) >= FLT_MIN) << v;
        }
    }
}

// Values far outside what the parameter mapping produces: no table is read outside its
// ends, no phase runs away, the output stays finite (run it under the sanitizers).
TEST(EveryStage, ControlsFarOutOfRangeStayFinite) {
    const double wild[] = {-1e30, -3.0, 1.5, 7.0, 1e30};
    for (double v : wild) {
        Rig rig;
        engine::Engine& e = rig.e;
        everything(e, v > 0 ? 1 : 0);
        e.setLfoWave(static_cast<int>(v > 0 ? 4 : -1));
        e.setLfoRate(v);
        e.setLrOffsetTarget(v);
        e.setModSourceTarget(v);
        e.setModSensitivity(v);
        e.setEnvSpeed(v);
        e.setCutoffTarget(v);
        e.setResonanceTarget(v);
        e.setCutoffModTarget(v);
        e.setResoModTarget(v);
        e.setVcoManual(v);
        e.setVcoModTarget(v);
        e.setDriveTarget(std::fabs(v), true);
        e.setFilterType(static_cast<int>(v > 0 ? 5 : -2));
        e.setFilterMode(static_cast<int>(v > 0 ? 9 : -1));
        e.setReverbDamping(v);
        e.setReverbAmount(v);
        e.setLfoMode(2);
        e.setLfoNote(static_cast<int>(v > 0 ? 99 : -99), static_cast<int>(v > 0 ? 99 : -99));
        rig.settle();
        const Signal key = noise(3000, 3);
        const Stereo out = rig.run(noise(3000, 1), noise(3000, 2), 256, &key, engine::BlockTime{true, v});
        for (size_t i = 0; i < out.left.size(); ++i)
            ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i])) << v << " " << i;
        // And sound comes back once the controls are sane again.
        everything(e, 0);
        e.setDriveTarget(1.0, false);
        e.setReverbDamping(0.3);
        e.setLfoNote(0, 0);
        rig.settle();
        const Stereo later = rig.run(noise(3000, 1), noise(3000, 2), 256, &key);
        EXPECT_GT(peakIn(later.left, 0, 3000), 0.01) << v;
    }
}

}  // namespace
