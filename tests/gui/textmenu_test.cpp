// In-frame text editing and the option menu's popup.
#include "GuiTest.h"
#include "core/utf8.h"

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

TEST(Utf8, BytesOutsideValidUtf8AreReadAsLatin1OrWindows1252) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"plain", "plain"},
        {"D\xc3\xbc" "b \xe2\x80\x93 ok", "D\xc3\xbc" "b \xe2\x80\x93 ok"},  // valid UTF-8 stays
        {"Caf\xe9", "Caf\xc3\xa9"},                                    // Latin-1
        {"a\x96z \x80", "a\xe2\x80\x93z \xe2\x82\xac"},                 // Windows-1252 dash and euro
        {"\x81", "\xc2\x81"},                                          // unassigned there: Latin-1
        {"\xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80", "\xc3\x80\xc2\xaf \xc3\xad\xc2\xa0\xe2\x82\xac \xc3\xb4\xc2\x90\xe2\x82\xac\xe2\x82\xac"},
        {"\xe2\x80", "\xc3\xa2\xe2\x82\xac"},                            // a sequence cut short
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf8::valid(c.in), c.out) << c.in;
        EXPECT_TRUE(utf8::isValid(utf8::valid(c.in)));
    }
    EXPECT_EQ(utf8::fitted("ab\xc3\xa9", 3), "ab");
    EXPECT_EQ(utf8::fitted("ab\xe9", 3), "ab\xe9");
}

TEST_F(TextEdit, LengthLimitCountsBytesAndKeepsCharactersWhole) {
    // A name in Latin-1 (as old banks carry them) is edited as the UTF-8 it is shown as.
    auto* edit = add(new CTextEdit(CRect(210, 156.5, 322, 169.5), &listener, 98, ""));
    edit->setMaxLength(23);
    edit->setText("Caf\xe9");
    screen->click(300, 163);
    EXPECT_EQ(edit->getEditText(), "Caf\xc3\xa9");
    screen->key(0, VKEY_LEFT);
    EXPECT_EQ(edit->getCaret(), 3u);
    screen->key(0, VKEY_END);
    screen->key(0, VKEY_BACK);  // the whole character
    screen->type("e abcdefghijklmnopqr");
    EXPECT_EQ(edit->getEditText(), "Cafe abcdefghijklmnopqr");  // 23 bytes
    screen->key(0, VKEY_BACK);
    EXPECT_EQ(screen->key(0xe9), 1);  // two bytes do not fit into the one left: swallowed
    EXPECT_EQ(edit->getEditText().size(), 22u);
    EXPECT_EQ(screen->key(7), -1);  // control characters are not taken
    EXPECT_EQ(screen->key(0x85), -1);
    screen->key(0, VKEY_HOME);
    screen->key(0, VKEY_DELETE);
    EXPECT_EQ(screen->key(0xe9), 1);
    EXPECT_EQ(edit->getEditText(), "\xc3\xa9" "afe abcdefghijklmnopq");
    screen->key(0, VKEY_RETURN);
    EXPECT_STREQ(edit->getText(), "\xc3\xa9" "afe abcdefghijklmnopq");
    // Set from outside, a long text is cut before a character it would split.
    edit->setText("abcdefghijklmnopqrstuv\xc3\xa9");
    EXPECT_STREQ(edit->getText(), "abcdefghijklmnopqrstuv");
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
