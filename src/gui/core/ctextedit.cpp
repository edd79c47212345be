#include "ctextedit.h"

#include <cstring>
#include <memory>

#include "cframe.h"
#include "keys.h"
#include "utf8.h"

namespace VSTGUI {

CTextEdit::CTextEdit(const CRect& size, CControlListener* listener, int32_t tag, const char* txt, CBitmap* bg,
                     int32_t style)
    : CParamDisplay(size, bg, style) {
    this->listener = listener;
    this->tag = tag;
    setWantsFocus(true);
    setText(txt);
}

void CTextEdit::setText(const char* txt) {
    text = utf8::fitted(txt ? txt : "", static_cast<size_t>(maxLength));
    setDirty();
}

std::string CTextEdit::getSelectedText() const {
    return editText.substr(getSelectionStart(), getSelectionEnd() - getSelectionStart());
}

// ---------------------------------------------------------------- drawing and measuring

CCoord CTextEdit::textOrigin(CDrawContext& context, const std::string& shown) {
    // Where drawString puts the text (see CParamDisplay::drawText), rounded as it rounds.
    context.setFont(font);
    const CCoord width = context.getStringWidth(shown.c_str());
    if (horiAlign == kLeftText) return std::round(size.left + 2);
    if (horiAlign == kRightText) return std::round(size.right - 2 - width);
    return std::round(size.left + (size.width() - width) / 2);
}

void CTextEdit::draw(CDrawContext* context) {
    if (!(style & kNoDrawStyle)) {
        drawBack(context);
        const std::string& shown = editing ? editText : text;
        drawText(context, shown.c_str());
        if (editing) {
            const CCoord origin = textOrigin(*context, shown);
            auto xAt = [&](size_t at) { return origin + context->getStringWidth(shown.substr(0, at).c_str()); };
            const CRect band(size.left, size.top + 2, size.right, size.bottom - 2);
            if (getSelectionStart() != getSelectionEnd()) {
                // The selection in the field's colours swapped: a band of the text colour
                // with the text over it in the back colour.
                CRect selected(std::floor(xAt(getSelectionStart())), band.top, std::ceil(xAt(getSelectionEnd())),
                               band.bottom);
                selected.bound(band);
                context->setFillColor(fontColor);
                context->fillRect(selected);
                context->pushClip(selected);
                const CColor textColour = fontColor;
                fontColor = backColor;
                drawText(context, shown.c_str());
                fontColor = textColour;
                context->popClip();
            } else {
                // Caret: a one-pixel bar after the caret's character.
                const CCoord x = std::floor(xAt(caret));
                context->setFillColor(fontColor);
                context->fillRect(CRect(x, band.top, x + 1, band.bottom));
            }
        }
    }
    setDirty(false);
}

size_t CTextEdit::caretFromX(CCoord x) {
    // Measured as drawn: the caret goes to the nearest character boundary.
    size_t best = editText.size();
    CDrawContext context;
    const CCoord start = textOrigin(context, editText);
    CCoord bestDistance = 1e9;
    for (size_t i = 0;; i = utf8::next(editText, i)) {
        const CCoord edge = start + context.getStringWidth(editText.substr(0, i).c_str());
        const CCoord d = std::fabs(edge - x);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
        if (i >= editText.size()) break;
    }
    return best;
}

void CTextEdit::wordAround(size_t at, size_t& start, size_t& end) const {
    auto kind = [this](size_t i) {
        const unsigned char c = static_cast<unsigned char>(editText[i]);
        if (c == ' ') return 0;
        if (c >= 0x80 || c == '_' || (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z')) return 1;
        return 2;
    };
    start = end = at;
    if (editText.empty()) return;
    if (at >= editText.size()) at = utf8::previous(editText, editText.size());
    const int k = kind(at);
    start = at;
    while (start > 0) {
        const size_t before = utf8::previous(editText, start);
        if (kind(before) != k) break;
        start = before;
    }
    end = at;
    while (end < editText.size() && kind(end) == k) end = utf8::next(editText, end);
}

// ---------------------------------------------------------------- mouse

CMouseEventResult CTextEdit::onMouseDown(CPoint& where, const CButtonState& buttons) {
    const bool fresh = focusFromThisPress;
    focusFromThisPress = false;
    const bool middle = (buttons & kMButton) != 0;
    if (!buttons.isLeftButton() && !middle) return kMouseEventNotHandled;
    if ((style & kDoubleClickStyle) && !buttons.isDoubleClick() && !editing) return kMouseEventNotHandled;
    bool started = fresh;
    if (!editing) {
        if (parentFrame && parentFrame->getFocusView() != this)
            parentFrame->setFocusView(this);  // starts editing through takeFocus
        else
            takeFocus();
        focusFromThisPress = false;
        if (!editing) return kMouseEventNotHandled;
        started = true;
    }
    if (started && !middle) {
        // Editing began with this press (the frame usually gives the focus before the press
        // arrives here): the whole text stays selected, so that typing replaces it.
        invalid();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    const size_t at = caretFromX(where.x);
    if (middle) {
        // X11's middle click: the text last selected anywhere, at the pointer.
        select(at, at);
        paste(ClipboardKind::Selection);
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    if (buttons.isDoubleClick()) {
        size_t start, end;
        wordAround(at, start, end);
        select(start, end);
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    moveCaret(at, (buttons & kShift) != 0);
    dragging = true;
    return kMouseEventHandled;
}

CMouseEventResult CTextEdit::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!dragging || !editing || !buttons.isLeftButton()) return kMouseEventNotHandled;
    const size_t at = caretFromX(where.x);
    if (at != caret) moveCaret(at, true);
    return kMouseEventHandled;
}

CMouseEventResult CTextEdit::onMouseUp(CPoint&, const CButtonState&) {
    if (!dragging) return kMouseEventNotHandled;
    dragging = false;
    if (editing && getSelectionStart() != getSelectionEnd()) select(anchor, caret);
    return kMouseEventHandled;
}

// ---------------------------------------------------------------- editing

void CTextEdit::takeFocus() {
    if (editing) return;
    editing = true;
    // Editing starts from the text as it is shown, so that what is typed joins valid UTF-8.
    editText = utf8::fitted(utf8::valid(text), static_cast<size_t>(maxLength));
    editStart = editText;
    // All of it selected, as a field entered from elsewhere is; not offered as the primary
    // selection, which the user did not choose (and which a middle click is about to paste).
    anchor = 0;
    caret = editText.size();
    focusFromThisPress = true;
    ++editSerial;
    pastesPending = 0;
    commitAfterPaste = false;
    if (parentFrame) parentFrame->borrowKeyboardFocus();
    setDirty();
}

void CTextEdit::stopEditing() {
    if (!editing) return;
    editing = false;
    dragging = false;
    commitAfterPaste = false;
    if (parentFrame) parentFrame->returnKeyboardFocus();
    setDirty();
}

void CTextEdit::looseFocus() {
    if (!editing) return;
    if (reverting)
        stopEditing();
    else
        commit();
}

bool CTextEdit::removed(CFrame* parent) {
    stopEditing();
    return CParamDisplay::removed(parent);
}

void CTextEdit::cancelEdit() {
    if (!editing) return;
    reverting = true;
    if (parentFrame && parentFrame->getFocusView() == this)
        parentFrame->setFocusView(nullptr);
    else
        stopEditing();
    reverting = false;
}

void CTextEdit::commit() {
    stopEditing();
    if (editText == editStart) return;
    beginEdit();
    setText(editText.c_str());
    valueChanged();
    endEdit();
}

void CTextEdit::moveCaret(size_t to, bool extend) {
    caret = to > editText.size() ? editText.size() : to;
    if (!extend) anchor = caret;
    setDirty();
}

void CTextEdit::select(size_t from, size_t to) {
    anchor = from;
    moveCaret(to, true);
    if (parentFrame && from != to) parentFrame->setClipboard(ClipboardKind::Selection, getSelectedText());
}

bool CTextEdit::replaceSelection(const std::string& insert) {
    const size_t start = getSelectionStart();
    const size_t rest = editText.size() - (getSelectionEnd() - start);
    const size_t room = rest < static_cast<size_t>(maxLength) ? static_cast<size_t>(maxLength) - rest : 0;
    const std::string fits = utf8::fitted(insert, room);
    if (fits.empty() && !insert.empty()) return false;
    editText.replace(start, getSelectionEnd() - start, fits);
    anchor = caret = start + fits.size();
    setDirty();
    return true;
}

void CTextEdit::copySelection() {
    if (parentFrame && getSelectionStart() != getSelectionEnd())
        parentFrame->setClipboard(ClipboardKind::Clipboard, getSelectedText());
}

void CTextEdit::paste(ClipboardKind kind) {
    if (!parentFrame) return;
    // The text may come back later (X11 asks its owner): the request keeps the field alive,
    // and what arrives goes into the edit it was asked for, if that edit is still going on.
    remember();
    std::shared_ptr<CTextEdit> self(this, [](CTextEdit* edit) { edit->forget(); });
    const uint32_t edit = editSerial;
    ++pastesPending;
    parentFrame->requestClipboard(kind, [self, edit](const std::string& text) { self->pasted(text, edit); });
}

void CTextEdit::pasted(const std::string& pastedText, uint32_t edit) {
    if (edit != editSerial || !editing || !isAttached()) return;
    --pastesPending;
    if (!pastedText.empty()) replaceSelection(utf8::withoutControls(utf8::valid(pastedText)));
    if (commitAfterPaste && pastesPending == 0) commitFromKey();
}

void CTextEdit::commitFromKey() {
    if (pastesPending > 0) {
        commitAfterPaste = true;  // typed ahead of a paste: Return counts once it has arrived
        return;
    }
    if (parentFrame && parentFrame->getFocusView() == this)
        parentFrame->setFocusView(nullptr);
    else
        commit();
}

int32_t CTextEdit::onShortcut(const VstKeyCode& key) {
    const bool control = (key.modifier & (MODIFIER_CONTROL | MODIFIER_COMMAND)) != 0;
    if (!control || (key.modifier & MODIFIER_ALTERNATE)) return -1;
    if (key.virt == VKEY_INSERT) {
        copySelection();
        return 1;
    }
    switch (key.virt == 0 ? keys::shortcutLetter(key) : 0) {
        case 'a': select(0, editText.size()); return 1;
        case 'c': copySelection(); return 1;
        case 'x':
            copySelection();
            replaceSelection("");
            return 1;
        case 'v': paste(ClipboardKind::Clipboard); return 1;
        default: return -1;
    }
}

int32_t CTextEdit::onKeyDown(VstKeyCode& key) {
    if (!editing) return -1;
    focusFromThisPress = false;
    if (keys::isShortcut(key)) return onShortcut(key);
    const bool shift = (key.modifier & MODIFIER_SHIFT) != 0;
    const bool selection = getSelectionStart() != getSelectionEnd();
    switch (key.virt) {
        case VKEY_RETURN:
        case VKEY_ENTER: commitFromKey(); return 1;
        case VKEY_ESCAPE: cancelEdit(); return 1;
        case VKEY_BACK:
            if (!selection) anchor = utf8::previous(editText, caret);
            replaceSelection("");
            return 1;
        case VKEY_DELETE:
            if (shift && selection) copySelection();  // Shift+Delete cuts
            if (!selection) anchor = utf8::next(editText, caret);
            replaceSelection("");
            return 1;
        case VKEY_INSERT:
            if (!shift) return -1;
            paste(ClipboardKind::Clipboard);
            return 1;
        case VKEY_LEFT:
            moveCaret(selection && !shift ? getSelectionStart() : utf8::previous(editText, caret), shift);
            break;
        case VKEY_RIGHT:
            moveCaret(selection && !shift ? getSelectionEnd() : utf8::next(editText, caret), shift);
            break;
        case VKEY_HOME: moveCaret(0, shift); break;
        case VKEY_END: moveCaret(editText.size(), shift); break;
        case 0:
        case VKEY_SPACE: {
            // Printable characters only (the frame hands them over as code points); the
            // length limit counts bytes of UTF-8, and a character that does not fit whole
            // is not taken.
            const std::string typed = key.character > 0 ? utf8::encode(static_cast<uint32_t>(key.character)) : "";
            if (typed.empty()) return -1;
            replaceSelection(typed);
            return 1;
        }
        default: return -1;
    }
    // The caret moved: a selection made with Shift is offered as the primary selection.
    if (shift && getSelectionStart() != getSelectionEnd()) select(anchor, caret);
    return 1;
}

bool CTextEdit::isTypeOf(const char* name) const {
    return std::strcmp(name, "CTextEdit") == 0 || CParamDisplay::isTypeOf(name);
}

}  // namespace VSTGUI
