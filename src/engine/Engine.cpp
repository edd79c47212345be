// The engine's lifecycle and its processing loop. The loop reads top to bottom as the
// signal path: smoothing, input, filter, line input, drive and envelopes, modulation,
// feedback, delay lines, fades, gate, filter placement, look-ahead, mix, reverb, ducking,
// output and bypass.
#include "Engine.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace engine {

namespace {

constexpr double kTwoPi = 6.283185307179586;
// Keeps the reverb's recursions out of the denormal range when the wet signal is silent.
constexpr double kWetOffset = 1e-15;
// The reverb mode that sends the dry signal through the wet path ("out").
constexpr int kReverbModeOut = 1;
// Filter placements.
constexpr int kFilterAtInput = 0;
constexpr int kFilterInFeedback = 1;
// The LFO mode that locks the phase to the song position.
constexpr int kLfoModeSongLocked = 2;

int clampIndex(int position, int count) { return position < 0 ? 0 : (position >= count ? count - 1 : position); }

// n host samples from `at` as doubles; a missing channel reads as silence.
template <typename T>
inline void widen(const T* from, int32_t at, int32_t n, double* to) {
    if (!from) {
        std::fill(to, to + n, 0.0);
        return;
    }
    for (int32_t i = 0; i < n; ++i) to[i] = static_cast<double>(from[at + i]);
}

// A sample a host passes that is not a number (or is infinite) would stay in the delay
// lines and envelopes for good; it counts as silence.
template <typename T>
inline T finiteOrZero(T v) {
    return std::isfinite(v) ? v : T(0);
}

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

// One chunk of the block in double precision, between the passes.
struct Engine::Chunk {
    double rawL[kChunk], rawR[kChunk];  // the host's main input as given (bypass)
    double inL[kChunk], inR[kChunk];    // the same with non-finite samples as silence
    double key[kChunk], keyR[kChunk];   // the louder key channel's magnitude (keyR: scratch)
    double wetL[kChunk], wetR[kChunk];  // wet pair; the reverb works on it in place
    double dryL[kChunk], dryR[kChunk];  // dry share at the output: x * dryToOutput * (1 - Mix)
    double duck[kChunk], gain[kChunk];  // duck gain, output gain
    // Line inputs, feedback inputs and line outputs while the clock is off: only the last
    // four reach its histories.
    double lineL[kChunk], lineR[kChunk], feedL[kChunk], feedR[kChunk], heldL[kChunk], heldR[kChunk];
};

// The smoothed controls' current values, and which of them still move: a control whose
// glide step leaves it unchanged stays where it is for the whole block.
struct Engine::Glides {
    double c[kSmoothedCount];
    int moving[kSmoothedCount];
    int movingCount = 0;
};

namespace {

// Filter placements as the loop variants know them.
enum Placement : int { kNoFilter, kFilterIn, kFilterFeedback, kFilterListen };
enum ReverbRun : int { kReverbOff, kReverbSpring, kReverbPlate };
// Clock mode off, on with a rate that follows the modulation, on at one rate for the block.
enum ClockRun : int { kClockOff, kClockModulated, kClockSteady };

inline bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A line's heads and fade, carried in locals through a chunk.
struct LineRun {
    double* slots;
    int32_t length, write, feedback, read;
    double fadeGain;

    void load(DelayLine& line) {
        slots = line.buffer.data();
        length = line.length;
        write = line.write;
        feedback = line.feedback;
        read = line.read;
        fadeGain = line.fadeGain;
    }
    void store(DelayLine& line) const {
        line.write = write;
        line.feedback = feedback;
        line.read = read;
        line.fadeGain = fadeGain;
    }
};

}  // namespace

// ------------------------------------------------------------------ construction

Engine::Engine() : chunk_(std::make_unique<Chunk>()) {
    deriveRateValues(kDefaultSampleRate);
    if (!reverb_.prepare(kDefaultSampleRate)) throw std::bad_alloc();
    reverb_.retune(Reverb::kSpring);

    std::vector<double> delayL(DelayLine::lengthFor(kDefaultSampleRate));
    std::vector<double> delayR(delayL.size());
    std::vector<double> aheadL(LookAhead::lengthFor(kDefaultSampleRate));
    std::vector<double> aheadR(aheadL.size());
    std::vector<float> meterL(kDefaultMeterWindow), meterR(kDefaultMeterWindow);
    line_[kLeft].adopt(delayL);
    line_[kRight].adopt(delayR);
    lookAhead_.adopt(aheadL, aheadR);
    meter_.adopt(meterL, meterR);

    deriveEnvelopeCoefficients();
    setLfoRate(lfoRate_);
    placeHeads();
}

Engine::~Engine() = default;

void Engine::deriveRateValues(double fs) {
    sampleRate_ = fs;
    smoothingStep_ = smoothingStepFor(fs);
    fadeFactor_ = DelayLine::fadeFactorFor(fs);
    svf_.adaptSampleRate(fs);
    gateAttack_ = gateAttackFor(fs);
    duckAttack_ = duckAttackFor(fs);
}

void Engine::deriveEnvelopeCoefficients() {
    const double fs = sampleRate_;
    // Values outside 0..1 keep their mapping, as far as the envelopes stay stable: the
    // envelope time must stay positive (L = 900 x + 100 ms).
    const double e = std::isnan(envSpeed_.load()) ? 0.0 : std::max(envSpeed_.load(), EnvelopeFollower::kLowestEnvSpeed);
    envLength_ = 900.0 * e + 100.0;
    envCoefficient_ = EnvelopeFollower::coefficientFor(e, fs);
    gateRelease_ = gateReleaseFor(e, fs);
    duckRelease_ = duckReleaseFor(e, fs);
}

// ------------------------------------------------------------------ lifecycle

bool Engine::adoptSampleRate(double fs) {
    if (!(fs >= kMinSampleRate && fs <= kMaxSampleRate)) fs = kDefaultSampleRate;
    if (fs == sampleRate_) return false;

    // Every new buffer first; the engine changes only when all of them exist.
    std::vector<double> delayL, delayR, aheadL, aheadR;
    try {
        delayL.resize(DelayLine::lengthFor(fs));
        delayR.resize(delayL.size());
        aheadL.resize(LookAhead::lengthFor(fs));
        aheadR.resize(aheadL.size());
    } catch (const std::bad_alloc&) {
        return false;
    }
    // The reverb's buffers last: when they cannot be had it keeps its old ones, and ours
    // are dropped with the vectors above, so nothing has changed.
    if (!reverb_.prepare(fs)) return false;
    reverb_.retune(reverb_.type());

    deriveRateValues(fs);
    lookAhead_.adopt(aheadL, aheadR);
    line_[kLeft].adopt(delayL);
    line_[kRight].adopt(delayR);
    for (auto& flag : timeChanged_) flag.store(0, std::memory_order_release);
    placeHeads();
    drive_.adaptSampleRate(fs);
    antiAlias_.adaptSampleRate(fs);
    lfo_.adaptSampleRate(fs);
    deriveEnvelopeCoefficients();
    setLfoRate(lfoRate_);
    return true;
}

bool Engine::adoptMeterWindow(int32_t samples) {
    if (samples < 1 || samples > InputMeter::kMaxWindow) samples = InputMeter::kDefaultWindow;
    if (samples == meter_.window) return false;
    std::vector<float> left, right;
    try {
        left.resize(samples);
        right.resize(samples);
    } catch (const std::bad_alloc&) {
        return false;
    }
    meter_.adopt(left, right);
    return true;
}

void Engine::suspend() {
    settle();
    reset();
}

void Engine::settle() {
    controls_.settle();
    for (int side = 0; side < 2; ++side) {
        timeChanged_[side].store(0, std::memory_order_release);
        line_[side].fadeGain = 1.0;
    }
    lookAhead_.index = 0;
    placeHeads();
}

void Engine::reset() {
    resetState();
    clearMemories(0, std::numeric_limits<std::size_t>::max());
    recovering_ = false;
}

std::size_t Engine::clearMemories(std::size_t from, std::size_t budget) {
    std::size_t cleared = 0;
    // `from` counts down through the buffers before the one where clearing resumes.
    auto sweep = [&](auto* data, std::size_t size) {
        if (from >= size) {
            from -= size;
            return;
        }
        const std::size_t n = std::min(size - from, budget - cleared);
        std::fill(data + from, data + from + n, 0);
        cleared += n;
        from = 0;
    };
    for (auto& line : line_) sweep(line.buffer.data(), line.buffer.size());
    sweep(reverb_.memory(), reverb_.memorySize());
    for (auto& ring : lookAhead_.ring) sweep(ring.data(), ring.size());
    for (auto& ring : meter_.ring) sweep(ring.data(), ring.size());
    memoryCleared_ += cleared;
    return cleared;
}

void Engine::resetState() {
    meter_.clearRange();
    meter_.index = 0;
    for (int side = 0; side < 2; ++side) {
        fb_[side] = 0.0;
        gate_[side].envelope = 0.0;
        lastLineInput_[side] = 0.0;
        clock_[side].reset();
    }
    ducker_.envelope = 0.0;
    reverb_.resetTank();
    svf_.reset();
    drive_.reset();
    lfo_.reset();
    followers_.reset();
    modulation_.reset();
    antiAlias_.reset();
}

void Engine::placeHeads() {
    placeLine(kLeft);
    placeLine(kRight);
}

double Engine::preDelayTime(int side) const {
    side &= 1;
    const double t = DelayLine::clampTime(delayMs_[side]);
    const int num = preDelayNumerators[clampIndex(preNum_[side], kPreDelayNumeratorCount)];
    const int den = noteDenominators[clampIndex(preDen_[side], kNoteDenominatorCount)];
    return std::min(t, t * num / den);
}

void Engine::placeLine(int side) {
    line_[side].place(DelayLine::clampTime(delayMs_[side]), preDelayTime(side), sampleRate_);
}

// ------------------------------------------------------------------ controls

void Engine::setLfoRate(double hz) {
    if (!std::isfinite(hz)) return;
    const double step = hz * kTwoPi / sampleRate_;
    if (!std::isfinite(step)) return;
    lfoRate_ = hz;
    lfoPhaseStep_ = step;
}

void Engine::setEnvSpeed(double x) {
    if (!std::isfinite(x)) return;
    envSpeed_ = x;
    deriveEnvelopeCoefficients();
}

void Engine::setDelayTime(int side, double ms) {
    delayMs_[side & 1] = DelayLine::clampTime(ms);
    markTimeChanged(side);
}

void Engine::setPreDelay(int side, int numeratorPosition, int denominatorPosition) {
    preNum_[side & 1] = clampIndex(numeratorPosition, kPreDelayNumeratorCount);
    preDen_[side & 1] = clampIndex(denominatorPosition, kNoteDenominatorCount);
    markTimeChanged(side);
}

void Engine::markTimeChanged(int side) { timeChanged_[side & 1].store(1, std::memory_order_release); }

bool Engine::timeChanged(int side) const { return timeChanged_[side & 1].load(std::memory_order_acquire) != 0; }

void Engine::setReverbType(int position) { reverb_.retune(position); }

void Engine::setReverbDamping(double x) {
    if (std::isfinite(x)) reverb_.setDamping(x);
}

// ------------------------------------------------------------------ processing
//
// A block runs in chunks of up to kChunk frames, each in three passes:
//   1. the host's samples widened to double (all of a chunk read before any is written);
//   2. runChunk: the per-sample chain from smoothing to the reverbed wet signal and the duck
//      gain, in one of 72 variants chosen per block by the filter placement, the clock mode
//      (off, modulated, or at one rate for the block), the reverb type and the drive
//      switch, so that no sample tests a switch the block cannot change; the stages'
//      state is carried in locals and written back after the chunk;
//   3. the output sum, bypass and the write into the host's buffers.
// The samples are exactly those of running every stage once per sample in the order of
// the signal path (the tests hold it against such a loop): the passes only regroup work
// that does not depend on what follows. Some values are read once per block that a plain
// loop would read per sample: the target of a smoothed control that is at rest when the
// block starts, the switches and selectors (filter, clock, reverb, bypass, wave, placements),
// the polarity signs, the duck threshold, ModSens, the EnvSpeed coefficients, VcoMan,
// RvbAmt and the reverb's damping coefficients. A change made from another thread during a
// block is therefore heard from the next block on, a few milliseconds later; changes made
// between blocks (the host's automation, programs) are heard exactly where they are made.

bool Engine::stateIsFinite() const {
    bool finite = std::isfinite(lfo_.phase) && std::isfinite(modulation_.cutoffFactor) &&
                  std::isfinite(ducker_.envelope) && std::isfinite(svf_.f) && std::isfinite(svf_.damping);
    for (int side = 0; side < 2; ++side) {
        const ClockedDelay& clock = clock_[side];
        finite = finite && std::isfinite(fb_[side]) && std::isfinite(gate_[side].envelope) &&
                 std::isfinite(lastLineInput_[side]) && std::isfinite(lfo_.out[side]) &&
                 std::isfinite(lfo_.target[side]) && std::isfinite(modulation_.m[side]) &&
                 std::isfinite(followers_.env[side]) && std::isfinite(svf_.low[side]) &&
                 std::isfinite(svf_.band[side]) && std::isfinite(drive_.sum[side]) &&
                 std::isfinite(antiAlias_.output(side)) && std::isfinite(clock.phase) &&
                 std::isfinite(clock.taken[3]) && std::isfinite(clock.input(3)) && std::isfinite(clock.feedback(3));
    }
    for (double c : controls_.current) finite = finite && std::isfinite(c);
    return finite;
}

// Something overflowed: the memories of sound start over from silence. The small ones are
// cleared at once; the buffers (tens of megabytes at high rates, milliseconds of work) a
// slice per block, while the chain waits and the output is silent. The few values a reset
// keeps are brought back to where they belong.
void Engine::recoverFromFault() {
    resetState();
    for (int k = 0; k < kSmoothedCount; ++k)
        if (!std::isfinite(controls_.current[k])) controls_.current[k] = controls_.target[k];
    recovering_ = true;
    recoveryCleared_ = 0;
}

bool Engine::continueRecovery(int32_t frames) {
    if (!recovering_) return false;
    const std::size_t budget = static_cast<std::size_t>(std::max(frames, 0)) * kRecoveryClearPerFrame;
    const std::size_t cleared = clearMemories(recoveryCleared_, budget);
    recoveryCleared_ += cleared;
    if (cleared < budget) {
        // All clear: the sound starts again from the settings in force, as after a suspend.
        recovering_ = false;
        settle();
        resetState();
    }
    return true;
}

template <int P, int ClockKind, int ReverbKind, bool DriveOn>
void Engine::runChunk(Chunk& io, int32_t n, const BlockSettings& s, Glides& g) {
    // The stages' state in locals, out of reach of the stores into the delay buffers.
    const EngineTables& tables = tables_;
    StateVariableFilter svf = svf_;
    AntiAliasFilter antiAlias = antiAlias_;
    Drive drive = drive_;
    EnvelopeFollower followers = followers_;
    Lfo lfo = lfo_;
    ModulationSignals modulation = modulation_;
    ClockedDelay clockL = clock_[kLeft], clockR = clock_[kRight];
    LineRun lineL, lineR;
    lineL.load(line_[kLeft]);
    lineR.load(line_[kRight]);
    GateEnvelope gateL = gate_[kLeft], gateR = gate_[kRight];
    Ducker ducker = ducker_;
    Reverb::Tank tank = reverb_.tank();
    const reverb::Decay decay = reverb_.decay();
    double fbL = fb_[kLeft], fbR = fb_[kRight];
    double* aheadL = lookAhead_.ring[kLeft].data();
    double* aheadR = lookAhead_.ring[kRight].data();
    int32_t aheadIndex = lookAhead_.index;
    const int32_t aheadLength = lookAhead_.length;
    double dL = 0.0, dR = 0.0, primeL = 0.0, primeR = 0.0;
    double* const c = g.c;
    const double step = smoothingStep_, fade = fadeFactor_, gateAttack = gateAttack_, duckAttack = duckAttack_;
    constexpr bool Clock = ClockKind != kClockOff;

    // The fade of one line; at the bottom of a fall its heads move to the time in force.
    auto fadeLine = [this, fade](LineRun& run, int side, double y) {
        const bool waiting = timeChanged_[side].load(std::memory_order_acquire) != 0;
        if (DelayLine::stepFade(run.fadeGain, waiting, fade)) {
            // Lowered before the time is read: a time stored meanwhile raises it again.
            timeChanged_[side].exchange(0, std::memory_order_acq_rel);
            run.store(line_[side]);
            placeLine(side);
            run.load(line_[side]);
        }
        return y * run.fadeGain;
    };

    for (int32_t i = 0; i < n; ++i) {
        // Smoothing of the controls still on their way.
        for (int j = 0; j < g.movingCount; ++j) {
            const int k = g.moving[j];
            c[k] = glide(c[k], controls_.target[k].load(), step);
        }

        // Input gain.
        double xL = c[kInputGain] * io.inL[i];
        double xR = c[kInputGain] * io.inR[i];

        // Input meter.
        meter_.push(static_cast<float>(xL), static_cast<float>(xR));

        // Filter coefficients (from last sample's cutoff factor and right modulation
        // signal), and the filter itself when placed at the input.
        if constexpr (P != kNoFilter)
            svf.computeCoefficients(tables, c[kCutoff], modulation.cutoffFactor, c[kResonance], c[kResoMod],
                                    modulation.m[kRight]);
        if constexpr (P == kFilterIn) svf.process(xL, xR, s.filterType);
        // From here on xL, xR are the dry signal.

        // Delay-line input, band-limited for the clocked lines.
        dL = xL;
        dR = xR;
        if constexpr (Clock) antiAlias.process(dL, dR);

        // Drive window and envelope followers (on |d| before the drive gain), then drive.
        drive.step(dL, dR, c[kDriveGain]);
        followers.step(dL, dR, s.modSensGain, s.envCoefficient);
        primeL = dL;
        primeR = dR;
        if constexpr (DriveOn) drive.apply(dL, dR);

        // Modulation: LFO shapes, the blend with the envelopes, the cutoff factor.
        lfo.step(tables, s.lfoWave, c[kLrOffset]);
        modulation.mix(lfo.out, followers.env, c[kModSource]);
        if constexpr (P != kNoFilter) modulation.followCutoff(tables, c[kCutoffMod]);

        // Feedback network input, and the muted line inputs.
        const double fbNow[2] = {fbL, fbR};
        const FeedbackInput f = feedbackInput(fbNow, c[kFbGainL], c[kFbGainR], c[kFbPanL], c[kFbPanR]);
        const double lineInL = dL * c[kMuteGainL];
        const double lineInR = dR * c[kMuteGainR];

        // Delay lines: clocked (the histories take every input), or one step per sample.
        double yL, yR;
        if constexpr (Clock) {
            clockL.push(lineInL, f.left);
            clockR.push(lineInR, f.right);
            double vL = s.steadyClockRate, vR = s.steadyClockRate;
            if constexpr (ClockKind == kClockModulated) {
                vL = ClockedDelay::rateFor(tables, s.vcoManual, c[kVcoMod], modulation.m[kLeft]);
                vR = ClockedDelay::rateFor(tables, s.vcoManual, c[kVcoMod], modulation.m[kRight]);
            }
            yL = clockL.step(vL, lineL.slots, lineL.length, lineL.write, lineL.feedback, lineL.read);
            yR = clockR.step(vR, lineR.slots, lineR.length, lineR.write, lineR.feedback, lineR.read);
        } else {
            io.lineL[i] = lineInL;
            io.lineR[i] = lineInR;
            io.feedL[i] = f.left;
            io.feedR[i] = f.right;
            yL = DelayLine::step(lineL.slots, lineL.length, lineL.write, lineL.feedback, lineL.read, lineInL, f.left);
            yR = DelayLine::step(lineR.slots, lineR.length, lineR.write, lineR.feedback, lineR.read, lineInR, f.right);
            io.heldL[i] = yL;
            io.heldR[i] = yR;
        }

        // Delay-time fades.
        yL = fadeLine(lineL, kLeft, yL);
        yR = fadeLine(lineR, kRight, yR);

        // Gate envelopes on the faded outputs.
        gateL.follow(std::fabs(yL), gateAttack, s.gateRelease);
        gateR.follow(std::fabs(yR), gateAttack, s.gateRelease);

        // Filter placement: what is fed back and what is heard.
        double heardL = yL, heardR = yR;
        if constexpr (P == kFilterFeedback || P == kFilterListen) svf.process(heardL, heardR, s.filterType);
        const bool feedFiltered = P == kFilterFeedback;
        fbL = (feedFiltered ? heardL : yL) * s.fbSign[kLeft];
        fbR = (feedFiltered ? heardR : yR) * s.fbSign[kRight];

        // Look-ahead: what is heard leaves 1 ms after the gate saw it.
        {
            const double oldL = aheadL[aheadIndex], oldR = aheadR[aheadIndex];
            aheadL[aheadIndex] = heardL;
            aheadR[aheadIndex] = heardR;
            heardL = oldL;
            heardR = oldR;
            if (++aheadIndex == aheadLength) aheadIndex = 0;
        }

        // Wet signal: gate (squared), polarity, pan, mix.
        const double gainL = gateL.gain(c[kGateThresholdL]);
        const double gainR = gateR.gain(c[kGateThresholdR]);
        const double pL = gainL * gainL * heardL * s.dlySign[kLeft];
        const double pR = gainR * gainR * heardR * s.dlySign[kRight];
        const double wR = pL * c[kDlyPanL] + pR * c[kDlyPanR];
        const double wL = pL + pR - wR;
        const double dryShare = 1.0 - c[kMix];
        double wetL = c[kMix] * wL + dryShare * xL * s.dryToReverb + kWetOffset;
        double wetR = c[kMix] * wR + dryShare * xR * s.dryToReverb + kWetOffset;

        // Reverb; while it is off its tail waits.
        if constexpr (ReverbKind == kReverbSpring) reverb_.step<Reverb::kSpring>(tank, decay, wetL, wetR, s.reverbAmount);
        if constexpr (ReverbKind == kReverbPlate) reverb_.step<Reverb::kPlate>(tank, decay, wetL, wetR, s.reverbAmount);
        io.wetL[i] = wetL;
        io.wetR[i] = wetR;

        // Ducking by the louder key channel; what the output pass needs.
        ducker.follow(io.key[i], duckAttack, s.duckRelease);
        io.duck[i] = ducker.gain(s.duckThreshold);
        io.dryL[i] = xL * s.dryToOutput * dryShare;
        io.dryR[i] = xR * s.dryToOutput * dryShare;
        io.gain[i] = c[kOutputGain];
    }

    // While the clock is off its histories still take the inputs; only the last four stay.
    if constexpr (!Clock) {
        for (int32_t i = std::max(0, n - 4); i < n; ++i) {
            clockL.push(io.lineL[i], io.feedL[i]);
            clockR.push(io.lineR[i], io.feedR[i]);
            clockL.follow(io.heldL[i]);
            clockR.follow(io.heldR[i]);
        }
    }
    if (n > 0) {
        lastLineInput_[kLeft] = primeL;
        lastLineInput_[kRight] = primeR;
    }

    svf_ = svf;
    antiAlias_ = antiAlias;
    drive_ = drive;
    followers_ = followers;
    lfo_ = lfo;
    modulation_ = modulation;
    clock_[kLeft] = clockL;
    clock_[kRight] = clockR;
    lineL.store(line_[kLeft]);
    lineR.store(line_[kRight]);
    gate_[kLeft] = gateL;
    gate_[kRight] = gateR;
    ducker_ = ducker;
    if constexpr (ReverbKind != kReverbOff) reverb_.keep(tank);
    fb_[kLeft] = fbL;
    fb_[kRight] = fbR;
    lookAhead_.index = aheadIndex;
}

// The chunk runner for a placement, clock mode, reverb and drive switch.
Engine::ChunkRunner Engine::runnerFor(int placement, int clock, int reverb, bool drive) {
    static constexpr ChunkRunner kRunners[4][3][3][2] = {
        {{{&Engine::runChunk<kNoFilter, kClockOff, kReverbOff, false>, &Engine::runChunk<kNoFilter, kClockOff, kReverbOff, true>},
          {&Engine::runChunk<kNoFilter, kClockOff, kReverbSpring, false>, &Engine::runChunk<kNoFilter, kClockOff, kReverbSpring, true>},
          {&Engine::runChunk<kNoFilter, kClockOff, kReverbPlate, false>, &Engine::runChunk<kNoFilter, kClockOff, kReverbPlate, true>}},
         {{&Engine::runChunk<kNoFilter, kClockModulated, kReverbOff, false>, &Engine::runChunk<kNoFilter, kClockModulated, kReverbOff, true>},
          {&Engine::runChunk<kNoFilter, kClockModulated, kReverbSpring, false>, &Engine::runChunk<kNoFilter, kClockModulated, kReverbSpring, true>},
          {&Engine::runChunk<kNoFilter, kClockModulated, kReverbPlate, false>, &Engine::runChunk<kNoFilter, kClockModulated, kReverbPlate, true>}},
         {{&Engine::runChunk<kNoFilter, kClockSteady, kReverbOff, false>, &Engine::runChunk<kNoFilter, kClockSteady, kReverbOff, true>},
          {&Engine::runChunk<kNoFilter, kClockSteady, kReverbSpring, false>, &Engine::runChunk<kNoFilter, kClockSteady, kReverbSpring, true>},
          {&Engine::runChunk<kNoFilter, kClockSteady, kReverbPlate, false>, &Engine::runChunk<kNoFilter, kClockSteady, kReverbPlate, true>}}},
        {{{&Engine::runChunk<kFilterIn, kClockOff, kReverbOff, false>, &Engine::runChunk<kFilterIn, kClockOff, kReverbOff, true>},
          {&Engine::runChunk<kFilterIn, kClockOff, kReverbSpring, false>, &Engine::runChunk<kFilterIn, kClockOff, kReverbSpring, true>},
          {&Engine::runChunk<kFilterIn, kClockOff, kReverbPlate, false>, &Engine::runChunk<kFilterIn, kClockOff, kReverbPlate, true>}},
         {{&Engine::runChunk<kFilterIn, kClockModulated, kReverbOff, false>, &Engine::runChunk<kFilterIn, kClockModulated, kReverbOff, true>},
          {&Engine::runChunk<kFilterIn, kClockModulated, kReverbSpring, false>, &Engine::runChunk<kFilterIn, kClockModulated, kReverbSpring, true>},
          {&Engine::runChunk<kFilterIn, kClockModulated, kReverbPlate, false>, &Engine::runChunk<kFilterIn, kClockModulated, kReverbPlate, true>}},
         {{&Engine::runChunk<kFilterIn, kClockSteady, kReverbOff, false>, &Engine::runChunk<kFilterIn, kClockSteady, kReverbOff, true>},
          {&Engine::runChunk<kFilterIn, kClockSteady, kReverbSpring, false>, &Engine::runChunk<kFilterIn, kClockSteady, kReverbSpring, true>},
          {&Engine::runChunk<kFilterIn, kClockSteady, kReverbPlate, false>, &Engine::runChunk<kFilterIn, kClockSteady, kReverbPlate, true>}}},
        {{{&Engine::runChunk<kFilterFeedback, kClockOff, kReverbOff, false>, &Engine::runChunk<kFilterFeedback, kClockOff, kReverbOff, true>},
          {&Engine::runChunk<kFilterFeedback, kClockOff, kReverbSpring, false>, &Engine::runChunk<kFilterFeedback, kClockOff, kReverbSpring, true>},
          {&Engine::runChunk<kFilterFeedback, kClockOff, kReverbPlate, false>, &Engine::runChunk<kFilterFeedback, kClockOff, kReverbPlate, true>}},
         {{&Engine::runChunk<kFilterFeedback, kClockModulated, kReverbOff, false>, &Engine::runChunk<kFilterFeedback, kClockModulated, kReverbOff, true>},
          {&Engine::runChunk<kFilterFeedback, kClockModulated, kReverbSpring, false>, &Engine::runChunk<kFilterFeedback, kClockModulated, kReverbSpring, true>},
          {&Engine::runChunk<kFilterFeedback, kClockModulated, kReverbPlate, false>, &Engine::runChunk<kFilterFeedback, kClockModulated, kReverbPlate, true>}},
         {{&Engine::runChunk<kFilterFeedback, kClockSteady, kReverbOff, false>, &Engine::runChunk<kFilterFeedback, kClockSteady, kReverbOff, true>},
          {&Engine::runChunk<kFilterFeedback, kClockSteady, kReverbSpring, false>, &Engine::runChunk<kFilterFeedback, kClockSteady, kReverbSpring, true>},
          {&Engine::runChunk<kFilterFeedback, kClockSteady, kReverbPlate, false>, &Engine::runChunk<kFilterFeedback, kClockSteady, kReverbPlate, true>}}},
        {{{&Engine::runChunk<kFilterListen, kClockOff, kReverbOff, false>, &Engine::runChunk<kFilterListen, kClockOff, kReverbOff, true>},
          {&Engine::runChunk<kFilterListen, kClockOff, kReverbSpring, false>, &Engine::runChunk<kFilterListen, kClockOff, kReverbSpring, true>},
          {&Engine::runChunk<kFilterListen, kClockOff, kReverbPlate, false>, &Engine::runChunk<kFilterListen, kClockOff, kReverbPlate, true>}},
         {{&Engine::runChunk<kFilterListen, kClockModulated, kReverbOff, false>, &Engine::runChunk<kFilterListen, kClockModulated, kReverbOff, true>},
          {&Engine::runChunk<kFilterListen, kClockModulated, kReverbSpring, false>, &Engine::runChunk<kFilterListen, kClockModulated, kReverbSpring, true>},
          {&Engine::runChunk<kFilterListen, kClockModulated, kReverbPlate, false>, &Engine::runChunk<kFilterListen, kClockModulated, kReverbPlate, true>}},
         {{&Engine::runChunk<kFilterListen, kClockSteady, kReverbOff, false>, &Engine::runChunk<kFilterListen, kClockSteady, kReverbOff, true>},
          {&Engine::runChunk<kFilterListen, kClockSteady, kReverbSpring, false>, &Engine::runChunk<kFilterListen, kClockSteady, kReverbSpring, true>},
          {&Engine::runChunk<kFilterListen, kClockSteady, kReverbPlate, false>, &Engine::runChunk<kFilterListen, kClockSteady, kReverbPlate, true>}}}
    };
    return kRunners[placement][clock][reverb][drive ? 1 : 0];
}

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
    s.placement = fltOn_ == 0     ? kNoFilter
                  : filterMode == kFilterAtInput ? kFilterIn
                  : filterMode == kFilterInFeedback ? kFilterFeedback
                                                    : kFilterListen;
    s.filterType = fltType_;
    s.lfoWave = lfoWave_;
    s.clockOn = vcoOn_ != 0;
    s.driveOn = driveActive_ != 0;
    // A reverb without buffers (its memory could never be had) is not run.
    s.reverb = rvbOn_ == 0 || !reverb_.ready() ? kReverbOff : reverb_.type() == Reverb::kPlate ? kReverbPlate
                                                                                                : kReverbSpring;
    s.bypass = bypass_ != 0;
    Chunk& io = *chunk_;

    // Recovering from an overflow: this block's share of the clearing, and silence (the raw
    // input when bypassed).
    if (continueRecovery(frames)) {
        for (int32_t at = 0; at < frames; at += kChunk) {
            const int32_t n = std::min<int32_t>(kChunk, frames - at);
            widen(s.bypass ? inL : nullptr, at, n, io.rawL);
            widen(s.bypass ? inR : nullptr, at, n, io.rawR);
            writeFrames(io.rawL, io.rawR, at, n, outL, outR);
        }
        return;
    }

    // Drive window sums rebuilt from the rings.
    drive_.beginBlock();

    // LFO increment for the block, and the song-position lock.
    lfo_.beginBlock(lfoPhaseStep_);
    if (lfoMode_ == kLfoModeSongLocked)
        lfo_.lockToSong(time.hasSongPosition, time.ppqPos, lfoNumerators[clampIndex(lfoNum_, kLfoNumeratorCount)],
                        noteDenominators[clampIndex(lfoDen_, kNoteDenominatorCount)]);

    Glides g;
    std::memcpy(g.c, controls_.current, sizeof g.c);
    // The filter corner never starts a block above half the sample rate.
    g.c[kCutoff] = std::min(g.c[kCutoff], sampleRate_ * 0.5);
    for (int k = 0; k < kSmoothedCount; ++k)
        if (!sameBits(glide(g.c[k], controls_.target[k].load(), smoothingStep_), g.c[k])) g.moving[g.movingCount++] = k;
    // With the modulation depth resting at 0 the clock runs at VcoMan's rate alone.
    const bool depthMoves = std::find(g.moving, g.moving + g.movingCount, int(kVcoMod)) != g.moving + g.movingCount;
    s.steadyClockRate = !depthMoves && g.c[kVcoMod] == 0.0 ? ClockedDelay::rateFor(tables_, s.vcoManual, 0.0, 0.0) : 0.0;

    const int clock = !s.clockOn ? kClockOff : s.steadyClockRate != 0.0 ? kClockSteady : kClockModulated;
    const ChunkRunner runChunk = runnerFor(s.placement, clock, s.reverb, s.driveOn);
    double engineGuard = 0.0;

    for (int32_t at = 0; at < frames; at += kChunk) {
        const int32_t n = std::min<int32_t>(kChunk, frames - at);

        // The host's samples, all read before any of this chunk is written (in place).
        widen(inL, at, n, io.rawL);
        widen(inR, at, n, io.rawR);
        for (int32_t i = 0; i < n; ++i) {
            io.inL[i] = finiteOrZero(io.rawL[i]);
            io.inR[i] = finiteOrZero(io.rawR[i]);
        }
        widen(keyL, at, n, io.key);
        widen(keyR, at, n, io.keyR);
        for (int32_t i = 0; i < n; ++i)
            io.key[i] = std::max(std::fabs(finiteOrZero(io.key[i])), std::fabs(finiteOrZero(io.keyR[i])));

        // The chain up to the wet signal.
        (this->*runChunk)(io, n, s, g);

        // Output (into the dry arrays), bypass (the raw input, while everything above keeps
        // running), write.
        for (int32_t i = 0; i < n; ++i) {
            const double left = (io.dryL[i] + io.duck[i] * io.wetL[i]) * io.gain[i];
            const double right = (io.dryR[i] + io.duck[i] * io.wetR[i]) * io.gain[i];
            engineGuard += (left + right) * 0.0;  // stays 0 unless something went non-finite
            io.dryL[i] = left;
            io.dryR[i] = right;
        }
        if (s.bypass) writeFrames(io.rawL, io.rawR, at, n, outL, outR);
        else writeFrames(io.dryL, io.dryR, at, n, outL, outR);
    }

    std::memcpy(controls_.current, g.c, sizeof g.c);
    // While the filter is off the cutoff factor is formed once, from the block's last sample.
    if (s.placement == kNoFilter && frames > 0) modulation_.followCutoff(tables_, g.c[kCutoffMod]);

    // While the clock is off, the anti-alias filter holds the last value it would have been
    // fed (the line input before the drive gain), so that switching the clock on starts
    // without a step, with the drive on as well.
    if (!s.clockOn) antiAlias_.prime(lastLineInput_[kLeft], lastLineInput_[kRight]);

    // Whatever got through, no non-finite sample reaches the host, and a poisoned state
    // starts over from silence.
    if (!std::isfinite(engineGuard) || !stateIsFinite()) recoverFromFault();
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
