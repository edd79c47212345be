// The effect: identity, engine lock, channel routing, suspend/resume and the funnel from
// host parameter values into the engine.
#pragma once

#include <atomic>

#include "../editor/EditorObject.h"
#include "../editor/PanelEffect.h"
#include "../engine/Engine.h"
#include "../engine/Relaxed.h"
#include "../params/Parameters.h"
#include "../platform/EngineLock.h"
#include "../presets/CPresetSystemEffect.h"

// Six indices into the host's buffer arrays.
struct ChannelRouting {
    VstInt32 inLeft = 0, inRight = 0, keyLeft = 0, keyRight = 0, outLeft = 0, outRight = 0;
};

// The supported (inputs, outputs) combinations; null when there is no row for them.
const ChannelRouting* routingFor(VstInt32 inputs, VstInt32 outputs);

class QEL : public CPresetSystemEffect, public PanelEffect, private params::ParameterListener {
public:
    static constexpr VstInt32 kUniqueID = vstFourCC('V', 'q', '4', '1');
    static constexpr VstInt32 kNumInputs = 4;
    static constexpr VstInt32 kNumOutputs = 2;
    static constexpr double kMinSampleRate = 4096.0;
    static constexpr double kMaxSampleRate = 200000.0;
    static constexpr VstInt32 kMaxOutputLatency = 44100;

    explicit QEL(audioMasterCallback audioMaster);
    ~QEL() override;

    // ---- host ----
    void suspend() override;
    void resume() override;
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) override;
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void getParameterLabel(VstInt32 index, char* label) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;
    bool getParameterProperties(VstInt32 index, VstParameterProperties* p) override;
    bool setSpeakerArrangement(VstSpeakerArrangement* pluginInput, VstSpeakerArrangement* pluginOutput) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override { return 0; }
    // effVendorSpecific with index kInstructionSetQuery: the name of the compile of the
    // processing code this instance runs ("SSE2" or "AVX2") into ptr, a buffer of `value`
    // bytes (at least 8); answers 1. Anything else answers 0, as before.
    static constexpr VstInt32 kInstructionSetQuery = vstFourCC('V', 'i', 's', 'a');
    // effVendorSpecific with index kFaultQuery: how often the engine started over after an
    // overflow and how often its output ceiling silenced the rest of a block, since the
    // instance was made, as two 64-bit integers into ptr, a buffer of `value` bytes (at
    // least 16); answers 1. (The stress tool and the tests read them.)
    static constexpr VstInt32 kFaultQuery = vstFourCC('V', 'f', 'l', 't');
    // effVendorSpecific with index kHostScale and value kHostScaleValue: the scale the host
    // shows its windows at in opt (1.5 for 150 %), which the editor follows unless the user
    // chose a zoom; answers 1 when the editor takes it. Hosts that scale their windows
    // announce it this way.
    static constexpr VstInt32 kHostScale = vstFourCC('P', 'r', 'e', 'S');
    static constexpr VstInt32 kHostScaleValue = vstFourCC('A', 'e', 'C', 's');
    VstIntPtr vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) override;
    VstInt32 getPlugCategory() override { return 0; }
    bool canParameterBeAutomated(VstInt32 index) override {
        (void)index;
        return true;
    }

    // ---- preset system ----
    void selectProgram(VstInt32 index) override;
    bool skipOnSave(VstInt32 parameter) override;
    bool skipOnLegacyLoad(VstInt32 parameter) override;

    // ---- editor-facing operations ----
    bool linkCheck();
    void linkFollow(bool fromRight) override;
    void recomputeTempoSync(int which) { params_.recomputeTempoSync(which); }
    void setTempoPosition(double x) override { params_.setTempoPosition(x); }
    double getTempoPosition() const override { return params_.tempoPosition(); }
    double hostTempo() const { return params_.tempo(); }
    bool limitQuery(int selector) const override { return params_.limitQuery(selector); }
    void getDisplayValue(int item, params::DisplayValue& out) const override { params_.displayValue(item, out); }
    void peakQuery(float& left, float& right) override;
    bool hostTimeFlag() const override { return engine_.hostTimeFlag(); }

    // ---- for tests and tools ----
    ChannelRouting routing() const;
    bool routingFromHost() const { return routingFromHost_; }
    double engineSampleRate() const { return engine_.sampleRate(); }
    VstInt32 meterWindow() const { return engine_.meterWindow(); }
    const params::Parameters& parameters() const { return params_; }
    // The editor object; null once destruction has begun.
    EditorObject* editorObject() const { return editorObject_; }

protected:
    // Parameter 43 has no sound and no control of its own (its value lives only in the
    // programs), so reporting it touches nothing a user automates or undoes.
    VstInt32 stateReportParameter() override { return params::kUnused43; }

private:
    // Construction steps that run while the constructor holds the engine lock.
    void construct();
    void resumeLocked();
    void tempoChanged(double bpm) override;
    void valueRewritten(int index, float value) override;

    template <typename T>
    void processAny(T** inputs, T** outputs, VstInt32 sampleFrames);
    // The RvbType step alone, under the engine lock (no program store, no MIDI learn).
    void applyReverbType();
    void setRouting(const ChannelRouting& r);

    EditorObject* editorObject_ = nullptr;  // owned; also the host's editor when it has a window
    platform::EngineLock lock_;
    engine::Engine engine_;
    params::Parameters params_;

    engine::Relaxed<VstInt32> inLeft_{0}, inRight_{0}, keyLeft_{0}, keyRight_{0}, outLeft_{0}, outRight_{0};
    std::atomic<bool> routingFromHost_{false};
    // An RvbType change that could not take the engine lock is applied by the next block.
    std::atomic<bool> reverbRetunePending_{false};
};

AudioEffect* createEffectInstance(audioMasterCallback audioMaster);
