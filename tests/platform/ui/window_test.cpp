// The window layer on GTK: native windows, views, layout, modal loops and the event hub.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "platform/ui/UI.h"
#include "support/UiTestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <thread>

// After GoogleTest: Xlib's macros (None) would break its headers.
#include <gdk/gdkx.h>

namespace {

class UiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
};

LNativeWindow* MakeWindow(
    double w, double h, unsigned style = kLUiWindowTitled | kLUiWindowClosable)
{
    auto* window = new LNativeWindow(LUiRect { 40, 40, w, h }, style, false);
    auto* content = new LView;
    window->SetContentView(content);
    content->Release();
    return window;
}

double Scale()
{
    const char* s = getenv("GDK_SCALE");
    return s && atoi(s) > 1 ? atoi(s) : 1;
}

struct RecordingView : LView {
    std::vector<LUiEvent> events;
    bool handle = true;
    bool MouseDown(const LUiEvent& e) override { return Record(e); }
    bool MouseUp(const LUiEvent& e) override { return Record(e); }
    bool MouseDragged(const LUiEvent& e) override { return Record(e); }
    bool MouseMoved(const LUiEvent& e) override { return Record(e); }
    bool RightMouseDown(const LUiEvent& e) override { return Record(e); }
    bool KeyDown(const LUiEvent& e) override { return Record(e); }
    bool KeyUp(const LUiEvent& e) override { return Record(e); }
    bool Record(const LUiEvent& e)
    {
        events.push_back(e);
        return handle;
    }
};

} // namespace

// The frame with its title bar and borders around it inside a work area that leaves a panel of
// 30 points at the top of a 1366 x 768 screen. The frame's place is that of what stands around
// the window (where GTK puts it), its size the window's own.
TEST(WindowFit, FramesAreFittedIntoTheWorkArea)
{
    const LUiRect work { 0, 30, 1366, 738 };
    const LUiEdges edges { 5, 51, 5, 5 }; // borders and a title bar of 46 points above them
    auto fit = [&](LUiRect r) { return LNativeWindow::FittedFrame(r, edges, work, true); };
    // Inside: kept.
    EXPECT_EQ(fit({ 100, 100, 800, 500 }), (LUiRect { 100, 100, 800, 500 }));
    // Too large: as large as the work area holds with the edges, what stands around it at the
    // work area's top left corner.
    EXPECT_EQ(fit({ 0, 0, 1366, 800 }), (LUiRect { 0, 30, 1356, 682 }));
    EXPECT_EQ(fit({ -3000, 6000, 5000, 4000 }), (LUiRect { 0, 30, 1356, 682 }));
    // Standing out on one side: moved in by as little as needed, the size kept; the bottom
    // edge of the outer frame ends at the work area's.
    EXPECT_EQ(fit({ 900, 500, 800, 500 }), (LUiRect { 556, 212, 800, 500 }));
    EXPECT_EQ(fit({ -50, 10, 800, 500 }), (LUiRect { 0, 30, 800, 500 }));
    // Nothing left: one point.
    EXPECT_EQ(LNativeWindow::FittedFrame({ 0, 0, 100, 100 }, edges, { 0, 0, 8, 40 }, true),
        (LUiRect { 0, 0, 1, 1 }));
    // A window that cannot be resized keeps its size and only moves (its title bar on the
    // screen when it is larger than the work area).
    EXPECT_EQ(LNativeWindow::FittedFrame({ 900, 500, 800, 900 }, edges, work, false),
        (LUiRect { 556, 30, 800, 900 }));
}

TEST_F(UiTest, WindowOfGivenSizeIsThatXWindowInDevicePixels)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "xdotool missing";
    LNativeWindow* window = MakeWindow(400, 300);
    ASSERT_TRUE(uitest::ShowAndWait(window));
    EXPECT_EQ(window->BackingScale(), Scale());
    int w = 0, h = 0;
    ASSERT_TRUE(uitest::XGeometry(window->XWindowId(), w, h));
    EXPECT_EQ(w, int(400 * Scale()));
    EXPECT_EQ(h, int(300 * Scale()));
    EXPECT_EQ(window->ContentView()->Frame(), (LUiRect { 0, 0, 400, 300 }));
    window->Close();
    window->Release();
}

TEST_F(UiTest, HeldWindowRunsNoFrameUntilResumedThenPaintsInTheNext)
{
    // While held, not even the window's first layout runs a frame: such a frame makes the frame
    // clock wait a whole frame's interval before the one that paints what was done meanwhile.
    LNativeWindow* window = MakeWindow(300, 200);
    window->HoldPainting(60000);
    GtkWidget* gtk = GTK_WIDGET(window->Gtk());
    GdkFrameClock* clock = gtk_widget_get_frame_clock(gtk);
    ASSERT_NE(clock, nullptr);
    int frames = 0, draws = 0;
    auto count = +[](gpointer, gpointer n) { ++*static_cast<int*>(n); };
    const gulong layout = g_signal_connect(clock, "layout", G_CALLBACK(count), &frames);
    const gulong draw
        = g_signal_connect(gtk, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t*, gpointer n) {
              ++*static_cast<int*>(n);
              return FALSE;
          }),
            &draws);
    ASSERT_TRUE(uitest::ShowAndWait(window));
    uitest::Pump(100);
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(draws, 0);
    window->ResumePainting();
    EXPECT_TRUE(uitest::PumpUntil([&] { return draws > 0; }));
    EXPECT_GE(frames, 1);
    g_signal_handler_disconnect(clock, layout);
    g_signal_handler_disconnect(gtk, draw);
    window->Close();
    window->Release();
}

TEST_F(UiTest, ShownWindowHeldKeepsItsFramesButPaintsNothingUntilResumed)
{
    // A shown window may be amid a frame when it is held: only its painting waits.
    LNativeWindow* window = MakeWindow(300, 200);
    ASSERT_TRUE(uitest::ShowAndWait(window));
    ASSERT_TRUE(uitest::PumpUntilDrawn(window));
    GtkWidget* gtk = GTK_WIDGET(window->Gtk());
    GdkFrameClock* clock = gtk_widget_get_frame_clock(gtk);
    ASSERT_NE(clock, nullptr);
    int frames = 0, draws = 0;
    auto count = +[](gpointer, gpointer n) { ++*static_cast<int*>(n); };
    const gulong layout = g_signal_connect(clock, "layout", G_CALLBACK(count), &frames);
    const gulong draw
        = g_signal_connect(gtk, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t*, gpointer n) {
              ++*static_cast<int*>(n);
              return FALSE;
          }),
            &draws);
    window->HoldPainting(60000);
    gtk_widget_queue_resize(gtk);
    gtk_widget_queue_draw(gtk);
    EXPECT_TRUE(uitest::PumpUntil([&] { return frames > 0; }));
    uitest::Pump(100);
    EXPECT_EQ(draws, 0);
    window->ResumePainting();
    EXPECT_TRUE(uitest::PumpUntil([&] { return draws > 0; }));
    g_signal_handler_disconnect(clock, layout);
    g_signal_handler_disconnect(gtk, draw);
    window->Close();
    window->Release();
}

TEST_F(UiTest, ResizableWindowTakesNewContentSize)
{
    LNativeWindow* window = MakeWindow(200, 100, kLUiWindowTitled | kLUiWindowResizable);
    ASSERT_TRUE(uitest::ShowAndWait(window));
    window->ContentView()->SetFrame(LUiRect { 0, 0, 320, 180 });
    EXPECT_TRUE(uitest::PumpUntil([&] {
        GtkAllocation a;
        gtk_widget_get_allocation(window->ContentView()->Widget(), &a);
        return a.width == 320 && a.height == 180;
    }));
    EXPECT_EQ(window->ContentSize().width, 320);
    window->Release();
}

// The smallest size the window manager is told: the content's with the toolbar counted once,
// and never more than the screen's work area holds (a window can always be fitted to it).
TEST_F(UiTest, SmallestSizeCountsTheToolbarOnceAndFitsTheWorkArea)
{
    LNativeWindow* window = MakeWindow(300, 200, kLUiWindowTitled | kLUiWindowResizable);
    GtkWidget* toolbar = gtk_label_new("Verktygsfält");
    gtk_widget_set_size_request(toolbar, -1, 40);
    window->SetToolbar(toolbar);
    window->SetContentMinSize(250, 150);
    ASSERT_TRUE(uitest::ShowAndWait(window));
    auto told = [&] {
        XSizeHints hints {};
        long supplied = 0;
        GdkWindow* gw = gtk_widget_get_window(GTK_WIDGET(window->Gtk()));
        XGetWMNormalHints(GDK_WINDOW_XDISPLAY(gw), GDK_WINDOW_XID(gw), &hints, &supplied);
        const int s = std::max(1, gdk_window_get_scale_factor(gw));
        return std::make_pair(hints.min_width / s, hints.min_height / s);
    };
    const double bar = window->ToolbarHeight();
    EXPECT_GE(bar, 40);
    EXPECT_TRUE(uitest::PumpUntil([&] { return told() == std::make_pair(250, int(150 + bar)); }))
        << told().first << " x " << told().second;
    // Larger than any screen: the work area (less what stands around the window) at most.
    window->SetContentMinSize(20000, 20000);
    LUiScreen screen;
    ASSERT_TRUE(window->Screen(screen));
    const auto capped = [&] {
        const auto [width, height] = told();
        return width > 250 && width <= int(screen.visibleFrame.width) && height > int(150 + bar)
            && height <= int(screen.visibleFrame.height);
    };
    EXPECT_TRUE(uitest::PumpUntil(capped)) << told().first << " x " << told().second;
    window->FitToWorkArea();
    EXPECT_TRUE(uitest::PumpUntil([&] {
        const LUiRect f = window->Frame();
        return f.width <= screen.visibleFrame.width && f.height <= screen.visibleFrame.height;
    }));
    window->Close();
    window->Release();
}

TEST_F(UiTest, ZeroSizeBecomesOne)
{
    LNativeWindow* window = MakeWindow(0, 0);
    EXPECT_EQ(window->ContentSize().width, 1);
    EXPECT_EQ(window->ContentSize().height, 1);
    window->Release();
}

TEST_F(UiTest, SubviewsSitAtTheirFramesAndStackInOrder)
{
    LNativeWindow* window = MakeWindow(300, 200);
    LView* content = window->ContentView();
    auto* a = new LView;
    auto* b = new LView;
    a->SetFrame(LUiRect { 10, 20, 100, 50 });
    b->SetFrame(LUiRect { 0, -300, 30, 30 }); // unplaced, as new controls are
    content->AddSubview(a);
    content->AddSubview(b);
    ASSERT_TRUE(uitest::ShowAndWait(window));
    GtkAllocation al;
    gtk_widget_get_allocation(a->Widget(), &al);
    EXPECT_EQ(al.x, 10);
    EXPECT_EQ(al.y, 20);
    EXPECT_EQ(al.width, 100);
    EXPECT_EQ(al.height, 50);
    b->SetFrame(LUiRect { 5, 5, 2, 3 }); // smaller than anything GTK would ask for
    uitest::Pump(30);
    gtk_widget_get_allocation(b->Widget(), &al);
    EXPECT_EQ(al.width, 2);
    EXPECT_EQ(al.height, 3);
    content->InsertSubview(b, 0);
    EXPECT_EQ(content->Subviews().front(), b);
    EXPECT_EQ(vt_layout_get_n_children(VT_LAYOUT(content->Widget())), 2u);
    EXPECT_EQ(a->Window(), window);
    b->RemoveFromSuperview();
    EXPECT_EQ(b->Window(), nullptr);
    EXPECT_EQ(LView::FromWidget(a->Widget()), a);
    a->Release();
    b->Release();
    window->Release();
}

TEST_F(UiTest, ClickReachesViewInPointsWithScale)
{
    LNativeWindow* window = MakeWindow(300, 200);
    auto* view = new RecordingView;
    view->SetFrame(LUiRect { 50, 40, 100, 80 });
    window->ContentView()->AddSubview(view);
    ASSERT_TRUE(uitest::ShowAndWait(window));
    uitest::SendButton(view, 10, 12, 1, true);
    uitest::SendMotion(view, 20, 22, GDK_BUTTON1_MASK);
    uitest::SendButton(view, 20, 22, 1, false);
    ASSERT_EQ(view->events.size(), 3u);
    EXPECT_EQ(view->events[0].type, LUiEventType::MouseDown);
    EXPECT_DOUBLE_EQ(view->events[0].x, 10);
    EXPECT_DOUBLE_EQ(view->events[0].y, 12);
    EXPECT_EQ(view->events[0].clickCount, 1);
    EXPECT_EQ(view->events[0].scale, Scale());
    EXPECT_EQ(view->events[1].type, LUiEventType::MouseDragged);
    EXPECT_EQ(view->events[2].type, LUiEventType::MouseUp);
    view->Release();
    window->Release();
}

TEST_F(UiTest, RealClickThroughXdotool)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "xdotool missing";
    LNativeWindow* window = MakeWindow(300, 200);
    auto* view = new RecordingView;
    view->SetFrame(LUiRect { 50, 40, 100, 80 });
    window->ContentView()->AddSubview(view);
    ASSERT_TRUE(uitest::ShowAndWait(window));
    ASSERT_TRUE(uitest::XClick(window, 70, 60));
    ASSERT_TRUE(uitest::PumpUntil([&] {
        for (auto& e : view->events)
            if (e.type == LUiEventType::MouseUp)
                return true;
        return false;
    }));
    const LUiEvent* down = nullptr;
    for (auto& e : view->events)
        if (!down && e.type == LUiEventType::MouseDown)
            down = &e;
    ASSERT_NE(down, nullptr);
    EXPECT_NEAR(down->x, 20, 0.5);
    EXPECT_NEAR(down->y, 20, 0.5);
    view->Release();
    window->Release();
}

TEST_F(UiTest, UnhandledEventsGoToTheSuperview)
{
    LNativeWindow* window = MakeWindow(300, 200);
    auto* outer = new RecordingView;
    auto* inner = new RecordingView;
    outer->SetFrame(LUiRect { 10, 10, 200, 150 });
    inner->SetFrame(LUiRect { 10, 10, 50, 50 });
    outer->AddSubview(inner);
    window->ContentView()->AddSubview(outer);
    ASSERT_TRUE(uitest::ShowAndWait(window));
    inner->handle = false;
    uitest::SendButton(inner, 5, 5, 1, true);
    uitest::SendButton(inner, 5, 5, 1, false);
    ASSERT_EQ(inner->events.size(), 2u);
    ASSERT_EQ(outer->events.size(), 2u);
    EXPECT_DOUBLE_EQ(outer->events[0].x, 15); // in the outer view's own points
    inner->Release();
    outer->Release();
    window->Release();
}

TEST_F(UiTest, KeysGoToTheFocusedView)
{
    LNativeWindow* window = MakeWindow(300, 200);
    auto* view = new RecordingView;
    view->SetFrame(LUiRect { 0, 0, 100, 100 });
    view->SetAcceptsFocus(true);
    window->ContentView()->AddSubview(view);
    ASSERT_TRUE(uitest::ShowAndWait(window));
    ASSERT_TRUE(window->MakeFirstResponder(view));
    EXPECT_EQ(window->FirstResponder(), view);
    uitest::SendKey(view, GDK_KEY_a, true);
    uitest::SendKey(view, GDK_KEY_a, true); // held: an auto-repeat
    uitest::SendKey(view, GDK_KEY_a, false);
    ASSERT_EQ(view->events.size(), 3u);
    EXPECT_EQ(view->events[0].type, LUiEventType::KeyDown);
    EXPECT_EQ(view->events[0].character, uint32_t('a'));
    EXPECT_FALSE(view->events[0].isRepeat);
    EXPECT_TRUE(view->events[1].isRepeat);
    EXPECT_EQ(view->events[2].type, LUiEventType::KeyUp);
    window->MakeFirstResponder(nullptr);
    EXPECT_EQ(window->FirstResponder(), nullptr);
    view->Release();
    window->Release();
}

namespace {
struct CloseDelegate : LNativeWindowDelegate {
    int asked = 0, cancels = 0, closes = 0;
    bool agree = false;
    bool WindowShouldClose(LNativeWindow& w) override
    {
        ++asked;
        if (agree)
            w.Close();
        return agree;
    }
    bool WindowCancel(LNativeWindow&) override { return ++cancels, true; }
    void WindowWillClose(LNativeWindow&) override { ++closes; }
};
} // namespace

TEST_F(UiTest, DelegateDecidesOnCloseAndHearsEscape)
{
    LNativeWindow* window = MakeWindow(200, 100);
    auto* d = new CloseDelegate;
    window->SetDelegate(d);
    ASSERT_TRUE(uitest::ShowAndWait(window));
    LView* content = window->ContentView();
    content->Retain();
    uitest::SendKey(content, GDK_KEY_Escape, true);
    EXPECT_EQ(d->cancels, 1);
    GdkEvent* e = gdk_event_new(GDK_DELETE);
    e->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(window->Gtk()))));
    gtk_main_do_event(e);
    EXPECT_EQ(d->asked, 1);
    EXPECT_FALSE(window->IsClosed());
    d->agree = true;
    gtk_main_do_event(e);
    gdk_event_free(e);
    EXPECT_TRUE(window->IsClosed());
    EXPECT_EQ(d->closes, 1);
    // The content view outlives the window and can be used again.
    EXPECT_EQ(content->Window(), nullptr);
    EXPECT_NE(content->Widget(), nullptr);
    content->Release();
    d->Release();
    window->Release();
}

TEST_F(UiTest, ModalLoopsNestAndStopWithTheirCode)
{
    EXPECT_FALSE(LModalLoop::Stop(1));
    LNativeWindow* outer = MakeWindow(100, 100);
    LNativeWindow* inner = MakeWindow(100, 100);
    int innerResult = -1;
    LRunLoop::Post([&] {
        EXPECT_EQ(LModalLoop::Depth(), 1);
        EXPECT_TRUE(outer->IsModal());
        EXPECT_TRUE(outer->IsVisible()); // a modal window is shown in front
        LRunLoop::Post([&] {
            EXPECT_EQ(LModalLoop::ModalWindow(), inner);
            LModalLoop::Stop(7);
        });
        innerResult = LModalLoop::Run(inner);
        EXPECT_EQ(LModalLoop::Depth(), 1);
        LModalLoop::StopWindow(outer, 42);
    });
    EXPECT_EQ(LModalLoop::Run(outer), 42);
    EXPECT_EQ(innerResult, 7);
    EXPECT_EQ(LModalLoop::Depth(), 0);
    EXPECT_FALSE(outer->IsModal());
    outer->Release();
    inner->Release();
}

namespace {
std::vector<bool> gTransitions;
void RecordHook(bool any, void*)
{
    gTransitions.push_back(any);
}
} // namespace

TEST_F(UiTest, ModalCounterCountsGtkDialogsToo)
{
    gTransitions.clear();
    LModalCounter::SetHook(RecordHook, nullptr);
    EXPECT_EQ(LModalCounter::Enter(), 1u);
    EXPECT_EQ(LModalCounter::Enter(), 2u);
    EXPECT_EQ(LModalCounter::Leave(), 1u);
    EXPECT_EQ(LModalCounter::Leave(), 0u);
    EXPECT_EQ(LModalCounter::Leave(), 0u);
    EXPECT_EQ(gTransitions, (std::vector<bool> { true, false }));

    // A GTK message dialog run by GTK itself.
    gTransitions.clear();
    GtkWidget* dialog = gtk_message_dialog_new(
        nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_INFO, GTK_BUTTONS_OK, "Test");
    unsigned during = 0;
    std::pair<GtkWidget*, unsigned*> seen(dialog, &during);
    g_timeout_add(
        50,
        [](gpointer p) -> gboolean {
            auto* pair = static_cast<std::pair<GtkWidget*, unsigned*>*>(p);
            *pair->second = LModalCounter::Count();
            gtk_dialog_response(GTK_DIALOG(pair->first), GTK_RESPONSE_OK);
            return G_SOURCE_REMOVE;
        },
        &seen);
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    EXPECT_EQ(during, 1u);
    EXPECT_EQ(LModalCounter::Count(), 0u);
    EXPECT_EQ(gTransitions, (std::vector<bool> { true, false }));
    LModalCounter::SetHook(nullptr, nullptr);
}

namespace {
bool SwallowPresses(GdkEvent* e, void* data)
{
    ++*static_cast<int*>(data);
    return e->type == GDK_BUTTON_PRESS;
}
} // namespace

TEST_F(UiTest, EventHubMonitorsSeeAndSwallow)
{
    LNativeWindow* window = MakeWindow(200, 100);
    auto* view = new RecordingView;
    view->SetFrame(LUiRect { 0, 0, 100, 100 });
    window->ContentView()->AddSubview(view);
    ASSERT_TRUE(uitest::ShowAndWait(window));
    int seen = 0;
    uintptr_t token = LEventHub::AddMonitor(
        kLEventHubButtonPress | kLEventHubButtonRelease, SwallowPresses, &seen);
    uitest::SendButton(view, 5, 5, 1, true);
    uitest::SendButton(view, 5, 5, 1, false);
    EXPECT_EQ(seen, 2);
    ASSERT_EQ(view->events.size(), 1u);
    EXPECT_EQ(view->events[0].type, LUiEventType::MouseUp);
    LEventHub::RemoveMonitor(token);
    uitest::SendButton(view, 5, 5, 1, true);
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(view->events.size(), 2u);
    view->Release();
    window->Release();
}

TEST_F(UiTest, SystemFontSampleMeasures)
{
    double w = 0, h = 0;
    LUiMeasureText("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", nullptr,
        LUiSystemFontSize(), false, w, h);
    EXPECT_GT(LUiSystemFontSize(), 5);
    double cw = std::round(w / 62);
    EXPECT_GE(cw, 5);
    EXPECT_LE(cw, 12);
    EXPECT_GT(h, 8);
}

TEST_F(UiTest, KeptSizesFollowTheTextFontSizeAndWeight)
{
    auto measure = [](const char* text, const char* family, double size, bool bold) {
        double w = 0, h = 0;
        LUiMeasureText(text, family, size, bold, w, h);
        return std::make_pair(w, h);
    };
    const auto plain = measure("Lägg till text", "DejaVu Sans", 13, false);
    EXPECT_GT(plain.first, 0);
    EXPECT_EQ(measure("Lägg till text", "DejaVu Sans", 13, false), plain);
    // Each part of the question gives its own answer, also after the first was kept.
    EXPECT_GT(measure("Lägg till text", "DejaVu Sans", 13, true).first, plain.first);
    EXPECT_GT(measure("Lägg till text", "DejaVu Sans", 26, false).first, plain.first * 1.8);
    EXPECT_LT(measure("Lägg till", "DejaVu Sans", 13, false).first, plain.first);
    EXPECT_NE(measure("Lägg till text", "DejaVu Sans Mono", 13, false).first, plain.first);
    // Measured on another thread (a font map of its own): the same size.
    std::pair<double, double> there;
    std::thread([&] { there = measure("Lägg till text", "DejaVu Sans", 13, false); }).join();
    EXPECT_EQ(there, plain);
}

// A window that lays itself out anew when told of another size (told while GTK allocates it):
// the document of a scrolled area in its content follows the window's height, a fixed part
// taller. Sizes it asks for later, inside the window, are still heard: the scrolled area scrolls
// over the document's whole height after each change.
TEST_F(UiTest, SizesAskedForWhileTheWindowIsAllocatedAreHeardLater)
{
    struct Follower : LNativeWindowDelegate {
        GtkWidget* document = nullptr;
        int extra = 100;
        void WindowDidResize(LNativeWindow& window, const LUiRect&) override
        {
            vt_layout_set_request(
                VT_LAYOUT(document), 50, int(window.ContentSize().height) + extra);
        }
    };
    LNativeWindow* window = MakeWindow(200, 150, kLUiWindowTitled | kLUiWindowResizable);
    auto* follower = new Follower;
    window->SetDelegate(follower);
    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(
        GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    follower->document = vt_layout_new();
    gtk_container_add(GTK_CONTAINER(scrolled), follower->document);
    gtk_widget_show_all(scrolled);
    vt_layout_put(VT_LAYOUT(window->ContentView()->Widget()), scrolled, 0, 0, 100, 100);
    vt_layout_set_request(VT_LAYOUT(follower->document), 50, 250);
    ASSERT_TRUE(uitest::ShowAndWait(window));
    GtkAdjustment* v = gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(scrolled));
    auto scrollsOver = [&](double height) {
        return uitest::PumpUntil([&] { return gtk_adjustment_get_upper(v) == height; });
    };
    ASSERT_TRUE(scrollsOver(250));
    // Taller: the window is allocated anew and tells its delegate, which asks for a taller
    // document then.
    window->SetContentSize(200, 180);
    EXPECT_TRUE(scrollsOver(280)) << gtk_adjustment_get_upper(v);
    // Asked for afterwards, outside any allocation.
    follower->extra = 400;
    vt_layout_set_request(VT_LAYOUT(follower->document), 50, 580);
    EXPECT_TRUE(scrollsOver(580)) << gtk_adjustment_get_upper(v);
    window->SetDelegate(nullptr);
    follower->Release();
    window->Release();
}
