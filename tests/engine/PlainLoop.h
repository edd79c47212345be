// The engine's processing loop as plainly as it can be written: one pass per sample, every
// stage called where the signal path puts it, every switch tested where it acts. The
// engine's own loop is arranged for speed; the tests require it to give exactly the
// samples this one gives.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "Engine.h"

namespace engine {

namespace plain {

constexpr double kWetOffset = 1e-15;
constexpr int kReverbModeOut = 1;
constexpr int kFilterAtInput = 0;
constexpr int kFilterInFeedback = 1;
constexpr int kLfoModeSongLocked = 2;

inline int clampIndex(int position, int count) { return position < 0 ? 0 : (position >= count ? count - 1 : position); }

// A sample a host passes that is not a number (or is infinite) would stay in the delay
// lines and envelopes for good; it counts as silence.
inline double finiteOrZero(double v) { return std::isfinite(v) ? v : 0.0; }

template <typename T>
inline double sampleAt(const T* buffer, int32_t i) {
    return buffer ? static_cast<double>(buffer[i]) : 0.0;
}

// A value outside the normal numbers of the host's type (judged before narrowing) goes out
// as 0.
template <typename T>
inline T narrow(double v) {
    const double m = std::fabs(v);
    if (m < static_cast<double>(std::numeric_limits<T>::min())) return T(0);
    if (!(m <= static_cast<double>(std::numeric_limits<T>::max()))) return T(0);
    return static_cast<T>(v);
}

// Right first, then left, then right added: a single buffer named for both sides
// receives the sum. A 32-bit output is narrowed side by side and summed in float.
template <typename T>
inline void writeFrame(T* outL, T* outR, int32_t i, double left, double right) {
    const T l = narrow<T>(left), r = narrow<T>(right);
    if (outR) outR[i] = T(0);
    if (outL) outL[i] = l;
    if (outR) outR[i] += r;
}

// Nothing that is not finite, nor any denormal (a sum of two sides can make one), reaches the host.
template <typename T>
void zeroNonNormal(T* out, int32_t frames) {
    if (!out) return;
    for (int32_t i = 0; i < frames; ++i)
        if (!std::isfinite(out[i]) || std::fabs(out[i]) < std::numeric_limits<T>::min()) out[i] = T(0);
}

}  // namespace plain

struct PlainLoop {
    struct BlockSettings {
        double dryToOutput, dryToReverb;
        double fbSign[2], dlySign[2];
        double duckThreshold;
        double gateRelease, duckRelease;
        double modSensGain, envCoefficient, vcoManual, reverbAmount;
        bool filterOn, clockOn, driveOn, reverbOn, bypass;
        int filterMode, filterType, lfoWave;
    };

    static double fadeLine(Engine& e, int side, double y, double factor) {
        DelayLine& line = e.line_[side];
        const bool waiting = e.timeChanged_[side].load(std::memory_order_acquire) != 0;
        if (line.stepFade(waiting, factor)) {
            e.timeChanged_[side].exchange(0, std::memory_order_acq_rel);
            e.placeLine(side);
        }
        return y * line.fadeGain;
    }

    static double clockStep(Engine& e, int side, double vcoManual, double vcoModDepth) {
        DelayLine& line = e.line_[side];
        const double v = ClockedDelay::rateFor(e.tables_, vcoManual, vcoModDepth, e.modulation_.m[side]);
        return e.clock_[side].step(v, line.buffer.data(), line.length, line.write, line.feedback, line.read);
    }

    template <typename T>
    static void process(Engine& e, const T* inL, const T* inR, const T* keyL, const T* keyR, T* outL, T* outR, int32_t frames,
                        const BlockTime& time) {
        using namespace plain;
        if (frames < 0) frames = 0;

        // Switches, signs and coefficients hold for the whole block.
        BlockSettings s;
        // Dry routing: "fx" mixes the dry signal at the output, "out" sends it through the
        // wet path (reverb and ducking).
        const bool dryThroughWet = e.rvbMode_ == kReverbModeOut;
        s.dryToOutput = dryThroughWet ? 0.0 : 1.0;
        s.dryToReverb = dryThroughWet ? 1.0 : 0.0;
        for (int side = 0; side < 2; ++side) {
            s.fbSign[side] = e.fbSign_[side];
            s.dlySign[side] = e.dlySign_[side];
        }
        s.duckThreshold = e.duckThreshold_;
        s.gateRelease = e.gateRelease_;
        s.duckRelease = e.duckRelease_;
        s.modSensGain = e.modSensGain_;
        s.envCoefficient = e.envCoefficient_;
        s.vcoManual = e.vcoMan_;
        s.reverbAmount = e.rvbAmt_;
        s.filterOn = e.fltOn_ != 0;
        s.filterMode = e.fltMode_;
        s.filterType = e.fltType_;
        s.lfoWave = e.lfoWave_;
        s.clockOn = e.vcoOn_ != 0;
        s.driveOn = e.driveActive_ != 0;
        // A reverb without buffers (its memory could never be had) is not run.
        s.reverbOn = e.rvbOn_ != 0 && e.reverb_.ready();
        s.bypass = e.bypass_ != 0;

        // Recovering from an overflow: the chain waits, the output is silent (bypassed: the
        // raw input).
        if (e.continueRecovery(frames)) {
            for (int32_t i = 0; i < frames; ++i) {
                const double rawL = sampleAt(inL, i), rawR = sampleAt(inR, i);
                writeFrame(outL, outR, i, s.bypass ? rawL : 0.0, s.bypass ? rawR : 0.0);
            }
            zeroNonNormal(outL, frames);
            if (outR != outL) zeroNonNormal(outR, frames);
            return;
        }

        // Drive window sums rebuilt from the rings.
        e.drive_.beginBlock();

        // LFO increment for the block, and the song-position lock.
        e.lfo_.beginBlock(e.lfoPhaseStep_);
        if (e.lfoMode_ == kLfoModeSongLocked)
            e.lfo_.lockToSong(time.hasSongPosition, time.ppqPos, lfoNumerators[clampIndex(e.lfoNum_, kLfoNumeratorCount)],
                            noteDenominators[clampIndex(e.lfoDen_, kNoteDenominatorCount)]);

        double c[kSmoothedCount];
        std::memcpy(c, e.controls_.current, sizeof c);
        // The filter corner never starts a block above half the sample rate.
        c[kCutoff] = std::min(c[kCutoff], e.sampleRate_ * 0.5);

        const double step = e.smoothingStep_;
        bool beyond = false;  // a sample beyond the output ceiling

        for (int32_t i = 0; i < frames; ++i) {
            // The host may process in place: read the whole frame before writing any of it.
            const double rawL = sampleAt(inL, i), rawR = sampleAt(inR, i);
            const double keyInL = finiteOrZero(sampleAt(keyL, i)), keyInR = finiteOrZero(sampleAt(keyR, i));

            // Smoothing.
            for (int k = 0; k < kSmoothedCount; ++k) c[k] = glide(c[k], e.controls_.target[k].load(), step);

            // Input gain.
            double xL = c[kInputGain] * finiteOrZero(rawL);
            double xR = c[kInputGain] * finiteOrZero(rawR);

            // Input meter.
            e.meter_.push(static_cast<float>(xL), static_cast<float>(xR));

            // Filter coefficients (from last sample's cutoff factor and right modulation
            // signal), and the filter itself when placed at the input.
            if (s.filterOn) {
                e.svf_.computeCoefficients(e.tables_, c[kCutoff], e.modulation_.cutoffFactor, c[kResonance], c[kResoMod],
                                         e.modulation_.m[kRight]);
                if (s.filterMode == kFilterAtInput) e.svf_.process(xL, xR, s.filterType);
            }
            // From here on xL, xR are the dry signal.

            // Delay-line input, band-limited for the clocked lines.
            double dL = xL, dR = xR;
            if (s.clockOn) e.antiAlias_.process(dL, dR);

            // Drive window and envelope followers (on |d| before the drive gain), then drive.
            e.drive_.step(dL, dR, c[kDriveGain]);
            e.followers_.step(dL, dR, s.modSensGain, s.envCoefficient);
            e.lastLineInput_[kLeft] = dL;
            e.lastLineInput_[kRight] = dR;
            if (s.driveOn) e.drive_.apply(dL, dR);

            // Modulation: LFO shapes, the blend with the envelopes, the cutoff factor.
            e.lfo_.step(e.tables_, s.lfoWave, c[kLrOffset]);
            e.modulation_.step(e.tables_, e.lfo_.out, e.followers_.env, c[kModSource], c[kCutoffMod]);

            // Feedback network input, and the muted line inputs (into the clock histories
            // whether the clock runs or not).
            const FeedbackInput f = feedbackInput(e.fb_, c[kFbGainL], c[kFbGainR], c[kFbPanL], c[kFbPanR]);
            const double lineInL = dL * c[kMuteGainL];
            const double lineInR = dR * c[kMuteGainR];
            e.clock_[kLeft].push(lineInL, f.left);
            e.clock_[kRight].push(lineInR, f.right);

            // Delay lines: clocked, or one step per sample.
            double yL, yR;
            if (s.clockOn) {
                yL = clockStep(e, kLeft, s.vcoManual, c[kVcoMod]);
                yR = clockStep(e, kRight, s.vcoManual, c[kVcoMod]);
            } else {
                yL = e.line_[kLeft].step(lineInL, f.left);
                yR = e.line_[kRight].step(lineInR, f.right);
                e.clock_[kLeft].follow(yL);
                e.clock_[kRight].follow(yR);
            }

            // Delay-time fades.
            yL = fadeLine(e, kLeft, yL, e.fadeFactor_);
            yR = fadeLine(e, kRight, yR, e.fadeFactor_);

            // Gate envelopes on the faded outputs.
            e.gate_[kLeft].follow(std::fabs(yL), e.gateAttack_, s.gateRelease);
            e.gate_[kRight].follow(std::fabs(yR), e.gateAttack_, s.gateRelease);

            // Filter placement: what is fed back and what is heard.
            double heardL = yL, heardR = yR;
            double fedL = yL, fedR = yR;
            if (s.filterOn && s.filterMode != kFilterAtInput) {
                double zL = yL, zR = yR;
                e.svf_.process(zL, zR, s.filterType);
                heardL = zL;
                heardR = zR;
                if (s.filterMode == kFilterInFeedback) {
                    fedL = zL;
                    fedR = zR;
                }
            }
            e.fb_[kLeft] = FeedbackLimit::apply(fedL * s.fbSign[kLeft]);
            e.fb_[kRight] = FeedbackLimit::apply(fedR * s.fbSign[kRight]);

            // Look-ahead: what is heard leaves 1 ms after the gate saw it.
            e.lookAhead_.exchange(heardL, heardR);

            // Wet signal: gate (squared), polarity, pan, mix.
            const double gainL = e.gate_[kLeft].gain(c[kGateThresholdL]);
            const double gainR = e.gate_[kRight].gain(c[kGateThresholdR]);
            const double pL = gainL * gainL * heardL * s.dlySign[kLeft];
            const double pR = gainR * gainR * heardR * s.dlySign[kRight];
            const double wR = pL * c[kDlyPanL] + pR * c[kDlyPanR];
            const double wL = pL + pR - wR;
            const double dryShare = 1.0 - c[kMix];
            double wetL = c[kMix] * wL + dryShare * xL * s.dryToReverb + kWetOffset;
            double wetR = c[kMix] * wR + dryShare * xR * s.dryToReverb + kWetOffset;

            // Reverb; while it is off its tail waits.
            if (s.reverbOn) e.reverb_.process(wetL, wetR, s.reverbAmount);

            // Ducking by the louder key channel.
            e.ducker_.follow(std::max(std::fabs(keyInL), std::fabs(keyInR)), e.duckAttack_, s.duckRelease);
            const double duck = e.ducker_.gain(s.duckThreshold);

            // Output.
            double left = (xL * s.dryToOutput * dryShare + duck * wetL) * c[kOutputGain];
            double right = (xR * s.dryToOutput * dryShare + duck * wetR) * c[kOutputGain];
            // Beyond the ceiling: silent from here on (bypassed, the raw input goes on).
            if (!(std::fabs(left) <= Engine::kOutputCeiling) || !(std::fabs(right) <= Engine::kOutputCeiling)) {
                beyond = true;
                for (int32_t j = i; j < frames; ++j) {
                    const double l = sampleAt(inL, j), r = sampleAt(inR, j);
                    writeFrame(outL, outR, j, s.bypass ? l : 0.0, s.bypass ? r : 0.0);
                }
                if (!s.bypass) e.ceilingActions_.fetch_add(1);
                break;
            }

            // Bypass: the raw input, while everything above keeps running.
            if (s.bypass) {
                left = rawL;
                right = rawR;
            }

            writeFrame(outL, outR, i, left, right);
        }

        std::memcpy(e.controls_.current, c, sizeof c);
        e.controls_.touched = true;

        // While the clock is off, the anti-alias filter holds the last line inputs, so that
        // switching the clock on starts without a step.
        if (!s.clockOn) e.antiAlias_.prime(e.lastLineInput_[kLeft], e.lastLineInput_[kRight]);

        // Whatever got through, no non-finite sample reaches the host, and a poisoned state
        // starts over from silence.
        if (beyond || !e.stateIsFinite()) e.recoverFromFault();
        zeroNonNormal(outL, frames);
        if (outR != outL) zeroNonNormal(outR, frames);
    }

};

}  // namespace engine
