// The audio engine: all state, tables and buffers of the delay, and its processing.
// Plain C++ with no host types. Control setters may be called from any thread while a
// block runs; everything under "caller holds the engine lock" may not.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "AntiAliasFilter.h"
#include "ClockedDelay.h"
#include "DelayLine.h"
#include "Drive.h"
#include "EngineTables.h"
#include "EnvelopeFollower.h"
#include "FeedbackMix.h"
#include "InstructionSet.h"
#include "InputMeter.h"
#include "Lfo.h"
#include "NoteTables.h"
#include "Relaxed.h"
#include "Reverb.h"
#include "Smoother.h"
#include "StateVariableFilter.h"

namespace engine {

enum Side : int { kLeft = 0, kRight = 1 };

// What the host told us about the song position for this block.
struct BlockTime {
    bool hasSongPosition = false;
    double ppqPos = 0.0;
};

class Engine {
public:
    static constexpr double kDefaultSampleRate = 44100.0;
    static constexpr double kMinSampleRate = 4096.0;
    static constexpr double kMaxSampleRate = 200000.0;
    static constexpr int kDefaultMeterWindow = InputMeter::kDefaultWindow;
    // No sample beyond +-1000 (+60 dBFS) leaves the engine. A full-scale input comes out at
    // most at 16 (+24 dBFS) dry, through the input and output gains of 4 each; the echoes
    // add to it what feedback up to 1, the filter's resonance (its states stay within a few
    // times its input), the reverb and the pans make of it: well within the 36 dB above.
    // Anything beyond is a runaway, and the block goes silent from that sample on while the
    // engine starts over.
    static constexpr double kOutputCeiling = 1000.0;

    // Allocates every buffer for 44100 Hz; throws std::bad_alloc when memory is short.
    Engine();
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // ---- lifecycle; the caller holds the engine lock ----
    double sampleRate() const { return sampleRate_; }
    // Rebuilds every sample-rate dependent value and buffer when fs differs from the
    // current rate, the reverb retuned for its current type; returns true when it did.
    // A rate outside 4096..200000 Hz counts as 44100. When memory for the new buffers
    // cannot be had, everything stays as it was and the answer is false.
    bool adoptSampleRate(double fs);
    // Reallocates the input meter rings when the window changes; returns true when it did.
    // A window outside 1..44100 counts as 1024; without memory the old rings stay.
    bool adoptMeterWindow(int32_t samples);
    int32_t meterWindow() const { return meter_.window; }
    // Smoothed values jump to their targets, fades and flags clear, heads are re-placed, then reset().
    void suspend();
    // Clears every memory of sound (delay, reverb, filters, envelopes, meters); a recovery
    // under way is complete with it.
    void reset();
    // Places the feedback and read heads of both lines from their write heads.
    void placeHeads();

    // ---- processing; the caller holds the engine lock ----
    // Null input channels read as silence; null output channels are not written.
    // outL and outR may be the same buffer, which then receives the sum of both sides.
    // Inputs may be the output buffers themselves (in place).
    // When the sound overflows (a sample beyond kOutputCeiling, or a state not a number), the
    // engine recovers: the block is silent from the first such sample on, its small memories
    // start over at once, its buffers are cleared a bounded slice per block, and until they
    // all are, the chain waits and the output is silent (the raw input when bypassed).
    void process(const float* inL, const float* inR, const float* keyL, const float* keyR, float* outL,
                 float* outR, int32_t frames, const BlockTime& time);
    void process(const double* inL, const double* inR, const double* keyL, const double* keyR, double* outL,
                 double* outR, int32_t frames, const BlockTime& time);

    // Input peaks since the last query (editor meters); the held values then restart from 0.
    // Safe to call from any thread.
    void peakQuery(float& left, float& right) { meter_.query(left, right); }

    // ---- controls, written by the parameter mapping from any thread ----
    void setInputGainTarget(double gain) { controls_.set(kInputGain, gain); }
    void setOutputGainTarget(double gain) { controls_.set(kOutputGain, gain); }
    void setMixTarget(double mix) { controls_.set(kMix, mix); }
    void setInputMuteTarget(int side, double gain) { controls_.set(kMuteGainL + (side & 1), gain); }
    void setFeedbackGainTarget(int side, double gain) { controls_.set(kFbGainL + (side & 1), gain); }
    void setFeedbackPanTarget(int side, double pan) { controls_.set(kFbPanL + (side & 1), pan); }
    void setFeedbackInvert(int side, bool on) { fbSign_[side & 1] = on ? -1.0 : 1.0; }
    void setDelayInvert(int side, bool on) { dlySign_[side & 1] = on ? -1.0 : 1.0; }
    void setDelayPanTarget(int side, double pan) { controls_.set(kDlyPanL + (side & 1), pan); }
    void setGateThresholdTarget(int side, double threshold) { controls_.set(kGateThresholdL + (side & 1), threshold); }
    void setDuckThreshold(double threshold) {
        if (std::isfinite(threshold)) duckThreshold_ = threshold;
    }

    void setLfoWave(int position) { lfoWave_ = position; }
    // Stores the rate and derives the phase increment for the current sample rate.
    void setLfoRate(double hz);
    double lfoRate() const { return lfoRate_; }
    void setLfoMode(int position) { lfoMode_ = position; }
    void setLfoNote(int numeratorPosition, int denominatorPosition) {
        lfoNum_ = numeratorPosition;
        lfoDen_ = denominatorPosition;
    }
    void setLrOffsetTarget(double radians) { controls_.set(kLrOffset, radians); }
    void setModSourceTarget(double blend) { controls_.set(kModSource, blend); }
    void setModSensitivity(double gain) {
        if (std::isfinite(gain)) modSensGain_ = gain;
    }
    // EnvSpeed x: envelope length and the envelope, duck and gate coefficients.
    void setEnvSpeed(double x);

    void setFilterOn(bool on) { fltOn_ = on ? 1 : 0; }
    void setFilterType(int position) { fltType_ = position; }
    void setFilterMode(int position) { fltMode_ = position; }
    void setCutoffTarget(double hz) { controls_.set(kCutoff, hz); }
    void setResonanceTarget(double q) { controls_.set(kResonance, q); }
    void setCutoffModTarget(double depth) { controls_.set(kCutoffMod, depth); }
    void setResoModTarget(double depth) { controls_.set(kResoMod, depth); }
    void setDriveTarget(double gain, bool active) {
        controls_.set(kDriveGain, gain);
        driveActive_ = active ? 1 : 0;
    }

    void setVcoOn(bool on) { vcoOn_ = on ? 1 : 0; }
    void setVcoManual(double control) {
        if (std::isfinite(control)) vcoMan_ = control;
    }
    void setVcoModTarget(double depth) { controls_.set(kVcoMod, depth); }

    // The time is stored before the side's time-changed flag is raised; the engine lowers
    // the flag before it reads the time, so it never places heads with a stale value.
    void setDelayTime(int side, double ms);
    double delayTime(int side) const { return delayMs_[side & 1]; }
    void setPreDelay(int side, int numeratorPosition, int denominatorPosition);
    void markTimeChanged(int side);
    bool timeChanged(int side) const;

    void setReverbOn(bool on) { rvbOn_ = on ? 1 : 0; }
    void setReverbMode(int position) { rvbMode_ = position; }
    // Retunes the reverb structure for the type; the caller holds the engine lock.
    void setReverbType(int position);
    void setReverbDamping(double x);
    void setReverbAmount(double amount) {
        if (std::isfinite(amount)) rvbAmt_ = amount;
    }
    void setBypass(bool on) { bypass_ = on ? 1 : 0; }

    // 1 when the host answered the last tempo request of a block (the editor shows it).
    void setHostTimeFlag(bool present) { hostTimeFlag_ = present ? 1 : 0; }
    bool hostTimeFlag() const { return hostTimeFlag_.load() != 0; }

    // ---- inspection (tests, tools) ----
    const EngineTables& tables() const { return tables_; }
    int32_t delayBufferLength() const { return line_[0].length; }
    int32_t lookAheadLength() const { return lookAhead_.length; }
    double fadeGain(int side) const { return line_[side & 1].fadeGain; }
    double smoothingStep() const { return smoothingStep_; }
    double fadeFactor() const { return fadeFactor_; }
    double shapeSmoothing() const { return lfo_.shapeSmoothing; }
    double envelopeCoefficient() const { return envCoefficient_; }
    // The pre-delay in ms that a side's controls give: a fraction of its time, at most the time.
    double preDelayTime(int side) const;
    const Reverb& reverb() const { return reverb_; }
    double lfoPhase() const { return lfo_.phase; }
    int32_t driveWindow() const { return drive_.window; }
    // True while the buffers are being cleared after an overflow (the output is silent).
    bool recovering() const { return recovering_; }
    // How often, since construction, the engine started over after an overflow, and how
    // often the ceiling silenced the rest of a block (any thread may ask).
    struct Faults {
        uint64_t recoveries = 0, ceilingActions = 0;
    };
    Faults faults() const {
        return {recoveries_.load(std::memory_order_relaxed), ceilingActions_.load(std::memory_order_relaxed)};
    }
    // Samples of buffer memory cleared so far, by reset or by a recovery (tests count the
    // work a block does).
    uint64_t memoryCleared() const { return memoryCleared_; }
    // The random LFO shape's generator starts from this seed, now and after every reset
    // (tests make runs repeatable).
    void seedRandom(uint32_t seed) { lfo_.random.seed(seed); }
    // The compile of the processing code this engine runs (InstructionSet.h).
    InstructionSet instructionSet() const { return isa_; }

private:
    // The plain per-sample loop the tests hold the fast one against.
    friend struct PlainLoop;

    // What the loop reads once per block: switches, signs and coefficients that other
    // threads may change between blocks, taken as one consistent set.
    struct BlockSettings;

    // The loop runs in chunks of at most kChunk frames, each as a sequence of passes over
    // the chunk (Processing.cpp tells how); Chain holds the passes, Chunk what flows between
    // them, Controls the smoothed controls' values across a chunk.
    static constexpr int kChunk = 256;
    struct Chunk;
    struct Controls;
    struct Chain;
    struct ChunkDeleter {
        void operator()(Chunk* chunk) const;
    };
    using ChunkPtr = std::unique_ptr<Chunk, ChunkDeleter>;
    static ChunkPtr newChunk();

    template <typename T>
    void processBlock(const T* inL, const T* inR, const T* keyL, const T* keyR, T* outL, T* outR, int32_t frames,
                      const BlockTime& time);

    // Sample-rate dependent values that need no allocation.
    void deriveRateValues(double fs);
    void deriveEnvelopeCoefficients();
    void placeLine(int side);
    // controlsMoved false: no control glided since the last look, so the controls, finite
    // then (they are set from finite values alone), are not looked at again.
    bool stateIsFinite(bool controlsMoved = true) const;

    // What a suspend does besides clearing: smoothed values at their targets, fades and
    // time flags cleared, heads re-placed.
    void settle();
    // Every memory of sound except the buffers (filters, envelopes, LFO, clock histories...).
    void resetState();
    // Clears up to `budget` samples of the buffers laid end to end (delay lines, reverb,
    // look-ahead and meter rings), from position `from`; returns how many it cleared.
    std::size_t clearMemories(std::size_t from, std::size_t budget);

    // Overflow recovery. A recovering block clears this many buffer samples per frame,
    // which costs about what a frame of the chain does (the chain waits meanwhile); all
    // buffers are clear after about half a second at any rate, since they grow with it.
    static constexpr std::size_t kRecoveryClearPerFrame = 64;
    void recoverFromFault();
    // One recovering block's share of the clearing; true while the block is to be silent.
    bool continueRecovery(int32_t frames);

    const EngineTables tables_;

    // ---- sample rate and what follows from it ----
    Relaxed<double> sampleRate_{kDefaultSampleRate};
    double smoothingStep_ = 0.0;
    double fadeFactor_ = 0.0;
    double gateAttack_ = 0.0, duckAttack_ = 0.0;
    Relaxed<double> gateRelease_{0.0}, duckRelease_{0.0}, envCoefficient_{0.0}, envLength_{0.0};

    // ---- controls ----
    SmoothedControls controls_;
    Relaxed<double> fbSign_[2] = {{1.0}, {1.0}}, dlySign_[2] = {{1.0}, {1.0}};
    Relaxed<double> duckThreshold_{1.0};
    Relaxed<int32_t> lfoWave_{0}, lfoMode_{0}, lfoNum_{0}, lfoDen_{0};
    Relaxed<double> lfoRate_{1.0}, lfoPhaseStep_{0.0};
    Relaxed<double> modSensGain_{4.0};
    Relaxed<double> envSpeed_{0.5};
    Relaxed<int32_t> fltOn_{0}, fltType_{0}, fltMode_{0};
    Relaxed<int32_t> driveActive_{0};
    Relaxed<int32_t> vcoOn_{1};
    Relaxed<double> vcoMan_{0.0};
    Relaxed<double> delayMs_[2] = {{2000.0}, {2000.0}};
    Relaxed<int32_t> preNum_[2] = {{0}, {0}}, preDen_[2] = {{1}, {1}};
    std::atomic<uint8_t> timeChanged_[2] = {{0}, {0}};
    Relaxed<int32_t> rvbOn_{0}, rvbMode_{0};
    Relaxed<double> rvbAmt_{0.0};
    Relaxed<int32_t> bypass_{0};
    Relaxed<int32_t> hostTimeFlag_{0};

    // The compile of the processing code this engine runs, chosen at construction.
    const InstructionSet isa_;

    // ---- state of sound ----
    DelayLine line_[2];
    double fb_[2] = {0.0, 0.0};  // last sample's feedback signals
    GateEnvelope gate_[2];
    LookAhead lookAhead_;
    Ducker ducker_;
    InputMeter meter_;

    Lfo lfo_;
    EnvelopeFollower followers_;
    ModulationSignals modulation_;
    StateVariableFilter svf_;
    Drive drive_;
    AntiAliasFilter antiAlias_;
    ClockedDelay clock_[2];
    Reverb reverb_;
    ChunkPtr chunk_;  // the loop's scratch, allocated with the engine
    // Each line's last input before the drive gain, which primes the anti-alias filter
    // while the clock mode is off.
    double lastLineInput_[2] = {0.0, 0.0};

    // ---- overflow recovery
    bool recovering_ = false;
    bool controlsMayGlide_ = true;  // some control glided in the last block
    std::size_t recoveryCleared_ = 0;  // position reached in the buffers laid end to end
    uint64_t memoryCleared_ = 0;
    std::atomic<uint64_t> recoveries_{0}, ceilingActions_{0};
};

}  // namespace engine
