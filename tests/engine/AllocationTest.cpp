// The audio thread must never ask for memory, and a sample-rate change that cannot get its
// memory must leave the engine exactly as it was. This binary replaces the global
// allocation functions to count and to fail allocations on demand.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "EngineRig.h"

namespace {

std::atomic<bool> counting{false};
std::atomic<int> allocations{0};
// When positive, the allocation with this number (counted from 1 while counting) fails.
std::atomic<int> failAt{0};

void* allocate(std::size_t size) {
    if (counting.load()) {
        const int n = ++allocations;
        if (n == failAt.load()) throw std::bad_alloc();
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

struct Counting {
    explicit Counting(int fail = 0) {
        allocations = 0;
        failAt = fail;
        counting = true;
    }
    ~Counting() { counting = false; }
    int count() const { return allocations.load(); }
};

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace enginetest;
using engine::kLeft;
using engine::kRight;

// Every switch on, both formats, mono output, a song-locked LFO and head moves mid-block:
// not one allocation.
TEST(Allocation, ProcessingAllocatesNothing) {
    Rig rig;
    rig.e.setVcoOn(true);
    rig.e.setFilterOn(true);
    rig.e.setFilterMode(1);
    rig.e.setReverbOn(true);
    rig.e.setReverbMode(1);
    rig.e.setDriveTarget(4.0, true);
    rig.e.setLfoMode(2);
    rig.e.setFeedbackGainTarget(kLeft, 0.7);
    rig.e.setGateThresholdTarget(kRight, 0.3);
    rig.e.setDuckThreshold(0.1);
    rig.settle();
    std::vector<double> l = noise(4096, 1), r = noise(4096, 2), outL(4096), outR(4096);
    std::vector<float> fl(l.begin(), l.end()), fr(r.begin(), r.end()), foutL(4096), foutR(4096);
    engine::BlockTime songTime{true, 17.25};
    int counted = 0;
    {
        Counting c;
        rig.e.setDelayTime(kLeft, 1.0);
        for (int block = 0; block < 60; ++block) {
            rig.e.process(l.data(), r.data(), r.data(), l.data(), outL.data(), outR.data(), 4096, songTime);
            rig.e.process(fl.data(), fr.data(), nullptr, nullptr, foutL.data(), foutL.data(), 4096, {});
            rig.e.setBypass(block % 2 == 0);
        }
        rig.e.process(l.data(), r.data(), nullptr, nullptr, outL.data(), outR.data(), 0, songTime);
        counted = c.count();
    }
    EXPECT_EQ(counted, 0);
}

// Whichever of the new buffers cannot be had, the engine keeps its rate, its buffers and
// its sound; with memory available the change then succeeds.
TEST(Allocation, FailedSampleRateChangeKeepsEverything) {
    for (int fail = 1; fail <= 5; ++fail) {
        Rig rig;
        rig.e.setDelayTime(kLeft, 20.0);
        rig.settle();
        bool adopted = true;
        {
            Counting c(fail);
            adopted = rig.e.adoptSampleRate(96000.0);
        }
        EXPECT_FALSE(adopted) << fail;
        EXPECT_EQ(rig.e.sampleRate(), 44100.0) << fail;
        EXPECT_EQ(rig.e.delayBufferLength(), 441001) << fail;
        EXPECT_EQ(rig.e.lookAheadLength(), 44) << fail;
        EXPECT_EQ(rig.e.reverb().mask(), 0x7fff) << fail;
        const int expected = slotsFor(20.0, 44100.0) + 44;
        EXPECT_EQ(firstAbove(rig.runLeft(impulse(expected + 5)).left, tol::kSilent), expected) << fail;
    }
    Rig rig;
    EXPECT_TRUE(rig.e.adoptSampleRate(96000.0));
    EXPECT_EQ(rig.e.delayBufferLength(), 960001);
    EXPECT_EQ(rig.e.reverb().mask(), 0xffff);
}

TEST(Allocation, FailedMeterWindowChangeKeepsTheOldRings) {
    engine::Engine e;
    {
        Counting c(2);
        EXPECT_FALSE(e.adoptMeterWindow(512));
    }
    EXPECT_EQ(e.meterWindow(), 1024);
    EXPECT_TRUE(e.adoptMeterWindow(512));
    EXPECT_EQ(e.meterWindow(), 512);
}

}  // namespace
