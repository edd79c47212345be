#include "input.h"

#include <cmath>

namespace VSTGUI {

bool DoubleClickDetector::press(int button, const CPoint& where, uint32_t time) {
    bool isDouble = armed && button == lastButton && static_cast<uint32_t>(time - lastTime) <= kTimeMs &&
                    std::fabs(where.x - lastWhere.x) <= kDistance && std::fabs(where.y - lastWhere.y) <= kDistance;
    if (isDouble) {
        armed = false;  // a third press is a single click again
        return true;
    }
    armed = true;
    lastButton = button;
    lastWhere = where;
    lastTime = time;
    return false;
}

namespace input {

int32_t modifiers(uint32_t xstate) {
    int32_t m = 0;
    if (xstate & kXShiftMask) m |= kShift;
    if (xstate & kXControlMask) m |= kControl;
    if (xstate & kXMod1Mask) m |= kAlt;
    return m;
}

int32_t heldButtons(uint32_t xstate) {
    int32_t b = 0;
    if (xstate & kXButton1Mask) b |= kLButton;
    if (xstate & kXButton2Mask) b |= kMButton;
    if (xstate & kXButton3Mask) b |= kRButton;
    return b;
}

int32_t buttonBit(int button) {
    switch (button) {
        case 1: return kLButton;
        case 2: return kMButton;
        case 3: return kRButton;
        default: return 0;
    }
}

uint32_t xButtonMask(int button) {
    switch (button) {
        case 1: return kXButton1Mask;
        case 2: return kXButton2Mask;
        case 3: return kXButton3Mask;
        default: return 0;
    }
}

int wheelDirection(int button, bool& horizontal) {
    horizontal = button == 6 || button == 7;
    switch (button) {
        case 4:
        case 6: return 1;
        case 5:
        case 7: return -1;
        default: return 0;
    }
}

}  // namespace input
}  // namespace VSTGUI
