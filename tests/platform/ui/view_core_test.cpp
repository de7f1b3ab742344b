// The view layer under stress: where subviews go inside other containers, conversions with
// scrolling, input that follows the subview order, what assistive technologies see, clicks and
// focus that bubble, drops with their data, painting under posted work, captures.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "platform/ui/UI.h"
#include "support/UiTestSupport.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>

namespace {

class ViewCoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
};

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
    EXPECT_EQ(gtk_widget_get_allocated_height(onPage->Widget()), 40);

    // Conversions follow the scroll position, as GTK places the widgets.
    LUiPoint p = doc->ConvertToRoot(LUiPoint { 1, 1 });
    EXPECT_EQ(p.x, 16);
    EXPECT_EQ(p.y, 121);
    gtk_adjustment_set_value(scroll->vadj, 50);
    uitest::Pump(50);
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
    uitest::Pump(20);
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
    LView* controls[] = { button, check, entry, scale, toggle };
    double x = 10;
    for (LView* c : controls) {
        c->SetFrame(LUiRect { x, 40, 80, 34 });
        window->ContentView()->AddSubview(c);
        x += 90;
    }
    ASSERT_TRUE(uitest::ShowAndWait(window));
    ASSERT_TRUE(uitest::XClick(window, 50, 57));
    EXPECT_TRUE(uitest::PumpUntil([&] { return clicked == 1; }));
    ASSERT_TRUE(uitest::XClick(window, 110, 57));
    EXPECT_TRUE(uitest::PumpUntil(
        [&] { return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(check->Widget())); }));
    ASSERT_TRUE(uitest::XClick(window, 230, 57));
    EXPECT_TRUE(uitest::PumpUntil([&] { return gtk_widget_has_focus(entry->Widget()); }));
    ASSERT_TRUE(uitest::XClick(window, 330, 57));
    EXPECT_TRUE(
        uitest::PumpUntil([&] { return gtk_range_get_value(GTK_RANGE(scale->Widget())) > 0; }));
    ASSERT_TRUE(uitest::XClick(window, 400, 57));
    EXPECT_TRUE(
        uitest::PumpUntil([&] { return gtk_switch_get_active(GTK_SWITCH(toggle->Widget())); }));
    EXPECT_EQ(painted->downs, 0);

    // The painted view on top now: it takes the click on the button.
    window->ContentView()->AddSubview(painted);
    uitest::Pump(20);
    ASSERT_TRUE(uitest::XClick(window, 50, 57));
    EXPECT_TRUE(uitest::PumpUntil([&] { return painted->downs == 1; }));
    EXPECT_EQ(clicked, 1);
    for (LView* c : controls)
        c->Release();
    painted->Release();
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

    // A view gone leaves an accessible that answers nothing of it.
    g_object_ref(button);
    control->RemoveFromSuperview();
    control->Release();
    EXPECT_FALSE(atk_action_do_action(ATK_ACTION(button), 0));
    g_object_unref(button);
    CloseWindow(window);
}
