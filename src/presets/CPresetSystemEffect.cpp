#include "CPresetSystemEffect.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "ControllerNames.h"
#include "FactoryBank.h"
#include "codec/PresetCodec.h"

using presets::kNumParams;
using presets::kNumPrograms;
using presets::kProgramNameSize;

namespace {
constexpr int kChunkSize = 129337;
constexpr int kNumControllers = 128;
// Controller 120 and above are the channel-mode messages, which are never learned.
constexpr int kFirstChannelModeController = 120;
constexpr float kNotAssignedValue = presets::controllerStepValue(presets::kNotAssignedStep, presets::kAssignmentSteps);

// Marks the calling thread, for its lifetime, as setting parameters without a touch (not a
// thread-local variable: a module with thread-local storage leaves a block behind in every
// thread each time a host unloads it).
class UntouchedSets {
public:
    explicit UntouchedSets(std::atomic<std::thread::id>& thread)
        : thread_(thread), previous_(thread.exchange(std::this_thread::get_id())) {}
    ~UntouchedSets() { thread_.store(previous_); }
    UntouchedSets(const UntouchedSets&) = delete;
    UntouchedSets& operator=(const UntouchedSets&) = delete;

private:
    std::atomic<std::thread::id>& thread_;
    std::thread::id previous_;
};

}  // namespace

CPresetSystemEffect::CPresetSystemEffect(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, 1, kNumParams),
      store_(new presets::ProgramRecord[kNumPrograms]()),
      assignmentValues_(new std::atomic<float>[kNumParams]),
      controllerMap_(new std::atomic<VstInt32>[kNumParams]),
      reverseControllerMap_(new std::atomic<VstInt32>[kNumControllers]) {
    programsAreChunks(true);
    chunkBuffers_.reserve(kChunkBuffers);
    chunkBuffers_.push_back(ChunkBuffer{std::thread::id(), std::vector<unsigned char>(kChunkSize)});
    buildFactoryPrograms();
    template_ = store_[0];
    resetControllerMap();
    currentProgram_ = 0;
    // At this point the derived effect is not built yet: the values are only recorded.
    for (int i = 0; i < kNumParams; ++i) CPresetSystemEffect::setParameter(i, store_[0].values[i]);
}

CPresetSystemEffect::~CPresetSystemEffect() = default;

void CPresetSystemEffect::buildFactoryPrograms() {
    if (!store_) return;
    for (int p = 0; p < kNumPrograms; ++p) {
        presets::storeProgramName(store_[p], presets::kFactoryBank[p].name);
        for (int i = 0; i < kNumParams; ++i) store_[p].values[i] = static_cast<float>(presets::kFactoryBank[p].values[i]);
    }
}

void CPresetSystemEffect::resetControllerMap() {
    for (int p = 0; p < kNumParams; ++p) {
        controllerMap_[p] = kNoController;
        assignmentValues_[p] = kNotAssignedValue;
    }
    for (int c = 0; c < kNumControllers; ++c) reverseControllerMap_[c] = kNoController;
}

VstInt32 CPresetSystemEffect::getCurrentProgramIndex() { return currentProgram_; }

VstInt32 CPresetSystemEffect::getPresetID() { return vstFourCC('V', 'q', '4', '1'); }

void CPresetSystemEffect::setProgramName(char* name) {
    if (!name || !store_) return;
    std::lock_guard<std::recursive_mutex> hold(stateMutex_);
    presets::ProgramRecord& program = store_[currentProgram_];
    presets::storeProgramName(program, name);
    if (presetEditor_) {
        char shown[kProgramNameSize + 1] = {};
        presets::readProgramName(program, shown);
        presetEditor_->showProgramName(shown);
    }
}

void CPresetSystemEffect::getProgramName(char* name) {
    if (!name || !store_) return;
    // Hosts hand out 24-byte buffers (the interface's limit): 23 characters and a terminator.
    char stored[kProgramNameSize];
    presets::readProgramName(store_[currentProgram_], stored);
    std::memcpy(name, stored, kProgramNameSize - 1);
    name[kProgramNameSize - 1] = 0;
}

bool CPresetSystemEffect::getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) {
    (void)category;
    if (!text || !store_ || index < 0 || index >= kNumPrograms) return false;
    char stored[kProgramNameSize];
    presets::readProgramName(store_[index], stored);
    std::memcpy(text, stored, kProgramNameSize - 1);
    text[kProgramNameSize - 1] = 0;
    return true;
}

void CPresetSystemEffect::renameCurrentProgram(const char* name) {
    if (!store_) return;
    std::lock_guard<std::recursive_mutex> hold(stateMutex_);
    presets::storeProgramName(store_[currentProgram_], name);
    curProgram = 0;
    updateDisplay();
}

void CPresetSystemEffect::selectProgram(VstInt32 index) {
    if (!store_ || index < 0 || index >= kNumPrograms) return;
    std::lock_guard<std::recursive_mutex> hold(stateMutex_);
    // (Another selection can only be under way on this thread: a host callback re-entered.)
    const std::thread::id previous = applyingThread_.exchange(std::this_thread::get_id());
    curProgram = 0;
    currentProgram_ = index;
    for (int i = 0; i < kNumParams; ++i) setParameter(i, store_[index].values[i]);
    updateDisplay();
    beginEdit(0);
    endEdit(0);
    applyingThread_.store(previous);
}

void CPresetSystemEffect::resetProgramToTemplate(VstInt32 index) {
    if (!store_ || index < 0 || index >= kNumPrograms) return;
    store_[index] = template_;
}

void CPresetSystemEffect::storeIntoCurrentProgram(VstInt32 index, float value) {
    if (!store_ || index < 0 || index >= kNumParams || std::isnan(value)) return;
    // A program holds only what a bank or chunk reader accepts: a host that sends 1.5
    // must not leave a state behind that its own session can no longer load.
    store_[currentProgram_].values[index] = std::min(1.0f, std::max(0.0f, value));
}

void CPresetSystemEffect::setParameter(VstInt32 index, float value) {
    if (index >= 0 && index < kNumParams) {
        if (isApplyingProgram()) return;
        storeIntoCurrentProgram(index, value);
        // A controller's own move is no touch, nor is a host's answer to a state report:
        // learn and forget ignore them.
        const std::thread::id self = std::this_thread::get_id();
        if (controllerThread_.load(std::memory_order_relaxed) == self ||
            reportingThread_.load(std::memory_order_relaxed) == self)
            return;
        if (learnMode_) learnTarget_ = index;
        if (forgetMode_) {
            if (getAssignedController(index) != kNoController) assignmentChanged_.store(true, std::memory_order_release);
            forgetController(index);
            stopForget();
        }
    } else if (index >= kNumParams && index < 2 * kNumParams) {
        if (!controllerMap_) return;
        const VstInt32 parameter = index - kNumParams;
        const int step = presets::controllerStep(value, presets::kAssignmentSteps);
        if (step == presets::kNotAssignedStep)
            forgetController(parameter);
        else
            assignController(parameter, step);
    }
}

float CPresetSystemEffect::getParameter(VstInt32 index) {
    if (!store_ || !assignmentValues_) return -1.0f;
    if (index >= 0 && index < kNumParams) return store_[currentProgram_].values[index];
    if (index >= kNumParams && index < 2 * kNumParams) return assignmentValues_[index - kNumParams];
    return 0.0f;
}

void CPresetSystemEffect::forgetController(VstInt32 parameter) {
    if (!controllerMap_ || parameter < 0 || parameter >= kNumParams) return;
    const VstInt32 c = controllerMap_[parameter];
    if (c >= 0 && c < kNumControllers) reverseControllerMap_[c] = kNoController;
    controllerMap_[parameter] = kNoController;
    assignmentValues_[parameter] = kNotAssignedValue;
}

void CPresetSystemEffect::assignController(VstInt32 parameter, VstInt32 controller) {
    if (!controllerMap_ || parameter < 0 || parameter >= kNumParams || controller < 0 || controller >= kNumControllers)
        return;
    // The parameter's previous controller drives nothing from now on.
    const VstInt32 previous = controllerMap_[parameter];
    if (previous != controller && previous >= 0 && previous < kNumControllers) reverseControllerMap_[previous] = kNoController;
    // A parameter the controller drove so far loses it.
    const VstInt32 other = reverseControllerMap_[controller];
    if (other != parameter && other >= 0 && other < kNumParams) {
        controllerMap_[other] = kNoController;
        assignmentValues_[other] = kNotAssignedValue;
    }
    controllerMap_[parameter] = controller;
    reverseControllerMap_[controller] = parameter;
    assignmentValues_[parameter] = presets::controllerStepValue(controller, presets::kAssignmentSteps);
}

VstInt32 CPresetSystemEffect::getControlledParameter(VstInt32 controller) const {
    if (!reverseControllerMap_ || controller < 0 || controller >= kNumControllers) return kNoController;
    return reverseControllerMap_[controller];
}

VstInt32 CPresetSystemEffect::getAssignedController(VstInt32 parameter) {
    if (!controllerMap_ || parameter < 0 || parameter >= kNumParams) return kNoController;
    return controllerMap_[parameter];
}

void CPresetSystemEffect::startLearn() {
    learnMode_ = true;
    learnTarget_ = -1;
}

void CPresetSystemEffect::stopLearn() {
    learnMode_ = false;
    learnTarget_ = -1;
    if (presetEditor_) presetEditor_->clearLearnButton();
}

void CPresetSystemEffect::startForget() { forgetMode_ = true; }

void CPresetSystemEffect::stopForget() {
    forgetMode_ = false;
    if (presetEditor_) presetEditor_->clearForgetButton();
}

bool CPresetSystemEffect::skipOnSave(VstInt32 parameter) {
    (void)parameter;
    return false;
}

bool CPresetSystemEffect::skipOnLegacyLoad(VstInt32 parameter) {
    (void)parameter;
    return false;
}

void CPresetSystemEffect::loadStartupDefaults() {
    if (!store_) return;
    template_ = store_[0];
    if (presetEditor_) presetEditor_->applyStoredDefaults();
}

VstInt32 CPresetSystemEffect::getChunk(void** data, bool isPreset) {
    (void)isPreset;  // the whole bank travels either way
    if (!data) return 0;
    std::lock_guard<std::recursive_mutex> hold(stateMutex_);
    std::vector<uint8_t> chunk = presets::PresetCodec(*this).buildChunk();
    if (chunk.empty()) return 0;
    std::vector<unsigned char>& buffer = chunkBufferOfThisThread();
    // The chunk has the same size every time: the copy keeps the buffer's memory.
    buffer.assign(chunk.begin(), chunk.end());
    *data = buffer.data();
    return static_cast<VstInt32>(buffer.size());
}

std::vector<unsigned char>& CPresetSystemEffect::chunkBufferOfThisThread() {
    const std::thread::id self = std::this_thread::get_id();
    auto mine = std::find_if(chunkBuffers_.begin(), chunkBuffers_.end(),
                             [self](const ChunkBuffer& b) { return b.owner == self; });
    if (mine == chunkBuffers_.end()) {
        // A buffer nobody has claimed yet, a new one, or the one used longest ago.
        mine = std::find_if(chunkBuffers_.begin(), chunkBuffers_.end(),
                            [](const ChunkBuffer& b) { return b.owner == std::thread::id(); });
        if (mine == chunkBuffers_.end()) {
            if (chunkBuffers_.size() < kChunkBuffers)
                mine = chunkBuffers_.insert(chunkBuffers_.end(), ChunkBuffer{});
            else
                mine = chunkBuffers_.begin();
        }
        mine->owner = self;
    }
    // Moving the record keeps the bytes where they are: pointers handed out stay valid.
    std::rotate(mine, mine + 1, chunkBuffers_.end());
    return chunkBuffers_.back().bytes;
}

std::vector<uint8_t> CPresetSystemEffect::savedState() {
    std::lock_guard<std::recursive_mutex> hold(stateMutex_);
    return presets::PresetCodec(*this).buildChunk();
}

void CPresetSystemEffect::reportStateChange() {
    const VstInt32 carrier = stateReportParameter();
    if (carrier < 0 || carrier >= kNumParams) return;
    // A host may answer by setting the parameter back (Qtractor does): that is no touch.
    const UntouchedSets echo(reportingThread_);
    callHost(audioMasterAutomate, carrier, 0, nullptr, getParameter(carrier));
}

VstInt32 CPresetSystemEffect::setChunk(void* data, VstInt32 byteSize, bool isPreset) {
    (void)isPreset;
    if (!data || byteSize <= 0 || !store_ || !controllerMap_) return -1;
    std::lock_guard<std::recursive_mutex> hold(stateMutex_);
    // Read in place: the host's memory is never written, byte order is handled per field.
    const bool taken =
        presets::PresetCodec(*this).loadChunk(static_cast<const uint8_t*>(data), static_cast<size_t>(byteSize));
    return taken ? 0 : -1;
}

VstInt32 CPresetSystemEffect::processEvents(VstEvents* events) {
    if (!controllerMap_) return 0;
    if (!events || events->numEvents <= 0) return 1;
    for (VstInt32 i = 0; i < events->numEvents; ++i) {
        const VstEvent* event = events->events[i];
        if (!event || event->type != kVstMidiType) continue;
        // MIDI bytes are unsigned; a VstMidiEvent fits the VstEvent the host points at.
        unsigned char midi[3];
        std::memcpy(midi, reinterpret_cast<const unsigned char*>(event) + offsetof(VstMidiEvent, midiData), 3);
        if ((midi[0] & 0xF0) != 0xB0) continue;  // control change on any channel
        const int controller = midi[1];
        if (controller >= kNumControllers) continue;
        const int value = midi[2] > 127 ? 127 : midi[2];

        // Learning comes first, so the message that completes it already moves the parameter.
        const VstInt32 target = learnTarget_;
        if (learnMode_ && target >= 0 && target < kNumParams && controller < kFirstChannelModeController) {
            if (controllerMap_[target] != controller) assignmentChanged_.store(true, std::memory_order_release);
            assignController(target, controller);
            stopLearn();
        }

        const VstInt32 parameter = reverseControllerMap_[controller];
        if (parameter >= 0 && parameter < kNumParams) {
            const UntouchedSets controllerMove(controllerThread_);
            setParameter(parameter, static_cast<float>(value) / 127.0f);
        }
    }
    return 1;
}

VstInt32 CPresetSystemEffect::canDo(char* text) {
    if (!text) return 0;
    // MIDI input is always welcome: a host that cannot send MIDI simply sends none, while a
    // host that decides at scan time (and answers its scanner's questions with "no") would
    // otherwise never give us a MIDI input.
    if (std::strcmp(text, "receiveVstMidiEvent") == 0 || std::strcmp(text, "receiveVstEvents") == 0) return 1;
    return 0;
}

void CPresetSystemEffect::resume() { wantEvents(1); }
