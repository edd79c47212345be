// Where every control of the panel sits, shared by the editor and the artwork generator
// (which paints the panel under each control into the unused parts of its frames).
// Rectangles are left, top, right, bottom in frame pixels.
#pragma once

#include <cstdint>

namespace layout {

enum class Kind {
    // The panel.
    Knob, OnOff, Switch, Digit, Kick, SwitchVert, Slider, Meter, About,
    // The preset strip: load/save buttons, kick buttons (plain, or taking only double
    // clicks), on/off buttons, the rocker, the name field, the program menu and the
    // controller display.
    SaveLoad, StripKick, DoubleClickKick, StripOnOff, Rocker, NameField, ProgramMenu, ControllerDisplay,
};

// A control whose reset gesture (Ctrl-click) keeps the toolkit's own default.
inline constexpr float kToolkitDefault = -1.f;

struct Control {
    int tag;
    Kind kind;
    int bitmap;  // 0: none
    double left, top, right, bottom;
    float defaultValue = kToolkitDefault;
};

// The panel's controls in the order they are created (later ones lie on top).
inline constexpr Control kPanel[] = {
    {83, Kind::Knob, 130, 161, 30, 196, 65, 0.5f},
    {84, Kind::Knob, 130, 208, 30, 243, 65, 0.f},
    {85, Kind::Knob, 130, 161, 93, 196, 128, 0.5f},
    {86, Kind::Knob, 130, 208, 93, 243, 128, 0.f},
    {0, Kind::Knob, 134, 383, 29, 418, 64, 0.5f},
    {2, Kind::Knob, 134, 430, 29, 465, 64, 0.5f},
    {1, Kind::Knob, 133, 476, 29, 511, 64, 0.5f},
    {52, Kind::Knob, 133, 523, 29, 558, 64, 0.5f},
    {11, Kind::Knob, 135, 383, 94, 418, 129, 0.5f},
    {12, Kind::Knob, 135, 430, 94, 465, 129, 0.5f},
    {47, Kind::Knob, 136, 476, 94, 511, 129, 0.5f},
    {22, Kind::Knob, 136, 523, 94, 558, 129, 0.5f},
    {17, Kind::Knob, 138, 578, 29, 613, 64, 0.5f},
    {18, Kind::Knob, 139, 578, 94, 613, 129, 0.5f},
    {15, Kind::Knob, 131, 678, 29, 713, 64, 1.f},
    {16, Kind::Knob, 131, 726, 29, 761, 64, 0.f},
    {21, Kind::Knob, 131, 773, 29, 808, 64, 0.f},
    {13, Kind::Knob, 132, 678, 94, 713, 129, 0.5f},
    {53, Kind::Knob, 132, 726, 94, 761, 129, 0.5f},
    {39, Kind::Knob, 137, 830, 29, 865, 64, 0.5f},
    {40, Kind::Knob, 137, 877, 29, 912, 64, 0.5f},
    {41, Kind::OnOff, 151, 340, 53, 364, 73},
    {62, Kind::OnOff, 150, 61, 70, 85, 90, 1.f},
    {93, Kind::OnOff, 150, 256, 39, 280, 59, 0.f},
    {96, Kind::OnOff, 151, 256, 69, 280, 89, 0.f},
    {94, Kind::OnOff, 150, 256, 102, 280, 122, 0.f},
    {45, Kind::OnOff, 150, 637, 102, 661, 122, 0.f},
    {42, Kind::OnOff, 150, 784, 102, 808, 122, 0.f},
    {46, Kind::OnOff, 150, 887, 102, 911, 122, 0.f},
    {88, Kind::Switch, 142, 109, 90, 128, 99, 0.f},
    {89, Kind::Switch, 143, 104, 57, 130, 66, 1.f},
    {32, Kind::Switch, 143, 310, 91, 336, 100, 0.f},
    {23, Kind::Switch, 143, 634, 27, 660, 36, 0.f},
    {14, Kind::Switch, 143, 634, 57, 660, 66, 0.f},
    {37, Kind::Switch, 142, 841, 91, 867, 100, 0.f},
    {38, Kind::Switch, 142, 841, 122, 867, 131, 0.f},
    {64, Kind::Digit, 145, 297, 26, 310, 42},
    {65, Kind::Digit, 144, 313, 26, 326, 42},
    {66, Kind::Digit, 144, 329, 26, 342, 42},
    {67, Kind::Digit, 144, 346, 26, 359, 42},
    {68, Kind::Digit, 147, 310, 40, 313, 42},
    {69, Kind::Digit, 147, 326, 40, 329, 42},
    {70, Kind::Digit, 147, 342, 40, 345, 42},
    {71, Kind::Digit, 146, 310, 30, 313, 38},
    {72, Kind::Digit, 146, 326, 30, 329, 38},
    {73, Kind::Digit, 146, 343, 30, 346, 38},
    {74, Kind::Kick, 140, 90, 24, 109, 43},
    {75, Kind::Kick, 140, 126, 24, 145, 43},
    {76, Kind::Kick, 141, 90, 113, 109, 132},
    {77, Kind::Kick, 140, 126, 113, 145, 132},
    {78, Kind::Kick, 141, 296, 113, 315, 132},
    {79, Kind::Kick, 140, 332, 113, 351, 132},
    {91, Kind::OnOff, 148, 63, 15, 75, 61},
    {92, Kind::OnOff, 149, 63, 93, 75, 139},
    {9, Kind::SwitchVert, 152, 359, 83, 375, 139},
    {90, Kind::Slider, 0, 112, 115, 125, 132},
    {10, Kind::Slider, 0, 317, 115, 330, 132},
    {61, Kind::Slider, 0, 293, 22, 365, 48},
    {80, Kind::Meter, 153, 43, 23, 50, 68},
    {81, Kind::Meter, 153, 43, 87, 50, 132},
    {82, Kind::About, 129, 2, 2, 21, 153},
    {82, Kind::About, 129, 921, 2, 940, 153},
};

// The preset strip along the bottom edge. The name field, the menu and the controller
// display draw the part of the panel (128) that lies under them.
inline constexpr Control kStrip[] = {
    {101, Kind::SaveLoad, 991, 36, 156, 53, 171},
    {111, Kind::DoubleClickKick, 992, 53, 156, 85, 169},
    {100, Kind::SaveLoad, 990, 87, 156, 104, 171},
    {103, Kind::SaveLoad, 991, 116, 156, 133, 171},
    {112, Kind::DoubleClickKick, 993, 134, 156, 178, 169},
    {102, Kind::SaveLoad, 990, 179, 156, 196, 171},
    {98, Kind::NameField, 128, 210, 156.5, 322, 169.5},
    {110, Kind::ProgramMenu, 128, 322, 157, 335, 169},
    {99, Kind::Rocker, 995, 342, 156, 372, 169},
    {113, Kind::StripKick, 991, 390, 156, 407, 171},
    {115, Kind::StripKick, 990, 423, 156, 440, 171},
    {114, Kind::StripKick, 991, 454, 156, 471, 171},
    {116, Kind::StripKick, 990, 488, 156, 505, 171},
    {107, Kind::SaveLoad, 991, 653, 156, 670, 171},
    {108, Kind::DoubleClickKick, 994, 671, 156, 699, 169},
    {106, Kind::SaveLoad, 990, 701, 156, 718, 171},
    {104, Kind::ControllerDisplay, 128, 733, 157, 823, 169},
    {105, Kind::StripOnOff, 998, 831, 155, 855, 171},
    {109, Kind::StripOnOff, 999, 856, 155, 880, 171},
    {117, Kind::StripOnOff, 988, 899, 159, 910, 166},
    {118, Kind::StripKick, 989, 920, 158, 931, 167},
};

// Knobs draw into their rectangle inset by one pixel at the left and top, and at the right
// and bottom by one pixel for strips of 37-pixel frames, two for 36-pixel frames.
inline constexpr double kKnobInsetLeftTop = 1;
constexpr double knobInsetRightBottom(int frameHeight) { return frameHeight == 37 ? 1 : 2; }
// Every knob turns by 1/32 of its range per wheel notch.
inline constexpr float kKnobWheelIncrement = 1.f / 32.f;

// The channel controls shared by the two delay sides: the tag, the parameter it edits
// while the left side is shown and while the right one is, and whether the two sides are
// mirrored when linked (the pans: the other side takes 1 - value).
struct SharedControl {
    int tag;
    int left, right;
    bool mirrored;
};
inline constexpr SharedControl kSharedControls[] = {
    {83, 5, 6, true},     // FbPan
    {84, 3, 4, false},    // FbGain
    {85, 48, 49, true},   // DlyPan
    {86, 50, 51, false},  // DlyGate
    {88, 24, 25, false},  // DlyMode
    {89, 30, 31, false},  // Range
    {90, 35, 36, false},  // DlyTime (a drag area showing the square root)
    {93, 7, 8, false},    // FbInv
    {94, 19, 20, false},  // DlyInv
    {96, 58, 59, false},  // MuteIn
};

// Where the digit display looks, and how fast it and the meters move.
struct Area {
    double left, top, right, bottom;  // inclusive on every edge
    constexpr bool contains(double x, double y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};
inline constexpr Area kLfoArea{283, 75, 375, 140};     // hovering shows the LFO rate or note
inline constexpr Area kDelayArea{86, 50, 149, 134};    // the shown side's delay time or note
inline constexpr Area kPreDelayArea{86, 20, 149, 47};  // the shown side's pre-delay note
inline constexpr uint32_t kBlinkPeriodMs = 251;        // on and off time of a limited note value
inline constexpr float kMeterFloor = 0.0630957344f;    // 10^-1.2: -24 dB, the bottom of the meter
inline constexpr float kMeterFallMs = 500.0f;          // a full meter falls to the bottom in this time

// Sizes and frame layouts of the bitmaps (frames stacked vertically).
struct Bitmap {
    int id;
    int width, height;
    int frames;
    bool alpha;
};

inline constexpr Bitmap kBitmaps[] = {
    {128, 942, 171, 1, false}, {129, 942, 171, 1, false}, {130, 36, 3737, 101, false}, {131, 36, 3636, 101, false},
    {132, 36, 3636, 101, false}, {133, 37, 3737, 101, false}, {134, 36, 3737, 101, false},
    {135, 36, 3737, 101, false}, {136, 37, 3737, 101, false}, {137, 37, 3636, 101, false},
    {138, 36, 3636, 101, false}, {139, 36, 3636, 101, false}, {140, 19, 38, 2, false}, {141, 19, 38, 2, false},
    {142, 19, 18, 2, false}, {143, 26, 27, 3, false}, {144, 13, 176, 11, false}, {145, 13, 208, 13, false},
    {146, 3, 16, 2, false}, {147, 3, 4, 2, false}, {148, 12, 92, 2, false}, {149, 12, 92, 2, false},
    {150, 24, 40, 2, false}, {151, 24, 40, 2, false}, {152, 16, 280, 5, true}, {153, 7, 945, 21, false},
    {988, 11, 21, 3, false}, {989, 11, 27, 3, false}, {990, 17, 45, 3, false}, {991, 17, 45, 3, false},
    {992, 32, 39, 3, false}, {993, 44, 39, 3, false}, {994, 28, 39, 3, false}, {995, 30, 65, 5, false},
    {998, 24, 48, 3, false}, {999, 24, 48, 3, false},
};

}  // namespace layout
