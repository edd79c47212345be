// Display texts of the 60 parameters. Each text is computed from the quantity the
// mapping produced, so what is shown cannot drift from what is heard. Values outside
// 0..1 are shown within the same families, clamped where a number would grow past the
// 14 characters a text may take.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "../vst/vststrings.h"
#include "Mapping.h"
#include "Parameters.h"
#include "Quantise.h"

namespace params {

namespace {

constexpr int kFormatLimit = 12;  // the routines are called with this length limit

int truncatedInt(double v) {
    if (!(v > -2147483648.0)) return INT32_MIN;
    if (v >= 2147483647.0) return INT32_MAX;
    return static_cast<int>(v);
}

void put(char* text, const char* s) { vst::copyString(text, s, Parameters::kDisplayLength); }

// printf into the text, never more than a display text may hold.
template <typename... Args>
void format(char* text, const char* fmt, Args... args) {
    char scratch[64];
    std::snprintf(scratch, sizeof scratch, fmt, args...);
    put(text, scratch);
}

// "D:%d<>%d:W" and its relatives: the value in 101 steps, the last one counting as 100.
void balance(char* text, double x, const char* pattern) {
    const int v = std::min(balanceStep(x), 100);
    format(text, pattern, 100 - v, v);
}

// Whole percent of a signed value; a value that rounds to 0 gets no minus sign.
void signedPercent(char* text, double v) {
    const float magnitude = std::fabs(static_cast<float>(v)) * 100.0f + 0.5f;
    const int n = clampedFloor(magnitude, 0, 99999999);
    if (v < 0 && n != 0)
        format(text, "-%d", n);
    else
        format(text, "%d", n);
}

void number(char* text, int n) { format(text, "%d", n); }

}  // namespace

void Parameters::display(int index, char* text) const {
    if (!text || !isParameter(index)) return;
    const double x = values_[index];

    switch (index) {
        case kInput:
        case kOutput: vst::dB2string(static_cast<float>(gainTarget_[index - kInput].load()), text, kFormatLimit); break;
        case kMix: balance(text, x, "D:%d<>%d:W"); break;
        case kFbGainL:
        case kFbGainR: vst::dB2string(static_cast<float>(x), text, kFormatLimit); break;
        case kFbPanL:
        case kFbPanR:
        case kDlyPanL:
        case kDlyPanR: balance(text, x, "L:%d<>%d:R"); break;
        case kModSrc: balance(text, x, "L:%d<>%d:E"); break;
        case kFbInvL:
        case kFbInvR:
        case kDlyInvL:
        case kDlyInvR:
        case kBypass:
        case kFltOn:
        case kVcoOn:
        case kRvbOn: put(text, switchOn(x) ? "on" : "off"); break;
        case kLfoWave: {
            static const char* const kWaves[] = {"sin", "sqr", "tri", "saw", "rnd"};
            const int p = positionOf(x, 5);
            put(text, p >= 0 && p < 5 ? kWaves[p] : "err");
            break;
        }
        case kLfoRate: vst::float2string(static_cast<float>(engine_.lfoRate()), text, kFormatLimit); break;
        case kLrOffset: {
            const double offset = lrOffsetTarget_;
            const float degrees = std::fabs(static_cast<float>(offset)) / kQuarterTurn * 180.0f + 0.5f;
            const int n = clampedFloor(degrees, 0, 999);
            if (n == 0)
                put(text, "L:0<>0:R");
            else if (offset < 0)
                format(text, "L:+%d<>%d-:R", n, n);
            else
                format(text, "L:-%d<>%d+:R", n, n);
            break;
        }
        case kCutfMod:
        case kVcoMod:
        case kResoMod: signedPercent(text, depthOf(x)); break;
        case kFltType: {
            static const char* const kTypes[] = {"LPF", "BPF", "HPF"};
            put(text, kTypes[positionOf(x, 3)]);
            break;
        }
        case kCutoff: vst::int2string(truncatedInt(cutoffTarget_), text, kFormatLimit); break;
        case kReso: vst::float2string(static_cast<float>(10.0 * x), text, kFormatLimit); break;
        case kVcoMan: vst::float2string(clockFactorOf(x), text, kFormatLimit); break;
        case kDrive: vst::dB2string(static_cast<float>(driveTarget_.load()), text, kFormatLimit); break;
        case kEnvSpeed: vst::int2string(truncatedInt(envLengthMs(x) + 0.5), text, kFormatLimit); break;
        case kFltMode: {
            static const char* const kModes[] = {"in", "fb", "fx"};
            put(text, kModes[positionOf(x, 3)]);
            break;
        }
        case kDlyModeL:
        case kDlyModeR: put(text, switchOn(x) ? "note" : "time"); break;
        case kDlyNumL:
        case kDlyNumR: number(text, engine::delayNumerators[positionOf(x, engine::kDelayNumeratorCount)]); break;
        case kDlyDenL:
        case kDlyDenR:
        case kLfoDen:
        case kPreDenL:
        case kPreDenR: number(text, engine::noteDenominators[positionOf(x, engine::kNoteDenominatorCount)]); break;
        case kRangeL:
        case kRangeR: number(text, static_cast<int>(rangeMs_[index - kRangeL] + 0.5)); break;
        case kLfoMode: put(text, positionOf(x, 3) == 0 ? "freq" : "note"); break;
        case kLfoNum: number(text, engine::lfoNumerators[positionOf(x, engine::kLfoNumeratorCount)]); break;
        case kDlyTimeL:
        case kDlyTimeR:
            format(text, "%f", engine_.delayTime(index - kDlyTimeL));
            break;
        case kRvbMode: put(text, switchOn(x) ? "out" : "fx"); break;
        case kRvbType: put(text, switchOn(x) ? "plate" : "spring"); break;
        case kRvbDamp:
        case kRvbAmt: vst::float2string(static_cast<float>(100.0 * x), text, kFormatLimit); break;
        case kUnused43:
        case kUnused44: put(text, "n/a"); break;
        case kModSens: signedPercent(text, x); break;
        case kDlyGateL:
        case kDlyGateR: vst::dB2string(gateThreshold_[index - kDlyGateL], text, kFormatLimit); break;
        case kDucking: vst::float2string(static_cast<float>(minus24Scale(x)), text, kFormatLimit); break;
        case kPreNumL:
        case kPreNumR:
            number(text, engine::preDelayNumerators[positionOf(x, engine::kPreDelayNumeratorCount)]);
            break;
        case kMuteInL:
        case kMuteInR: put(text, muteOn(x) ? "muted" : "off"); break;
        default: break;
    }
}

}  // namespace params
