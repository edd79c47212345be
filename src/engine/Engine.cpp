// The engine's lifecycle and its processing loop. The loop reads top to bottom as the
// signal path: smoothing, input, filter, line input, drive and envelopes, modulation,
// feedback, delay lines, fades, gate, filter placement, look-ahead, mix, reverb, ducking,
// output and bypass.
#include "Engine.h"

#include <algorithm>
#include <cmath>
#include <cstring>
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

// A sample a host passes that is not a number (or is infinite) would stay in the delay
// lines and envelopes for good; it counts as silence.
inline double finiteOrZero(double v) { return std::isfinite(v) ? v : 0.0; }

template <typename T>
inline double sampleAt(const T* buffer, int32_t i) {
    return buffer ? static_cast<double>(buffer[i]) : 0.0;
}

// Right first, then left, then right added: a single buffer named for both sides
// receives the sum. A 32-bit output is narrowed side by side and summed in float.
template <typename T>
inline void writeFrame(T* outL, T* outR, int32_t i, double left, double right) {
    const T l = static_cast<T>(left), r = static_cast<T>(right);
    if (outR) outR[i] = T(0);
    if (outL) outL[i] = l;
    if (outR) outR[i] += r;
}

template <typename T>
void zeroNonFinite(T* out, int32_t frames) {
    if (!out) return;
    for (int32_t i = 0; i < frames; ++i)
        if (!std::isfinite(out[i])) out[i] = T(0);
}

}  // namespace

// ------------------------------------------------------------------ construction

Engine::Engine() {
    deriveRateValues(kDefaultSampleRate);
    // The LFO's shape smoothing starts with its own 1000 Hz corner; a newly adopted rate
    // gives it 500 Hz.
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
    // EnvSpeed lives on 0..1; a value beyond would turn the envelopes unstable.
    const double e = std::min(std::max(envSpeed_.load(), 0.0), 1.0);
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
    controls_.settle();
    lfo_.clearStepTargets();
    for (int side = 0; side < 2; ++side) {
        timeChanged_[side].store(0, std::memory_order_release);
        line_[side].fadeGain = 1.0;
    }
    lookAhead_.index = 0;
    placeHeads();
    reset();
}

void Engine::reset() {
    for (auto& line : line_) line.clear();
    lookAhead_.clear();
    meter_.clear();
    for (int side = 0; side < 2; ++side) {
        fb_[side] = 0.0;
        gate_[side].envelope = 0.0;
        lastLineInput_[side] = 0.0;
        clock_[side].reset();
    }
    ducker_.envelope = 0.0;
    reverb_.reset();
    svf_.reset();
    drive_.reset();
    lfo_.reset();
    followers_.reset();
    modulation_.reset();  // the cutoff factor stays
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

struct Engine::BlockSettings {
    double dryToOutput, dryToReverb;
    double fbSign[2], dlySign[2];
    double duckThreshold;
    double gateRelease, duckRelease;
    double modSensGain, envCoefficient, vcoManual, reverbAmount;
    bool filterOn, clockOn, driveOn, reverbOn, bypass;
    int filterMode, filterType, lfoWave;
};

// One clocked step of a line at the rate its controls and modulation signal give.
inline double Engine::clockStep(int side, double vcoManual, double vcoModDepth) {
    DelayLine& line = line_[side];
    const double v = ClockedDelay::rateFor(tables_, vcoManual, vcoModDepth, modulation_.m[side]);
    return clock_[side].step(v, line.buffer.data(), line.length, line.write, line.feedback, line.read);
}

// The time fade of one line; at the bottom of a fall the heads move to the time in force.
inline double Engine::fadeLine(int side, double y, double factor) {
    DelayLine& line = line_[side];
    const bool waiting = timeChanged_[side].load(std::memory_order_acquire) != 0;
    if (line.stepFade(waiting, factor)) {
        // Lowered before the time is read: a time stored meanwhile raises it again.
        timeChanged_[side].exchange(0, std::memory_order_acq_rel);
        placeLine(side);
    }
    return y * line.fadeGain;
}

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
                 std::isfinite(antiAlias_.section[side][1].y1) && std::isfinite(clock.phase) &&
                 std::isfinite(clock.taken[3]) && std::isfinite(clock.input[3]) && std::isfinite(clock.feedback[3]);
    }
    for (double c : controls_.current) finite = finite && std::isfinite(c);
    return finite;
}

// Something overflowed: the memories of sound start over from silence, and the few values
// a reset keeps are brought back to where they belong.
void Engine::recoverFromFault() {
    reset();
    lfo_.clearStepTargets();
    if (!std::isfinite(modulation_.cutoffFactor)) modulation_.cutoffFactor = 1.0;
    for (int k = 0; k < kSmoothedCount; ++k)
        if (!std::isfinite(controls_.current[k])) controls_.current[k] = controls_.target[k];
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
    s.filterOn = fltOn_ != 0;
    s.filterMode = fltMode_;
    s.filterType = fltType_;
    s.lfoWave = lfoWave_;
    s.clockOn = vcoOn_ != 0;
    s.driveOn = driveActive_ != 0;
    // A reverb without buffers (its memory could never be had) is not run.
    s.reverbOn = rvbOn_ != 0 && reverb_.ready();
    s.bypass = bypass_ != 0;

    // Drive window sums rebuilt from the rings.
    drive_.beginBlock();

    // LFO increment for the block, and the song-position lock.
    lfo_.beginBlock(lfoPhaseStep_);
    if (lfoMode_ == kLfoModeSongLocked)
        lfo_.lockToSong(time.hasSongPosition, time.ppqPos, lfoNumerators[clampIndex(lfoNum_, kLfoNumeratorCount)],
                        noteDenominators[clampIndex(lfoDen_, kNoteDenominatorCount)]);

    double c[kSmoothedCount];
    std::memcpy(c, controls_.current, sizeof c);
    // The filter corner never starts a block above half the sample rate.
    c[kCutoff] = std::min(c[kCutoff], sampleRate_ * 0.5);

    const double step = smoothingStep_;
    double engineGuard = 0.0;

    for (int32_t i = 0; i < frames; ++i) {
        // The host may process in place: read the whole frame before writing any of it.
        const double rawL = sampleAt(inL, i), rawR = sampleAt(inR, i);
        const double keyInL = finiteOrZero(sampleAt(keyL, i)), keyInR = finiteOrZero(sampleAt(keyR, i));

        // Smoothing.
        for (int k = 0; k < kSmoothedCount; ++k) c[k] = glide(c[k], controls_.target[k].load(), step);

        // Input gain.
        double xL = c[kInputGain] * finiteOrZero(rawL);
        double xR = c[kInputGain] * finiteOrZero(rawR);

        // Input meter.
        meter_.push(static_cast<float>(xL), static_cast<float>(xR));

        // Filter coefficients (from last sample's cutoff factor and right modulation
        // signal), and the filter itself when placed at the input.
        if (s.filterOn) {
            svf_.computeCoefficients(tables_, c[kCutoff], modulation_.cutoffFactor, c[kResonance], c[kResoMod],
                                     modulation_.m[kRight]);
            if (s.filterMode == kFilterAtInput) svf_.process(xL, xR, s.filterType);
        }
        // From here on xL, xR are the dry signal.

        // Delay-line input, band-limited for the clocked lines.
        double dL = xL, dR = xR;
        if (s.clockOn) antiAlias_.process(dL, dR);

        // Drive window and envelope followers (on |d| before the drive gain), then drive.
        drive_.step(dL, dR, c[kDriveGain]);
        followers_.step(dL, dR, s.modSensGain, s.envCoefficient);
        if (s.driveOn) drive_.apply(dL, dR);
        lastLineInput_[kLeft] = dL;
        lastLineInput_[kRight] = dR;

        // Modulation: LFO shapes, the blend with the envelopes, the cutoff factor.
        lfo_.step(tables_, s.lfoWave, c[kLrOffset]);
        modulation_.step(tables_, lfo_.out, followers_.env, c[kModSource], c[kCutoffMod]);

        // Feedback network input, and the muted line inputs (into the clock histories
        // whether the clock runs or not).
        const FeedbackInput f = feedbackInput(fb_, c[kFbGainL], c[kFbGainR], c[kFbPanL], c[kFbPanR]);
        const double lineInL = dL * c[kMuteGainL];
        const double lineInR = dR * c[kMuteGainR];
        clock_[kLeft].push(lineInL, f.left);
        clock_[kRight].push(lineInR, f.right);

        // Delay lines: clocked, or one step per sample.
        double yL, yR;
        if (s.clockOn) {
            yL = clockStep(kLeft, s.vcoManual, c[kVcoMod]);
            yR = clockStep(kRight, s.vcoManual, c[kVcoMod]);
        } else {
            yL = line_[kLeft].step(lineInL, f.left);
            yR = line_[kRight].step(lineInR, f.right);
        }

        // Delay-time fades.
        yL = fadeLine(kLeft, yL, fadeFactor_);
        yR = fadeLine(kRight, yR, fadeFactor_);

        // Gate envelopes on the faded outputs.
        gate_[kLeft].follow(std::fabs(yL), gateAttack_, s.gateRelease);
        gate_[kRight].follow(std::fabs(yR), gateAttack_, s.gateRelease);

        // Filter placement: what is fed back and what is heard.
        double heardL = yL, heardR = yR;
        double fedL = yL, fedR = yR;
        if (s.filterOn && s.filterMode != kFilterAtInput) {
            double zL = yL, zR = yR;
            svf_.process(zL, zR, s.filterType);
            heardL = zL;
            heardR = zR;
            if (s.filterMode == kFilterInFeedback) {
                fedL = zL;
                fedR = zR;
            }
        }
        fb_[kLeft] = fedL * s.fbSign[kLeft];
        fb_[kRight] = fedR * s.fbSign[kRight];

        // Look-ahead: what is heard leaves 1 ms after the gate saw it.
        lookAhead_.exchange(heardL, heardR);

        // Wet signal: gate (squared), polarity, pan, mix.
        const double gainL = gate_[kLeft].gain(c[kGateThresholdL]);
        const double gainR = gate_[kRight].gain(c[kGateThresholdR]);
        const double pL = gainL * gainL * heardL * s.dlySign[kLeft];
        const double pR = gainR * gainR * heardR * s.dlySign[kRight];
        const double wR = pL * c[kDlyPanL] + pR * c[kDlyPanR];
        const double wL = pL + pR - wR;
        const double dryShare = 1.0 - c[kMix];
        double wetL = c[kMix] * wL + dryShare * xL * s.dryToReverb + kWetOffset;
        double wetR = c[kMix] * wR + dryShare * xR * s.dryToReverb + kWetOffset;

        // Reverb; while it is off its tail waits.
        if (s.reverbOn) reverb_.process(wetL, wetR, s.reverbAmount);

        // Ducking by the louder key channel.
        ducker_.follow(std::max(std::fabs(keyInL), std::fabs(keyInR)), duckAttack_, s.duckRelease);
        const double duck = ducker_.gain(s.duckThreshold);

        // Output.
        double left = (xL * s.dryToOutput * dryShare + duck * wetL) * c[kOutputGain];
        double right = (xR * s.dryToOutput * dryShare + duck * wetR) * c[kOutputGain];
        engineGuard += (left + right) * 0.0;  // stays 0 unless something went non-finite

        // Bypass: the raw input, while everything above keeps running.
        if (s.bypass) {
            left = rawL;
            right = rawR;
        }

        writeFrame(outL, outR, i, left, right);
    }

    std::memcpy(controls_.current, c, sizeof c);

    // While the clock is off, the anti-alias filter holds the last line inputs, so that
    // switching the clock on starts without a step.
    if (!s.clockOn) antiAlias_.prime(lastLineInput_[kLeft], lastLineInput_[kRight]);

    // Whatever got through, no non-finite sample reaches the host, and a poisoned state
    // starts over from silence.
    if (!std::isfinite(engineGuard) || !stateIsFinite()) recoverFromFault();
    zeroNonFinite(outL, frames);
    if (outR != outL) zeroNonFinite(outR, frames);
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
