// One delay line: a circular buffer with three heads. The write head stores new input,
// the feedback head (a pre-delay behind it) receives the feedback signal, and the read
// head (a delay time behind the feedback head) delivers the output. A sound therefore
// first comes out after pre-delay + time and then repeats once per time (plus the one
// sample the feedback network adds).
//
// A change of time never moves the heads while the line is audible: the line fades out
// by 60 dB over 100 ms, the heads jump at the bottom of the fade, and it fades back in.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace engine {

struct DelayLine {
    // The longest time and the longest pre-delay, each 5 s.
    static constexpr double kMaxTimeMs = 5000.0;
    // The fade gain at which the heads may jump: 60 dB down.
    static constexpr double kFadeFloor = 0.001;

    // ceil(10 s) + 1 slots hold the longest pre-delay plus the longest time, even at a
    // fractional sample rate where each of the two truncated lengths rounds down.
    static int32_t lengthFor(double sampleRate) { return static_cast<int32_t>(std::ceil(10.0 * sampleRate)) + 1; }

    // The per-sample factor that takes a gain from 1 to 0.001 in 100 ms.
    static double fadeFactorFor(double sampleRate) { return std::pow(0.001, 1000.0 / (sampleRate * 100.0)); }

    // A time in ms as the line can hold it: 0..5000 (not-a-number reads as 0).
    static double clampTime(double ms) {
        if (!(ms > 0.0)) return 0.0;
        return ms > kMaxTimeMs ? kMaxTimeMs : ms;
    }

    std::vector<double> buffer;
    int32_t length = 0;
    int32_t write = 0, feedback = 0, read = 0;
    double fadeGain = 1.0;

    DelayLine() = default;
    DelayLine(const DelayLine&) = delete;
    DelayLine& operator=(const DelayLine&) = delete;

    // Takes over a buffer allocated by the caller (cannot fail): all heads at slot 0.
    void adopt(std::vector<double>& fresh) {
        buffer.swap(fresh);
        length = static_cast<int32_t>(buffer.size());
        write = feedback = read = 0;
    }

    void clear() { std::fill(buffer.begin(), buffer.end(), 0.0); }

    // Places the feedback and read heads behind the write head. Each length is truncated
    // to whole slots on its own.
    void place(double timeMs, double preDelayMs, double sampleRate) {
        const int32_t preSlots = static_cast<int32_t>(preDelayMs * sampleRate / 1000.0);
        const int32_t timeSlots = static_cast<int32_t>(timeMs * sampleRate / 1000.0);
        feedback = write - preSlots;
        if (feedback < 0) feedback += length;
        read = feedback - timeSlots;
        if (read < 0) read += length;
    }

    // One tick: store the input, add the feedback, read the output, move on. When heads
    // coincide the order decides: with no pre-delay the feedback lands on the fresh input,
    // and with no time either the output is that sum.
    double step(double input, double feedbackIn) {
        return step(buffer.data(), length, write, feedback, read, input, feedbackIn);
    }

    // The same tick on heads that the processing loop carries in locals.
    static double step(double* slots, int32_t length, int32_t& write, int32_t& feedback, int32_t& read, double input,
                       double feedbackIn) {
        slots[write] = input;
        slots[feedback] += feedbackIn;
        const double y = slots[read];
        if (++read == length) read = 0;
        if (++feedback == length) feedback = 0;
        if (++write == length) write = 0;
        return y;
    }

    // One sample of the fade: falling while a new time waits, rising back to 1 otherwise.
    // Returns true at the bottom of the fall, where the caller moves the heads.
    bool stepFade(bool timeWaiting, double factor) { return stepFade(fadeGain, timeWaiting, factor); }

    static bool stepFade(double& gain, bool timeWaiting, double factor) {
        if (!timeWaiting) {
            if (gain < 1.0) gain = std::min(1.0, gain / factor);
            return false;
        }
        gain *= factor;
        return gain <= kFadeFloor;
    }
};

}  // namespace engine
