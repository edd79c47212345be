// In-frame text editing and the option menu's popup.
#include "GuiTest.h"

using namespace guitest;

using TextEdit = FrameTest;

TEST_F(TextEdit, TypingEditingKeysAndReturnCommitOnce) {
    auto* edit = add(new CTextEdit(CRect(210, 156.5, 322, 169.5), &listener, 98, "Init"));
    edit->setMaxLength(23);
    screen->click(300, 163);  // right of the text: caret at the end
    ASSERT_TRUE(edit->isEditing());
    EXPECT_EQ(screen->focusRequests, 1);  // typing needs the keyboard focus
    EXPECT_EQ(edit->getCaret(), 4u);
    screen->key(0, VKEY_BACK);
    screen->key(0, VKEY_HOME);
    screen->type("My ");
    screen->key(0, VKEY_END);
    screen->key(0, VKEY_LEFT);
    screen->key(0, VKEY_DELETE);
    screen->key(0, VKEY_SPACE);
    EXPECT_EQ(edit->getEditText(), "My In ");
    EXPECT_STREQ(edit->getText(), "Init");  // nothing committed yet
    EXPECT_EQ(screen->key(0, VKEY_RETURN), 1);
    EXPECT_FALSE(edit->isEditing());
    EXPECT_STREQ(edit->getText(), "My In ");
    EXPECT_EQ(log.count("changed 98"), 1u);
    EXPECT_EQ(screen->key('x'), -1);  // no longer editing: keys are not taken
}

TEST_F(TextEdit, LengthLimitAndPrintableCharactersOnly) {
    auto* edit = add(new CTextEdit(CRect(210, 156.5, 322, 169.5), &listener, 98, ""));
    edit->setMaxLength(23);
    screen->click(250, 163);
    screen->type("abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(edit->getEditText(), "abcdefghijklmnopqrstuvw");  // 23 characters
    EXPECT_EQ(screen->key(0xe9), -1);  // not ASCII
    EXPECT_EQ(screen->key(7), -1);     // a control character
    EXPECT_EQ(edit->getEditText().size(), 23u);
}

TEST_F(TextEdit, EscapeRevertsWithoutNotifying) {
    auto* edit = add(new CTextEdit(CRect(210, 156.5, 322, 169.5), &listener, 98, "Init"));
    screen->click(300, 163);
    screen->type("zzz");
    screen->key(0, VKEY_ESCAPE);
    EXPECT_FALSE(edit->isEditing());
    EXPECT_STREQ(edit->getText(), "Init");
    EXPECT_EQ(log.count("changed"), 0u);
    EXPECT_EQ(frame->getFocusView(), nullptr);
}

TEST_F(TextEdit, UnchangedTextCommitsSilently) {
    add(new CTextEdit(CRect(210, 156.5, 322, 169.5), &listener, 98, "Init"));
    screen->click(300, 163);
    screen->key(0, VKEY_RETURN);
    EXPECT_TRUE(log.lines.empty());
}

using OptionMenu = FrameTest;

namespace {
COptionMenu* programMenu(FrameTest&, CControlListener* listener, int entries) {
    auto* menu = new COptionMenu(CRect(322, 157, 335, 169), listener, 110, nullptr, nullptr,
                                 kPopupStyle | kCheckStyle | kNoTextStyle | kNoDrawStyle);
    for (int i = 0; i < entries; ++i) menu->addEntry(("Program " + std::to_string(i)).c_str());
    menu->setNbItemsPerColumn(16);
    return menu;
}
}  // namespace

TEST_F(OptionMenu, SixtyOneEntriesOpenInFourColumnsInsideTheFrame) {
    EXPECT_EQ(kPopupStyle | kCheckStyle | kNoTextStyle | kNoDrawStyle, 7680);
    auto* menu = add(programMenu(*this, &listener, 61));
    menu->setCurrent(5);
    screen->click(328, 162);
    ASSERT_TRUE(menu->isPopupOpen());
    CView* popup = frame->getModalView();
    ASSERT_EQ(popup, menu->getPopupView());
    const CRect& r = popup->getViewSize();
    EXPECT_EQ(r.height(), 16 * 10 + 4);  // 16 rows of 10 px and a 2 px border
    EXPECT_GE(r.left, 0);
    EXPECT_GE(r.top, 0);
    EXPECT_LE(r.right, 942);
    EXPECT_LE(r.bottom, 171);
    EXPECT_EQ(r.top, 171 - 164);  // moved up from the control's top to fit
    EXPECT_EQ(log.lines, (std::vector<std::string>{"listener begin 110", "effect begin 110"}));
    // Column widths are equal: four columns share the width.
    CCoord column = (r.width() - 4) / 4;
    EXPECT_GT(column, 20);

    // Entry 12 is column 0, row 12; entry 60 is column 3, row 12.
    screen->move(r.left + 2 + 3 * column + 5, r.top + 2 + 12 * 10 + 5);
    screen->click(r.left + 2 + 5, r.top + 2 + 12 * 10 + 5);
    EXPECT_FALSE(menu->isPopupOpen());
    EXPECT_EQ(menu->getCurrentIndex(), 12);
    EXPECT_FLOAT_EQ(menu->getValue(), 12.f);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"listener begin 110", "effect begin 110", "changed 110 12",
                                                   "effect end 110", "listener end 110"}));
}

TEST_F(OptionMenu, OutsideClickAndEscapeCancelWithoutNotifying) {
    auto* menu = add(programMenu(*this, &listener, 61));
    menu->setCurrent(7);
    screen->click(328, 162, 3);  // the right button opens it too
    ASSERT_TRUE(menu->isPopupOpen());
    screen->key(0, VKEY_ESCAPE);
    EXPECT_FALSE(menu->isPopupOpen());
    screen->click(328, 162);
    ASSERT_TRUE(menu->isPopupOpen());
    const CRect r = frame->getModalView()->getViewSize();
    screen->click(r.right + 10, 20);
    EXPECT_FALSE(menu->isPopupOpen());
    EXPECT_EQ(frame->getModalView(), nullptr);
    EXPECT_EQ(menu->getCurrentIndex(), 7);
    EXPECT_EQ(log.count("changed"), 0u);
    EXPECT_EQ(log.count("effect begin"), 2u);
    EXPECT_EQ(log.count("effect end"), 2u);
}

TEST_F(OptionMenu, ShortMenuOpensBelowTheControlWithoutPopupStyle) {
    auto* menu = add(new COptionMenu(CRect(100, 20, 160, 32), &listener, 5));
    menu->addEntry("one");
    menu->addEntry("two");
    menu->addEntry("three");
    screen->click(110, 25);
    const CRect& r = frame->getModalView()->getViewSize();
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 32);
    EXPECT_EQ(r.height(), 34);
    screen->click(r.left + 10, r.top + 2 + 25);  // third row
    EXPECT_EQ(menu->getCurrentIndex(), 2);
    EXPECT_STREQ(menu->getEntry(2)->getTitle(), "three");
}

TEST_F(OptionMenu, PopupCannotOpenOverAnotherModalView) {
    auto* menu = add(programMenu(*this, &listener, 3));
    ASSERT_TRUE(CMessageBox::show(frame, "Could not open user manual", ""));
    EXPECT_FALSE(menu->popup());
    // The message box closes with Return.
    EXPECT_EQ(screen->key(0, VKEY_RETURN), 1);
    EXPECT_EQ(frame->getModalView(), nullptr);
    EXPECT_TRUE(menu->popup());
}
