// The view layer under stress: where subviews go inside other containers, conversions with
// scrolling, input that follows the subview order, what assistive technologies see, clicks and
// focus that bubble, drops with their data, painting under posted work, captures.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "platform/ui/UI.h"
#include "support/UiTestSupport.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <set>

namespace {

class ViewCoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
};

std::string ArtefactPath(const char* name)
{
    return uitest::ArtefactPath("view_core", name);
}

LNativeWindow* MakeWindow(double w, double h)
{
    auto* window
        = new LNativeWindow(LUiRect { 40, 40, w, h }, kLUiWindowTitled | kLUiWindowClosable, false);
    auto* content = new LView;
    window->SetContentView(content);
    content->Release();
    return window;
}

void CloseWindow(LNativeWindow* window)
{
    window->Close();
    window->Release();
}

// A view with a GTK widget of its own making.
struct WidgetView : LView {
    std::function<GtkWidget*()> make;
    explicit WidgetView(std::function<GtkWidget*()> m)
        : make(std::move(m))
    {
    }
    GtkWidget* CreateWidget() override { return make(); }
};

// A painted view that counts what reaches it.
struct PaintedView : LView {
    int downs = 0, draws = 0;
    std::vector<int> clickCounts;
    bool handle = true;
    bool MouseDown(const LUiEvent& e) override
    {
        ++downs;
        clickCounts.push_back(e.clickCount);
        return handle;
    }
    void Draw(cairo_t* cr, const LUiRect&) override
    {
        ++draws;
        cairo_set_source_rgb(cr, 1, 0, 0);
        cairo_paint(cr);
    }
};

// A container whose widget is a scrolled window: its subviews go into the layout inside the
// viewport, and its scroll position is its bounds origin.
struct ScrollContainer : LView {
    GtkWidget* document = nullptr;
    GtkAdjustment* vadj = nullptr;
    GtkWidget* CreateWidget() override
    {
        GtkWidget* sw = gtk_scrolled_window_new(nullptr, nullptr);
        document = vt_layout_new();
        vt_layout_set_request(VT_LAYOUT(document), 300, 600);
        gtk_container_add(GTK_CONTAINER(sw), document);
        gtk_widget_show_all(sw);
        vadj = gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(sw));
        g_signal_connect(vadj, "value-changed", G_CALLBACK(+[](GtkAdjustment* a, gpointer self) {
            auto* view = static_cast<ScrollContainer*>(self);
            view->SetBoundsOrigin(LUiPoint { 0, gtk_adjustment_get_value(a) });
        }),
            this);
        return sw;
    }
    GtkWidget* SubviewContainer() override { return document; }
};

// A container whose widget is a notebook: its subviews go onto its one page.
struct PageContainer : LView {
    GtkWidget* page = nullptr;
    GtkWidget* CreateWidget() override
    {
        GtkWidget* nb = gtk_notebook_new();
        page = vt_layout_new();
        gtk_notebook_append_page(GTK_NOTEBOOK(nb), page, gtk_label_new("Sida"));
        gtk_widget_show_all(nb);
        return nb;
    }
    GtkWidget* SubviewContainer() override { return page; }
};

} // namespace

TEST_F(ViewCoreTest, SubviewsOfScrolledAndTabbedContainersAreShown)
{
    LNativeWindow* window = MakeWindow(400, 300);
    auto* scroll = new ScrollContainer;
    scroll->SetFrame(LUiRect { 10, 20, 200, 150 });
    window->ContentView()->AddSubview(scroll);
    auto* doc = new PaintedView;
    doc->SetFrame(LUiRect { 5, 100, 250, 400 });
    scroll->AddSubview(doc);
    auto* pages = new PageContainer;
    pages->SetFrame(LUiRect { 220, 20, 170, 150 });
    window->ContentView()->AddSubview(pages);
    auto* onPage = new PaintedView;
    onPage->SetFrame(LUiRect { 10, 10, 50, 40 });
    pages->AddSubview(onPage);
    ASSERT_TRUE(uitest::ShowAndWait(window));
    EXPECT_TRUE(uitest::PumpUntil([&] {
        return gtk_widget_get_mapped(doc->Widget()) && gtk_widget_get_mapped(onPage->Widget())
            && doc->draws > 0 && onPage->draws > 0;
    }));
    EXPECT_EQ(gtk_widget_get_allocated_width(doc->Widget()), 250);
    EXPECT_TRUE(uitest::SaveScreenshot(window, ArtefactPath("containers")));
    EXPECT_EQ(gtk_widget_get_allocated_height(onPage->Widget()), 40);

    // Conversions follow the scroll position, as GTK places the widgets.
    LUiPoint p = doc->ConvertToRoot(LUiPoint { 1, 1 });
    EXPECT_EQ(p.x, 16);
    EXPECT_EQ(p.y, 121);
    gtk_adjustment_set_value(scroll->vadj, 50);
    // GTK moves the widgets on its next layout pass, which may come late on a busy machine.
    uitest::PumpUntil([&] {
        int x = 0, y = 0;
        return gtk_widget_translate_coordinates(
                   doc->Widget(), window->ContentView()->Widget(), 1, 1, &x, &y)
            && y == 71;
    });
    p = doc->ConvertToRoot(LUiPoint { 1, 1 });
    int gx = 0, gy = 0;
    ASSERT_TRUE(gtk_widget_translate_coordinates(
        doc->Widget(), window->ContentView()->Widget(), 1, 1, &gx, &gy));
    EXPECT_EQ(p.x, gx);
    EXPECT_EQ(p.y, gy);
    EXPECT_EQ(p.y, 71);
    LUiPoint back = doc->ConvertFromRoot(p);
    EXPECT_EQ(back.x, 1);
    EXPECT_EQ(back.y, 1);

    // Taken out and put back: the widget follows.
    doc->RemoveFromSuperview();
    EXPECT_EQ(gtk_widget_get_parent(doc->Widget()), nullptr);
    scroll->AddSubview(doc);
    EXPECT_EQ(gtk_widget_get_parent(doc->Widget()), scroll->document);
    doc->SetFrame(LUiRect { 0, 0, 120, 80 });
    uitest::PumpUntil([&] { return gtk_widget_get_allocated_width(doc->Widget()) == 120; });
    EXPECT_EQ(gtk_widget_get_allocated_width(doc->Widget()), 120);
    doc->Release();
    onPage->Release();
    scroll->Release();
    pages->Release();
    CloseWindow(window);
}

// Every control kind above a painted view in the subview list is the one a real click reaches;
// moved below it, the painted view takes the click.
TEST_F(ViewCoreTest, RealClicksFollowTheSubviewOrder)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "xdotool missing";
    LNativeWindow* window = MakeWindow(460, 120);
    auto* back = new PaintedView;
    window->SetContentView(back);
    auto* painted = new PaintedView;
    painted->SetFrame(LUiRect { 0, 0, 460, 120 });
    window->ContentView()->AddSubview(painted);
    int clicked = 0;
    auto* button = new WidgetView([&] {
        GtkWidget* b = gtk_button_new_with_label("Tryck");
        g_signal_connect(b, "clicked",
            G_CALLBACK(+[](GtkButton*, gpointer n) { ++*static_cast<int*>(n); }), &clicked);
        return b;
    });
    auto* check = new WidgetView([] { return gtk_check_button_new_with_label("Val"); });
    auto* entry = new WidgetView([] { return gtk_entry_new(); });
    entry->SetAcceptsFocus(true);
    auto* scale = new WidgetView(
        [] { return gtk_scale_new_with_range(GTK_ORIENTATION_HORIZONTAL, 0, 100, 1); });
    auto* toggle = new WidgetView([] { return gtk_switch_new(); });
    auto* label = new WidgetView([] { return gtk_label_new("Etikett"); });
    LView* controls[] = { button, check, entry, scale, toggle, label };
    double x = 10;
    for (LView* c : controls) {
        c->SetFrame(LUiRect { x, 40, 80, 34 });
        window->ContentView()->AddSubview(c);
        x += 90;
    }
    label->SetFrame(LUiRect { 10, 80, 80, 30 });
    ASSERT_TRUE(uitest::ShowAndWait(window));
    ASSERT_TRUE(uitest::XClick(window, 50, 57));
    EXPECT_TRUE(uitest::PumpUntil([&] { return clicked == 1; }));
    ASSERT_TRUE(uitest::XClick(window, 110, 57));
    EXPECT_TRUE(uitest::PumpUntil(
        [&] { return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(check->Widget())); }));
    ASSERT_TRUE(uitest::XClick(window, 230, 57));
    EXPECT_TRUE(uitest::PumpUntil([&] { return gtk_widget_is_focus(entry->Widget()); }));
    ASSERT_TRUE(uitest::XClick(window, 330, 57));
    EXPECT_TRUE(
        uitest::PumpUntil([&] { return gtk_range_get_value(GTK_RANGE(scale->Widget())) > 0; }));
    ASSERT_TRUE(uitest::XClick(window, 400, 57));
    EXPECT_TRUE(
        uitest::PumpUntil([&] { return gtk_switch_get_active(GTK_SWITCH(toggle->Widget())); }));
    // A label has no window of its own: a click on it is its superview's.
    ASSERT_TRUE(uitest::XClick(window, 40, 95));
    EXPECT_TRUE(uitest::PumpUntil([&] { return back->downs == 1; }));
    EXPECT_EQ(painted->downs, 0);

    EXPECT_TRUE(uitest::SaveScreenshot(window, ArtefactPath("controls-over-painted")));

    // The painted view on top now: it takes the click on the button.
    // Put back, its widget is mapped again (above the controls) on GTK's next layout pass: wait
    // for that, and for the server to have it, before clicking.
    int drawn = painted->draws;
    window->ContentView()->AddSubview(painted);
    uitest::PumpUntil(
        [&] { return gtk_widget_get_mapped(painted->Widget()) && painted->draws > drawn; });
    gdk_display_sync(gdk_display_get_default());
    ASSERT_TRUE(uitest::XClick(window, 50, 57));
    EXPECT_TRUE(uitest::PumpUntil([&] { return painted->downs == 1; }));
    EXPECT_EQ(clicked, 1);
    for (LView* c : controls)
        c->Release();
    painted->Release();
    back->Release();
    CloseWindow(window);
}

namespace {

struct NamedControl : LView {
    int activations = 0;
    AtkRole AccessibleRole() const override { return ATK_ROLE_PUSH_BUTTON; }
    std::string AccessibleName() const override { return "Skriv ut"; }
    const char* AccessibleActionName() const override { return "click"; }
    bool AccessibleActivate() override { return ++activations, true; }
};

} // namespace

TEST_F(ViewCoreTest, PaintedViewsTellAssistiveTechnologiesWhatTheyAre)
{
    LNativeWindow* window = MakeWindow(200, 100);
    auto* control = new NamedControl;
    control->SetFrame(LUiRect { 10, 10, 80, 30 });
    window->ContentView()->AddSubview(control);

    AtkObject* panel = gtk_widget_get_accessible(window->ContentView()->Widget());
    ASSERT_TRUE(panel);
    EXPECT_EQ(atk_object_get_role(panel), ATK_ROLE_PANEL);
    EXPECT_EQ(atk_object_get_name(panel), nullptr);
    ASSERT_TRUE(ATK_IS_ACTION(panel));
    EXPECT_EQ(atk_action_get_n_actions(ATK_ACTION(panel)), 0);

    AtkObject* button = gtk_widget_get_accessible(control->Widget());
    EXPECT_EQ(atk_object_get_role(button), ATK_ROLE_PUSH_BUTTON);
    EXPECT_STREQ(atk_object_get_name(button), "Skriv ut");
    ASSERT_EQ(atk_action_get_n_actions(ATK_ACTION(button)), 1);
    EXPECT_STREQ(atk_action_get_name(ATK_ACTION(button), 0), "click");
    EXPECT_TRUE(atk_action_do_action(ATK_ACTION(button), 0));
    EXPECT_EQ(control->activations, 1);
    // A disabled or hidden control does nothing.
    gtk_widget_set_sensitive(control->Widget(), FALSE);
    EXPECT_FALSE(atk_action_do_action(ATK_ACTION(button), 0));
    EXPECT_EQ(control->activations, 1);
    // The panel holds the control among its children.
    EXPECT_EQ(atk_object_get_n_accessible_children(panel), 1);

    // A control with a GTK widget of its own keeps GTK's accessible, with the view's name.
    struct ImageButton : WidgetView {
        std::string name = "Zooma in";
        ImageButton()
            : WidgetView([] { return gtk_button_new(); })
        {
        }
        std::string AccessibleName() const override { return name; }
    };
    auto* image = new ImageButton;
    image->SetFrame(LUiRect { 100, 10, 40, 30 });
    window->ContentView()->AddSubview(image);
    AtkObject* imageAtk = gtk_widget_get_accessible(image->Widget());
    EXPECT_EQ(atk_object_get_role(imageAtk), ATK_ROLE_PUSH_BUTTON);
    EXPECT_STREQ(atk_object_get_name(imageAtk), "Zooma in");
    image->name = "Zooma ut";
    image->AccessibleChanged();
    EXPECT_STREQ(atk_object_get_name(imageAtk), "Zooma ut");
    image->Release();

    // A view gone leaves an accessible that answers nothing of it.
    g_object_ref(button);
    control->RemoveFromSuperview();
    control->Release();
    EXPECT_FALSE(atk_action_do_action(ATK_ACTION(button), 0));
    g_object_unref(button);
    CloseWindow(window);
}

namespace {

// A view that takes the focus on a click and records its keys and clicks.
struct FocusView : PaintedView {
    std::vector<LUiEvent> keys;
    FocusView()
    {
        SetAcceptsFocus(true);
        handle = false; // clicks go on to the superview
    }
    bool KeyDown(const LUiEvent& e) override { return keys.push_back(e), true; }
};

} // namespace

// One click on a nested view is one click for every view it bubbles through, and only the
// clicked view takes the focus.
TEST_F(ViewCoreTest, AClickBubblesWithOneCountAndFocusesOnlyTheClickedView)
{
    LNativeWindow* window = MakeWindow(300, 200);
    auto* outer = new FocusView;
    outer->SetFrame(LUiRect { 10, 10, 280, 180 });
    window->ContentView()->AddSubview(outer);
    auto* middle = new FocusView;
    middle->SetFrame(LUiRect { 10, 10, 200, 120 });
    outer->AddSubview(middle);
    auto* inner = new FocusView;
    inner->SetFrame(LUiRect { 10, 10, 100, 60 });
    middle->AddSubview(inner);
    ASSERT_TRUE(uitest::ShowAndWait(window));
    uitest::SendButton(inner, 20, 20, 1, true);
    uitest::SendButton(inner, 20, 20, 1, false);
    EXPECT_EQ(inner->clickCounts, (std::vector<int> { 1 }));
    EXPECT_EQ(middle->clickCounts, (std::vector<int> { 1 }));
    EXPECT_EQ(outer->clickCounts, (std::vector<int> { 1 }));
    EXPECT_EQ(window->FirstResponder(), inner);
    uitest::SendKey(inner, GDK_KEY_b, true);
    uitest::SendKey(inner, GDK_KEY_b, false);
    EXPECT_EQ(inner->keys.size(), 1u);
    EXPECT_TRUE(outer->keys.empty());
    // A click on the outer view's own area focuses it.
    uitest::SendButton(outer, 250, 170, 1, true);
    uitest::SendButton(outer, 250, 170, 1, false);
    EXPECT_EQ(window->FirstResponder(), outer);
    EXPECT_EQ(outer->clickCounts, (std::vector<int> { 1, 1 }));
    inner->Release();
    middle->Release();
    outer->Release();
    CloseWindow(window);
}

namespace {

void SendFocusChange(LNativeWindow* window, bool in)
{
    GdkEvent* e = gdk_event_new(GDK_FOCUS_CHANGE);
    e->focus_change.window
        = GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(window->Gtk()))));
    e->focus_change.send_event = TRUE;
    e->focus_change.in = in;
    GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
    gdk_event_set_device(e, seat ? gdk_seat_get_keyboard(seat) : nullptr);
    LEventHub::Dispatch(e);
    gdk_event_free(e);
}

void SendFocusOut(LNativeWindow* window)
{
    SendFocusChange(window, false);
}

struct EntryContent : LView {
    GtkWidget* CreateWidget() override { return gtk_entry_new(); }
};

} // namespace

// A key released where no view sees it (another window, a GTK control), or lost with the focus,
// is not held any more: its next press is a new press.
TEST_F(ViewCoreTest, KeysReleasedElsewhereOrLostWithTheFocusAreNotHeld)
{
    LNativeWindow* a = MakeWindow(200, 100);
    auto* view = new FocusView;
    view->SetFrame(LUiRect { 0, 0, 200, 100 });
    a->ContentView()->AddSubview(view);
    auto* b = new LNativeWindow(LUiRect { 300, 40, 200, 60 }, kLUiWindowTitled, false);
    auto* entry = new EntryContent;
    entry->SetAcceptsFocus(true);
    b->SetContentView(entry);
    ASSERT_TRUE(uitest::ShowAndWait(b));
    b->MakeFirstResponder(entry);
    ASSERT_TRUE(uitest::ShowAndWait(a));
    ASSERT_TRUE(a->MakeFirstResponder(view));

    uitest::SendKey(view, GDK_KEY_a, true);
    uitest::SendKey(view, GDK_KEY_a, true); // held: the repeat
    uitest::SendKey(entry, GDK_KEY_a, false); // released in the other window's text field
    uitest::SendKey(view, GDK_KEY_a, true);
    SendFocusOut(a);
    a->MakeFirstResponder(view);
    uitest::SendKey(view, GDK_KEY_a, true);
    ASSERT_EQ(view->keys.size(), 4u);
    EXPECT_FALSE(view->keys[0].isRepeat);
    EXPECT_TRUE(view->keys[1].isRepeat);
    EXPECT_FALSE(view->keys[2].isRepeat);
    EXPECT_FALSE(view->keys[3].isRepeat);
    uitest::SendKey(view, GDK_KEY_a, false);
    view->Release();
    entry->Release();
    CloseWindow(b);
    CloseWindow(a);
}

// A key still down when its window went (a dialog closed by the press, the release sent to the
// window that is no more) is not held once a window gets the keyboard: its next press there is
// a new press, not a repeat.
TEST_F(ViewCoreTest, KeysDownWhenTheirWindowWentAreNotHeldWhereTheKeyboardComes)
{
    LNativeWindow* a = MakeWindow(200, 100);
    auto* view = new FocusView;
    view->SetFrame(LUiRect { 0, 0, 200, 100 });
    a->ContentView()->AddSubview(view);
    ASSERT_TRUE(uitest::ShowAndWait(a));
    ASSERT_TRUE(a->MakeFirstResponder(view));

    uitest::SendKey(view, GDK_KEY_Return, true); // its release never comes
    SendFocusChange(a, true);
    uitest::SendKey(view, GDK_KEY_Return, true);
    ASSERT_EQ(view->keys.size(), 2u);
    EXPECT_FALSE(view->keys[1].isRepeat);
    uitest::SendKey(view, GDK_KEY_Return, false);
    view->Release();
    CloseWindow(a);
}

// Posted work that keeps posting more does not stop a window from painting.
TEST_F(ViewCoreTest, WindowsKeepPaintingUnderRepostingWork)
{
    LNativeWindow* window = MakeWindow(200, 100);
    auto* view = new PaintedView;
    view->SetFrame(LUiRect { 0, 0, 200, 100 });
    window->ContentView()->AddSubview(view);
    ASSERT_TRUE(uitest::ShowAndWait(window));
    bool running = true;
    long posts = 0;
    std::function<void()> job = [&] {
        if (!running)
            return;
        ++posts;
        view->SetNeedsDisplay();
        LRunLoop::Post(job);
    };
    LRunLoop::Post(job);
    uitest::Pump(100);
    int before = view->draws;
    long startPosts = posts;
    // Counts, not a frame rate: a busy machine may give the test little time, but while the
    // jobs keep reposting themselves the window must go on drawing frame after frame.
    uitest::PumpUntil(
        [&] { return view->draws - before >= 30 && posts - startPosts > 1000; }, 20000);
    int frames = view->draws - before;
    running = false;
    uitest::Pump(20);
    EXPECT_GE(frames, 30) << frames << " frames, " << posts << " posts";
    EXPECT_GT(posts - startPosts, 1000);
    view->Release();
    CloseWindow(window);
}

namespace {

struct DropView : LView {
    int performs = 0, ended = 0;
    LUiDragInfo last;
    DropView() { RegisterDraggedTypes({ "text/uri-list" }); }
    int DraggingEntered(const LUiDragInfo&) override { return kLUiDragCopy; }
    int DraggingUpdated(const LUiDragInfo&) override { return kLUiDragCopy; }
    bool PrepareForDragOperation(const LUiDragInfo&) override { return true; }
    bool PerformDragOperation(const LUiDragInfo& info) override
    {
        ++performs;
        last = info;
        last.context = nullptr;
        return true;
    }
    void DraggingEnded(const LUiDragInfo&) override { ++ended; }
};

// A drag source of one data type whose data is the string given.
struct SourceView : LView {
    std::string type, payload;
    SourceView(std::string t, std::string p)
        : type(std::move(t))
        , payload(std::move(p))
    {
    }
    GtkWidget* CreateWidget() override
    {
        GtkWidget* box = gtk_event_box_new();
        gtk_container_add(GTK_CONTAINER(box), gtk_label_new("Dra"));
        gtk_widget_show_all(box);
        GtkTargetEntry entry { const_cast<gchar*>(type.c_str()), 0, 0 };
        gtk_drag_source_set(box, GDK_BUTTON1_MASK, &entry, 1, GDK_ACTION_COPY);
        g_signal_connect(box, "drag-data-get",
            G_CALLBACK(+[](GtkWidget*, GdkDragContext*, GtkSelectionData* data, guint, guint,
                            gpointer self) {
                auto* view = static_cast<SourceView*>(self);
                gtk_selection_data_set(data, gtk_selection_data_get_target(data), 8,
                    reinterpret_cast<const guchar*>(view->payload.data()),
                    gint(view->payload.size()));
            }),
            this);
        return box;
    }
};

LNativeWindow* MakeWindowAt(double x, double y)
{
    auto* window = new LNativeWindow(LUiRect { x, y, 150, 100 }, kLUiWindowTitled, false);
    auto* content = new LView;
    window->SetContentView(content);
    content->Release();
    return window;
}

} // namespace

// A drop reads its data: a file list of 10,000 files dragged in arrives whole; a drag of a type
// the view does not take is refused without a perform.
TEST_F(ViewCoreTest, DropsCarryTheirData)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "xdotool missing";
    std::string uris;
    for (int i = 0; i < 10000; ++i)
        uris += "file:///tmp/vt-drop/fil-" + std::to_string(i) + ".png\r\n";
    LNativeWindow* from = MakeWindowAt(20, 300);
    auto* files = new SourceView("text/uri-list", uris);
    files->SetFrame(LUiRect { 0, 0, 70, 100 });
    from->ContentView()->AddSubview(files);
    auto* garbage = new SourceView("application/x-vt-garbage", std::string(5000, '\xff'));
    garbage->SetFrame(LUiRect { 80, 0, 70, 100 });
    from->ContentView()->AddSubview(garbage);
    LNativeWindow* to = MakeWindowAt(300, 300);
    auto* target = new DropView;
    target->SetFrame(LUiRect { 0, 0, 150, 100 });
    to->ContentView()->AddSubview(target);
    ASSERT_TRUE(uitest::ShowAndWait(from));
    ASSERT_TRUE(uitest::ShowAndWait(to));

    EXPECT_TRUE(uitest::XDrag(from, 30, 40, to, 60, 50, [&] { return target->performs > 0; }));
    ASSERT_EQ(target->performs, 1);
    EXPECT_EQ(target->last.dataType, "text/uri-list");
    EXPECT_EQ(std::string(target->last.data.begin(), target->last.data.end()), uris);
    EXPECT_EQ(target->ended, 1);

    uitest::XDrag(
        from, 110, 40, to, 60, 50, [&] { return target->ended > 1; }, 3000);
    EXPECT_EQ(target->performs, 1);
    files->Release();
    garbage->Release();
    target->Release();
    CloseWindow(from);
    CloseWindow(to);
}

namespace {

struct WholeWindow : LNativeWindow {
    using LNativeWindow::LNativeWindow;
};

struct CloseRecorder : LNativeWindowDelegate {
    std::vector<bool> whole; // per WindowWillClose: the window was still whole
    void WindowWillClose(LNativeWindow& w) override
    {
        whole.push_back(dynamic_cast<WholeWindow*>(&w) != nullptr);
    }
};

} // namespace

// The delegate hears of a close while the window is whole, never from its destruction.
TEST_F(ViewCoreTest, DelegatesHearOfClosesOnlyFromWholeWindows)
{
    auto* recorder = new CloseRecorder;
    auto* closed = new WholeWindow(LUiRect { 40, 40, 80, 40 }, kLUiWindowTitled, false);
    closed->SetDelegate(recorder);
    closed->Close();
    closed->Release();
    auto* released = new WholeWindow(LUiRect { 40, 40, 80, 40 }, kLUiWindowTitled, false);
    released->SetDelegate(recorder);
    released->Release(); // destroyed without a close
    EXPECT_EQ(recorder->whole, (std::vector<bool> { true }));
    recorder->Release();
}

// A storm of keys over two windows, with the focus changing between presses and releases: a
// press is a repeat exactly when its key is held, as a person's keyboard would have it.
TEST_F(ViewCoreTest, KeyStormsWithFocusChangesKeepHeldKeysRight)
{
    LNativeWindow* a = MakeWindow(200, 100);
    auto* view = new FocusView;
    view->SetFrame(LUiRect { 0, 0, 200, 100 });
    a->ContentView()->AddSubview(view);
    auto* b = new LNativeWindow(LUiRect { 300, 40, 200, 60 }, kLUiWindowTitled, false);
    auto* entry = new EntryContent;
    entry->SetAcceptsFocus(true);
    b->SetContentView(entry);
    ASSERT_TRUE(uitest::ShowAndWait(b));
    b->MakeFirstResponder(entry);
    ASSERT_TRUE(uitest::ShowAndWait(a));
    ASSERT_TRUE(a->MakeFirstResponder(view));

    const unsigned keys[] = { GDK_KEY_q, GDK_KEY_w, GDK_KEY_e, GDK_KEY_r };
    std::set<unsigned> held;
    std::vector<bool> expected;
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    for (int i = 0; i < 1500; ++i) {
        unsigned key = keys[next(4)];
        switch (next(5)) {
        case 0:
        case 1:
            expected.push_back(held.count(key) > 0);
            held.insert(key);
            uitest::SendKey(view, key, true);
            break;
        case 2:
            held.erase(key);
            uitest::SendKey(view, key, false);
            break;
        case 3:
            held.erase(key);
            uitest::SendKey(entry, key, false);
            break;
        case 4:
            held.clear();
            SendFocusOut(next(2) ? a : b);
            a->MakeFirstResponder(view);
            break;
        }
    }
    ASSERT_EQ(view->keys.size(), expected.size());
    size_t wrong = 0;
    for (size_t i = 0; i < expected.size(); ++i)
        wrong += view->keys[i].isRepeat != expected[i];
    EXPECT_EQ(wrong, 0u);
    for (unsigned key : keys)
        uitest::SendKey(view, key, false);
    view->Release();
    entry->Release();
    CloseWindow(b);
    CloseWindow(a);
}

// Input that arrives while a loop only waits for an answer (the clipboard's) waits for it, then
// reaches its view in order.
TEST_F(ViewCoreTest, InputHeldWhileWaitingArrivesAfterwardsInOrder)
{
    LNativeWindow* a = MakeWindow(200, 100);
    auto* view = new FocusView;
    view->SetFrame(LUiRect { 0, 0, 200, 100 });
    a->ContentView()->AddSubview(view);
    ASSERT_TRUE(uitest::ShowAndWait(a));
    ASSERT_TRUE(a->MakeFirstResponder(view));

    LEventHub::HoldInput();
    LEventHub::HoldInput(); // nested
    uitest::SendKey(view, GDK_KEY_a, true);
    uitest::SendKey(view, GDK_KEY_a, false);
    uitest::SendKey(view, GDK_KEY_b, true);
    uitest::Pump(50);
    EXPECT_TRUE(view->keys.empty());
    LEventHub::ReleaseInput();
    uitest::Pump(50);
    EXPECT_TRUE(view->keys.empty());
    LEventHub::ReleaseInput();
    uitest::PumpUntil([&] { return view->keys.size() >= 2; }, 2000);
    ASSERT_EQ(view->keys.size(), 2u);
    EXPECT_FALSE(view->keys[0].isRepeat);
    EXPECT_FALSE(view->keys[1].isRepeat);
    uitest::SendKey(view, GDK_KEY_b, false);
    view->Release();
    CloseWindow(a);
}
