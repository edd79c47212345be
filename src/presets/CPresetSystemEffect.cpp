#include "CPresetSystemEffect.h"

#include <cstring>

#include "FactoryBank.h"

using presets::kNumParams;
using presets::kNumPrograms;
using presets::kProgramNameSize;

namespace {
constexpr int kChunkSize = 129337;
constexpr int kScratchSize = 16376;
constexpr float kNotAssignedValue = 128.5f / 129.0f;
}  // namespace

CPresetSystemEffect::CPresetSystemEffect(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, 1, kNumParams),
      store_(new presets::ProgramRecord[kNumPrograms]()),
      chunkBuffer_(kChunkSize),
      scratchBuffer_(kScratchSize),
      assignmentValues_(new float[kNumParams]),
      controllerMap_(new VstInt32[kNumParams]),
      reverseControllerMap_(new VstInt32[128]) {
    programsAreChunks(true);
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
    for (int c = 0; c < 128; ++c) reverseControllerMap_[c] = kNoController;
}

VstInt32 CPresetSystemEffect::getCurrentProgramIndex() { return currentProgram_; }

VstInt32 CPresetSystemEffect::getPresetID() { return vstFourCC('V', 'q', '4', '1'); }

void CPresetSystemEffect::setProgramName(char* name) {
    if (!name || !store_) return;
    presets::storeProgramName(store_[currentProgram_], name);
    if (presetEditor_) {
        char shown[kProgramNameSize + 1] = {};
        std::memcpy(shown, store_[currentProgram_].name, kProgramNameSize);
        presetEditor_->showProgramName(shown);
    }
}

void CPresetSystemEffect::getProgramName(char* name) {
    if (!name || !store_) return;
    // Hosts hand out 24-byte buffers (the interface's limit): 23 characters and a terminator.
    std::memcpy(name, store_[currentProgram_].name, kProgramNameSize - 1);
    name[kProgramNameSize - 1] = 0;
}

bool CPresetSystemEffect::getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) {
    (void)category;
    if (!text || !store_ || index < 0 || index >= kNumPrograms) return false;
    std::memcpy(text, store_[index].name, kProgramNameSize - 1);
    text[kProgramNameSize - 1] = 0;
    return true;
}

void CPresetSystemEffect::renameCurrentProgram(const char* name) {
    if (!store_) return;
    presets::storeProgramName(store_[currentProgram_], name);
    curProgram = 0;
    updateDisplay();
}

void CPresetSystemEffect::selectProgram(VstInt32 index) {
    if (!store_ || index < 0 || index >= kNumPrograms) return;
    applyingProgram_ = true;
    curProgram = 0;
    currentProgram_ = index;
    for (int i = 0; i < kNumParams; ++i) setParameter(i, store_[index].values[i]);
    updateDisplay();
    beginEdit(0);
    endEdit(0);
    applyingProgram_ = false;
}

void CPresetSystemEffect::resetProgramToTemplate(VstInt32 index) {
    if (!store_ || index < 0 || index >= kNumPrograms) return;
    store_[index] = template_;
}

void CPresetSystemEffect::storeIntoCurrentProgram(VstInt32 index, float value) {
    if (store_ && index >= 0 && index < kNumParams) store_[currentProgram_].values[index] = value;
}

void CPresetSystemEffect::setParameter(VstInt32 index, float value) {
    if (index >= 0 && index < kNumParams) {
        if (isApplyingProgram()) return;
        storeIntoCurrentProgram(index, value);
        if (learnMode_) learnTarget_ = index;
        if (forgetMode_) {
            forgetController(index);
            stopForget();
        }
    }
}

float CPresetSystemEffect::getParameter(VstInt32 index) {
    if (!store_ || !assignmentValues_) return -1.0f;
    if (index >= 0 && index < kNumParams) return store_[currentProgram_].values[index];
    if (index >= kNumParams && index < 2 * kNumParams) return assignmentValues_[index - kNumParams];
    return 0.0f;
}

void CPresetSystemEffect::forgetController(VstInt32 parameter) {
    if (parameter < 0 || parameter >= kNumParams) return;
    VstInt32 c = controllerMap_[parameter];
    if (c >= 0 && c < 128) reverseControllerMap_[c] = kNoController;
    controllerMap_[parameter] = kNoController;
    assignmentValues_[parameter] = kNotAssignedValue;
}

VstInt32 CPresetSystemEffect::getAssignedController(VstInt32 parameter) {
    if (parameter < 0 || parameter >= kNumParams) return kNoController;
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
    (void)data;
    (void)isPreset;
    return 0;
}

VstInt32 CPresetSystemEffect::setChunk(void* data, VstInt32 byteSize, bool isPreset) {
    (void)data;
    (void)byteSize;
    (void)isPreset;
    return -1;
}

VstInt32 CPresetSystemEffect::processEvents(VstEvents* events) {
    (void)events;
    return 1;
}

VstInt32 CPresetSystemEffect::canDo(char* text) {
    if (!text) return 0;
    if (std::strcmp(text, "receiveVstMidiEvent") == 0) {
        char ask[] = "sendVstMidiEvent";
        return canHostDo(ask) ? 1 : 0;
    }
    return 0;
}

void CPresetSystemEffect::resume() { wantEvents(1); }
