// A resume starts a new stream. An instance that has played (with other settings, at
// another sample rate and tempo, in blocks of any size) and is then given the same values
// as a new instance renders, after suspend and resume, exactly what the new one renders:
// the same bits in every output sample, in both sample formats, and the same meter peaks.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "../../src/host/QEL.h"
#include "../../src/presets/FactoryBank.h"
#include "FakeHost.h"
#include "ParameterTable.h"

using namespace params;

namespace {

using Values = std::vector<float>;

// A setting: "Default" with these parameters changed.
struct Setting {
    const char* name;
    std::vector<std::pair<int, float>> changes;
};

Values valuesOf(const Setting& s) {
    Values v(presets::kFactoryBank[0].values, presets::kFactoryBank[0].values + kNumParameters);
    for (auto [index, value] : s.changes) v[static_cast<size_t>(index)] = value;
    return v;
}

// Between them the rows run every stage: each filter placement and type, drive, the clock
// (off, steady, and modulated by every LFO shape and by the envelopes), both reverbs and
// both reverb modes, note values, the LFO free, synchronised and locked to the song, the
// gates, ducking by the key, pre-delay, mutes and inversions.
const std::vector<Setting>& settings() {
    static const std::vector<Setting> all = {
        {"sine on the clock, low-pass at the input",
         {{kDlyModeL, 0.25f}, {kDlyModeR, 0.25f}, {kRangeL, 0.166667f}, {kRangeR, 0.166667f}, {kDlyTimeL, 0.37f},
          {kDlyTimeR, 0.23f}, {kFbGainL, 0.6f}, {kFbGainR, 0.6f}, {kVcoOn, 0.75f}, {kVcoMan, 0.4f}, {kVcoMod, 0.9f},
          {kLfoWave, 0.1f}, {kLfoRate, 0.45f}, {kLfoMode, 0.166667f}, {kFltOn, 0.75f}, {kFltMode, 0.166667f},
          {kFltType, 0.166667f}, {kCutoff, 0.55f}, {kReso, 0.5f}, {kCutfMod, 0.95f}, {kResoMod, 0.8f},
          {kModSrc, 0.2f}}},
        {"square LFO, band-pass in the feedback, drive, ping-pong",
         {{kDlyModeL, 0.25f}, {kDlyModeR, 0.25f}, {kRangeL, 0.166667f}, {kRangeR, 0.166667f}, {kDlyTimeL, 0.5f},
          {kDlyTimeR, 0.41f}, {kFbGainL, 0.7f}, {kFbGainR, 0.7f}, {kFbPanL, 1.0f}, {kFbPanR, 0.0f},
          {kFbInvL, 0.75f}, {kVcoOn, 0.25f}, {kLfoWave, 0.3f}, {kLfoRate, 0.6f}, {kLfoMode, 0.166667f},
          {kModSrc, 0.0f}, {kFltOn, 0.75f}, {kFltMode, 0.5f}, {kFltType, 0.5f}, {kCutoff, 0.45f}, {kReso, 0.8f},
          {kCutfMod, 0.2f}, {kDrive, 0.5f}}},
        {"saw LFO, high-pass on what is heard, spring fed the whole signal",
         {{kDlyModeL, 0.25f}, {kDlyModeR, 0.25f}, {kRangeL, 0.5f}, {kRangeR, 0.5f}, {kDlyTimeL, 0.071f},
          {kDlyTimeR, 0.043f}, {kFbGainL, 0.5f}, {kFbGainR, 0.5f}, {kMix, 0.4f}, {kVcoOn, 0.75f},
          {kVcoMod, 0.7f}, {kLfoWave, 0.7f}, {kLfoRate, 0.5f}, {kLfoMode, 0.166667f}, {kModSrc, 0.1f},
          {kFltOn, 0.75f}, {kFltMode, 0.833333f}, {kFltType, 0.833333f}, {kCutoff, 0.3f}, {kCutfMod, 0.8f},
          {kRvbOn, 0.75f}, {kRvbType, 0.25f}, {kRvbMode, 0.75f}, {kRvbAmt, 0.7f}, {kRvbDamp, 0.3f}}},
        {"random LFO on the clock, plate, gates",
         {{kDlyModeL, 0.25f}, {kDlyModeR, 0.25f}, {kRangeL, 0.5f}, {kRangeR, 0.5f}, {kDlyTimeL, 0.05f},
          {kDlyTimeR, 0.061f}, {kFbGainL, 0.65f}, {kFbGainR, 0.55f}, {kVcoOn, 0.75f}, {kVcoMod, 0.15f},
          {kLfoWave, 0.9f}, {kLfoRate, 0.8f}, {kLrOffset, 0.8f}, {kLfoMode, 0.166667f}, {kModSrc, 0.0f},
          {kRvbOn, 0.75f}, {kRvbType, 0.75f}, {kRvbAmt, 0.5f}, {kRvbDamp, 0.6f}, {kDlyGateL, 0.3f},
          {kDlyGateR, 0.5f}, {kDlyPanL, 0.7f}, {kDlyInvR, 0.75f}}},
        {"note values, a steady clock, triangle locked to the song, ducking by the key, pre-delay",
         {{kDlyModeL, 0.75f}, {kDlyModeR, 0.75f}, {kDlyNumL, 0.3f}, {kDlyDenL, 0.730769f}, {kDlyNumR, 0.1f},
          {kDlyDenR, 0.884615f}, {kPreNumL, 0.25f}, {kPreDenL, 0.269231f}, {kFbGainL, 0.5f}, {kFbGainR, 0.5f},
          {kLfoMode, 0.833333f}, {kLfoNum, 0.1f}, {kLfoDen, 0.423077f}, {kLfoWave, 0.5f}, {kVcoMan, 0.3f},
          {kFltOn, 0.75f}, {kFltMode, 0.5f}, {kCutfMod, 0.7f}, {kCutoff, 0.6f}, {kDucking, 0.3f}}},
        {"envelopes on filter and clock, synchronised LFO, muted right input, inversions",
         {{kDlyModeL, 0.25f}, {kDlyModeR, 0.25f}, {kRangeL, 0.166667f}, {kRangeR, 0.166667f}, {kDlyTimeL, 0.29f},
          {kDlyTimeR, 0.53f}, {kFbGainL, 0.6f}, {kFbGainR, 0.6f}, {kFbPanL, 0.5f}, {kFbPanR, 0.5f},
          {kFbInvR, 0.75f}, {kDlyInvL, 0.75f}, {kMuteInR, 1.0f}, {kModSrc, 0.9f}, {kModSens, 0.8f},
          {kEnvSpeed, 0.05f}, {kLfoMode, 0.5f}, {kLfoNum, 0.5f}, {kLfoDen, 0.423077f}, {kVcoOn, 0.75f},
          {kVcoMod, 0.75f}, {kFltOn, 0.75f}, {kFltMode, 0.166667f}, {kFltType, 0.5f}, {kCutfMod, 0.9f},
          {kResoMod, 0.2f}, {kReso, 0.7f}, {kDrive, 0.3f}}},
    };
    return all;
}

// Noise on the main inputs and, quieter, on the key inputs.
struct Noise {
    uint32_t seed;
    double next(double level) {
        seed = seed * 1664525u + 1013904223u;
        return level * (static_cast<double>(seed >> 8) / 8388608.0 - 1.0);
    }
};

template <typename T>
struct Buffers {
    std::vector<T> data[6];
    T* in[4];
    T* out[2];

    explicit Buffers(int frames) {
        for (auto& d : data) d.assign(static_cast<size_t>(frames), T(0));
        for (int c = 0; c < 4; ++c) in[c] = data[c].data();
        for (int c = 0; c < 2; ++c) out[c] = data[4 + c].data();
    }
    void fill(Noise& noise, int frames) {
        for (int i = 0; i < frames; ++i)
            for (int c = 0; c < 4; ++c) in[c][i] = static_cast<T>(noise.next(c < 2 ? 0.8 : 0.4));
    }
};

std::string text(double v) {
    char t[32];
    std::snprintf(t, sizeof t, "%.9g", v);
    return t;
}

void process(QEL& fx, float** in, float** out, int frames) { fx.processReplacing(in, out, frames); }
void process(QEL& fx, double** in, double** out, int frames) { fx.processDoubleReplacing(in, out, frames); }

// The host's song position moves on with the audio.
void advance(int frames, double rate) {
    VstTimeInfo& t = fakehost::state().time;
    t.ppqPos += frames / rate * t.tempo / 60.0;
}

template <typename T>
void play(QEL& fx, Noise& noise, double seconds, double rate, int block) {
    Buffers<T> b(block);
    for (int left = static_cast<int>(seconds * rate); left > 0; left -= block) {
        const int n = std::min(block, left);
        b.fill(noise, n);
        process(fx, b.in, b.out, n);
        advance(n, rate);
    }
}

// Both instances, block for block, the same input and host time; the first difference.
template <typename T>
std::string renderAlike(QEL& used, QEL& fresh, Noise& noise, double seconds, double rate, int block) {
    Buffers<T> a(block), b(block);
    const int frames = static_cast<int>(seconds * rate);
    for (int at = 0; at < frames; at += block) {
        const int n = std::min(block, frames - at);
        a.fill(noise, n);
        for (int c = 0; c < 4; ++c) std::memcpy(b.in[c], a.in[c], sizeof(T) * static_cast<size_t>(n));
        process(used, a.in, a.out, n);
        process(fresh, b.in, b.out, n);
        advance(n, rate);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < n; ++i)
                if (std::memcmp(&a.out[c][i], &b.out[c][i], sizeof(T)) != 0)
                    return "output " + std::to_string(c) + " frame " + std::to_string(at + i) + ": used " +
                           text(a.out[c][i]) + ", fresh " + text(b.out[c][i]);
    }
    float usedPeak[2], freshPeak[2];
    used.peakQuery(usedPeak[0], usedPeak[1]);
    fresh.peakQuery(freshPeak[0], freshPeak[1]);
    if (std::memcmp(usedPeak, freshPeak, sizeof usedPeak) != 0) return "the input meter's peaks differ";
    return "";
}

void setAll(QEL& fx, const Values& v) {
    for (int i = 0; i < kNumParameters; ++i) fx.setParameter(i, v[static_cast<size_t>(i)]);
}

TEST(Resume, AUsedInstanceRendersAsAFreshOneGivenTheSameValues) {
    constexpr float kRates[] = {22050.0f, 44100.0f, 48000.0f, 96000.0f};
    constexpr int kBlocks[] = {64, 1000, 512, 333};
    constexpr double kLoneTempo = 97.0, kTempo = 120.0;
    const auto& rows = settings();
    int combination = 0;
    for (size_t r = 0; r < rows.size(); ++r) {
        for (float rate : kRates) {
            const int block = kBlocks[combination++ % 4];
            const std::string where = std::string(rows[r].name) + ", " + std::to_string(static_cast<int>(rate)) +
                                      " Hz, blocks of " + std::to_string(block);
            fakehost::state().reset();
            fakehost::state().time.tempo = kLoneTempo;
            Noise noise{static_cast<uint32_t>(r * 131 + static_cast<size_t>(rate))};

            // The used instance's past: another setting, another rate, another tempo.
            auto used = std::make_unique<QEL>(fakehost::callback);
            used->setSampleRate(rate == 96000.0f ? 48000.0f : 96000.0f);
            setAll(*used, valuesOf(rows[(r + 1) % rows.size()]));
            used->resume();
            play<float>(*used, noise, 0.4, used->getSampleRate(), 777);
            used->suspend();

            // Both are given the same values while suspended (a host restoring a session);
            // the used one plays a while longer on its own.
            auto fresh = std::make_unique<QEL>(fakehost::callback);
            for (QEL* fx : {used.get(), fresh.get()}) {
                fx->setSampleRate(rate);
                setAll(*fx, valuesOf(rows[r]));
            }
            used->resume();
            play<float>(*used, noise, 0.5, rate, 100);
            used->suspend();

            for (bool doubles : {false, true}) {
                fakehost::state().time.tempo = kTempo;
                used->resume();
                fresh->resume();
                const std::string mismatch = doubles ? renderAlike<double>(*used, *fresh, noise, 1.0, rate, block)
                                                     : renderAlike<float>(*used, *fresh, noise, 1.0, rate, block);
                EXPECT_EQ(mismatch, "") << where << (doubles ? ", 64-bit" : ", 32-bit");
                // Once more, after the used one alone has played on.
                fakehost::state().time.tempo = kLoneTempo;
                play<double>(*used, noise, 0.3, rate, 257);
                used->suspend();
                fresh->suspend();
            }
        }
    }
}

// A side in note mode does not take DlyTime, so two instances may hold different DlyTime
// values for it (what each was given before the side went to note mode). That value must
// never be heard: not while the side is in note mode, not when its range changes, the
// tempo moves, the host sends a DlyTime or the other side follows it, and not when it goes
// back to time mode, which takes the note's time as its own.
TEST(Resume, ADelayTimeThatANoteModeSideIgnoresIsNeverHeard) {
    struct Step {
        const char* what;
        void (*apply)(QEL&);
    };
    const Step steps[] = {
        {"nothing else", [](QEL&) {}},
        {"a new range", [](QEL& fx) { fx.setParameter(kRangeL, 0.5f); }},
        {"a new tempo", [](QEL&) { fakehost::state().time.tempo = 133.0; }},
        {"a DlyTime from the host", [](QEL& fx) { fx.setParameter(kDlyTimeL, 0.6f); }},
        {"the right side following the left", [](QEL& fx) { fx.linkFollow(false); }},
        {"time mode again", [](QEL& fx) { fx.setParameter(kDlyModeL, 0.25f); }},
        {"a new range in time mode", [](QEL& fx) { fx.setParameter(kRangeL, 0.833333f); }},
    };
    constexpr double kRate = 44100.0;
    fakehost::state().reset();
    Values v = valuesOf(settings()[0]);  // time mode on both sides, 100 ms range, repeats
    v[kDlyNumL] = 0.1f;                  // in note mode 1/96: 21 ms at 120 BPM
    v[kDlyDenL] = 0.961538f;
    QEL a(fakehost::callback), b(fakehost::callback);
    for (QEL* fx : {&a, &b}) {
        fx->setSampleRate(static_cast<float>(kRate));
        setAll(*fx, v);
    }
    a.setParameter(kDlyTimeL, 0.2f);
    b.setParameter(kDlyTimeL, 0.9f);
    for (QEL* fx : {&a, &b}) fx->setParameter(kDlyModeL, 0.75f);
    ASSERT_NE(a.getParameter(kDlyTimeL), b.getParameter(kDlyTimeL));

    Noise noise{7};
    for (const Step& step : steps) {
        for (QEL* fx : {&a, &b}) {
            step.apply(*fx);
            fx->resume();
        }
        EXPECT_EQ(a.parameters().delayTimeMs(0), b.parameters().delayTimeMs(0)) << step.what;
        EXPECT_EQ(a.parameters().delayTimeMs(1), b.parameters().delayTimeMs(1)) << step.what;
        EXPECT_EQ(renderAlike<float>(a, b, noise, 0.3, kRate, 512), "") << step.what;
        a.suspend();
        b.suspend();
    }
    // Back in time mode the side holds the same DlyTime on both.
    EXPECT_EQ(a.getParameter(kDlyTimeL), b.getParameter(kDlyTimeL));
}

}  // namespace
