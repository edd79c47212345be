#include "Panel.h"

#include <algorithm>
#include <cmath>

#include "../params/ParameterTable.h"
#include "../params/Quantise.h"
#include "../params/SidePairs.h"
#include "../vst/audioeffectx.h"
#include "About.h"
#include "PanelEffect.h"
#include "QELControls.h"

using namespace VSTGUI;
using namespace params;

namespace {

// The about screen covers the whole window; the version sits in its box at this origin.
const CRect kAboutDisplay(0, 0, 942, 171);
const CPoint kVersionOrigin(740, 70);
// The knobs' frames start two pixels into each frame of their strips.
const CPoint kKnobOffset(2, 2);

// Note positions of the step buttons' parameters.
constexpr int kPreNumPositions = 6, kNumeratorPositions = 5, kDenominatorPositions = 13;
// The LFO rate buttons move 0.001 Hz and keep the rate within these bounds.
constexpr double kLfoRateStep = 0.001, kLfoRateFloor = 0.01, kLfoRateFloorUp = 0.011, kLfoRateCeiling = 15.0;
// The LFO drag area never goes below 0.01 Hz: ln 1.01 / ln 16.
const float kLfoAreaFloor = static_cast<float>(std::log(1.01) / std::log(16.0));

const layout::Bitmap* bitmapInfo(int id) {
    for (const layout::Bitmap& b : layout::kBitmaps)
        if (b.id == id) return &b;
    return nullptr;
}

const layout::SharedControl* sidePair(int tag) {
    for (const layout::SharedControl& p : layout::kSharedControls)
        if (p.tag == tag) return &p;
    return nullptr;
}

// One side's parameter of a pair of side parameters (left, left + 1).
int sideOf(int left, bool right) { return right ? left + 1 : left; }

}  // namespace

const Panel::TagAction Panel::kActions[] = {
    {kLfoRate, &Panel::lfoRateArea}, {61, &Panel::tempoArea},     {62, &Panel::link},
    {74, &Panel::preDelayStep},      {75, &Panel::preDelayStep},  {76, &Panel::delayStep},
    {77, &Panel::delayStep},         {78, &Panel::lfoStep},       {79, &Panel::lfoStep},
    {83, &Panel::sharedValue},       {84, &Panel::sharedValue},   {85, &Panel::sharedValue},
    {86, &Panel::sharedValue},       {88, &Panel::delayMode},     {89, &Panel::range},
    {90, &Panel::delayTimeArea},     {91, &Panel::upperSide},     {92, &Panel::lowerSide},
    {93, &Panel::sharedValue},       {94, &Panel::sharedValue},   {96, &Panel::sharedValue},
};

Panel::Panel(PanelHost& host, AudioEffectX& effect, PanelEffect* queries)
    : host_(host), effect_(effect), queries_(queries) {}

// ---------------------------------------------------------------- building

void Panel::open(CFrame* frame, CControlListener* listener) {
    close();
    if (!frame) return;
    frame_ = frame;
    for (const layout::Control& c : layout::kPanel) {
        const CRect r(c.left, c.top, c.right, c.bottom);
        const layout::Bitmap* art = c.bitmap ? bitmapInfo(c.bitmap) : nullptr;
        CBitmap* bitmap = art ? new CBitmap(c.bitmap) : nullptr;
        const CCoord width = art ? art->width : 0;
        const CCoord frameHeight = art ? art->height / art->frames : 0;
        CControl* made = nullptr;
        switch (c.kind) {
            case layout::Kind::Knob: {
                const CCoord inset = layout::knobInsetRightBottom(static_cast<int>(frameHeight));
                const CRect drawRect(r.left + layout::kKnobInsetLeftTop, r.top + layout::kKnobInsetLeftTop,
                                     r.right - inset, r.bottom - inset);
                made = new QELAnimKnob(r, listener, c.tag, art->frames, frameHeight, bitmap, kKnobOffset, drawRect);
                made->setWheelInc(layout::kKnobWheelIncrement);
                break;
            }
            case layout::Kind::OnOff:
                made = new QELOnOffButton(CRect(r.left, r.top, r.left + width, r.top + art->height / 2), listener,
                                          c.tag, bitmap);
                break;
            case layout::Kind::Switch:
                made = new QELSwitch(r, listener, c.tag, art->frames, frameHeight, art->frames, bitmap, CPoint(0, 0));
                break;
            case layout::Kind::SwitchVert:
                made = new QELSwitchVert(r, listener, c.tag, art->frames, frameHeight, art->frames, bitmap, CPoint(0, 0));
                break;
            case layout::Kind::Kick:
                made = new QELKickButton(r, listener, c.tag, frameHeight, bitmap, CPoint(0, 0));
                break;
            case layout::Kind::Digit:
            case layout::Kind::Meter:
                made = new CMovieBitmap(CRect(r.left, r.top, r.left + width, r.top + frameHeight), listener, c.tag,
                                        art->frames, frameHeight, bitmap);
                break;
            case layout::Kind::Slider: made = new CInvisibleSlider(r, listener, c.tag); break;
            case layout::Kind::About:
                made = new CAbout(r, listener, c.tag, bitmap, kAboutDisplay, CPoint(0, 0), kVersionOrigin);
                break;
            default: break;
        }
        if (bitmap) bitmap->forget();  // each control keeps its own reference
        if (!made) continue;
        if (c.defaultValue != layout::kToolkitDefault) made->setDefaultValue(c.defaultValue);
        controls_.emplace_back(c.tag, made);
        frame_->addView(made);
    }
    // The values now: parameters (the shown side's for the shared controls), the link,
    // the side buttons and the tempo.
    for (const layout::Control& c : layout::kPanel)
        if (isParameter(c.tag)) set(c.tag, shownValue(c.tag, parameter(c.tag)));
    showSide(rightShown_);
    set(62, host_.isLinked() ? 1.f : 0.f);
    if (queries_) set(61, std::sqrt(static_cast<float>(queries_->getTempoPosition())));
}

void Panel::close() {
    frame_ = nullptr;
    controls_.clear();
    open_.clear();
    editedTag_ = -1;
}

CControl* Panel::control(int tag) const {
    for (const auto& [t, c] : controls_)
        if (t == tag) return c;
    return nullptr;
}

void Panel::set(int tag, float value) {
    if (CControl* c = control(tag)) c->setValue(value);
}

float Panel::shownValue(int tag, float v) {
    const bool area = tag == kLfoRate || tag == 90;
    return area ? std::sqrt(std::max(0.f, v)) : v;
}

int Panel::shownParameter(int tag) const {
    const layout::SharedControl* p = sidePair(tag);
    return p ? (rightShown_ ? p->right : p->left) : -1;
}

int Panel::otherParameter(int tag) const {
    const layout::SharedControl* p = sidePair(tag);
    return p ? (rightShown_ ? p->left : p->right) : -1;
}

void Panel::showSide(bool right) {
    rightShown_ = right;
    for (const layout::SharedControl& p : layout::kSharedControls) set(p.tag, shownValue(p.tag, parameter(shownParameter(p.tag))));
    set(91, right ? 1.f : 0.f);
    set(92, right ? 0.f : 1.f);
}

// ---------------------------------------------------------------- following the effect

void Panel::applyParameter(int index, float value) {
    if (!frame_ || !isParameter(index)) return;
    for (const layout::SharedControl& p : layout::kSharedControls) {
        if (index != p.left && index != p.right) continue;
        // A side's parameter shows only while that side is shown.
        if (index == shownParameter(p.tag)) set(p.tag, shownValue(p.tag, value));
        return;
    }
    set(index, shownValue(index, value));  // no control for the note values and the unused
}

void Panel::applyLink(bool linked) { set(62, linked ? 1.f : 0.f); }

CControl* Panel::controlAt(CFrame* frame, const CPoint& where) {
    CView* view = frame ? frame->getViewAt(where) : nullptr;
    return view && frame->isChild(view) ? dynamic_cast<CControl*>(view) : nullptr;
}

void Panel::showValues(uint32_t nowMs) {
    if (!frame_ || !queries_) return;
    if (!idledBefore_) {
        // The clocks of the blink and the meters' fall start with the first look.
        blink_.lastToggleMs = lastIdleMs_ = nowMs;
        idledBefore_ = true;
    }
    CPoint mouse;
    frame_->getCurrentMouseLocation(mouse);
    const CControl* hovered = controlAt(frame_, mouse);
    const valuedisplay::ItemChoice choice = valuedisplay::chooseItem(
        editedTag_, mouse.x, mouse.y, hovered ? hovered->getTag() : -1, rightShown_, lfoSynced(), delaySynced());
    const bool limited = choice.blinkSelector != 0 && queries_->limitQuery(choice.blinkSelector);
    blink_ = valuedisplay::stepBlink(blink_, limited, nowMs);
    queries_->getDisplayValue(choice.item, shownValue_);
    const valuedisplay::Cells cells = valuedisplay::cellValues(shownValue_, blink_.on);
    for (int i = 0; i < valuedisplay::kCellCount; ++i) set(valuedisplay::kFirstCellTag + i, cells[i]);

    float peaks[2] = {0.f, 0.f};
    queries_->peakQuery(peaks[0], peaks[1]);
    const uint32_t elapsed = nowMs - lastIdleMs_;
    for (int side = 0; side < 2; ++side) {
        CControl* meter = control(side == 0 ? valuedisplay::kLeftMeterTag : valuedisplay::kRightMeterTag);
        if (meter) meter->setValue(valuedisplay::meterValue(peaks[side], meter->getValue(), elapsed));
    }
    lastIdleMs_ = nowMs;
}

void Panel::applyTempo(double bpm) {
    // The tempo area's square law over 30..400 BPM.
    const double position = std::min(1.0, std::max(0.0, (bpm - 30.0) / 370.0));
    set(61, static_cast<float>(std::sqrt(position)));
}

// ---------------------------------------------------------------- edits

float Panel::parameter(int index) const { return const_cast<AudioEffectX&>(effect_).getParameter(index); }

void Panel::automate(int index, float value) {
    if (isParameter(index)) effect_.setParameterAutomated(index, value);
}

void Panel::edit(int index, float value) {
    host_.beginEdit(index);
    automate(index, value);
    host_.endEdit(index);
}

bool Panel::delaySynced() const { return positionOf(parameter(shownParameter(88)), 2) != 0; }
bool Panel::lfoSynced() const { return positionOf(parameter(kLfoMode), 3) != 0; }

void Panel::followLink() {
    if (host_.isLinked() && queries_) queries_->linkFollow(rightShown_);
}

void Panel::valueChanged(CControl* control) {
    if (!frame_ || !control) return;
    const int tag = control->getTag();
    const float v = control->getValue();
    for (const TagAction& a : kActions)
        if (a.tag == tag) return (this->*a.run)(control, v);
    // Every other parameter's control is that parameter; the editor's own display-only
    // tags never notify, and a tag not on the panel does nothing.
    if (isParameter(tag)) automate(tag, v);
}

void Panel::controlBeginEdit(CControl* control) {
    const int tag = control->getTag();
    editedTag_ = tag;
    if (!sidePair(tag)) return;
    const OpenBrackets opened{tag, shownParameter(tag), host_.isLinked() ? otherParameter(tag) : -1};
    host_.beginEdit(opened.shown);
    if (opened.other >= 0) host_.beginEdit(opened.other);
    open_.push_back(opened);
}

void Panel::controlEndEdit(CControl* control) {
    const int tag = control->getTag();
    if (tag == editedTag_) editedTag_ = -1;
    // Exactly the brackets this control's press opened, whatever the link or the side
    // shown have become since.
    auto it = std::find_if(open_.begin(), open_.end(), [tag](const OpenBrackets& b) { return b.tag == tag; });
    if (it == open_.end()) return;
    const OpenBrackets opened = *it;
    open_.erase(it);
    if (opened.other >= 0) host_.endEdit(opened.other);
    host_.endEdit(opened.shown);
}

void Panel::lfoRateArea(CControl*, float v) {
    if (lfoSynced())
        set(kLfoRate, shownValue(kLfoRate, parameter(kLfoRate)));
    else
        automate(kLfoRate, std::max(v * v, kLfoAreaFloor));
}

void Panel::tempoArea(CControl*, float v) {
    if (!queries_) return;
    // With the host's tempo in force the area only shows it.
    if (queries_->hostTimeFlag())
        set(61, std::sqrt(static_cast<float>(queries_->getTempoPosition())));
    else
        queries_->setTempoPosition(static_cast<double>(v) * v);
}

void Panel::link(CControl* button, float v) {
    const bool special = static_cast<QELOnOffButton*>(button)->isSpecialClick();
    if (positionOf(v, 2) == 0 && !special) {
        host_.setLinked(false);
        return;
    }
    host_.setLinked(true);
    set(62, 1.f);  // a special click on a lit button links too: the button says so
    if (!special) return;
    for (const SidePair& p : kLinkCopyPairs) {
        const int shown = rightShown_ ? p.right : p.left, other = rightShown_ ? p.left : p.right;
        const float value = parameter(shown);
        const float copy = p.mirrored ? 1.f - value : value;
        // A pair already in step is not edited: the host hears only of what changed.
        if (parameter(other) != copy) edit(other, copy);
    }
}

float Panel::stepped(int index, int positions, float step) const {
    int k = positionOf(parameter(index), positions) + (step > 1.f ? -1 : 1);
    if (k >= positions) k = 0;
    if (k < 0) k = positions - 1;
    return centreOf(k, positions);
}

void Panel::preDelayStep(CControl* button, float) {
    const float step = static_cast<QELKickButton*>(button)->getStep();
    const bool numerator = button->getTag() == 74;
    const int stepLeft = numerator ? kPreNumL : kPreDenL, partnerLeft = numerator ? kPreDenL : kPreNumL;
    const int shown = sideOf(stepLeft, rightShown_), other = sideOf(stepLeft, !rightShown_);
    const float value = stepped(shown, numerator ? kPreNumPositions : kDenominatorPositions, step);
    edit(shown, value);
    if (!host_.isLinked()) return;
    edit(other, value);
    edit(sideOf(partnerLeft, !rightShown_), parameter(sideOf(partnerLeft, rightShown_)));
}

void Panel::delayStep(CControl* button, float) {
    const float step = static_cast<QELKickButton*>(button)->getStep();
    const bool down = button->getTag() == 76;
    if (delaySynced()) {
        const int stepLeft = down ? kDlyNumL : kDlyDenL, partnerLeft = down ? kDlyDenL : kDlyNumL;
        const int shown = sideOf(stepLeft, rightShown_);
        const float value = stepped(shown, down ? kNumeratorPositions : kDenominatorPositions, step);
        edit(shown, value);
        if (host_.isLinked()) {
            edit(sideOf(stepLeft, !rightShown_), value);
            edit(sideOf(partnerLeft, !rightShown_), parameter(sideOf(partnerLeft, rightShown_)));
        }
    } else {
        // Nudges of a thousandth (ten or a hundred with a modifier) of the time range.
        const int time = sideOf(kDlyTimeL, rightShown_);
        const float nudged = parameter(time) + (down ? -step : step) / 1000.f;
        edit(time, std::min(1.f, std::max(0.f, nudged)));
    }
    followLink();
}

void Panel::lfoStep(CControl* button, float) {
    const bool down = button->getTag() == 78;
    if (lfoSynced()) {
        const float step = static_cast<QELKickButton*>(button)->getStep();
        const int index = down ? kLfoNum : kLfoDen;
        edit(index, stepped(index, down ? kNumeratorPositions : kDenominatorPositions, step));
        return;
    }
    // The rate in hertz moves by a thousandth, whatever the modifier.
    double rate = std::pow(16.0, parameter(kLfoRate)) - 1.0;
    rate = down ? std::max(rate - kLfoRateStep, kLfoRateFloor)
                : std::max(std::min(rate + kLfoRateStep, kLfoRateCeiling), kLfoRateFloorUp);
    edit(kLfoRate, static_cast<float>(std::log(rate + 1.0) / std::log(16.0)));
}

void Panel::sharedValue(CControl* control, float v) {
    const int tag = control->getTag();
    automate(shownParameter(tag), v);
    if (host_.isLinked()) automate(otherParameter(tag), sidePair(tag)->mirrored ? 1.f - v : v);
}

void Panel::delayMode(CControl*, float v) {
    automate(shownParameter(88), v);
    set(89, parameter(shownParameter(89)));
    set(90, shownValue(90, parameter(shownParameter(90))));
    followLink();
}

void Panel::range(CControl*, float v) {
    if (delaySynced()) {
        set(89, parameter(shownParameter(89)));  // no range in note mode
    } else {
        automate(shownParameter(89), v);
        set(90, shownValue(90, parameter(shownParameter(90))));
    }
    followLink();
}

void Panel::delayTimeArea(CControl*, float v) {
    if (delaySynced())
        set(90, shownValue(90, parameter(shownParameter(90))));
    else
        automate(shownParameter(90), std::floor(v * v * 1000.f) / 1000.f);
    followLink();
}

void Panel::upperSide(CControl*, float) {
    set(91, 0.f);
    if (rightShown_) showSide(false);
}

void Panel::lowerSide(CControl*, float) {
    set(92, 0.f);
    if (!rightShown_) showSide(true);
}
