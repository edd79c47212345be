#include "coptionmenu.h"

#include <algorithm>
#include <cstring>

#include "cframe.h"
#include "keys.h"
#include "utf8.h"

namespace VSTGUI {

// The popup overlay, shown as the frame's modal view while the menu is open.
class COptionMenuPopup : public CView {
public:
    COptionMenuPopup(COptionMenu* menu, const CRect& size, int32_t columns, int32_t rows, CCoord columnWidth)
        : CView(size), menu(menu), columns(columns), rows(rows), columnWidth(columnWidth) {}

    int32_t indexAt(const CPoint& where) const {
        if (!size.pointInside(where)) return -1;
        int32_t col = static_cast<int32_t>((where.x - size.left - COptionMenu::kBorder) / columnWidth);
        int32_t row = static_cast<int32_t>((where.y - size.top - COptionMenu::kBorder) / COptionMenu::kRowHeight);
        if (col < 0 || col >= columns || row < 0 || row >= rows) return -1;
        int32_t index = col * rows + row;
        return index < menu->getNbEntries() ? index : -1;
    }

    CRect entryRect(int32_t index) const {
        int32_t col = index / rows, row = index % rows;
        CCoord x = size.left + COptionMenu::kBorder + col * columnWidth;
        CCoord y = size.top + COptionMenu::kBorder + row * COptionMenu::kRowHeight;
        return CRect(x, y, x + columnWidth, y + COptionMenu::kRowHeight);
    }

    void draw(CDrawContext* context) override {
        context->setFillColor(MakeCColor(236, 238, 240));
        context->setFrameColor(MakeCColor(60, 64, 70));
        context->drawRect(size, kDrawFilledAndStroked);
        context->setFont(kNormalFontVerySmall);
        int32_t current = menu->getCurrentIndex();
        bool check = (menu->getStyle() & kCheckStyle) != 0;
        for (int32_t i = 0; i < menu->getNbEntries(); ++i) {
            CRect r = entryRect(i);
            if (i == hover) {
                context->setFillColor(MakeCColor(52, 101, 164));
                context->fillRect(r);
            }
            context->setFontColor(i == hover ? kWhiteCColor : MakeCColor(20, 20, 20));
            if (check && i == current) {
                // A check mark drawn as two strokes, so no special glyph is needed.
                context->setFrameColor(i == hover ? kWhiteCColor : MakeCColor(20, 20, 20));
                context->drawLine(CPoint(r.left + 2, r.top + 5), CPoint(r.left + 4, r.top + 7));
                context->drawLine(CPoint(r.left + 4, r.top + 7), CPoint(r.left + 8, r.top + 2));
            }
            CRect textRect(r.left + 11, r.top, r.right - 2, r.bottom);
            context->drawString(menu->getEntry(i)->getTitle(), textRect, kLeftText);
        }
        setDirty(false);
    }

    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override {
        if (size.pointInside(where)) {
            if (!buttons.isLeftButton()) return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
            int32_t index = indexAt(where);
            if (index >= 0) menu->popupClosed(index);
            return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
        }
        menu->popupClosed(-1);
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }

    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState&) override {
        setHover(indexAt(where));
        return kMouseEventHandled;
    }

    // Escape cancels, Return chooses the highlighted entry, the arrows move the highlight
    // (Left and Right by a column), a letter moves it to the next entry that starts with
    // it. Other keys are not the menu's.
    int32_t onKeyDown(VstKeyCode& key) override {
        if (keys::isShortcut(key)) return -1;
        const int32_t n = menu->getNbEntries();
        int32_t next = hover;
        switch (key.virt) {
            case VKEY_ESCAPE: menu->popupClosed(-1); return 1;
            case VKEY_RETURN:
            case VKEY_ENTER: menu->popupClosed(hover); return 1;
            case VKEY_UP: next = hover > 0 ? hover - 1 : 0; break;
            case VKEY_DOWN: next = hover < n - 1 ? hover + 1 : n - 1; break;
            case VKEY_LEFT: next = hover >= rows ? hover - rows : hover; break;
            case VKEY_RIGHT: next = hover >= 0 && hover + rows < n ? hover + rows : hover; break;
            case VKEY_HOME: next = 0; break;
            case VKEY_END: next = n - 1; break;
            case 0:
                next = nextStartingWith(static_cast<uint32_t>(key.character));
                if (next < 0) return -1;
                break;
            default: return -1;
        }
        setHover(next);
        return 1;
    }

    // The first entry after the highlighted one (round the end) whose title starts with the
    // character; letters match either case.
    int32_t nextStartingWith(uint32_t character) const {
        if (character == 0) return -1;
        auto fold = [](uint32_t c) { return c < 0x80 && c >= 'A' && c <= 'Z' ? c + 32 : c; };
        const std::string typed = utf8::encode(fold(character));
        const int32_t n = menu->getNbEntries();
        for (int32_t step = 1; step <= n; ++step) {
            const int32_t i = ((hover < 0 ? -1 : hover) + step) % n;
            std::string title = utf8::valid(menu->getEntry(i)->getTitle());
            if (!title.empty()) title[0] = static_cast<char>(fold(static_cast<unsigned char>(title[0])));
            if (title.compare(0, typed.size(), typed) == 0) return i;
        }
        return -1;
    }

    void setHover(int32_t index) {
        if (index == hover) return;
        hover = index;
        setDirty();
    }

    int32_t getHover() const { return hover; }

private:
    COptionMenu* menu;
    int32_t columns;
    int32_t rows;
    CCoord columnWidth;
    int32_t hover = -1;
};

COptionMenu::COptionMenu(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* bg, CBitmap*,
                         int32_t style)
    : CParamDisplay(size, bg, style) {
    this->listener = listener;
    this->tag = tag;
    setMin(0.f);
    setMax(0.f);
    setDefaultValue(0.f);
}

COptionMenu::~COptionMenu() {
    for (CMenuItem* item : items) item->forget();
}

CMenuItem* COptionMenu::addEntry(const char* title, int32_t index) {
    auto* item = new CMenuItem(title);
    if (index < 0 || index >= getNbEntries())
        items.push_back(item);
    else
        items.insert(items.begin() + index, item);
    setMax(static_cast<float>(std::max(0, getNbEntries() - 1)));
    if (currentIndex < 0) currentIndex = 0;
    return item;
}

CMenuItem* COptionMenu::getEntry(int32_t index) const {
    return index >= 0 && index < getNbEntries() ? items[static_cast<size_t>(index)] : nullptr;
}

bool COptionMenu::removeAllEntry() {
    for (CMenuItem* item : items) item->forget();
    items.clear();
    currentIndex = -1;
    setMax(0.f);
    return true;
}

bool COptionMenu::setCurrent(int32_t index, bool) {
    if (index < 0 || index >= getNbEntries()) return false;
    currentIndex = index;
    setValue(static_cast<float>(index));
    setDirty();
    return true;
}

int32_t COptionMenu::getCurrentIndex(bool) const { return currentIndex; }

bool COptionMenu::popup() {
    if (!parentFrame || popupView || items.empty()) return false;
    int32_t perColumn = nbItemsPerColumn > 0 ? nbItemsPerColumn : getNbEntries();
    int32_t rows = std::min(perColumn, getNbEntries());
    int32_t columns = (getNbEntries() + perColumn - 1) / perColumn;
    // The widest title decides the column width.
    CCoord widest = 0;
    {
        CDrawContext context;
        context.setFont(kNormalFontVerySmall);
        for (CMenuItem* item : items) widest = std::max(widest, context.getStringWidth(item->getTitle()));
    }
    CCoord columnWidth = std::ceil(widest) + 11 + 10;  // check mark, text, right margin
    CCoord width = columns * columnWidth + 2 * kBorder;
    CCoord height = rows * kRowHeight + 2 * kBorder;
    const CRect& frameRect = parentFrame->getViewSize();
    CCoord left = size.left;
    CCoord top = (style & kPopupStyle) ? size.top : size.bottom;
    if (left + width > frameRect.right) left = frameRect.right - width;
    if (top + height > frameRect.bottom) top = frameRect.bottom - height;
    if (left < frameRect.left) left = frameRect.left;
    if (top < frameRect.top) top = frameRect.top;
    auto* view = new COptionMenuPopup(this, CRect(left, top, left + width, top + height), columns, rows, columnWidth);
    if (!parentFrame->setModalView(view)) {
        view->forget();
        return false;
    }
    // Keys choose, move and cancel as well (Escape above all), so the menu needs them
    // while it is open whatever the keep-focus option says; it starts on the current entry.
    view->setHover(currentIndex);
    popupView = view;
    parentFrame->borrowKeyboardFocus();
    return true;
}

void COptionMenu::popupClosed(int32_t chosen) {
    CView* view = popupView;
    if (!view) return;
    popupView = nullptr;
    CBaseObjectGuard guard(view);
    if (parentFrame && parentFrame->getModalView() == view) parentFrame->setModalView(nullptr);
    if (parentFrame) parentFrame->returnKeyboardFocus();
    view->forget();  // the frame's reference
    if (chosen >= 0) {
        setCurrent(chosen);
        valueChanged();
    }
    endEdit();
}

CMouseEventResult COptionMenu::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!(buttons & (kLButton | kRButton | kApple))) return kMouseEventNotHandled;
    beginEdit();
    if (!popup()) {
        endEdit();
        return kMouseEventNotHandled;
    }
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

void COptionMenu::draw(CDrawContext* context) {
    if (!(style & kNoDrawStyle)) {
        drawBack(context);
        if (CMenuItem* item = getCurrent()) drawText(context, item->getTitle());
    }
    setDirty(false);
}

bool COptionMenu::isTypeOf(const char* name) const {
    return std::strcmp(name, "COptionMenu") == 0 || CParamDisplay::isTypeOf(name);
}

}  // namespace VSTGUI
