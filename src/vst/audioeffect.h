// Our VST 2.4 effect base class: owns the AEffect record the host sees, routes the
// dispatcher to virtual operations, and offers the classic host-call and string helpers.
#ifndef __audioeffect__
#define __audioeffect__

#include "aeffectx.h"

class AEffEditor;

class AudioEffect {
public:
    AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    virtual ~AudioEffect();

    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    // ---- called by the host through the trampolines ----
    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    virtual void open() {}
    virtual void close() {}
    virtual void setProgram(VstInt32 program) { curProgram = program; }
    virtual void setProgramName(char* name) { (void)name; }
    virtual void getProgramName(char* name) {
        if (name) *name = 0;
    }
    virtual VstInt32 getProgram() { return curProgram; }
    virtual void setParameter(VstInt32 index, float value) {
        (void)index;
        (void)value;
    }
    virtual float getParameter(VstInt32 index) {
        (void)index;
        return 0.0f;
    }
    virtual void setParameterAutomated(VstInt32 index, float value);
    virtual void getParameterLabel(VstInt32 index, char* label);
    virtual void getParameterDisplay(VstInt32 index, char* text);
    virtual void getParameterName(VstInt32 index, char* text);
    virtual VstInt32 getChunk(void** data, bool isPreset = false) {
        (void)data;
        (void)isPreset;
        return 0;
    }
    virtual VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset = false) {
        (void)data;
        (void)byteSize;
        (void)isPreset;
        return 0;
    }
    virtual void setSampleRate(float newRate) { sampleRate = newRate; }
    virtual void setBlockSize(VstInt32 newSize) { blockSize = newSize; }
    virtual void suspend() {}
    virtual void resume() {}
    // The deprecated accumulating process: kept as a valid function that does nothing.
    virtual void process(float** inputs, float** outputs, VstInt32 sampleFrames) {
        (void)inputs;
        (void)outputs;
        (void)sampleFrames;
    }
    virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
        (void)inputs;
        (void)outputs;
        (void)sampleFrames;
    }
    virtual void processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) {
        (void)inputs;
        (void)outputs;
        (void)sampleFrames;
    }

    // ---- setup ----
    virtual void setUniqueID(VstInt32 iD) { cEffect.uniqueID = iD; }
    virtual void setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
    virtual void setNumOutputs(VstInt32 outputs) { cEffect.numOutputs = outputs; }
    virtual void setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }
    virtual void canProcessReplacing(bool state = true) { setFlag(effFlagsCanReplacing, state); }
    virtual void canDoubleReplacing(bool state = true) { setFlag(effFlagsCanDoubleReplacing, state); }
    virtual void programsAreChunks(bool state = true) { setFlag(effFlagsProgramChunks, state); }
    virtual void noTail(bool state = true) { setFlag(effFlagsNoSoundInStop, state); }
    virtual void setEditor(AEffEditor* newEditor);

    virtual AEffect* getAeffect() { return &cEffect; }
    virtual AEffEditor* getEditor() { return editor; }
    virtual float getSampleRate() { return sampleRate; }
    virtual VstInt32 getBlockSize() { return blockSize; }
    audioMasterCallback getAudioMaster() const { return audioMaster; }

    // ---- calls to the host; each is safe without a callback ----
    virtual VstInt32 getMasterVersion();
    virtual VstInt32 getCurrentUniqueId();
    virtual void masterIdle();
    // A pin counts as connected when the host answers 0 (the host's convention).
    virtual bool isInputConnected(VstInt32 input);
    virtual bool isOutputConnected(VstInt32 output);

    // ---- string tools: write at most maxLen characters and a terminator ----
    virtual void dB2string(float value, char* text, VstInt32 maxLen);
    virtual void Hz2string(float samples, char* text, VstInt32 maxLen);
    virtual void ms2string(float samples, char* text, VstInt32 maxLen);
    virtual void float2string(float value, char* text, VstInt32 maxLen);
    virtual void int2string(VstInt32 value, char* text, VstInt32 maxLen);

protected:
    // While muted (during construction, when the host cannot know the effect yet) every
    // call to the host answers 0 without reaching it.
    void muteHostCalls(bool muted) { hostCallsMuted = muted; }
    VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);
    void setFlag(VstInt32 flag, bool state) {
        if (state)
            cEffect.flags |= flag;
        else
            cEffect.flags &= ~flag;
    }

    float sampleRate;
    AEffEditor* editor;
    audioMasterCallback audioMaster;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 curProgram;
    VstInt32 blockSize;
    bool hostCallsMuted = false;
    AEffect cEffect;
};

#endif  // __audioeffect__
