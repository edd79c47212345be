// The engine's processing loop. A block runs in chunks of up to kChunk frames, and each chunk
// as a sequence of passes over all of its samples, in the order of the signal path:
//
//   input            the host's samples as doubles, input gain; the key's magnitude
//   smoothing        the controls still gliding, one value per sample
//   meter            the input meter's rings and held range
//   input side       filter coefficients and the filter at the input, the anti-alias filter,
//                    drive window and envelope followers, drive, modulation (LFO, blend,
//                    cutoff factor); all that depends only on the input, in one loop. What in
//                    it does not wait on a recursion is formed around the loop, side by side
//                    in time: the anti-alias filter's input terms and a memoryless LFO shape
//                    before it, the blend and the cutoff factors after it (unless the filter
//                    at the input reads them in the loop)
//   line inputs      the mutes
//   clock            the clocked lines' ticks for the chunk: how many fall in each sample, where
//                    (before the input side when the rate holds)
//   feedback loop    delay lines, fades, the filter in the loop, feedback network
//   gate envelopes   on the faded line outputs (in the input side when they were read ahead)
//   listening filter the filter on what is heard only
//   look-ahead       what is heard leaves 1 ms after the gate saw it
//   wet              gate, polarity, pan, mix
//   reverb, ducking, output and bypass, and the write into the host's buffers.
//
// A pass may follow another where the plain chain interleaves them sample by sample because
// nothing flows back: the input side never hears the delay lines, and nothing after the
// feedback signals is fed back. The one loop that cannot be cut is the feedback loop (a line's
// output becomes its input a sample later), but while the read heads are further behind than
// a run of samples, the run's outputs are all in the buffers before it starts: the loop then
// reads the whole run, forms its feedback, and writes the whole run (block-wise), and only
// while a fade is running or a line is shorter than that does it go sample by sample. When the
// whole chunk is such a run and the clock's ticks do not follow the modulation, the chunk's
// line outputs are read (and a steady clock's ticks planned) before the input side, so that the
// gate envelopes can follow them in the input side's loop.
// Recursions that do not depend on each other share a loop (the anti-alias filter, the
// envelopes, the drive window, the LFO, the gate envelopes), because each run alone would wait
// on its own chain; short ones of the same form share a register (the followers with the gate
// envelopes, the drive's two channels).
//
// Each compile (SSE2, AVX2) is one piece of code per pass: the chunk is inlined into the
// block, and the input side, the clock, the feedback loop, the listening filter and the
// reverb are each a function of their own that everything they call is inlined into. Inlined
// into one function they shared its register allocation, which kept the recursions' states
// on the stack, every sample waiting for them to come back from memory.
//
// Stages whose output nobody reads in a chunk are not run, but their state moves on exactly
// as if they had been: the LFO phase while neither the clock nor the filter reads the
// modulation (its outputs and previous phases are those of the last sample), the drive
// window while the drive is off (only its last N values stay), the ducker while the key is
// silent and its envelope at rest, the gate's gains while no threshold can close it. A
// clocked line at rate 1 with its phase at 0 has one tick per sample at t = 1 and reads
// its output at p = 0: the tick positions are not computed per sample then.
//
// The samples are exactly those of running every stage once per sample in the order of the
// signal path (the tests hold both compiles, SSE2 and AVX2, against such a loop). Some values
// are read once per block that a plain loop would read per sample: the switches and
// selectors (filter, clock, reverb, bypass, wave, placements), the polarity signs, the duck
// threshold, ModSens, the EnvSpeed coefficients, VcoMan, RvbAmt, and which smoothed controls
// glide. Others are read once per chunk: the targets of the gliding controls, the reverb's
// damping coefficients, the time-changed flags (a flag raised during a chunk starts its fade
// with the next one), and the meter's held range (read before a chunk, written after it when
// it widened). A change made from another thread during a block is therefore heard a few
// milliseconds later; changes made between blocks (the host's automation, programs) are heard
// exactly where they are made.
#include "Engine.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

namespace engine {

namespace {

// Keeps the reverb's recursions out of the denormal range when the wet signal is silent.
constexpr double kWetOffset = 1e-15;
// The reverb mode that sends the dry signal through the wet path ("out").
constexpr int kReverbModeOut = 1;
// Filter modes.
constexpr int kFilterAtInput = 0;
constexpr int kFilterInFeedback = 1;
// The LFO mode that locks the phase to the song position.
constexpr int kLfoModeSongLocked = 2;
// The three newest clock history values that precede a chunk's line and feedback inputs.
constexpr int kHistory = 3;
// Below this many samples of room behind a read head the feedback loop goes sample by sample.
constexpr int32_t kShortestRun = 16;
// What a stage reads in place of a signal it has no use for in a chunk.
alignas(64) constexpr double kSilence[256] = {};

// Filter placements as the loop knows them.
enum Placement : int { kNoFilter, kFilterIn, kFilterFeedback, kFilterListen };
enum ReverbRun : int { kReverbOff, kReverbSpring, kReverbPlate };
// What the input side computes of the filter: nothing, the coefficients for a filter further
// on, or the coefficients and the filter itself.
enum InputFilter : int { kNoInputFilter, kCoefficientsOnly, kFilterAtInputSide };

int clampIndex(int position, int count) { return position < 0 ? 0 : (position >= count ? count - 1 : position); }

inline bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A sample a host passes that is not a number (or is infinite) would stay in the delay
// lines and envelopes for good; it counts as silence. (Written as a compare, which vectorises.)
inline double finiteOrZero(double v) { return std::fabs(v) <= DBL_MAX ? v : 0.0; }

// What reaches the host: a sample outside the normal numbers of the host's type is written
// as 0. Below them lie the denormals, which hosts and the plug-ins after us would crawl
// through (a gain resting just above 0 narrows to them in a 32-bit host); above them, the
// infinities. The size is judged before narrowing, so that no denormal float is ever formed.
template <typename T>
inline T toHost(double v) {
    const double m = std::fabs(v);
    const bool normal = m >= static_cast<double>(std::numeric_limits<T>::min()) &&
                        m <= static_cast<double>(std::numeric_limits<T>::max());
    return normal ? static_cast<T>(v) : T(0);
}

// The same for a sum formed in the host's type (two normal floats can add up to a denormal).
template <typename T>
inline T normalOrZero(T v) {
    const T m = std::fabs(v);
    return m >= std::numeric_limits<T>::min() && m <= std::numeric_limits<T>::max() ? v : T(0);
}

// Into the host's buffers from `at`. A single buffer named for both sides receives the sum;
// a 32-bit output is narrowed side by side and summed in float. A zero goes out as +0.
template <typename T>
void writeFrames(const double* left, const double* right, int32_t at, int32_t n, T* outL, T* outR) {
    if (outL && outL == outR) {
        for (int32_t i = 0; i < n; ++i) outL[at + i] = normalOrZero(toHost<T>(left[i]) + toHost<T>(right[i]));
        return;
    }
    if (outL)
        for (int32_t i = 0; i < n; ++i) outL[at + i] = toHost<T>(left[i]);
    if (outR)
        for (int32_t i = 0; i < n; ++i) outR[at + i] = toHost<T>(right[i]);
}

// n slots of a circular buffer from `at` into `to`, and back.
inline void readRing(const double* slots, int32_t length, int32_t at, double* to, int32_t n) {
    const int32_t first = std::min(n, length - at);
    std::memcpy(to, slots + at, sizeof(double) * static_cast<std::size_t>(first));
    if (n > first) std::memcpy(to + first, slots, sizeof(double) * static_cast<std::size_t>(n - first));
}

inline int32_t advanced(int32_t at, int32_t n, int32_t length) {
    at += n;
    return at >= length ? at - length : at;
}

// Four doubles worked on side by side (two SSE2 registers or one AVX2 register).
typedef double Lanes4 __attribute__((vector_size(32)));
typedef long long Bits4 __attribute__((vector_size(32)));  // a Lanes4's bits, or a compare's lanes
typedef double Pair __attribute__((vector_size(16)));

// |v| in every lane: the sign bits cleared, as std::fabs() does. (In place: a 32-byte
// vector passed by value would take a different calling convention in the SSE2 compile.)
inline void takeMagnitudes(Lanes4& v) {
    constexpr long long kAllButSign = 0x7fffffffffffffffLL;
    v = reinterpret_cast<Lanes4>(reinterpret_cast<Bits4>(v) & kAllButSign);
}

// |finiteOrZero(v)| in every lane.
inline void takeFiniteMagnitudes(Lanes4& v) {
    takeMagnitudes(v);
    v = reinterpret_cast<Lanes4>(reinterpret_cast<Bits4>(v) & (v <= DBL_MAX));
}

// Four of the host's samples as doubles.
template <typename T>
inline void loadAsDoubles(const T* from, Lanes4& v) {
    if constexpr (std::is_same_v<T, float>) {
        typedef float Narrow __attribute__((vector_size(16)));
        Narrow narrow;
        std::memcpy(&narrow, from, sizeof narrow);
        v = __builtin_convertvector(narrow, Lanes4);
    } else {
        std::memcpy(&v, from, sizeof v);
    }
}

// toHost() on four samples side by side, stored at `to`: the sizes judged on the doubles, and
// what is not normal replaced by +0 before narrowing, as toHost() has it. (The choices as
// masks, which SSE2 has no blend for.)
template <typename T>
inline void storeToHost(const Lanes4& x, T* to) {
    Lanes4 m = x;
    takeMagnitudes(m);
    const Bits4 normal = (m >= static_cast<double>(std::numeric_limits<T>::min())) &
                         (m <= static_cast<double>(std::numeric_limits<T>::max()));
    const Lanes4 kept = reinterpret_cast<Lanes4>(reinterpret_cast<Bits4>(x) & normal);
    if constexpr (std::is_same_v<T, float>) {
        typedef float Narrow __attribute__((vector_size(16)));
        const Narrow narrow = __builtin_convertvector(kept, Narrow);
        std::memcpy(to, &narrow, sizeof narrow);
    } else {
        std::memcpy(to, &kept, sizeof kept);
    }
}

// math::wrapPhase() on two sets of four lanes, each with its arithmetic. False, with
// nothing changed, when some lane would need its slow path (further out than a turn, or not
// a number).
inline bool wrapPhases(Lanes4& x, Lanes4& y) {
    typedef Bits4 Mask4;
    auto wrap = [](const Lanes4& v, Lanes4& wrapped, Mask4& fine) {
        Lanes4 magnitude = v;
        takeMagnitudes(magnitude);
        const Mask4 inside = magnitude <= math::kPi;
        const Lanes4 once = v < -math::kPi ? v + math::kTwoPi : v - math::kTwoPi;
        Lanes4 onceMagnitude = once;
        takeMagnitudes(onceMagnitude);
        wrapped = inside ? v : once;
        fine = inside | (onceMagnitude <= math::kPi);
    };
    Lanes4 wx, wy;
    Mask4 fineX, fineY;
    wrap(x, wx, fineX);
    wrap(y, wy, fineY);
    const Mask4 fine = fineX & fineY;
    if (!(fine[0] & fine[1] & fine[2] & fine[3])) return false;
    x = wx;
    y = wy;
    return true;
}

// Lfo::memorylessShape() on four channel phases that wrapPhases() left within a half turn.
inline void memorylessShapes(const EngineTables& tables, int wave, const Lanes4& psi, double* out) {
    typedef int Index4 __attribute__((vector_size(16)));  // 32-bit lanes: one conversion instruction
    if (wave == Lfo::kTriangle) {
        const Lanes4 v = psi / Lfo::kTriangleCorner;
        Lanes4 y = psi > Lfo::kTriangleCorner ? 2.0 - v : v;
        y = psi < -Lfo::kTriangleCorner ? -v - 2.0 : y;
        std::memcpy(out, &y, sizeof y);
        return;
    }
    Index4 k = __builtin_convertvector((psi + math::kPi) * EngineTables::kSineScale, Index4);
    k = k < EngineTables::kSineSize - 1 ? k : EngineTables::kSineSize - 1;
    const double* sine = tables.sine.data();
    for (int j = 0; j < 4; ++j) out[j] = sine[k[j]];
}

// Four windows of four doubles each (from[j][0..3]) turned into four vectors: window[m]
// holds the m-th value of every window, lane j that of from[j].
inline void windows(const double* const from[4], Lanes4 window[4]) {
    typedef long long Select4 __attribute__((vector_size(32)));
    Lanes4 r0, r1, r2, r3;
    std::memcpy(&r0, from[0], sizeof r0);
    std::memcpy(&r1, from[1], sizeof r1);
    std::memcpy(&r2, from[2], sizeof r2);
    std::memcpy(&r3, from[3], sizeof r3);
    const Lanes4 even01 = __builtin_shuffle(r0, r1, Select4{0, 4, 2, 6});
    const Lanes4 odd01 = __builtin_shuffle(r0, r1, Select4{1, 5, 3, 7});
    const Lanes4 even23 = __builtin_shuffle(r2, r3, Select4{0, 4, 2, 6});
    const Lanes4 odd23 = __builtin_shuffle(r2, r3, Select4{1, 5, 3, 7});
    window[0] = __builtin_shuffle(even01, even23, Select4{0, 1, 4, 5});
    window[1] = __builtin_shuffle(odd01, odd23, Select4{0, 1, 4, 5});
    window[2] = __builtin_shuffle(even01, even23, Select4{2, 3, 6, 7});
    window[3] = __builtin_shuffle(odd01, odd23, Select4{2, 3, 6, 7});
}

// The clocked line's ticks for a chunk, on one side.
struct ClockPlan {
    static constexpr int kTicks = ClockedDelay::kMaxTicks * 256;
    // One tick per sample at t = 1 and the output at p = 0: the rate is 1 and the phase 0.
    bool unit;
    int32_t upTo[256];  // ticks from the chunk's start through each sample
    double p[256];      // where each sample's output is read
    double t[kTicks];   // every tick's position, in order
    int32_t owner[kTicks];  // every tick's sample
    // The slots taken: the line's four before the chunk in front, then one per tick.
    double taken[4 + kTicks];
};

}  // namespace

struct Engine::BlockSettings {
    double dryToOutput, dryToReverb;
    double fbSign[2], dlySign[2];
    double duckThreshold;
    double gateRelease, duckRelease;
    double modSensGain, envCoefficient, vcoManual, reverbAmount;
    // A clock rate that holds for the block (VcoMod depth resting at 0), else 0.
    double steadyClockRate;
    int placement, reverb, filterType, lfoWave;
    bool clockOn, driveOn, bypass;
};

// The smoothed controls of a block: their current values, which of them still move (a
// control whose glide step leaves it unchanged rests for the whole block), and while any
// does, every control's value per sample of the chunk.
struct Engine::Controls {
    double now[kSmoothedCount];
    int moving[kSmoothedCount];
    int movingCount = 0;
    alignas(64) double perSample[kSmoothedCount][kChunk];

    bool gliding() const { return movingCount > 0; }
    ControlRun run(int k) const {
        return gliding() ? ControlRun::gliding(perSample[k]) : ControlRun::resting(now[k]);
    }
};

// One chunk in double precision, between the passes.
struct Engine::Chunk {
    static_assert(kChunk == 256, "the clock plan is sized for 256 samples");
    static_assert(sizeof kSilence == sizeof(double) * kChunk, "silence for a whole chunk");
    alignas(64) double rawL[kChunk], rawR[kChunk];  // the host's main input as given (bypass)
    alignas(64) double xL[kChunk], xR[kChunk];      // the dry signal
    alignas(64) double key[kChunk];                 // the louder key channel's magnitude
    // Line inputs and feedback inputs, the clock histories' three values before the chunk in front.
    alignas(64) double lineL[kHistory + kChunk], lineR[kHistory + kChunk];
    alignas(64) double feedL[kHistory + kChunk], feedR[kHistory + kChunk];
    // Feedback signals, the one before the chunk in front.
    alignas(64) double fbL[1 + kChunk], fbR[1 + kChunk];
    // Line outputs after the fades, and filtered: what is heard. Each has room in front, where
    // the look-ahead lays what it held, so that the heard run leaves a ring length late
    // without being moved. A clocked line at rate 1 reads its slots straight into its outputs,
    // two samples ahead of them: two slots past the run (kPastRun, which keeps rows aligned).
    static constexpr int32_t kAheadRoom = LookAhead::kMaxLength, kPastRun = 8;
    static_assert(kAheadRoom % 8 == 0, "the runs after the room stay aligned");
    alignas(64) double heard[4][kAheadRoom + kChunk + kPastRun];
    double* const yL = heard[0] + kAheadRoom;
    double* const yR = heard[1] + kAheadRoom;
    double* const zL = heard[2] + kAheadRoom;
    double* const zR = heard[3] + kAheadRoom;
    alignas(64) double heldL[kChunk], heldR[kChunk];  // before the fades (sample by sample, clock off)
    alignas(64) double gateL[kChunk], gateR[kChunk];  // gate envelopes
    alignas(64) double mL[kChunk], mR[kChunk];        // modulation signals, for the clock rates
    alignas(64) double svfF[kChunk], svfD[kChunk];    // filter coefficients f and damping
    alignas(64) double wetL[kChunk], wetR[kChunk];    // wet pair, then the output pair
    alignas(64) double duck[kChunk];
    alignas(64) double aaL[kChunk], aaR[kChunk];      // the anti-alias filter's input terms
    alignas(64) double lfoL[kChunk], lfoR[kChunk];    // the LFO's outputs, when formed ahead
    alignas(64) double envL[kChunk], envR[kChunk];    // the envelope followers, for the blend after
    ClockPlan plan[2];
    Controls controls;
};

void Engine::ChunkDeleter::operator()(Chunk* chunk) const { delete chunk; }

Engine::ChunkPtr Engine::newChunk() { return ChunkPtr(new Chunk()); }

// ------------------------------------------------------------------ the chain

// The passes, as functions of the engine they run on. Each keeps the state it moves in
// locals for its run (out of reach of the stores into buffers) and writes it back after.
struct Engine::Chain {
    // ---- input

    // The host's samples as doubles, non-finite ones as silence, times the input gain; as
    // given when bypassed. All of a chunk is read before any of it is written (in place).
    template <bool Gliding, typename T>
    static void input(const T* from, int32_t n, ControlRun gain, double* x, double* raw) {
        if (!from) {
            for (int32_t i = 0; i < n; ++i) x[i] = gain.at<Gliding>(i) * 0.0;
            if (raw) std::fill(raw, raw + n, 0.0);
            return;
        }
        if (raw)
            for (int32_t i = 0; i < n; ++i) raw[i] = static_cast<double>(from[i]);
        for (int32_t i = 0; i < n; ++i) x[i] = gain.at<Gliding>(i) * finiteOrZero(static_cast<double>(from[i]));
    }

    // The louder key channel's magnitude; false when the key is silent throughout. In the
    // AVX2 compile four samples side by side, each lane with the arithmetic of the one at a
    // time after them (SSE2 would hold the 32-byte vectors in memory).
    template <bool Vector, typename T>
    static bool key(const T* keyL, const T* keyR, int32_t n, double* key) {
        if (!keyL && !keyR) return false;
        auto magnitude = [](T v) { return std::fabs(finiteOrZero(static_cast<double>(v))); };
        const Lanes4 silence = {0.0, 0.0, 0.0, 0.0};
        Bits4 heard4 = {0, 0, 0, 0};
        int heard = 0;
        int32_t i = 0;
        if (keyL && keyR) {
            for (; Vector && i + 4 <= n; i += 4) {
                Lanes4 l, r;
                loadAsDoubles(keyL + i, l);
                loadAsDoubles(keyR + i, r);
                takeFiniteMagnitudes(l);
                takeFiniteMagnitudes(r);
                const Lanes4 k = l < r ? r : l;  // std::max
                std::memcpy(key + i, &k, sizeof k);
                heard4 |= k != silence;
            }
            for (; i < n; ++i) {
                key[i] = std::max(magnitude(keyL[i]), magnitude(keyR[i]));
                heard |= key[i] != 0.0;
            }
        } else {
            // One channel: its magnitude is the larger of it and the silent one's 0.
            const T* one = keyL ? keyL : keyR;
            for (; Vector && i + 4 <= n; i += 4) {
                Lanes4 k;
                loadAsDoubles(one + i, k);
                takeFiniteMagnitudes(k);
                std::memcpy(key + i, &k, sizeof k);
                heard4 |= k != silence;
            }
            for (; i < n; ++i) {
                key[i] = magnitude(one[i]);
                heard |= key[i] != 0.0;
            }
        }
        return heard != 0 || (heard4[0] | heard4[1] | heard4[2] | heard4[3]) != 0;
    }

    // ---- smoothing

    // Every gliding control one step per sample, side by side; the resting ones once for all.
    static void smoothing(Engine& e, Controls& c, int32_t n) {
        if (!c.gliding()) return;
        const double step = e.smoothingStep_;
        double target[kSmoothedCount], now[kSmoothedCount];
        const int count = c.movingCount;
        for (int j = 0; j < count; ++j) {
            target[j] = e.controls_.target[c.moving[j]].load();
            now[j] = c.now[c.moving[j]];
        }
        for (int32_t i = 0; i < n; ++i)
            for (int j = 0; j < count; ++j) {
                now[j] = glide(now[j], target[j], step);
                c.perSample[c.moving[j]][i] = now[j];
            }
        for (int j = 0; j < count; ++j) c.now[c.moving[j]] = now[j];
        bool moves[kSmoothedCount] = {};
        for (int j = 0; j < count; ++j) moves[c.moving[j]] = true;
        for (int k = 0; k < kSmoothedCount; ++k)
            if (!moves[k]) std::fill(c.perSample[k], c.perSample[k] + n, c.now[k]);
    }

    // ---- input side

    // StateVariableFilter::computeCoefficients() for the chunk's samples from the cutoff
    // factors and right modulation signals each one takes, four at a time: each lane gets the
    // same arithmetic (the limits as selects) and its own reads of the tables. The last
    // sample goes through the filter itself, which keeps its coefficients.
    template <bool Gliding>
    static void coefficients(const EngineTables& tables, StateVariableFilter& svf, Chunk& io, const Controls& c,
                             const double* factors, const double* rights, int32_t n) {
        typedef int Index4 __attribute__((vector_size(16)));  // 32-bit lanes: one conversion instruction
        const ControlRun cutoff = c.run(kCutoff), resonance = c.run(kResonance), resoMod = c.run(kResoMod);
        const double* frequency = tables.svfFrequency.data();
        const double* dampingTable = tables.svfDamping.data();
        const double ceiling = svf.cutoffCeiling, twoOverFs = svf.twoOverFs;
        const Lanes4 zero = {0.0, 0.0, 0.0, 0.0}, two = {2.0, 2.0, 2.0, 2.0}, one = {1.0, 1.0, 1.0, 1.0};
        const Lanes4 ceilings = {ceiling, ceiling, ceiling, ceiling};
        constexpr double kMin = StateVariableFilter::kMinResonance;
        const Lanes4 least = {kMin, kMin, kMin, kMin};
        int32_t i = 0;
        for (; i + 4 < n; i += 4) {
            Lanes4 fc, reso, depth, factor, right;
            if constexpr (Gliding) {
                std::memcpy(&fc, cutoff.values + i, sizeof fc);
                std::memcpy(&reso, resonance.values + i, sizeof reso);
                std::memcpy(&depth, resoMod.values + i, sizeof depth);
            } else {
                fc = Lanes4{} + cutoff.value;
                reso = Lanes4{} + resonance.value;
                depth = Lanes4{} + resoMod.value;
            }
            std::memcpy(&factor, factors + i, sizeof factor);
            std::memcpy(&right, rights + i, sizeof right);

            fc = fc * factor;
            fc = fc > ceiling ? ceilings : fc;
            Lanes4 z = fc * twoOverFs * 8191.0;
            z = z > 0.0 ? z : zero;  // also not-a-number
            const Index4 k = __builtin_convertvector(z, Index4);
            const Lanes4 r = z - __builtin_convertvector(k, Lanes4);

            Lanes4 qc = depth * right + reso;
            qc = qc > kMin ? qc : least;  // also not-a-number
            qc = qc > 1.0 ? one : qc;
            const Index4 q = __builtin_convertvector(qc * 4095.0, Index4);

            alignas(32) double read[3][4];
            for (int j = 0; j < 4; ++j) {
                read[0][j] = frequency[k[j]];
                read[1][j] = frequency[k[j] + 1];
                read[2][j] = dampingTable[q[j]];
            }
            Lanes4 below, above, damping;
            std::memcpy(&below, read[0], sizeof below);
            std::memcpy(&above, read[1], sizeof above);
            std::memcpy(&damping, read[2], sizeof damping);
            const Lanes4 f = below * (1.0 - r) + above * r;
            Lanes4 limit = 2.0 / f - 0.5 * f;
            limit = limit > 2.0 ? two : limit;
            damping = damping > limit ? limit : damping;
            std::memcpy(io.svfF + i, &f, sizeof f);
            std::memcpy(io.svfD + i, &damping, sizeof damping);
        }
        for (; i < n; ++i) {
            svf.computeCoefficients(tables, cutoff[i], factors[i], resonance[i], resoMod[i], rights[i]);
            io.svfF[i] = svf.f;
            io.svfD[i] = svf.damping;
        }
    }

    // The LFO's outputs for a chunk, for a shape without memory: the phases first (an add and
    // a wrap per sample, the one recursion), then the channel phases and the shapes four
    // samples at a time. Each value is the one step() gives, and the LFO is left as n steps
    // leave it.
    template <bool Gliding>
    static void lfoRun(const EngineTables& tables, Lfo& lfo, int wave, const ControlRun& offset, double* outL,
                       double* outR, int32_t n) {
        if (n <= 0) return;
        alignas(32) double phase[kChunk];
        for (int32_t i = 0; i < n; ++i) {
            phase[i] = lfo.phase;
            lfo.advance();
        }
        double psiL = 0.0, psiR = 0.0;
        int32_t i = 0;
        for (; i + 4 <= n; i += 4) {
            Lanes4 ph, off;
            std::memcpy(&ph, phase + i, sizeof ph);
            if constexpr (Gliding) std::memcpy(&off, offset.values + i, sizeof off);
            else off = Lanes4{} + offset.value;
            Lanes4 left = ph - off, right = ph + off;
            if (!wrapPhases(left, right)) break;  // the rest one by one
            memorylessShapes(tables, wave, left, outL + i);
            memorylessShapes(tables, wave, right, outR + i);
            psiL = left[3];
            psiR = right[3];
        }
        for (; i < n; ++i) {
            const double o = offset.at<Gliding>(i);
            psiL = math::wrapPhase(phase[i] - o);
            psiR = math::wrapPhase(phase[i] + o);
            outL[i] = Lfo::memorylessShape(tables, wave, psiL);
            outR[i] = Lfo::memorylessShape(tables, wave, psiR);
        }
        lfo.prevPhase[0] = psiL;
        lfo.prevPhase[1] = psiR;
        lfo.out[0] = outL[n - 1];
        lfo.out[1] = outR[n - 1];
    }

    // The modulation of a chunk after the input side's loop, from the LFO's outputs and the
    // envelopes it kept: the blend (EnvelopeFollower.h's mix()) and, with Cutoff, the cutoff
    // factors (followCutoff()), all side by side in time, each value with its arithmetic.
    // The filter coefficients take each sample's factor and right signal from the sample
    // before: those go to factors and rights.
    template <bool Gliding, bool Cutoff>
    static void modulationAfter(const EngineTables& tables, Chunk& io, ModulationSignals& modulation,
                                const Controls& c, double* factors, double* rights, int32_t n) {
        if (n <= 0) return;
        const ControlRun modSource = c.run(kModSource), cutoffMod = c.run(kCutoffMod);
        for (int32_t i = 0; i < n; ++i) {
            const double blend = modSource.at<Gliding>(i);
            io.mL[i] = (1.0 - blend) * io.lfoL[i] + blend * (2.0 * io.envL[i] - 1.0);
            io.mR[i] = (1.0 - blend) * io.lfoR[i] + blend * (2.0 * io.envR[i] - 1.0);
        }
        if constexpr (Cutoff) {
            alignas(32) double w[kChunk], v[kChunk];
            for (int32_t i = 0; i < n; ++i) w[i] = (cutoffMod.at<Gliding>(i) * io.mL[i] + 1.0) * 0.5;
            math::octaveFactors(tables, w, v, n);
            for (int32_t i = 0; i < n; ++i) v[i] = v[i] * v[i] * v[i];
            factors[0] = modulation.cutoffFactor;
            rights[0] = modulation.m[kRight];
            for (int32_t i = 1; i < n; ++i) {
                factors[i] = v[i - 1];
                rights[i] = io.mR[i - 1];
            }
            modulation.cutoffFactor = v[n - 1];
        }
        modulation.m[kLeft] = io.mL[n - 1];
        modulation.m[kRight] = io.mR[n - 1];
    }

    // Filter coefficients and the filter at the input, the anti-alias filter, drive window and
    // envelope followers, drive, and (when something reads it) the modulation: every
    // recursion that depends on the input only, in one loop. The line inputs before the
    // mutes go to io.line; the modulation signals to io.m when the clock reads them.
    template <bool Wide, int Filter, bool AntiAlias, bool Modulation, bool DriveOn, bool Gliding>
    static void inputSide(Engine& e, Chunk& io, int32_t n, const BlockSettings& s, bool keepModulation, bool gates,
                          double& primeL, double& primeR) {
        const Controls& c = io.controls;
        // A control's value at sample i: resting, the one value, in a register.
        auto at = [](const ControlRun& control, int32_t i) { return control.at<Gliding>(i); };
        const ControlRun cutoff = c.run(kCutoff), resonance = c.run(kResonance), resoMod = c.run(kResoMod),
                         cutoffMod = c.run(kCutoffMod), driveGain = c.run(kDriveGain), lrOffset = c.run(kLrOffset),
                         modSource = c.run(kModSource);
        const EngineTables& tables = e.tables_;
        StateVariableFilter svf = e.svf_;
        // Copied into locals only where they run; otherwise left where they are.
        std::conditional_t<AntiAlias, AntiAliasFilter, AntiAliasFilter&> antiAlias = e.antiAlias_;
        std::conditional_t<DriveOn, engine::Drive, engine::Drive&> drive = e.drive_;
        EnvelopeFollower followers = e.followers_;
        Lfo lfo = e.lfo_;
        ModulationSignals modulation = e.modulation_;
        double* const lineL = io.lineL + kHistory;
        double* const lineR = io.lineR + kHistory;
        double dL = 0.0, dR = 0.0;
        // The envelope followers and the gate envelopes side by side, one lane each (a lane
        // gets the arithmetic of EnvelopeFollower::step() or followGatePair()): with four-lane
        // registers (Wide), four short recursions in one register instead of two pairs.
        // Without `gates` the gate lanes follow silence, and nobody keeps what they give.
        Lanes4 levels = {followers.env[0], followers.env[1], e.gate_[kLeft].envelope, e.gate_[kRight].envelope};
        const Lanes4 levelScale = {s.modSensGain, s.modSensGain, 1.0, 1.0};
        const Lanes4 falling = {s.envCoefficient, s.envCoefficient, s.gateRelease, s.gateRelease};
        const Lanes4 rising = {s.envCoefficient, s.envCoefficient, e.gateAttack_, e.gateAttack_};
        GatePair gate = {e.gate_[kLeft].envelope, e.gate_[kRight].envelope};
        const GatePair gateAttack = {e.gateAttack_, e.gateAttack_}, gateRelease = {s.gateRelease, s.gateRelease};
        const double* const heardL = gates ? io.yL : kSilence;
        const double* const heardR = gates ? io.yR : kSilence;
        // The anti-alias filter's input terms depend on the input alone: formed for the whole
        // chunk first, side by side in time, so that the loop keeps only its recursions (not
        // when the filter at the input, in the loop, forms that input).
        constexpr bool kInputTermsFirst = AntiAlias && Filter != kFilterAtInputSide;
        if constexpr (kInputTermsFirst) antiAlias.inputTerms(io.xL, io.xR, io.aaL, io.aaR, n);
        // While nobody reads the modulation and the LFO's shape has no memory, the loop moves
        // its phase on beside the other recursions; the last sample's step is then taken
        // again from the phase before it, which sets the outputs and previous phases.
        const bool phaseOnly = !Modulation && Lfo::isMemoryless(s.lfoWave);
        double phaseBefore = lfo.phase;
        // Read, a shape without memory is formed for the chunk ahead of the loop.
        const bool lfoAhead = Modulation && Lfo::isMemoryless(s.lfoWave);
        constexpr bool kModulationAfter = Modulation && Filter != kFilterAtInputSide;
        if (lfoAhead) lfoRun<Gliding>(tables, lfo, s.lfoWave, lrOffset, io.lfoL, io.lfoR, n);
        // What the filter coefficients take from the modulation, when nothing here needs them
        // at once (they are formed after the loop).
        alignas(32) double factors[Filter == kCoefficientsOnly ? kChunk : 1];
        alignas(32) double rights[Filter == kCoefficientsOnly ? kChunk : 1];

        for (int32_t i = 0; i < n; ++i) {
            // Filter coefficients (from last sample's cutoff factor and right modulation
            // signal), and the filter itself when placed at the input.
            if constexpr (Filter == kFilterAtInputSide) {
                svf.computeCoefficients(tables, at(cutoff, i), modulation.cutoffFactor, at(resonance, i), at(resoMod, i),
                                        modulation.m[kRight]);
                io.svfF[i] = svf.f;
                io.svfD[i] = svf.damping;
                svf.process(io.xL[i], io.xR[i], s.filterType);
            }

            // Delay-line input, band-limited for the clocked lines.
            if constexpr (kInputTermsFirst) {
                const Pair y = antiAlias.fromInputTerms(Pair{io.aaL[i], io.aaR[i]});
                dL = y[0];
                dR = y[1];
            } else {
                dL = io.xL[i];
                dR = io.xR[i];
                if constexpr (AntiAlias) antiAlias.process(dL, dR);
            }

            // Drive window and envelope followers (on |d| before the drive gain), then drive;
            // the gate envelopes beside the followers, when the line outputs were read ahead.
            const Pair d = {dL, dR}, heard = {heardL[i], heardR[i]};
            if constexpr (DriveOn) drive.step(d, at(driveGain, i));
            if constexpr (Wide) {
                Lanes4 target = __builtin_shufflevector(d, heard, 0, 1, 2, 3);
                takeMagnitudes(target);
                target = target * levelScale;
                const Lanes4 coefficient = target < levels ? falling : rising;
                levels = levels + (target - levels) * coefficient;
                levels = levels + 1e-30 - 1e-30;  // denormal flush
                if constexpr (Modulation) {
                    followers.env[0] = levels[0];
                    followers.env[1] = levels[1];
                }
                io.gateL[i] = levels[2];
                io.gateR[i] = levels[3];
            } else {
                // Two-lane registers: the pairs on their own (a select of four lanes costs
                // twice over there).
                followers.step(dL, dR, s.modSensGain, s.envCoefficient);
                gate = followGatePair(gate, heard[0], heard[1], gateAttack, gateRelease);
                io.gateL[i] = gate[0];
                io.gateR[i] = gate[1];
            }
            if constexpr (DriveOn) {
                primeL = dL;
                primeR = dR;
                const Pair driven = d * drive.gains();
                dL = driven[0];
                dR = driven[1];
            }
            lineL[i] = dL;
            lineR[i] = dR;

            // The LFO phase alone, while nobody reads the shapes (see after the loop).
            if constexpr (!Modulation) {
                if (phaseOnly) {
                    phaseBefore = lfo.phase;
                    lfo.advance();
                }
            }

            // Modulation: LFO shapes, the blend with the envelopes, the cutoff factor; after
            // the loop where nothing in it reads them (only the filter at the input does).
            if constexpr (kModulationAfter) {
                io.envL[i] = followers.env[0];
                io.envR[i] = followers.env[1];
                if (!lfoAhead) {
                    lfo.step(tables, s.lfoWave, at(lrOffset, i));
                    io.lfoL[i] = lfo.out[0];
                    io.lfoR[i] = lfo.out[1];
                }
            } else if constexpr (Modulation) {
                double lfoOut[2];
                if (lfoAhead) {
                    lfoOut[0] = io.lfoL[i];
                    lfoOut[1] = io.lfoR[i];
                } else {
                    lfo.step(tables, s.lfoWave, at(lrOffset, i));
                    lfoOut[0] = lfo.out[0];
                    lfoOut[1] = lfo.out[1];
                }
                modulation.mix(lfoOut, followers.env, at(modSource, i));
                if constexpr (Filter != kNoInputFilter) modulation.followCutoff(tables, at(cutoffMod, i));
                if (keepModulation) {
                    io.mL[i] = modulation.m[kLeft];
                    io.mR[i] = modulation.m[kRight];
                }
            }
        }
        if constexpr (Wide) {
            followers.env[0] = levels[0];
            followers.env[1] = levels[1];
        }
        if constexpr (!DriveOn) {
            primeL = dL;
            primeR = dR;
        }
        if constexpr (kModulationAfter)
            modulationAfter<Gliding, Filter != kNoInputFilter>(tables, io, modulation, c, factors, rights, n);
        if constexpr (Filter == kCoefficientsOnly) coefficients<Gliding>(tables, svf, io, c, factors, rights, n);

        // Nobody read the modulation: the LFO moves on by the chunk (stepped through its last
        // sample, or through every one when its shape remembers), and the signals are those
        // of the last sample.
        if constexpr (!Modulation) {
            if (n > 0) {
                if (phaseOnly) {
                    lfo.phase = phaseBefore;
                    lfo.step(tables, s.lfoWave, at(lrOffset, n - 1));
                } else {
                    for (int32_t i = 0; i < n; ++i) lfo.step(tables, s.lfoWave, at(lrOffset, i));
                }
                modulation.mix(lfo.out, followers.env, at(modSource, n - 1));
            }
        }
        if (gates) {
            e.gate_[kLeft].envelope = Wide ? levels[2] : gate[0];
            e.gate_[kRight].envelope = Wide ? levels[3] : gate[1];
        }
        if constexpr (Filter != kNoInputFilter) e.svf_ = svf;
        if constexpr (AntiAlias) e.antiAlias_ = antiAlias;
        if constexpr (DriveOn) e.drive_ = drive;
        e.followers_ = followers;
        e.lfo_ = lfo;
        e.modulation_ = modulation;
    }

    template <bool Wide, int Filter, bool AntiAlias>
    static void inputSide(Engine& e, Chunk& io, int32_t n, const BlockSettings& s, bool modulation,
                          bool keepModulation, bool gates, double& primeL, double& primeR) {
        if (io.controls.gliding()) inputSide<Wide, Filter, AntiAlias, true>(e, io, n, s, modulation, keepModulation, gates, primeL, primeR);
        else inputSide<Wide, Filter, AntiAlias, false>(e, io, n, s, modulation, keepModulation, gates, primeL, primeR);
    }

    template <bool Wide, int Filter, bool AntiAlias, bool Gliding>
    static void inputSide(Engine& e, Chunk& io, int32_t n, const BlockSettings& s, bool modulation,
                          bool keepModulation, bool gates, double& primeL, double& primeR) {
        if (modulation) {
            if (s.driveOn) inputSide<Wide, Filter, AntiAlias, true, true, Gliding>(e, io, n, s, keepModulation, gates, primeL, primeR);
            else inputSide<Wide, Filter, AntiAlias, true, false, Gliding>(e, io, n, s, keepModulation, gates, primeL, primeR);
        } else {
            if (s.driveOn) inputSide<Wide, Filter, AntiAlias, false, true, Gliding>(e, io, n, s, false, gates, primeL, primeR);
            else inputSide<Wide, Filter, AntiAlias, false, false, Gliding>(e, io, n, s, false, gates, primeL, primeR);
        }
    }

    // `gates`: the line outputs of the chunk were read ahead, and the gate envelopes follow
    // them here, beside the other recursions.
    template <bool Wide>
    static void inputSide(Engine& e, Chunk& io, int32_t n, const BlockSettings& s, bool gates, double& primeL,
                          double& primeR) {
        // The filter reads the modulation (its cutoff factor and resonance), and so does a
        // clock whose rate follows it.
        const bool clockFollows = s.clockOn && s.steadyClockRate == 0.0;
        const bool modulation = s.placement != kNoFilter || clockFollows;
        const int filter = s.placement == kNoFilter ? kNoInputFilter
                           : s.placement == kFilterIn ? kFilterAtInputSide
                                                      : kCoefficientsOnly;
        const int variant = filter * 2 + (s.clockOn ? 1 : 0);
        switch (variant) {
        case kNoInputFilter * 2:
            return inputSide<Wide, kNoInputFilter, false>(e, io, n, s, modulation, clockFollows, gates, primeL, primeR);
        case kNoInputFilter * 2 + 1:
            return inputSide<Wide, kNoInputFilter, true>(e, io, n, s, modulation, clockFollows, gates, primeL, primeR);
        case kCoefficientsOnly * 2:
            return inputSide<Wide, kCoefficientsOnly, false>(e, io, n, s, modulation, clockFollows, gates, primeL, primeR);
        case kCoefficientsOnly * 2 + 1:
            return inputSide<Wide, kCoefficientsOnly, true>(e, io, n, s, modulation, clockFollows, gates, primeL, primeR);
        case kFilterAtInputSide * 2:
            return inputSide<Wide, kFilterAtInputSide, false>(e, io, n, s, modulation, clockFollows, gates, primeL, primeR);
        default:
            return inputSide<Wide, kFilterAtInputSide, true>(e, io, n, s, modulation, clockFollows, gates, primeL, primeR);
        }
    }

    // A pass in a function of its own for each instruction set. Inlined into the chunk, the
    // passes shared the register allocation of the whole chain, which kept their recursions'
    // states on the stack: every sample then waited for them to come back from memory.
    template <typename Pass>
    [[gnu::noinline, gnu::flatten]] static void apartSse2(const Pass& pass) {
        pass();
    }
    template <typename Pass>
    [[gnu::noinline, gnu::flatten, gnu::target("avx2,fma")]] static void apartAvx2(const Pass& pass) {
        pass();
    }
    template <bool Avx2, typename Pass>
    static void apart(const Pass& pass) {
        if constexpr (Avx2) apartAvx2(pass);
        else apartSse2(pass);
    }

    // ---- line inputs

    template <bool Gliding>
    static void mutes(double* line, int32_t n, ControlRun mute) {
        for (int32_t i = 0; i < n; ++i) line[i] *= mute.at<Gliding>(i);
    }

    // ---- clock

    // One side's clock rates for the chunk: the one that holds, or one per sample from the
    // side's modulation signal m.
    static void clockRates(const EngineTables& tables, double steadyRate, const double* m, double vcoManual,
                           ControlRun vcoMod, double* v, int32_t n) {
        if (!m) {
            std::fill(v, v + n, steadyRate);
            return;
        }
        // ClockedDelay::rateFor() in two passes: the controls, then the octave factors.
        double w[kChunk];
        auto rate = [&](auto gliding) {
            for (int32_t i = 0; i < n; ++i) {
                const double depth = vcoMod.at<decltype(gliding)::value>(i);
                w[i] = ((1.0 - std::fabs(depth)) * vcoManual + depth * m[i] + 1.0) * 0.5;
            }
        };
        if (vcoMod.mask) rate(std::true_type{});
        else rate(std::false_type{});
        math::octaveFactors(tables, w, v, n);
    }

    static void clock(Engine& e, Chunk& io, int32_t n, const BlockSettings& s, ClockPlan* plans[2]) {
        const bool follows = s.steadyClockRate == 0.0;
        alignas(32) double rates[2][kChunk];
        ClockedDelay::Run runs[2];
        int planned[2], count = 0;
        for (int side = 0; side < 2; ++side) {
            ClockPlan& plan = io.plan[side];
            const ClockedDelay& clock = e.clock_[side];
            plans[side] = &plan;
            for (int j = 0; j < 4; ++j) plan.taken[j] = clock.taken[j];
            // At rate 1 with the phase at 0 every sample has one tick at t = (1 - 0) / 1 and
            // leaves the phase at 0 and the rate at 1.
            plan.unit = !follows && s.steadyClockRate == 1.0 && clock.rate == 1.0 && clock.phase == 0.0;
            if (plan.unit) continue;
            clockRates(e.tables_, s.steadyClockRate, follows ? (side == kLeft ? io.mL : io.mR) : nullptr, s.vcoManual,
                       io.controls.run(kVcoMod), rates[side], n);
            runs[side] = {rates[side], plan.t, plan.owner, plan.upTo, plan.p};
            planned[count++] = side;
        }
        if (count == 2)
            ClockedDelay::planRuns(e.clock_[kLeft], runs[kLeft], e.clock_[kRight], runs[kRight], n);
        else if (count == 1) {
            const ClockedDelay::Run& run = runs[planned[0]];
            e.clock_[planned[0]].planRun(run.v, n, run.t, run.owner, run.upTo, run.p);
        }
    }

    // ---- feedback loop

    // The feedback network's inputs to both lines for samples [a, b), from the feedback
    // signals of the sample before each.
    template <bool Gliding>
    static void feedbackNetwork(Chunk& io, int32_t a, int32_t b, const Controls& c) {
        const ControlRun gainL = c.run(kFbGainL), gainR = c.run(kFbGainR), panL = c.run(kFbPanL), panR = c.run(kFbPanR);
        double* const feedL = io.feedL + kHistory;
        double* const feedR = io.feedR + kHistory;
        for (int32_t i = a; i < b; ++i) {
            const double fb[2] = {io.fbL[i], io.fbR[i]};
            const FeedbackInput f = feedbackInput(fb, gainL.at<Gliding>(i), gainR.at<Gliding>(i), panL.at<Gliding>(i),
                                                  panR.at<Gliding>(i));
            feedL[i] = f.left;
            feedR[i] = f.right;
        }
    }

    // The filter on a line pair for samples [a, b), with each sample's coefficients.
    static void filterRun(StateVariableFilter& svf, const Chunk& io, const double* inL, const double* inR, double* outL,
                          double* outR, int32_t a, int32_t b, int type) {
        StateVariableFilter f = svf;
        for (int32_t i = a; i < b; ++i) {
            f.f = io.svfF[i];
            f.damping = io.svfD[i];
            double l = inL[i], r = inR[i];
            f.process(l, r, type);
            outL[i] = l;
            outR[i] = r;
        }
        svf = f;
    }

    // The feedback signals for samples [a, b): what is fed back, with its polarity, held
    // below the loop's limit. The look for a value beyond the limit's knee rides along; only
    // then is the run bent.
    static void feedbackSignals(Chunk& io, const double* fedL, const double* fedR, int32_t a, int32_t b,
                                const BlockSettings& s) {
        const double signL = s.fbSign[kLeft], signR = s.fbSign[kRight];
        int beyond = 0;
        for (int32_t i = a; i < b; ++i) {
            const double l = fedL[i] * signL, r = fedR[i] * signR;
            io.fbL[i + 1] = l;
            io.fbR[i + 1] = r;
            beyond |= (std::fabs(l) > FeedbackLimit::kKnee) | (std::fabs(r) > FeedbackLimit::kKnee);
        }
        if (beyond)
            for (int32_t i = a; i < b; ++i) {
                io.fbL[i + 1] = FeedbackLimit::apply(io.fbL[i + 1]);
                io.fbR[i + 1] = FeedbackLimit::apply(io.fbR[i + 1]);
            }
    }

    // Samples [a, b) of one line, block-wise: every output is in the buffer before the run
    // starts, so the run is read, then (after its feedback is formed) written.
    static void readLine(DelayLine& line, ClockPlan* plan, double* y, int32_t a, int32_t b) {
        if (!plan) {
            readRing(line.buffer.data(), line.length, line.read, y + a, b - a);
            line.read = advanced(line.read, b - a, line.length);
            return;
        }
        if (plan->unit) {
            // catmullRom(taken, 0) is taken[1] of the sample's window: sample i's output is
            // slot i + 2 of the taken ones, so they are laid from y - 2 (the four before the
            // chunk first), and the run's slots go straight to the outputs two samples on.
            if (a == 0) std::memcpy(y - 2, plan->taken, sizeof(double) * 4);
            readRing(line.buffer.data(), line.length, line.read, y + a + 2, b - a);
            line.read = advanced(line.read, b - a, line.length);
            return;
        }
        // The slots the run's ticks take, then each sample's output between them.
        const int32_t first = a > 0 ? plan->upTo[a - 1] : 0;
        const int32_t last = plan->upTo[b - 1];
        double* taken = plan->taken + 4;
        readRing(line.buffer.data(), line.length, line.read, taken + first, last - first);
        line.read = advanced(line.read, last - first, line.length);
        // Four samples side by side: each lane gathers its own window and position, and gets
        // the arithmetic of catmullRom(window, p) as it stands (same operations, same order).
        int32_t i = a;
        for (; i + 4 <= b; i += 4) {
            const double* w0 = plan->taken + plan->upTo[i];
            const double* w1 = plan->taken + plan->upTo[i + 1];
            const double* w2 = plan->taken + plan->upTo[i + 2];
            const double* w3 = plan->taken + plan->upTo[i + 3];
            const double* from[4] = {w0, w1, w2, w3};
            Lanes4 window[4], u, v;
            windows(from, window);
            std::memcpy(&u, plan->p + i, sizeof u);
            const Lanes4 u2 = u * u, u3 = u * u * u;
            catmullRom(v, window, u, u2, u3);
            std::memcpy(y + i, &v, sizeof v);
        }
        for (; i < b; ++i) y[i] = catmullRom(plan->taken + plan->upTo[i], plan->p[i]);
    }

    // n inputs and feedback inputs into a line at its write and feedback heads, which move on.
    // All inputs are stored before any feedback is added: the feedback head is a pre-delay
    // behind the write head (or on it), so each slot still gets its input before its
    // feedback, as one step after another has it.
    static void storeRun(DelayLine& line, const double* in, const double* fed, int32_t n) {
        storeRun(line, n, [in](int32_t i) { return in[i]; }, [fed](int32_t i) { return fed[i]; });
    }

    // The same with each input and feedback input formed where it is stored.
    template <typename Input, typename Fed>
    static void storeRun(DelayLine& line, int32_t n, Input in, Fed fed) {
        double* const slots = line.buffer.data();
        const int32_t length = line.length;
        int32_t w = line.write, f = line.feedback;
        for (int32_t i = 0; i < n;) {
            const int32_t run = std::min({n - i, length - w, length - f});
            for (int32_t j = 0; j < run; ++j) slots[w + j] = in(i + j);
            for (int32_t j = 0; j < run; ++j) slots[f + j] += fed(i + j);
            i += run;
            w = advanced(w, run, length);
            f = advanced(f, run, length);
        }
        line.write = w;
        line.feedback = f;
    }

    static void writeLine(DelayLine& line, const ClockPlan* plan, const double* lineIn, const double* feed, int32_t a,
                          int32_t b) {
        if (!plan) {
            // Input at the write head, then feedback at the feedback head: with no pre-delay
            // the feedback lands on the fresh input, as the plain step has it.
            storeRun(line, lineIn + kHistory + a, feed + kHistory + a, b - a);
            return;
        }
        if (plan->unit) {
            // One tick per sample at t = 1. What a tick stores depends on the histories alone,
            // never on a slot, so each value is interpolated where it is stored, side by side
            // (catmullRom(.., 1, 1, 1) on each input's window: the same arithmetic per value),
            // in the order the plain line stores its inputs.
            const double* const inFrom = lineIn + a;
            const double* const fedFrom = feed + a;
            storeRun(
                line, b - a, [inFrom](int32_t i) { return catmullRom(inFrom + i, 1.0, 1.0, 1.0); },
                [fedFrom](int32_t i) { return catmullRom(fedFrom + i, 1.0, 1.0, 1.0); });
            return;
        }
        // Any other rate: each sample's ticks interpolate its window of the histories, all of
        // the run's first, then they are stored in one go.
        // Four ticks side by side, each lane with its own sample's windows and position.
        const int32_t first = a > 0 ? plan->upTo[a - 1] : 0;
        const int32_t ticks = plan->upTo[b - 1] - first;
        alignas(32) double in[ClockPlan::kTicks], fed[ClockPlan::kTicks];
        const int32_t* owner = plan->owner + first;  // each tick's sample
        const double* t = plan->t + first;
        int32_t k = 0;
        for (; k + 4 <= ticks; k += 4) {
            const double* lineWindows[4] = {lineIn + owner[k], lineIn + owner[k + 1], lineIn + owner[k + 2],
                                            lineIn + owner[k + 3]};
            const double* feedWindows[4] = {feed + owner[k], feed + owner[k + 1], feed + owner[k + 2],
                                            feed + owner[k + 3]};
            Lanes4 yLine[4], yFeed[4], u, vLine, vFeed;
            windows(lineWindows, yLine);
            windows(feedWindows, yFeed);
            std::memcpy(&u, t + k, sizeof u);
            const Lanes4 u2 = u * u, u3 = u * u * u;
            catmullRom(vLine, yLine, u, u2, u3);
            catmullRom(vFeed, yFeed, u, u2, u3);
            std::memcpy(in + k, &vLine, sizeof vLine);
            std::memcpy(fed + k, &vFeed, sizeof vFeed);
        }
        for (; k < ticks; ++k) {
            const double u = t[k];
            in[k] = catmullRom(lineIn + owner[k], u, u * u, u * u * u);
            fed[k] = catmullRom(feed + owner[k], u, u * u, u * u * u);
        }
        storeRun(line, in, fed, ticks);
    }

    // How many samples from `a` both lines can run block-wise: the ticks of the run must not
    // reach the slots that the run itself writes (the distance from read to feedback head).
    static int32_t blockRun(const DelayLine (&lines)[2], ClockPlan* const plans[2], int32_t a, int32_t n) {
        int32_t run = n - a;
        for (int side = 0; side < 2; ++side) {
            const DelayLine& line = lines[side];
            int32_t room = line.feedback - line.read;
            if (room < 0) room += line.length;
            const ClockPlan* plan = plans[side];
            if (!plan || plan->unit) {
                run = std::min(run, room);
                continue;
            }
            const int32_t before = a > 0 ? plan->upTo[a - 1] : 0;
            if (run > 0 && plan->upTo[a + run - 1] - before <= room) continue;  // the whole run fits
            int32_t fits = 0;
            while (fits < run && plan->upTo[a + fits] - before <= room) ++fits;
            run = fits;
        }
        return run;
    }

    // The feedback loop from sample `a`: delay lines (no fade runs, so their gains are 1),
    // the filter in the loop and the feedback network, block-wise in runs as long as the
    // lines allow. Returns where it stopped: the end, or where the room got too short.
    // With readAhead the whole chunk's outputs were read before the input side: one run.
    template <bool Gliding>
    static int32_t feedbackLoopBlockwise(Engine& e, Chunk& io, int32_t a, int32_t n, const BlockSettings& s,
                                         ClockPlan* const plans[2], bool readAhead) {
        const bool filtered = s.placement == kFilterFeedback;
        while (a < n) {
            int32_t b = n;
            if (!(readAhead && a == 0)) {
                const int32_t run = blockRun(e.line_, plans, a, n);
                if (run < std::min(kShortestRun, n - a)) break;
                b = a + run;
                // Delay lines: what the read heads deliver.
                readLine(e.line_[kLeft], plans[kLeft], io.yL, a, b);
                readLine(e.line_[kRight], plans[kRight], io.yR, a, b);
            }
            // Filter in the loop.
            if (filtered) filterRun(e.svf_, io, io.yL, io.yR, io.zL, io.zR, a, b, s.filterType);
            // Feedback signals, and the feedback network's inputs a sample later.
            feedbackSignals(io, filtered ? io.zL : io.yL, filtered ? io.zR : io.yR, a, b, s);
            feedbackNetwork<Gliding>(io, a, b, io.controls);
            // Delay lines: the run's inputs and feedback.
            writeLine(e.line_[kLeft], plans[kLeft], io.lineL, io.feedL, a, b);
            writeLine(e.line_[kRight], plans[kRight], io.lineR, io.feedR, a, b);
            a = b;
        }
        return a;
    }

    // A clocked line's histories after block-wise samples [0, a): the arrays' values (at rate
    // 1 the slots taken lie in the outputs y, from y - 2).
    static void keepHistories(ClockedDelay& clock, const ClockPlan& plan, const double* line, const double* feed,
                              const double* y, int32_t a) {
        for (int j = 0; j < 4; ++j) clock.written[j] = ClockedDelay::Pair{line[a - 1 + j], feed[a - 1 + j]};
        const double* taken = plan.unit ? y + a - 2 : plan.taken + plan.upTo[a - 1];
        for (int j = 0; j < 4; ++j) clock.taken[j] = taken[j];
    }

    // The same, one sample after another: while a fade runs (its bottom moves the heads) or a
    // line is too short for a run.
    template <bool Gliding>
    static void feedbackLoopPerSample(Engine& e, Chunk& io, int32_t from, int32_t n, const BlockSettings& s,
                                      ClockPlan* const plans[2]) {
        const Controls& c = io.controls;
        const ControlRun gainL = c.run(kFbGainL), gainR = c.run(kFbGainR), panL = c.run(kFbPanL), panR = c.run(kFbPanR);
        const bool filtered = s.placement == kFilterFeedback;
        const double fade = e.fadeFactor_;
        StateVariableFilter svf = e.svf_;
        for (int32_t i = from; i < n; ++i) {
            // Feedback network input from last sample's feedback signals.
            const double fb[2] = {io.fbL[i], io.fbR[i]};
            const FeedbackInput f = feedbackInput(fb, gainL.at<Gliding>(i), gainR.at<Gliding>(i), panL.at<Gliding>(i),
                                                  panR.at<Gliding>(i));
            io.feedL[kHistory + i] = f.left;
            io.feedR[kHistory + i] = f.right;
            const double lineIn[2] = {io.lineL[kHistory + i], io.lineR[kHistory + i]};
            const double feed[2] = {f.left, f.right};
            double y[2];
            for (int side = 0; side < 2; ++side) {
                DelayLine& line = e.line_[side];
                if (const ClockPlan* plan = plans[side]) {
                    // Clocked: the histories take every input; the ticks the plan found.
                    ClockedDelay& clock = e.clock_[side];
                    clock.push(lineIn[side], feed[side]);
                    if (plan->unit) {
                        clock.tick(1.0, line.buffer.data(), line.length, line.write, line.feedback, line.read);
                        y[side] = clock.output(0.0);
                    } else {
                        for (int32_t k = i > 0 ? plan->upTo[i - 1] : 0; k < plan->upTo[i]; ++k)
                            clock.tick(plan->t[k], line.buffer.data(), line.length, line.write, line.feedback,
                                       line.read);
                        y[side] = clock.output(plan->p[i]);
                    }
                } else {
                    y[side] = DelayLine::step(line.buffer.data(), line.length, line.write, line.feedback, line.read,
                                              lineIn[side], feed[side]);
                    (side == kLeft ? io.heldL : io.heldR)[i] = y[side];
                }
                // Delay-time fade; at the bottom of a fall the heads move to the time in force.
                const bool waiting = e.timeChanged_[side].load(std::memory_order_acquire) != 0;
                if (DelayLine::stepFade(line.fadeGain, waiting, fade)) {
                    // Lowered before the time is read: a time stored meanwhile raises it again.
                    e.timeChanged_[side].exchange(0, std::memory_order_acq_rel);
                    e.placeLine(side);
                }
                y[side] *= line.fadeGain;
            }
            io.yL[i] = y[kLeft];
            io.yR[i] = y[kRight];
            // Filter in the loop: what is fed back.
            double fedL = y[kLeft], fedR = y[kRight];
            if (filtered) {
                svf.f = io.svfF[i];
                svf.damping = io.svfD[i];
                svf.process(fedL, fedR, s.filterType);
                io.zL[i] = fedL;
                io.zR[i] = fedR;
            }
            io.fbL[i + 1] = FeedbackLimit::apply(fedL * s.fbSign[kLeft]);
            io.fbR[i + 1] = FeedbackLimit::apply(fedR * s.fbSign[kRight]);
        }
        e.svf_ = svf;
    }

    // Whether a fade runs in the chunk. The flags are read once per chunk: a time stored
    // during the chunk starts its fade with the next.
    static bool fadeRuns(const Engine& e) {
        bool fading = false;
        for (int side = 0; side < 2; ++side)
            fading = fading || e.line_[side].fadeGain != 1.0 ||
                     e.timeChanged_[side].load(std::memory_order_acquire) != 0;
        return fading;
    }

    // The feedback loop for the chunk; returns how many samples from the start ran
    // block-wise (the rest ran sample by sample).
    static int32_t feedbackLoop(Engine& e, Chunk& io, int32_t n, const BlockSettings& s, ClockPlan* const plans[2],
                                bool fading, bool readAhead) {
        // The clock histories' newest values before the chunk, in front of its inputs.
        for (int side = 0; side < 2; ++side) {
            double* line = side == kLeft ? io.lineL : io.lineR;
            double* feed = side == kLeft ? io.feedL : io.feedR;
            const ClockedDelay& clock = e.clock_[side];
            for (int j = 0; j < kHistory; ++j) {
                line[j] = clock.input(j + 1);
                feed[j] = clock.feedback(j + 1);
            }
        }
        int32_t blockwise = 0;
        if (!fading)
            blockwise = io.controls.gliding() ? feedbackLoopBlockwise<true>(e, io, 0, n, s, plans, readAhead)
                                              : feedbackLoopBlockwise<false>(e, io, 0, n, s, plans, readAhead);
        // Sample by sample the clocked lines keep their own histories, block-wise the arrays do.
        if (blockwise > 0)
            for (int side = 0; side < 2; ++side)
                if (plans[side])
                    keepHistories(e.clock_[side], *plans[side], side == kLeft ? io.lineL : io.lineR,
                                  side == kLeft ? io.feedL : io.feedR, side == kLeft ? io.yL : io.yR, blockwise);
        if (blockwise < n) {
            if (io.controls.gliding()) feedbackLoopPerSample<true>(e, io, blockwise, n, s, plans);
            else feedbackLoopPerSample<false>(e, io, blockwise, n, s, plans);
        }
        return blockwise;
    }

    // ---- after the loop

    // What is heard for samples [0, n): the line outputs through the filter on what is heard.
    template <bool Gliding>
    static void wet(Chunk& io, int32_t n, const BlockSettings& s, const double* heardL, const double* heardR,
                    bool gateMayClose) {
        const Controls& c = io.controls;
        const ControlRun thresholdL = c.run(kGateThresholdL), thresholdR = c.run(kGateThresholdR),
                         panL = c.run(kDlyPanL), panR = c.run(kDlyPanR), mix = c.run(kMix);
        const double signL = s.dlySign[kLeft], signR = s.dlySign[kRight], dryToReverb = s.dryToReverb;
        for (int32_t i = 0; i < n; ++i) {
            // Gate (squared) and polarity.
            double pL = heardL[i], pR = heardR[i];
            if (gateMayClose) {
                const double tL = thresholdL.at<Gliding>(i), tR = thresholdR.at<Gliding>(i);
                const double gainL = tL < GateEnvelope::kOffBelow || io.gateL[i] >= tL ? 1.0 : io.gateL[i] / tL;
                const double gainR = tR < GateEnvelope::kOffBelow || io.gateR[i] >= tR ? 1.0 : io.gateR[i] / tR;
                pL = gainL * gainL * pL;
                pR = gainR * gainR * pR;
            }
            pL *= signL;
            pR *= signR;
            // Pan, mix.
            const double wR = pL * panL.at<Gliding>(i) + pR * panR.at<Gliding>(i);
            const double wL = pL + pR - wR;
            const double m = mix.at<Gliding>(i);
            const double dryShare = 1.0 - m;
            io.wetL[i] = m * wL + dryShare * io.xL[i] * dryToReverb + kWetOffset;
            io.wetR[i] = m * wR + dryShare * io.xR[i] * dryToReverb + kWetOffset;
        }
    }

    // Output: the dry share, the ducked wet signal, the output gain (into the wet arrays).
    // True when a sample lies beyond the ceiling (or is not a number).
    template <bool Gliding, bool Ducked>
    static bool output(Chunk& io, int32_t n, const BlockSettings& s, int32_t from = 0) {
        const Controls& c = io.controls;
        const ControlRun mix = c.run(kMix), gain = c.run(kOutputGain);
        const double dryToOutput = s.dryToOutput;
        bool beyond = false;
        for (int32_t i = from; i < n; ++i) {
            const double dryShare = 1.0 - mix.at<Gliding>(i);
            const double duck = Ducked ? io.duck[i] : 1.0;
            const double left = (io.xL[i] * dryToOutput * dryShare + duck * io.wetL[i]) * gain.at<Gliding>(i);
            const double right = (io.xR[i] * dryToOutput * dryShare + duck * io.wetR[i]) * gain.at<Gliding>(i);
            beyond |= !(std::fabs(left) <= kOutputCeiling) | !(std::fabs(right) <= kOutputCeiling);
            io.wetL[i] = left;
            io.wetR[i] = right;
        }
        return beyond;
    }

    // The first of samples [0, n) of the output pair beyond the ceiling, or n.
    static int32_t firstBeyondCeiling(const Chunk& io, int32_t n) {
        for (int32_t i = 0; i < n; ++i)
            if (!(std::fabs(io.wetL[i]) <= kOutputCeiling) || !(std::fabs(io.wetR[i]) <= kOutputCeiling)) return i;
        return n;
    }

    // output() and the host's write in one pass, while nothing else is written (no bypass,
    // two separate outputs), in the AVX2 compile: four samples side by side, each lane with
    // output()'s arithmetic, straight into the host's buffers; the last few as output() and
    // writeFrames() have them. When a sample lies beyond the ceiling, the whole output pair
    // is formed in the wet arrays too (for the caller to find where), and the answer is true.
    template <bool Gliding, bool Ducked, typename T>
    static bool outputToHost(Chunk& io, int32_t n, const BlockSettings& s, T* outL, T* outR) {
        const Controls& c = io.controls;
        const ControlRun mix = c.run(kMix), gain = c.run(kOutputGain);
        const double dryToOutput = s.dryToOutput;
        Bits4 within4 = {-1, -1, -1, -1};
        int32_t i = 0;
        for (; i + 4 <= n; i += 4) {
            Lanes4 xL, xR, wetL, wetR, m, g, duck;
            std::memcpy(&xL, io.xL + i, sizeof xL);
            std::memcpy(&xR, io.xR + i, sizeof xR);
            std::memcpy(&wetL, io.wetL + i, sizeof wetL);
            std::memcpy(&wetR, io.wetR + i, sizeof wetR);
            if constexpr (Gliding) {
                std::memcpy(&m, mix.values + i, sizeof m);
                std::memcpy(&g, gain.values + i, sizeof g);
            } else {
                m = Lanes4{mix.value, mix.value, mix.value, mix.value};
                g = Lanes4{gain.value, gain.value, gain.value, gain.value};
            }
            if constexpr (Ducked) std::memcpy(&duck, io.duck + i, sizeof duck);
            else duck = Lanes4{1.0, 1.0, 1.0, 1.0};
            const Lanes4 dryShare = 1.0 - m;
            const Lanes4 left = (xL * dryToOutput * dryShare + duck * wetL) * g;
            const Lanes4 right = (xR * dryToOutput * dryShare + duck * wetR) * g;
            Lanes4 magnitudeL = left, magnitudeR = right;
            takeMagnitudes(magnitudeL);
            takeMagnitudes(magnitudeR);
            within4 &= (magnitudeL <= kOutputCeiling) & (magnitudeR <= kOutputCeiling);
            storeToHost(left, outL + i);
            storeToHost(right, outR + i);
        }
        const int32_t vectors = i;
        bool beyond = output<Gliding, Ducked>(io, n, s, vectors);
        writeFrames(io.wetL + vectors, io.wetR + vectors, vectors, n - vectors, outL, outR);
        if (!(within4[0] & within4[1] & within4[2] & within4[3])) {
            output<Gliding, Ducked>(io, vectors, s);  // the wet pair into the output pair
            beyond = true;
        }
        return beyond;
    }

    // ---- the chunk

    // Returns the first sample beyond the output ceiling, or n.
    template <typename T, bool Avx2>
    static int32_t chunk(Engine& e, Chunk& io, const T* inL, const T* inR, const T* keyL, const T* keyR, T* outL,
                         T* outR, int32_t at, int32_t n, const BlockSettings& s) {
        Controls& c = io.controls;
        const bool gliding = c.gliding();

        // Smoothing of the controls still on their way.
        smoothing(e, c, n);

        // Input: the host's samples, input gain; the key.
        double* rawL = s.bypass ? io.rawL : nullptr;
        double* rawR = s.bypass ? io.rawR : nullptr;
        if (gliding) {
            input<true>(inL ? inL + at : nullptr, n, c.run(kInputGain), io.xL, rawL);
            input<true>(inR ? inR + at : nullptr, n, c.run(kInputGain), io.xR, rawR);
        } else {
            input<false>(inL ? inL + at : nullptr, n, c.run(kInputGain), io.xL, rawL);
            input<false>(inR ? inR + at : nullptr, n, c.run(kInputGain), io.xR, rawR);
        }
        const bool keyHeard = key<Avx2>(keyL ? keyL + at : nullptr, keyR ? keyR + at : nullptr, n, io.key);

        // Input meter.
        e.meter_.push(io.xL, io.xR, n);

        // A clock at one rate needs no modulation: its ticks are planned first.
        ClockPlan* plans[2] = {nullptr, nullptr};
        const bool clockFollows = s.clockOn && s.steadyClockRate == 0.0;
        if (s.clockOn && !clockFollows) apart<Avx2>([&] { clock(e, io, n, s, plans); });

        // Read ahead: while no fade runs and both lines hold all of the chunk's outputs before
        // it starts (the read heads a chunk or more behind the feedback heads), the outputs are
        // read now, and the gate envelopes follow them in the input side's loop, beside its
        // recursions rather than after them.
        const bool fading = fadeRuns(e);
        const bool readAhead = !fading && !clockFollows && n > 0 && blockRun(e.line_, plans, 0, n) == n;
        if (readAhead) {
            readLine(e.line_[kLeft], plans[kLeft], io.yL, 0, n);
            readLine(e.line_[kRight], plans[kRight], io.yR, 0, n);
        }

        // Input side: filter at the input, anti-alias filter, drive and envelopes, modulation.
        double primeL = 0.0, primeR = 0.0;
        apart<Avx2>([&] { inputSide<Avx2>(e, io, n, s, readAhead, primeL, primeR); });
        if (!s.driveOn) e.drive_.keepWindow(io.lineL + kHistory, io.lineR + kHistory, c.run(kDriveGain), n);
        if (n > 0) {
            e.lastLineInput_[kLeft] = primeL;
            e.lastLineInput_[kRight] = primeR;
        }

        // Line inputs: the mutes.
        for (int side = 0; side < 2; ++side) {
            const ControlRun mute = c.run(kMuteGainL + side);
            double* line = (side == kLeft ? io.lineL : io.lineR) + kHistory;
            if (gliding) mutes<true>(line, n, mute);
            else if (mute.value != 1.0) mutes<false>(line, n, mute);
        }

        // Clock: the ticks of a chunk whose rates follow the modulation.
        if (clockFollows) apart<Avx2>([&] { clock(e, io, n, s, plans); });

        // Feedback loop: delay lines, fades, filter in the loop, feedback network.
        io.fbL[0] = e.fb_[kLeft];
        io.fbR[0] = e.fb_[kRight];
        int32_t blockwise = 0;
        apart<Avx2>([&] { blockwise = feedbackLoop(e, io, n, s, plans, fading, readAhead); });
        e.fb_[kLeft] = io.fbL[n];
        e.fb_[kRight] = io.fbR[n];

        // While the clock is off its histories still take the inputs and what the lines give
        // before the fades (block-wise no fade runs); only the last four stay.
        if (!s.clockOn) {
            for (int32_t i = std::max(0, n - 4); i < n; ++i) {
                e.clock_[kLeft].push(io.lineL[kHistory + i], io.feedL[kHistory + i]);
                e.clock_[kRight].push(io.lineR[kHistory + i], io.feedR[kHistory + i]);
                e.clock_[kLeft].follow(i < blockwise ? io.yL[i] : io.heldL[i]);
                e.clock_[kRight].follow(i < blockwise ? io.yR[i] : io.heldR[i]);
            }
        }

        // Gate envelopes on the faded outputs (unless the input side followed them).
        if (!readAhead)
            followGates(e.gate_[kLeft], e.gate_[kRight], io.yL, io.yR, io.gateL, io.gateR, n, e.gateAttack_,
                        s.gateRelease);

        // Filter placement: what is heard.
        double* heardL = io.yL;
        double* heardR = io.yR;
        if (s.placement == kFilterListen)
            apart<Avx2>([&] { filterRun(e.svf_, io, io.yL, io.yR, io.zL, io.zR, 0, n, s.filterType); });
        if (s.placement == kFilterListen || s.placement == kFilterFeedback) {
            heardL = io.zL;
            heardR = io.zR;
        }

        // Look-ahead: what is heard leaves 1 ms after the gate saw it.
        const int32_t ahead = e.lookAhead_.delayInFront(heardL, heardR, n);
        heardL -= ahead;
        heardR -= ahead;

        // Wet signal: gate (squared), polarity, pan, mix.
        bool gateMayClose = gliding;
        for (int side = 0; side < 2; ++side)
            gateMayClose = gateMayClose || !(c.now[kGateThresholdL + side] < GateEnvelope::kOffBelow);
        if (gliding) wet<true>(io, n, s, heardL, heardR, true);
        else wet<false>(io, n, s, heardL, heardR, gateMayClose);

        // Reverb; while it is off its tail waits.
        if (s.reverb == kReverbSpring)
            apart<Avx2>([&] { e.reverb_.run<Reverb::kSpring>(io.wetL, io.wetR, n, s.reverbAmount); });
        if (s.reverb == kReverbPlate)
            apart<Avx2>([&] { e.reverb_.run<Reverb::kPlate>(io.wetL, io.wetR, n, s.reverbAmount); });

        // Ducking by the louder key channel; a silent key leaves a ducker at rest as it is
        // (and its gain at 1, unless the threshold lies below 0).
        const bool ducked = keyHeard || e.ducker_.envelope != 0.0 || !(s.duckThreshold >= 0.0);
        if (ducked) {
            if (!keyHeard) std::fill(io.key, io.key + n, 0.0);
            e.ducker_.follow(io.key, io.duck, n, e.duckAttack_, s.duckRelease, s.duckThreshold);
        }

        // Output, bypass (the raw input, while everything above keeps running), write. What
        // lies beyond the ceiling is left to the caller (written straight to the host, it is
        // overwritten there).
        if (Avx2 && !s.bypass && outL && outR && outL != outR) {
            T* const toL = outL + at;
            T* const toR = outR + at;
            const bool beyond = gliding ? (ducked ? outputToHost<true, true>(io, n, s, toL, toR)
                                                  : outputToHost<true, false>(io, n, s, toL, toR))
                                        : (ducked ? outputToHost<false, true>(io, n, s, toL, toR)
                                                  : outputToHost<false, false>(io, n, s, toL, toR));
            return beyond ? firstBeyondCeiling(io, n) : n;
        }
        const bool beyond = gliding ? (ducked ? output<true, true>(io, n, s) : output<true, false>(io, n, s))
                                    : (ducked ? output<false, true>(io, n, s) : output<false, false>(io, n, s));
        const int32_t within = beyond ? firstBeyondCeiling(io, n) : n;
        if (s.bypass) writeFrames(io.rawL, io.rawR, at, n, outL, outR);
        else writeFrames(io.wetL, io.wetR, at, within, outL, outR);
        return within;
    }

    // The chunks of a block; returns the first sample beyond the output ceiling, where the
    // block stops, or `frames`.
    template <typename T, bool Avx2>
    static int32_t block(Engine& e, const T* inL, const T* inR, const T* keyL, const T* keyR, T* outL, T* outR,
                         int32_t frames, const BlockSettings& s) {
        Chunk& io = *e.chunk_;
        for (int32_t at = 0; at < frames; at += kChunk) {
            const int32_t n = std::min<int32_t>(kChunk, frames - at);
            const int32_t within = chunk<T, Avx2>(e, io, inL, inR, keyL, keyR, outL, outR, at, n, s);
            if (within < n) return at + within;
        }
        return frames;
    }

    // Frames [from, frames) while the chain does not run: silence, or the raw input when
    // bypassed.
    template <typename T>
    static void quiet(Chunk& io, const T* inL, const T* inR, T* outL, T* outR, int32_t from, int32_t frames,
                      bool bypass) {
        for (int32_t at = from; at < frames; at += kChunk) {
            const int32_t n = std::min<int32_t>(kChunk, frames - at);
            for (int32_t i = 0; i < n; ++i) {
                io.rawL[i] = bypass && inL ? static_cast<double>(inL[at + i]) : 0.0;
                io.rawR[i] = bypass && inR ? static_cast<double>(inR[at + i]) : 0.0;
            }
            writeFrames(io.rawL, io.rawR, at, n, outL, outR);
        }
    }

    // The two compiles of the chain: everything a block calls is inlined into these, so each
    // is one piece of code for its instruction set.
    template <typename T>
    [[gnu::flatten]] static int32_t blockSse2(Engine& e, const T* inL, const T* inR, const T* keyL, const T* keyR, T* outL,
                                             T* outR, int32_t frames, const BlockSettings& s) {
        return block<T, false>(e, inL, inR, keyL, keyR, outL, outR, frames, s);
    }

    template <typename T>
    [[gnu::flatten, gnu::target("avx2,fma")]] static int32_t blockAvx2(Engine& e, const T* inL, const T* inR,
                                                                      const T* keyL, const T* keyR, T* outL, T* outR,
                                                                      int32_t frames, const BlockSettings& s) {
        return block<T, true>(e, inL, inR, keyL, keyR, outL, outR, frames, s);
    }
};

// ------------------------------------------------------------------ the block

template <typename T>
void Engine::processBlock(const T* inL, const T* inR, const T* keyL, const T* keyR, T* outL, T* outR, int32_t frames,
                          const BlockTime& time) {
    if (frames < 0) frames = 0;

    // Switches, signs and coefficients hold for the whole block.
    BlockSettings s;
    // Dry routing: "fx" mixes the dry signal at the output, "out" sends it through the
    // wet path (reverb and ducking).
    const bool dryThroughWet = rvbMode_ == kReverbModeOut;
    s.dryToOutput = dryThroughWet ? 0.0 : 1.0;
    s.dryToReverb = dryThroughWet ? 1.0 : 0.0;
    for (int side = 0; side < 2; ++side) {
        s.fbSign[side] = fbSign_[side];
        s.dlySign[side] = dlySign_[side];
    }
    s.duckThreshold = duckThreshold_;
    s.gateRelease = gateRelease_;
    s.duckRelease = duckRelease_;
    s.modSensGain = modSensGain_;
    s.envCoefficient = envCoefficient_;
    s.vcoManual = vcoMan_;
    s.reverbAmount = rvbAmt_;
    const int filterMode = fltMode_;
    s.placement = fltOn_ == 0                         ? kNoFilter
                  : filterMode == kFilterAtInput     ? kFilterIn
                  : filterMode == kFilterInFeedback ? kFilterFeedback
                                                     : kFilterListen;
    s.filterType = fltType_;
    s.lfoWave = lfoWave_;
    s.clockOn = vcoOn_ != 0;
    s.driveOn = driveActive_ != 0;
    // A reverb without buffers (its memory could never be had) is not run.
    s.reverb = rvbOn_ == 0 || !reverb_.ready() ? kReverbOff
               : reverb_.type() == Reverb::kPlate ? kReverbPlate
                                                  : kReverbSpring;
    s.bypass = bypass_ != 0;
    Chunk& io = *chunk_;

    // Recovering from an overflow: this block's share of the clearing, and silence (the raw
    // input when bypassed).
    if (continueRecovery(frames)) {
        Chain::quiet(io, inL, inR, outL, outR, 0, frames, s.bypass);
        return;
    }

    // Drive window sums rebuilt from the rings. While the drive is off the chunks only move
    // the window on, and the sums wait for the block it next runs in.
    if (s.driveOn) drive_.beginBlock();

    // LFO increment for the block, and the song-position lock.
    lfo_.beginBlock(lfoPhaseStep_);
    if (lfoMode_ == kLfoModeSongLocked)
        lfo_.lockToSong(time.hasSongPosition, time.ppqPos, lfoNumerators[clampIndex(lfoNum_, kLfoNumeratorCount)],
                        noteDenominators[clampIndex(lfoDen_, kNoteDenominatorCount)]);

    // The smoothed controls, and which of them move in this block.
    Controls& c = io.controls;
    std::memcpy(c.now, controls_.current, sizeof c.now);
    // The filter corner never starts a block above half the sample rate.
    c.now[kCutoff] = std::min(c.now[kCutoff], sampleRate_ * 0.5);
    // A glide step leaves a value unchanged exactly when it holds its target's bits: from a
    // finite value toward a finite target (targets refuse anything else, and a block that
    // leaves a current non-finite starts over from the targets) a step either moves the value
    // or lands on the target. So the controls that move are those away from their targets.
    // The look is skipped while no target (or current value) was set since the last one and
    // every control rested through the last block: then none can glide.
    c.movingCount = 0;
    if (controls_.touched.exchange(false, std::memory_order_acquire) || controlsMayGlide_)
        for (int k = 0; k < kSmoothedCount; ++k)
            if (!sameBits(controls_.target[k].load(), c.now[k])) c.moving[c.movingCount++] = k;
    controlsMayGlide_ = c.movingCount > 0;
    // With the modulation depth resting at 0 the clock runs at VcoMan's rate alone.
    const bool depthMoves = std::find(c.moving, c.moving + c.movingCount, int(kVcoMod)) != c.moving + c.movingCount;
    s.steadyClockRate = !depthMoves && c.now[kVcoMod] == 0.0 ? ClockedDelay::rateFor(tables_, s.vcoManual, 0.0, 0.0)
                                                              : 0.0;

    const int32_t within = isa_ == InstructionSet::kAvx2
                               ? Chain::blockAvx2(*this, inL, inR, keyL, keyR, outL, outR, frames, s)
                               : Chain::blockSse2(*this, inL, inR, keyL, keyR, outL, outR, frames, s);
    // The last line of defence: from the first sample beyond the ceiling on, the block is
    // silent (a bypassed block goes on with the raw input after the chunk that found it).
    if (within < frames) {
        const int32_t from = s.bypass ? std::min(frames, (within / kChunk + 1) * kChunk) : within;
        Chain::quiet(io, inL, inR, outL, outR, from, frames, s.bypass);
        if (!s.bypass) ceilingActions_.fetch_add(1, std::memory_order_relaxed);
    }

    // Only the gliding controls (and the corner's bound above) changed.
    for (int j = 0; j < c.movingCount; ++j) controls_.current[c.moving[j]] = c.now[c.moving[j]];
    controls_.current[kCutoff] = c.now[kCutoff];
    // While the filter is off the cutoff factor is formed once, from the block's last sample.
    if (s.placement == kNoFilter && frames > 0) modulation_.followCutoff(tables_, c.now[kCutoffMod]);

    // While the clock is off, the anti-alias filter holds the last value it would have been
    // fed (the line input before the drive gain), so that switching the clock on starts
    // without a step, with the drive on as well.
    if (!s.clockOn) antiAlias_.prime(lastLineInput_[kLeft], lastLineInput_[kRight]);

    // A sound beyond the ceiling, or a poisoned state, starts over from silence.
    if (within < frames || !stateIsFinite(c.movingCount > 0)) recoverFromFault();
}

void Engine::process(const float* inL, const float* inR, const float* keyL, const float* keyR, float* outL,
                     float* outR, int32_t frames, const BlockTime& time) {
    processBlock(inL, inR, keyL, keyR, outL, outR, frames, time);
}

void Engine::process(const double* inL, const double* inR, const double* keyL, const double* keyR, double* outL,
                     double* outR, int32_t frames, const BlockTime& time) {
    processBlock(inL, inR, keyL, keyR, outL, outR, frames, time);
}

}  // namespace engine
