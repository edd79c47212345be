#include "audioeffect.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "aeffeditor.h"
#include "vststrings.h"

namespace {

AudioEffect* effectOf(AEffect* e) { return e ? static_cast<AudioEffect*>(e->object) : nullptr; }

// The host's entry points. Nothing may unwind into the host, so every trampoline
// swallows exceptions and answers as if the request were not understood.
VstIntPtr dispatchEffect(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    AudioEffect* ae = effectOf(e);
    if (!ae) return 0;
    try {
        if (opcode == effClose) {
            ae->dispatcher(opcode, index, value, ptr, opt);
            delete ae;
            return 1;
        }
        return ae->dispatcher(opcode, index, value, ptr, opt);
    } catch (...) {
        return 0;
    }
}

void processAccumulating(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames) {
    AudioEffect* ae = effectOf(e);
    if (!ae) return;
    try {
        ae->process(inputs, outputs, sampleFrames);
    } catch (...) {
    }
}

void processReplacingTrampoline(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames) {
    AudioEffect* ae = effectOf(e);
    if (!ae) return;
    try {
        ae->processReplacing(inputs, outputs, sampleFrames);
    } catch (...) {
    }
}

void processDoubleReplacingTrampoline(AEffect* e, double** inputs, double** outputs, VstInt32 sampleFrames) {
    AudioEffect* ae = effectOf(e);
    if (!ae) return;
    try {
        ae->processDoubleReplacing(inputs, outputs, sampleFrames);
    } catch (...) {
    }
}

void setParameterTrampoline(AEffect* e, VstInt32 index, float value) {
    AudioEffect* ae = effectOf(e);
    if (!ae) return;
    try {
        ae->setParameter(index, value);
    } catch (...) {
    }
}

float getParameterTrampoline(AEffect* e, VstInt32 index) {
    AudioEffect* ae = effectOf(e);
    if (!ae) return 0.0f;
    try {
        return ae->getParameter(index);
    } catch (...) {
        return 0.0f;
    }
}

}  // namespace

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : sampleRate(44100.0f),
      editor(nullptr),
      audioMaster(audioMaster),
      numPrograms(numPrograms),
      numParams(numParams),
      curProgram(0),
      blockSize(1024) {
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffect;
    cEffect.process = processAccumulating;
    cEffect.setParameter = setParameterTrampoline;
    cEffect.getParameter = getParameterTrampoline;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.flags = effFlagsCanReplacing;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = vstFourCC('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = processReplacingTrampoline;
    cEffect.processDoubleReplacing = processDoubleReplacingTrampoline;
}

AudioEffect::~AudioEffect() {
    delete editor;
    editor = nullptr;
}

void AudioEffect::setEditor(AEffEditor* newEditor) {
    editor = newEditor;
    setFlag(effFlagsHasEditor, newEditor != nullptr);
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    if (!audioMaster || hostCallsMuted) return 0;
    return audioMaster(&cEffect, opcode, index, value, ptr, opt);
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    switch (opcode) {
        case effOpen: open(); return 0;
        case effClose: close(); return 0;
        case effSetProgram:
            if (value >= 0 && value < numPrograms) setProgram(static_cast<VstInt32>(value));
            return 0;
        case effGetProgram: return getProgram();
        case effSetProgramName:
            if (ptr) setProgramName(static_cast<char*>(ptr));
            return 0;
        case effGetProgramName:
            if (ptr) getProgramName(static_cast<char*>(ptr));
            return 0;
        case effGetParamLabel:
            if (ptr) getParameterLabel(index, static_cast<char*>(ptr));
            return 0;
        case effGetParamDisplay:
            if (ptr) getParameterDisplay(index, static_cast<char*>(ptr));
            return 0;
        case effGetParamName:
            if (ptr) getParameterName(index, static_cast<char*>(ptr));
            return 0;
        case effSetSampleRate: setSampleRate(opt); return 0;
        case effSetBlockSize: setBlockSize(static_cast<VstInt32>(value)); return 0;
        case effMainsChanged:
            if (value == 0)
                suspend();
            else
                resume();
            return 0;
        case effEditGetRect:
            if (editor && ptr) return editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
            return 0;
        case effEditOpen:
            if (editor) return editor->open(ptr) ? 1 : 0;
            return 0;
        case effEditClose:
            if (editor) editor->close();
            return 0;
        case effEditIdle:
            if (editor) editor->idle();
            return 0;
        case effIdentify: return vstFourCC('N', 'v', 'E', 'f');
        case effGetChunk:
            if (!ptr) return 0;
            return getChunk(static_cast<void**>(ptr), index != 0);
        case effSetChunk:
            if (value < 0 || value > INT32_MAX) return -1;  // refused, as setChunk refuses
            return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
        default: return 0;
    }
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

void AudioEffect::getParameterLabel(VstInt32 index, char* label) {
    (void)index;
    if (label) *label = 0;
}

void AudioEffect::getParameterDisplay(VstInt32 index, char* text) {
    (void)index;
    if (text) *text = 0;
}

void AudioEffect::getParameterName(VstInt32 index, char* text) {
    (void)index;
    if (text) *text = 0;
}

VstInt32 AudioEffect::getMasterVersion() {
    VstInt32 version = static_cast<VstInt32>(callHost(audioMasterVersion));
    return version ? version : 1;
}

VstInt32 AudioEffect::getCurrentUniqueId() { return static_cast<VstInt32>(callHost(audioMasterCurrentId)); }

void AudioEffect::masterIdle() { callHost(audioMasterIdle); }

bool AudioEffect::isInputConnected(VstInt32 input) {
    return audioMaster && callHost(audioMasterPinConnected, input, 0) == 0;
}

bool AudioEffect::isOutputConnected(VstInt32 output) {
    return audioMaster && callHost(audioMasterPinConnected, output, 1) == 0;
}

void AudioEffect::dB2string(float value, char* text, VstInt32 maxLen) { vst::dB2string(value, text, maxLen); }

void AudioEffect::Hz2string(float samples, char* text, VstInt32 maxLen) {
    if (samples == 0.0f)
        vst::float2string(0.0f, text, maxLen);
    else
        vst::float2string(sampleRate / samples, text, maxLen);
}

void AudioEffect::ms2string(float samples, char* text, VstInt32 maxLen) {
    vst::float2string(static_cast<float>(samples * 1000.0 / sampleRate), text, maxLen);
}

void AudioEffect::float2string(float value, char* text, VstInt32 maxLen) { vst::float2string(value, text, maxLen); }

void AudioEffect::int2string(VstInt32 value, char* text, VstInt32 maxLen) { vst::int2string(value, text, maxLen); }
