// The window object under stress: headers used together, teardown with workers posting, modal
// levels closed out of order, windows deleting themselves, held keys, typed text.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/ios/LTimerHandler.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/LMouseHandler.h"
#include "lfw/mac/cocoa/LCocoaViewBase.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "lfw/mac/cocoa/LCocoaWindowImpl.h"
#include "platform/ui/UI.h"
#include "support/UiTestSupport.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <thread>
// Last: the X headers define names the others use.
#include <gdk/gdkx.h>

namespace {

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable;

class WindowCoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
};

// A text field as GTK has it.
struct EntryView : LView {
    EntryView() { SetAcceptsFocus(true); }
    GtkWidget* CreateWidget() override { return gtk_entry_new(); }
};

LNativeWindow* MakeNative()
{
    auto* window = new LNativeWindow(LUiRect { 40, 40, 200, 120 }, kStyle, false);
    auto* content = new LView;
    window->SetContentView(content);
    content->Release();
    return window;
}

} // namespace

// Timers of a window and the window object are named alike in every header.
TEST_F(WindowCoreTest, TimerHandlersTakeTheWindowObject)
{
    struct Timed : LTimerHandler {
        int fired = 0;
        void EvTimer(int) override { ++fired; }
    } timed;
    LMacWindow window;
    LWindow& same = window;
    timed.TimerInit(same);
    timed.TimerSet(1, 1);
    EXPECT_TRUE(uitest::PumpUntil([&] { return timed.fired == 1; }));
    timed.TimerDestroy(same);
    EXPECT_FALSE(timed.TimerIsSet(1));
}

// The focus and redraw operations the window object asks of its native window.
TEST_F(WindowCoreTest, NativeWindowFocusOperations)
{
    LNativeWindow* window = MakeNative();
    auto* entry = new EntryView;
    entry->SetFrame(LUiRect { 10, 10, 120, 30 });
    window->ContentView()->AddSubview(entry);
    ASSERT_TRUE(uitest::ShowAndWait(window));
    window->MakeFirstResponder(nullptr);
    EXPECT_FALSE(window->IsFocusEditableText());
    EXPECT_FALSE(window->FocusWantsArrowKeys());
    EXPECT_TRUE(window->FocusFirstKeyView());
    EXPECT_EQ(window->FirstResponder(), entry);
    EXPECT_TRUE(window->IsFocusEditableText());
    EXPECT_TRUE(window->FocusWantsArrowKeys());
    gtk_editable_set_editable(GTK_EDITABLE(entry->Widget()), FALSE);
    EXPECT_FALSE(window->IsFocusEditableText());
    EXPECT_TRUE(window->FocusWantsArrowKeys());
    window->SetNeedsDisplay();
    uitest::Pump(20);
    entry->Release();
    window->Close();
    EXPECT_FALSE(window->FocusFirstKeyView());
    window->Release();
}

namespace {

// A window whose steps each test sets.
struct CoreWindow : LMacWindow {
    std::function<void(CoreWindow&)> onReady;
    std::function<bool(CoreWindow&, int)> onCommand; // true: handled (and maybe deleted)
    std::atomic<int> commands { 0 };
    int enables = 0;
    void EvWindowReady() override
    {
        if (onReady)
            onReady(*this);
    }
    void EnableControls() override { ++enables; }
    void Command(int id, int code) override
    {
        ++commands;
        if (onCommand && onCommand(*this, id))
            return;
        LMacWindow::Command(id, code);
    }
};

// Runs fn once after ms milliseconds on the main loop.
void After(unsigned ms, std::function<void()> fn)
{
    auto* f = new std::function<void()>(std::move(fn));
    g_timeout_add_full(
        G_PRIORITY_DEFAULT, ms,
        [](gpointer p) {
            (*static_cast<std::function<void()>*>(p))();
            return G_SOURCE_REMOVE;
        },
        f, [](gpointer p) { delete static_cast<std::function<void()>*>(p); });
}

} // namespace

// Workers post to windows while the main thread closes and deletes them.
TEST_F(WindowCoreTest, WorkersPostingWhileTheirWindowsCloseTouchNothingOfThem)
{
    // A short storm by default; VT_STRESS_SECONDS makes it longer (a run under ASan, say).
    const char* env = getenv("VT_STRESS_SECONDS");
    long long budgetMs = env ? atoll(env) * 1000 : 400;
    long long start = LRunLoop::NowMs();
    int delivered = 0;
    // On a busy machine the workers may get no turn within the budget's few rounds: go on (within
    // reason) until some post was delivered.
    for (int round = 0; LRunLoop::NowMs() - start < budgetMs || (delivered == 0 && round < 500);
         ++round) {
        auto* w = new CoreWindow;
        w->CreateCocoaWindow(120, 80, kStyle, false, nullptr);
        w->InitCommon(kLCocoaDialogCenterNone, false);
        std::atomic<bool> stop { false };
        std::vector<std::thread> workers;
        // The workers hold what they post to, never the window: they go on posting after it was
        // deleted, and nothing of it may be touched then.
        const LCocoaWindow::PostTarget target = w->GetPostTarget();
        for (int t = 0; t < 2; ++t)
            workers.emplace_back([target, &stop] {
                while (!stop.load()) {
                    target.PostCommand(4711);
                    std::this_thread::sleep_for(std::chrono::microseconds(40));
                }
            });
        uitest::Pump(15 + round % 4 * 5);
        delivered += w->commands.load();
        w->DestroyCommon();
        delete w;
        uitest::Pump(5);
        stop = true;
        for (auto& t : workers)
            t.join();
        uitest::Pump(5);
    }
    EXPECT_GT(delivered, 0);
}

// Closing a modal window ends its own run, whichever run is innermost, also when a worker's post
// closes it.
TEST_F(WindowCoreTest, ModalRunsEndWithTheirOwnWindowsCodes)
{
    CoreWindow outer, inner;
    bool innerResult = false, outerResult = true;
    inner.onReady = [&](CoreWindow&) {
        std::thread([&outer] { outer.PostCommand(kLCmdCancel); }).join();
        After(150, [&] { inner.Command(kLCmdOk, 0); });
    };
    outer.onReady = [&](CoreWindow& self) {
        inner.CreateCocoaWindow(150, 80, kStyle, false, self.GetContentView());
        innerResult = inner.RunModal(&self, kLCocoaDialogCenterParent);
        EXPECT_FALSE(self.IsModalRunning());
    };
    outer.CreateCocoaWindow(300, 200, kStyle, false, nullptr);
    outerResult = outer.RunModal(nullptr, kLCocoaDialogCenterScreen);
    EXPECT_TRUE(innerResult);
    EXPECT_FALSE(outerResult);
    EXPECT_FALSE(inner.IsModalRunning());
    EXPECT_EQ(LModalLoop::Depth(), 0);
    EXPECT_EQ(LModalCounter::Count(), 0u);

    // The other way round: the outer one closed with OK from a timer, then the inner cancelled.
    CoreWindow a, b;
    bool bResult = true;
    b.onReady = [&](CoreWindow&) {
        After(20, [&] { a.Command(kLCmdOk, 0); });
        After(120, [&] { b.Close(kLCmdCancel); });
    };
    a.onReady = [&](CoreWindow& self) {
        b.CreateCocoaWindow(150, 80, kStyle, false, self.GetContentView());
        bResult = b.RunModal(&self, kLCocoaDialogCenterParent);
    };
    a.CreateCocoaWindow(300, 200, kStyle, false, nullptr);
    EXPECT_TRUE(a.RunModal(nullptr, kLCocoaDialogCenterScreen));
    EXPECT_FALSE(bResult);
}

// A window destroyed underneath its modal run (the window manager, another client) ends the run
// with Cancel and its delegate hears the close.
TEST_F(WindowCoreTest, AModalWindowDestroyedByAnotherClientEndsItsRun)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "xdotool missing";
    CoreWindow w;
    bool guard = false;
    w.onReady = [&](CoreWindow& self) {
        unsigned long xid = self.GetNativeWindow()->XWindowId();
        After(50,
            [xid] { uitest::Run("xdotool windowclose " + std::to_string(xid) + " 2>/dev/null"); });
        // Never hangs the suite: a run still going after 5 s is ended and counted a failure.
        After(5000, [&] {
            if (LModalLoop::Depth() > 0) {
                guard = true;
                LModalLoop::Stop(kLCmdOk);
            }
        });
    };
    w.CreateCocoaWindow(200, 100, kStyle, false, nullptr);
    // GDK still asks the server about the window it no longer has: those errors are expected.
    gdk_x11_display_error_trap_push(gdk_display_get_default());
    EXPECT_FALSE(w.RunModal(nullptr, kLCocoaDialogCenterScreen));
    uitest::Pump(50);
    gdk_x11_display_error_trap_pop_ignored(gdk_display_get_default());
    EXPECT_FALSE(guard);
    EXPECT_EQ(w.GetContentView(), nullptr);
    EXPECT_EQ(LModalCounter::Count(), 0u);
}

// A window that deletes itself in its own command is not touched afterwards, whichever path
// brought the command.
TEST_F(WindowCoreTest, AWindowDeletingItselfInItsCommandIsNotTouchedAfterwards)
{
    auto make = [] {
        auto* w = new CoreWindow;
        w->onCommand = [](CoreWindow& self, int id) {
            if (id != 90)
                return false;
            self.Close();
            delete &self;
            return true;
        };
        w->CreateCocoaWindow(120, 80, kStyle, false, nullptr);
        w->InitCommon(kLCocoaDialogCenterNone, true);
        return w;
    };
    CoreWindow* w = make();
    w->PostCommand(90);
    uitest::Pump(30);
    w = make();
    w->SendCommand(90);
    w = make();
    LCocoaView::sendCommand(w->GetContentView(), 90, w);
    w = make();
    LUiRef<LView> content(w->GetContentView());
    LCocoaView::sendCommandWithExtraDetail(content.Get(), 90, 1, w);
    // Deleted by an overridden Close that CmCancel's path calls.
    struct SelfDeleting : CoreWindow {
        void Close(int code) override
        {
            LMacWindow::Close(code);
            delete this;
        }
    };
    auto* s = new SelfDeleting;
    s->CreateCocoaWindow(120, 80, kStyle, false, nullptr);
    s->InitCommon(kLCocoaDialogCenterNone, true);
    s->SendCommand(kLCmdCancel);
    uitest::Pump(20);
}

namespace {

// A text input as the text controls build it: its key equivalents are the standard ones.
struct TextInput : LCocoaViewBase {
    explicit TextInput(LCocoaWindow* w)
        : LCocoaViewBase(LUiRect { 10, 10, 150, 28 }, w)
    {
        SetAcceptsFocus(true);
    }
    GtkWidget* CreateWidget() override { return gtk_entry_new(); }
    bool performKeyEquivalent(const LUiEvent& e) override
    {
        return LCocoaView::performKeyEquivalentCommon(this, e);
    }
};

} // namespace

// Typed keys reach a text input at once, in order and as they were: a dead key composes with the
// next, and a key equivalent typed between two keys acts between them.
TEST_F(WindowCoreTest, KeysReachATextInputInOrderAndDeadKeysCompose)
{
    CoreWindow w;
    w.CreateCocoaWindow(200, 60, kStyle, false, nullptr);
    auto* input = new TextInput(&w);
    w.GetContentView()->AddSubview(input);
    input->Release();
    w.InitCommon(kLCocoaDialogCenterNone, true);
    LNativeWindow* native = w.GetNativeWindow();
    ASSERT_TRUE(uitest::ShowAndWait(native));
    ASSERT_TRUE(native->MakeFirstResponder(input));
    GtkEntry* entry = GTK_ENTRY(input->Widget());
    auto type = [&](unsigned key, unsigned state = 0) {
        uitest::SendKey(input, key, true, state);
        uitest::SendKey(input, key, false, state);
        return std::string(gtk_entry_get_text(entry));
    };
    EXPECT_EQ(type(GDK_KEY_dead_acute), "");
    EXPECT_EQ(type(GDK_KEY_e), "\xC3\xA9");
    EXPECT_EQ(type(GDK_KEY_a),
        "\xC3\xA9"
        "a");
    // Select all, then a key: the key replaces what was selected.
    type(GDK_KEY_a, GDK_CONTROL_MASK);
    EXPECT_EQ(type(GDK_KEY_b), "b");
    uitest::Pump(30);
    EXPECT_STREQ(gtk_entry_get_text(entry), "b");
    w.Close();
}

namespace {

struct PositionMouse : LMouseHandler {
    int downs = 0;
    void Hook(LMacWindow& w, LCocoaViewBase* v)
    {
        pWindow = &w;
        pView = v;
        v->setMouseHandler(this);
    }
    void EvLButtonDown(int, int) override { ++downs; }
};

} // namespace

// Positions left of and above a view (while it captures the mouse) are whole backing pixels
// below its origin, not rounded towards it.
TEST_F(WindowCoreTest, PositionsLeftOfAndAboveAViewRoundDown)
{
    CoreWindow w;
    w.CreateCocoaWindow(200, 100, kStyle, false, nullptr);
    auto* child = new LCocoaViewBase(LUiRect { 20, 20, 100, 50 }, &w);
    w.GetContentView()->AddSubview(child);
    child->Release();
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    PositionMouse mouse;
    mouse.Hook(w, child);
    int ox = 0, oy = 0;
    gdk_window_get_origin(gtk_widget_get_window(child->Widget()), &ox, &oy);
    double s = w.GetBackingScaleFactor();
    LUiEvent e;
    e.rootX = ox - 0.5;
    e.rootY = oy - 0.75;
    int x = 0, y = 0;
    ASSERT_TRUE(mouse.MousePositionGet(e, x, y));
    EXPECT_EQ(x, int(std::floor(-0.5 * s)));
    EXPECT_EQ(y, int(std::floor(-0.75 * s)));
    e.rootX = ox + 3.5;
    e.rootY = oy + 2;
    ASSERT_TRUE(mouse.MousePositionGet(e, x, y));
    EXPECT_EQ(x, int(3.5 * s));
    EXPECT_EQ(y, int(2 * s));
    mouse.MouseHandlerDestroy();
    w.Close();
}

// While a view captures the mouse, a popup that is not one of the application's windows still
// gets its own clicks.
TEST_F(WindowCoreTest, ACaptureLetsOtherPopupsHaveTheirClicks)
{
    CoreWindow w;
    w.CreateCocoaWindow(200, 100, kStyle, false, nullptr);
    auto* child = new LCocoaViewBase(LUiRect { 20, 20, 100, 50 }, &w);
    w.GetContentView()->AddSubview(child);
    child->Release();
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    PositionMouse mouse;
    mouse.Hook(w, child);

    GtkWidget* popup = gtk_window_new(GTK_WINDOW_POPUP);
    gtk_window_move(GTK_WINDOW(popup), 20, 500);
    gtk_window_resize(GTK_WINDOW(popup), 80, 40);
    GtkWidget* box = gtk_event_box_new();
    gtk_container_add(GTK_CONTAINER(popup), box);
    int presses = 0;
    g_signal_connect(box, "button-press-event",
        G_CALLBACK(+[](GtkWidget*, GdkEventButton*, gpointer n) {
            ++*static_cast<int*>(n);
            return TRUE;
        }),
        &presses);
    gtk_widget_show_all(popup);
    ASSERT_TRUE(uitest::PumpUntil([&] { return gtk_widget_get_mapped(box); }));

    LCocoaMouseCaptureImpl& capture = LCocoaMouseCaptureImpl::sharedMouseCapture();
    capture.setCapture(&mouse, child);
    GdkEvent* e = gdk_event_new(GDK_BUTTON_PRESS);
    e->button.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(box)));
    e->button.x = e->button.y = 5;
    e->button.button = 1;
    e->button.time = 777;
    GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
    gdk_event_set_device(e, gdk_seat_get_pointer(seat));
    LEventHub::Dispatch(e);
    gdk_event_free(e);
    capture.releaseCapture();
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(mouse.downs, 0);
    gtk_widget_destroy(popup);
    mouse.MouseHandlerDestroy();
    w.Close();
}
