// The effect base that keeps its own bank of 61 programs behind a single host program,
// the MIDI controller assignment, and the chunk the host stores.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "../vst/audioeffectx.h"
#include "PresetEditorHooks.h"
#include "ProgramStore.h"

class CPresetSystemEffect : public AudioEffectX {
public:
    static constexpr VstInt32 kNoController = 999;

    explicit CPresetSystemEffect(audioMasterCallback audioMaster);
    ~CPresetSystemEffect() override;

    // ---- host-facing ----
    VstInt32 getProgram() override { return 0; }
    void setProgram(VstInt32 program) override { (void)program; }
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
    VstInt32 getChunk(void** data, bool isPreset = false) override;
    VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset = false) override;
    // 0..59: stored into the current program (unless a program is being applied), then
    // learn and forget; 60..119: controller assignment.
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    VstInt32 processEvents(VstEvents* events) override;
    VstInt32 canDo(char* text) override;
    void resume() override;

    // ---- own operations, in slot order ----
    virtual VstInt32 getCurrentProgramIndex();
    virtual void selectProgram(VstInt32 index);
    virtual void renameCurrentProgram(const char* name);
    virtual void forgetController(VstInt32 parameter);
    virtual VstInt32 getAssignedController(VstInt32 parameter);
    virtual void startLearn();
    virtual void stopLearn();
    virtual void startForget();
    virtual void stopForget();
    virtual VstInt32 getPresetID();
    virtual void resetProgramToTemplate(VstInt32 index);
    virtual bool skipOnSave(VstInt32 parameter);
    virtual bool skipOnLegacyLoad(VstInt32 parameter);
    virtual void loadStartupDefaults();
    virtual void buildFactoryPrograms();
    virtual void resetControllerMap();

    // ---- for the block codec and the editor ----
    // True on the thread that selectProgram is applying a program on, while it does.
    bool isApplyingProgram() const {
        return applyingThread_.load(std::memory_order_relaxed) == std::this_thread::get_id();
    }
    presets::ProgramRecord* programs() { return store_.get(); }
    // Held by block readers while they replace programs (bank and preset files, stored
    // defaults), as setChunk holds it: a save never takes half of a load.
    std::unique_lock<std::recursive_mutex> holdState() {
        return std::unique_lock<std::recursive_mutex>(stateMutex_);
    }
    const presets::ProgramRecord& templateProgram() const { return template_; }
    void setPresetEditor(presets::PresetEditorHooks* hooks) { presetEditor_ = hooks; }
    presets::PresetEditorHooks* presetEditor() const { return presetEditor_; }
    bool learnMode() const { return learnMode_; }
    bool forgetMode() const { return forgetMode_; }
    VstInt32 learnTarget() const { return learnTarget_; }
    // The parameter that controller c drives (reverse controller map), 999 for none or
    // for a number outside 0..127.
    VstInt32 getControlledParameter(VstInt32 controller) const;

    // Writes a value into the current program without any other effect (used when the
    // effect itself rewrites a stored value).
    void storeIntoCurrentProgram(VstInt32 index, float value);

    // ---- what the host saves ----
    // The chunk as getChunk would hand it out now (every program with its name and values,
    // the current program, the controller assignments): two of them differ exactly when a
    // save would store something else. Empty when no chunk can be built.
    std::vector<uint8_t> savedState();
    // Tells the host that what it saves has changed in a way it has not seen: a program
    // chosen, renamed or loaded in the editor, a controller learned or forgotten. Some hosts
    // (Qtractor) mark their session modified only when a parameter change is reported to
    // them, so the report is the automation of one parameter that holds no sound, carrying
    // its own present value: the host's copy of every value stays as it is, and no sounding
    // parameter gets an undo step or an automation point from it. Not from the audio thread.
    void reportStateChange();
    // True once after learning or forgetting changed a controller assignment, which may
    // happen on the audio thread; the editor reports it from its own thread.
    bool takeAssignmentChange() { return assignmentChanged_.exchange(false, std::memory_order_acq_rel); }

protected:
    // The parameter whose automation carries reportStateChange; -1 for none (no report).
    virtual VstInt32 stateReportParameter() { return -1; }
    // Assigns controller c (0..127) to parameter p, taking it from any other parameter and
    // freeing p's previous controller, so that both maps stay each other's inverse.
    void assignController(VstInt32 parameter, VstInt32 controller);
    // The calling thread's chunk buffer (stateMutex_ held).
    std::vector<unsigned char>& chunkBufferOfThisThread();

    std::unique_ptr<presets::ProgramRecord[]> store_;
    presets::ProgramRecord template_{};
    std::atomic<VstInt32> currentProgram_{0};
    // The thread applying a program, while it does: its own setParameter calls only carry
    // the program's values into the effect. What other threads change meanwhile
    // (automation, controllers) is stored as always, so that the state a host saves
    // afterwards is the state in force.
    std::atomic<std::thread::id> applyingThread_{};
    presets::PresetEditorHooks* presetEditor_ = nullptr;

    // getChunk, setChunk and the program functions (selecting, renaming) run one at a
    // time: hosts save and restore on several threads, and editors select programs on
    // theirs. Re-entrant: a host may call in again from inside a callback made under it.
    // The audio thread never takes it.
    std::recursive_mutex stateMutex_;
    // What getChunk returned, one buffer per calling thread (guarded by stateMutex_, most
    // recently used last). A host reads the chunk in place after the call has returned, so
    // handed-out memory is never freed and is rewritten only by the next call from the
    // same thread: a save on one thread never reads a chunk that a save on another thread
    // is writing. Hosts use a few threads; past kChunkBuffers the buffer used longest ago
    // is taken over.
    struct ChunkBuffer {
        std::thread::id owner;
        std::vector<unsigned char> bytes;
    };
    static constexpr size_t kChunkBuffers = 4;
    std::vector<ChunkBuffer> chunkBuffers_;

    // Controller assignment: values of 60..119, the map and its reverse. The audio thread
    // (processEvents) and the editor's thread both read and write them without a lock.
    std::unique_ptr<std::atomic<float>[]> assignmentValues_;
    std::unique_ptr<std::atomic<VstInt32>[]> controllerMap_;
    std::unique_ptr<std::atomic<VstInt32>[]> reverseControllerMap_;
    std::atomic<bool> learnMode_{false};
    std::atomic<bool> forgetMode_{false};
    std::atomic<VstInt32> learnTarget_{-1};
    // A learn or forget changed an assignment since the editor last looked.
    std::atomic<bool> assignmentChanged_{false};
    // Threads whose parameter sets are no touch for learn and forget, while they are: the
    // one processEvents is moving a parameter on, and the one reportStateChange is waiting
    // on (a host may set the reported parameter back from inside the report). One slot
    // each, so that the audio thread and the editor's never take each other's.
    std::atomic<std::thread::id> controllerThread_{};
    std::atomic<std::thread::id> reportingThread_{};
};
