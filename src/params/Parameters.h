// From normalised parameter values to engine quantities: the one funnel every change
// passes through (host, editor, MIDI, programs), the tempo-synchronised recomputations
// and every display text. Values may arrive from any thread; all state here is made of
// relaxed atomics, and the engine picks the targets up at its next read.
#pragma once

#include <cstdint>

#include "../engine/Engine.h"
#include "../engine/Relaxed.h"
#include "DisplayValue.h"
#include "ParameterTable.h"

namespace params {

// Told about what the mapping does beyond the engine.
class ParameterListener {
public:
    virtual ~ParameterListener() = default;
    // Every tempo-synchronised recomputation ends here, with the tempo in force.
    virtual void tempoChanged(double bpm) = 0;
    // The mapping rewrote a stored value on its own (Range and DlyTime when a side goes
    // to time mode or changes range), so that state saved from now on plays the same time.
    virtual void valueRewritten(int index, float value) = 0;
};

// Bits of recomputeTempoSync.
enum TempoSyncBits : int { kSyncLeft = 1, kSyncRight = 2, kSyncLfo = 4, kSyncAll = 7 };

// Selectors of limitQuery.
enum LimitSelector : int {
    kLimitLeftNote = 1,
    kLimitRightNote = 2,
    kLimitLfoNote = 4,
    kLimitLeftPreDelay = 8,
    kLimitRightPreDelay = 16,
};

class Parameters {
public:
    static constexpr double kDefaultTempo = 120.0;
    static constexpr int kDisplayLength = 14;  // display texts: up to 14 characters and a terminator

    explicit Parameters(engine::Engine& engine);

    void setListener(ParameterListener* listener) { listener_ = listener; }

    // Applies the parameter's own step for index 0..59. Non-finite values and other
    // indices change nothing. RvbType retunes the reverb: the caller holds the engine lock.
    void apply(int index, float value);

    // The stored normalised value (0 for indices outside 0..59).
    double value(int index) const;
    // Overwrites the stored value without any step (link-follow of a side in note mode).
    void setStoredValue(int index, double value);

    // Writes the display text (at most 14 characters and a terminator); indices outside
    // 0..59 leave the text untouched.
    void display(int index, char* text) const;

    // What the editor's digit display shows for `item` (a parameter index, or kTempoItem),
    // from the same quantities as the display texts. Every item sets numerator (-1 unless
    // it is a note fraction); a fraction sets numerator and denominator only and leaves
    // the rest as it was, the other items set number, point, sign and ratio mode.
    void displayValue(int item, DisplayValue& out) const;

    void recomputeTempoSync(int which);
    // The editor's tempo control: 0..1 maps onto 30..400 BPM.
    void setTempoPosition(double x);
    double tempoPosition() const { return tempoPosition_; }
    double tempo() const { return tempo_; }
    // The host's tempo seen at a block start: adopted when it is new and within 30..400.
    bool adoptBlockTempo(double bpm);
    // The host's tempo seen at resume: limited to 30..400 and adopted even when unchanged.
    // Non-finite and non-positive tempos count as no answer.
    void adoptResumeTempo(double bpm);

    bool limitQuery(int selector) const;

    // Mapped quantities, for tests and the editor.
    double delayTimeMs(int side) const { return engine_.delayTime(side); }
    double rangeMs(int side) const { return rangeMs_[side & 1]; }
    bool noteMode(int side) const { return delayMode_[side & 1] != 0; }
    double lfoRate() const { return engine_.lfoRate(); }
    int lfoMode() const { return lfoMode_; }
    double cutoffTarget() const { return cutoffTarget_; }

private:
    void setDelayTimeClamped(int side, double ms);
    void applyTimeMode(int side);
    void applyRange(int side, double x);
    void applyDelayTime(int side, double x);
    void rewrite(int index, double value);
    void updatePreDelay(int side);
    double noteTimeMs(int side) const;
    double lfoNoteRate() const;

    engine::Engine& engine_;
    ParameterListener* listener_ = nullptr;

    engine::Relaxed<double> values_[kNumParameters];

    // Per side: delay mode (0 time, 1 note), note positions, range and pre-delay positions.
    engine::Relaxed<int32_t> delayMode_[2] = {{0}, {0}};
    engine::Relaxed<int32_t> delayNum_[2] = {{0}, {0}};
    engine::Relaxed<int32_t> delayDen_[2] = {{0}, {0}};
    engine::Relaxed<int32_t> rangeIndex_[2] = {{2}, {2}};
    engine::Relaxed<double> rangeMs_[2] = {{5000.0}, {5000.0}};
    engine::Relaxed<int32_t> preNum_[2] = {{0}, {0}};
    engine::Relaxed<int32_t> preDen_[2] = {{1}, {1}};

    engine::Relaxed<int32_t> lfoMode_{0}, lfoNum_{0}, lfoDen_{0};

    // Targets that display texts show exactly as they were set.
    engine::Relaxed<double> gainTarget_[2] = {{1.0}, {1.0}};  // Input, Output
    engine::Relaxed<double> cutoffTarget_{16000.0};
    engine::Relaxed<double> lrOffsetTarget_{0.0};
    engine::Relaxed<double> driveTarget_{1.0};
    engine::Relaxed<float> gateThreshold_[2] = {{0.0f}, {0.0f}};

    engine::Relaxed<double> tempo_{kDefaultTempo};
    engine::Relaxed<double> tempoPosition_{(kDefaultTempo - 30.0) / 370.0};
};

}  // namespace params
