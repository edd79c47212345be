// In-frame text editing and the option menu's popup.
#include "GuiTest.h"
#include "core/keys.h"
#include "core/utf8.h"

using namespace guitest;

using TextEdit = FrameTest;

namespace {
const CRect kField(210, 156.5, 322, 169.5);
constexpr CCoord kFieldY = 163;
}  // namespace

TEST_F(TextEdit, TypingEditingKeysAndReturnCommitOnce) {
    auto* edit = add(new CTextEdit(kField, &listener, 98, "Init"));
    edit->setMaxLength(23);
    screen->click(300, kFieldY);
    ASSERT_TRUE(edit->isEditing());
    EXPECT_EQ(screen->focusBorrows, 1);  // typing needs the keyboard focus
    EXPECT_EQ(edit->getSelectedText(), "Init");
    screen->key(0, VKEY_END);
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
    // The focus goes back at the next idle, not while the click that may start the next
    // edit is still being handled.
    EXPECT_EQ(screen->focusReturns, 0);
    frame->idle();
    EXPECT_EQ(screen->focusReturns, 1);
    // Taken out of the frame while editing: nothing committed, the focus given back.
    screen->click(300, kFieldY);
    screen->type("zz");
    frame->removeView(edit);
    frame->idle();
    EXPECT_EQ(screen->focusReturns, 2);
    EXPECT_EQ(log.count("changed 98"), 1u);
}

TEST_F(TextEdit, TheFirstClickSelectsAllSoThatTypingReplacesIt) {
    auto* edit = add(new CTextEdit(kField, &listener, 98, "Default"));
    edit->setMaxLength(23);
    screen->click(266, kFieldY);  // in the middle of the text
    screen->type("My Patch");
    screen->key(0, VKEY_RETURN);
    EXPECT_STREQ(edit->getText(), "My Patch");
    // Ctrl+A selects all again; Backspace and Delete take the selection, typing replaces it.
    screen->click(266, kFieldY);
    screen->key(0, VKEY_END);
    screen->key('a', 0, MODIFIER_CONTROL);
    screen->type("Dub");
    EXPECT_EQ(edit->getEditText(), "Dub");
    screen->key(0, VKEY_LEFT, MODIFIER_SHIFT);
    screen->key(0, VKEY_LEFT, MODIFIER_SHIFT);
    EXPECT_EQ(edit->getSelectedText(), "ub");
    screen->key(0, VKEY_DELETE);
    EXPECT_EQ(edit->getEditText(), "D");
    screen->key(0, VKEY_HOME, MODIFIER_SHIFT);  // from the end: the selection keeps its anchor
    screen->key(0, VKEY_END, MODIFIER_SHIFT);
    EXPECT_EQ(edit->getSelectedText(), "");
    screen->key('a', 0, MODIFIER_CONTROL);
    screen->key(0, VKEY_BACK);
    EXPECT_EQ(edit->getEditText(), "");
    screen->key(0, VKEY_ESCAPE);
    EXPECT_STREQ(edit->getText(), "My Patch");
}

TEST_F(TextEdit, ClicksDragsDoubleClicksAndShiftSelect) {
    auto* edit = add(new CTextEdit(kField, &listener, 98, "Rub A Dub"));
    const CCoord left = kField.left + 1, right = kField.right - 1;
    screen->click(266, kFieldY);
    screen->advance(600);  // not a double click
    // While editing, a click places the caret and selects nothing.
    screen->click(right, kFieldY);
    EXPECT_EQ(edit->getCaret(), 9u);
    EXPECT_EQ(edit->getSelectedText(), "");
    screen->advance(600);
    // A drag selects, and the selection becomes the primary selection.
    screen->press(left, kFieldY);
    screen->move(266, kFieldY);
    const size_t middle = edit->getCaret();
    EXPECT_GT(middle, 0u);
    EXPECT_LT(middle, 9u);
    screen->move(right, kFieldY);
    screen->release(right, kFieldY);
    EXPECT_EQ(edit->getSelectedText(), "Rub A Dub");
    EXPECT_EQ(OffscreenFrame::clipboard(ClipboardKind::Selection), "Rub A Dub");
    screen->advance(600);
    // A double click selects the word under it; Shift+Left/Right and Shift+click extend.
    screen->click(left, kFieldY);
    screen->click(left, kFieldY);
    EXPECT_EQ(edit->getSelectedText(), "Rub");
    screen->key(0, VKEY_RIGHT, MODIFIER_SHIFT);
    screen->key(0, VKEY_RIGHT, MODIFIER_SHIFT);
    EXPECT_EQ(edit->getSelectedText(), "Rub A");
    EXPECT_EQ(OffscreenFrame::clipboard(ClipboardKind::Selection), "Rub A");
    screen->key(0, VKEY_RIGHT);  // an arrow without Shift ends the selection at its side
    EXPECT_EQ(edit->getCaret(), 5u);
    EXPECT_EQ(edit->getSelectedText(), "");
    screen->advance(600);
    screen->click(right, kFieldY, 1, kXShiftMask);
    EXPECT_EQ(edit->getSelectedText(), " Dub");
    screen->advance(600);
    screen->click(right, kFieldY);
    screen->click(right, kFieldY);
    EXPECT_EQ(edit->getSelectedText(), "Dub");
    EXPECT_EQ(log.count("changed"), 0u);
}

TEST_F(TextEdit, KeysWithCtrlOrAltAreShortcutsOrNothing) {
    auto* edit = add(new CTextEdit(kField, &listener, 98, ""));
    screen->click(266, kFieldY);
    const struct {
        int32_t character;
        unsigned char modifier;
        const char* typed;  // what the field gains
    } cases[] = {
        {'b', MODIFIER_CONTROL, ""},
        {'B', MODIFIER_CONTROL | MODIFIER_SHIFT, ""},
        {'s', MODIFIER_COMMAND, ""},
        {'b', MODIFIER_ALTERNATE, ""},
        {0xe9, MODIFIER_ALTERNATE, ""},
        {'q', MODIFIER_CONTROL | MODIFIER_ALTERNATE, ""},
        {'@', MODIFIER_CONTROL | MODIFIER_ALTERNATE, "@"},            // AltGr as Windows reports it
        {0x20ac, MODIFIER_CONTROL | MODIFIER_ALTERNATE, "\xe2\x82\xac"},
        {'B', MODIFIER_SHIFT, "B"},
    };
    for (const auto& c : cases) {
        const std::string before = edit->getEditText();
        const int32_t used = screen->key(c.character, 0, c.modifier);
        EXPECT_EQ(edit->getEditText(), before + c.typed) << c.character << " " << int(c.modifier);
        EXPECT_EQ(used, *c.typed ? 1 : -1) << c.character;  // an unknown shortcut is the host's
    }
    // Linux hosts report Ctrl as a key of its own and leave the modifier bits empty.
    EXPECT_EQ(screen->key(0, VKEY_CONTROL), -1);
    EXPECT_EQ(screen->key('a'), 1);
    EXPECT_EQ(edit->getSelectedText(), "@\xe2\x82\xac" "B");
    screen->keyUp(0, VKEY_CONTROL);
    screen->type("x");
    EXPECT_EQ(edit->getEditText(), "x");
    // A Ctrl whose release never came is forgotten once the pointer shows no Ctrl held.
    screen->key(0, VKEY_CONTROL);
    screen->move(266, kFieldY);
    screen->type("y");
    EXPECT_EQ(edit->getEditText(), "xy");
}

TEST_F(TextEdit, CopyCutAndPasteGoThroughTheClipboard) {
    auto* edit = add(new CTextEdit(kField, &listener, 98, "Ping Pong"));
    edit->setMaxLength(23);
    auto* other = add(new CTextEdit(CRect(10, 10, 120, 23), &listener, 5, ""));
    other->setMaxLength(23);
    screen->click(266, kFieldY);
    EXPECT_EQ(screen->key('c', 0, MODIFIER_CONTROL), 1);
    EXPECT_EQ(OffscreenFrame::clipboard(ClipboardKind::Clipboard), "Ping Pong");
    screen->key(0, VKEY_END);
    for (int i = 0; i < 4; ++i) screen->key(0, VKEY_LEFT, MODIFIER_SHIFT);
    screen->key('x', 0, MODIFIER_CONTROL);
    EXPECT_EQ(edit->getEditText(), "Ping ");
    EXPECT_EQ(OffscreenFrame::clipboard(ClipboardKind::Clipboard), "Pong");
    // A paste arrives from the clipboard's owner later, and replaces the selection then.
    screen->key('a', 0, MODIFIER_CONTROL);
    screen->key('v', 0, MODIFIER_CONTROL);
    EXPECT_EQ(edit->getEditText(), "Ping ");
    frame->idle();
    EXPECT_EQ(edit->getEditText(), "Pong");
    screen->key(0, VKEY_RETURN);
    // Line breaks and control characters go; what does not fit into 23 bytes is cut at a
    // character boundary (the e with its accent takes two bytes, and only one is left).
    OffscreenFrame::clipboard(ClipboardKind::Clipboard) =
        "\r\nDub\tEcho\x7f\xc2\x85\xe2\x80\xa8 abcdefghijklmn\xc3\xa9z\n";
    screen->click(20, 16);
    screen->key(0, VKEY_INSERT, MODIFIER_SHIFT);
    frame->idle();
    EXPECT_EQ(other->getEditText(), "DubEcho abcdefghijklmn");
    screen->key('a', 0, MODIFIER_CONTROL);
    screen->type("0123456789012345678901");
    screen->key('v', 0, MODIFIER_CONTROL);
    frame->idle();
    EXPECT_EQ(other->getEditText(), "0123456789012345678901D") << "cut to the room left";
    // An answer that comes after the edit ended, or never, changes nothing.
    screen->key('a', 0, MODIFIER_CONTROL);
    screen->key('v', 0, MODIFIER_CONTROL);
    screen->key(0, VKEY_ESCAPE);
    frame->idle();
    EXPECT_STREQ(other->getText(), "");
    screen->clipboardSilent = true;
    screen->click(20, 16);
    screen->type("Echo");
    screen->key('v', 0, MODIFIER_CONTROL);
    frame->idle();
    EXPECT_EQ(other->getEditText(), "Echo");
    screen->clipboardSilent = false;
    // Return typed ahead of a paste commits once the paste is in.
    OffscreenFrame::clipboard(ClipboardKind::Clipboard) = " Chamber";
    screen->key('v', 0, MODIFIER_CONTROL);
    screen->key(0, VKEY_RETURN);
    EXPECT_TRUE(other->isEditing());
    frame->idle();
    EXPECT_FALSE(other->isEditing());
    EXPECT_STREQ(other->getText(), "Echo Chamber");
    // A middle click pastes the primary selection where it lands, without selecting all.
    OffscreenFrame::clipboard(ClipboardKind::Selection) = "X";
    screen->click(kField.left + 1, kFieldY, 2);
    frame->idle();
    EXPECT_EQ(edit->getEditText(), "XPong");
    EXPECT_EQ(edit->getCaret(), 1u);
}

TEST_F(TextEdit, TheSelectionShowsInTheFieldsColoursSwapped) {
    auto* edit = add(new CTextEdit(kField, &listener, 98, "WWWWWWWWWWWW"));
    edit->setFontColor(MakeCColor(36, 36, 32));
    edit->setBackColor(MakeCColor(189, 207, 218));
    const int x = 266, y = static_cast<int>(kField.top) + 2;  // inside the text, above the glyphs
    screen->click(x, kFieldY);
    frame->idle();
    EXPECT_EQ(screen->pixel(x, y), 0x242420u);  // selected: text colour behind
    screen->key(0, VKEY_END);
    frame->idle();
    EXPECT_EQ(screen->pixel(x, y), 0xbdcfdau);
}

TEST(Keys, CharactersFromHostsAndTheWindowReadAsCodePoints) {
    const struct {
        int32_t character;
        uint32_t codePoint;
    } cases[] = {
        {'a', 'a'},      {0xe9, 0xe9},       {0x1000142, 0x142},  // Unicode keysym: l with stroke
        {0x20ac, 0x20ac}, {0xffb1, '1'},     {0xffaa, '*'},       {0xff80, ' '},  // keypad
        {0xffbe, 0},      {0xff0d, 0},       {0x1b3, 0},          // F1, Return, an older keysym
        {0x7f, 0},        {0x85, 0},         {0x100000a, 0},      {0xfe51, 0},    // controls, a dead key
    };
    for (const auto& c : cases) EXPECT_EQ(keys::codePoint(c.character), c.codePoint) << std::hex << c.character;
    const struct {
        int32_t dead;
        uint32_t next, made;
    } composed[] = {
        {0xfe51, 'e', 0xe9}, {0xfe50, 'A', 0xc0}, {0xfe57, 'y', 0xff}, {0xfe5b, 'c', 0xe7},
        {0xfe53, ' ', '~'},  {0xfe51, 'x', 0},    {0x61, 'e', 0},
    };
    for (const auto& c : composed)
        EXPECT_EQ(keys::compose(c.dead, c.next), c.made) << std::hex << c.dead << " " << c.next;
}

TEST_F(TextEdit, ADeadKeyAndTheKeyAfterItTypeOneCharacter) {
    auto* edit = add(new CTextEdit(kField, &listener, 98, ""));
    screen->click(266, kFieldY);
    EXPECT_EQ(screen->key(0xfe51), 1);  // dead_acute, waiting for its letter
    EXPECT_EQ(edit->getEditText(), "");
    screen->key('e');
    screen->key(0xfe57);  // dead_diaeresis before a letter it does not go with: the letter alone
    screen->key('x');
    screen->key(0xfe52);  // dead_circumflex and space: the accent itself
    screen->key(0, VKEY_SPACE);
    EXPECT_EQ(edit->getEditText(), "\xc3\xa9x^");
    screen->key(0, VKEY_ESCAPE);
    EXPECT_EQ(screen->key(0xfe51), -1);  // nothing edited: not even a dead key is taken
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
    screen->key(0, VKEY_END);
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

TEST_F(OptionMenu, KeysMoveTheHighlightChooseAndCancel) {
    auto* menu = add(new COptionMenu(CRect(322, 157, 335, 169), &listener, 110, nullptr, nullptr, kPopupStyle));
    for (const char* title : {"Default", "Ping Pong", "Rub A Dub", "dub Echo", "Pad", "Flange"}) menu->addEntry(title);
    menu->setNbItemsPerColumn(4);
    menu->setCurrent(1);
    screen->click(328, 162);
    EXPECT_EQ(screen->focusBorrows, 1);  // the keys must reach it whatever the focus option says
    const struct {
        int32_t character;
        unsigned char virt;
        int32_t used;
    } keys[] = {
        {0, VKEY_DOWN, 1},  {0, VKEY_DOWN, 1},      {0, VKEY_DOWN, 1},   // 1 -> 4
        {0, VKEY_DOWN, 1},  {0, VKEY_UP, 1},        {0, VKEY_LEFT, 1},   // 5, 4, 0
        {'D', 0, 1},        {'d', 0, 1},            {'x', 0, -1},        // "dub Echo", "Default", none
        {0, VKEY_RIGHT, 1}, {0, VKEY_F1, -1},       {' ', 0, -1},        // 4; not the menu's keys
        {0, VKEY_UP, 1},                                                   // 3
    };
    for (const auto& k : keys) EXPECT_EQ(screen->key(k.character, k.virt), k.used) << k.character << " " << int(k.virt);
    EXPECT_EQ(screen->key('s', 0, MODIFIER_CONTROL), -1);
    EXPECT_EQ(screen->key(0, VKEY_RETURN), 1);
    EXPECT_FALSE(menu->isPopupOpen());
    EXPECT_EQ(menu->getCurrentIndex(), 3);
    EXPECT_EQ(log.count("changed 110 3"), 1u);
    frame->idle();
    EXPECT_EQ(screen->focusReturns, 1);
    // Escape cancels, also when the key comes from the host as Linux hosts send it.
    screen->click(328, 162);
    EXPECT_EQ(screen->key(0, VKEY_ESCAPE), 1);
    EXPECT_FALSE(menu->isPopupOpen());
    EXPECT_EQ(menu->getCurrentIndex(), 3);
    EXPECT_EQ(screen->key(0, VKEY_ESCAPE), -1);  // nothing open: the host's key
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
