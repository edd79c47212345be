#include "ParameterTable.h"

#include <cstring>

namespace params {

namespace {
constexpr ParameterInfo cont(const char* name, const char* label) {
    return {name, label, Kind::Continuous, 0, Hint::None};
}
constexpr ParameterInfo sw(const char* name) { return {name, "", Kind::Switch, 2, Hint::Switch}; }
constexpr ParameterInfo sel(const char* name, const char* label, int n) {
    return {name, label, Kind::Selector, n, Hint::Integer};
}
}  // namespace

const ParameterInfo kParameterTable[kNumParameters] = {
    cont("Input", "dB"),
    cont("Output", "dB"),
    cont("Mix", "%"),
    cont("FbGainL", "dB"),
    cont("FbGainR", "dB"),
    cont("FbPanL", "%"),
    cont("FbPanR", "%"),
    sw("FbInvL"),
    sw("FbInvR"),
    sel("LFOWave", "", 5),
    cont("LFORate", "Hz"),
    cont("LROffset", "deg"),
    cont("ModSrc", "%"),
    cont("CutfMod", "%"),
    sel("FltType", "", 3),
    cont("Cutoff", "Hz"),
    cont("Reso", ""),
    cont("VcoMan", "x"),
    cont("VcoMod", "%"),
    sw("DlyInvL"),
    sw("DlyInvR"),
    cont("Drive", "dB"),
    {"EnvSpeed", "ms", Kind::Continuous, 0, Hint::EnvSpeed},
    sel("FltMode", "", 3),
    sw("DlyModeL"),
    sw("DlyModeR"),
    sel("DlyNumL", "", 5),
    sel("DlyNumR", "", 5),
    sel("DlyDenL", "", 13),
    sel("DlyDenR", "", 13),
    sel("RangeL", "ms", 3),
    sel("RangeR", "ms", 3),
    // Three positions (free, note, note locked to the song position), so it is stepped
    // like the other three-position selectors rather than flagged as a switch.
    sel("LfoMode", "", 3),
    sel("LfoNum", "", 5),
    sel("LfoDen", "", 13),
    {"DlyTimeL", "ms", Kind::Continuous, 0, Hint::DelayTime},
    {"DlyTimeR", "ms", Kind::Continuous, 0, Hint::DelayTime},
    sw("RvbMode"),
    sw("RvbType"),
    cont("RvbDamp", "%"),
    cont("RvbAmt", "%"),
    sw("Bypass"),
    sw("FltOn"),
    {"n/a", "", Kind::None, 2, Hint::Switch},
    {"n/a", "", Kind::None, 2, Hint::Switch},
    sw("VcoOn"),
    sw("RvbOn"),
    cont("ModSens", "%"),
    cont("DlyPanL", "%"),
    cont("DlyPanR", "%"),
    cont("DlyGateL", "dB"),
    cont("DlyGateR", "dB"),
    cont("Ducking", "%"),
    cont("ResoMod", ""),
    sel("PreNumL", "", 6),
    sel("PreNumR", "", 6),
    sel("PreDenL", "", 13),
    sel("PreDenR", "", 13),
    {"MuteInL", "", Kind::MuteSwitch, 2, Hint::Switch},
    {"MuteInR", "", Kind::MuteSwitch, 2, Hint::Switch},
};

bool parameterName(int index, char* text) {
    if (!text) return false;
    if (isParameter(index)) {
        std::strcpy(text, kParameterTable[index].name);
        return true;
    }
    if (isAssignment(index)) {
        std::strcpy(text, "CC# ");
        std::strcat(text, kParameterTable[index - kFirstAssignment].name);
        return true;
    }
    return false;
}

void parameterLabel(int index, char* text) {
    if (!text) return;
    std::strcpy(text, isParameter(index) ? kParameterTable[index].label : "");
}

}  // namespace params
