#include "Parameters.h"

#include <algorithm>
#include <cmath>

#include "Mapping.h"
#include "Quantise.h"

namespace params {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kRangeMs[3] = {100.0, 1000.0, 5000.0};
// A free LFO rate has no upper limit for values within 0..1 (15 Hz at 1.0); far outside
// that range it is held finite so that the phase increment stays a number.
constexpr double kMaxFreeLfoRate = 1.0e6;

int sideOf(int leftIndex, int index) { return index - leftIndex; }

}  // namespace

Parameters::Parameters(engine::Engine& engine) : engine_(engine) {
    for (auto& v : values_) v = 0.0;
    // Before any value arrives both lines run free at 2000 ms: 0.4 of the 5000 ms range.
    // A side that a program then puts into note mode keeps this fraction for later.
    for (int side = 0; side < 2; ++side) {
        values_[kRangeL + side] = centreOf(2, 3);
        values_[kDlyTimeL + side] = 0.4;
        engine_.setDelayTime(side, 0.4 * kRangeMs[2]);
    }
}

double Parameters::value(int index) const { return isParameter(index) ? values_[index].load() : 0.0; }

void Parameters::setStoredValue(int index, double value) {
    if (isParameter(index) && std::isfinite(value)) values_[index] = value;
}

void Parameters::rewrite(int index, double value) {
    values_[index] = value;
    if (listener_) listener_->valueRewritten(index, static_cast<float>(value));
}

void Parameters::setDelayTimeClamped(int side, double ms) {
    // Whatever arrives, a line is never asked for less than nothing or more than it holds.
    if (!(ms > 0.0)) ms = 0.0;
    if (ms > engine::kMaxDelayMs) ms = engine::kMaxDelayMs;
    engine_.setDelayTime(side, ms);
}

void Parameters::updatePreDelay(int side) { engine_.setPreDelay(side, preNum_[side], preDen_[side]); }

double Parameters::noteTimeMs(int side) const {
    return engine::noteTimeMs(engine::delayNumerators[delayNum_[side]], engine::noteDenominators[delayDen_[side]],
                              tempo_);
}

double Parameters::lfoNoteRate() const {
    return engine::noteRateHz(engine::lfoNumerators[lfoNum_], engine::noteDenominators[lfoDen_], tempo_);
}

void Parameters::apply(int index, float value) {
    if (!isParameter(index) || !std::isfinite(value)) return;
    const double x = value;

    switch (index) {
        case kInput:
        case kOutput: {
            values_[index] = x;
            const double gain = 4.0 * static_cast<double>(value * value);
            gainTarget_[index - kInput] = gain;
            if (index == kInput)
                engine_.setInputGainTarget(gain);
            else
                engine_.setOutputGainTarget(gain);
            break;
        }
        case kMix: values_[index] = x; engine_.setMixTarget(x); break;
        case kFbGainL:
        case kFbGainR: values_[index] = x; engine_.setFeedbackGainTarget(sideOf(kFbGainL, index), x); break;
        case kFbPanL:
        case kFbPanR: values_[index] = x; engine_.setFeedbackPanTarget(sideOf(kFbPanL, index), x); break;
        case kModSrc: values_[index] = x; engine_.setModSourceTarget(x); break;
        case kDlyPanL:
        case kDlyPanR: values_[index] = x; engine_.setDelayPanTarget(sideOf(kDlyPanL, index), x); break;

        case kFbInvL:
        case kFbInvR: values_[index] = x; engine_.setFeedbackInvert(sideOf(kFbInvL, index), switchOn(x)); break;
        case kDlyInvL:
        case kDlyInvR: values_[index] = x; engine_.setDelayInvert(sideOf(kDlyInvL, index), switchOn(x)); break;

        case kLfoWave: values_[index] = x; engine_.setLfoWave(positionOf(x, 5)); break;
        case kLfoRate: {
            values_[index] = x;
            // In note mode this free rate holds until the next tempo recomputation.
            double rate = std::pow(16.0, x) - 1.0;
            rate = std::min(std::max(rate, engine::kMinLfoRateHz), kMaxFreeLfoRate);
            engine_.setLfoRate(rate);
            break;
        }
        case kLrOffset: {
            values_[index] = x;
            const double offset = (x - 0.5) * kPi;
            lrOffsetTarget_ = offset;
            engine_.setLrOffsetTarget(offset);
            break;
        }
        case kCutfMod: values_[index] = x; engine_.setCutoffModTarget(depthOf(x)); break;
        case kVcoMan: values_[index] = x; engine_.setVcoManual(depthOf(x)); break;
        case kVcoMod: values_[index] = x; engine_.setVcoModTarget(depthOf(x)); break;
        case kResoMod: values_[index] = x; engine_.setResoModTarget(depthOf(x)); break;

        case kFltType: values_[index] = x; engine_.setFilterType(positionOf(x, 3)); break;
        case kFltMode: values_[index] = x; engine_.setFilterMode(positionOf(x, 3)); break;
        case kCutoff: {
            values_[index] = x;
            double hz = 64.0 * std::pow(2.0, 8.0 * x) - 14.0;
            if (hz > 16000.0) hz = 16000.0;
            if (hz > engine_.sampleRate() / 2.0) hz = engine_.sampleRate() / 2.0;
            cutoffTarget_ = hz;
            engine_.setCutoffTarget(hz);
            break;
        }
        case kReso: values_[index] = x; engine_.setResonanceTarget(std::max(x, 0.05)); break;
        case kDrive: {
            values_[index] = x;
            double gain = std::pow(2.0, 4.0 * x);
            driveTarget_ = gain;
            engine_.setDriveTarget(gain, x > 0.0);
            break;
        }
        case kEnvSpeed: values_[index] = x; engine_.setEnvSpeed(x); break;

        case kDlyModeL:
        case kDlyModeR: {
            const int side = sideOf(kDlyModeL, index);
            values_[index] = x;
            delayMode_[side] = switchOn(x) ? 1 : 0;
            if (delayMode_[side])
                recomputeTempoSync(side == 0 ? kSyncLeft : kSyncRight);
            else
                applyTimeMode(side);
            break;
        }
        case kDlyNumL:
        case kDlyNumR: {
            const int side = sideOf(kDlyNumL, index);
            values_[index] = x;
            delayNum_[side] = positionOf(x, engine::kDelayNumeratorCount);
            recomputeTempoSync(side == 0 ? kSyncLeft : kSyncRight);
            break;
        }
        case kDlyDenL:
        case kDlyDenR: {
            const int side = sideOf(kDlyDenL, index);
            values_[index] = x;
            delayDen_[side] = positionOf(x, engine::kNoteDenominatorCount);
            recomputeTempoSync(side == 0 ? kSyncLeft : kSyncRight);
            break;
        }
        case kRangeL:
        case kRangeR: applyRange(sideOf(kRangeL, index), x); break;
        case kLfoMode:
            values_[index] = x;
            lfoMode_ = positionOf(x, 3);
            engine_.setLfoMode(lfoMode_);
            if (lfoMode_ != 0) recomputeTempoSync(kSyncLfo);
            break;
        case kLfoNum:
            values_[index] = x;
            lfoNum_ = positionOf(x, engine::kLfoNumeratorCount);
            engine_.setLfoNote(lfoNum_, lfoDen_);
            recomputeTempoSync(kSyncLfo);
            break;
        case kLfoDen:
            values_[index] = x;
            lfoDen_ = positionOf(x, engine::kNoteDenominatorCount);
            engine_.setLfoNote(lfoNum_, lfoDen_);
            recomputeTempoSync(kSyncLfo);
            break;
        case kDlyTimeL:
        case kDlyTimeR: applyDelayTime(sideOf(kDlyTimeL, index), x); break;

        case kRvbMode: values_[index] = x; engine_.setReverbMode(positionOf(x, 2)); break;
        case kRvbType:
            values_[index] = x;
            engine_.setReverbType(positionOf(x, 2));
            engine_.setReverbDamping(values_[kRvbDamp]);
            break;
        case kRvbDamp: values_[index] = x; engine_.setReverbDamping(x); break;
        case kRvbAmt: values_[index] = x; engine_.setReverbAmount(x); break;
        case kBypass: values_[index] = x; engine_.setBypass(switchOn(x)); break;
        case kFltOn: values_[index] = x; engine_.setFilterOn(switchOn(x)); break;
        case kVcoOn: values_[index] = x; engine_.setVcoOn(switchOn(x)); break;
        case kRvbOn: values_[index] = x; engine_.setReverbOn(switchOn(x)); break;
        case kModSens: values_[index] = x; engine_.setModSensitivity(modSensFactorOf(x)); break;
        case kDlyGateL:
        case kDlyGateR: {
            const int side = sideOf(kDlyGateL, index);
            values_[index] = x;
            const float threshold = value * value;
            gateThreshold_[side] = threshold;
            engine_.setGateThresholdTarget(side, threshold);
            break;
        }
        case kDucking: values_[index] = x; engine_.setDuckThreshold(std::pow(10.0, 1.5 * x - 1.5)); break;
        case kPreNumL:
        case kPreNumR: {
            const int side = sideOf(kPreNumL, index);
            values_[index] = x;
            preNum_[side] = positionOf(x, engine::kPreDelayNumeratorCount);
            updatePreDelay(side);
            break;
        }
        case kPreDenL:
        case kPreDenR: {
            const int side = sideOf(kPreDenL, index);
            values_[index] = x;
            preDen_[side] = positionOf(x, engine::kNoteDenominatorCount);
            updatePreDelay(side);
            break;
        }
        case kMuteInL:
        case kMuteInR:
            values_[index] = x;
            engine_.setInputMuteTarget(sideOf(kMuteInL, index), muteOn(x) ? 0.0 : 1.0);
            break;
        default:  // 43 and 44 carry nothing for the engine
            break;
    }
}

// Leaving note mode hands the current time to the free controls without a jump: the
// smallest range that holds it, and the fraction of that range.
void Parameters::applyTimeMode(int side) {
    const double t = engine_.delayTime(side);
    const int range = t > 1000.0 ? 2 : (t > 100.0 ? 1 : 0);
    rangeIndex_[side] = range;
    rangeMs_[side] = kRangeMs[range];
    rewrite(kRangeL + side, centreOf(range, 3));
    rewrite(kDlyTimeL + side, t / kRangeMs[range]);
}

// A new range keeps the time where it can; a fraction that would exceed the new range is
// limited to the whole range.
void Parameters::applyRange(int side, double x) {
    const double oldRangeMs = rangeMs_[side];
    values_[kRangeL + side] = x;
    const int range = positionOf(x, 3);
    rangeIndex_[side] = range;
    const double newRangeMs = kRangeMs[range];
    rangeMs_[side] = newRangeMs;
    const double fraction = std::min(1.0, oldRangeMs * values_[kDlyTimeL + side] / newRangeMs);
    rewrite(kDlyTimeL + side, fraction);
    setDelayTimeClamped(side, newRangeMs * fraction);
    recomputeTempoSync(side == 0 ? kSyncLeft : kSyncRight);
}

void Parameters::applyDelayTime(int side, double x) {
    if (delayMode_[side]) return;  // the note value rules; the value is not even stored
    values_[kDlyTimeL + side] = x;
    setDelayTimeClamped(side, x * rangeMs_[side]);
}

void Parameters::recomputeTempoSync(int which) {
    if ((which & kSyncLfo) && lfoMode_ != 0) {
        double rate = lfoNoteRate();
        rate = std::min(std::max(rate, engine::kMinLfoRateHz), engine::kMaxLfoRateHz);
        engine_.setLfoRate(rate);
    }
    for (int side = 0; side < 2; ++side) {
        const int bit = side == 0 ? kSyncLeft : kSyncRight;
        if ((which & bit) && delayMode_[side]) setDelayTimeClamped(side, noteTimeMs(side));
    }
    if (listener_) listener_->tempoChanged(tempo_);
}

void Parameters::setTempoPosition(double x) {
    // The control lives on 0..1; anything else would leave the 30..400 BPM range.
    if (!std::isfinite(x)) return;
    x = std::min(std::max(x, 0.0), 1.0);
    tempoPosition_ = x;
    tempo_ = 370.0 * x + 30.0;
    recomputeTempoSync(kSyncAll);
}

bool Parameters::adoptBlockTempo(double bpm) {
    if (!(bpm >= engine::kMinTempo && bpm <= engine::kMaxTempo) || bpm == tempo_) return false;
    tempo_ = bpm;
    tempoPosition_ = (bpm - 30.0) / 370.0;
    recomputeTempoSync(kSyncAll);
    return true;
}

void Parameters::adoptResumeTempo(double bpm) {
    if (!std::isfinite(bpm) || !(bpm > 0.0)) return;
    bpm = std::min(std::max(bpm, engine::kMinTempo), engine::kMaxTempo);
    tempo_ = bpm;
    tempoPosition_ = (bpm - 30.0) / 370.0;
    recomputeTempoSync(kSyncAll);
}

bool Parameters::limitQuery(int selector) const {
    switch (selector) {
        case kLimitLeftNote: return noteTimeMs(0) > engine::kMaxDelayMs;
        case kLimitRightNote: return noteTimeMs(1) > engine::kMaxDelayMs;
        case kLimitLfoNote: {
            const double rate = lfoNoteRate();
            return rate > engine::kMaxLfoRateHz || rate < engine::kMinLfoRateHz;
        }
        case kLimitLeftPreDelay:
        case kLimitRightPreDelay: {
            const int side = selector == kLimitLeftPreDelay ? 0 : 1;
            return static_cast<double>(engine::preDelayNumerators[preNum_[side]]) /
                       engine::noteDenominators[preDen_[side]] >
                   1.0;
        }
        default: return false;
    }
}

}  // namespace params
