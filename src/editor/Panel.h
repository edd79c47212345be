// The panel: every control of the editor window above the preset strip, what a user's
// edit of each does to the effect's parameters, and how the controls follow the
// parameters when something else changes them.
//
// One set of channel controls (feedback pan and gain, delay pan and gate, the inversion
// and mute buttons, delay mode, range and time) edits either the left or the right delay
// side; the side buttons choose which, and with the link on an edit of the shown side is
// mirrored onto the other side. What each editor tag does is the table `kActions`; plain
// parameter controls (tags 0..59) are automated as they are.
//
// Everything here runs on the editor's thread. The editor owns one panel for its life; the
// controls exist only while the window is open, and the side shown, the link and the
// control being edited survive closing and opening it.
#pragma once

#include <cstdint>
#include <vector>

#include "../gui/core/cframe.h"
#include "../params/DisplayValue.h"
#include "ValueDisplay.h"
#include "layout.h"

class AudioEffectX;
class PanelEffect;
class QELOnOffButton;

// The edit brackets, automation and link state the panel works through (the editor).
class PanelHost {
public:
    virtual ~PanelHost() = default;
    virtual void beginEdit(int32_t index) = 0;
    virtual void endEdit(int32_t index) = 0;
    virtual bool isLinked() const = 0;
    virtual void setLinked(bool linked) = 0;
};

class Panel {
public:
    Panel(PanelHost& host, AudioEffectX& effect, PanelEffect* queries);

    // Builds the panel's controls into `frame` in layout order, with their values now.
    void open(VSTGUI::CFrame* frame, VSTGUI::CControlListener* listener);
    void close();
    bool isOpen() const { return frame_ != nullptr; }

    // The listener's calls for the panel's controls.
    void valueChanged(VSTGUI::CControl* control);
    void controlBeginEdit(VSTGUI::CControl* control);
    void controlEndEdit(VSTGUI::CControl* control);

    // Following the effect (at idle): a parameter, the link, the tempo.
    void applyParameter(int index, float value);
    void applyLink(bool linked);
    void applyTempo(double bpm);
    // The digit display (what is edited, else what the mouse is on, else the tempo) and
    // the two input meters, at `nowMs` of the editor's clock.
    void showValues(uint32_t nowMs);

    bool rightSideShown() const { return rightShown_; }
    // The tag of the control being dragged, -1 when none.
    int editedTag() const { return editedTag_; }

    VSTGUI::CControl* control(int tag) const;
    // The frame's own control at a point of the window: null over an open menu, message
    // or about screen, and where no control lies.
    static VSTGUI::CControl* controlAt(VSTGUI::CFrame* frame, const VSTGUI::CPoint& where);
    // The parameter a side-shared tag edits on the shown side (or the other side), -1 for
    // any other tag.
    int shownParameter(int tag) const;
    int otherParameter(int tag) const;

private:
    using Action = void (Panel::*)(VSTGUI::CControl* control, float value);
    struct TagAction {
        int tag;
        Action run;
    };
    static const TagAction kActions[];

    // The actions, by tag.
    void lfoRateArea(VSTGUI::CControl*, float v);
    void tempoArea(VSTGUI::CControl*, float v);
    void link(VSTGUI::CControl* button, float v);
    void preDelayStep(VSTGUI::CControl* button, float);
    void delayStep(VSTGUI::CControl* button, float);
    void lfoStep(VSTGUI::CControl* button, float);
    void sharedValue(VSTGUI::CControl* control, float v);
    void delayMode(VSTGUI::CControl*, float v);
    void range(VSTGUI::CControl*, float v);
    void delayTimeArea(VSTGUI::CControl*, float v);
    void upperSide(VSTGUI::CControl*, float);
    void lowerSide(VSTGUI::CControl*, float);

    float parameter(int index) const;
    // setParameterAutomated inside an edit bracket of its own.
    void edit(int index, float value);
    void automate(int index, float value);
    // Steps an n-position note parameter one position (down with a modifier), wrapping.
    float stepped(int index, int positions, float step) const;
    bool delaySynced() const;
    bool lfoSynced() const;
    void followLink();
    void showSide(bool right);
    void set(int tag, float value);
    // The value a control shows for parameter value v (the drag areas show square roots).
    static float shownValue(int tag, float v);

    PanelHost& host_;
    AudioEffectX& effect_;
    PanelEffect* queries_;

    VSTGUI::CFrame* frame_ = nullptr;
    std::vector<std::pair<int, VSTGUI::CControl*>> controls_;
    bool rightShown_ = false;
    int editedTag_ = -1;
    // The parameters whose brackets a press of a side-shared control opened, by tag, so
    // that exactly those close at its release.
    struct OpenBrackets {
        int tag;
        int shown;
        int other;  // -1: the link was off at the press
    };
    std::vector<OpenBrackets> open_;

    // The digit display's record (an item leaves the fields it does not use as they
    // were), its blink phase, and the meters' clock.
    params::DisplayValue shownValue_;
    valuedisplay::Blink blink_;
    uint32_t lastIdleMs_ = 0;
    bool idledBefore_ = false;
};
