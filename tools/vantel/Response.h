// What `vantel plot` measures in an impulse response: the repeats of the echo pattern, the
// magnitude response of the wet path and its -3 dB corners. Plain numbers in, plain
// numbers out: the drawing and the text output (--data) both read these.
#pragma once

#include <cstddef>
#include <vector>

namespace vantel::response {

struct Stereo {
    std::vector<double> left, right;
    size_t frames() const { return left.size(); }
};

// 20 log10 |x|, with silence at -inf.
double toDb(double amplitude);

// A repeat: a peak of the wet signal's envelope that stands out from what came before it.
struct Repeat {
    size_t frame = 0;    // where its peak is, counted from the impulse
    double db = 0.0;     // its peak, louder channel, relative to the impulse
    double leftDb = 0.0, rightDb = 0.0;  // each channel's peak around it
};

// How repeats are told apart, in ms and dB.
namespace repeat {
constexpr double kEnvelopeMs = 1.25;     // half-width of the envelope's sliding maximum
constexpr double kSeparationMs = 5.0;    // a repeat is the loudest sample within this either side
constexpr double kProminenceDb = 10.0;   // ... and the envelope fell this far below it since the last one
}  // namespace repeat

// The repeats of `wet` that reach `floorDb`, in time order.
std::vector<Repeat> findRepeats(const Stereo& wet, double sampleRate, double floorDb);

// A magnitude response at log-spaced frequencies, in dB relative to the impulse.
struct Curve {
    std::vector<double> hz;
    std::vector<double> left, right;
    std::vector<double> both;  // the power mean of the two channels
};

// The spectrum of `wet` (its whole length), each point the power mean over a band
// `smoothingOctaves` wide centred on it (fractional-octave smoothing, as acoustic
// measurements show a response), `pointsPerOctave` points from lowHz up to highHz.
Curve magnitudeResponse(const Stereo& wet, double sampleRate, double lowHz, double highHz, int pointsPerOctave,
                        double smoothingOctaves);

// The loudest point of a response and where it has fallen 3 dB below it on either side
// (log-interpolated between points); 0 where it does not within the curve.
struct Corners {
    double peakHz = 0.0, peakDb = 0.0;
    double lowHz = 0.0, highHz = 0.0;
    bool any = false;  // false: the response is silence throughout
};
Corners findCorners(const std::vector<double>& hz, const std::vector<double>& db);

// In place, radix 2: re.size() == im.size() is a power of two.
void fft(std::vector<double>& re, std::vector<double>& im);

}  // namespace vantel::response
