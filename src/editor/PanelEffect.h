// What the panel asks of the effect beyond its parameters: the tempo control, keeping the
// two delay sides together, and the readings behind the digit display and the meters.
// The effect implements it; the editor finds it on the effect it was made for.
#pragma once

namespace params {
struct DisplayValue;
}

class PanelEffect {
public:
    virtual ~PanelEffect() = default;
    // The tempo control's position (0..1 for 30..400 BPM), and whether the host's own
    // tempo is in force (then the control only shows it).
    virtual double getTempoPosition() const = 0;
    virtual void setTempoPosition(double position) = 0;
    virtual bool hostTimeFlag() const = 0;
    // Copies the shown side's delay mode, note, range and time to the other side where
    // they differ, each as an automated edit.
    virtual void linkFollow(bool fromRight) = 0;
    // True while the note value that `selector` names is being limited.
    virtual bool limitQuery(int selector) const = 0;
    // The input peaks since the last call.
    virtual void peakQuery(float& left, float& right) = 0;
    // What the digit display shows for a parameter index or the tempo item; fields the
    // item does not set keep what `out` held.
    virtual void getDisplayValue(int item, params::DisplayValue& out) const = 0;
};
