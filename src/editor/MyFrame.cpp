#include "MyFrame.h"

using namespace VSTGUI;

void MyFrame::setKeepFocus(bool on) {
    keepFocus = on;
    if (on) takeKeyboardFocus();
}

CMouseEventResult MyFrame::platformOnMouseDown(CPoint& where, const CButtonState& buttons) {
    if (keepFocus) takeKeyboardFocus();
    return CFrame::platformOnMouseDown(where, buttons);
}
