// `vantel plot`: what the measurement of one program gives, and the picture drawn from it.
#pragma once

#include <string>
#include <vector>

#include "Response.h"

namespace vantel::plot {

// Levels below this are silence on the picture; echoes still above it after the window
// "outlast" it.
constexpr double kFloorDb = -80.0;
// The magnitude response: 1/6-octave smoothing, 48 points per octave, 20 Hz up to
// 20 kHz (or 0.45 times the sample rate, below the top octave's edge).
constexpr double kSmoothingOctaves = 1.0 / 6.0;
constexpr int kPointsPerOctave = 48;
constexpr double kLowHz = 20.0;
constexpr double kHighHz = 20000.0;

struct ProgramPlot {
    std::string name;              // the program's name as the plug-in reports it
    response::Stereo output;       // the whole output over the window: dry and wet
    std::vector<response::Repeat> repeats;
    bool outlasts = false;         // something at or above the floor comes after the window
    response::Curve response;      // the wet path
    response::Corners corners;     // of response.both
};

struct Caption {
    double sampleRate = 44100.0;
    double tempo = 120.0;
    double seconds = 4.0;
    std::string input;             // where the impulse enters: "both inputs", "the left input", ...
    std::vector<std::string> settings;  // the --set options, as given
};

// Draws the programs side by side into a PNG at `path`; throws Failure.
void draw(const std::vector<ProgramPlot>& programs, const Caption& caption, int width, int height,
          const std::string& path);

}  // namespace vantel::plot
