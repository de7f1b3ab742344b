// The window object on screen: creation, commands, modal loops, embedded pages, event routing.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gen/LCharSet.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/LMouseHandler.h"
#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "lfw/mac/cocoa/LCocoaWindowImpl.h"
#include "lfw/mac/cocoa/LMacWindowManager.h"
#include "platform/ui/UI.h"
#include "support/UiTestSupport.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

namespace {

double Scale()
{
    const char* s = getenv("GDK_SCALE");
    return s && atoi(s) > 1 ? atoi(s) : 1;
}

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable;

// A window whose steps can be changed by each test.
struct TestWindow : LMacWindow {
    std::function<void(TestWindow&)> onInit, onReady;
    std::vector<std::pair<int, int>> commands;
    int enables = 0, helps = 0, destroys = 0;
    bool okAnswer = true, cancelAnswer = true;
    bool readyWhileVisible = false;

    void InitDialog() override
    {
        if (onInit)
            onInit(*this);
    }
    void EvWindowReady() override
    {
        readyWhileVisible = IsWindowVisible();
        if (onReady)
            onReady(*this);
    }
    void EnableControls() override { ++enables; }
    bool CmOk() override { return okAnswer; }
    bool CmCancel() override { return cancelAnswer; }
    void CmHelp() override { ++helps; }
    void DestroyDialog() override { ++destroys; }
    void Command(int id, int code) override
    {
        commands.emplace_back(id, code);
        LMacWindow::Command(id, code);
    }
    using LMacWindow::fHostScrollView;
};

// A control: a click sends its registered command, or its tag, synchronously with code 0.
struct ClickControl : LCocoaViewBase {
    bool useKey = false;
    ClickControl(const LUiRect& r, LCocoaWindow* w)
        : LCocoaViewBase(r, w)
    {
    }
    bool MouseUp(const LUiEvent& e) override
    {
        if (useKey) {
            LCocoaView::sendCommandWithKey(this, &keyCmdTextClick, lfwWindow());
        } else {
            int cmd = LCocoaView::getCommandId(this, &keyCmdTextClick);
            LCocoaView::sendCommand(this, cmd >= 0 ? cmd : Tag(), lfwWindow());
        }
        return LCocoaViewBase::MouseUp(e);
    }
};

// A text field as GTK has it.
struct EntryView : LView {
    int focusOuts = 0;
    EntryView() { SetAcceptsFocus(true); }
    GtkWidget* CreateWidget() override { return gtk_entry_new(); }
    void FocusOut() override { ++focusOuts; }
};

struct RecordingMouse : LMouseHandler {
    std::vector<std::string> calls;
    // Hooked to a view other than the content view.
    void HookTo(LMacWindow& w, LCocoaViewBase* v)
    {
        pWindow = &w;
        pView = v;
        v->setMouseHandler(this);
    }
    std::vector<std::pair<int, int>> points;
    void Add(const char* what, int x, int y)
    {
        calls.emplace_back(what);
        points.emplace_back(x, y);
    }
    void EvLButtonDown(int x, int y) override { Add("down", x, y); }
    void EvLButtonUp(int x, int y) override { Add("up", x, y); }
    void EvDoubleClick(int x, int y) override { Add("double", x, y); }
    void EvRButtonDown(int x, int y) override { Add("rdown", x, y); }
    void EvMouseMove(int x, int y) override { Add("move", x, y); }
    void EvMouseWheel(int x, int y, int d) override { Add("wheel", x, d), (void)y; }
};

struct RecordingKeys : LCocoaKeyBridge {
    std::vector<uint32_t> downs, ups;
    uint32_t value = 0;
    bool EvKeyDown(const LUiEvent& e) override { return downs.push_back(e.keyval), true; }
    bool EvKeyUp(const LUiEvent& e) override { return ups.push_back(e.keyval), true; }
    bool EvKeyFlagsChanged(const LUiEvent&) override { return false; }
    bool EvKeyDownValue(uint32_t v) override { return value = v, false; }
};

std::vector<bool> gMenuStates;
void MenuHook(bool anyModal, void*)
{
    gMenuStates.push_back(anyModal);
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        gMenuStates.clear();
        LModalCounter::SetHook(MenuHook, nullptr);
    }
    void TearDown() override { LModalCounter::SetHook(nullptr, nullptr); }
};

LCocoaViewBase* Content(LMacWindow& w)
{
    return dynamic_cast<LCocoaViewBase*>(w.GetContentView());
}

} // namespace

TEST_F(WindowTest, CreatedSizeIsTheXWindowInDevicePixels)
{
    double s = Scale();
    TestWindow w;
    w.CreateCocoaWindow(int(400 * s), int(300 * s), kStyle, false, nullptr);
    ASSERT_NE(w.GetContentView(), nullptr);
    EXPECT_TRUE(w.IsRealWindow());
    EXPECT_EQ(LCocoaWindow::GetThisProperty(w.GetContentView()), &w);
    EXPECT_EQ(w.GetContentView()->Frame(), (LUiRect { 0, 0, 400, 300 }));
    w.InitCommon(kLCocoaDialogCenterScreen, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    EXPECT_EQ(w.GetBackingScaleFactor(), s);
    EXPECT_EQ(w.CentringDone(), 2);
    if (uitest::HaveXdotool()) {
        int xw = 0, xh = 0;
        ASSERT_TRUE(uitest::XGeometry(w.GetNativeWindow()->XWindowId(), xw, xh));
        EXPECT_EQ(xw, int(400 * s));
        EXPECT_EQ(xh, int(300 * s));
    }
    // Centred on the screen's visible frame.
    LUiScreen screen;
    ASSERT_TRUE(LUiMainScreen(screen));
    LUiRect f = w.GetNativeWindow()->Frame();
    EXPECT_NEAR(f.x + f.width / 2, screen.visibleFrame.x + screen.visibleFrame.width / 2, 1);
    EXPECT_NEAR(f.y + f.height / 2, screen.visibleFrame.y + screen.visibleFrame.height / 2, 1);
    w.Close();
    EXPECT_EQ(w.GetContentView(), nullptr);
    EXPECT_FALSE(w.IsClosed()); // the teardown clears the flag again
    EXPECT_EQ(w.destroys, 1);
}

TEST_F(WindowTest, ZeroSizeGivesOne)
{
    TestWindow w;
    w.CreateCocoaWindow(0, 0, kStyle, false, nullptr);
    // One backing pixel; GTK's smallest window is one point.
    EXPECT_LE(w.GetContentView()->Frame().width, 1.0);
    EXPECT_GT(w.GetContentView()->Frame().width, 0.0);
    EXPECT_EQ(w.GetNativeWindow()->ContentSize().width, 1);
    EXPECT_EQ(w.GetNativeWindow()->ContentSize().height, 1);
    w.DestroyCommon();
}

TEST_F(WindowTest, CharacterCellFromTheSystemFont)
{
    EXPECT_EQ(LMacWindowManager::CharWidthFromSample(434), 7);
    TestWindow w;
    w.CreateCocoaWindow(200, 100, kStyle, false, nullptr);
    double sw = 0, sh = 0;
    LUiMeasureText("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", nullptr,
        LUiSystemFontSize(), false, sw, sh);
    EXPECT_EQ(w.CharWidthPoints(), std::round(float(sw / 62)));
    EXPECT_EQ(w.CharHeightPoints(), std::round(float(sh)));
    EXPECT_FLOAT_EQ(w.CharWidthPixels(), float(w.CharWidthPoints() * Scale()));
    w.DestroyCommon();
}

TEST_F(WindowTest, ClickOnAControlSendsItsCommandThenEnableControls)
{
    TestWindow w;
    ClickControl *button = nullptr, *field = nullptr;
    w.onInit = [&](TestWindow& self) {
        button = new ClickControl(LUiRect { 10, 10, 60, 20 }, &self);
        button->SetTag(1001);
        field = new ClickControl(LUiRect { 10, 40, 60, 20 }, &self);
        field->SetTag(1002);
        field->useKey = true;
        self.GetContentView()->AddSubview(button);
        self.GetContentView()->AddSubview(field);
        button->Release();
        field->Release();
    };
    w.CreateCocoaWindow(200, 100, kStyle, false, nullptr);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    w.commands.clear();
    int enables = w.enables;

    uitest::SendButton(button, 5, 5, 1, true);
    uitest::SendButton(button, 5, 5, 1, false);
    // At once, during the click: the tag with notify code 0.
    ASSERT_EQ(w.commands.size(), 1u);
    EXPECT_EQ(w.commands[0], std::make_pair(1001, 0));
    EXPECT_GT(w.enables, enables);

    // A registered command goes instead of the tag.
    LCocoaView::setCommandId(button, 555, &keyCmdTextClick);
    uitest::SendButton(button, 5, 5, 1, true);
    uitest::SendButton(button, 5, 5, 1, false);
    EXPECT_EQ(w.commands.back(), std::make_pair(555, 0));

    // No command registered (-1): only the controls are re-evaluated.
    size_t before = w.commands.size();
    enables = w.enables;
    uitest::SendButton(field, 5, 5, 1, true);
    uitest::SendButton(field, 5, 5, 1, false);
    EXPECT_EQ(w.commands.size(), before);
    EXPECT_EQ(w.enables, enables + 1);
    w.Close();
}

TEST_F(WindowTest, StandardCommands)
{
    TestWindow w;
    EntryView* entry = nullptr;
    w.onInit = [&](TestWindow& self) {
        entry = new EntryView;
        entry->SetFrame(LUiRect { 10, 10, 120, 24 });
        self.GetContentView()->AddSubview(entry);
        entry->Release();
    };
    w.CreateCocoaWindow(200, 100, kStyle, false, nullptr);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    ASSERT_TRUE(uitest::PumpUntil([&] { return w.readyWhileVisible; }));
    EXPECT_EQ(
        std::count(w.commands.begin(), w.commands.end(), std::make_pair(kLCmdWindowReady, 0)), 1);

    // Help: CmHelp, and no re-evaluation of the controls.
    int enables = w.enables;
    w.Command(kLCmdHelp, 0);
    EXPECT_EQ(w.helps, 1);
    EXPECT_EQ(w.enables, enables);

    // OK refused: the window stays, the focused field still commits (loses the focus) and has
    // the keyboard back.
    ASSERT_TRUE(w.GetNativeWindow()->MakeFirstResponder(entry));
    int outs = entry->focusOuts;
    w.okAnswer = false;
    bool key = w.GetNativeWindow()->IsKey();
    w.Command(kLCmdOk, 0);
    EXPECT_EQ(w.GetNativeWindow()->FirstResponder(), entry);
    // GTK tells the field only while its window has the keyboard (other tests' windows may
    // have taken it when the suite runs in parallel).
    if (key) {
        EXPECT_EQ(entry->focusOuts, outs + 1);
    }
    EXPECT_NE(w.GetContentView(), nullptr);
    EXPECT_EQ(w.enables, enables + 1);

    // Cancel refused keeps it too; accepted closes.
    w.cancelAnswer = false;
    w.Command(kLCmdCancel, 0);
    EXPECT_NE(w.GetContentView(), nullptr);
    w.cancelAnswer = true;
    w.Command(kLCmdCancel, 0);
    EXPECT_EQ(w.GetContentView(), nullptr);
    EXPECT_EQ(w.destroys, 1);
}

TEST_F(WindowTest, TitleBarCloseAsksCmCancel)
{
    TestWindow w;
    w.CreateCocoaWindow(200, 100, kStyle, false, nullptr);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    LUiRef<LNativeWindow> native(w.GetNativeWindow());
    GdkEvent* e = gdk_event_new(GDK_DELETE);
    e->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(native->Gtk()))));
    w.cancelAnswer = false;
    gtk_main_do_event(e);
    EXPECT_FALSE(native->IsClosed());
    EXPECT_NE(w.GetContentView(), nullptr);
    w.cancelAnswer = true;
    gtk_main_do_event(e);
    gdk_event_free(e);
    EXPECT_TRUE(native->IsClosed());
    EXPECT_EQ(w.GetContentView(), nullptr);
}

TEST_F(WindowTest, RunModalOfAWindowClosedInInitDialog)
{
    TestWindow w;
    w.onInit = [](TestWindow& self) { self.Close('x'); };
    w.CreateCocoaWindow(200, 100, kStyle, false, nullptr);
    EXPECT_FALSE(w.RunModal(nullptr, kLCocoaDialogCenterScreen));
    EXPECT_TRUE(gMenuStates.empty()); // the main menu was never touched
    EXPECT_EQ(LModalLoop::Depth(), 0);
    EXPECT_EQ(w.GetContentView(), nullptr);
    EXPECT_EQ(w.destroys, 1);
}

TEST_F(WindowTest, CloseMeansCancelAndOkMeansTrue)
{
    {
        TestWindow w;
        w.onReady = [](TestWindow& self) { self.Close(); };
        w.CreateCocoaWindow(200, 100, kStyle, false, nullptr);
        EXPECT_FALSE(w.RunModal(nullptr, kLCocoaDialogCenterScreen));
        EXPECT_EQ(gMenuStates, (std::vector<bool> { true, false }));
        EXPECT_TRUE(w.readyWhileVisible); // window-ready comes once the window is on screen
    }
    {
        TestWindow w;
        w.onReady = [](TestWindow& self) { self.Command(kLCmdOk, 0); };
        w.CreateCocoaWindow(200, 100, kStyle, false, nullptr);
        EXPECT_TRUE(w.RunModal(nullptr, kLCocoaDialogCenterScreen));
        EXPECT_EQ(w.destroys, 1);
    }
}

TEST_F(WindowTest, EscapeCancelsAModalWindow)
{
    TestWindow w;
    w.onReady
        = [](TestWindow& self) { uitest::SendKey(self.GetContentView(), GDK_KEY_Escape, true); };
    w.CreateCocoaWindow(200, 100, kStyle, false, nullptr);
    EXPECT_FALSE(w.RunModal(nullptr, kLCocoaDialogCenterScreen));
    EXPECT_EQ(w.commands.back().first, kLCmdCancel);
}

TEST_F(WindowTest, NestedModalWindowsKeepTheMenuDisabledUntilTheOuterEnds)
{
    TestWindow outer, inner;
    std::vector<bool> statesDuringInner;
    unsigned countDuringInner = 0;
    inner.onReady = [&](TestWindow& self) {
        statesDuringInner = gMenuStates;
        countDuringInner = LModalCounter::Count();
        self.Command(kLCmdOk, 0);
    };
    bool innerResult = false;
    outer.onReady = [&](TestWindow& self) {
        inner.CreateCocoaWindow(150, 80, kStyle, false, self.GetContentView());
        innerResult = inner.RunModal(&self, kLCocoaDialogCenterParent);
        EXPECT_EQ(gMenuStates, (std::vector<bool> { true })); // still disabled
        self.Close(kLCmdOk);
    };
    outer.CreateCocoaWindow(300, 200, kStyle, false, nullptr);
    EXPECT_TRUE(outer.RunModal(nullptr, kLCocoaDialogCenterScreen));
    EXPECT_TRUE(innerResult);
    EXPECT_EQ(statesDuringInner, (std::vector<bool> { true }));
    EXPECT_EQ(countDuringInner, 2u);
    EXPECT_EQ(inner.CentringDone(), 1);
    EXPECT_EQ(gMenuStates, (std::vector<bool> { true, false }));
    EXPECT_EQ(LModalCounter::Count(), 0u);
}

TEST_F(WindowTest, EmbeddedPageCloseStopsTheDialogLoop)
{
    TestWindow dialog, page;
    dialog.onReady = [&](TestWindow& self) {
        LView* view = page.CreateEmbeddedWindow(self, false, false);
        ASSERT_NE(view, nullptr);
        page.SetContentView(view);
        page.SetParent(&self);
        EXPECT_EQ(page.GetRealParent(), &self);
        EXPECT_EQ(LCocoaWindow::GetParentHandle(view), self.GetContentView());
        page.Close(kLCmdOk);
    };
    dialog.CreateCocoaWindow(300, 200, kStyle, false, nullptr);
    EXPECT_TRUE(dialog.RunModal(nullptr, kLCocoaDialogCenterScreen));
    EXPECT_FALSE(dialog.IsModalRunning());
    EXPECT_EQ(dialog.destroys, 1);
    EXPECT_EQ(page.destroys, 0); // the page itself is torn down by its owner
}

TEST_F(WindowTest, FloatingPanelStaysOpenUntilClosed)
{
    TestWindow panel;
    panel.CreateCocoaWindow(200, 100, kStyle | kLUiWindowUtility, true, nullptr);
    EXPECT_TRUE(panel.IsPanel());
    EXPECT_TRUE(panel.RunFloating(nullptr, kLCocoaDialogCenterScreen, true));
    ASSERT_TRUE(uitest::ShowAndWait(panel.GetNativeWindow()));
    EXPECT_EQ(panel.GetNativeWindow()->Level(), LUiWindowLevel::Floating);
    EXPECT_TRUE(panel.IsWindowVisible());
    panel.ShowWindow(false);
    EXPECT_FALSE(panel.IsWindowVisible());
    panel.Close();
    EXPECT_EQ(panel.GetContentView(), nullptr);

    TestWindow closedEarly;
    closedEarly.onInit = [](TestWindow& self) { self.Close(); };
    closedEarly.CreateCocoaWindow(200, 100, kStyle, true, nullptr);
    EXPECT_FALSE(closedEarly.RunFloating(nullptr, kLCocoaDialogCenterScreen, true));
}

TEST_F(WindowTest, PostedCommandIsQueuedAndDroppedAfterTeardown)
{
    TestWindow w;
    w.CreateCocoaWindow(200, 100, kStyle, false, nullptr);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    uitest::PumpUntil([&] { return w.readyWhileVisible; });
    w.commands.clear();
    w.PostCommand(77);
    EXPECT_TRUE(w.commands.empty());
    uitest::PumpUntil([&] { return !w.commands.empty(); });
    ASSERT_EQ(w.commands.size(), 1u);
    w.PostCommand(78);
    w.DestroyCommon();
    uitest::Pump(50);
    EXPECT_EQ(w.commands.size(), 1u);
}

TEST_F(WindowTest, MouseReachesTheHandlerInBackingPixels)
{
    double s = Scale();
    TestWindow w;
    w.CreateCocoaWindow(int(300 * s), int(200 * s), kStyle, false, nullptr);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    RecordingMouse mouse;
    mouse.MouseHandlerInit(w);
    LView* content = w.GetContentView();
    EXPECT_EQ(Content(w)->mouseHandler(), &mouse);

    uitest::SendButton(content, 10, 12, 1, true);
    EXPECT_TRUE(Content(w)->isMouseDown());
    uitest::SendMotion(content, 30, 32, GDK_BUTTON1_MASK); // a drag
    EXPECT_TRUE(Content(w)->isMouseDragging());
    EXPECT_EQ(LCocoaViewBase::draggedView(), content);
    uitest::SendButton(content, 30, 32, 1, false);
    EXPECT_FALSE(Content(w)->isMouseDragging());
    ASSERT_EQ(mouse.calls, (std::vector<std::string> { "down", "move", "up" }));
    EXPECT_EQ(mouse.points[0], std::make_pair(int(10 * s), int(12 * s)));
    EXPECT_EQ(mouse.points[1], std::make_pair(int(30 * s), int(32 * s)));

    // The framework's Control key (Super) makes a right click.
    mouse.calls.clear();
    {
        GtkWidget* widget = content->Widget();
        GdkEvent* e = gdk_event_new(GDK_BUTTON_PRESS);
        e->button.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(widget)));
        int ox, oy;
        gdk_window_get_origin(gtk_widget_get_window(widget), &ox, &oy);
        e->button.x = 4;
        e->button.y = 4;
        e->button.x_root = ox + 4;
        e->button.y_root = oy + 4;
        e->button.button = 1;
        e->button.time = 9000000;
        e->button.state = GDK_SUPER_MASK;
        gdk_event_set_device(
            e, gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())));
        LEventHub::Dispatch(e);
        gdk_event_free(e);
        uitest::SendButton(content, 4, 4, 1, false);
    }
    EXPECT_EQ(mouse.calls.front(), "rdown");
    mouse.MouseHandlerDestroy();
    EXPECT_EQ(Content(w)->mouseHandler(), nullptr);
    w.Close();
}

TEST_F(WindowTest, RealClickReachesEvLButtonDownDoubled)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "xdotool missing";
    double s = Scale();
    TestWindow w;
    w.CreateCocoaWindow(int(300 * s), int(200 * s), kStyle, false, nullptr);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    RecordingMouse mouse;
    mouse.MouseHandlerInit(w);
    ASSERT_TRUE(uitest::XClick(w.GetNativeWindow(), 50, 40));
    ASSERT_TRUE(uitest::PumpUntil([&] {
        return std::find(mouse.calls.begin(), mouse.calls.end(), "up") != mouse.calls.end();
    }));
    auto it = std::find(mouse.calls.begin(), mouse.calls.end(), "down");
    ASSERT_NE(it, mouse.calls.end());
    auto p = mouse.points[it - mouse.calls.begin()];
    EXPECT_EQ(p.first, int(50 * s));
    EXPECT_EQ(p.second, int(40 * s));
    mouse.MouseHandlerDestroy();
    w.Close();
}

TEST_F(WindowTest, CaptureSendsMouseUpOnlyToTheCapturingHandler)
{
    TestWindow w;
    w.CreateCocoaWindow(300, 200, kStyle, false, nullptr);
    auto* other = new LCocoaViewBase(LUiRect { 150, 20, 100, 100 }, &w);
    w.GetContentView()->AddSubview(other);
    other->Release();
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    RecordingMouse capturing, bystander;
    capturing.MouseHandlerInit(w);
    bystander.HookTo(w, other);
    LCocoaMouseCaptureImpl& capture = LCocoaMouseCaptureImpl::sharedMouseCapture();
    capture.setCapture(&capturing, w.GetContentView());
    EXPECT_TRUE(w.IsCaptured());
    uitest::SendButton(other, 10, 10, 1, false);
    EXPECT_TRUE(bystander.calls.empty());
    ASSERT_EQ(capturing.calls, (std::vector<std::string> { "up" }));
    capture.releaseCapture();
    EXPECT_FALSE(w.IsCaptured());
    uitest::SendButton(other, 10, 10, 1, true);
    uitest::SendButton(other, 10, 10, 1, false);
    EXPECT_EQ(bystander.calls, (std::vector<std::string> { "down", "up" }));
    bystander.MouseHandlerDestroy();
    capturing.MouseHandlerDestroy();
    w.Close();
}

TEST_F(WindowTest, KeysReachTheViewsKeyHandler)
{
    TestWindow w;
    w.CreateCocoaWindow(300, 200, kStyle, false, nullptr);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    RecordingKeys keys, second;
    Content(w)->setKeyHandler(&keys);
    Content(w)->setKeyHandler(&second); // ignored while one is set
    EXPECT_EQ(Content(w)->keyHandler(), &keys);
    ASSERT_TRUE(w.GetNativeWindow()->MakeFirstResponder(w.GetContentView()));
    uitest::SendKey(w.GetContentView(), GDK_KEY_b, true);
    uitest::SendKey(w.GetContentView(), GDK_KEY_b, false);
    EXPECT_EQ(keys.downs, std::vector<uint32_t> { GDK_KEY_b });
    EXPECT_EQ(keys.ups, std::vector<uint32_t> { GDK_KEY_b });
    // Escape: the content view's key handler hears the framework's Escape key first.
    w.GetWindowManager()->cancel();
    EXPECT_EQ(keys.value, 0x35000000u);
    Content(w)->setKeyHandler(nullptr);
    EXPECT_EQ(Content(w)->keyHandler(), nullptr);
    w.Close();
}

TEST_F(WindowTest, ScaleChangeReachesEveryNestedView)
{
    struct CountingView : LView {
        int changes = 0;
        void FrameDidChange() override { ++changes; }
    };
    TestWindow w;
    w.CreateCocoaWindow(300, 200, kStyle, false, nullptr);
    auto* a = new CountingView;
    auto* b = new CountingView;
    a->AddSubview(b);
    w.GetContentView()->AddSubview(a);
    int ca = a->changes, cb = b->changes;
    w.GetWindowManager()->WindowDidChangeScale(*w.GetNativeWindow());
    EXPECT_EQ(a->changes, ca + 1);
    EXPECT_EQ(b->changes, cb + 1);
    a->Release();
    b->Release();
    w.DestroyCommon();
}

namespace {
// A text input as the text controls build it: its key equivalents are the standard ones.
struct TextInput : LCocoaViewBase {
    int undos = 0;
    TextInput(LCocoaWindow* w)
        : LCocoaViewBase(LUiRect { 10, 10, 150, 24 }, w)
    {
        SetAcceptsFocus(true);
    }
    GtkWidget* CreateWidget() override { return gtk_entry_new(); }
    bool performKeyEquivalent(const LUiEvent& e) override
    {
        return LCocoaView::performKeyEquivalentCommon(this, e);
    }
    void undo() override { ++undos; }
};
} // namespace

TEST_F(WindowTest, TextViewsTakeTheirKeyEquivalentsFirst)
{
    TestWindow w;
    w.CreateCocoaWindow(300, 200, kStyle, true, nullptr);
    auto* input = new TextInput(&w);
    w.GetContentView()->AddSubview(input);
    input->Release();
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    GtkEntry* entry = GTK_ENTRY(input->Widget());
    gtk_entry_set_text(entry, "hello");
    ASSERT_TRUE(w.GetNativeWindow()->MakeFirstResponder(input));
    gtk_editable_select_region(GTK_EDITABLE(entry), 0, 0);

    uitest::SendKey(input, GDK_KEY_a, true, GDK_CONTROL_MASK);
    int start = -1, end = -1;
    gtk_editable_get_selection_bounds(GTK_EDITABLE(entry), &start, &end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 5);
    uitest::SendKey(input, GDK_KEY_z, true, GDK_CONTROL_MASK);
    EXPECT_EQ(input->undos, 1);

    // A plain key goes to the field at once, before the menus.
    gtk_editable_set_position(GTK_EDITABLE(entry), -1);
    uitest::SendKey(input, GDK_KEY_x, true);
    EXPECT_STREQ(gtk_entry_get_text(entry), "hellox");
    w.Close();
}

TEST_F(WindowTest, WhichWindowsMayBecomeKey)
{
    auto* titled = new LCocoaWindowImpl(LUiRect { 0, 0, 50, 50 }, kLUiWindowTitled);
    EXPECT_TRUE(titled->canBecomeKeyWindow());
    titled->setEnabled(false);
    EXPECT_FALSE(titled->canBecomeKeyWindow());
    EXPECT_FALSE(gtk_window_get_accept_focus(titled->Gtk()));
    titled->Release();

    auto* plain = new LCocoaPanelImpl(LUiRect { 0, 0, 50, 50 }, kLUiWindowBorderless);
    EXPECT_FALSE(plain->canBecomeKeyWindow());
    plain->setAutoCloseOnFocusLost(true);
    EXPECT_TRUE(plain->canBecomeKeyWindow());
    EXPECT_TRUE(gtk_window_get_accept_focus(plain->Gtk()));
    plain->setEnabled(false);
    EXPECT_FALSE(plain->canBecomeKeyWindow());
    plain->Release();

    auto* modalPanel = new LCocoaPanelImpl(LUiRect { 0, 0, 50, 50 }, kLUiWindowBorderless);
    modalPanel->setWorksWhenModal(true);
    EXPECT_TRUE(modalPanel->canBecomeKeyWindow());
    modalPanel->Release();
}

TEST_F(WindowTest, TabPassesOverFrameworkViewsToTheControls)
{
    TestWindow w;
    EntryView *first = nullptr, *second = nullptr;
    RecordingMouse mouse;
    w.onInit = [&](TestWindow& self) {
        // The content view takes clicks (it has a mouse handler) but is no stop of the Tab key.
        mouse.MouseHandlerInit(self);
        first = new EntryView;
        first->SetFrame(LUiRect { 10, 10, 120, 24 });
        second = new EntryView;
        second->SetFrame(LUiRect { 10, 40, 120, 24 });
        self.GetContentView()->AddSubview(first);
        self.GetContentView()->AddSubview(second);
        first->Release();
        second->Release();
    };
    w.CreateCocoaWindow(200, 100, kStyle, false, nullptr);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    GtkWidget* top = GTK_WIDGET(w.GetNativeWindow()->Gtk());
    auto focus = [&] { return w.GetNativeWindow()->FocusWidget(); };
    EXPECT_EQ(focus(), first->Widget()); // the first key view, not the content view
    gtk_widget_child_focus(top, GTK_DIR_TAB_FORWARD);
    EXPECT_EQ(focus(), second->Widget());
    gtk_widget_child_focus(top, GTK_DIR_TAB_FORWARD);
    EXPECT_EQ(focus(), first->Widget());

    // A click gives the content view the focus; Tab then goes on into its controls.
    uitest::SendButton(w.GetContentView(), 170, 80, 1, true);
    uitest::SendButton(w.GetContentView(), 170, 80, 1, false);
    EXPECT_EQ(focus(), w.GetContentView()->Widget());
    gtk_widget_child_focus(top, GTK_DIR_TAB_FORWARD);
    EXPECT_EQ(focus(), first->Widget());
    mouse.MouseHandlerDestroy();
    w.Close();
}

TEST_F(WindowTest, CaptionsAreAlwaysWellFormedText)
{
    TestWindow w;
    w.CreateCocoaWindow(200, 100, kStyle, false, nullptr);
    GtkWindow* gw = w.GetNativeWindow()->Gtk();
    w.SetCaption("Skivetikett – Förhandsvisning");
    EXPECT_STREQ(gtk_window_get_title(gw), "Skivetikett – Förhandsvisning");
    // A byte that is not UTF-8 shows as U+FFFD, the rest of the title as it is.
    const char* old = "Gr\x8at etikett";
    w.SetCaption(old);
    const char* title = gtk_window_get_title(gw);
    ASSERT_NE(title, nullptr);
    EXPECT_TRUE(g_utf8_validate(title, -1, nullptr));
    EXPECT_STREQ(title, "Gr\xEF\xBF\xBDt etikett");
    w.SetCaption(nullptr);
    EXPECT_STREQ(gtk_window_get_title(gw), "");
    w.DestroyCommon();
}

TEST_F(WindowTest, TheMainWindowStaysMainWhileAPanelIsKey)
{
    TestWindow main, panel;
    main.CreateCocoaWindow(200, 100, kStyle, false, nullptr);
    main.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(main.GetNativeWindow()));
    LNativeWindow* mw = main.GetNativeWindow();
    // Other tests' windows may hold the keyboard when the suite runs in parallel.
    if (!uitest::PumpUntil([&] { return mw->IsKey(); }, 2000))
        GTEST_SKIP() << "the test window did not get the keyboard";
    EXPECT_EQ(LNativeWindow::MainWindow(), mw);

    panel.CreateCocoaWindow(150, 80, kStyle, true, nullptr);
    panel.SetParent(&main);
    auto* view = new LCocoaViewBase(LUiRect { 0, 0, 20, 20 }, &panel);
    panel.GetContentView()->AddSubview(view);
    view->Release();
    panel.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(panel.GetNativeWindow()));
    if (uitest::PumpUntil([&] { return panel.GetNativeWindow()->IsKey(); }, 2000)) {
        EXPECT_FALSE(panel.GetNativeWindow()->CanBecomeMainWindow());
        EXPECT_EQ(LNativeWindow::MainWindow(), mw);
    }
    // A view of a window over the main window takes the focus when the main window's content
    // view has a key handler: the keys then reach it.
    EXPECT_FALSE(view->AcceptsFirstResponder());
    RecordingKeys keys;
    Content(main)->setKeyHandler(&keys);
    EXPECT_TRUE(view->AcceptsFirstResponder());
    Content(main)->setKeyHandler(nullptr);
    panel.Close();

    main.ShowWindow(false); // ordered out: no longer the main window
    EXPECT_EQ(LNativeWindow::MainWindow(), nullptr);
    main.Close();
}

TEST_F(WindowTest, FloatingPanelsFloatOnlyWhileTheApplicationIsActive)
{
    TestWindow panel;
    panel.CreateCocoaWindow(150, 80, kStyle, true, nullptr);
    ASSERT_TRUE(panel.RunFloating(nullptr, kLCocoaDialogCenterNone, true));
    auto* native = dynamic_cast<LCocoaPanelImpl*>(panel.GetNativeWindow());
    ASSERT_NE(native, nullptr);
    ASSERT_TRUE(uitest::ShowAndWait(native));
    EXPECT_TRUE(native->isFloatingPanel());
    EXPECT_EQ(native->Level(), LUiWindowLevel::Floating);

    // The application resigns: a visible floating panel drops to the normal level, and floats
    // again when the application becomes active.
    native->applicationWillResignActive();
    EXPECT_FALSE(native->isFloatingPanel());
    EXPECT_EQ(native->Level(), LUiWindowLevel::Normal);
    native->applicationWillBecomeActive();
    EXPECT_TRUE(native->isFloatingPanel());
    EXPECT_EQ(native->Level(), LUiWindowLevel::Floating);

    // The whole road, when this test's window gets the keyboard (other tests' windows may hold
    // it when the suite runs in parallel): the keyboard leaves every window and comes back; the
    // window's activation commands arrive too.
    panel.GetWindowManager()->handleAppActivation(701);
    panel.GetWindowManager()->handleAppDeactivation(702);
    auto saw = [&](int id) {
        return std::count_if(panel.commands.begin(), panel.commands.end(),
                   [id](const std::pair<int, int>& c) { return c.first == id; })
            > 0;
    };
    bool key = uitest::PumpUntil([&] { return native->IsKey(); }, 2000);
    if (key && uitest::HaveXdotool()) {
        uitest::FocusNowhere();
        if (uitest::PumpUntil([&] { return saw(702); }, 2000)) {
            EXPECT_FALSE(LNativeWindow::IsApplicationActive());
            EXPECT_EQ(native->Level(), LUiWindowLevel::Normal);
            native->MakeKeyAndOrderFront();
            bool back = uitest::PumpUntil([&] { return saw(701); }, 2000);
            EXPECT_EQ(native->Level(), back ? LUiWindowLevel::Floating : LUiWindowLevel::Normal);
        }
    }
    // No longer floating: the application's activation leaves the panel alone.
    native->setFloatingPanel(false);
    native->applicationWillResignActive();
    native->applicationWillBecomeActive();
    EXPECT_EQ(native->Level(), LUiWindowLevel::Normal);
    panel.Close();
}

TEST_F(WindowTest, APlainSpaceIsNeverAKeyEquivalent)
{
    TestWindow w;
    EntryView* entry = nullptr;
    w.onInit = [&](TestWindow& self) {
        entry = new EntryView;
        entry->SetFrame(LUiRect { 10, 10, 120, 24 });
        self.GetContentView()->AddSubview(entry);
        entry->Release();
    };
    w.CreateCocoaWindow(200, 100, kStyle, true, nullptr);
    // A shortcut on the plain space key (and one on Shift+space, which may take its key).
    int plain = 0, shifted = 0;
    GtkAccelGroup* accels = gtk_accel_group_new();
    auto count = +[](GtkAccelGroup*, GObject*, guint, GdkModifierType, gpointer n) -> gboolean {
        ++*static_cast<int*>(n);
        return TRUE;
    };
    gtk_accel_group_connect(accels, GDK_KEY_space, GdkModifierType(0), GTK_ACCEL_VISIBLE,
        g_cclosure_new(G_CALLBACK(count), &plain, nullptr));
    gtk_accel_group_connect(accels, GDK_KEY_space, GDK_SHIFT_MASK, GTK_ACCEL_VISIBLE,
        g_cclosure_new(G_CALLBACK(count), &shifted, nullptr));
    gtk_window_add_accel_group(w.GetNativeWindow()->Gtk(), accels);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    ASSERT_TRUE(w.GetNativeWindow()->MakeFirstResponder(entry));
    GtkEntry* field = GTK_ENTRY(entry->Widget());
    gtk_entry_set_text(field, "a");
    gtk_editable_set_position(GTK_EDITABLE(field), -1);

    uitest::SendKey(entry, GDK_KEY_space, true);
    uitest::SendKey(entry, GDK_KEY_space, false);
    EXPECT_EQ(plain, 0);
    EXPECT_STREQ(gtk_entry_get_text(field), "a ");
    uitest::SendKey(entry, GDK_KEY_space, true, GDK_SHIFT_MASK);
    uitest::SendKey(entry, GDK_KEY_space, false, GDK_SHIFT_MASK);
    EXPECT_EQ(shifted, 1);
    w.Close();
    g_object_unref(accels);
}

// A plain space from the keyboard presses the focused button and ticks the focused check box, as
// in every GTK window (it reaches no shortcut, but it is not lost either).
TEST_F(WindowTest, APlainSpacePressesTheFocusedButtonOrCheckBox)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    TestWindow w;
    LCocoaButtonImpl* button = nullptr;
    w.onInit = [&](TestWindow& self) {
        button = self.AddPushButton(301, "Tryck", 10, 10, 120, 24);
        self.AddCheckBox(302, "Kryss", 10, 44, 120, 24);
    };
    w.CreateCocoaWindow(200, 100, kStyle, true, nullptr);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    LNativeWindow* window = w.GetNativeWindow();
    ASSERT_TRUE(uitest::ShowAndWait(window));
    ASSERT_NE(button, nullptr);
    auto focusedTag = [&] {
        GtkWidget* focus = gtk_window_get_focus(window->Gtk());
        LView* view = focus ? LView::FromWidget(focus) : nullptr;
        return view ? view->Tag() : 0;
    };
    for (int i = 0; i < 4 && focusedTag() != 301; ++i)
        ASSERT_TRUE(uitest::PressKeys(window, "Tab"));
    ASSERT_EQ(focusedTag(), 301);
    auto pressed = [&] {
        return std::count_if(w.commands.begin(), w.commands.end(),
            [](const std::pair<int, int>& c) { return c.first == 301; });
    };
    ASSERT_TRUE(uitest::PressKeys(window, "space"));
    EXPECT_TRUE(uitest::PumpUntil([&] { return pressed() == 1; }));
    ASSERT_TRUE(uitest::PressKeys(window, "Tab"));
    ASSERT_EQ(focusedTag(), 302);
    EXPECT_FALSE(w.GetCheck(302));
    ASSERT_TRUE(uitest::PressKeys(window, "space"));
    EXPECT_TRUE(uitest::PumpUntil([&] { return w.GetCheck(302); }));
    ASSERT_TRUE(uitest::PressKeys(window, "space"));
    EXPECT_TRUE(uitest::PumpUntil([&] { return !w.GetCheck(302); }));
    EXPECT_EQ(pressed(), 1);
    w.Close();
}
