// The audio engine: all state, tables and buffers of the delay, and its processing.
// Plain C++ with no host types. Control setters may be called from any thread while a
// block runs; everything under "caller holds the engine lock" may not.
#pragma once

#include <cstdint>
#include <vector>

#include "NoteTables.h"
#include "Relaxed.h"

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
    static constexpr int kDefaultMeterWindow = 1024;

    Engine();
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // ---- lifecycle; the caller holds the engine lock ----
    double sampleRate() const { return sampleRate_; }
    // Rebuilds every sample-rate dependent value and buffer when fs differs from the
    // current rate; returns true when it did (the caller then re-applies the reverb type).
    bool adoptSampleRate(double fs);
    // Reallocates the input meter rings when the window changes; returns true when it did.
    bool adoptMeterWindow(int32_t samples);
    int32_t meterWindow() const { return meterWindow_; }
    // Smoothed values jump to their targets, fades and flags clear, heads are re-placed, then reset().
    void suspend();
    // Clears every memory of sound (delay, reverb, filters, envelopes, meters).
    void reset();
    // Places the feedback and read heads of both lines from their write heads.
    void placeHeads();

    // ---- processing; the caller holds the engine lock ----
    // Null input channels read as silence; null output channels are not written.
    // outL and outR may be the same buffer, which then receives the sum of both sides.
    void process(const float* inL, const float* inR, const float* keyL, const float* keyR, float* outL,
                 float* outR, int32_t frames, const BlockTime& time);
    void process(const double* inL, const double* inR, const double* keyL, const double* keyR, double* outL,
                 double* outR, int32_t frames, const BlockTime& time);

    // Input peaks since the last query (editor meters); the held values then restart from 0.
    void peakQuery(float& left, float& right);

    // ---- controls, written by the parameter mapping from any thread ----
    void setInputGainTarget(double gain) { inputGainTarget_ = gain; }
    void setOutputGainTarget(double gain) { outputGainTarget_ = gain; }
    void setMixTarget(double mix) { mixTarget_ = mix; }
    void setInputMuteTarget(int side, double gain) { muteGainTarget_[side & 1] = gain; }
    void setFeedbackGainTarget(int side, double gain) { fbGainTarget_[side & 1] = gain; }
    void setFeedbackPanTarget(int side, double pan) { fbPanTarget_[side & 1] = pan; }
    void setFeedbackInvert(int side, bool on) { fbSign_[side & 1] = on ? -1.0 : 1.0; }
    void setDelayInvert(int side, bool on) { dlySign_[side & 1] = on ? -1.0 : 1.0; }
    void setDelayPanTarget(int side, double pan) { dlyPanTarget_[side & 1] = pan; }
    void setGateThresholdTarget(int side, double threshold) { gateThresholdTarget_[side & 1] = threshold; }
    void setDuckThreshold(double threshold) { duckThreshold_ = threshold; }

    void setLfoWave(int position) { lfoWave_ = position; }
    // Stores the rate and derives the phase increment for the current sample rate.
    void setLfoRate(double hz);
    double lfoRate() const { return lfoRate_; }
    void setLfoMode(int position) { lfoMode_ = position; }
    void setLfoNote(int numeratorPosition, int denominatorPosition) {
        lfoNum_ = numeratorPosition;
        lfoDen_ = denominatorPosition;
    }
    void setLrOffsetTarget(double radians) { lrOffsetTarget_ = radians; }
    void setModSourceTarget(double blend) { modSrcTarget_ = blend; }
    void setModSensitivity(double gain) { modSensGain_ = gain; }
    // EnvSpeed x: envelope length and the envelope, duck and gate coefficients.
    void setEnvSpeed(double x);

    void setFilterOn(bool on) { fltOn_ = on ? 1 : 0; }
    void setFilterType(int position) { fltType_ = position; }
    void setFilterMode(int position) { fltMode_ = position; }
    void setCutoffTarget(double hz) { cutoffTarget_ = hz; }
    void setResonanceTarget(double q) { resonanceTarget_ = q; }
    void setCutoffModTarget(double depth) { cutfModTarget_ = depth; }
    void setResoModTarget(double depth) { resoModTarget_ = depth; }
    void setDriveTarget(double gain, bool active) {
        driveTarget_ = gain;
        driveActive_ = active ? 1 : 0;
    }

    void setVcoOn(bool on) { vcoOn_ = on ? 1 : 0; }
    void setVcoManual(double control) { vcoMan_ = control; }
    void setVcoModTarget(double depth) { vcoModTarget_ = depth; }

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
    void setReverbAmount(double amount) { rvbAmt_ = amount; }
    void setBypass(bool on) { bypass_ = on ? 1 : 0; }

    // 1 when the host answered the last tempo request of a block (the editor shows it).
    void setHostTimeFlag(bool present) { hostTimeFlag_ = present ? 1 : 0; }
    bool hostTimeFlag() const { return hostTimeFlag_.load() != 0; }

private:
    template <typename T>
    void processBlock(const T* inL, const T* inR, const T* keyL, const T* keyR, T* outL, T* outR, int32_t frames,
                      const BlockTime& time);

    double sampleRate_ = kDefaultSampleRate;
    int32_t meterWindow_ = kDefaultMeterWindow;

    // controls
    Relaxed<double> inputGainTarget_{1.0}, outputGainTarget_{1.0}, mixTarget_{0.5};
    Relaxed<double> muteGainTarget_[2] = {{1.0}, {1.0}};
    Relaxed<double> fbGainTarget_[2] = {{0.0}, {0.0}}, fbPanTarget_[2] = {{0.0}, {1.0}};
    Relaxed<double> fbSign_[2] = {{1.0}, {1.0}}, dlySign_[2] = {{1.0}, {1.0}};
    Relaxed<double> dlyPanTarget_[2] = {{0.0}, {1.0}}, gateThresholdTarget_[2] = {{0.0}, {0.0}};
    Relaxed<double> duckThreshold_{1.0};
    Relaxed<int32_t> lfoWave_{0}, lfoMode_{0}, lfoNum_{0}, lfoDen_{0};
    Relaxed<double> lfoRate_{1.0}, lfoPhaseStep_{0.0};
    Relaxed<double> lrOffsetTarget_{0.0}, modSrcTarget_{0.5}, modSensGain_{4.0};
    Relaxed<double> envSpeed_{0.5};
    Relaxed<int32_t> fltOn_{0}, fltType_{0}, fltMode_{0};
    Relaxed<double> cutoffTarget_{16000.0}, resonanceTarget_{0.05}, cutfModTarget_{0.0}, resoModTarget_{0.0};
    Relaxed<double> driveTarget_{1.0};
    Relaxed<int32_t> driveActive_{0};
    Relaxed<int32_t> vcoOn_{1};
    Relaxed<double> vcoMan_{0.0}, vcoModTarget_{0.0};
    Relaxed<double> delayMs_[2] = {{2000.0}, {2000.0}};
    Relaxed<int32_t> preNum_[2] = {{0}, {0}}, preDen_[2] = {{1}, {1}};
    std::atomic<uint8_t> timeChanged_[2] = {{0}, {0}};
    Relaxed<int32_t> rvbOn_{0}, rvbMode_{0}, rvbType_{0};
    Relaxed<double> rvbDamp_{0.1}, rvbAmt_{0.0};
    Relaxed<int32_t> bypass_{0};
    Relaxed<int32_t> hostTimeFlag_{0};
};

}  // namespace engine
