// The digit display's value of each item. Every number comes from the quantity the mapping
// produced (a target, the LFO rate, a delay time, the tempo) or from the shared formulas
// of Mapping.h, as the display texts do.
#include <cmath>

#include "Mapping.h"
#include "Parameters.h"

namespace params {

namespace {

// Levels below -98 dB are shown as -100.
double decibels(double q) { return q >= std::pow(10.0, -4.9) ? 20.0 * std::log10(q) : -100.0; }

// A magnitude takes the finest of the four ranges (0.000, 00.00, 000.0, 0000) that still
// holds it in four digits after rounding, so 9.9996 reads 10.00 and 999.97 reads 1000
// rather than spilling into a fifth digit. Anything beyond 9999 stays at 9999.
void setNumber(DisplayValue& out, double d, bool isSigned) {
    struct Range {
        double scale;
        int point;
    };
    static constexpr Range kRanges[] = {{1000.0, 1}, {100.0, 2}, {10.0, 3}, {1.0, 0}};
    double e = std::fabs(d);
    if (!(e >= 0.0)) e = 0.0;  // NaN
    int number = 9999;
    int point = 0;
    for (const Range& r : kRanges) {
        const double scaled = e * r.scale + 0.5;
        if (scaled < 10000.0) {
            number = static_cast<int>(scaled);
            point = r.point;
            break;
        }
    }
    out.number = d < 0.0 ? -number : number;
    out.point = point;
    out.isSigned = isSigned;
    out.ratioMode = 0;
}

// A balance reads left:right in percent with a separator mark between them. The two ends
// need three digits on one side, so the mark moves: 0:100 and 100:0.
void setRatio(DisplayValue& out, double x) {
    const int k = balanceStep(x);
    if (k >= 100) {
        out.ratioMode = 1;
        out.number = 100;
    } else if (k == 0) {
        out.ratioMode = 3;
        out.number = 1000;
    } else {
        out.ratioMode = 2;
        out.number = k + (100 - k) * 100;
    }
    out.point = 0;
    out.isSigned = false;
}

void setFraction(DisplayValue& out, int numerator, int denominator) {
    out.numerator = numerator;
    out.denominator = denominator;
}

}  // namespace

void Parameters::displayValue(int item, DisplayValue& out) const {
    out.numerator = -1;
    const double x = isParameter(item) ? values_[item].load() : 0.0;

    switch (item) {
        case kInput:
        case kOutput: setNumber(out, decibels(gainTarget_[item - kInput]), true); break;
        case kFbGainL:
        case kFbGainR: setNumber(out, decibels(x), true); break;  // the feedback gain is x itself
        case kDlyGateL:
        case kDlyGateR: setNumber(out, decibels(gateThreshold_[item - kDlyGateL]), true); break;
        case kMix:
        case kFbPanL:
        case kFbPanR:
        case kDlyPanL:
        case kDlyPanR:
        case kModSrc: setRatio(out, x); break;
        case kLfoRate: setNumber(out, engine_.lfoRate(), false); break;
        case kLrOffset: setNumber(out, lrOffsetTarget_ * 180.0 / static_cast<double>(kQuarterTurn), true); break;
        case kCutfMod:
        case kVcoMod:
        case kResoMod: setNumber(out, depthOf(x) * 100.0, true); break;
        case kCutoff: setNumber(out, cutoffTarget_ / 1000.0, false); break;
        case kReso:
        case kRvbDamp:
        case kDucking: setNumber(out, minus24Scale(x), true); break;
        case kVcoMan: setNumber(out, clockFactorOf(x), false); break;
        case kDrive: setNumber(out, 20.0 * std::log10(driveTarget_.load()), true); break;
        case kEnvSpeed: setNumber(out, envLengthMs(x), false); break;
        case kDlyTimeL:
        case kDlyTimeR: setNumber(out, engine_.delayTime(item - kDlyTimeL), false); break;
        case kRvbAmt: setNumber(out, 100.0 * x, false); break;
        // Shown unsigned: the factor is never below 1 within the control's range.
        case kModSens: setNumber(out, modSensFactorOf(x) * 10.0, false); break;
        case kTempoItem: setNumber(out, tempo_, false); break;

        case kDlyNumL:
        case kDlyNumR:
        case kDlyDenL:
        case kDlyDenR: {
            const int side = (item - kDlyNumL) & 1;
            setFraction(out, engine::delayNumerators[delayNum_[side]], engine::noteDenominators[delayDen_[side]]);
            break;
        }
        case kLfoNum:
        case kLfoDen: setFraction(out, engine::lfoNumerators[lfoNum_], engine::noteDenominators[lfoDen_]); break;
        case kPreNumL:
        case kPreNumR:
        case kPreDenL:
        case kPreDenR: {
            const int side = (item - kPreNumL) & 1;
            setFraction(out, engine::preDelayNumerators[preNum_[side]], engine::noteDenominators[preDen_[side]]);
            break;
        }
        // Items without a value of their own (switches, selectors, anything else) read as
        // a plain zero rather than keep whatever was shown before.
        default: setNumber(out, 0.0, false); break;
    }
}

}  // namespace params
