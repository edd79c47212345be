// Test rig for the engine: a configured engine, block-wise rendering of whole signals,
// and the small measurements the tests make on what comes out.
#pragma once

#include <algorithm>
#include <cmath>
#include <utility>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "Engine.h"

namespace enginetest {

using Signal = std::vector<double>;

// Engines constructed while one of these lives run the given compile of the processing code
// (the engine reads VANTEL_ISA once, at construction); the variable is restored after.
class ForcedInstructionSet {
public:
    explicit ForcedInstructionSet(engine::InstructionSet set) {
        if (const char* old = std::getenv(kVariable)) saved_ = old, hadOne_ = true;
        put(set == engine::InstructionSet::kAvx2 ? "avx2" : "sse2");
    }
    ~ForcedInstructionSet() { put(hadOne_ ? saved_.c_str() : nullptr); }
    ForcedInstructionSet(const ForcedInstructionSet&) = delete;
    ForcedInstructionSet& operator=(const ForcedInstructionSet&) = delete;

private:
    static constexpr const char* kVariable = "VANTEL_ISA";
    // Sets the variable, or removes it for null.
    static void put(const char* value) {
#ifdef _WIN32
        _putenv_s(kVariable, value ? value : "");  // an empty value removes it there
#else
        if (value) setenv(kVariable, value, 1);
        else unsetenv(kVariable);
#endif
    }
    std::string saved_;
    bool hadOne_ = false;
};

// Every compile of the processing code this CPU can run.
inline std::vector<engine::InstructionSet> runnableInstructionSets() {
    if (engine::cpuHasAvx2()) return {engine::InstructionSet::kSse2, engine::InstructionSet::kAvx2};
    return {engine::InstructionSet::kSse2};
}

// How close measured sound must come to what a test derives.
namespace tol {
constexpr double kExact = 1e-12;        // pure double arithmetic on a few terms (absorbs the 1e-15 wet offset)
constexpr double kSilent = 1e-12;       // "nothing here"
constexpr double kFloatPath = 2e-6;     // the 32-bit path against the 64-bit one, signals within +-2
constexpr double kSettled = 1e-9;       // an envelope after many time constants
}  // namespace tol

struct Stereo {
    Signal left, right;
};

inline Signal silence(int n) { return Signal(static_cast<size_t>(n), 0.0); }

inline Signal impulse(int n, int at = 0, double amplitude = 1.0) {
    Signal s = silence(n);
    s[static_cast<size_t>(at)] = amplitude;
    return s;
}

inline Signal constant(int n, double v) { return Signal(static_cast<size_t>(n), v); }

// Deterministic noise in -1..1 (a linear congruential generator; the seed picks the sequence).
inline Signal noise(int n, uint32_t seed = 12345u) {
    Signal s(static_cast<size_t>(n));
    for (auto& v : s) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
    }
    return s;
}

// Samples of one ms-length truncated the way the line does: (int)(ms * fs / 1000).
inline int slotsFor(double ms, double fs) { return static_cast<int>(ms * fs / 1000.0); }

// An engine that makes plain echoes: clocked line off, echoes only (Mix 1), no feedback,
// delay time 10 ms, everything else at its defaults, smoothed values settled.
struct Rig {
    engine::Engine e;
    double fs;

    explicit Rig(double sampleRate = 44100.0) : fs(sampleRate) {
        e.adoptSampleRate(sampleRate);
        e.setVcoOn(false);
        e.setMixTarget(1.0);
        e.setDelayTime(engine::kLeft, 10.0);
        e.setDelayTime(engine::kRight, 10.0);
        settle();
    }

    // Smoothed values at their targets, heads placed for the current times, silence.
    void settle() { e.suspend(); }

    int lookAhead() const { return static_cast<int>(fs / 1000.0); }

    template <typename T = double>
    Stereo run(const Signal& inL, const Signal& inR, int block = 256, const Signal* key = nullptr,
               engine::BlockTime time = {}) {
        const int n = static_cast<int>(inL.size());
        std::vector<T> l(inL.begin(), inL.end()), r(inR.begin(), inR.end()), outL(n), outR(n), k;
        if (key) k.assign(key->begin(), key->end());
        for (int at = 0; at < n; at += block) {
            const int frames = std::min(block, n - at);
            const T* keyPtr = key ? k.data() + at : nullptr;
            e.process(l.data() + at, r.data() + at, keyPtr, keyPtr, outL.data() + at, outR.data() + at, frames,
                      time);
        }
        return {Signal(outL.begin(), outL.end()), Signal(outR.begin(), outR.end())};
    }

    // Streams an impulse into both inputs and returns where each output first exceeds the
    // silence threshold (-1 when it never does within `frames`), with the value found there.
    struct Arrival {
        int at = -1;
        double value = 0.0;
    };
    std::pair<Arrival, Arrival> firstArrivals(int frames, int block = 8192) {
        std::vector<double> inL(block), inR(block), outL(block), outR(block);
        Arrival found[2];
        for (int start = 0; start < frames; start += block) {
            const int n = std::min(block, frames - start);
            std::fill(inL.begin(), inL.end(), 0.0);
            std::fill(inR.begin(), inR.end(), 0.0);
            if (start == 0) inL[0] = inR[0] = 1.0;
            e.process(inL.data(), inR.data(), nullptr, nullptr, outL.data(), outR.data(), n, engine::BlockTime{});
            const std::vector<double>* outs[2] = {&outL, &outR};
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < n && found[c].at < 0; ++i)
                    if (std::fabs((*outs[c])[i]) > tol::kSilent) found[c] = {start + i, (*outs[c])[i]};
        }
        return {found[0], found[1]};
    }

    Stereo runLeft(const Signal& inL, int block = 256) { return run(inL, silence(static_cast<int>(inL.size())), block); }
};

// Index of the first sample whose magnitude exceeds the threshold, or -1.
inline int firstAbove(const Signal& s, double threshold, int from = 0) {
    for (int i = from; i < static_cast<int>(s.size()); ++i)
        if (std::fabs(s[static_cast<size_t>(i)]) > threshold) return i;
    return -1;
}

// Indices of all samples above the threshold, in order.
inline std::vector<int> peaksAbove(const Signal& s, double threshold) {
    std::vector<int> at;
    for (int i = 0; i < static_cast<int>(s.size()); ++i)
        if (std::fabs(s[static_cast<size_t>(i)]) > threshold) at.push_back(i);
    return at;
}

}  // namespace enginetest
