// The constant tables the per-sample stages read instead of calling sin and pow: built
// once per engine at construction, never touched by the audio thread except to read.
//
//   sine          1000 entries  sin(i / kSineScale), one cycle over the table (the LFO
//                               reads it without interpolation)
//   svfFrequency  8192 entries  2 sin(i (pi/4) / 8191): the frequency coefficient of a
//                               state-variable filter running at twice the sample rate
//   svfDamping    4097 entries  2 (1 - (i / 4095)^(1/4)): damping against resonance 0..1
//   octave       10000 entries  2^((i - 4999) / 4999): one octave down to one octave up
//
// Every read helper clamps its index, so a control far outside its range (or NaN) reads
// an end of the table instead of memory next to it.
#pragma once

#include <cmath>
#include <vector>

namespace engine {

struct EngineTables {
    static constexpr int kSineSize = 1000;
    static constexpr int kSvfFrequencySize = 8192;
    static constexpr int kSvfDampingSize = 4097;
    static constexpr int kOctaveSize = 10000;

    // 999 / 2 pi: a phase in 0..2 pi times this is an index into `sine`.
    static constexpr double kSineScale = 158.99578814880346;
    // pi / 4 as a single-precision constant; the frequency table is built with it.
    static constexpr double kQuarterPiSingle = 0.7853981852531433;
    // A control w in 0..1 reads the octave table at w * kOctaveSpan.
    static constexpr double kOctaveSpan = 9998.0;

    EngineTables();

    std::vector<double> sine;
    std::vector<double> svfFrequency;
    std::vector<double> svfDamping;
    std::vector<double> octave;

    // Linear interpolation at a fractional position: integer part i = floor, fraction r,
    // table[i] * (1 - r) + table[i + 1] * r. The position is clamped to the table.
    static double interpolate(const std::vector<double>& table, double position) {
        const double last = static_cast<double>(table.size() - 1);
        if (!(position > 0.0)) return table.front();  // also NaN
        if (position >= last) return table.back();
        const int i = static_cast<int>(position);
        const double r = position - i;
        return table[i] * (1.0 - r) + table[i + 1] * r;
    }

    // Nearest-below entry at an integer position, clamped to the table.
    static double at(const std::vector<double>& table, double position) {
        if (!(position > 0.0)) return table.front();  // also NaN
        const double last = static_cast<double>(table.size() - 1);
        if (position >= last) return table.back();
        return table[static_cast<int>(position)];
    }

    // Octave factor for a control w in 0..1 (clamped): 0.5 at w = 0, 1 at 0.5, 2 at 1.
    double readOctave(double w) const {
        if (!(w > 0.0)) w = 0.0;
        if (w > 1.0) w = 1.0;
        return interpolate(octave, w * kOctaveSpan);
    }

    // Frequency coefficient at table position z = fc * (2 / sampleRate) * 8191.
    double readSvfFrequency(double z) const { return interpolate(svfFrequency, z); }

    // Damping for a resonance control q in 0..1, read at (int)(q * 4095) without interpolation.
    double readSvfDamping(double q) const { return at(svfDamping, q * 4095.0); }

    // LFO sine at a phase in -pi..pi, read at (int)((phase + pi) * kSineScale) without interpolation.
    double readSine(double phase) const { return at(sine, (phase + 3.141592653589793) * kSineScale); }
};

}  // namespace engine
