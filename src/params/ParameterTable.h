// The vocabulary of the effect's 60 parameters: index, name, unit label, kind and the
// stepping hint offered to hosts. Everything a host lists comes from this one table.
#pragma once

namespace params {

enum Index : int {
    kInput, kOutput, kMix, kFbGainL, kFbGainR, kFbPanL, kFbPanR, kFbInvL, kFbInvR, kLfoWave,
    kLfoRate, kLrOffset, kModSrc, kCutfMod, kFltType, kCutoff, kReso, kVcoMan, kVcoMod, kDlyInvL,
    kDlyInvR, kDrive, kEnvSpeed, kFltMode, kDlyModeL, kDlyModeR, kDlyNumL, kDlyNumR, kDlyDenL, kDlyDenR,
    kRangeL, kRangeR, kLfoMode, kLfoNum, kLfoDen, kDlyTimeL, kDlyTimeR, kRvbMode, kRvbType, kRvbDamp,
    kRvbAmt, kBypass, kFltOn, kUnused43, kUnused44, kVcoOn, kRvbOn, kModSens, kDlyPanL, kDlyPanR,
    kDlyGateL, kDlyGateR, kDucking, kResoMod, kPreNumL, kPreNumR, kPreDenL, kPreDenR, kMuteInL, kMuteInR,
    kNumParameters
};

// Indices 60..119 carry the MIDI controller assignment of parameter index - 60.
constexpr int kFirstAssignment = kNumParameters;
constexpr int kLastAssignment = 2 * kNumParameters - 1;

enum class Kind {
    Continuous,
    Switch,      // two positions, on from 0.5
    MuteSwitch,  // two positions, on above 0.5
    Selector,    // n positions
    None,        // kept in programs only
};

enum class Hint {
    None,       // no stepping hint: the host's record is left alone
    Switch,     // on/off switch
    Integer,    // 1..positions in steps of 1
    EnvSpeed,   // one millisecond of envelope time per small step
    DelayTime,  // fine float steps for the free delay time
};

struct ParameterInfo {
    const char* name;   // at most 8 characters
    const char* label;  // unit text, may be empty
    Kind kind;
    int positions;  // for selectors and switches
    Hint hint;
};

extern const ParameterInfo kParameterTable[kNumParameters];

inline bool isParameter(int index) { return index >= 0 && index < kNumParameters; }
inline bool isAssignment(int index) { return index >= kFirstAssignment && index <= kLastAssignment; }

// The name a host or the editor shows: the table's name for 0..59, "CC# " + name for
// 60..119; false (text untouched) for any other index. `text` holds at least 13 bytes.
bool parameterName(int index, char* text);
// The unit label, or an empty text for indices without one.
void parameterLabel(int index, char* text);

}  // namespace params
