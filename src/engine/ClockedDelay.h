// Clock mode: a delay line modelled on a bucket-brigade device driven by a voltage-
// controlled clock. The line moves one slot per clock tick instead of one per output
// sample; ticks fall between output samples, so the input is sampled at each tick with
// four-point Catmull-Rom interpolation and the slots read at the ticks are interpolated
// back onto the output grid. A clock below the sample rate stretches the delay and
// lowers the pitch; above it, the reverse.
//
// The buffer and its heads belong to the delay line (DelayLine.h); this stage only moves
// them, one slot per tick, exactly as the plain delay step moves them once per sample.
//
// How the processing loop drives it, per channel:
//   reset                     clock.reset()            histories 0, rate 1, phase 0
//   every sample (step 8)     clock.push(s, f)         VcoOn on or off: line input s (after drive
//                                                      and MuteIn gain) and feedback input f
//   VcoOn off (step 9)        clock.follow(y)          the plain step's output y
//   VcoOn on (step 9)         v = ClockedDelay::rateFor(tables, vcoManual, vcoModDepth, modulation.m[ch])
//                             y = clock.step(v, line.buffer.data(), line.length,
//                                            line.write, line.feedback, line.read)
//                             (instead of line.step(s, f))
#pragma once

#include <cmath>
#include <cstdint>

#include "EngineTables.h"
#include "ModulationMath.h"

namespace engine {

// Catmull-Rom spline through y[0..3] (oldest first), between y[1] (u = 0) and y[2] (u = 1).
// V is a double, or a vector of doubles that are interpolated side by side (each lane gets
// exactly the arithmetic a lone double would); U is a double, or a vector of one position
// per lane.
// (Vectors wider than SSE2's registers pass through memory, not by value.)
template <typename V, typename U>
inline void catmullRom(V& out, const V* y, const U& u, const U& u2, const U& u3) {
    out = 0.5 * (2.0 * y[1] + (y[2] - y[0]) * u + (2.0 * y[0] - 5.0 * y[1] + 4.0 * y[2] - y[3]) * u2 +
                 (3.0 * y[1] - 3.0 * y[2] + y[3] - y[0]) * u3);
}

template <typename V>
inline V catmullRom(const V* y, double u, double u2, double u3) {
    V out;
    catmullRom(out, y, u, u2, u3);
    return out;
}

inline double catmullRom(const double* y, double u) { return catmullRom(y, u, u * u, u * u * u); }

struct ClockedDelay {
    // Clock rate in ticks per output sample.
    static constexpr double kMinRate = 0.5;
    static constexpr double kMaxRate = 2.0;
    // Interpolating between the third- and second-newest values costs one sample on the
    // write side and two on the read side: at rate 1 the line sounds three samples late.
    static constexpr int kLatency = 3;

    // Clock rate for the manual setting (-1..1), the modulation depth (-1..1) and the
    // channel's modulation signal: the control w in 0..1 spans one octave each way.
    static double rateFor(const EngineTables& tables, double vcoManual, double vcoModDepth, double modulation) {
        return math::octaveFactor(tables, ((1.0 - std::fabs(vcoModDepth)) * vcoManual + vcoModDepth * modulation + 1.0) * 0.5);
    }

    // Line input and feedback input of one sample, interpolated together at each tick.
    using Pair = double __attribute__((vector_size(16)));

    // ---- state, histories oldest first
    Pair written[4] = {};                    // {line input, feedback input}
    double taken[4] = {0.0, 0.0, 0.0, 0.0};  // slots read at the ticks

    double input(int i) const { return written[i][0]; }
    double feedback(int i) const { return written[i][1]; }
    double rate = 1.0;   // v of the previous sample
    double phase = 0.0;  // p: progress toward the next tick

    void reset() {
        for (int i = 0; i < 4; ++i) {
            written[i] = Pair{0.0, 0.0};
            taken[i] = 0.0;
        }
        rate = 1.0;
        phase = 0.0;
    }

    void push(double lineInput, double feedbackInput) {
        written[0] = written[1];
        written[1] = written[2];
        written[2] = written[3];
        written[3] = Pair{lineInput, feedbackInput};
    }

    // While the clock is off the read history takes what the plain step reads, so that
    // switching the clock on goes on from the sound just heard rather than from the ticks
    // of the last time it ran (which would drop the output to stale values for two samples).
    void follow(double y) {
        taken[0] = taken[1];
        taken[1] = taken[2];
        taken[2] = taken[3];
        taken[3] = y;
    }

    // Ticks in one output sample: two at most while the rate is at most 2, and a third when
    // the pending tick's time rounds to nothing (the phase within an ulp of 1) at rate 2.
    static constexpr int kMaxTicks = 3;

    // What one output sample does at a clock rate: how many ticks fall in it,
    // where each falls between the previous output sample (0) and this one (1), and where
    // the output is read between the two middle slots taken (p).
    struct Ticks {
        int count;
        double t[kMaxTicks];
        double p;
    };

    // The ticks of one output sample at clock rate v; the phase and rate move on.
    Ticks plan(double v) {
        Ticks ticks{0, {0.0, 0.0, 0.0}, 0.0};
        int32_t owner[kMaxTicks], upTo = 0;
        planSample(Run{&v, ticks.t, owner, &upTo, &ticks.p}, 0, phase, rate, ticks.count);
        return ticks;
    }

    // Where a run of samples' plans go: for the rates v[0..n), the places of their ticks
    // to t in order, each tick's sample to owner, the count of ticks through sample i to
    // upTo[i], where sample i's output is read to p[i].
    struct Run {
        const double* v;
        double* t;
        int32_t* owner;
        int32_t* upTo;
        double* p;
    };

    // plan() for n samples; returns the count of ticks.
    int32_t planRun(const double* v, int32_t n, double* t, int32_t* owner, int32_t* upTo, double* p) {
        const Run run{v, t, owner, upTo, p};
        double ph = phase, r = rate;
        int32_t k = 0;
        for (int32_t i = 0; i < n; ++i) planSample(run, i, ph, r, k);
        phase = ph;
        rate = r;
        return k;
    }

    // planRun() for two lines at once. Each sample waits on the one before through a
    // division; with both lines' samples in one loop the two waits overlap.
    static void planRuns(ClockedDelay& a, const Run& runA, ClockedDelay& b, const Run& runB, int32_t n) {
        double phA = a.phase, rA = a.rate, phB = b.phase, rB = b.rate;
        int32_t kA = 0, kB = 0;
        for (int32_t i = 0; i < n; ++i) {
            planSample(runA, i, phA, rA, kA);
            planSample(runB, i, phB, rB, kB);
        }
        a.phase = phA;
        a.rate = rA;
        b.phase = phB;
        b.rate = rB;
    }

    // Sample i of a run: its ticks from the phase ph and rate r of the sample before.
    static void planSample(const Run& run, int32_t i, double& ph, double& r, int32_t& k) {
        double vi = run.v[i];
        vi = vi >= kMinRate ? vi : kMinRate;  // also NaN
        vi = vi > kMaxRate ? kMaxRate : vi;   // (as selects: a min and a max, no branches)
        // A new rate keeps the time to the pending tick: (1 - p) / v_old samples.
        const double p0 = 1.0 - (1.0 - ph) * vi / r;
        double q = p0 + vi;
        double u = 1.0 - p0;
        for (int count = 0; q >= 1.0 && count < kMaxTicks; ++count) {
            q -= 1.0;
            run.owner[k] = i;
            run.t[k++] = u / vi;
            u += 1.0;
        }
        run.upTo[i] = k;
        run.p[i] = q;
        ph = q;
        r = vi;
    }

    // One tick at t: the histories interpolated into the line at the write and feedback
    // heads, the slot at the read head taken, the heads moved on.
    void tick(double t, double* slots, int32_t length, int32_t& write, int32_t& feedbackHead, int32_t& readHead) {
        const Pair w = catmullRom(written, t, t * t, t * t * t);
        slots[write] = w[0];
        slots[feedbackHead] += w[1];
        taken[0] = taken[1];
        taken[1] = taken[2];
        taken[2] = taken[3];
        taken[3] = slots[readHead];
        if (++readHead == length) readHead = 0;
        if (++feedbackHead == length) feedbackHead = 0;
        if (++write == length) write = 0;
    }

    // The output between the slots taken, at p.
    double output(double p) const { return catmullRom(taken, p); }

    // One output sample at clock rate v: its ticks, then the output.
    double step(double v, double* slots, int32_t length, int32_t& write, int32_t& feedbackHead, int32_t& readHead) {
        const Ticks ticks = plan(v);
        for (int k = 0; k < ticks.count; ++k) tick(ticks.t[k], slots, length, write, feedbackHead, readHead);
        return output(ticks.p);
    }
};

}  // namespace engine
