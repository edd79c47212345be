#include "ctextedit.h"

#include <cairo.h>

#include <cstring>

#include "cframe.h"
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

void CTextEdit::draw(CDrawContext* context) {
    if (!(style & kNoDrawStyle)) {
        drawBack(context);
        const std::string& shown = editing ? editText : text;
        drawText(context, shown.c_str());
        if (editing) {
            // Caret: a one-pixel bar after the caret's character.
            context->setFont(font);
            CCoord full = context->getStringWidth(shown.c_str());
            CCoord before = context->getStringWidth(shown.substr(0, caret).c_str());
            CCoord x = size.left + (size.width() - full) / 2 + before;
            if (horiAlign == kLeftText) x = size.left + 2 + before;
            if (horiAlign == kRightText) x = size.right - 2 - full + before;
            context->setFillColor(fontColor);
            context->fillRect(CRect(std::floor(x), size.top + 2, std::floor(x) + 1, size.bottom - 2));
        }
    }
    setDirty(false);
}

size_t CTextEdit::caretFromX(CCoord x) {
    // Measure with a scratch surface: the caret goes to the nearest character boundary.
    cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    size_t best = editText.size();
    {
        CDrawContext context(scratch);
        context.setFont(font);
        CCoord full = context.getStringWidth(editText.c_str());
        CCoord start = size.left + (size.width() - full) / 2;
        if (horiAlign == kLeftText) start = size.left + 2;
        if (horiAlign == kRightText) start = size.right - 2 - full;
        CCoord bestDistance = 1e9;
        for (size_t i = 0;; i = utf8::next(editText, i)) {
            CCoord edge = start + context.getStringWidth(editText.substr(0, i).c_str());
            CCoord d = std::fabs(edge - x);
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
            if (i >= editText.size()) break;
        }
    }
    cairo_surface_destroy(scratch);
    return best;
}

CMouseEventResult CTextEdit::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    if ((style & kDoubleClickStyle) && !buttons.isDoubleClick() && !editing) return kMouseEventNotHandled;
    if (!editing) {
        if (parentFrame && parentFrame->getFocusView() != this)
            parentFrame->setFocusView(this);  // starts editing through takeFocus
        else
            takeFocus();
    }
    caret = caretFromX(where.x);
    invalid();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

void CTextEdit::takeFocus() {
    if (editing) return;
    editing = true;
    // Editing starts from the text as it is shown, so that what is typed joins valid UTF-8.
    editText = utf8::fitted(utf8::valid(text), static_cast<size_t>(maxLength));
    editStart = editText;
    caret = editText.size();
    if (parentFrame) parentFrame->takeKeyboardFocus();
    setDirty();
}

void CTextEdit::looseFocus() {
    if (!editing) return;
    if (reverting)
        editing = false;
    else
        commit();
    setDirty();
}

void CTextEdit::cancelEdit() {
    if (!editing) return;
    reverting = true;
    if (parentFrame && parentFrame->getFocusView() == this)
        parentFrame->setFocusView(nullptr);
    else
        editing = false;
    reverting = false;
    setDirty();
}

void CTextEdit::commit() {
    editing = false;
    if (editText == editStart) return;
    beginEdit();
    setText(editText.c_str());
    valueChanged();
    endEdit();
}

int32_t CTextEdit::onKeyDown(VstKeyCode& key) {
    if (!editing) return -1;
    switch (key.virt) {
        case VKEY_RETURN:
        case VKEY_ENTER:
            if (parentFrame && parentFrame->getFocusView() == this)
                parentFrame->setFocusView(nullptr);
            else
                commit();
            break;
        case VKEY_ESCAPE: cancelEdit(); break;
        case VKEY_BACK:
            if (caret > 0) {
                const size_t start = utf8::previous(editText, caret);
                editText.erase(start, caret - start);
                caret = start;
            }
            break;
        case VKEY_DELETE:
            if (caret < editText.size()) editText.erase(caret, utf8::next(editText, caret) - caret);
            break;
        case VKEY_LEFT: caret = utf8::previous(editText, caret); break;
        case VKEY_RIGHT: caret = utf8::next(editText, caret); break;
        case VKEY_HOME: caret = 0; break;
        case VKEY_END: caret = editText.size(); break;
        default:
            if (key.virt == 0 || key.virt == VKEY_SPACE) {
                int32_t c = key.virt == VKEY_SPACE ? ' ' : key.character;
                // Printable characters only; the length limit counts bytes of UTF-8, and a
                // character that does not fit whole is not taken.
                if (c < 32 || c == 127 || (c >= 0x80 && c < 0xA0)) return -1;
                const std::string typed = utf8::encode(static_cast<uint32_t>(c));
                if (typed.empty()) return -1;
                if (editText.size() + typed.size() > static_cast<size_t>(maxLength)) return 1;
                editText.insert(caret, typed);
                caret += typed.size();
                break;
            }
            return -1;
    }
    setDirty();
    return 1;
}

bool CTextEdit::isTypeOf(const char* name) const {
    return std::strcmp(name, "CTextEdit") == 0 || CParamDisplay::isTypeOf(name);
}

}  // namespace VSTGUI
