#include "PresetStrip.h"

#include <algorithm>
#include <cstdio>
#include <functional>

#include "../gui/core/cfileselector.h"
#include "../gui/core/cframe.h"
#include "../gui/core/cmessagebox.h"
#include "../presets/CPresetSystemEffect.h"
#include "../presets/ControllerNames.h"
#include "../presets/settings/PresetCommands.h"
#include "MyFrame.h"
#include "Panel.h"
#include "artwork.h"
#include "layout.h"

using namespace VSTGUI;

namespace {

// The look of the text controls.
constexpr CColor kTextColour = MakeCColor(36, 36, 32);
constexpr CColor kNameBackColour = MakeCColor(189, 207, 218);
constexpr int kNameLength = presets::kProgramNameSize - 1;  // bytes, with room for a terminator
constexpr int kMenuRows = 16;
constexpr int32_t kMenuStyle = kPopupStyle | kCheckStyle | kNoTextStyle | kNoDrawStyle;

// A click on a default button: 1.0 stores the default, 0.5 (Ctrl) deletes it. The value 0
// of a release never reaches here, but is ignored all the same.
enum class DefaultClick { None, Delete, Store };
DefaultClick defaultClick(float v) {
    return v == 0.f ? DefaultClick::None : v < 0.75f ? DefaultClick::Delete : DefaultClick::Store;
}

// The controller display's text for its value: the name of the controller it stands for.
bool controllerText(float value, char text[256], void*) {
    const char* name = presets::controllerName(presets::controllerStep(value, presets::kControllerDisplaySteps));
    std::snprintf(text, 256, "%s", name);
    return true;
}

// Polls the opening of the manual from the frame's idle and reports its outcome. Closing
// the window first drops the report; the opener goes on by itself.
class ManualOpeningTask : public CFrameTask {
public:
    ManualOpeningTask(const std::string& path, void* owner, std::function<void(platform::OpenDocumentResult)> done)
        : opening(path, owner), done(std::move(done)) {}
    bool poll() override {
        const auto outcome = opening.poll();
        if (outcome && done) done(*outcome);
        return outcome.has_value();
    }
    void cancel() override { done = nullptr; }

private:
    platform::DocumentOpening opening;
    std::function<void(platform::OpenDocumentResult)> done;
};

}  // namespace

const PresetStrip::TagAction PresetStrip::kActions[] = {
    {98, &PresetStrip::renameFromField}, {99, &PresetStrip::stepProgram},  {100, &PresetStrip::loadBank},
    {101, &PresetStrip::saveBank},       {102, &PresetStrip::loadPreset},  {103, &PresetStrip::savePreset},
    {104, &PresetStrip::nothing},        {105, &PresetStrip::learn},       {106, &PresetStrip::loadMidi},
    {107, &PresetStrip::saveMidi},       {108, &PresetStrip::defaultMidi}, {109, &PresetStrip::forget},
    {110, &PresetStrip::chooseFromMenu}, {111, &PresetStrip::defaultBank}, {112, &PresetStrip::defaultPreset},
    {113, &PresetStrip::storeMemoA},     {114, &PresetStrip::storeMemoB},  {115, &PresetStrip::recallMemoA},
    {116, &PresetStrip::recallMemoB},    {117, &PresetStrip::keyboardFocus}, {118, &PresetStrip::openManual},
};

PresetStrip::PresetStrip(CPresetSystemEffect& effect, presets::PresetCommands& commands)
    : effect_(effect), commands_(commands) {}

// ---------------------------------------------------------------- building

void PresetStrip::open(MyFrame* frame, CControlListener* listener) {
    close();
    if (!frame) return;
    frame_ = frame;
    const int current = effect_.getCurrentProgramIndex();
    for (const layout::Control& c : layout::kStrip) {
        const CRect r(c.left, c.top, c.right, c.bottom);
        // The text controls show the panel under them: the frame's own background serves.
        CBitmap* bitmap = frame->getBackground();
        if (c.bitmap == artwork::kBackground && bitmap)
            bitmap->remember();
        else
            bitmap = new CBitmap(c.bitmap);
        CControl* made = nullptr;
        switch (c.kind) {
            case layout::Kind::SaveLoad: made = new CSaveLoadButton(r, listener, c.tag, bitmap); break;
            case layout::Kind::StripKick: made = new CPSKickButton(r, listener, c.tag, bitmap); break;
            case layout::Kind::DoubleClickKick: made = new CPSKickButton(r, listener, c.tag, bitmap, true); break;
            case layout::Kind::StripOnOff: made = new CPSOnOffButton(r, listener, c.tag, bitmap); break;
            case layout::Kind::Rocker: made = new CPSRockerSwitch(r, listener, c.tag, bitmap); break;
            case layout::Kind::NameField: {
                name_ = new CTextEdit(r, listener, c.tag, nullptr, bitmap);
                name_->setMaxLength(kNameLength);
                name_->setFont(kNormalFontVerySmall);
                name_->setFontColor(kTextColour);
                name_->setBackColor(kNameBackColour);
                name_->setFrameColor(kTextColour);
                name_->setHoriAlign(kCenterText);
                made = name_;
                break;
            }
            case layout::Kind::ProgramMenu: {
                menu_ = new COptionMenu(r, listener, c.tag, bitmap, nullptr, kMenuStyle);
                for (int p = 0; p < presets::kNumPrograms; ++p) menu_->addEntry(programName(p).c_str());
                menu_->setNbItemsPerColumn(kMenuRows);
                made = menu_;
                break;
            }
            case layout::Kind::ControllerDisplay: {
                display_ = new CParamDisplay(r, bitmap);
                display_->setTag(c.tag);
                display_->setFont(kNormalFontVerySmall);
                display_->setFontColor(kTextColour);
                display_->setFrameColor(kTextColour);
                display_->setHoriAlign(kCenterText);
                display_->setValueToStringProc(controllerText);
                made = display_;
                break;
            }
            default: break;
        }
        bitmap->forget();
        if (!made) continue;
        made->setBackOffset(CPoint(c.left, c.top));  // the text controls show the panel under them
        controls_[c.tag - kFirstTag] = made;
        frame_->addView(made);
    }
    learn_ = control(105);
    forget_ = control(109);
    manual_ = static_cast<CPSKickButton*>(control(118));

    showProgram(current);
    showControllerUnderMouse();
    effect_.stopLearn();
    effect_.stopForget();
    showModes();
    // The focus option shows the stored choice, and the frame follows it from the start
    // (without taking the focus now), so that the button and the behaviour always agree.
    const bool keepFocus = commands_.keyboardFocus();
    control(117)->setValue(keepFocus ? 1.f : 0.f);
    frame_->setKeepFocus(keepFocus, false);
}

void PresetStrip::close() {
    frame_ = nullptr;
    name_ = nullptr;
    menu_ = nullptr;
    display_ = nullptr;
    learn_ = forget_ = nullptr;
    manual_ = nullptr;
    for (CControl*& c : controls_) c = nullptr;
}

CControl* PresetStrip::control(int tag) const { return isStripTag(tag) ? controls_[tag - kFirstTag] : nullptr; }

// ---------------------------------------------------------------- actions

void PresetStrip::valueChanged(CControl* changed) {
    if (!changed || !frame_) return;
    const int tag = changed->getTag();
    const std::vector<uint8_t> before = effect_.savedState();
    for (const TagAction& a : kActions)
        if (a.tag == tag) (this->*a.run)(changed->getValue());
    reportIfChanged(before);
    // What the action changed through the preset system shows at once.
    applyRecorded();
}

void PresetStrip::reportIfChanged(const std::vector<uint8_t>& before) {
    // Only a change of what the host saves is news to it: a program chosen again, a name
    // typed as it was or a file that holds the present state report nothing.
    if (effect_.savedState() != before) effect_.reportStateChange();
}

void PresetStrip::reportLearning() {
    if (effect_.takeAssignmentChange()) effect_.reportStateChange();
}

void PresetStrip::renameFromField(float) {
    const std::string name = name_->getText();
    effect_.renameCurrentProgram(name.c_str());
    retitle(effect_.getCurrentProgramIndex());
}

void PresetStrip::stepProgram(float direction) {
    if (direction == 0.f) return;
    const int current = effect_.getCurrentProgramIndex();
    const int next = direction > 0.f ? std::min(current + 1, presets::kNumPrograms - 1) : std::max(current - 1, 0);
    if (next == current) return;
    effect_.selectProgram(next);
    showProgram(next);
}

void PresetStrip::chooseFromMenu(float entry) {
    const int index = static_cast<int>(entry + 0.5f);
    if (index < 0 || index >= presets::kNumPrograms) return;
    // The program shows its stored name: an entry's title may be older than a name that a
    // chunk loaded from another thread gave it since.
    effect_.selectProgram(index);
    showProgram(index);
}

void PresetStrip::storeOrDeleteDefault(float click, bool (presets::PresetCommands::*store)(),
                                       bool (presets::PresetCommands::*remove)()) {
    switch (defaultClick(click)) {
        case DefaultClick::Store: (commands_.*store)(); break;
        case DefaultClick::Delete: (commands_.*remove)(); break;
        case DefaultClick::None: break;
    }
}

void PresetStrip::defaultBank(float click) {
    storeOrDeleteDefault(click, &presets::PresetCommands::storeDefaultBank, &presets::PresetCommands::deleteDefaultBank);
}

void PresetStrip::defaultPreset(float click) {
    storeOrDeleteDefault(click, &presets::PresetCommands::storeDefaultPreset,
                         &presets::PresetCommands::deleteDefaultPreset);
}

void PresetStrip::defaultMidi(float click) {
    storeOrDeleteDefault(click, &presets::PresetCommands::storeDefaultMidi, &presets::PresetCommands::deleteDefaultMidi);
}

void PresetStrip::storeMemoA(float) { commands_.storeMemoA(); }
void PresetStrip::storeMemoB(float) { commands_.storeMemoB(); }
void PresetStrip::recallMemoA(float) { commands_.recallMemoA(); }
void PresetStrip::recallMemoB(float) { commands_.recallMemoB(); }

void PresetStrip::learn(float on) {
    effect_.stopForget();
    if (on != 0.f)
        effect_.startLearn();
    else
        effect_.stopLearn();
    showModes();
}

void PresetStrip::forget(float on) {
    effect_.stopLearn();
    if (on != 0.f)
        effect_.startForget();
    else
        effect_.stopForget();
    showModes();
}

void PresetStrip::keyboardFocus(float on) {
    frame_->setKeepFocus(on != 0.f);
    commands_.setKeyboardFocus(on != 0.f);
}

void PresetStrip::runDialog(const presets::FileOperation& operation) {
    const presets::FileSelectorRequest request = commands_.prepare(operation);
    CNewFileSelector* selector =
        CNewFileSelector::create(frame_, operation.save ? CNewFileSelector::kSelectSaveFile : CNewFileSelector::kSelectFile);
    selector->setTitle(request.title.c_str());
    selector->setInitialDirectory(request.initialDirectory.c_str());
    const CFileExtension extension(request.description.c_str(), request.extension.c_str());
    if (operation.save) {
        selector->setDefaultSaveName(request.defaultName.c_str());
        selector->setDefaultExtension(extension);
    } else {
        selector->addFileExtension(extension);
    }
    // The frame drops input while the dialog is open and delivers its answer from idle;
    // closing the window first cancels it, and the answer never comes.
    selector->run([this, operation](CNewFileSelector* answered) {
        const char* chosen = answered->getNumSelectedFiles() == 1 ? answered->getSelectedFile(0) : nullptr;
        const std::vector<uint8_t> before = effect_.savedState();
        commands_.complete(operation, chosen ? chosen : "");
        reportIfChanged(before);
        applyRecorded();
        if (frame_) frame_->invalid();
    });
    selector->forget();
}

void PresetStrip::openManual(float) {
    IPlatformFrame* window = frame_->getPlatformFrame();
    auto* task = new ManualOpeningTask(commands_.manualPath(), window ? window->getNativeHandle() : nullptr,
                                       [this](platform::OpenDocumentResult outcome) { showManualMessage(outcome); });
    frame_->addTask(task);
    task->forget();
    // The message may come before the release: the button does not wait for it.
    if (manual_) manual_->release();
}

void PresetStrip::showManualMessage(platform::OpenDocumentResult outcome) {
    const presets::ManualMessage message = presets::PresetCommands::manualMessage(outcome);
    if (message.show && frame_) CMessageBox::show(frame_, message.caption.c_str(), message.text.c_str());
}

// ---------------------------------------------------------------- following the effect

void PresetStrip::noteProgramRenamed(int index) {
    if (index < 0 || index >= presets::kNumPrograms) return;
    renamed_[index / 64].fetch_or(uint64_t{1} << (index % 64), std::memory_order_release);
}

void PresetStrip::noteProgramShown(int index) {
    if (index >= 0 && index < presets::kNumPrograms) shown_.store(index, std::memory_order_release);
}

std::string PresetStrip::programName(int index) const {
    char name[presets::kProgramNameSize + 1] = {};
    if (!effect_.getProgramNameIndexed(0, index, name)) return {};
    return name;
}

void PresetStrip::retitle(int index) {
    if (CMenuItem* entry = menu_ ? menu_->getEntry(index) : nullptr) entry->setTitle(programName(index).c_str());
}

void PresetStrip::showProgram(int index) {
    if (!menu_ || index < 0 || index >= presets::kNumPrograms) return;
    // A name being typed belongs to the program it was started for: when another program
    // becomes current meanwhile (a chunk, the host), the typing is dropped, never given
    // to the wrong program.
    if (name_->isEditing() && menu_->getCurrentIndex() != index) name_->cancelEdit();
    retitle(index);
    menu_->setCurrent(index);
    name_->setText(programName(index).c_str());
}

void PresetStrip::showModes() {
    if (learn_) learn_->setValue(effect_.learnMode() ? 1.f : 0.f);
    if (forget_) forget_->setValue(effect_.forgetMode() ? 1.f : 0.f);
}

void PresetStrip::showControllerUnderMouse() {
    if (!frame_ || !display_) return;
    CPoint where;
    frame_->getCurrentMouseLocation(where);
    // Only a parameter's own control names a controller; the strip, the about screen, an
    // open menu or message, and the bare panel show nothing.
    int step = presets::kControllerDisplaySteps - 1;
    const CControl* under = Panel::controlAt(frame_, where);
    if (under && under->getTag() >= 0 && under->getTag() < presets::kNumParams) {
        const VstInt32 controller = effect_.getAssignedController(under->getTag());
        step = controller >= 0 && controller < 128 ? controller : presets::kNotAssignedStep;
    }
    display_->setValue(presets::controllerStepValue(step, presets::kControllerDisplaySteps));
}

void PresetStrip::idle() {
    applyRecorded();
    showControllerUnderMouse();
}

void PresetStrip::applyRecorded() {
    if (!frame_) return;
    if (modesChanged_.exchange(false, std::memory_order_acquire)) showModes();
    for (int w = 0; w < kRenameWords; ++w) {
        const uint64_t bits = renamed_[w].exchange(0, std::memory_order_acquire);
        for (int b = 0; b < 64; ++b)
            if ((bits >> b) & 1u) retitle(w * 64 + b);
    }
    const int shown = shown_.exchange(-1, std::memory_order_acquire);
    if (shown >= 0) showProgram(shown);
    if (currentNameChanged_.exchange(false, std::memory_order_acquire)) showProgram(effect_.getCurrentProgramIndex());
}
