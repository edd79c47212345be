#include "Reverb.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace engine {
namespace reverb {

BandPass BandPass::design(double w, double divisor) {
    const float wf = static_cast<float>(w);
    const double sinW = std::sin(wf);
    const double cosW = std::cos(wf);
    const double alpha = sinW / divisor;
    BandPass c;
    c.b0 = alpha / (1.0 + alpha);
    c.b2 = -c.b0;
    c.a1 = -2.0 * cosW / (1.0 + alpha);
    c.a2 = (1.0 - alpha) / (1.0 + alpha);
    return c;
}

namespace {
double passGain(double x) { return std::pow(0.5, std::pow(100.0, x) / 100.0); }
}  // namespace

Decay Decay::spring(double x) {
    const double d = passGain(x) * std::sqrt(0.56);
    Decay c;
    c.k1 = 0.7 * d;
    c.k2 = 0.30000000000000004 * d;
    c.g = (1.0 - x) * 0.52 + 0.2;
    return c;
}

Decay Decay::plate(double x) {
    const double a = passGain(x);
    Decay c;
    c.k1 = a;
    c.k2 = std::sqrt(std::sqrt(a));
    c.g = (1.0 - x) * 0.4 + 0.4;
    return c;
}

}  // namespace reverb

namespace {

// Delay of each buffer's read index, as a constant c scaled by the structure's h at
// retuning: the read runs ceil(h c) samples behind the write.
constexpr double kUnused = 0.0;

// Spring: h = fs / 303187.5 (about 0.1455 at 44100 Hz).
constexpr double kSpringScaleDivisor = 303187.5;
constexpr double kSpringLengths[Reverb::kBufferCount] = {
    32767 * 0.5,             32767 * 0.5,             // A0, A1
    39513.06570839413 * 0.5, 39513.06570839413 * 0.5,  // A2, A3
    47647.92275589291 * 0.5, 47647.92275589291 * 0.5,  // A4, A5
    515.4478875,             515.4478875,              // B0, B1
    427.4463375,             427.4463375,              // B2, B3
    389.250225,              389.250225,               // B4, B5
    2606.01705,              2568.42495,               // C0, C1
    2129.11335,              2160.07155,               // C2, C3
};

// Plate: h = fs * 44.1 * 5 / 1445024700; group A is not used.
constexpr double kPlateLengths[Reverb::kBufferCount] = {
    kUnused,                    kUnused,                      kUnused,
    kUnused,                    kUnused,                      kUnused,
    3182331.04 * 0.5,           2662541.5656 * 0.5,           3295698.3066000002 * 0.5,  // B0..B2
    2506079.1406 * 0.5,         3064032.3399 * 0.5,           2924267.9781 * 0.5,        // B3..B5
    417287.745 * 0.75,          156341.1871 * 0.75,           304978.8525 * 0.75,        // C0..C2
    117807.1951 * 0.75,                                                                   // C3
};

// Output band-pass centres (w = 2 pi fc / fs numerators) and alpha divisors (2 Q).
constexpr double kSpringBandW = 5026.400000000001;  // 800 Hz
constexpr double kSpringBandDivisor = 0.2;
constexpr double kPlateBandW = 12566.0;  // 2000 Hz
constexpr double kPlateBandDivisor = 0.12;

// The buffers' lengths are powers of two, and all sixteen are written at the same index
// each sample: laid end to end, those sixteen slots would share one cache set and evict
// each other every sample. Three cache lines of padding between buffers spread them out.
constexpr std::size_t bufferStride(std::size_t length) { return length + 24; }

}  // namespace

bool Reverb::prepare(double sampleRate) {
    const uint32_t mask = static_cast<uint32_t>(maskFor(sampleRate));
    const std::size_t length = static_cast<std::size_t>(mask) + 1;
    std::vector<double> fresh;
    try {
        fresh.assign(bufferStride(length) * kBufferCount, 0.0);
    } catch (const std::bad_alloc&) {
        return false;  // the old buffers, rate and tuning stay in use
    }
    storage_.swap(fresh);
    for (int b = 0; b < kBufferCount; ++b) buffers_[b] = storage_.data() + b * bufferStride(length);
    sampleRate_ = sampleRate;
    mask_ = mask;
    tank_.write = 0;
    return true;
}

void Reverb::retune(int type) {
    const bool plate = type == kPlate;
    type_ = plate ? kPlate : kSpring;
    const double h = plate ? sampleRate_ * 44.1 * 5 / 1445024700 : sampleRate_ / kSpringScaleDivisor;
    const double* lengths = plate ? kPlateLengths : kSpringLengths;

    tank_.write = mask_;
    for (int b = 0; b < kBufferCount; ++b) {
        if (lengths[b] == kUnused) continue;  // the plate leaves group A as it was
        // (int)(mask - h c): the read runs ceil(h c) behind the write. A rate far above the
        // supported range is held at the whole buffer rather than wrapping past the write.
        double readIndex = mask_ - h * lengths[b];
        if (!(readIndex > 0.0)) readIndex = 0.0;
        delay_[b] = mask_ - static_cast<uint32_t>(static_cast<int32_t>(readIndex));
    }

    bandPass_ = plate ? reverb::BandPass::design(kPlateBandW / sampleRate_, kPlateBandDivisor)
                      : reverb::BandPass::design(kSpringBandW / sampleRate_, kSpringBandDivisor);
    setDamping(damping_);
}

void Reverb::setDamping(double x) {
    // Values outside 0..1 keep their mapping as far as the damping low-passes stay stable
    // (their coefficient g within 0..2 for both structures).
    x = std::isnan(x) ? 0.0 : std::min(std::max(x, kLowestDamping), kHighestDamping);
    damping_ = x;
    const reverb::Decay c = type_.load() == kPlate ? reverb::Decay::plate(x) : reverb::Decay::spring(x);
    k1_ = c.k1;
    k2_ = c.k2;
    g_ = c.g;
}

void Reverb::reset() {
    std::fill(storage_.begin(), storage_.end(), 0.0);
    resetTank();
}

void Reverb::resetTank() {
    const uint32_t write = tank_.write;
    tank_ = Tank();
    tank_.write = write;
}

}  // namespace engine
