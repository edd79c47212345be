#include "MyFrame.h"

using namespace VSTGUI;

void MyFrame::setKeepFocus(bool on, bool takeNow) {
    keepFocus = on;
    if (on && takeNow) takeKeyboardFocus();
}

CMouseEventResult MyFrame::platformOnMouseDown(CPoint& where, const CButtonState& buttons) {
    if (keepFocus) takeKeyboardFocus();
    return CFrame::platformOnMouseDown(where, buttons);
}
