// The engine's lifecycle (construction, sample rates, suspend, reset, overflow recovery)
// and its controls. The processing loop is in Processing.cpp.
#include "Engine.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace engine {

namespace {

constexpr double kTwoPi = 6.283185307179586;

int clampIndex(int position, int count) { return position < 0 ? 0 : (position >= count ? count - 1 : position); }

}  // namespace

// ------------------------------------------------------------------ construction

Engine::Engine() : isa_(chooseInstructionSet()), chunk_(newChunk()) {
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
    controls_.touched = true;  // the cutoff's ceiling moves with the rate
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
// (The loop itself is in Processing.cpp.)

bool Engine::stateIsFinite(bool controlsMoved) const {
    // Every value times 0, summed: 0 while all of them are finite, not a number once one is
    // not. (One sum without a branch per value: this runs after every block.)
    double zero = 0.0;
    auto add = [&zero](double v) { zero += v * 0.0; };
    add(lfo_.phase);
    add(modulation_.cutoffFactor);
    add(ducker_.envelope);
    add(svf_.f);
    add(svf_.damping);
    for (int side = 0; side < 2; ++side) {
        const ClockedDelay& clock = clock_[side];
        for (double v : {fb_[side], gate_[side].envelope, lastLineInput_[side], lfo_.out[side], lfo_.target[side],
                         modulation_.m[side], followers_.env[side], svf_.low[side], svf_.band[side], drive_.sum[side],
                         antiAlias_.output(side), clock.phase, clock.taken[3], clock.input(3), clock.feedback(3)})
            add(v);
    }
    if (!controlsMoved) return zero == 0.0;
    // The controls in four running sums that vectorise (the answer is the same whichever sum
    // a value joins).
    double lanes[4] = {};
    int k = 0;
    for (; k + 4 <= kSmoothedCount; k += 4)
        for (int j = 0; j < 4; ++j) lanes[j] += controls_.current[k + j] * 0.0;
    for (; k < kSmoothedCount; ++k) add(controls_.current[k]);
    return zero + ((lanes[0] + lanes[1]) + (lanes[2] + lanes[3])) == 0.0;
}

// Something overflowed: the memories of sound start over from silence. The small ones are
// cleared at once; the buffers (tens of megabytes at high rates, milliseconds of work) a
// slice per block, while the chain waits and the output is silent. The few values a reset
// keeps are brought back to where they belong.
void Engine::recoverFromFault() {
    recoveries_.fetch_add(1, std::memory_order_relaxed);
    resetState();
    for (int k = 0; k < kSmoothedCount; ++k)
        if (!std::isfinite(controls_.current[k])) controls_.current[k] = controls_.target[k];
    controls_.touched = true;
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

}  // namespace engine
