// Keys as the framework sees them: key records from real key events, their names, and shortcut
// tables turned into window commands.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/mac/LKeyHandler.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaViewBase.h"
#include "platform/ui/LUiKeymap.h"
#include "platform/ui/UI.h"
#include "support/UiTestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct Window : LMacWindow {
    std::vector<int> commands;
    int helps = 0;
    void Command(int id, int code) override
    {
        commands.push_back(id);
        if (id != kLCmdCancel)
            LMacWindow::Command(id, code);
    }
    void CmHelp() override { ++helps; }
};

struct Keys : LKeyHandler {
    std::vector<uint32_t> downs, repeats, ups;
    std::string chars;
    bool take = false;
    using LKeyHandler::EvKeyDown;
    using LKeyHandler::EvKeyUp;
    bool EvChar(char c) override { return chars.push_back(c), false; }
    bool EvKeyDown(LKey k) override { return downs.push_back(k.code), take; }
    bool EvKeyRepeat(LKey k) override { return repeats.push_back(k.code), take; }
    bool EvKeyUp(LKey k) override { return ups.push_back(k.code), take; }
};

// A key event of a view as the view layer makes it.
LUiEvent KeyEvent(unsigned keyval, uint32_t modifiers = 0)
{
    LUiEvent e;
    e.type = LUiEventType::KeyDown;
    e.keyval = keyval;
    e.keycode = LUiKeymapHardwareKeyOfKeyval(keyval);
    e.character = gdk_keyval_to_unicode(keyval);
    e.modifiers = modifiers;
    return e;
}

std::string Describe(LKey k)
{
    char out[260];
    k.GetDescription(out);
    return out;
}

class KeyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        LKey::EvKeyboardLayoutChanged();
    }
};

} // namespace

TEST_F(KeyTest, EventsBecomeKeyRecords)
{
    // Ctrl+A: the character with the Command bit and no key code.
    EXPECT_EQ(LKeyFromRawKeyEvent(KeyEvent(GDK_KEY_a, kLUiControl)).code, 0x10041u);
    // Shift does not change the stored character: the key's own one, upper case.
    EXPECT_EQ(LKeyFromRawKeyEvent(KeyEvent(GDK_KEY_exclam, kLUiControl | kLUiShift)).code,
        LKey::kCommand | LKey::kShift | '1');
    EXPECT_EQ(LKeyFromRawKeyEvent(KeyEvent(GDK_KEY_F1)).code, 0x7A000000u);
    EXPECT_EQ(LKeyFromRawKeyEvent(KeyEvent(GDK_KEY_BackSpace)).code, 51u << 24);
    EXPECT_EQ(
        LKeyFromRawKeyEvent(KeyEvent(GDK_KEY_Delete, kLUiAlt)).code, 117u << 24 | LKey::kOption);
    // Super is the framework's Control.
    EXPECT_EQ(
        LKeyFromRawKeyEvent(KeyEvent(GDK_KEY_Left, kLUiSuper)).code, 123u << 24 | LKey::kControl);
    // The space bar is a character; a modifier key alone gives its modifiers only.
    EXPECT_EQ(LKeyFromRawKeyEvent(KeyEvent(GDK_KEY_space)).code, uint32_t(' '));
    EXPECT_EQ(LKeyFromRawKeyEvent(KeyEvent(GDK_KEY_Shift_L, kLUiShift)).code, LKey::kShift);
    LKey caps = LKeyFromRawKeyEvent(KeyEvent(GDK_KEY_q, kLUiCapsLock));
    EXPECT_EQ(caps.code, uint32_t('Q'));
    EXPECT_TRUE(caps.capsLock);
}

TEST_F(KeyTest, KeysWithoutCodeOrCharacterAreNotTheHandlers)
{
    Keys keys;
    LUiEvent print = KeyEvent(GDK_KEY_Print);
    print.character = 0;
    EXPECT_FALSE(keys.EvKeyDown(print));
    // A dead key types nothing by itself: the input method composes it.
    LUiEvent dead = KeyEvent(GDK_KEY_dead_acute);
    dead.keycode = 0;
    dead.character = 0;
    EXPECT_FALSE(keys.EvKeyDown(dead));
    EXPECT_TRUE(keys.downs.empty());
}

TEST_F(KeyTest, Descriptions)
{
    EXPECT_EQ(Describe(LKey(0x7A000000)), "F1");
    EXPECT_EQ(Describe(LKey(0x99000000)), "Okänd");
    EXPECT_EQ(Describe(LKey(LKey::kCommand | LKey::kShift | 'S')), "Skift+Ctrl+S");
    // Shift+1 types "!": no "Skift+", the shifted character instead.
    EXPECT_EQ(Describe(LKey(LKey::kCommand | LKey::kShift | '1')), "Ctrl+!");
    EXPECT_EQ(Describe(LKey(LKey::kCommand | ' ')), "Ctrl+Space");
    EXPECT_EQ(Describe(LKey::Special(36)), "Retur");
    EXPECT_EQ(Describe(LKey::Special(51, LKey::kCommand)), "Ctrl+Backsteg");
    EXPECT_EQ(Describe(LKey::Special(53)), "Esc");
    EXPECT_EQ(Describe(LKey::Special(117)), "Delete");
    EXPECT_EQ(Describe(LKey::Special(126, LKey::kOption | LKey::kControl)), "Alt+Super+↑");
    EXPECT_EQ(Describe(LKey::Special(71)), "Num Lås");
    EXPECT_EQ(Describe(LKey(LKey::kCommand | LKey::kShift)), "Skift+Ctrl");
    EXPECT_EQ(Describe(LKey(0)), "");
}

TEST_F(KeyTest, CharactersAndLetters)
{
    char utf8[8];
    LKey a('A');
    a.GetCharUTF8(utf8);
    EXPECT_STREQ(utf8, "a"); // no modifiers: folded to lower case
    LKey shiftA(LKey::kShift | 'A');
    shiftA.GetCharUTF8(utf8);
    EXPECT_STREQ(utf8, "A");
    EXPECT_TRUE(a.IsAlphaChar());
    EXPECT_FALSE(LKey('1').IsAlphaChar());
    EXPECT_TRUE(LKey('1').IsShiftableNonAlphaChar());
    EXPECT_FALSE(LKey('A').IsShiftableNonAlphaChar());
    // Letters of every alphabet are letters, whether the layout has them or not.
    EXPECT_TRUE(LKey(0x00C5).IsAlphaChar()); // Å
    LKey(0x00C5).GetCharUTF8(utf8);
    EXPECT_STREQ(utf8, "å");
    EXPECT_EQ(LKey(0x00C5).GetCharUCS2Upper(), 0xC5u);
}

TEST_F(KeyTest, CharactersOnlyBelow0x80AndNeverWithCommand)
{
    Keys keys;
    keys.EvKeyDown(KeyEvent(GDK_KEY_a, kLUiControl));
    EXPECT_EQ(keys.downs, std::vector<uint32_t> { 0x10041u });
    EXPECT_EQ(keys.chars, "");
    keys.EvKeyDown(KeyEvent(GDK_KEY_x));
    EXPECT_EQ(keys.chars, "x");
    // "å" has no one-byte form: the key goes to EvKeyDown alone.
    LUiEvent aring = KeyEvent(GDK_KEY_aring);
    aring.keycode = 0;
    keys.EvKeyDown(aring);
    EXPECT_EQ(keys.downs.back(), 0xC5u);
    EXPECT_EQ(keys.chars, "x");
    LUiEvent repeat = KeyEvent(GDK_KEY_x);
    repeat.isRepeat = true;
    keys.EvKeyDown(repeat);
    EXPECT_EQ(keys.repeats.size(), 1u);
}

TEST_F(KeyTest, ModifierChangesReportOneChangeEach)
{
    Keys keys;
    LKeyHandler::KeyDown = LKey();
    // Shift pressed, then Ctrl: the state of each event is the one before its key.
    LUiEvent shift = KeyEvent(GDK_KEY_Shift_L);
    shift.type = LUiEventType::FlagsChanged;
    keys.EvKeyFlagsChanged(shift);
    LUiEvent ctrl = KeyEvent(GDK_KEY_Control_L, kLUiShift);
    ctrl.type = LUiEventType::FlagsChanged;
    keys.EvKeyFlagsChanged(ctrl);
    EXPECT_EQ(keys.downs, (std::vector<uint32_t> { LKey::kShift, LKey::kCommand }));
    EXPECT_EQ(LKeyHandler::KeyDown.Modifiers(), LKey::kShift | LKey::kCommand);
}

TEST_F(KeyTest, MapKeyToCommandTableFirstThenTheApplications)
{
    Window w;
    w.CreateCocoaWindow(200, 100, kLUiWindowTitled, false, nullptr);
    const LKeyToCommandMap table[] = {
        { LKey(LKey::kCommand | 'S'), 10 },
        { LKey(LKey::kCommand | 'W'), 11 }, // the table comes before the application's Ctrl+W
        { LKey::Special(LKey::kBackspace), 12 },
        { LKey::Special(LKey::kBackspace), 13 },
    };
    auto map = [&](LKey k, const LKeyToCommandMap* t = nullptr, unsigned long n = 0) {
        w.commands.clear();
        bool sent = LKeyHandler::MapKeyToCommand(w, k, t, n);
        return sent ? (w.commands.empty() ? 0 : w.commands.back()) : -1;
    };
    EXPECT_EQ(map(LKey(LKey::kCommand | 'S'), table, 4), 10);
    // Caps Lock is not compared.
    EXPECT_EQ(map(LKey(LKey::kCommand | 'S', true), table, 4), 10);
    EXPECT_EQ(map(LKey(LKey::kCommand | 'W'), table, 4), 11);
    EXPECT_EQ(map(LKey(LKey::kCommand | 'W')), kLCmdCancel);
    EXPECT_EQ(map(LKey(LKey::kCommand | 'Q')), LFourCC("quit"));
    EXPECT_EQ(map(LKey(LKey::kCommand | LKey::kOption | 'H')), LFourCC("hido"));
    EXPECT_EQ(map(LKey(LKey::kCommand | ',')), LFourCC("pref"));
    // A lone BackSpace row serves Ctrl+BackSpace (the last such row), and Delete.
    EXPECT_EQ(map(LKey::Special(LKey::kBackspace, LKey::kCommand), table, 4), 13);
    EXPECT_EQ(map(LKey::Special(LKey::kDelete), table, 4), 12);
    const LKeyToCommandMap commandRow[]
        = { { LKey::Special(LKey::kBackspace, LKey::kCommand), 20 } };
    EXPECT_EQ(map(LKey::Special(LKey::kBackspace), commandRow, 1), 20);
    EXPECT_EQ(map(LKey::Special(LKey::kBackspace)), -1);
    // Ctrl+Shift+/ opens help and sends nothing.
    EXPECT_EQ(map(LKey(LKey::kCommand | LKey::kShift | '/')), 0);
    EXPECT_EQ(w.helps, 1);
    // Escape only at the modal-dialog level.
    EXPECT_EQ(map(LKey::Special(LKey::kEscape)), -1);
    w.GetNativeWindow()->SetLevel(LUiWindowLevel::ModalPanel);
    EXPECT_EQ(map(LKey::Special(LKey::kEscape)), kLCmdCancel);
    // Bad tables: null with rows, none at all.
    EXPECT_EQ(map(LKey(LKey::kCommand | 'S'), nullptr, 5), -1);
    w.DestroyCommon();
}

// Keys go through the display's event path as GDK delivers them (real typing through xdotool
// would reach whichever window of the tests running side by side has the focus).
TEST_F(KeyTest, KeysOfTheWindowReachTheHandlerOfTheContentView)
{
    Window w;
    w.CreateCocoaWindow(200, 100, kLUiWindowTitled, false, nullptr);
    Keys keys;
    keys.take = true;
    keys.KeyHandlerInit(w);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    ASSERT_TRUE(w.GetNativeWindow()->MakeFirstResponder(w.GetContentView()));
    LView* content = w.GetContentView();
    uitest::SendKey(content, GDK_KEY_Control_L, true);
    uitest::SendKey(content, GDK_KEY_a, true, GDK_CONTROL_MASK);
    uitest::SendKey(content, GDK_KEY_a, false, GDK_CONTROL_MASK);
    uitest::SendKey(content, GDK_KEY_Control_L, false, GDK_CONTROL_MASK);
    uitest::SendKey(content, GDK_KEY_F1, true);
    uitest::SendKey(content, GDK_KEY_F1, false);
    uitest::SendKey(content, GDK_KEY_x, true);
    uitest::SendKey(content, GDK_KEY_x, false);
    // Ctrl down, Ctrl+A, Ctrl up, F1, x; the handler took them all, so EvChar saw only "x".
    EXPECT_EQ(keys.downs, (std::vector<uint32_t> { LKey::kCommand, 0x10041u, 0x7A000000u, 'X' }));
    EXPECT_EQ(keys.ups, std::vector<uint32_t> { LKey::kCommand });
    EXPECT_EQ(keys.chars, "x");
    keys.DestroyKeyHandler();
    w.DestroyCommon();
}

TEST_F(KeyTest, RealTypingReachesTheHandler)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    Window w;
    w.CreateCocoaWindow(200, 100, kLUiWindowTitled, false, nullptr);
    Keys keys;
    keys.take = true;
    keys.KeyHandlerInit(w);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    ASSERT_TRUE(w.GetNativeWindow()->MakeFirstResponder(w.GetContentView()));
    std::string xid = std::to_string(w.GetNativeWindow()->XWindowId());
    uitest::Run("xdotool windowfocus " + xid + " >/dev/null 2>&1");
    ASSERT_TRUE(uitest::PumpUntil([&] { return w.GetNativeWindow()->IsKey(); }, 2000));
    uitest::Run("xdotool key --clearmodifiers ctrl+a F1 shift+ctrl+1 >/dev/null 2>&1");
    uitest::PumpUntil(
        [&] {
            return std::find(
                       keys.downs.begin(), keys.downs.end(), LKey::kCommand | LKey::kShift | '1')
                != keys.downs.end();
        },
        2000);
    for (uint32_t code : { 0x10041u, 0x7A000000u, LKey::kCommand | LKey::kShift | '1' })
        EXPECT_NE(std::find(keys.downs.begin(), keys.downs.end(), code), keys.downs.end())
            << std::hex << code;
    EXPECT_EQ(keys.chars, "");
    keys.DestroyKeyHandler();
    w.DestroyCommon();
}

TEST_F(KeyTest, AChangedLayoutIsAskedAgain)
{
    ASSERT_NE(LKey::GetUCKeyboardLayout(), nullptr);
    LUiKeymapNotifyChanged(); // as the display's keys-changed signal does
    EXPECT_NE(LKey::GetUCKeyboardLayout(), nullptr);
    EXPECT_EQ(Describe(LKey(LKey::kCommand | LKey::kShift | '1')), "Ctrl+!");
    EXPECT_NE(LKey::CharToKeyCode('A', LKey::GetUCKeyboardLayout()), 0u);
    EXPECT_EQ(LKey::CharToKeyCode(0x4E2D, LKey::GetUCKeyboardLayout()), 0u); // not on the layout
    EXPECT_EQ(LKey::CharToKeyCode('A', nullptr), 0u);
}
