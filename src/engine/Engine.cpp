#include "Engine.h"

#include <cmath>

namespace engine {

Engine::Engine() = default;
Engine::~Engine() = default;

bool Engine::adoptSampleRate(double fs) {
    if (fs == sampleRate_) return false;
    sampleRate_ = fs;
    setLfoRate(lfoRate_);
    setEnvSpeed(envSpeed_);
    return true;
}

bool Engine::adoptMeterWindow(int32_t samples) {
    if (samples == meterWindow_) return false;
    meterWindow_ = samples;
    return true;
}

void Engine::suspend() {
    timeChanged_[0].store(0, std::memory_order_relaxed);
    timeChanged_[1].store(0, std::memory_order_relaxed);
    placeHeads();
    reset();
}

void Engine::reset() {}

void Engine::placeHeads() {}

void Engine::setLfoRate(double hz) {
    lfoRate_ = hz;
    lfoPhaseStep_ = hz * 6.283185307179586 / sampleRate_;
}

void Engine::setEnvSpeed(double x) { envSpeed_ = x; }

void Engine::setDelayTime(int side, double ms) {
    delayMs_[side & 1] = ms;
    markTimeChanged(side);
}

void Engine::setPreDelay(int side, int numeratorPosition, int denominatorPosition) {
    preNum_[side & 1] = numeratorPosition;
    preDen_[side & 1] = denominatorPosition;
    markTimeChanged(side);
}

void Engine::markTimeChanged(int side) { timeChanged_[side & 1].store(1, std::memory_order_release); }

bool Engine::timeChanged(int side) const { return timeChanged_[side & 1].load(std::memory_order_acquire) != 0; }

void Engine::setReverbType(int position) { rvbType_ = position; }

void Engine::setReverbDamping(double x) { rvbDamp_ = x; }

void Engine::peakQuery(float& left, float& right) {
    left = 0.0f;
    right = 0.0f;
}

template <typename T>
void Engine::processBlock(const T* inL, const T* inR, const T* keyL, const T* keyR, T* outL, T* outR, int32_t frames,
                          const BlockTime& time) {
    (void)inL;
    (void)inR;
    (void)keyL;
    (void)keyR;
    (void)time;
    for (int32_t i = 0; i < frames; ++i) {
        if (outR) outR[i] = 0;
        if (outL) outL[i] = 0;
    }
}

void Engine::process(const float* inL, const float* inR, const float* keyL, const float* keyR, float* outL,
                     float* outR, int32_t frames, const BlockTime& time) {
    processBlock(inL, inR, keyL, keyR, outL, outR, frames, time);
}

void Engine::process(const double* inL, const double* inR, const double* keyL, const double* keyR, double* outL,
                     double* outR, int32_t frames, const BlockTime& time) {
    processBlock(inL, inR, keyL, keyR, outL, outR, frames, time);
}

}  // namespace engine
