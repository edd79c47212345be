// Turns raw pointer events (X-style button numbers, modifier masks and server times) into
// the toolkit's button states, the way the Windows toolkit reports them: a press carries
// every button held after it, a release the buttons still held after it, a move the held
// buttons; buttons 4/5 (6/7) are wheel notches. A second press of the same button within
// 500 ms and 4 pixels is a double click; after one the detector starts over.
#pragma once

#include <cstdint>

#include "vstguibase.h"

namespace VSTGUI {

// X11 modifier and button masks (the `state` field of X input events).
enum XStateMask : uint32_t {
    kXShiftMask = 1 << 0,
    kXLockMask = 1 << 1,
    kXControlMask = 1 << 2,
    kXMod1Mask = 1 << 3,  // Alt
    kXMod4Mask = 1 << 6,  // Super
    kXButton1Mask = 1 << 8,
    kXButton2Mask = 1 << 9,
    kXButton3Mask = 1 << 10,
};

class DoubleClickDetector {
public:
    static constexpr uint32_t kTimeMs = 500;
    static constexpr CCoord kDistance = 4;
    // Registers a press and answers whether it completes a double click.
    bool press(int button, const CPoint& where, uint32_t time);
    void reset() { armed = false; }

private:
    bool armed = false;
    int lastButton = 0;
    CPoint lastWhere;
    uint32_t lastTime = 0;
};

namespace input {
int32_t modifiers(uint32_t xstate);
// Buttons held according to an X state mask.
int32_t heldButtons(uint32_t xstate);
int32_t buttonBit(int button);
// The X state mask of button 1 to 3 (0 for any other).
uint32_t xButtonMask(int button);
// 0 for an ordinary button, else the wheel direction (+1 up/left, -1 down/right).
int wheelDirection(int button, bool& horizontal);
}  // namespace input

}  // namespace VSTGUI
