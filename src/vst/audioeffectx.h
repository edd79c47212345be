// The VST 2.x extensions of the effect base class.
#ifndef __audioeffectx__
#define __audioeffectx__

#include "audioeffect.h"
#include "aeffeditor.h"

class AudioEffectX : public AudioEffect {
public:
    AudioEffectX(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    ~AudioEffectX() override;

    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

    // ---- plug-in answers (defaults: nothing, false, 0) ----
    virtual VstInt32 processEvents(VstEvents* events) {
        (void)events;
        return 0;
    }
    virtual bool canParameterBeAutomated(VstInt32 index) {
        (void)index;
        return true;
    }
    virtual bool string2parameter(VstInt32 index, char* text) {
        (void)index;
        (void)text;
        return false;
    }
    virtual bool getParameterProperties(VstInt32 index, VstParameterProperties* p) {
        (void)index;
        (void)p;
        return false;
    }
    virtual bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) {
        (void)category;
        (void)index;
        (void)text;
        return false;
    }
    virtual bool getInputProperties(VstInt32 index, VstPinProperties* properties) {
        (void)index;
        (void)properties;
        return false;
    }
    virtual bool getOutputProperties(VstInt32 index, VstPinProperties* properties) {
        (void)index;
        (void)properties;
        return false;
    }
    virtual VstInt32 getPlugCategory() { return kPlugCategUnknown; }
    virtual bool setSpeakerArrangement(VstSpeakerArrangement* pluginInput, VstSpeakerArrangement* pluginOutput) {
        (void)pluginInput;
        (void)pluginOutput;
        return false;
    }
    virtual bool getSpeakerArrangement(VstSpeakerArrangement** pluginInput, VstSpeakerArrangement** pluginOutput);
    virtual bool setBypass(bool onOff) {
        (void)onOff;
        return false;
    }
    virtual bool getEffectName(char* name) {
        (void)name;
        return false;
    }
    virtual bool getVendorString(char* text) {
        (void)text;
        return false;
    }
    virtual bool getProductString(char* text) {
        (void)text;
        return false;
    }
    virtual VstInt32 getVendorVersion() { return 0; }
    virtual VstIntPtr vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* ptrArg, float floatArg) {
        (void)lArg;
        (void)lArg2;
        (void)ptrArg;
        (void)floatArg;
        return 0;
    }
    virtual VstInt32 canDo(char* text) {
        (void)text;
        return 0;
    }
    virtual VstInt32 getGetTailSize() { return 0; }
    virtual VstInt32 getVstVersion() { return kVstVersion; }
    virtual VstInt32 startProcess() { return 0; }
    virtual VstInt32 stopProcess() { return 0; }
    virtual bool setProcessPrecision(VstInt32 precision) {
        (void)precision;
        return false;
    }
    virtual bool setPanLaw(VstInt32 type, float val) {
        (void)type;
        (void)val;
        return false;
    }
    virtual VstInt32 getNumMidiInputChannels() { return 0; }
    virtual VstInt32 getNumMidiOutputChannels() { return 0; }

    // ---- calls to the host ----
    virtual bool canHostDo(char* text);
    virtual VstTimeInfo* getTimeInfo(VstInt32 filter);
    virtual bool wantEvents(VstInt32 filter = 1);
    virtual bool beginEdit(VstInt32 index);
    virtual bool endEdit(VstInt32 index);
    virtual bool updateDisplay();
    virtual bool ioChanged();
    virtual bool sizeWindow(VstInt32 width, VstInt32 height);
    virtual VstInt32 getInputLatency();
    virtual VstInt32 getOutputLatency();
    virtual VstInt32 getCurrentProcessLevel();
    virtual VstInt32 getAutomationState();
    virtual bool getHostVendorString(char* text);
    virtual bool getHostProductString(char* text);
    virtual VstInt32 getHostVendorVersion();
    virtual bool sendVstEventsToHost(VstEvents* events);
};

#endif  // __audioeffectx__
