#include "Editor.h"

#include <algorithm>
#include <cmath>
#include <string>

#if defined(_WIN32)
#include "../gui/win32/Win32Frame.h"
#else
#include "../gui/x11/X11Frame.h"
#endif
#include "../presets/CPresetSystemEffect.h"
#include "../presets/settings/PresetCommands.h"
#include "../gui/core/coptionmenu.h"
#include "MyFrame.h"
#include "PanelEffect.h"
#include "Zoom.h"
#include "artwork.h"

using namespace VSTGUI;

Editor::Editor(AudioEffect* effect) : AEffGUIEditor(effect) {
    setRectSize(kWidth, kHeight);
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
    myFrame->setOwner(this);
    systemScale_ = myFrame->getSystemScale();
    zoom_ = startZoom();
    frame->setScaleFactor(zoom_ / 100.0);
    setRectSize(static_cast<int>(frame->getDeviceSize().x), static_cast<int>(frame->getDeviceSize().y));
    auto* background = new CBitmap(artwork::kBackground);
    frame->setBackground(background);
    background->forget();
    if (panel_) panel_->open(frame, this);
    if (strip_) strip_->open(myFrame, this);
    // The zoom menu: a hot spot of no size, moved to where the background is clicked.
    zoomMenu_ = new COptionMenu(CRect(0, 0, 0, 0), this, kZoomMenuTag, nullptr, nullptr,
                                kPopupStyle | kCheckStyle | kNoTextStyle | kNoDrawStyle);
    zoomMenu_->setMouseEnabled(false);
    for (int percent : zoom::kFactors) zoomMenu_->addEntry((std::to_string(percent) + " %").c_str());
    frame->addView(zoomMenu_);
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
    zoomMenu_ = nullptr;
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
    if (hostScalePending_.exchange(false, std::memory_order_acquire) && !storedZoom())
        applyZoom(zoom::nearest(hostScale_.load(std::memory_order_relaxed)));
    applyPending();
    if (panel_) panel_->showValues(getTicks());
    if (strip_) strip_->idle();
}

void Editor::valueChanged(CControl* control) {
    if (!control) return;
    if (control == zoomMenu_) {
        const int chosen = static_cast<int>(control->getValue());
        if (chosen >= 0 && chosen < zoom::kCount) chooseZoom(zoom::kFactors[chosen]);
    } else if (PresetStrip::isStripTag(control->getTag())) {
        if (strip_) strip_->valueChanged(control);
    } else if (panel_) {
        panel_->valueChanged(control);
    }
}

void Editor::controlBeginEdit(CControl* control) {
    if (control && control != zoomMenu_ && panel_ && !PresetStrip::isStripTag(control->getTag()))
        panel_->controlBeginEdit(control);
}

void Editor::controlEndEdit(CControl* control) {
    if (control && control != zoomMenu_ && panel_ && !PresetStrip::isStripTag(control->getTag()))
        panel_->controlEndEdit(control);
}

// ---------------------------------------------------------------- zoom

int Editor::storedZoom() const { return commands_ ? zoom::storedFactor(commands_->zoom()) : 0; }

int Editor::startZoom() const {
    return zoom::startFactor(zoom::Sources{storedZoom(), hostScale_.load(std::memory_order_relaxed), systemScale_});
}

int Editor::zoomFactor() { return frame ? zoom_ : startZoom(); }

void Editor::setRectSize(int width, int height) {
    rect.top = 0;
    rect.left = 0;
    rect.bottom = static_cast<VstInt16>(height);
    rect.right = static_cast<VstInt16>(width);
}

bool Editor::getRect(ERect** ppRect) {
    if (!frame) {
        // Some hosts size their window before they open ours: the desktop's scale, asked
        // of the window system without a window, until a window of ours has told it.
        if (!(systemScale_ > 0)) systemScale_ = PlatformFactory::systemScale();
        const zoom::Size size = zoom::windowSize(startZoom());
        setRectSize(size.width, size.height);
    }
    return AEffGUIEditor::getRect(ppRect);
}

bool Editor::applyZoom(int percent) {
    if (!frame || zoom::indexOf(percent) < 0) return false;
    if (percent == zoom_) return true;
    // The host learns the new size from the call and, as some ask, from effEditGetRect
    // during it; if it refuses, everything stays as it was.
    const ERect before = rect;
    const zoom::Size size = zoom::windowSize(percent);
    setRectSize(size.width, size.height);
    auto* effectX = dynamic_cast<AudioEffectX*>(effect);
    if (!effectX || !effectX->sizeWindow(size.width, size.height)) {
        rect = before;
        return false;
    }
    if (!frame) return false;  // the host closed the editor from inside its answer
    zoom_ = percent;
    frame->setScaleFactor(percent / 100.0);
    return true;
}

bool Editor::chooseZoom(int percent, bool remember) {
    if (zoom::indexOf(percent) < 0) return false;
    if (remember && commands_) commands_->setZoom(percent);
    return !frame || applyZoom(percent);
}

bool Editor::hostScaleAnnounced(float scale) {
    if (!zoom::nearest(scale)) return false;
    hostScale_.store(scale, std::memory_order_relaxed);
    hostScalePending_.store(true, std::memory_order_release);
    return true;
}

void Editor::backgroundMenu(const CPoint& where) {
    if (!zoomMenu_) return;
    const CRect spot(where.x, where.y, where.x, where.y);
    zoomMenu_->setViewSize(spot);
    zoomMenu_->setMouseableArea(spot);
    zoomMenu_->setCurrent(std::max(0, zoom::indexOf(zoom_)));
    CPoint at = where;
    zoomMenu_->onMouseDown(at, CButtonState(kRButton));
}

void Editor::systemScaleChanged(double scale) {
    systemScale_ = scale;
    if (!storedZoom() && !zoom::nearest(hostScale_.load(std::memory_order_relaxed))) applyZoom(zoom::nearest(scale));
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
