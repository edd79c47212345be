// The reverb: buffer sizes and read offsets per rate, arrival, decay, cross-fade,
// pausing, and what silence leaves behind.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "Measure.h"
#include "Reverb.h"

namespace engine {
namespace {

std::unique_ptr<Reverb> makeReverb(double fs, int type, double damping = 0.1) {
    auto r = std::make_unique<Reverb>();
    EXPECT_TRUE(r->prepare(fs));
    r->setDamping(damping);
    r->retune(type);
    return r;
}

// As the loop feeds it: the wet pair plus the anti-denormal 1e-15.
std::vector<double> renderImpulse(Reverb& r, double amount, std::size_t length, std::vector<double>* right = nullptr) {
    std::vector<double> out(length);
    if (right) right->resize(length);
    for (std::size_t n = 0; n < length; ++n) {
        double l = (n == 0 ? 0.5 : 0.0) + 1e-15, rr = 1e-15;
        r.process(l, rr, amount);
        out[n] = l;
        if (right) (*right)[n] = rr;
    }
    return out;
}

TEST(Reverb, MaskBySampleRate) {
    struct Case {
        double fs;
        int32_t mask;
    };
    for (const Case& c : {Case{4096.0, 0x7fff}, Case{44100.0, 0x7fff}, Case{49999.0, 0x7fff}, Case{50000.0, 0xffff},
                          Case{96000.0, 0xffff}, Case{99999.0, 0xffff}, Case{100000.0, 0x1ffff}, Case{200000.0, 0x1ffff}}) {
        EXPECT_EQ(Reverb::maskFor(c.fs), c.mask) << c.fs;
    }
    Reverb r;
    EXPECT_FALSE(r.ready());
    ASSERT_TRUE(r.prepare(96000.0));
    EXPECT_TRUE(r.ready());
    EXPECT_EQ(r.mask(), 0xffff);
}

TEST(Reverb, ReadOffsetsFollowTheTuningTables) {
    // Samples at 44100 Hz, buffer order A0..A5, B0..B5, C0..C3.
    const int32_t spring[Reverb::kBufferCount] = {2384, 2384, 2874, 2874, 3466, 3466, 75, 75,
                                                  63,   63,   57,   57,   380,  374,  310,  315};
    const int32_t plate[] = {10708, 8959, 11089, 8433, 10310, 9840, 2107, 790, 1540, 595};
    auto r = makeReverb(44100.0, Reverb::kSpring);
    for (int b = 0; b < Reverb::kBufferCount; ++b) EXPECT_EQ(r->readDelay(b), spring[b]) << b;
    r->retune(Reverb::kPlate);
    for (int b = Reverb::kB0; b < Reverb::kBufferCount; ++b) EXPECT_EQ(r->readDelay(b), plate[b - Reverb::kB0]) << b;

    // Every delay scales with the rate: the spring's C0 is 380 samples at 44100 Hz, 826 at 96000.
    auto fast = makeReverb(96000.0, Reverb::kSpring);
    EXPECT_EQ(fast->readDelay(Reverb::kC0), 826);
    EXPECT_EQ(fast->readDelay(Reverb::kA0), static_cast<int32_t>(std::ceil(96000.0 / 303187.5 * 16383.5)));
}

TEST(Reverb, DecayCoefficientsFromDamping) {
    auto r = makeReverb(44100.0, Reverb::kSpring, 0.0);
    // x = 0: a = 0.5^(1/100); spring gains a sqrt(0.56) split 0.7 / 0.3, damping 0.72.
    const double a0 = std::pow(0.5, 0.01);
    EXPECT_NEAR(r->decay().k1, 0.7 * a0 * std::sqrt(0.56), 1e-15);
    EXPECT_NEAR(r->decay().k2, 0.3 * a0 * std::sqrt(0.56), 1e-15);
    EXPECT_NEAR(r->decay().g, 0.72, 1e-15);
    r->setDamping(1.0);  // a = 0.5
    EXPECT_NEAR(r->decay().k1, 0.35 * std::sqrt(0.56), 1e-15);
    EXPECT_NEAR(r->decay().g, 0.2, 1e-15);
    r->retune(Reverb::kPlate);  // keeps RvbDamp 1
    EXPECT_NEAR(r->decay().k1, 0.5, 1e-15);
    EXPECT_NEAR(r->decay().k2, std::pow(0.5, 0.25), 1e-15);
    EXPECT_NEAR(r->decay().g, 0.4, 1e-15);
    // Outside 0..1 the mapping holds as long as the damping stays stable (g within 0..2).
    r->setDamping(-0.5);
    EXPECT_NEAR(r->decay().g, 1.5 * 0.4 + 0.4, 1e-15);
    r->setDamping(-7.0);  // held at -1.3
    EXPECT_NEAR(r->decay().g, 2.3 * 0.4 + 0.4, 1e-15);
    r->retune(Reverb::kSpring);
    r->setDamping(7.0);  // held at 1.38, where the spring's g is still above 0
    EXPECT_NEAR(r->decay().g, (1.0 - 1.38) * 0.52 + 0.2, 1e-15);
    EXPECT_GT(r->decay().g, 0.0);
    r->setDamping(std::nan(""));
    EXPECT_NEAR(r->decay().g, 0.72, 1e-15);
}

TEST(Reverb, SpringArrivesAfterItsShortestLine) {
    // At RvbAmt 1 nothing passes directly: the first sound comes when the input written into
    // A0 reaches its read index, 2384 samples later at 44100 Hz (5188 at 96000).
    struct Case {
        double fs;
        std::size_t first;
    };
    for (const Case& c : {Case{44100.0, 2384}, Case{96000.0, 5188}}) {
        auto r = makeReverb(c.fs, Reverb::kSpring);
        const std::size_t first = static_cast<std::size_t>(r->readDelay(Reverb::kA0));
        EXPECT_EQ(first, c.first);
        const auto y = renderImpulse(*r, 1.0, first + 10);
        for (std::size_t n = 0; n < first; ++n) ASSERT_LT(std::fabs(y[n]), 1e-13) << n;
        EXPECT_GT(std::fabs(y[first]), 1e-4);
    }

    // Worked through by hand: the impulse x = 0.5 read from A0 is damped by g = 0.668
    // (RvbDamp 0.1), passes the diffusers B0, C0 and C2 (-0.7071 each on this path) and the
    // band-pass (b0 on its first sample), and is scaled by 0.1625. The right side is still silent.
    auto r = makeReverb(44100.0, Reverb::kSpring);
    std::vector<double> right;
    const auto y = renderImpulse(*r, 1.0, 2400, &right);
    const double alpha = static_cast<double>(std::sin(static_cast<float>(5026.400000000001 / 44100.0))) / 0.2;
    const double b0 = alpha / (1.0 + alpha);
    const double path = -0.7071 * 0.7071 * 0.7071 * 0.668 * 0.5;
    EXPECT_NEAR(y[2384], 0.1625 * b0 * path, 1e-12);
    EXPECT_NEAR(right[2384], 0.0, 1e-13);
}

TEST(Reverb, TailDecaysFasterWithMoreDamping) {
    for (int type : {Reverb::kSpring, Reverb::kPlate}) {
        double lateShare[2];
        for (int k = 0; k < 2; ++k) {
            auto r = makeReverb(44100.0, type, k == 0 ? 0.1 : 0.9);
            const std::size_t window = 11025;  // 250 ms
            const auto y = renderImpulse(*r, 1.0, 12 * window);
            std::vector<double> e;
            for (std::size_t w = 0; w < 12; ++w) e.push_back(stagetest::energy(y, w * window, window));
            for (std::size_t w = 2; w < e.size(); ++w) EXPECT_LT(e[w], e[w - 1]) << "type " << type << " window " << w;
            EXPECT_GT(e[1], 0.0);
            lateShare[k] = e[6] / e[1];
        }
        EXPECT_LT(lateShare[1], 0.01 * lateShare[0]) << type;
    }
}

TEST(Reverb, AmountCrossFadesInputAndReverb) {
    for (int type : {Reverb::kSpring, Reverb::kPlate}) {
        auto dry = makeReverb(44100.0, type);
        auto wet = makeReverb(44100.0, type);
        auto half = makeReverb(44100.0, type);
        for (int n = 0; n < 20000; ++n) {
            const double inL = std::sin(0.05 * n) * (n < 5000 ? 1.0 : 0.0), inR = 0.3 * std::cos(0.011 * n);
            double dl = inL, dr = inR, wl = inL, wr = inR, hl = inL, hr = inR;
            dry->process(dl, dr, 0.0);
            wet->process(wl, wr, 1.0);
            half->process(hl, hr, 0.5);
            // RvbAmt 0: the input unchanged, while the tail keeps building underneath.
            ASSERT_EQ(dl, inL);
            ASSERT_EQ(dr, inR);
            // 0.5 lies halfway between the input and the scaled reverb alone.
            ASSERT_NEAR(hl, 0.5 * (inL + wl), 1e-12);
            ASSERT_NEAR(hr, 0.5 * (inR + wr), 1e-12);
        }
        // The tail built at RvbAmt 0 is the same one heard at RvbAmt 1.
        double l = 0.0, r = 0.0, wl = 0.0, wr = 0.0;
        dry->process(l, r, 1.0);
        wet->process(wl, wr, 1.0);
        EXPECT_EQ(l, wl);
        EXPECT_EQ(r, wr);
        EXPECT_GT(std::fabs(wl) + std::fabs(wr), 0.0);
    }
}

TEST(Reverb, SpringOutputIsTheScaledBandPass) {
    // RvbAmt 1 gives 0.1625 times a band-pass centred on 800 Hz: a steady input at the
    // centre comes out, a steady DC input does not.
    auto r = makeReverb(44100.0, Reverb::kSpring, 1.0);
    double dcTail = 0.0;
    for (int n = 0; n < 4 * 44100; ++n) {
        double l = 0.25, rr = 0.25;
        r->process(l, rr, 1.0);
        if (n >= 3 * 44100) dcTail = std::max(dcTail, std::fabs(l));
    }
    EXPECT_LT(dcTail, 1e-6);
}

TEST(Reverb, PausedTailResumesWhereItStopped) {
    auto a = makeReverb(44100.0, Reverb::kPlate);
    auto b = makeReverb(44100.0, Reverb::kPlate);
    renderImpulse(*a, 1.0, 3000);
    renderImpulse(*b, 1.0, 3000);
    // b is switched off for a while (not processed), then both go on from the same place.
    for (int n = 0; n < 2000; ++n) {
        double l = 0.0, r = 0.0, l2 = 0.0, r2 = 0.0;
        a->process(l, r, 1.0);
        b->process(l2, r2, 1.0);
        ASSERT_EQ(l, l2);
        ASSERT_EQ(r, r2);
        if (n == 0) {
            EXPECT_GT(std::fabs(l), 1e-6);
        }
    }
}

TEST(Reverb, TypeChangeReinterpretsTheTailAndResetClearsIt) {
    auto r = makeReverb(44100.0, Reverb::kSpring);
    renderImpulse(*r, 1.0, 5000);
    r->retune(Reverb::kPlate);  // indices jump, buffers stay
    double l = 0.0, rr = 0.0;
    r->process(l, rr, 1.0);
    EXPECT_GT(std::fabs(l) + std::fabs(rr), 0.0);

    r->reset();
    for (int b = 0; b < Reverb::kBufferCount; ++b)
        for (int i = 0; i <= r->mask(); ++i) ASSERT_EQ(r->buffer(b)[i], 0.0);
    for (int n = 0; n < 1000; ++n) {
        double x = 0.0, y = 0.0;
        r->process(x, y, 1.0);
        ASSERT_EQ(x, 0.0);
        ASSERT_EQ(y, 0.0);
    }
}

TEST(Reverb, SilenceLeavesNoDenormals) {
    for (int type : {Reverb::kSpring, Reverb::kPlate}) {
        auto r = makeReverb(44100.0, type, 1.0);
        std::vector<double> right;
        const auto left = renderImpulse(*r, 1.0, 30 * 44100, &right);
        for (std::size_t n = 0; n < left.size(); ++n) {
            ASSERT_NE(std::fpclassify(left[n]), FP_SUBNORMAL) << n;
            ASSERT_NE(std::fpclassify(right[n]), FP_SUBNORMAL) << n;
        }
        for (int i = 0; i < 6; ++i) EXPECT_NE(std::fpclassify(r->dampingState(i)), FP_SUBNORMAL);
        for (int b = 0; b < Reverb::kBufferCount; ++b)
            for (int i = 0; i <= r->mask(); ++i) ASSERT_NE(std::fpclassify(r->buffer(b)[i]), FP_SUBNORMAL) << b;
    }
}

}  // namespace
}  // namespace engine
