// A small message shown inside the frame as its modal view: caption, text and an OK
// button. A left click on OK, or Return, closes it.
#pragma once

#include <functional>
#include <string>

#include "cview.h"

namespace VSTGUI {

class CFrame;

class CMessageBox : public CView {
public:
    // Shows the box centred in the frame; false when another modal view is shown. Where the
    // window system has a message box of its own (Windows), a message without `onClose`
    // shows in that instead, owned by the frame's window, as users there expect.
    static bool show(CFrame* frame, const char* caption, const char* text, std::function<void()> onClose = {});

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    int32_t onKeyDown(VstKeyCode& key) override;
    CRect getOkRect() const;
    const std::string& getCaption() const { return caption; }
    const std::string& getText() const { return text; }
    bool isTypeOf(const char* name) const override;

private:
    CMessageBox(const CRect& size, const char* caption, const char* text, std::function<void()> onClose);
    void dismiss();

    std::string caption;
    std::string text;
    std::function<void()> onClose;
};

}  // namespace VSTGUI
