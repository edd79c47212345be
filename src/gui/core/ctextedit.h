// Text editing inside the frame: a left click starts editing (caret, insert, Backspace,
// Delete, Left/Right/Home/End); Return or a click elsewhere commits, Escape reverts. A
// commit whose text changed runs beginEdit, setText, notify, endEdit. Editing takes the
// keyboard focus for the frame's window, since typing needs it.
#pragma once

#include <string>

#include "controls.h"

namespace VSTGUI {

class CTextEdit : public CParamDisplay {
public:
    CTextEdit(const CRect& size, CControlListener* listener, int32_t tag, const char* text = nullptr,
              CBitmap* background = nullptr, int32_t style = 0);

    // Cut to the maximum length (in bytes) at a character boundary.
    virtual void setText(const char* text);
    const char* getText() const { return text.c_str(); }
    // In bytes of UTF-8.
    void setMaxLength(int32_t n) { maxLength = n > 0 ? n : 1; }
    int32_t getMaxLength() const { return maxLength; }

    bool isEditing() const { return editing; }
    // Ends an edit without taking its text (as Escape does).
    void cancelEdit();
    const std::string& getEditText() const { return editText; }
    size_t getCaret() const { return caret; }

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    int32_t onKeyDown(VstKeyCode& key) override;
    void takeFocus() override;
    // With kDoubleClickStyle a single click must not start editing.
    bool wantsFocus() const override { return !(style & kDoubleClickStyle) && CView::wantsFocus(); }
    void looseFocus() override;
    bool isTypeOf(const char* name) const override;

protected:
    void commit();
    size_t caretFromX(CCoord x);

    std::string text;
    std::string editText;
    std::string editStart;  // the text that editing started from
    size_t caret = 0;
    int32_t maxLength = 255;
    bool editing = false;
    bool reverting = false;
};

}  // namespace VSTGUI
