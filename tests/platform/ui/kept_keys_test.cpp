// Keys kept for a window while a modal window works over it, typed with the real keyboard
// (xdotool): they wait, and reach the window's focused view in the order typed once the keeping
// ends, also those that came after them while it ended; Escape reaches the modal window at once;
// a request to close the window waits too. And the keyboard handed back to a window when the
// window that took it closes on a display without a window manager, though the last input came
// before the keyboard went back to the screen.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "platform/ui/LUiKeptKeys.h"
#include "platform/ui/UI.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

// After GoogleTest: Xlib's macros (None) would break its headers.
#include <gdk/gdkx.h>

namespace {

class KeptKeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        if (!uitest::HaveXdotool())
            GTEST_SKIP() << "no xdotool";
    }
    uitest::KeyboardLock lock;
};

// A focusable view that keeps the characters of the keys pressed in it.
struct TypedView : LView {
    std::string typed;
    TypedView()
    {
        SetFrame(LUiRect { 0, 0, 100, 100 });
        SetAcceptsFocus(true);
    }
    bool KeyDown(const LUiEvent& e) override
    {
        typed += e.keyval == GDK_KEY_Escape ? '^' : char(e.character);
        return true;
    }
};

struct CloseCounter : LNativeWindowDelegate {
    int asked = 0;
    bool WindowShouldClose(LNativeWindow&) override { return ++asked, false; }
};

// A window with a focused TypedView, shown.
LNativeWindow* MakeWindow(TypedView*& view, double x)
{
    auto* window = new LNativeWindow(
        LUiRect { x, 40, 240, 160 }, kLUiWindowTitled | kLUiWindowClosable, false);
    auto* content = new LView;
    window->SetContentView(content);
    content->Release();
    view = new TypedView;
    content->AddSubview(view);
    view->Release();
    if (uitest::ShowAndWait(window))
        window->MakeFirstResponder(view);
    return window;
}

std::string Xid(LNativeWindow* window)
{
    return std::to_string(window->XWindowId());
}

// Whether the display gives the keyboard to the window (to it or to GTK's focus window in it).
bool HasDisplayFocus(LNativeWindow* window)
{
    GdkWindow* gw = gtk_widget_get_window(GTK_WIDGET(window->Gtk()));
    Display* display = GDK_WINDOW_XDISPLAY(gw);
    Window focus = 0, root = 0, parent = 0, *children = nullptr;
    int revert = 0;
    unsigned count = 0;
    XGetInputFocus(display, &focus, &revert);
    if (focus == GDK_WINDOW_XID(gw))
        return true;
    if (focus == 0 || focus == PointerRoot)
        return false;
    const Status ok = XQueryTree(display, focus, &root, &parent, &children, &count);
    if (children)
        XFree(children);
    return ok && parent == GDK_WINDOW_XID(gw);
}

} // namespace

TEST_F(KeptKeys, TypedKeysWaitAndFollowInOrderEscapeGoesThrough)
{
    TypedView* ownerView = nullptr;
    TypedView* modalView = nullptr;
    LNativeWindow* owner = MakeWindow(ownerView, 40);
    CloseCounter closes;
    owner->SetDelegate(&closes);
    uitest::Run("xdotool windowfocus --sync " + Xid(owner) + " key --delay 20 x");
    ASSERT_TRUE(uitest::PumpUntil([&] { return ownerView->typed == "x"; }, 3000));

    // The modal window takes the keyboard; keys for either window are kept.
    LNativeWindow* modal = MakeWindow(modalView, 320);
    owner->AddChildWindow(modal);
    auto kept = std::make_unique<LUiKeptKeys>(owner);
    kept->Also(modal);
    const uintptr_t session = LModalLoop::BeginSession(modal);
    ASSERT_NE(session, 0u);
    ASSERT_TRUE(uitest::PumpUntil([&] { return modal->IsKey(); }, 3000));
    uitest::Run("xdotool type --delay 12 abc");
    uitest::Run("xdotool key Escape");
    uitest::Run("xdotool type --delay 12 de");
    ASSERT_TRUE(uitest::PumpUntil([&] { return kept->KeptPresses() == 5; }, 3000))
        << kept->KeptPresses() << " presses kept";
    // The close box of the window, and a key typed to the window itself.
    GdkEvent* close = gdk_event_new(GDK_DELETE);
    close->any.window
        = static_cast<GdkWindow*>(g_object_ref(gtk_widget_get_window(GTK_WIDGET(owner->Gtk()))));
    LEventHub::Dispatch(close);
    gdk_event_free(close);
    uitest::SendKey(ownerView, GDK_KEY_f, true);
    uitest::SendKey(ownerView, GDK_KEY_f, false);
    ASSERT_TRUE(uitest::PumpUntil([&] { return kept->KeptPresses() == 6; }, 3000))
        << kept->KeptPresses() << " presses kept";
    EXPECT_EQ(modalView->typed, "^");
    EXPECT_EQ(ownerView->typed, "x");
    EXPECT_EQ(closes.asked, 0);

    // The work ends: the modal window goes, and then the keeping.
    LModalLoop::EndSession(session);
    modal->Close();
    modal->Release();
    // A key that has come in, not handled yet, when the keeping ends goes after the kept ones.
    uitest::PutKey(ownerView, GDK_KEY_g, true);
    kept->Release();
    EXPECT_TRUE(uitest::PumpUntil([&] { return ownerView->typed == "xabcdefg"; }, 3000))
        << ownerView->typed;
    EXPECT_EQ(closes.asked, 1);
    // Nothing is kept any more.
    uitest::Run("xdotool windowfocus --sync " + Xid(owner) + " type h");
    EXPECT_TRUE(uitest::PumpUntil([&] { return ownerView->typed == "xabcdefgh"; }, 3000));
    kept.reset();
    owner->SetDelegate(nullptr);
    owner->Close();
    owner->Release();
}

// A window takes the keyboard after the last key typed, then closes: without a window manager
// the display gave the keyboard back to the screen when it went, and the window it came from
// gets it again (GTK's hand-over as of the last key was refused by the display).
TEST_F(KeptKeys, TheKeyboardComesBackWithoutAWindowManager)
{
    GdkScreen* screen = gdk_screen_get_default();
    if (gdk_x11_screen_supports_net_wm_hint(
            screen, gdk_atom_intern_static_string("_NET_ACTIVE_WINDOW")))
        GTEST_SKIP() << "a window manager hands the keyboard back";
    TypedView* ownerView = nullptr;
    TypedView* otherView = nullptr;
    LNativeWindow* owner = MakeWindow(ownerView, 40);
    uitest::Run("xdotool windowfocus --sync " + Xid(owner) + " key x");
    ASSERT_TRUE(uitest::PumpUntil([&] { return ownerView->typed == "x"; }, 3000));
    LNativeWindow* other = MakeWindow(otherView, 320);
    owner->AddChildWindow(other);
    other->MakeKeyAndOrderFront();
    ASSERT_TRUE(uitest::PumpUntil([&] { return HasDisplayFocus(other); }, 3000));
    uitest::Pump(100);
    other->Close();
    other->Release();
    EXPECT_TRUE(uitest::PumpUntil([&] { return HasDisplayFocus(owner); }, 3000))
        << "the keyboard stayed where the display put it";
    uitest::Run("xdotool type y");
    EXPECT_TRUE(uitest::PumpUntil([&] { return ownerView->typed == "xy"; }, 3000));

    // A window given the keyboard and closed before the application heard that it had it (a
    // progress window stopped at once): the display had given it the keyboard all the same.
    LNativeWindow* quick = MakeWindow(otherView, 320);
    owner->AddChildWindow(quick);
    uitest::Run("xdotool windowfocus --sync " + Xid(owner));
    ASSERT_TRUE(uitest::PumpUntil([&] { return owner->IsKey(); }, 3000));
    gdk_window_focus(gtk_widget_get_window(GTK_WIDGET(quick->Gtk())), GDK_CURRENT_TIME);
    gdk_display_sync(gdk_display_get_default());
    ASSERT_TRUE(HasDisplayFocus(quick));
    ASSERT_FALSE(quick->IsKey());
    quick->Close();
    quick->Release();
    EXPECT_TRUE(uitest::PumpUntil([&] { return HasDisplayFocus(owner); }, 3000))
        << "the keyboard stayed where the display put it";
    owner->Close();
    owner->Release();
}
