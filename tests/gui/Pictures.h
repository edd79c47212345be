// Pictures of the editor against golden ones made on Linux (cairo). The artwork is the
// same bytes on every platform and every renderer composites it as cairo does, so outside
// the boxes where live text is drawn a picture must match its golden exactly. The text is
// drawn by each platform's own font engine (cairo with FreeType, GDI+), so a renderer
// other than the goldens' own gets a tolerance inside those boxes (textTolerance below).
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "core/graphics.h"

namespace guitest {

using VSTGUI::CRect;
using VSTGUI::PixelRows;
using VSTGUI::PlatformImagePtr;

struct TextBox {
    std::string name;
    CRect rect;  // whole pixels
};

// The live text of the panel: the program's name and the controller display, in the
// pixels of a picture drawn at `scale` (the editor's zoom; outwards to whole pixels).
std::vector<TextBox> panelTextBoxes(double scale = 1);
std::vector<TextBox> scaledBoxes(std::vector<TextBox> boxes, double scale);

// Inside a text box, glyphs of two font engines differ in their anti-aliasing and may sit
// a pixel apart. A pixel of either picture is matched when the other has a pixel within
// kReach pixels (across and up or down) whose channels are all within kChannel of it; a box
// is within tolerance when at most kUnmatched of its pixels (and never fewer than
// kUnmatchedFloor), counted both ways, are not. Under wine (Liberation Sans for Arial) the
// names and the version leave at most 1 unmatched and the open menu 36 of its 76752 pixels;
// a name two pixels off, another name or another colour leaves dozens in its field.
struct TextTolerance {
    static constexpr int kReach = 1;
    static constexpr int kChannel = 64;
    static constexpr double kUnmatched = 0.001;
    static constexpr int kUnmatchedFloor = 3;
};

struct BoxDifference {
    std::string name;
    CRect rect;
    int pixels = 0;
    int differing = 0;  // pixels not exactly equal
    int unmatched = 0;  // pixels of either picture without a match in the other (see above)
    int allowed() const {
        return std::max(TextTolerance::kUnmatchedFloor, static_cast<int>(TextTolerance::kUnmatched * pixels));
    }
    bool withinTolerance() const { return unmatched <= allowed(); }
};

struct PictureDifference {
    bool sameSize = true;
    int outside = 0;  // pixels outside every box with a channel off by more than the rounding allowed
    std::vector<BoxDifference> boxes;
    bool passes() const;
    std::string describe() const;
};

// `rounding`: how far a channel may be off outside the boxes.
PictureDifference compare(const PixelRows& picture, const PixelRows& golden, const std::vector<TextBox>& boxes,
                          int rounding);

PlatformImagePtr readPng(const std::string& path);
// The golden dimmed, every differing pixel in red (brighter: further off), the boxes outlined.
bool writeDifference(const PixelRows& picture, const PixelRows& golden, const std::vector<TextBox>& boxes,
                     const std::string& path);

}  // namespace guitest
