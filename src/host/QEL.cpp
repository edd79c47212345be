#include "QEL.h"

#include <cmath>
#include <cstring>

#include "../params/SidePairs.h"
#include "../params/Quantise.h"
#include "../vst/vststrings.h"

using namespace params;

namespace {

constexpr const char* kEffectName = "Vantel";
constexpr const char* kVendorName = "Morvane";
constexpr const char* kProductName = "Vantel - The ultimate delay machine";

// Routing rows by (inputs, outputs). With a stereo input and no side-chain the key is the
// main input itself; with two inputs and one output the second input is the key.
struct RoutingRow {
    VstInt32 inputs, outputs;
    ChannelRouting routing;
};
constexpr RoutingRow kRoutingTable[] = {
    {1, 1, {0, 0, 0, 0, 0, 0}}, {1, 2, {0, 0, 0, 0, 0, 1}}, {2, 1, {0, 0, 1, 1, 0, 0}},
    {2, 2, {0, 1, 0, 1, 0, 1}}, {3, 2, {0, 1, 2, 2, 0, 1}}, {4, 2, {0, 1, 2, 3, 0, 1}},
};

}  // namespace

const ChannelRouting* routingFor(VstInt32 inputs, VstInt32 outputs) {
    for (const auto& row : kRoutingTable)
        if (row.inputs == inputs && row.outputs == outputs) return &row.routing;
    return nullptr;
}

QEL::QEL(audioMasterCallback audioMaster) : CPresetSystemEffect(audioMaster), params_(engine_) {
    // The host cannot know this effect before the entry point returns it.
    muteHostCalls(true);
    lock_.lock();
    try {
        construct();
    } catch (...) {
        EditorObject* own = editorObject_;
        editorObject_ = nullptr;
        setEditor(nullptr);
        delete own;
        lock_.unlock();
        throw;
    }
    lock_.unlock();
    muteHostCalls(false);
}

void QEL::construct() {
    params_.setListener(this);
    setRouting(ChannelRouting{});
    setNumInputs(kNumInputs);
    setNumOutputs(kNumOutputs);
    setUniqueID(kUniqueID);
    canProcessReplacing(true);
    canDoubleReplacing(true);
    applyReverbType();  // RvbType 0: the spring
    currentProgram_ = 0;
    editorObject_ = createEditorObject(this);
    loadStartupDefaults();
    selectProgram(0);
    engine_.placeHeads();
    suspend();
}

QEL::~QEL() {
    // The editor object goes first, while the effect it serves is still whole: its window
    // closes and its recent paths are written back.
    EditorObject* own = editorObject_;
    editorObject_ = nullptr;
    setEditor(nullptr);
    delete own;
    lock_.lock();
    params_.setListener(nullptr);
    // Engine buffers go with the engine member; the lock must be free when it is destroyed.
    lock_.unlock();
}

// ---------------------------------------------------------------- lifecycle

void QEL::suspend() {
    platform::BoundedLockGuard guard(lock_);
    if (!guard.owned()) return;
    engine_.suspend();
}

void QEL::resume() {
    // A block stuck elsewhere gets a few chances to finish; after that the resume is
    // skipped and the engine stays consistent at its old rate.
    constexpr int kAttempts = 3;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        platform::BoundedLockGuard guard(lock_);
        if (guard.owned()) {
            resumeLocked();
            return;
        }
    }
}

void QEL::resumeLocked() {

    CPresetSystemEffect::resume();  // asks for MIDI

    if (VstTimeInfo* time = getTimeInfo(kVstTempoValid)) params_.adoptResumeTempo(time->tempo);

    if (!routingFromHost_) {
        VstInt32 inputs = 0, outputs = 0;
        while (inputs < kNumInputs && isInputConnected(inputs)) ++inputs;
        while (outputs < kNumOutputs && isOutputConnected(outputs)) ++outputs;
        if (const ChannelRouting* row = routingFor(inputs, outputs)) setRouting(*row);
    }

    double fs = getSampleRate();
    if (!(fs >= kMinSampleRate && fs <= kMaxSampleRate)) fs = 44100.0;
    if (engine_.adoptSampleRate(fs)) {
        applyReverbType();
        // The cutoff's ceiling is half the sample rate: map the stored value anew.
        params_.apply(kCutoff, static_cast<float>(params_.value(kCutoff)));
    }

    // Checked at the host's full width: an answer of 2^32 + 7 is no 7.
    const VstIntPtr latency = callHost(audioMasterGetOutputLatency);
    const VstInt32 window = (latency < 1 || latency > kMaxOutputLatency) ? engine::Engine::kDefaultMeterWindow
                                                                         : static_cast<VstInt32>(latency);
    engine_.adoptMeterWindow(window);

    // Playing starts from the state as it now is, whatever played before: values that
    // arrived while the effect did not run (a session being restored, an offline bounce
    // after playback) are taken at once rather than glided into, and no fade of the delay
    // heads is left over. This is what suspend does; a host may resume without one.
    engine_.suspend();
}

// ---------------------------------------------------------------- processing

void QEL::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    processAny(inputs, outputs, sampleFrames);
}

void QEL::processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) {
    processAny(inputs, outputs, sampleFrames);
}

template <typename T>
void QEL::processAny(T** inputs, T** outputs, VstInt32 sampleFrames) {
    if (sampleFrames < 0) sampleFrames = 0;
    platform::BoundedLockGuard guard(lock_);

    const ChannelRouting r = routing();
    const T* inL = inputs ? inputs[r.inLeft] : nullptr;
    const T* inR = inputs ? inputs[r.inRight] : nullptr;
    T* outL = outputs ? outputs[r.outLeft] : nullptr;
    T* outR = outputs ? outputs[r.outRight] : nullptr;

    if (!guard.owned()) {
        // Another thread is rebuilding the engine: this block is silent and touches nothing.
        (void)inL;
        (void)inR;
        for (VstInt32 i = 0; i < sampleFrames; ++i) {
            if (outL) outL[i] = 0;
            if (outR) outR[i] = 0;
        }
        return;
    }

    if (reverbRetunePending_.exchange(false)) applyReverbType();

    VstTimeInfo* tempoInfo = getTimeInfo(kVstTempoValid);
    engine_.setHostTimeFlag(tempoInfo != nullptr);
    if (tempoInfo) params_.adoptBlockTempo(tempoInfo->tempo);

    engine::BlockTime time;
    if (VstTimeInfo* positionInfo = getTimeInfo(kVstPpqPosValid)) {
        time.hasSongPosition = std::isfinite(positionInfo->ppqPos);
        time.ppqPos = time.hasSongPosition ? positionInfo->ppqPos : 0.0;
    }

    // The host callbacks above may have re-entered us; fetch the key buffers now.
    const T* keyL = inputs ? inputs[r.keyLeft] : nullptr;
    const T* keyR = inputs ? inputs[r.keyRight] : nullptr;
    engine_.process(inL, inR, keyL, keyR, outL, outR, sampleFrames, time);
}

void QEL::peakQuery(float& left, float& right) { engine_.peakQuery(left, right); }

// ---------------------------------------------------------------- parameters

void QEL::applyReverbType() {
    platform::BoundedLockGuard guard(lock_);
    if (!guard.owned()) {
        reverbRetunePending_ = true;
        return;
    }
    params_.apply(kRvbType, static_cast<float>(params_.value(kRvbType)));
}

void QEL::setParameter(VstInt32 index, float value) {
    if (!std::isfinite(value)) return;
    if (isParameter(index)) {
        if (index == kRvbType) {
            platform::BoundedLockGuard guard(lock_);
            if (guard.owned()) {
                params_.apply(index, value);
            } else {
                // Keep the value; the next block retunes under its own hold of the lock.
                params_.setStoredValue(index, value);
                reverbRetunePending_ = true;
            }
        } else {
            params_.apply(index, value);
        }
    }
    if (EditorObject* e = editorObject()) e->setParameter(index, value);
    if (!isApplyingProgram()) CPresetSystemEffect::setParameter(index, value);
}

float QEL::getParameter(VstInt32 index) {
    if (isParameter(index) && index != kUnused43 && index != kUnused44)
        return static_cast<float>(params_.value(index));
    return CPresetSystemEffect::getParameter(index);
}

void QEL::getParameterLabel(VstInt32 index, char* label) { parameterLabel(index, label); }

void QEL::getParameterDisplay(VstInt32 index, char* text) { params_.display(index, text); }

void QEL::getParameterName(VstInt32 index, char* text) { parameterName(index, text); }

bool QEL::getParameterProperties(VstInt32 index, VstParameterProperties* p) {
    if (!p || !isParameter(index)) return false;
    const ParameterInfo& info = kParameterTable[index];
    switch (info.hint) {
        case Hint::Switch:
            p->flags |= kVstParameterIsSwitch | kVstParameterUsesIntegerMinMax | kVstParameterUsesIntStep;
            p->minInteger = 0;
            p->maxInteger = 1;
            p->stepInteger = 1;
            p->largeStepInteger = 1;
            break;
        case Hint::Integer:
            p->flags = 0;
            p->minInteger = 1;
            p->maxInteger = info.positions;
            p->stepInteger = 1;
            break;
        case Hint::EnvSpeed:
            p->stepFloat = 0.0011111111f;  // one millisecond
            p->smallStepFloat = 0.0011111111f;
            p->largeStepFloat = 0.011111111f;  // ten milliseconds
            p->flags = kVstParameterUsesFloatStep;
            break;
        case Hint::DelayTime:
            p->stepFloat = 0.0001f;
            p->smallStepFloat = 0.0001f;
            p->largeStepFloat = 0.1f;
            p->flags = kVstParameterUsesFloatStep;
            break;
        case Hint::None: return false;
    }
    // Some hosts hand over a record they never cleared and take its label as the
    // parameter's name whenever the answer is yes: the names are always written.
    vst::copyString(p->label, info.name, kVstMaxLabelLen - 1);
    vst::copyString(p->shortLabel, info.name, kVstMaxShortLabelLen - 1);
    return true;
}

// ---------------------------------------------------------------- identity and routing

bool QEL::getEffectName(char* name) {
    vst::copyString(name, kEffectName, kVstMaxEffectNameLen);
    return true;
}

bool QEL::getVendorString(char* text) {
    vst::copyString(text, kVendorName, kVstMaxVendorStrLen);
    return true;
}

bool QEL::getProductString(char* text) {
    vst::copyString(text, kProductName, kVstMaxProductStrLen);
    return true;
}

VstIntPtr QEL::vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    if (index == kHostScale && value == kHostScaleValue) {
        EditorObject* e = editorObject();
        return e && e->hostScaleAnnounced(opt) ? 1 : 0;
    }
    if (index == kInstructionSetQuery && ptr && value >= 8) {
        vst::copyString(static_cast<char*>(ptr), engine::nameOf(engine_.instructionSet()), 7);
        return 1;
    }
    if (index == kFaultQuery && ptr && value >= 16) {
        const engine::Engine::Faults faults = engine_.faults();
        const int64_t counts[2] = {static_cast<int64_t>(faults.recoveries), static_cast<int64_t>(faults.ceilingActions)};
        std::memcpy(ptr, counts, sizeof counts);
        return 1;
    }
    return 0;
}

void QEL::setRouting(const ChannelRouting& r) {
    inLeft_ = r.inLeft;
    inRight_ = r.inRight;
    keyLeft_ = r.keyLeft;
    keyRight_ = r.keyRight;
    outLeft_ = r.outLeft;
    outRight_ = r.outRight;
}

ChannelRouting QEL::routing() const {
    return ChannelRouting{inLeft_, inRight_, keyLeft_, keyRight_, outLeft_, outRight_};
}

bool QEL::setSpeakerArrangement(VstSpeakerArrangement* pluginInput, VstSpeakerArrangement* pluginOutput) {
    if (!pluginInput || !pluginOutput) return false;
    const ChannelRouting* row = routingFor(pluginInput->numChannels, pluginOutput->numChannels);
    if (!row) return false;
    setRouting(*row);
    routingFromHost_ = true;
    return true;
}

// ---------------------------------------------------------------- programs and the link

void QEL::selectProgram(VstInt32 index) {
    EditorObject* e = editorObject();
    if (e) e->linkOff();
    CPresetSystemEffect::selectProgram(index);
    if (linkCheck() && e) e->linkOn();
    params_.recomputeTempoSync(kSyncAll);
}

bool QEL::skipOnSave(VstInt32 parameter) {
    (void)parameter;
    return false;
}

bool QEL::skipOnLegacyLoad(VstInt32 parameter) {
    (void)parameter;
    return false;
}

bool QEL::linkCheck() {
    // The current program's values: what was loaded, or what the user set since. (A side in
    // note mode does not take a DlyTime value into its mapping, so the mapping's copy of
    // DlyTime may still be an older one.)
    for (const SidePair& pair : kLinkCheckPairs) {
        const double l = CPresetSystemEffect::getParameter(pair.left);
        const double r = CPresetSystemEffect::getParameter(pair.right);
        const double difference = pair.mirrored ? r + l - 1.0 : l - r;
        if (!(std::fabs(difference) <= 0.01)) return false;
    }
    return true;
}

void QEL::linkFollow(bool fromRight) {
    for (const SidePair& pair : kLinkFollowPairs) {
        const int source = fromRight ? pair.right : pair.left;
        const int target = fromRight ? pair.left : pair.right;
        if (params_.value(source) == params_.value(target)) continue;
        beginEdit(target);
        setParameterAutomated(target, getParameter(source));
        endEdit(target);
        params_.setStoredValue(target, params_.value(source));
    }
}

void QEL::tempoChanged(double bpm) {
    if (EditorObject* e = editorObject()) e->tempoChanged(bpm);
}

void QEL::valueRewritten(int index, float value) {
    if (!isApplyingProgram()) storeIntoCurrentProgram(index, value);
    if (EditorObject* e = editorObject()) e->setParameter(index, value);
}

// ---------------------------------------------------------------- entry

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    if (!audioMaster || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    try {
        return new QEL(audioMaster);
    } catch (...) {  // out of memory while building the engine: no effect, and no unwinding into the host
        return nullptr;
    }
}
