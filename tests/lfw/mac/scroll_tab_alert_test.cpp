// Painted-control hosts, scroll views, tab views and message boxes on real windows.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/mac/LAlert.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/LScrollView.h"
#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaPaintControlImpl.h"
#include "lfw/mac/cocoa/LCocoaTabViewImpl.h"
#include "platform/ui/LUiAlert.h"
#include "platform/ui/UI.h"
#include "support/UiTestSupport.h"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>
// Last: the X headers define names the others use.
#include <gdk/gdkx.h>

namespace {

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable;

std::string ArtefactPath(const char* name)
{
    return uitest::ArtefactPath("dialogs", name);
}

class ScrollTabAlertTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
};

// A painted control that counts what its host tells it.
struct CountingControl : LCocoaPaintControlBridge {
    int width = 0, height = 0, sizes = 0, paints = 0, shows = 0, hides = 0, keys = 0;
    void GetPaintControlSize(int& w, int& h) const override
    {
        w = width;
        h = height;
    }
    void SetPaintControlSize(int w, int h) override
    {
        width = w;
        height = h;
    }
    void EvSize() override { ++sizes; }
    void EvShow(bool show) override { ++(show ? shows : hides); }
    void EvPaint(cairo_t* cr, const LUiRect& dirty) override
    {
        ++paints;
        cairo_set_source_rgb(cr, 0.2, 0.4, 0.8);
        cairo_rectangle(cr, dirty.x, dirty.y, dirty.width, dirty.height);
        cairo_fill(cr);
    }
    bool EvPaintControlKey(const LUiEvent&) override { return ++keys, true; }
};

struct TestWindow : LMacWindow {
    std::function<void(int)> onCommand;
    void Command(int id, int code) override
    {
        if (onCommand)
            onCommand(id);
        LMacWindow::Command(id, code);
    }
};

void MakeWindow(LMacWindow& w, double widthPoints, double heightPoints)
{
    LUiScreen screen;
    ASSERT_TRUE(LUiMainScreen(screen));
    w.CreateCocoaWindow(
        int(widthPoints * screen.scale), int(heightPoints * screen.scale), kStyle, false, nullptr);
    ASSERT_NE(w.GetContentView(), nullptr);
}

// Runs fn once the innermost message box is on the screen (from inside its run).
void WhenAlertShows(std::function<void(GtkWidget*)> fn)
{
    auto* held = new std::function<void(GtkWidget*)>(std::move(fn));
    g_timeout_add(
        20,
        +[](gpointer data) -> gboolean {
            auto* f = static_cast<std::function<void(GtkWidget*)>*>(data);
            auto* dialog = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
            if (!dialog || !gtk_widget_get_mapped(dialog))
                return G_SOURCE_CONTINUE;
            uitest::Pump(50);
            (*f)(dialog);
            delete f;
            return G_SOURCE_REMOVE;
        },
        held);
}

unsigned long Xid(GtkWidget* w)
{
    return gdk_x11_window_get_xid(gtk_widget_get_window(gtk_widget_get_toplevel(w)));
}

void XKey(GtkWidget* dialog, const char* key)
{
    gdk_display_sync(gdk_display_get_default());
    uitest::Run("xdotool windowfocus --sync " + std::to_string(Xid(dialog)) + " key " + key);
}

// Clicks the widget's centre with the real pointer.
void XClickWidget(GtkWidget* widget)
{
    GtkWidget* top = gtk_widget_get_toplevel(widget);
    int x = 0, y = 0;
    gtk_widget_translate_coordinates(widget, top, gtk_widget_get_allocated_width(widget) / 2,
        gtk_widget_get_allocated_height(widget) / 2, &x, &y);
    int s = gtk_widget_get_scale_factor(top);
    gdk_window_raise(gtk_widget_get_window(top));
    gdk_display_sync(gdk_display_get_default());
    uitest::Run("xdotool mousemove --window " + std::to_string(Xid(top)) + " "
        + std::to_string(x * s) + " " + std::to_string(y * s) + " click 1");
}

// The dialog's buttons from left to right, by label.
std::vector<std::string> ButtonsLeftToRight(GtkWidget* dialog)
{
    std::vector<std::pair<int, std::string>> found;
    for (int r = 0; r < 3; ++r) {
        GtkWidget* b = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), r);
        if (!b)
            continue;
        int x = 0, y = 0;
        gtk_widget_translate_coordinates(b, dialog, 0, 0, &x, &y);
        found.emplace_back(x, gtk_button_get_label(GTK_BUTTON(b)));
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> labels;
    for (auto& [x, l] : found)
        labels.push_back(l);
    return labels;
}

void SaveWidgetPng(GtkWidget* widget, const char* name)
{
    int s = gtk_widget_get_scale_factor(widget);
    int w = gtk_widget_get_allocated_width(widget), h = gtk_widget_get_allocated_height(widget);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w * s, h * s);
    cairo_surface_set_device_scale(surface, s, s);
    cairo_t* cr = cairo_create(surface);
    gtk_widget_draw(widget, cr);
    cairo_destroy(cr);
    std::string path = ArtefactPath(name);
    uitest::Run("mkdir -p \"$(dirname '" + path + "')\"");
    cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_destroy(surface);
}

} // namespace

// --- painted-control host and scroll view ------------------------------------------------------

TEST_F(ScrollTabAlertTest, HostKeepsThePixelSizeAndPaintsOnlyAnInitialisedWindow)
{
    TestWindow window;
    MakeWindow(window, 300, 200);
    double s = window.GetBackingScaleFactor();
    CountingControl control;
    auto* host = new LCocoaPaintControlImpl(LUiRect { 10, 10, 100.25, 40 }, 7, &window);
    host->setPaintControl(&control);
    window.GetContentView()->AddSubview(host);
    host->updatePaintControlSize();
    EXPECT_EQ(control.width, int(100.25 * s + 0.5)); // 201 at scale 2
    EXPECT_EQ(control.height, int(40 * s + 0.5));
    EXPECT_EQ(control.sizes, 1);
    // Moving without a new size tells the control nothing.
    host->SetFrame(LUiRect { 20, 20, 100.25, 40 });
    EXPECT_EQ(control.sizes, 1);

    ASSERT_TRUE(uitest::ShowAndWait(window.GetNativeWindow()));
    uitest::Pump(100);
    EXPECT_EQ(control.paints, 0) << "painted before the window was initialised";
    window.InitCommon(kLCocoaDialogCenterNone, true);
    host->SetNeedsDisplay();
    EXPECT_TRUE(uitest::PumpUntil([&] { return control.paints > 0; }));
    host->SetHidden(true);
    host->SetHidden(false);
    EXPECT_EQ(control.hides, 1);
    EXPECT_EQ(control.shows, 1);
    EXPECT_EQ(host->tag(), 7);
    host->Release();
    window.DestroyCommon();
}

TEST_F(ScrollTabAlertTest, ScrollViewKeepsItsDocumentAtLeastTheVisibleArea)
{
    struct CountingScroll : LScrollView {
        int updates = 0;
        void UpdateScroll() override { ++updates; }
    };
    TestWindow window;
    MakeWindow(window, 400, 300);
    double s = window.GetBackingScaleFactor();
    CountingScroll scroll;
    scroll.Init(window, 0, 0, 0);
    ASSERT_NE(scroll.GetScrollView(), nullptr);
    auto* host = dynamic_cast<LCocoaPaintControlImpl*>(scroll.GetDocumentView());
    ASSERT_NE(host, nullptr);
    CountingControl control;
    host->setPaintControl(&control);
    // A second Init changes nothing.
    LView* before = scroll.GetScrollView();
    scroll.Init(window, 0, 0, 0);
    EXPECT_EQ(scroll.GetScrollView(), before);

    scroll.MoveScrollViewPixels(int(10 * s), int(10 * s), int(200 * s), int(150 * s));
    int x = 0, y = 0, w = 0, h = 0;
    scroll.GetViewSize(x, y, w, h);
    EXPECT_EQ(w, int(200 * s));
    EXPECT_EQ(h, int(150 * s));
    // The host takes the scroll view's size, not its document's.
    EXPECT_EQ(control.width, int(200 * s));

    ASSERT_TRUE(uitest::ShowAndWait(window.GetNativeWindow()));
    window.InitCommon(kLCocoaDialogCenterNone, true);
    scroll.SetContentSize(0, 0);
    uitest::PumpUntil([&] { return scroll.GetContentSizeVerticalPixels() == int(150 * s); });
    EXPECT_EQ(scroll.GetContentSizeVerticalPixels(), int(150 * s));
    EXPECT_EQ(host->Frame().height, 150);

    scroll.SetContentSize(int(1000 * s), int(2000 * s));
    EXPECT_TRUE(uitest::PumpUntil([&] { return scroll.GetScrollView()->isScrollerVisible(true); }));
    EXPECT_EQ(scroll.GetContentSizeVerticalPixels(), int(2000 * s));
    scroll.ScrollVerticallyToPixels(int(400 * s));
    uitest::PumpUntil([&] { return scroll.GetScrolledPositionVerticalPixels() == int(400 * s); });
    EXPECT_EQ(scroll.GetScrolledPositionVerticalPixels(), int(400 * s));
    EXPECT_GE(scroll.updates, 1);
    // The document scrolled under the scroll view: conversions follow.
    EXPECT_EQ(host->ConvertToRoot(LUiPoint { 0, 400 }).y, scroll.GetScrollView()->Frame().y);
    EXPECT_TRUE(uitest::SaveScreenshot(window.GetNativeWindow(), ArtefactPath("scroll-view")));
    window.DestroyCommon();
}

// --- tab views ---------------------------------------------------------------------------------

TEST_F(ScrollTabAlertTest, TabViewSendsItsCommandAfterTheNewPageIsSelected)
{
    TestWindow window;
    MakeWindow(window, 360, 220);
    auto* tabs = new LCocoaTabViewImpl(LUiRect { 10, 10, 340, 200 }, 50, &window);
    window.GetContentView()->AddSubview(tabs);
    tabs->addTab("Första");
    tabs->addTab("Andra");
    tabs->addTab("Tredje");
    tabs->setSelectedCmd(900);
    std::vector<int> seen;
    window.onCommand = [&](int id) {
        if (id == 900)
            seen.push_back(tabs->getCurrentTab());
    };
    auto* onPage = new LView;
    onPage->SetFrame(LUiRect { 5, 5, 60, 30 });
    tabs->pageView(1)->AddSubview(onPage);
    onPage->Release();
    ASSERT_TRUE(uitest::ShowAndWait(window.GetNativeWindow()));
    window.InitCommon(kLCocoaDialogCenterNone, true);
    uitest::Pump(50);
    EXPECT_EQ(tabs->getCurrentTab(), 0);
    EXPECT_EQ(tabs->count(), 3);
    EXPECT_STREQ(tabs->getTabLabel(2), "Tredje");
    EXPECT_EQ(tabs->getTabLabel(3), nullptr);
    EXPECT_GT(tabs->getTabHeight(), 0);

    // Out of range does nothing (GTK would take -1 as the last page).
    tabs->selectTab(-1);
    tabs->selectTab(3);
    EXPECT_EQ(tabs->getCurrentTab(), 0);
    EXPECT_TRUE(seen.empty());

    // A real click on the third tab.
    GtkWidget* label = gtk_notebook_get_tab_label(
        tabs->notebook(), gtk_notebook_get_nth_page(tabs->notebook(), 2));
    if (uitest::HaveXdotool()) {
        XClickWidget(label);
        EXPECT_TRUE(uitest::PumpUntil([&] { return !seen.empty(); }));
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0], 2);
    }
    tabs->selectTab(1);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), 1);
    // Only the selected page counts as shown.
    uint64_t item1 = tabs->pageView(1)->GetAssociatedValue(&kTabViewItemKey);
    uint64_t item2 = tabs->pageView(2)->GetAssociatedValue(&kTabViewItemKey);
    EXPECT_TRUE(LCocoaTabViewImpl::isTabItemSelected(item1));
    EXPECT_FALSE(LCocoaTabViewImpl::isTabItemSelected(item2));
    EXPECT_FALSE(LCocoaTabViewImpl::isTabItemSelected(12345));
    // Conversions of a page's subviews follow where the notebook put the page.
    // (GTK places the page on its next layout pass, late on a busy machine.)
    uitest::PumpUntil([&] {
        int x = 0, y = 0;
        LUiPoint q = onPage->ConvertToRoot(LUiPoint { 0, 0 });
        return gtk_widget_translate_coordinates(
                   onPage->Widget(), window.GetContentView()->Widget(), 0, 0, &x, &y)
            && int(q.x) == x && int(q.y) == y;
    });
    int gx = 0, gy = 0;
    ASSERT_TRUE(gtk_widget_translate_coordinates(
        onPage->Widget(), window.GetContentView()->Widget(), 0, 0, &gx, &gy));
    LUiPoint p = onPage->ConvertToRoot(LUiPoint { 0, 0 });
    EXPECT_EQ(int(p.x), gx);
    EXPECT_EQ(int(p.y), gy);
    EXPECT_TRUE(uitest::SaveScreenshot(window.GetNativeWindow(), ArtefactPath("tab-view")));

    tabs->removeTab(1);
    EXPECT_EQ(tabs->count(), 2);
    tabs->removeTab(7);
    EXPECT_EQ(tabs->count(), 2);
    tabs->Release();
    window.DestroyCommon();
}

TEST_F(ScrollTabAlertTest, TabOwnerMayRefuseAPage)
{
    struct Owner : LCocoaTabOwnerBridge {
        int refuse = -1;
        std::vector<std::string> heard;
        bool TabShouldSelect(int index) override { return index != refuse; }
        void TabWillSelect(int index) override { heard.push_back("will" + std::to_string(index)); }
        void TabDidSelect(int index) override { heard.push_back("did" + std::to_string(index)); }
    } owner;
    TestWindow window;
    MakeWindow(window, 300, 200);
    auto* tabs = new LCocoaTabViewImpl(LUiRect { 0, 0, 300, 200 }, 51, &window);
    window.GetContentView()->AddSubview(tabs);
    tabs->setOwner(&owner);
    tabs->setTabless(true);
    for (const char* l : { "a", "b", "c" })
        tabs->addTab(l);
    owner.refuse = 2;
    tabs->selectTab(2);
    EXPECT_EQ(tabs->getCurrentTab(), 0);
    tabs->selectTab(1);
    EXPECT_EQ(tabs->getCurrentTab(), 1);
    EXPECT_EQ(owner.heard, (std::vector<std::string> { "will1", "did1" }));
    EXPECT_FALSE(gtk_notebook_get_show_tabs(tabs->notebook()));
    tabs->Release();
    window.DestroyCommon();
}

// --- message boxes -----------------------------------------------------------------------------

TEST_F(ScrollTabAlertTest, YesNoCancelOrdersItsButtonsAndAnswersByButton)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "xdotool missing";
    std::vector<std::string> order;
    WhenAlertShows([&](GtkWidget* dialog) {
        order = ButtonsLeftToRight(dialog);
        SaveWidgetPng(dialog, "yes-no-cancel");
        XKey(dialog, "Return");
    });
    EXPECT_EQ(LAlertWithButtonText::DisplayYesNoCancel(
                  nullptr, "Spara ändringarna?", "Projekt", "Ja", "Nej", "Avbryt"),
        1);
    EXPECT_EQ(order, (std::vector<std::string> { "Nej", "Avbryt", "Ja" }));

    WhenAlertShows([&](GtkWidget* dialog) { XKey(dialog, "Escape"); });
    EXPECT_EQ(LAlertWithButtonText::DisplayYesNoCancel(
                  nullptr, "Spara?", "Projekt", "Ja", "Nej", "Avbryt"),
        2);
    WhenAlertShows([&](GtkWidget* dialog) {
        XClickWidget(gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), 2));
    });
    EXPECT_EQ(LAlertWithButtonText::DisplayYesNoCancel(
                  nullptr, "Spara?", "Projekt", "Ja", "Nej", "Avbryt"),
        3);
}

TEST_F(ScrollTabAlertTest, WarningDefaultNoIsTrueOnlyForYes)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "xdotool missing";
    WhenAlertShows([&](GtkWidget* dialog) { XKey(dialog, "Return"); });
    EXPECT_FALSE(LAlertWithButtonText::DisplayYesNoWarningDefaultNo(
        nullptr, "Skriva ut?", "Utskrift", "Fortsätt", "Avbryt"));
    WhenAlertShows([&](GtkWidget* dialog) { XKey(dialog, "Escape"); });
    EXPECT_FALSE(LAlertWithButtonText::DisplayYesNoWarningDefaultNo(
        nullptr, "Skriva ut?", "Utskrift", "Fortsätt", "Avbryt"));
    WhenAlertShows([&](GtkWidget* dialog) {
        XClickWidget(gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), 1));
    });
    EXPECT_TRUE(LAlertWithButtonText::DisplayYesNoWarningDefaultNo(
        nullptr, "Skriva ut?", "Utskrift", "Fortsätt", "Avbryt"));
}

TEST_F(ScrollTabAlertTest, AlertKeepsItsCheckBoxAndCountsAsModal)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "xdotool missing";
    TestWindow window;
    MakeWindow(window, 300, 200);
    ASSERT_TRUE(uitest::ShowAndWait(window.GetNativeWindow()));
    // The third button shown second answers as the third.
    LAlert alert(window.GetContentView(), "Text", "Rubrik");
    LAlertCopyField(alert.button3, "Tredje");
    alert.showSuppression = true;
    LAlertCopyField(alert.suppressionLabel, "Visa den här dialogrutan igen");
    alert.suppressed = true;
    unsigned modal = 0;
    bool transient = false;
    WhenAlertShows([&](GtkWidget* dialog) {
        modal = LModalCounter::Count();
        transient
            = gtk_window_get_transient_for(GTK_WINDOW(dialog)) == window.GetNativeWindow()->Gtk();
        std::vector<std::string> order = ButtonsLeftToRight(dialog);
        EXPECT_EQ(order, (std::vector<std::string> { "Tredje", "OK" }));
        // Untick the box with a real click, then leave with Escape.
        GtkWidget* area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog));
        GList* children = gtk_container_get_children(GTK_CONTAINER(area));
        for (GList* l = children; l; l = l->next)
            if (GTK_IS_CHECK_BUTTON(l->data))
                XClickWidget(GTK_WIDGET(l->data));
        g_list_free(children);
        uitest::Pump(50);
        XKey(dialog, "Escape");
    });
    unsigned before = LModalCounter::Count();
    EXPECT_EQ(alert._Run(), 2);
    EXPECT_EQ(modal, before + 1);
    EXPECT_EQ(LModalCounter::Count(), before);
    EXPECT_TRUE(transient);
    EXPECT_FALSE(alert.suppressed);

    LAlert third(window.GetContentView(), "Text", "Rubrik");
    LAlertCopyField(third.button3, "Tredje");
    WhenAlertShows([&](GtkWidget* dialog) {
        XClickWidget(gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), 1));
    });
    EXPECT_EQ(third._Run(), 3);
    window.DestroyCommon();
}

TEST_F(ScrollTabAlertTest, LongAndBrokenTextsStayOnTheScreenAndFieldsCutOnCharacters)
{
    // 259 bytes cut on a character boundary: "å" is two bytes.
    std::string title(258, 'a');
    title += "åå";
    LAlert alert(nullptr, "", title.c_str());
    EXPECT_EQ(strlen(alert.title), 258u);
    EXPECT_TRUE(g_utf8_validate(alert.title, -1, nullptr));

    // 20,000 bytes: some 330 lines of 60 characters, several screens high at either backing
    // scale, which is what makes the alert scroll. The toolkit lays a wrapped label out in time
    // that grows faster than its length: 100,000 bytes took fifteen seconds and proved no more.
    std::string message;
    while (message.size() < 20000)
        message += "En mycket lång rad text i ett meddelande. ";
    message += "\xff\xfe trasig";
    LAlert big(nullptr, message.c_str(), "Stort \xc3 meddelande");
    int height = 0;
    LUiScreen screen;
    ASSERT_TRUE(LUiMainScreen(screen));
    WhenAlertShows([&](GtkWidget* dialog) {
        height = gtk_widget_get_allocated_height(dialog);
        SaveWidgetPng(dialog, "long-message");
        gtk_dialog_response(GTK_DIALOG(dialog), 0);
    });
    EXPECT_EQ(big._Run(), 1);
    EXPECT_GT(height, 50);
    EXPECT_LE(height, int(screen.visibleFrame.height));
}
