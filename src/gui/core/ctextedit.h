// Text editing inside the frame, as text fields behave on the desktop. The first click
// into a field that is not being edited selects its whole text, so that typing replaces
// it. While editing: a click places the caret, a drag selects, a double click selects a
// word, Shift with Left/Right/Home/End extends the selection, Ctrl+A selects all; typing,
// Backspace and Delete replace the selection; Ctrl+C, Ctrl+X and Ctrl+V copy, cut and
// paste through the desktop's clipboard (also Ctrl+Insert, Shift+Delete, Shift+Insert),
// and a middle click pastes the text last selected anywhere (X11's primary selection),
// which a selection here in turn becomes. Keys with Ctrl or Alt are shortcuts or nothing,
// never text.
//
// Return or a click elsewhere commits, Escape reverts; a Return that follows a paste still
// on its way (X11 asks the clipboard's owner) waits for it. A commit whose text changed runs
// beginEdit, setText, notify, endEdit. While editing, the field borrows the keyboard focus
// for the frame's window (typing needs it, whatever the keep-focus option says) and gives
// it back when editing ends.
//
// The text is UTF-8 of at most `maxLength` bytes, cut at character boundaries; a paste
// loses its line breaks and control characters.
#pragma once

#include <string>

#include "controls.h"
#include "platform.h"

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
    // Byte positions in the edited text; the selection runs between the anchor and the
    // caret, either way round.
    size_t getCaret() const { return caret; }
    size_t getSelectionStart() const { return caret < anchor ? caret : anchor; }
    size_t getSelectionEnd() const { return caret < anchor ? anchor : caret; }
    std::string getSelectedText() const;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    int32_t onKeyDown(VstKeyCode& key) override;
    void takeFocus() override;
    // With kDoubleClickStyle a single click must not start editing.
    bool wantsFocus() const override { return !(style & kDoubleClickStyle) && CView::wantsFocus(); }
    void looseFocus() override;
    // Taken out of the frame while editing: the edit ends unsaved and the focus goes back.
    bool removed(CFrame* parent) override;
    bool isTypeOf(const char* name) const override;

protected:
    void commit();
    void stopEditing();
    int32_t onShortcut(const VstKeyCode& key);
    // The caret to `to`; with `extend` the anchor stays, so the selection grows or shrinks.
    void moveCaret(size_t to, bool extend);
    void select(size_t from, size_t to);
    // Replaces the selection with `insert`, as much of it as fits; false if none of it fits.
    bool replaceSelection(const std::string& insert);
    void paste(ClipboardKind kind);
    void pasted(const std::string& text, uint32_t edit);
    void commitFromKey();
    void copySelection();
    // Where the text starts on screen, and the caret position nearest to `x`.
    CCoord textOrigin(CDrawContext& context, const std::string& shown);
    size_t caretFromX(CCoord x);
    // The word (a run of letters, of spaces or of punctuation) around byte position `at`.
    void wordAround(size_t at, size_t& start, size_t& end) const;

    std::string text;
    std::string editText;
    std::string editStart;  // the text that editing started from
    size_t caret = 0;
    size_t anchor = 0;
    int32_t maxLength = 255;
    bool editing = false;
    bool reverting = false;
    bool dragging = false;
    bool focusFromThisPress = false;  // editing began in the press being handled
    uint32_t editSerial = 0;          // which edit a paste belongs to
    int32_t pastesPending = 0;
    bool commitAfterPaste = false;
};

}  // namespace VSTGUI
