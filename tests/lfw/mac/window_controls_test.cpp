// Controls by id on real windows: buttons and the button row, clicks and keys, text fields and
// their formatters, contents and measuring.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gen/LString.h"
#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/LGuiFont.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaButtonImpl.h"
#include "lfw/mac/cocoa/LCocoaInputUpDownImpl.h"
#include "lfw/mac/cocoa/LCocoaTextField.h"
#include "lfw/mac/cocoa/LCocoaTooltipImpl.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "platform/ui/UI.h"
#include "support/Screenshot.h"
#include "support/UiTestSupport.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace {

int Scale()
{
    const char* s = getenv("GDK_SCALE");
    return s && atoi(s) > 1 ? atoi(s) : 1;
}

int R(double v)
{
    return int(v + 0.5);
}

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable;

struct ControlWindow : LMacWindow {
    std::function<void(ControlWindow&)> onInit;
    std::function<void(ControlWindow&, int)> onCommand;
    std::vector<std::pair<int, int>> commands;
    int enables = 0;
    void InitDialog() override
    {
        if (onInit)
            onInit(*this);
    }
    void EnableControls() override { ++enables; }
    void Command(int id, int code) override
    {
        commands.emplace_back(id, code);
        if (onCommand)
            onCommand(*this, id);
        LMacWindow::Command(id, code);
    }
    int Count(int id) const
    {
        return int(std::count_if(commands.begin(), commands.end(),
            [id](const std::pair<int, int>& c) { return c.first == id; }));
    }
};

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
};

// The window gets the keyboard (other tests' windows may hold it); false when it does not.
bool TakeKeyboard(LNativeWindow* window)
{
    if (!uitest::HaveXdotool())
        return false;
    window->MakeKeyAndOrderFront();
    uitest::Run("xdotool windowfocus " + std::to_string(window->XWindowId()) + " 2>/dev/null");
    return uitest::PumpUntil([&] { return window->IsKey(); }, 2000);
}

// Gives å, ä and ö keys of their own (unused key codes), so that typing them needs no
// remapping while the key is pressed (which GTK may read after the mapping is gone again).
void MapSwedishKeys()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    uitest::Run(
        "python3 -c '"
        "import ctypes\n"
        "x = ctypes.cdll.LoadLibrary(\"libX11.so.6\")\n"
        "x.XOpenDisplay.restype = ctypes.c_void_p\n"
        "d = ctypes.c_void_p(x.XOpenDisplay(None))\n"
        "for code, sym in ((120, 0xe5), (149, 0xe4), (154, 0xf6)):\n"
        "    x.XChangeKeyboardMapping(d, code, 2, (ctypes.c_ulong * 2)(sym, sym - 0x20), 1)\n"
        "x.XSync(d, 0)\n"
        "x.XCloseDisplay(d)\n' 2>/dev/null");
    uitest::Pump(100);
}

void Type(const std::string& text)
{
    MapSwedishKeys();
    uitest::Run("xdotool type --delay 30 '" + text + "'");
    uitest::Pump(100);
}

// A screenshot's pixels (RGB), read back through ImageMagick.
struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    bool Load(const std::string& png)
    {
        if (png.empty())
            return false;
        std::string raw = png + ".rgb";
        int status = 0;
        std::string size = uitest::Run("identify -format '%w %h' '" + png + "'", &status);
        if (status != 0 || sscanf(size.c_str(), "%d %d", &width, &height) != 2)
            return false;
        uitest::Run("/usr/bin/convert '" + png + "' -depth 8 rgb:'" + raw + "'", &status);
        std::ifstream in(raw, std::ios::binary);
        rgb.assign(std::istreambuf_iterator<char>(in), {});
        return status == 0 && int(rgb.size()) == width * height * 3;
    }
    const unsigned char* At(int x, int y) const { return &rgb[size_t((y * width + x) * 3)]; }
    bool Differs(int x, int y, const unsigned char* bg) const
    {
        const unsigned char* p = At(x, y);
        return std::abs(p[0] - bg[0]) + std::abs(p[1] - bg[1]) + std::abs(p[2] - bg[2]) > 24;
    }
};

} // namespace

TEST_F(ControlsTest, TheButtonRowLiesWhereItShould)
{
    int s = Scale();
    ControlWindow w;
    w.onInit = [](ControlWindow& self) {
        self.AddOkCancelHelp();
        self.LayoutOkCancelHelp(0, 0, 400, 200);
    };
    w.CreateCocoaWindow(400, 200, kStyle, false, nullptr);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    double ch = w.CharHeightPixels(), cw = w.CharWidthPixels();
    int bh = R(ch * 1.23);
    int top = 200 - bh - R(0.94 * ch);
    int okRight = 400 - R(2 * cw);
    char title[260];
    w.GetButtonText(kLCmdCancel, title);
    EXPECT_STREQ(title, "Avbryt");

    // The frames carry the push buttons' inset: 6 points each side, 1 above, 2 below.
    int x, y, fw, fh;
    w.GetControlPixels(kLCmdOk, x, y, fw, fh);
    int okWidth = fw - 12 * s;
    EXPECT_GE(okWidth, int(96 * s));
    EXPECT_EQ(x + 6 * s + okWidth, okRight);
    EXPECT_EQ(y + s, top);
    EXPECT_EQ(fh - 3 * s, bh);
    w.GetControlPixels(kLCmdCancel, x, y, fw, fh);
    EXPECT_EQ(x + fw - 6 * s, okRight - okWidth - R(cw * 1.25));
    EXPECT_GE(fw - 12 * s, int(96 * s));
    w.GetControlPixels(kLCmdHelp, x, y, fw, fh);
    EXPECT_EQ(x + 6 * s, R(2 * cw));
    EXPECT_EQ(fw - 12 * s, bh);

    // The visible edges in the picture, within a pixel: the row laid out again over the whole
    // window, where the buttons do not overlap at either scale.
    int width = 400 * s, height = 200 * s;
    w.SizeWindowPixels(width, height);
    w.LayoutOkCancelHelp(0, 0, width, height);
    top = height - bh - R(0.94 * ch);
    okRight = width - R(2 * cw);
    w.GetControlPixels(kLCmdOk, x, y, fw, fh);
    okWidth = fw - 12 * s;
    int cancelRight = okRight - okWidth - R(cw * 1.25);
    Picture pic;
    if (pic.Load(uitest::Screenshot(w.GetNativeWindow(), "button-row"))) {
        int row = top + bh / 2;
        const unsigned char* bg = pic.At(R(2 * cw) + bh + 20 * s, row);
        auto edgeFromRight = [&](int from) {
            for (int px = from; px > 0; --px)
                if (pic.Differs(px, row, bg))
                    return px + 1;
            return -1;
        };
        auto edgeFromLeft = [&](int from) {
            for (int px = from; px < pic.width; ++px)
                if (pic.Differs(px, row, bg))
                    return px;
            return -1;
        };
        EXPECT_NEAR(edgeFromRight(okRight + 4 * s), okRight, 1);
        EXPECT_NEAR(edgeFromLeft(okRight - okWidth - 4 * s), okRight - okWidth, 1);
        EXPECT_NEAR(edgeFromRight(cancelRight + 4 * s), cancelRight, 1);
        EXPECT_NEAR(edgeFromLeft(R(2 * cw) - 4 * s), R(2 * cw), 1);
        int column = okRight - okWidth / 2;
        bg = pic.At(column, top - 6 * s);
        int edge = -1;
        for (int py = top - 4 * s; py < height && edge < 0; ++py)
            if (pic.Differs(column, py, bg))
                edge = py;
        EXPECT_NEAR(edge, top, 1);
    }

    // A long OK title widens OK beyond the minimum.
    w.SetButtonText(kLCmdOk, "Spara alla ändringar och stäng fönstret");
    w.LayoutOkCancelHelp(0, 0, width, height);
    w.GetControlPixels(kLCmdOk, x, y, fw, fh);
    EXPECT_GT(fw - 12 * s, int(96 * s) + 40 * s);
    EXPECT_EQ(x + fw - 6 * s, okRight);
    EXPECT_EQ(w.MeasureButtonWidthPixels(kLCmdOk), fw - 12 * s);
    EXPECT_GT(w.MeasureButtonWidthPixels("Ett längre namn"), w.MeasureButtonWidthPixels("OK"));
    EXPECT_EQ(w.GetCommandButtonWidthPixels(), 100 * s);
    w.Close();
}

// Layouts measure the same titles again at every resize; the widths they get match a button that
// shows the title, and follow the font setting when it changes.
TEST_F(ControlsTest, MeasuredButtonWidthsFollowTheFontSetting)
{
    ControlWindow w;
    w.onInit = [](ControlWindow& self) { self.AddOkCancel("OK"); };
    w.CreateCocoaWindow(400, 200, kStyle, false, nullptr);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    const char* title = "Bläddra i bild som bakgrund";
    w.SetButtonText(kLCmdOk, title);
    const int shown = w.MeasureButtonWidthPixels(kLCmdOk);
    const int first = w.MeasureButtonWidthPixels(title);
    EXPECT_EQ(w.MeasureButtonWidthPixels(title), first);
    EXPECT_NEAR(first, shown, 2 * Scale());

    GtkSettings* settings = gtk_settings_get_default();
    ASSERT_NE(settings, nullptr);
    gchar* font = nullptr;
    g_object_get(settings, "gtk-font-name", &font, nullptr);
    const std::string before = font ? font : "Sans 10";
    g_free(font);
    g_object_set(settings, "gtk-font-name", "Sans 24", nullptr);
    const int large = w.MeasureButtonWidthPixels(title);
    EXPECT_GT(large, first + 40 * Scale());
    g_object_set(settings, "gtk-font-name", before.c_str(), nullptr);
    EXPECT_EQ(w.MeasureButtonWidthPixels(title), first);
    w.Close();
}

TEST_F(ControlsTest, ClickingOkEndsTheModalLoopWithTrue)
{
    ControlWindow w;
    int enablesAtOk = -1;
    w.onInit = [](ControlWindow& self) {
        self.AddOkCancel("OK");
        self.LayoutOkCancelHelp(0, 0, 300, 120);
    };
    w.onCommand = [&](ControlWindow& self, int id) {
        if (id == kLCmdOk)
            enablesAtOk = self.enables;
    };
    w.CreateCocoaWindow(300 * Scale(), 120 * Scale(), kStyle, false, nullptr);
    bool clicked = false;
    LRunLoop::Post([&] {
        ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
        int x, y, fw, fh;
        w.GetControlPixels(kLCmdOk, x, y, fw, fh);
        double s = Scale();
        clicked = uitest::HaveXdotool()
            && uitest::XClick(w.GetNativeWindow(), (x + fw / 2) / s, (y + fh / 2) / s);
        if (!clicked)
            w.Command(kLCmdOk, 0);
    });
    EXPECT_TRUE(w.RunModal(nullptr, kLCocoaDialogCenterNone));
    EXPECT_EQ(w.Count(kLCmdOk), 1);
    EXPECT_GE(enablesAtOk, 0);
    EXPECT_EQ(w.GetContentView(), nullptr);
}

TEST_F(ControlsTest, ReturnInAnInputIsOkEscapeIsCancel)
{
    for (bool escape : { false, true }) {
        ControlWindow w;
        LView* input = nullptr;
        w.onInit = [&](ControlWindow& self) {
            input = self.AddInput(30, LInputFlags {}, 10, 10, 200);
            self.AddOkCancel("OK");
            self.LayoutOkCancelHelp(0, 0, 300 * Scale(), 120 * Scale());
        };
        w.CreateCocoaWindow(300 * Scale(), 120 * Scale(), kStyle, false, nullptr);
        LRunLoop::Post([&] {
            uitest::ShowAndWait(w.GetNativeWindow());
            w.SetFocus(30);
            EXPECT_TRUE(w.IsControlFocus(30));
            uitest::SendKey(input, escape ? GDK_KEY_Escape : GDK_KEY_Return, true);
            uitest::SendKey(input, escape ? GDK_KEY_Escape : GDK_KEY_Return, false);
        });
        EXPECT_EQ(w.RunModal(nullptr, kLCocoaDialogCenterNone), !escape);
        EXPECT_EQ(w.Count(escape ? kLCmdCancel : kLCmdOk), 1);
    }
}

TEST_F(ControlsTest, ButtonsSendTheirCommandsInOrder)
{
    int s = Scale();
    ControlWindow w;
    std::vector<bool> seenStates;
    w.onInit = [&](ControlWindow& self) {
        self.AddPushButton(40, "Tryck", 10, 10, 90, 21);
        self.AddCheckBox(41, "Ruta", 10, 40, 120, 20);
        self.AddRadioButton(42, "Ett", 150, 10, 100, 20);
        self.AddRadioButton(43, "Två", 150, 40, 100, 20);
        LButtonFlags toggle;
        toggle.checkButton = true;
        self.AddButton(44, "Växla", toggle, 10, 70, 90, 24);
    };
    w.onCommand = [&](ControlWindow& self, int id) {
        if (id == 41 || id == 42 || id == 43 || id == 44)
            seenStates.push_back(self.GetCheck(id));
    };
    w.CreateCocoaWindow(300 * s, 110 * s, kStyle, false, nullptr);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    auto* push = dynamic_cast<LCocoaButtonImpl*>(w.GetControlHandle(40));
    ASSERT_NE(push, nullptr);
    EXPECT_TRUE(push->isTypePushButton());
    w.commands.clear();

    // A disabled button sends nothing, also when clicked by code.
    w.EnableControl(40, false);
    push->performClick();
    push->handleClick();
    EXPECT_EQ(w.Count(40), 0);
    w.EnableControl(40, true);
    push->performClick();
    EXPECT_EQ(w.Count(40), 1);

    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    // The down command before the up command.
    push->setCommandDown(777);
    w.commands.clear();
    ASSERT_TRUE(uitest::XClick(w.GetNativeWindow(), 55, 20));
    ASSERT_TRUE(uitest::PumpUntil([&] { return w.Count(40) == 1; }));
    ASSERT_EQ(w.commands.size(), 2u);
    EXPECT_EQ(w.commands[0], std::make_pair(777, 0));
    EXPECT_EQ(w.commands[1], std::make_pair(40, 0));
    // setCommandUp -1 keeps the up command; a new one replaces it.
    push->setCommandUp(-1);
    push->setCommandUp(555);
    push->performClick();
    EXPECT_EQ(w.commands.back(), std::make_pair(555, 0));

    // The handlers read the new state.
    seenStates.clear();
    ASSERT_TRUE(uitest::XClick(w.GetNativeWindow(), 18, 50));
    ASSERT_TRUE(uitest::PumpUntil([&] { return w.Count(41) == 1; }));
    EXPECT_EQ(seenStates, std::vector<bool> { true });
    EXPECT_TRUE(w.GetCheck(41));
    seenStates.clear();
    w.SetRadioCheck(42, true);
    EXPECT_EQ(w.Count(42), 0); // set by code: no command
    ASSERT_TRUE(uitest::XClick(w.GetNativeWindow(), 158, 50));
    ASSERT_TRUE(uitest::PumpUntil([&] { return w.Count(43) == 1; }));
    EXPECT_EQ(w.Count(42), 0); // the one turned off sends nothing
    EXPECT_EQ(seenStates, std::vector<bool> { true });
    EXPECT_TRUE(w.GetRadioCheck(43));
    EXPECT_FALSE(w.GetRadioCheck(42));

    // A check button's text turns blue while it is on.
    ASSERT_TRUE(uitest::XClick(w.GetNativeWindow(), 55, 82));
    ASSERT_TRUE(uitest::PumpUntil([&] { return w.Count(44) == 1; }));
    EXPECT_TRUE(w.GetCheck(44));
    EXPECT_TRUE(dynamic_cast<LCocoaButtonImpl*>(w.GetControlHandle(44))->isTypeCheckButton());
    Picture pic;
    if (pic.Load(uitest::Screenshot(w.GetNativeWindow(), "buttons"))) {
        int blue = 0;
        for (int py = 70 * s; py < 94 * s; ++py)
            for (int px = 10 * s; px < 100 * s; ++px) {
                const unsigned char* p = pic.At(px, py);
                blue += p[2] > 150 && p[0] < 90 && p[1] < 90;
            }
        EXPECT_GT(blue, 5);
    }
    w.SetCheck(44, false);
    EXPECT_FALSE(w.GetCheck(44));
    w.Close();
}

TEST_F(ControlsTest, AWindowClosedByItsOwnCommand)
{
    for (int round = 0; round < 2; ++round) {
        auto* w = new ControlWindow;
        w->onInit = [&](ControlWindow& self) {
            self.AddPushButton(50, "Stäng", 10, 10, 90, 21);
            self.AddInput(51, LInputFlags {}, 10, 40, 100);
            self.HandleEditTextChange(51, 52);
        };
        w->onCommand = [](ControlWindow& self, int id) {
            if (id == 50 || id == 52)
                self.Close();
        };
        w->CreateCocoaWindow(200, 80, kStyle, false, nullptr);
        w->InitCommon(kLCocoaDialogCenterNone, true);
        uitest::ShowAndWait(w->GetNativeWindow());
        w->BubbleTipShow(w->GetBubbleTip(), 50, "Tips", 0, nullptr);
        if (round == 0)
            dynamic_cast<LCocoaButtonImpl*>(w->GetControlHandle(50))->performClick();
        else
            w->SetText(51, "x");
        EXPECT_EQ(w->GetContentView(), nullptr);
        uitest::Pump(30);
        delete w;
    }
}

TEST_F(ControlsTest, TypingIntoInputs)
{
    int s = Scale();
    ControlWindow w;
    std::vector<std::string> changedNotes;
    w.onInit = [&](ControlWindow& self) {
        self.AddInput(60, LInputFlags {}, 10, 10, 200);
        self.HandleEditTextChange(60, 600);
        self.HandleEditTextFocusLost(60, 601);
        self.AddInput(61, LInputFlags {}, 10, 40, 200);
        LInputFlags password;
        password.password = true;
        self.AddInput(62, password, 10, 70, 200);
        self.TextPromptSet(61, "Skriv här");
    };
    w.CreateCocoaWindow(240 * s, 100 * s, kStyle, false, nullptr);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    uintptr_t token = LCocoaAddNotificationObserver(
        kLCocoaTextInputChanged,
        [](const char*, LView* object, void* data) {
            static_cast<std::vector<std::string>*>(data)->push_back(
                dynamic_cast<LCocoaTextFieldImpl*>(object)->stringValue());
        },
        &changedNotes);

    // Set by code: exactly one command and one notification.
    w.commands.clear();
    w.SetText(60, "start");
    EXPECT_EQ(w.Count(600), 1);
    EXPECT_EQ(changedNotes, std::vector<std::string> { "start" });
    w.SetText(60, "");
    w.commands.clear();

    // Typing needs the keyboard, which other tests' new windows may take at any moment: the
    // typing runs again when the window lost it meanwhile.
    uitest::KeyboardLock lock;
    struct Result {
        int changes = 0, ids = 0, passwordCommands = 0, focusLost = 0;
        std::string typed, plain, password, undone;
    } r;
    bool stayedKey = false;
    for (int attempt = 0; attempt < 4 && !stayedKey; ++attempt) {
        if (!TakeKeyboard(w.GetNativeWindow()))
            continue;
        r = Result {};
        w.SetFocus(62);
        w.SetText(60, "");
        w.SetText(61, "");
        w.SetText(62, "");
        w.SetFocus(60);
        w.commands.clear();
        Type("åäö");
        // Editing begins, then one per key.
        uitest::PumpUntil([&] { return w.Count(600) >= 4; }, 1500);
        r.changes = w.Count(600);
        char buf[260];
        w.GetText(60, buf, sizeof buf);
        r.typed = buf;
        // Unregistered: the control id; a password field: nothing.
        w.SetFocus(61);
        r.focusLost = w.Count(601); // leaving sends focus-lost
        Type("ab");
        uitest::PumpUntil([&] { return w.Count(61) >= 2; }, 1500);
        r.ids = w.Count(61);
        w.GetText(61, buf, sizeof buf);
        r.plain = buf;
        w.SetFocus(62);
        w.commands.clear();
        Type("hemligt");
        w.GetText(62, buf, sizeof buf);
        r.password = buf;
        r.passwordCommands = w.Count(62);
        // Its own undo stack.
        w.SetFocus(61);
        uitest::SendKey(w.GetControlHandle(61), GDK_KEY_z, true, GDK_CONTROL_MASK);
        uitest::Pump(50);
        w.GetText(61, buf, sizeof buf);
        r.undone = buf;
        stayedKey = w.GetNativeWindow()->IsKey() && r.typed == "åäö" && r.plain == "ab";
    }
    if (stayedKey) {
        EXPECT_EQ(r.changes, 4);
        EXPECT_EQ(r.typed, "åäö");
        EXPECT_EQ(r.typed.size(), 6u);
        EXPECT_EQ(r.focusLost, 1);
        EXPECT_EQ(r.ids, 2);
        EXPECT_EQ(r.password, "hemligt");
        EXPECT_EQ(r.passwordCommands, 0);
        EXPECT_EQ(r.undone, "a");
        uitest::Screenshot(w.GetNativeWindow(), "inputs");
    }
    LCocoaRemoveNotificationObserver(token);
    w.Close();
}

TEST_F(ControlsTest, NumericAndLimitedInputs)
{
    int s = Scale();
    ControlWindow w;
    w.onInit = [&](ControlWindow& self) {
        LInputFlags numeric;
        numeric.numbersOnly = true;
        self.AddInput(70, numeric, 10, 10, 120);
        self.AddInput(71, LInputFlags {}, 10, 40, 120);
    };
    w.CreateCocoaWindow(240 * s, 140 * s, kStyle, false, nullptr);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    auto* limited = dynamic_cast<LCocoaTextInputImpl*>(w.GetControlHandle(71));
    limited->setMaximumTextLength(3);
    GtkEditable* numericEntry = GTK_EDITABLE(w.GetControlHandle(70)->Widget());
    GtkEditable* limitedEntry = GTK_EDITABLE(limited->Widget());
    char buf[260];
    BubbleTip& tip = w.GetBubbleTip();

    // The edits as GTK makes them (typing and pasting insert text at the cursor).
    auto insert = [](GtkEditable* e, const char* text) {
        gint pos = gint(g_utf8_strlen(gtk_entry_get_text(GTK_ENTRY(e)), -1));
        gtk_editable_insert_text(e, text, -1, &pos);
    };
    insert(numericEntry, "12");
    insert(numericEntry, "a");
    w.GetText(70, buf, sizeof buf);
    EXPECT_STREQ(buf, "12");
    // The bubble comes after the current event.
    uitest::Pump(50);
    EXPECT_EQ(tip.tip->text(), "Du kan bara skriva ett nummer här.");
    EXPECT_EQ(tip.tip->getTooltipPlace(), 1); // below, arrow up
    if (w.GetNativeWindow()->IsKey()) {
        EXPECT_EQ(tip.control, w.GetControlHandle(70));
        LUiRect f = tip.tip->frame();
        uitest::ScreenshotArea(int(f.x * s) - 10, int(f.y * s) - 40 * s, int(f.width * s) + 20,
            int(f.height * s) + 50 * s, "numeric-bubble");
    }
    gtk_editable_delete_text(numericEntry, 1, 2);
    w.GetText(70, buf, sizeof buf);
    EXPECT_STREQ(buf, "1");
    // The last digit may go too: an empty field is on the way to another number.
    gtk_editable_delete_text(numericEntry, 0, 1);
    w.GetText(70, buf, sizeof buf);
    EXPECT_STREQ(buf, "");
    insert(numericEntry, "1");
    // A megabyte pasted: refused whole.
    std::string big(1 << 20, '7');
    big += "x";
    insert(numericEntry, big.c_str());
    w.GetText(70, buf, sizeof buf);
    EXPECT_STREQ(buf, "1");
    // Text set by code is not judged.
    w.SetText(70, "abc");
    w.GetText(70, buf, sizeof buf);
    EXPECT_STREQ(buf, "abc");

    insert(limitedEntry, "abcd");
    insert(limitedEntry, "ab");
    insert(limitedEntry, "x");
    w.GetText(71, buf, sizeof buf);
    EXPECT_STREQ(buf, "abx");
    insert(limitedEntry, "y");
    w.GetText(71, buf, sizeof buf);
    EXPECT_STREQ(buf, "abx");
    w.SetText(71, "");
    insert(limitedEntry, "a😀"); // the emoji counts two
    insert(limitedEntry, "b");
    w.GetText(71, buf, sizeof buf);
    EXPECT_STREQ(buf, "a😀");
    w.Close();
}

TEST_F(ControlsTest, TypingOverASelectionInWholeNumberFields)
{
    int s = Scale();
    ControlWindow w;
    w.onInit = [&](ControlWindow& self) {
        LInputFlags numeric;
        numeric.numbersOnly = true;
        self.AddInput(72, numeric, 10, 10, 120);
        self.AddInputUpDown(73, LInputFlags {}, 10, 40, 120);
        self.UDInit(73, 0, 100, 1); // whole numbers
    };
    w.CreateCocoaWindow(240 * s, 100 * s, kStyle, false, nullptr);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    char buf[260];

    // The user selects the whole text and types a new number over it: GTK deletes the
    // selection (an empty text for a moment) before it inserts the key's text.
    uitest::KeyboardLock lock;
    std::string input, upDown;
    bool stayedKey = false;
    for (int attempt = 0; attempt < 4 && !stayedKey; ++attempt) {
        if (!TakeKeyboard(w.GetNativeWindow()))
            continue;
        w.SetText(72, "12");
        w.UDSetInt(73, 5);
        w.SetFocus(72);
        gtk_editable_select_region(GTK_EDITABLE(w.GetControlHandle(72)->Widget()), 0, -1);
        Type("7");
        w.GetText(72, buf, sizeof buf);
        input = buf;
        w.SetFocus(74);
        gtk_editable_select_region(GTK_EDITABLE(w.GetControlHandle(74)->Widget()), 0, -1);
        Type("42");
        w.GetText(74, buf, sizeof buf);
        upDown = buf;
        stayedKey = w.GetNativeWindow()->IsKey();
    }
    if (!stayedKey)
        GTEST_SKIP() << "the window did not keep the keyboard";
    EXPECT_EQ(input, "7");
    EXPECT_EQ(upDown, "42");
    EXPECT_EQ(w.UDGetInt(73), 42);
    // Letters stay refused.
    Type("x");
    w.GetText(74, buf, sizeof buf);
    EXPECT_STREQ(buf, "42");
    w.Close();
}

TEST(Formatters, NumbersLengthsAndFilters)
{
    LNumberValueFormatter n;
    std::string error;
    EXPECT_TRUE(n.isPartialStringValid("12", &error));
    EXPECT_TRUE(n.isPartialStringValid("-5", &error));
    EXPECT_TRUE(n.isPartialStringValid(" 12", &error));
    EXPECT_TRUE(error.empty());
    EXPECT_FALSE(n.isPartialStringValid("-", &error));
    EXPECT_EQ(error, "Du kan bara skriva ett nummer här.");
    EXPECT_TRUE(n.isPartialStringValid("", nullptr)); // on the way to a number
    EXPECT_FALSE(n.isPartialStringValid(" ", nullptr));
    EXPECT_FALSE(n.isPartialStringValid("12a", nullptr));
    EXPECT_FALSE(n.isPartialStringValid("1 2", nullptr));
    n.setDecimalFormat(true);
    for (const char* t : { "", "abc", "3,5", "-" })
        EXPECT_TRUE(n.isPartialStringValid(t, nullptr)) << t;
    n.setMaximumTextLength(3);
    EXPECT_FALSE(n.isPartialStringValid("1234", nullptr));

    LCocoaTextFieldFormatter f;
    EXPECT_TRUE(f.isPartialStringValid(std::string(100000, 'a'), nullptr)); // 0: unlimited
    f.setMaximumTextLength(3);
    EXPECT_TRUE(f.isPartialStringValid("åäö", nullptr));
    EXPECT_FALSE(f.isPartialStringValid("abcd", nullptr));
    EXPECT_FALSE(f.isPartialStringValid("ab😀", nullptr));
    EXPECT_EQ(LCocoaUtf16Length("a😀é"), 4u);

    LEditControlFormatter e;
    EXPECT_FALSE(e.isPartialStringValid("", nullptr)); // no filter: refuses everything
    e.setFilterFunction([](const char* t) { return strchr(t, 'x') == nullptr; });
    EXPECT_TRUE(e.isPartialStringValid("abc", nullptr));
    EXPECT_FALSE(e.isPartialStringValid("axc", nullptr));
}

TEST_F(ControlsTest, IdsResolveInOrder)
{
    ControlWindow host;
    host.CreateCocoaWindow(300, 200, kStyle, false, nullptr);
    LView* first = host.AddStatic(80, "Först");
    host.AddButton(80, "Sedan");
    EXPECT_EQ(host.GetControlHandle(80), first);
    host.AddRadioButton(81, "Ett");
    EXPECT_NE(dynamic_cast<LCocoaButtonImpl*>(host.GetControlHandle(81)), nullptr);
    // A new group: radio buttons in different groups do not turn each other off.
    LView* group1 = host.GetControlHandle(81)->Superview();
    host.AddRadioButtonGroup();
    host.AddRadioButton(82, "Två");
    EXPECT_NE(host.GetControlHandle(82)->Superview(), group1);
    host.SetRadioCheck(81, true);
    dynamic_cast<LCocoaButtonImpl*>(host.GetControlHandle(82))->performClick();
    EXPECT_TRUE(host.GetRadioCheck(81));
    EXPECT_TRUE(host.GetRadioCheck(82));
    host.AddRadioButton(83, "Tre");
    dynamic_cast<LCocoaButtonImpl*>(host.GetControlHandle(83))->performClick();
    EXPECT_FALSE(host.GetRadioCheck(82));
    EXPECT_EQ(host.GetControlHandle(-5), nullptr);

    // An embedded window finds a host control when it has none of that id.
    ControlWindow page;
    LView* content = page.CreateEmbeddedWindow(host, false, false);
    page.SetContentView(content);
    page.AddStatic(90, "Egen");
    EXPECT_EQ(page.GetControlHandle(80), first);
    EXPECT_NE(page.GetControlHandle(90), nullptr);
    EXPECT_EQ(host.GetControlHandle(90), nullptr);
    EXPECT_EQ(LMacWindow::GetControlParent(page.GetControlHandle(90)), &page);
    page.DestroyCommon();
    host.DestroyCommon();
}

TEST_F(ControlsTest, ContentsAndBadInput)
{
    ControlWindow w;
    w.CreateCocoaWindow(300, 200, kStyle, false, nullptr);
    w.AddStatic(100, "Etikett");
    w.AddInput(101, LInputFlags {});
    w.AddCheckBox(102, "Ruta");
    char buf[260] = "x";
    // Unknown ids and ids of other kinds.
    EXPECT_EQ(w.GetText(999, buf, sizeof buf), nullptr);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(w.GetText(102, buf, sizeof buf), nullptr);
    w.SetText(999, "x");
    w.SetStaticText(101, "x");
    EXPECT_FALSE(w.GetCheck(100));
    EXPECT_EQ(w.MeasureTextWidth(999), 0);
    w.GetButtonText(100, buf);
    EXPECT_STREQ(buf, "");
    // Null texts and buffers, size 0.
    w.SetText(101, nullptr);
    w.SetStaticText(100, nullptr);
    w.GetStaticText(100, nullptr);
    char untouched = 'q';
    w.GetText(101, &untouched, 0);
    EXPECT_EQ(untouched, 'q');
    EXPECT_EQ(w.GetText(101, nullptr, 10), buf == nullptr ? nullptr : w.GetText(101, nullptr, 10));
    // Invalid UTF-8 is shown with U+FFFD.
    w.SetText(101, "a\xc3(b");
    w.GetText(101, buf, sizeof buf);
    EXPECT_STREQ(buf, "a\xEF\xBF\xBD(b");
    // Cut at a whole character.
    w.SetText(101, "ååå");
    w.GetText(101, buf, 4);
    EXPECT_STREQ(buf, "å");
    // A megabyte: the input holds less than 64 KiB, cut at a whole character.
    std::string big;
    while (big.size() < (1u << 20))
        big += "åx";
    w.SetText(101, big.c_str());
    LStringLongTemplate<char> longText;
    w.GetText(101, longText);
    EXPECT_LT(strlen(longText.c_str()), 65536u);
    EXPECT_TRUE(g_utf8_validate(longText.c_str(), -1, nullptr));
    w.SetStaticText(100, big.c_str());
    w.GetStaticText(100, buf);
    EXPECT_LE(strlen(buf), 259u);
    EXPECT_TRUE(g_utf8_validate(buf, -1, nullptr));
    char title[300];
    std::string longTitle(300, 'b');
    w.SetButtonText(102, longTitle.c_str());
    w.GetButtonText(102, title);
    EXPECT_EQ(strlen(title), 259u);
    w.DestroyCommon();
}

TEST_F(ControlsTest, Measuring)
{
    double s = Scale();
    ControlWindow w;
    w.CreateCocoaWindow(300, 200, kStyle, false, nullptr);
    double p = LUiSystemFontSize();
    double third = std::floor(p / 3);
    EXPECT_EQ(w.MeasureTextHeight("Hej", 400), int(std::ceil(s * (p + 2 * third) - 1e-9)));
    int wide = w.MeasureStaticTextWidthPixels("Ett två");
    int one = w.MeasureStaticTextWidthPixels("Ett");
    EXPECT_GT(wide, one);
    // At a width between the two: two lines.
    EXPECT_EQ(w.MeasureTextHeight("Ett två", (one + wide) / 2),
        int(std::ceil(s * (2 * p + 3 * third) - 1e-9)));
    EXPECT_EQ(w.MeasureTextHeight("", 100), 0);
    EXPECT_GT(w.MeasureTextHeight("abc", 0), 0);
    EXPECT_GT(w.MeasureTextHeight("abc", -40), 0);
    w.AddStatic(110, "Namn:");
    EXPECT_EQ(w.MeasureStaticTextWidthPixels(110), w.MeasureStaticTextWidthPixels("Namn:"));
    EXPECT_EQ(w.MeasureStaticTextHeightPixels(110, 400), w.MeasureTextHeight("Namn:", 400));
    w.AddCheckBox(111, "Ruta");
    EXPECT_EQ(w.MeasureCheckBoxWidthPixels(111),
        w.MeasureStaticTextWidthPixels("Ruta") + R(w.CharWidthPixels() * 3));

    // Trimming.
    char text[260] = "Kort";
    LRectangle roomy(0, 0, 400, 100);
    w.TrimTextToRect(text, roomy, 110, false);
    EXPECT_STREQ(text, "Kort");
    snprintf(text, sizeof text, "%s", "En mycket lång text som inte får plats åäö åäö åäö");
    int dots = w.MeasureStaticTextWidthPixels("...");
    LRectangle narrow(0, 0, dots * 4, 20);
    w.TrimTextToRect(text, narrow, 110, false);
    std::string trimmed = text;
    ASSERT_GE(trimmed.size(), 3u);
    EXPECT_EQ(trimmed.substr(trimmed.size() - 3), "...");
    EXPECT_LE(w.MeasureStaticTextWidthPixels(text), narrow.GetWidth());
    EXPECT_TRUE(g_utf8_validate(text, -1, nullptr));
    snprintf(text, sizeof text, "%s", "Ingenting får plats");
    LRectangle tiny(0, 0, 2, 2);
    w.TrimTextToRect(text, tiny, 110, false);
    EXPECT_STREQ(text, "Ingenting får plats");
    w.DestroyCommon();
}

TEST_F(ControlsTest, ARefusedEditOfAClosedWindowShowsNoTip)
{
    auto* w = new ControlWindow;
    LInputFlags numeric;
    numeric.numbersOnly = true;
    w->onInit = [&](ControlWindow& self) { self.AddInput(120, numeric, 10, 10, 100); };
    w->CreateCocoaWindow(200, 80, kStyle, false, nullptr);
    w->InitCommon(kLCocoaDialogCenterNone, true);
    uitest::ShowAndWait(w->GetNativeWindow());
    LUiRef<LView> field(w->GetControlHandle(120));
    gint pos = 0;
    gtk_editable_insert_text(GTK_EDITABLE(field->Widget()), "x", -1, &pos);
    // Closed and gone before the tip's turn comes.
    w->Close();
    delete w;
    uitest::Pump(50);
    SUCCEED();
}

TEST_F(ControlsTest, ControlFontsInBackingPixels)
{
    int s = Scale();
    ControlWindow w;
    w.CreateCocoaWindow(200, 80, kStyle, false, nullptr);
    w.GetNativeWindow()->OrderFront();
    uitest::PumpUntil([&] { return w.GetContentView()->ExistingWidget() != nullptr; });
    LView* label = w.AddStatic(130, "Text");
    LGuiFont font;
    LMacWindow::GetControlFont(label, font);
    EXPECT_EQ(font.GetSize(), int(s * LUiSystemFontSize()));
    LGuiFont bigger(20 * s, true, true, false, "DejaVu Sans", false);
    LMacWindow::SetControlFont(label, bigger);
    LGuiFont back;
    LMacWindow::GetControlFont(label, back);
    EXPECT_EQ(back.GetSize(), 20 * s);
    EXPECT_TRUE(back.IsBold());
    EXPECT_TRUE(back.IsUnderlined());
    char name[260];
    back.GetName(name, sizeof name);
    EXPECT_STREQ(name, "DejaVu Sans");
    // Measured in the control's font: larger than in the label font.
    EXPECT_GT(w.MeasureTextWidth(130), w.MeasureStaticTextWidthPixels("Text"));
    // A view that is no control has the system font.
    LMacWindow::GetControlFont(w.GetContentView(), back);
    EXPECT_EQ(back.GetSize(), int(s * LUiSystemFontSize()));
    w.DestroyCommon();
}

TEST_F(ControlsTest, TooltipsAreSetAgainWhenAViewIsShown)
{
    ControlWindow w;
    w.CreateCocoaWindow(200, 80, kStyle, false, nullptr);
    w.GetNativeWindow()->OrderFront();
    LView* b = w.AddButton(140, "Knapp");
    LView* plain = w.AddStatic(141, "Utan");
    gtk_widget_set_tooltip_text(b->Widget(), "Tips till knappen");
    ASSERT_NE(LCocoaWindowHooksGet().updateChildViewTooltips, nullptr);
    LCocoaWindowHooksGet().updateChildViewTooltips(w.GetContentView());
    gchar* tip = gtk_widget_get_tooltip_text(b->Widget());
    EXPECT_STREQ(tip, "Tips till knappen");
    g_free(tip);
    EXPECT_EQ(gtk_widget_get_tooltip_text(plain->Widget()), nullptr);
    w.DestroyCommon();
}

TEST_F(ControlsTest, AMegabyteIsMeasured)
{
    ControlWindow w;
    w.CreateCocoaWindow(200, 80, kStyle, false, nullptr);
    std::string big;
    while (big.size() < (1u << 20))
        big += "ord och ";
    EXPECT_GT(w.MeasureTextHeight(big.c_str(), 400), 1000);
    EXPECT_GT(w.MeasureStaticTextWidthPixels(big.c_str()), 1000);
    w.DestroyCommon();
}
