// A menu whose value is the index of the chosen entry. A left or right press opens the
// popup: an overlay inside the frame (its modal view) with the entries in columns of
// `nbItemsPerColumn`, placed at the control's top (popup style) or below it and moved up
// and left as far as needed to stay inside the frame. A click on an entry selects it, a
// click outside or Escape cancels; the popup is bracketed by beginEdit/endEdit.
#pragma once

#include <string>
#include <vector>

#include "controls.h"

namespace VSTGUI {

class CMenuItem : public CBaseObject {
public:
    explicit CMenuItem(const char* title) : title(title ? title : "") {}
    const char* getTitle() const { return title.c_str(); }
    void setTitle(const char* t) { title = t ? t : ""; }

private:
    std::string title;
};

class COptionMenu : public CParamDisplay {
public:
    COptionMenu(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background = nullptr,
                CBitmap* bgWhenClick = nullptr, int32_t style = 0);
    ~COptionMenu() override;

    CMenuItem* addEntry(const char* title, int32_t index = -1);
    CMenuItem* getEntry(int32_t index) const;
    int32_t getNbEntries() const { return static_cast<int32_t>(items.size()); }
    bool removeAllEntry();
    bool setCurrent(int32_t index, bool countSeparator = true);
    int32_t getCurrentIndex(bool countSeparator = false) const;
    CMenuItem* getCurrent() const { return getEntry(getCurrentIndex()); }
    void setNbItemsPerColumn(int32_t n) { nbItemsPerColumn = n > 0 ? n : 1; }
    int32_t getNbItemsPerColumn() const { return nbItemsPerColumn; }

    // Opens the popup overlay; false when another modal view is shown.
    bool popup();
    bool isPopupOpen() const { return popupView != nullptr; }
    CView* getPopupView() const { return popupView; }

    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    void draw(CDrawContext* context) override;
    bool isTypeOf(const char* name) const override;

    // Layout of the overlay (rows of 10 px in Arial 9, a 2 px border).
    static constexpr CCoord kRowHeight = 10;
    static constexpr CCoord kBorder = 2;

private:
    friend class COptionMenuPopup;
    void popupClosed(int32_t chosen);

    std::vector<CMenuItem*> items;
    int32_t currentIndex = -1;
    int32_t nbItemsPerColumn = -1;
    CView* popupView = nullptr;
};

}  // namespace VSTGUI
