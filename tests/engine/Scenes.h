// Busy engine configurations ("scenes") that exercise every stage and loop variant, and a
// renderer that runs one through an engine in irregular blocks with a song position, a key
// input and a change of settings halfway. Shared by the golden test and the comparison of
// the fast loop with the plain one.
#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "Engine.h"
#include "EngineRig.h"

namespace enginetest {

struct Scene {
    const char* name;
    std::function<void(engine::Engine&)> setup;   // before the engine settles
    std::function<void(engine::Engine&)> change;  // halfway through
};

inline void shortLines(engine::Engine& e, double left, double right) {
    e.setDelayTime(engine::kLeft, left);
    e.setDelayTime(engine::kRight, right);
}

inline const std::vector<Scene>& scenes() {
    using engine::Engine;
    using engine::kLeft;
    using engine::kRight;
    static const std::vector<Scene> all = {
        {"plain",
         [](Engine& e) {
             e.setVcoOn(false);
             shortLines(e, 23.0, 31.0);
             e.setFeedbackGainTarget(kLeft, 0.7);
             e.setFeedbackGainTarget(kRight, 0.5);
         },
         [](Engine& e) { e.setDelayTime(kLeft, 11.0); }},
        {"filter-fb-lowpass",
         [](Engine& e) {
             e.setVcoOn(false);
             shortLines(e, 17.0, 29.0);
             e.setFilterOn(true);
             e.setFilterMode(1);
             e.setFilterType(0);
             e.setCutoffTarget(1200.0);
             e.setResonanceTarget(0.6);
             e.setCutoffModTarget(0.7);
             e.setResoModTarget(-0.4);
             e.setLfoRate(3.0);
             e.setFeedbackGainTarget(kLeft, 0.8);
             e.setFeedbackGainTarget(kRight, 0.6);
             e.setFeedbackPanTarget(kLeft, 0.4);
         },
         [](Engine& e) {
             e.setCutoffTarget(5000.0);
             e.setModSourceTarget(0.9);
         }},
        {"filter-fx-bandpass-drive",
         [](Engine& e) {
             e.setVcoOn(false);
             shortLines(e, 13.0, 19.0);
             e.setFilterOn(true);
             e.setFilterMode(2);
             e.setFilterType(1);
             e.setCutoffTarget(900.0);
             e.setResonanceTarget(0.9);
             e.setDriveTarget(6.0, true);
             e.setLfoWave(1);
             e.setLfoRate(7.0);
             e.setCutoffModTarget(-0.5);
             e.setFeedbackGainTarget(kLeft, 0.6);
             e.setFeedbackGainTarget(kRight, 0.6);
             e.setFeedbackInvert(kRight, true);
         },
         [](Engine& e) { e.setDriveTarget(2.0, true); }},
        {"filter-in-highpass-clock",
         [](Engine& e) {
             shortLines(e, 21.0, 9.0);
             e.setFilterOn(true);
             e.setFilterMode(0);
             e.setFilterType(2);
             e.setCutoffTarget(300.0);
             e.setLfoWave(3);
             e.setLfoRate(2.0);
             e.setLrOffsetTarget(0.8);
             e.setVcoManual(-0.3);
             e.setVcoModTarget(0.6);
             e.setFeedbackGainTarget(kLeft, 0.5);
             e.setFeedbackGainTarget(kRight, 0.7);
         },
         [](Engine& e) {
             e.setVcoManual(0.4);
             e.setVcoModTarget(-0.9);
         }},
        {"spring-out-random",
         [](Engine& e) {
             shortLines(e, 27.0, 14.0);
             e.setLfoWave(4);
             e.setLfoRate(40.0);
             e.setLrOffsetTarget(1.1);
             e.setVcoModTarget(0.5);
             e.setReverbOn(true);
             e.setReverbMode(1);
             e.setReverbType(0);
             e.setReverbDamping(0.3);
             e.setReverbAmount(0.7);
             e.setDuckThreshold(0.2);
             e.setMixTarget(0.3);
         },
         [](Engine& e) { e.setReverbAmount(0.2); }},
        {"plate-triangle-gate",
         [](Engine& e) {
             shortLines(e, 33.0, 12.0);
             e.setPreDelay(kLeft, 2, 2);
             e.setLfoWave(2);
             e.setLfoRate(5.0);
             e.setVcoModTarget(-0.7);
             e.setReverbOn(true);
             e.setReverbType(1);
             e.setReverbDamping(0.6);
             e.setReverbAmount(0.5);
             e.setGateThresholdTarget(kLeft, 0.05);
             e.setGateThresholdTarget(kRight, 0.2);
             e.setFeedbackGainTarget(kLeft, 0.9);
             e.setDelayPanTarget(kLeft, 0.7);
             e.setDelayInvert(kLeft, true);
         },
         [](Engine& e) { e.setReverbDamping(0.1); }},
        {"everything-song-locked",
         [](Engine& e) {
             shortLines(e, 19.0, 26.0);
             e.setFilterOn(true);
             e.setFilterMode(1);
             e.setFilterType(1);
             e.setCutoffTarget(2500.0);
             e.setResonanceTarget(0.4);
             e.setCutoffModTarget(0.9);
             e.setResoModTarget(0.5);
             e.setDriveTarget(3.0, true);
             e.setLfoMode(2);
             e.setLfoNote(1, 3);
             e.setLfoWave(0);
             e.setVcoManual(0.2);
             e.setVcoModTarget(0.8);
             e.setReverbOn(true);
             e.setReverbType(0);
             e.setReverbAmount(0.4);
             e.setFeedbackGainTarget(kLeft, 0.7);
             e.setFeedbackGainTarget(kRight, 0.7);
             e.setFeedbackPanTarget(kLeft, 1.0);
             e.setFeedbackPanTarget(kRight, 0.0);
             e.setModSourceTarget(0.3);
             e.setModSensitivity(6.0);
             e.setEnvSpeed(0.2);
             e.setInputGainTarget(1.5);
         },
         [](Engine& e) {
             e.setDelayTime(kRight, 7.0);
             e.setFilterType(0);
         }},
        {"bypass-reverb",
         [](Engine& e) {
             shortLines(e, 15.0, 15.0);
             e.setReverbOn(true);
             e.setReverbType(1);
             e.setReverbAmount(1.0);
             e.setBypass(true);
         },
         [](Engine& e) { e.setBypass(false); }},
        {"switching",
         [](Engine& e) {
             shortLines(e, 11.0, 24.0);
             e.setFilterOn(true);
             e.setFilterMode(2);
             e.setDriveTarget(5.0, true);
             e.setVcoOn(false);
             e.setVcoModTarget(1.0);
             e.setReverbOn(true);
             e.setReverbAmount(0.6);
             e.setFeedbackGainTarget(kLeft, 0.6);
             e.setFeedbackGainTarget(kRight, 0.6);
         },
         [](Engine& e) {
             e.setVcoOn(true);  // the primed anti-alias filter takes over
             e.setFilterMode(0);
             e.setDriveTarget(1.0, false);
             e.setReverbOn(false);
             e.setLfoWave(1);
         }},
    };
    return all;
}

inline const Scene* findScene(const char* name) {
    for (const Scene& s : scenes())
        if (std::strcmp(s.name, name) == 0) return &s;
    return nullptr;
}

// 12000 frames of noise (main and key) at 44100 Hz, blocks of 256, 100, 1 and 333 in turn,
// a song position at 120 BPM advancing with the audio, the scene's change at frame 6000.
template <typename T>
void renderScene(engine::Engine& e, const Scene& scene, std::vector<T>& outL, std::vector<T>& outR,
                 const std::function<void(engine::Engine&, const T*, const T*, const T*, T*, T*, int32_t,
                                          const engine::BlockTime&)>& process = nullptr) {
    constexpr int kFrames = 12000;
    constexpr int kChange = 6000;
    constexpr int kBlocks[] = {256, 100, 1, 333};
    e.seedRandom(7);
    scene.setup(e);
    e.suspend();
    const Signal l = noise(kFrames, 11), r = noise(kFrames, 12), k = noise(kFrames, 13);
    std::vector<T> inL(l.begin(), l.end()), inR(r.begin(), r.end()), key(k.begin(), k.end());
    for (auto& v : key) v = static_cast<T>(v * 0.5);
    outL.assign(kFrames, T(0));
    outR.assign(kFrames, T(0));
    int at = 0, turn = 0;
    bool changed = false;
    while (at < kFrames) {
        if (!changed && at >= kChange) {
            scene.change(e);
            changed = true;
        }
        const int n = std::min(kBlocks[turn++ % 4], kFrames - at);
        const engine::BlockTime time{true, at / 44100.0 * 2.0};
        if (process)
            process(e, inL.data() + at, inR.data() + at, key.data() + at, outL.data() + at, outR.data() + at, n,
                    time);
        else
            e.process(inL.data() + at, inR.data() + at, key.data() + at, key.data() + at, outL.data() + at,
                      outR.data() + at, n, time);
        at += n;
    }
}

}  // namespace enginetest
