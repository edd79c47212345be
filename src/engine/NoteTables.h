// Ratio tables of the note-value controls and the note-to-time rule, shared by the
// parameter mapping and the engine.
#pragma once

namespace engine {

constexpr int kLfoNumeratorCount = 5;
constexpr int kDelayNumeratorCount = 5;
constexpr int kPreDelayNumeratorCount = 6;
constexpr int kNoteDenominatorCount = 13;

constexpr int lfoNumerators[kLfoNumeratorCount] = {1, 2, 3, 4, 8};
constexpr int delayNumerators[kDelayNumeratorCount] = {1, 3, 5, 7, 9};
constexpr int preDelayNumerators[kPreDelayNumeratorCount] = {0, 1, 3, 5, 7, 9};
constexpr int noteDenominators[kNoteDenominatorCount] = {1, 2, 3, 4, 6, 8, 12, 16, 24, 32, 48, 64, 96};

// num/den of a whole note at `bpm` beats per minute lasts this many milliseconds.
constexpr double noteTimeMs(int num, int den, double bpm) { return num * 240000.0 / (den * bpm); }

// One LFO cycle lasting num/den of a whole note, in Hz.
constexpr double noteRateHz(int num, int den, double bpm) { return den * bpm / (num * 240.0); }

constexpr double kMaxDelayMs = 5000.0;
constexpr double kMinLfoRateHz = 0.01;
constexpr double kMaxLfoRateHz = 15.0;
constexpr double kMinTempo = 30.0;
constexpr double kMaxTempo = 400.0;

}  // namespace engine
