#include "MyFrame.h"

using namespace VSTGUI;

void MyFrame::setKeepFocus(bool on, bool takeNow) {
    keepFocus = on;
    if (on && takeNow) takeKeyboardFocus();
}

CMouseEventResult MyFrame::platformOnMouseDown(CPoint& where, const CButtonState& buttons) {
    if (keepFocus) takeKeyboardFocus();
    const bool rightOnly = (buttons & kRButton) && !(buttons & (kLButton | kMButton));
    if (owner && rightOnly && !getModalView() && !getViewAt(where)) {
        // As any press outside it would, the press ends a text being edited first.
        if (CView* focus = getFocusView(); focus && focus->isTypeOf("CTextEdit")) setFocusView(nullptr);
        owner->backgroundMenu(where);
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    return CFrame::platformOnMouseDown(where, buttons);
}

void MyFrame::platformOnSystemScaleChanged(double scale) {
    if (owner) owner->systemScaleChanged(scale);
}
