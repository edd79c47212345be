#include "Editor.h"

#include <cmath>

#if defined(_WIN32)
#include "../gui/win32/Win32Frame.h"
#else
#include "../gui/x11/X11Frame.h"
#endif
#include "../presets/CPresetSystemEffect.h"
#include "../presets/settings/PresetCommands.h"
#include "MyFrame.h"
#include "PanelEffect.h"
#include "artwork.h"

using namespace VSTGUI;

Editor::Editor(AudioEffect* effect) : AEffGUIEditor(effect) {
    rect.top = 0;
    rect.left = 0;
    rect.bottom = kHeight;
    rect.right = kWidth;
    for (auto& slot : slots_) slot.store(std::nanf(""), std::memory_order_relaxed);
    for (auto& word : pending_) word.store(0, std::memory_order_relaxed);
    // Nothing here talks to an X server or makes a window: hosts, scanners and tests
    // create the effect (and so this object) without a display.
    artwork::install();
#if defined(_WIN32)
    useWin32Platform();
#else
    useX11Platform();
#endif
    setKnobMode(kLinearMode);
    if (auto* effectX = dynamic_cast<AudioEffectX*>(effect))
        panel_ = std::make_unique<Panel>(*this, *effectX, dynamic_cast<PanelEffect*>(effect));
    if (auto* presetEffect = dynamic_cast<CPresetSystemEffect*>(effect)) {
        presetEffect->setPresetEditor(this);
        commands_ = std::make_unique<presets::PresetCommands>(*presetEffect);
        strip_ = std::make_unique<PresetStrip>(*presetEffect, *commands_);
    }
}

Editor::~Editor() {
    close();
    if (commands_) commands_->saveRecentPaths();
    if (auto* presetEffect = dynamic_cast<CPresetSystemEffect*>(effect)) presetEffect->setPresetEditor(nullptr);
}

void Editor::applyStoredDefaults() {
    if (commands_) commands_->applyStoredDefaults();
}

void Editor::clearLearnButton() {
    if (strip_) strip_->noteLearnCleared();
}

void Editor::clearForgetButton() {
    if (strip_) strip_->noteForgetCleared();
}

void Editor::showProgramName(const char*) {
    // The name is the current program's, which the strip reads from the effect.
    if (strip_) strip_->noteCurrentNameChanged();
}

void Editor::programRenamed(int index) {
    if (strip_) strip_->noteProgramRenamed(index);
}

void Editor::programShown(int index) {
    if (strip_) strip_->noteProgramShown(index);
}

MyFrame* Editor::getMyFrame() const { return static_cast<MyFrame*>(frame); }

bool Editor::open(void* ptr) {
    if (frame) close();  // a second open without a close replaces the window
    if (!AEffGUIEditor::open(ptr)) return false;
    auto* myFrame = new MyFrame(CRect(0, 0, kWidth, kHeight), ptr, this);
    if (!myFrame->isOpen()) {
        // No X server, or the parent is not a window (or no window could be made): build nothing.
        myFrame->forget();
        AEffGUIEditor::close();
        return false;
    }
    frame = myFrame;
    auto* background = new CBitmap(artwork::kBackground);
    frame->setBackground(background);
    background->forget();
    if (panel_) panel_->open(frame, this);
    if (strip_) strip_->open(myFrame, this);
    applyPending(true);
    timer_ = new CVSTGUITimer([this](CVSTGUITimer*) { idleStep(); }, kIdleTimerMs, frame);
    timer_->start();
    return true;
}

void Editor::close() {
    if (timer_) {
        timer_->stop();
        timer_->forget();
        timer_ = nullptr;
    }
    if (strip_) strip_->close();
    if (panel_) panel_->close();
    // A drag the window's closing cut short: the host's touch ends here.
    for (int index = 0; index < presets::kNumParams; ++index)
        while (openBrackets_[index] > 0) endEdit(index);
    if (CFrame* f = frame) {
        frame = nullptr;
        f->close();
    }
    AEffGUIEditor::close();
}

void Editor::idle() {
    idleStep();
    AEffGUIEditor::idle();
}

void Editor::idleStep() {
    if (strip_) strip_->reportLearning();
    if (!frame) return;
    applyPending();
    if (panel_) panel_->showValues(getTicks());
    if (strip_) strip_->idle();
}

void Editor::valueChanged(CControl* control) {
    if (!control) return;
    if (PresetStrip::isStripTag(control->getTag())) {
        if (strip_) strip_->valueChanged(control);
    } else if (panel_) {
        panel_->valueChanged(control);
    }
}

void Editor::controlBeginEdit(CControl* control) {
    if (control && panel_ && !PresetStrip::isStripTag(control->getTag())) panel_->controlBeginEdit(control);
}

void Editor::controlEndEdit(CControl* control) {
    if (control && panel_ && !PresetStrip::isStripTag(control->getTag())) panel_->controlEndEdit(control);
}

void Editor::beginEdit(int32_t index) {
    if (index < 0 || index >= presets::kNumParams) return;
    ++openBrackets_[index];
    AEffGUIEditor::beginEdit(index);
}

void Editor::endEdit(int32_t index) {
    if (index < 0 || index >= presets::kNumParams || openBrackets_[index] == 0) return;
    --openBrackets_[index];
    AEffGUIEditor::endEdit(index);
}

void Editor::applyParameter(int index, float value) {
    if (panel_) panel_->applyParameter(index, value);
}

void Editor::applyLink(bool linked) {
    if (panel_) panel_->applyLink(linked);
}

void Editor::applyTempo(double bpm) {
    if (panel_) panel_->applyTempo(bpm);
}

void Editor::setParameter(VstInt32 index, float value) {
    if (index < 0 || index >= kParameterSlots) return;
    slots_[index].store(value, std::memory_order_relaxed);
    pending_[index / 64].fetch_or(uint64_t{1} << (index % 64), std::memory_order_release);
}

void Editor::linkOff() {
    linked_ = false;
    linkPending_.store(true, std::memory_order_release);
}

void Editor::linkOn() {
    linked_ = true;
    linkPending_.store(true, std::memory_order_release);
}

void Editor::tempoChanged(double bpm) {
    tempo_ = bpm;
    tempoPending_.store(true, std::memory_order_release);
}

float Editor::storedParameter(int index) const {
    return index >= 0 && index < kParameterSlots ? slots_[index].load(std::memory_order_relaxed) : std::nanf("");
}

bool Editor::hasPendingChanges() const {
    for (const auto& word : pending_)
        if (word.load(std::memory_order_relaxed)) return true;
    return linkPending_.load(std::memory_order_relaxed) || tempoPending_.load(std::memory_order_relaxed);
}

void Editor::applyPending(bool all) {
    for (int w = 0; w < kWords; ++w) {
        uint64_t bits = pending_[w].exchange(0, std::memory_order_acquire);
        for (int b = 0; b < 64; ++b) {
            int index = w * 64 + b;
            if (index >= kParameterSlots) break;
            float value = slots_[index].load(std::memory_order_relaxed);
            if (((bits >> b) & 1u) || (all && !std::isnan(value))) applyParameter(index, value);
        }
    }
    if (linkPending_.exchange(false, std::memory_order_acquire) || all) applyLink(isLinked());
    if (tempoPending_.exchange(false, std::memory_order_acquire) || all) applyTempo(shownTempo());
}
