// A small VST 2.4 host for tests and for the `vantel` command.
//
// It loads a plug-in module the way a DAW does (dlopen or LoadLibraryW, VSTPluginMain then main, magic
// check), answers every host callback from a per-host configuration, records each call,
// and wraps the dispatcher opcodes in typed helpers.
//
//     testhost::TestHost host;                  // configure host.config() as needed
//     auto plugin = host.load(VANTEL_PLUGIN);   // runs the entry point only
//     plugin->activate(48000.0f, 256);          // effOpen, sample rate, block size, resume
//     plugin->setParameter(3, 0.5f);
//     plugin->processReplacing(inputs, outputs);
//     for (const auto& call : host.calls()) ...
//
// The host callback carries no user pointer, so every TestHost registers its plug-ins in
// one process-wide map from AEffect* to plug-in; calls made while an entry point runs
// (effect pointer still null, or not yet known) go to the host that is loading on that
// thread. The record's resvd1/resvd2 fields stay untouched: they are the host's to use
// and a test may write into them as some hosts do.
//
// Lifetime: a Plugin refers to its TestHost, so destroy plug-ins before their host.
// Destroying a Plugin suspends it if it was resumed, sends effClose and unloads the module.
#pragma once

#include "aeffectx.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace testhost {

class Plugin;

// One host callback as the plug-in made it.
struct HostCall {
    const AEffect* effect = nullptr;  // null while the entry point ran
    VstInt32 opcode = 0;
    VstInt32 index = 0;
    VstIntPtr value = 0;
    const void* ptr = nullptr;  // the address only; what it pointed at may be gone
    float opt = 0.0f;           // for audioMasterAutomate: the new normalised value
    std::string text;           // for audioMasterCanDo: the string asked about
    VstIntPtr answer = 0;       // what the host answered
    bool duringEntry = false;   // made before the entry point returned
};

// What audioMasterGetTime reports.
struct TimeConfig {
    bool available = true;      // false: answer a null pointer, as a host without time does
    double tempo = 120.0;
    double ppqPos = 0.0;        // song position in quarter notes
    double samplePos = 0.0;
    double barStartPos = 0.0;
    int timeSigNumerator = 4;
    int timeSigDenominator = 4;
    bool playing = true;
    bool tempoValid = true;     // sets kVstTempoValid
    bool ppqPosValid = true;    // sets kVstPpqPosValid
    bool onlyWhatIsAsked = false;  // fill only the fields the request mask asks for (Ardour);
                                   // otherwise fill everything whatever the mask (Qtractor)
};

// Everything the host answers. Change it at any time between calls.
struct HostConfig {
    VstIntPtr version = 2400;           // audioMasterVersion (Qtractor answers 2; 0 refuses)
    TimeConfig time;
    float sampleRate = 44100.0f;        // audioMasterGetSampleRate and VstTimeInfo.sampleRate
    VstIntPtr blockSize = 1024;         // audioMasterGetBlockSize
    VstIntPtr inputLatency = 0;         // audioMasterGetInputLatency
    VstIntPtr outputLatency = 0;        // audioMasterGetOutputLatency
    // audioMasterPinConnected: per pin, true = connected (answer 0). An empty list means
    // every pin is connected (Qtractor, Carla); with a list, pins past its end are not.
    std::vector<bool> inputPins;
    std::vector<bool> outputPins;
    // audioMasterCanDo answers by exact string; strings not listed answer 0 ("don't know").
    std::map<std::string, VstIntPtr> canDo{
        {"sendVstEvents", 1}, {"sendVstMidiEvent", 1}, {"sendVstTimeInfo", 1},
        {"receiveVstEvents", 1}, {"receiveVstMidiEvent", 1}, {"sizeWindow", 1},
        {"supplyIdle", 1}, {"startStopProcess", 1}};
    std::string vendorString = "Vantel test host";   // audioMasterGetVendorString
    std::string productString = "testhost";          // audioMasterGetProductString
    // Overrides the answer to any opcode (checked after the hook, before the defaults).
    std::map<VstInt32, VstIntPtr> answers;
    // false: calls are answered but not recorded (calls() stays empty), as a DAW answers
    // them, at a few dozen instructions; what the benchmark measures is then the plug-in's
    // own work, and a long run does not grow the record. A hook, if set, is still called.
    bool recordCalls = true;
};

// Called inside every host callback, after the call is recorded and before it is answered.
// `plugin` is null if the call could not be tied to a loaded plug-in; while the entry point
// runs it is the plug-in being loaded, whose effect() is still null. The hook may call back
// into the plug-in (re-entering its dispatcher, as Qtractor does). Returning a value makes
// it the host's answer.
using CallbackHook = std::function<std::optional<VstIntPtr>(Plugin* plugin, const HostCall& call)>;

// One MIDI message for effProcessEvents.
struct MidiMessage {
    VstInt32 deltaFrames = 0;
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
};

// Why load() failed. what() is a sentence a person understands.
class LoadError : public std::runtime_error {
public:
    enum class Kind { FileNotFound, NotLoadable, NoEntryPoint, NullEffect, BadMagic };
    LoadError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

template <typename Sample>
using Channels = std::vector<std::vector<Sample>>;

class TestHost {
public:
    TestHost();
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    // Loads the module at `path` and runs its entry point (nothing else: no effOpen).
    // Throws LoadError. Several plug-ins, of the same module or not, may be loaded at once.
    std::unique_ptr<Plugin> load(const std::string& path);
    // The same for an effect whose code is linked into this program: runs `entry` as if it
    // were a module's VSTPluginMain. `name` stands for the file in messages and path().
    using EntryPoint = AEffect* (*)(audioMasterCallback);
    std::unique_ptr<Plugin> adopt(EntryPoint entry, const std::string& name);

    HostConfig& config() { return config_; }
    const HostConfig& config() const { return config_; }
    void setHook(CallbackHook hook);

    // Moves the reported song position on by `frames` at the configured tempo and rate.
    void advanceTime(VstInt32 frames);

    // The recorded calls, oldest first (a copy: the plug-in may call from other threads).
    std::vector<HostCall> calls() const;
    std::vector<HostCall> calls(VstInt32 opcode) const;  // only those with this opcode
    size_t count(VstInt32 opcode) const;
    void clearCalls();

    // The callback every plug-in loaded by any TestHost receives.
    static VstIntPtr callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                              void* ptr, float opt);

private:
    friend class Plugin;
    // Runs the entry point of a loaded module (or of linked code, module null).
    std::unique_ptr<Plugin> start(EntryPoint entry, const std::string& path, void* module);
    VstIntPtr answer(Plugin* plugin, AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                     void* ptr, float opt, bool duringEntry);
    VstIntPtr defaultAnswer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr);
    VstTimeInfo* fillTime(VstIntPtr mask);

    HostConfig config_;
    CallbackHook hook_;
    VstTimeInfo timeInfo_{};
    mutable std::mutex mutex_;  // guards calls_ only
    std::vector<HostCall> calls_;
    size_t cleared_ = 0;  // calls dropped by clearCalls, so a late answer finds its call
};

// One loaded plug-in instance. Made by TestHost::load.
class Plugin {
public:
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    AEffect* effect() const { return effect_; }  // null after close()
    TestHost& host() const { return host_; }
    const std::string& path() const { return path_; }

    // Any opcode, raw. Answers 0 without calling when the effect is gone.
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);

    // Life cycle.
    void open();
    void close();  // suspends if resumed, then effClose (the effect deletes itself)
    void setSampleRate(float rate);
    void setBlockSize(VstIntPtr frames);
    void mainsChanged(bool on);
    void resume() { mainsChanged(true); }
    void suspend() { mainsChanged(false); }
    bool isResumed() const { return resumed_; }
    // effOpen, effSetSampleRate, effSetBlockSize, effMainsChanged(1); the host's configured
    // sample rate and block size follow.
    void activate(float sampleRate, VstInt32 blockSize);

    // Identity.
    std::string effectName();
    std::string vendorString();
    std::string productString();
    VstIntPtr vendorVersion();
    VstIntPtr vstVersion();
    VstIntPtr identify();
    VstIntPtr plugCategory();
    VstIntPtr canDo(const std::string& text);

    // Parameters. Texts are read through a 256-byte buffer, as generous hosts do.
    int numParams() const { return effect_ ? effect_->numParams : 0; }
    std::string paramName(VstInt32 index);
    std::string paramLabel(VstInt32 index);
    std::string paramDisplay(VstInt32 index);
    float getParameter(VstInt32 index);
    void setParameter(VstInt32 index, float value);
    VstIntPtr canBeAutomated(VstInt32 index);
    // effGetParameterProperties into `out` (zeroed first); returns the plug-in's answer.
    VstIntPtr getParameterProperties(VstInt32 index, VstParameterProperties& out);
    int findParameter(const std::string& name);  // by exact name; -1 if none

    // Programs.
    int numPrograms() const { return effect_ ? effect_->numPrograms : 0; }
    VstIntPtr getProgram();
    void setProgram(VstIntPtr program);
    std::string programName();
    void setProgramName(const std::string& name);
    // effGetProgramNameIndexed; empty when the plug-in answers 0.
    std::optional<std::string> programNameIndexed(VstInt32 index, VstIntPtr category = 0);
    // Every program name effGetProgramNameIndexed gives, from 0 until it answers 0.
    std::vector<std::string> programNames(int limit = 4096);

    // State. getChunk copies the plug-in's buffer (empty when it answers no data).
    std::vector<uint8_t> getChunk(bool programOnly = false);
    VstIntPtr setChunk(const std::vector<uint8_t>& bytes, bool programOnly = false);

    // MIDI and channels.
    VstIntPtr processEvents(const std::vector<MidiMessage>& messages);
    // Mono (1) and stereo (2) get their arrangement types, other counts "user defined".
    VstIntPtr setSpeakerArrangement(VstInt32 inputChannels, VstInt32 outputChannels);

    // Editor: the rectangle the plug-in hands out, if any.
    std::optional<ERect> editorRect();

    // Audio. Separate buffers: `inputs` has numInputs channels, `outputs` numOutputs, each at
    // least `frames` long; frames < 0 means the length of outputs[0]. In place: the same
    // channel pointers serve as inputs and outputs (io needs max(numInputs, numOutputs)).
    void processReplacing(Channels<float>& inputs, Channels<float>& outputs, VstInt32 frames = -1);
    void processDoubleReplacing(Channels<double>& inputs, Channels<double>& outputs, VstInt32 frames = -1);
    void processReplacingInPlace(Channels<float>& io, VstInt32 frames = -1);
    void processDoubleReplacingInPlace(Channels<double>& io, VstInt32 frames = -1);

private:
    friend class TestHost;
    Plugin(TestHost& host, std::string path, void* module);
    std::string readString(VstInt32 opcode, VstInt32 index);

    TestHost& host_;
    std::string path_;
    void* module_ = nullptr;
    AEffect* effect_ = nullptr;
    bool resumed_ = false;
};

}  // namespace testhost
