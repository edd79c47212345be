#include "TestHost.h"

#include "Module.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>

namespace testhost {

namespace {

// The callback has no user pointer: every loaded effect is found here by its address.
std::mutex registryMutex;
std::map<const AEffect*, Plugin*>& registry() {
    static std::map<const AEffect*, Plugin*> map;
    return map;
}

// The plug-in whose entry point is running on this thread. Calls it makes before the
// host knows its effect pointer belong to it.
thread_local Plugin* loadingPlugin = nullptr;

// Bumped, under the mutex, whenever the registry changes.
std::atomic<uint64_t> registryGeneration{0};

// Each thread's last answer, good while the registry has not changed since: a plug-in calls
// back from its audio thread every block (twice, for the time), and a DAW answers that from
// the effect pointer at once, not through a lock and a map.
struct LastFound {
    const AEffect* effect = nullptr;
    Plugin* plugin = nullptr;
    uint64_t generation = ~uint64_t(0);
};
thread_local LastFound lastFound;

Plugin* findPlugin(const AEffect* effect) {
    if (!effect) return nullptr;
    if (lastFound.effect == effect && lastFound.generation == registryGeneration.load(std::memory_order_acquire))
        return lastFound.plugin;
    std::lock_guard<std::mutex> lock(registryMutex);
    auto it = registry().find(effect);
    Plugin* plugin = it == registry().end() ? nullptr : it->second;
    lastFound.effect = effect;
    lastFound.plugin = plugin;
    lastFound.generation = registryGeneration.load(std::memory_order_relaxed);
    return plugin;
}

void copyString(void* ptr, const std::string& text, size_t capacity) {
    if (!ptr || capacity == 0) return;
    const size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(ptr, text.data(), n);
    static_cast<char*>(ptr)[n] = '\0';
}

}  // namespace

// ---------------------------------------------------------------------------------------
// TestHost

TestHost::TestHost() = default;
TestHost::~TestHost() = default;

void TestHost::setHook(CallbackHook hook) { hook_ = std::move(hook); }

void TestHost::advanceTime(VstInt32 frames) {
    TimeConfig& t = config_.time;
    t.samplePos += frames;
    if (config_.sampleRate > 0.0f) t.ppqPos += frames / double(config_.sampleRate) * t.tempo / 60.0;
}

std::vector<HostCall> TestHost::calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
}

std::vector<HostCall> TestHost::calls(VstInt32 opcode) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<HostCall> result;
    for (const HostCall& call : calls_)
        if (call.opcode == opcode) result.push_back(call);
    return result;
}

size_t TestHost::count(VstInt32 opcode) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::count_if(calls_.begin(), calls_.end(), [&](const HostCall& c) { return c.opcode == opcode; });
}

void TestHost::clearCalls() {
    std::lock_guard<std::mutex> lock(mutex_);
    cleared_ += calls_.size();
    calls_.clear();
}

std::unique_ptr<Plugin> TestHost::load(const std::string& path) {
    if (!moduleFileExists(path))
        throw LoadError(LoadError::Kind::FileNotFound, "There is no file at \"" + path + "\".");
    std::string why;
    void* module = openModule(path, why);
    if (!module)
        throw LoadError(LoadError::Kind::NotLoadable,
                        "\"" + path + "\" could not be loaded as a shared library (" + why + ").");
    auto entry = reinterpret_cast<EntryPoint>(moduleSymbol(module, "VSTPluginMain"));
    if (!entry) entry = reinterpret_cast<EntryPoint>(moduleSymbol(module, "main"));
    if (!entry) {
        closeModule(module);
        throw LoadError(LoadError::Kind::NoEntryPoint,
                        "\"" + path + "\" is not a VST 2.4 plug-in: it exports neither VSTPluginMain nor main.");
    }
    return start(entry, path, module);
}

std::unique_ptr<Plugin> TestHost::adopt(EntryPoint entry, const std::string& name) {
    return start(entry, name, nullptr);
}

std::unique_ptr<Plugin> TestHost::start(EntryPoint entry, const std::string& path, void* module) {
    // From here the plug-in owns the module: a failure below unloads it with the plug-in.
    std::unique_ptr<Plugin> plugin(new Plugin(*this, path, module));
    Plugin* const outer = loadingPlugin;  // a hook may load another plug-in from inside an entry point
    loadingPlugin = plugin.get();
    AEffect* const effect = entry(&TestHost::callback);
    loadingPlugin = outer;

    if (!effect)
        throw LoadError(LoadError::Kind::NullEffect,
                        "\"" + path + "\" declined to create an effect (its entry point returned null).");
    if (effect->magic != kEffectMagic)
        throw LoadError(LoadError::Kind::BadMagic,
                        "\"" + path + "\" is not a VST 2.4 plug-in: the record it returned lacks the 'VstP' mark.");
    {
        std::lock_guard<std::mutex> lock(registryMutex);
        registry()[effect] = plugin.get();
        registryGeneration.fetch_add(1, std::memory_order_release);
    }
    plugin->effect_ = effect;
    return plugin;
}

VstIntPtr TestHost::callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                             float opt) {
    Plugin* plugin = findPlugin(effect);
    bool duringEntry = false;
    if (!plugin && loadingPlugin) {
        plugin = loadingPlugin;
        duringEntry = true;
    }
    if (!plugin)  // an effect no host here knows: answer as a plain host would, record nothing
        return opcode == audioMasterVersion ? kVstVersion : 0;
    return plugin->host_.answer(plugin, effect, opcode, index, value, ptr, opt, duringEntry);
}

VstIntPtr TestHost::answer(Plugin* plugin, AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                           void* ptr, float opt, bool duringEntry) {
    if (!config_.recordCalls && !hook_) {
        // The time, asked for twice a block, straight from the transport as a DAW answers it.
        if (opcode == audioMasterGetTime && config_.answers.empty()) return reinterpret_cast<VstIntPtr>(fillTime(value));
        if (!config_.answers.empty()) {
            auto it = config_.answers.find(opcode);
            if (it != config_.answers.end()) return it->second;
        }
        return defaultAnswer(opcode, index, value, ptr);
    }
    HostCall call;
    call.effect = effect;
    call.opcode = opcode;
    call.index = index;
    call.value = value;
    call.ptr = ptr;
    call.opt = opt;
    call.duringEntry = duringEntry;
    if (opcode == audioMasterCanDo && ptr) {
        const char* text = static_cast<const char*>(ptr);
        call.text.assign(text, strnlen(text, 256));
    }
    size_t position;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        position = cleared_ + calls_.size();
        calls_.push_back(call);
    }

    // No lock is held here: the hook may re-enter the plug-in, which may call back again.
    std::optional<VstIntPtr> result;
    if (hook_) {
        const CallbackHook hook = hook_;  // the hook may replace itself
        result = hook(plugin, call);
    }
    if (!result) {
        auto it = config_.answers.find(opcode);
        if (it != config_.answers.end()) result = it->second;
    }
    const VstIntPtr answered = result ? *result : defaultAnswer(opcode, index, value, ptr);

    std::lock_guard<std::mutex> lock(mutex_);
    if (position >= cleared_ && position - cleared_ < calls_.size()) calls_[position - cleared_].answer = answered;
    return answered;
}

VstIntPtr TestHost::defaultAnswer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr) {
    switch (opcode) {
    case audioMasterVersion:
        return config_.version;
    case audioMasterGetTime:
        return reinterpret_cast<VstIntPtr>(fillTime(value));
    case audioMasterPinConnected: {
        // value 0 asks about an input, anything else about an output; 0 answers "connected".
        const std::vector<bool>& pins = value == 0 ? config_.inputPins : config_.outputPins;
        if (pins.empty()) return 0;
        const bool connected = index >= 0 && size_t(index) < pins.size() && pins[size_t(index)];
        return connected ? 0 : 1;
    }
    case audioMasterGetSampleRate:
        return static_cast<VstIntPtr>(config_.sampleRate);
    case audioMasterGetBlockSize:
        return config_.blockSize;
    case audioMasterGetInputLatency:
        return config_.inputLatency;
    case audioMasterGetOutputLatency:
        return config_.outputLatency;
    case audioMasterCanDo: {
        if (!ptr) return 0;
        const char* text = static_cast<const char*>(ptr);
        auto it = config_.canDo.find(std::string(text, strnlen(text, 256)));
        return it == config_.canDo.end() ? 0 : it->second;
    }
    case audioMasterGetVendorString:
        copyString(ptr, config_.vendorString, kVstMaxVendorStrLen);
        return ptr ? 1 : 0;
    case audioMasterGetProductString:
        copyString(ptr, config_.productString, kVstMaxProductStrLen);
        return ptr ? 1 : 0;
    case audioMasterGetVendorVersion:
    case audioMasterGetLanguage:        // English
    case audioMasterGetAutomationState:  // off
    case audioMasterSizeWindow:
    case audioMasterUpdateDisplay:
        return 1;
    default:
        return 0;
    }
}

VstTimeInfo* TestHost::fillTime(VstIntPtr mask) {
    const TimeConfig& t = config_.time;
    if (!t.available) return nullptr;
    const auto wanted = [&](VstInt32 bit) { return !t.onlyWhatIsAsked || (mask & bit) != 0; };
    VstTimeInfo& info = timeInfo_;
    info = VstTimeInfo{};
    info.samplePos = t.samplePos;
    info.sampleRate = config_.sampleRate;
    info.flags = t.playing ? kVstTransportPlaying : 0;
    if (t.tempoValid && wanted(kVstTempoValid)) {
        info.tempo = t.tempo;
        info.flags |= kVstTempoValid;
    }
    if (t.ppqPosValid && wanted(kVstPpqPosValid)) {
        info.ppqPos = t.ppqPos;
        info.flags |= kVstPpqPosValid;
    }
    if (wanted(kVstBarsValid)) {
        info.barStartPos = t.barStartPos;
        info.flags |= kVstBarsValid;
    }
    if (wanted(kVstTimeSigValid)) {
        info.timeSigNumerator = t.timeSigNumerator;
        info.timeSigDenominator = t.timeSigDenominator;
        info.flags |= kVstTimeSigValid;
    }
    return &info;
}

// ---------------------------------------------------------------------------------------
// Plugin

Plugin::Plugin(TestHost& host, std::string path, void* module)
    : host_(host), path_(std::move(path)), module_(module) {}

Plugin::~Plugin() {
    if (effect_) close();
    // Only now may the code go: effClose was the last call into it.
    if (module_) closeModule(module_);
}

VstIntPtr Plugin::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    if (!effect_ || !effect_->dispatcher) return 0;
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void Plugin::open() { dispatch(effOpen); }

void Plugin::close() {
    if (!effect_) return;
    if (resumed_) suspend();
    dispatch(effClose);  // the effect deletes itself here
    std::lock_guard<std::mutex> lock(registryMutex);
    registry().erase(effect_);
    registryGeneration.fetch_add(1, std::memory_order_release);
    effect_ = nullptr;
}

void Plugin::setSampleRate(float rate) { dispatch(effSetSampleRate, 0, 0, nullptr, rate); }
void Plugin::setBlockSize(VstIntPtr frames) { dispatch(effSetBlockSize, 0, frames); }

void Plugin::mainsChanged(bool on) {
    dispatch(effMainsChanged, 0, on ? 1 : 0);
    resumed_ = on;
}

void Plugin::activate(float sampleRate, VstInt32 blockSize) {
    host_.config().sampleRate = sampleRate;
    host_.config().blockSize = blockSize;
    open();
    setSampleRate(sampleRate);
    setBlockSize(blockSize);
    resume();
}

std::string Plugin::readString(VstInt32 opcode, VstInt32 index) {
    char text[256] = {};
    dispatch(opcode, index, 0, text);
    text[sizeof text - 1] = '\0';
    return text;
}

std::string Plugin::effectName() { return readString(effGetEffectName, 0); }
std::string Plugin::vendorString() { return readString(effGetVendorString, 0); }
std::string Plugin::productString() { return readString(effGetProductString, 0); }
VstIntPtr Plugin::vendorVersion() { return dispatch(effGetVendorVersion); }
VstIntPtr Plugin::vstVersion() { return dispatch(effGetVstVersion); }
VstIntPtr Plugin::identify() { return dispatch(effIdentify); }
VstIntPtr Plugin::plugCategory() { return dispatch(effGetPlugCategory); }

VstIntPtr Plugin::canDo(const std::string& text) {
    return dispatch(effCanDo, 0, 0, const_cast<char*>(text.c_str()));
}

std::string Plugin::paramName(VstInt32 index) { return readString(effGetParamName, index); }
std::string Plugin::paramLabel(VstInt32 index) { return readString(effGetParamLabel, index); }
std::string Plugin::paramDisplay(VstInt32 index) { return readString(effGetParamDisplay, index); }

float Plugin::getParameter(VstInt32 index) {
    return effect_ && effect_->getParameter ? effect_->getParameter(effect_, index) : 0.0f;
}

void Plugin::setParameter(VstInt32 index, float value) {
    if (effect_ && effect_->setParameter) effect_->setParameter(effect_, index, value);
}

VstIntPtr Plugin::canBeAutomated(VstInt32 index) { return dispatch(effCanBeAutomated, index); }

VstIntPtr Plugin::getParameterProperties(VstInt32 index, VstParameterProperties& out) {
    out = VstParameterProperties{};
    return dispatch(effGetParameterProperties, index, 0, &out);
}

int Plugin::findParameter(const std::string& name) {
    for (int i = 0; i < numParams(); ++i)
        if (paramName(i) == name) return i;
    return -1;
}

VstIntPtr Plugin::getProgram() { return dispatch(effGetProgram); }
void Plugin::setProgram(VstIntPtr program) { dispatch(effSetProgram, 0, program); }
std::string Plugin::programName() { return readString(effGetProgramName, 0); }

void Plugin::setProgramName(const std::string& name) {
    char text[256] = {};
    copyString(text, name, sizeof text);
    dispatch(effSetProgramName, 0, 0, text);
}

std::optional<std::string> Plugin::programNameIndexed(VstInt32 index, VstIntPtr category) {
    char text[256] = {};
    if (dispatch(effGetProgramNameIndexed, index, category, text) == 0) return std::nullopt;
    text[sizeof text - 1] = '\0';
    return std::string(text);
}

std::vector<std::string> Plugin::programNames(int limit) {
    std::vector<std::string> names;
    for (int i = 0; i < limit; ++i) {
        auto name = programNameIndexed(i);
        if (!name) break;
        names.push_back(*name);
    }
    return names;
}

std::vector<uint8_t> Plugin::getChunk(bool programOnly) {
    void* data = nullptr;
    const VstIntPtr size = dispatch(effGetChunk, programOnly ? 1 : 0, 0, &data);
    if (size <= 0 || !data) return {};
    const auto* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

VstIntPtr Plugin::setChunk(const std::vector<uint8_t>& bytes, bool programOnly) {
    return dispatch(effSetChunk, programOnly ? 1 : 0, static_cast<VstIntPtr>(bytes.size()),
                    const_cast<uint8_t*>(bytes.data()));
}

VstIntPtr Plugin::processEvents(const std::vector<MidiMessage>& messages) {
    std::vector<VstMidiEvent> events(messages.size());
    for (size_t i = 0; i < messages.size(); ++i) {
        VstMidiEvent& e = events[i];
        e.type = kVstMidiType;
        e.byteSize = sizeof(VstMidiEvent);
        e.deltaFrames = messages[i].deltaFrames;
        e.midiData[0] = static_cast<char>(messages[i].status);
        e.midiData[1] = static_cast<char>(messages[i].data1);
        e.midiData[2] = static_cast<char>(messages[i].data2);
    }
    // VstEvents declares two pointers but really holds numEvents of them.
    const size_t bytes = offsetof(VstEvents, events) + std::max<size_t>(2, events.size()) * sizeof(VstEvent*);
    std::vector<VstIntPtr> storage((bytes + sizeof(VstIntPtr) - 1) / sizeof(VstIntPtr), 0);
    auto* list = reinterpret_cast<VstEvents*>(storage.data());
    list->numEvents = static_cast<VstInt32>(events.size());
    for (size_t i = 0; i < events.size(); ++i) list->events[i] = reinterpret_cast<VstEvent*>(&events[i]);
    return dispatch(effProcessEvents, 0, 0, list);
}

VstIntPtr Plugin::setSpeakerArrangement(VstInt32 inputChannels, VstInt32 outputChannels) {
    // The record declares eight speakers; hosts allocate as many as they have channels.
    const auto make = [](VstInt32 channels, std::vector<VstIntPtr>& storage) {
        const size_t count = std::max<VstInt32>(8, channels);
        const size_t bytes = offsetof(VstSpeakerArrangement, speakers) + count * sizeof(VstSpeakerProperties);
        storage.assign((bytes + sizeof(VstIntPtr) - 1) / sizeof(VstIntPtr), 0);
        auto* arrangement = reinterpret_cast<VstSpeakerArrangement*>(storage.data());
        arrangement->type = channels == 1 ? kSpeakerArrMono : channels == 2 ? kSpeakerArrStereo : kSpeakerArrUserDefined;
        arrangement->numChannels = channels;
        return arrangement;
    };
    std::vector<VstIntPtr> inputStorage, outputStorage;
    VstSpeakerArrangement* input = make(inputChannels, inputStorage);
    VstSpeakerArrangement* output = make(outputChannels, outputStorage);
    return dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(input), output);
}

std::optional<ERect> Plugin::editorRect() {
    ERect* rect = nullptr;
    dispatch(effEditGetRect, 0, 0, &rect);
    if (!rect) return std::nullopt;
    return *rect;
}

namespace {

template <typename Sample>
std::vector<Sample*> pointersTo(Channels<Sample>& channels) {
    std::vector<Sample*> pointers;
    for (auto& channel : channels) pointers.push_back(channel.data());
    return pointers;
}

template <typename Sample>
VstInt32 framesOf(const Channels<Sample>& outputs, VstInt32 frames) {
    if (frames >= 0) return frames;
    return outputs.empty() ? 0 : static_cast<VstInt32>(outputs[0].size());
}

}  // namespace

void Plugin::processReplacing(Channels<float>& inputs, Channels<float>& outputs, VstInt32 frames) {
    if (!effect_ || !effect_->processReplacing) return;
    auto in = pointersTo(inputs);
    auto out = pointersTo(outputs);
    effect_->processReplacing(effect_, in.data(), out.data(), framesOf(outputs, frames));
}

void Plugin::processDoubleReplacing(Channels<double>& inputs, Channels<double>& outputs, VstInt32 frames) {
    if (!effect_ || !effect_->processDoubleReplacing) return;
    auto in = pointersTo(inputs);
    auto out = pointersTo(outputs);
    effect_->processDoubleReplacing(effect_, in.data(), out.data(), framesOf(outputs, frames));
}

void Plugin::processReplacingInPlace(Channels<float>& io, VstInt32 frames) {
    if (!effect_ || !effect_->processReplacing) return;
    auto channels = pointersTo(io);
    effect_->processReplacing(effect_, channels.data(), channels.data(), framesOf(io, frames));
}

void Plugin::processDoubleReplacingInPlace(Channels<double>& io, VstInt32 frames) {
    if (!effect_ || !effect_->processDoubleReplacing) return;
    auto channels = pointersTo(io);
    effect_->processDoubleReplacing(effect_, channels.data(), channels.data(), framesOf(io, frames));
}

}  // namespace testhost
