// What the Windows frame makes of the system's messages (Win32Input.h) and of a file
// request (FileDialogs.h): pointer states, wheel notches, keys, typed characters, filters
// and folders. The window itself is tested through the DLL under wine (editor_wine.sh).
#include <gtest/gtest.h>

#include "core/input.h"
#include "win32/FileDialogs.h"
#include "win32/Win32Input.h"

using namespace VSTGUI;
using namespace VSTGUI::win32;

TEST(Win32Input, MouseMessagesGiveTheStatesAndButtonsOfX) {
    EXPECT_EQ(xStateOf(MK_LBUTTON | MK_SHIFT, false), kXButton1Mask | kXShiftMask);
    EXPECT_EQ(xStateOf(MK_RBUTTON | MK_MBUTTON | MK_CONTROL, true),
              kXButton3Mask | kXButton2Mask | kXControlMask | kXMod1Mask);
    EXPECT_EQ(xStateOf(0, false), 0u);
    const struct {
        UINT message;
        int button;
        bool down;
    } rows[] = {{WM_LBUTTONDOWN, 1, true},  {WM_LBUTTONDBLCLK, 1, true}, {WM_LBUTTONUP, 1, false},
                {WM_MBUTTONDOWN, 2, true},  {WM_MBUTTONUP, 2, false},    {WM_RBUTTONDBLCLK, 3, true},
                {WM_RBUTTONUP, 3, false},   {WM_MOUSEMOVE, 0, false}};
    for (const auto& r : rows) {
        EXPECT_EQ(buttonOf(r.message), r.button) << r.message;
        EXPECT_EQ(isButtonDown(r.message), r.down) << r.message;
    }
}

TEST(Win32Input, WheelPartsAddUpToNotchesAndTurningBackDropsThem) {
    const struct {
        std::vector<int> deltas;
        std::vector<int> notches;
    } rows[] = {
        {{120, 120, -120}, {1, 1, -1}},             // a classic wheel: one notch a message
        {{240, -360}, {2, -3}},                     // a fast turn, several in one message
        {{40, 40, 40, 40}, {0, 0, 1, 0}},           // a high-resolution wheel: three parts a notch
        {{100, -30, -30, -30, -30}, {0, 0, 0, 0, -1}},  // the other way: what was summed is dropped
        {{-119, -1, -119}, {0, -1, 0}},
    };
    for (const auto& r : rows) {
        WheelAccumulator wheel;
        std::vector<int> got;
        for (int d : r.deltas) got.push_back(wheel.add(d));
        EXPECT_EQ(got, r.notches);
    }
}

TEST(Win32Input, KeysThatDoNotTypeBecomeVirtualKeysAndShortcutsAreReadFromTheKey) {
    const struct {
        WPARAM vk;
        bool extended;
        VstInt32 virt;
    } rows[] = {{VK_BACK, false, VKEY_BACK},     {VK_TAB, false, VKEY_TAB},       {VK_RETURN, false, VKEY_RETURN},
                {VK_RETURN, true, VKEY_ENTER},   {VK_ESCAPE, false, VKEY_ESCAPE}, {VK_SPACE, false, VKEY_SPACE},
                {VK_PRIOR, false, VKEY_PAGEUP},  {VK_NEXT, true, VKEY_PAGEDOWN},  {VK_HOME, true, VKEY_HOME},
                {VK_END, false, VKEY_END},       {VK_LEFT, true, VKEY_LEFT},      {VK_UP, true, VKEY_UP},
                {VK_RIGHT, true, VKEY_RIGHT},    {VK_DOWN, true, VKEY_DOWN},      {VK_INSERT, true, VKEY_INSERT},
                {VK_DELETE, true, VKEY_DELETE},  {VK_F1, false, VKEY_F1},         {VK_F12, false, VKEY_F12},
                {'A', false, 0},                 {'5', false, 0},                 {VK_OEM_PLUS, false, 0}};
    for (const auto& r : rows) EXPECT_EQ(virtualKeyOf(r.vk, r.extended), r.virt) << r.vk;
    for (WPARAM vk : {VK_SHIFT, VK_CONTROL, VK_MENU, VK_RMENU, VK_LWIN, VK_CAPITAL}) EXPECT_TRUE(isModifierKey(vk));
    EXPECT_FALSE(isModifierKey('A'));
    EXPECT_EQ(shortcutCharacter('C'), 'c');
    EXPECT_EQ(shortcutCharacter('7'), '7');
    EXPECT_EQ(shortcutCharacter(VK_OEM_COMMA), 0);
    EXPECT_EQ(keyModifiers(true, true, true), MODIFIER_SHIFT | MODIFIER_CONTROL | MODIFIER_ALTERNATE);
}

TEST(Win32Input, TypedUnitsBecomeCharactersWithPairsJoined) {
    wchar_t high = 0;
    EXPECT_EQ(characterOf(L'a', high), 'a');
    EXPECT_EQ(characterOf(0xe9, high), 0xe9);                 // Latin-1 as it is
    EXPECT_EQ(characterOf(0x20ac, high), 0x01000000 + 0x20ac);  // beyond it, a Unicode keysym
    EXPECT_EQ(characterOf(0xd83d, high), 0);                  // half a pair waits
    EXPECT_EQ(characterOf(0xdea4, high), 0x01000000 + 0x1f6a4);
    EXPECT_EQ(characterOf(0xdea4, high), 0);  // a low half alone is nothing
    EXPECT_EQ(characterOf(L'b', high), 'b');
}

TEST(Win32FileDialogs, FiltersFoldersAndTheDefaultExtension) {
    FileDialogRequest open;
    open.extensions.emplace_back("QEL Preset", "qel");
    EXPECT_EQ(fileTypes(open), (std::vector<std::pair<std::wstring, std::wstring>>{{L"QEL Preset (*.qel)", L"*.qel"}}));
    FileDialogRequest save;
    save.style = FileDialogRequest::kSelectSaveFile;
    save.defaultExtension = "qeb";
    save.defaultDescription = "QEL Bank";
    EXPECT_EQ(fileTypes(save), (std::vector<std::pair<std::wstring, std::wstring>>{{L"QEL Bank (*.qeb)", L"*.qeb"}}));
    save.defaultExtension.clear();
    EXPECT_TRUE(fileTypes(save).empty());

    EXPECT_EQ(folderOf("C:/Users/Ann/Pr\xc3\xa9sets/"), L"C:\\Users\\Ann\\Pr\u00e9sets");
    EXPECT_EQ(folderOf("C:\\"), L"C:\\");  // a drive's root keeps its separator
    EXPECT_EQ(folderOf("D:\\Banks\\\\"), L"D:\\Banks");
    EXPECT_EQ(folderOf(""), L"");
}
