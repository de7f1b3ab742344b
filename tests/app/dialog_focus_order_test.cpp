// The dialogs of the main road used with the keyboard alone (the real keys through xdotool): Tab
// goes through every control that takes the focus in the order of the layout (by rows from the
// top, left to right within a row), and Shift+Tab goes back the same way. Each control shows
// that it has the focus (it is drawn otherwise than when another control has it), and a link
// opens with Return and with Space as with a click. Controls that show no focus are kept as
// pictures under <build>/test-artefacts/focus. The main window's Tab passes over a collapsed
// panel, and pull-down lists open and choose by keyboard (under openbox, on a laptop's screen),
// their open menus kept as pictures there too.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/VTLabelLayout.h"
#include "app/VTLabelLayoutData.h"
#include "app/VTLabelLayoutEditorDialog.h"
#include "app/VTLabelLayoutSelectDialog.h"
#include "app/VTOptions.h"
#include "app/VTOptionsDialog.h"
#include "app/VTOverlayText.h"
#include "app/VTPrintPreviewDialog.h"
#include "app/VTProject.h"
#include "app/VTSmallDialogs.h"
#include "app/VTStationerySelectDialog.h"
#include "app/lxa/mac/MainDialog.h"
#include "lfw/gen/LPtr.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/gui/LCommandLinkButton.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/LMenu.h"
#include "lfw/mac/LPaperSize.h"
#include "lfw/mac/cocoa/LCocoaButtonImpl.h"
#include "lfw/mac/cocoa/LCocoaPullDownListImpl.h"
#include "lfw/mac/cocoa/LCocoaSimpleControls.h"
#include "lfw/zor/LAboutBox.h"
#include "lfw/zor/LZORSuiteDialog.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiAlert.h"
#include "platform/ui/LUiSystem.h"
#include "platform/ui/UI.h"
#include "support/FocusWalk.h"
#include "support/InstalledPrograms.h"
#include "support/OwnScreen.h"
#include "support/PrivateHomes.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>
// Last: the X headers define names the others use.
#include <gdk/gdkx.h>

namespace {

using namespace focuswalk;

// The views of a kind in a tree (a window's links), in the order of its views.
template <class T> void FindViews(LView* view, std::vector<T*>& found)
{
    if (auto* t = dynamic_cast<T*>(view))
        found.push_back(t);
    for (LView* child : view->Subviews())
        FindViews(child, found);
}

// Whether b comes after a in reading order: a row further down (b starts below a's middle), or
// the same row further right.
bool After(const Stop& a, const Stop& b)
{
    const bool sameRow = b.y < a.y + a.h / 2 && a.y < b.y + b.h / 2;
    if (sameRow)
        return b.x > a.x;
    return b.y > a.y;
}

// The stops of a walk with pixels that show no focus, by name. A stop drawn the same with and
// without the focus shows none: a picture of the window with the focus on it is kept (Tab goes
// on to the first stop again). A stop with no box in the window (a hidden control that still
// takes the focus) shows none either: the keyboard goes where the user cannot see it.
std::vector<std::string> Unshown(
    LNativeWindow* window, const char* title, const std::vector<Stop>& forward)
{
    std::vector<std::string> unshown;
    GtkWidget* top = GTK_WIDGET(window->Gtk());
    const int topW = gtk_widget_get_allocated_width(top);
    const int topH = gtk_widget_get_allocated_height(top);
    for (const Stop& stop : forward)
        if (stop.w <= 2 || stop.h <= 2 || stop.x + stop.w <= 0 || stop.y + stop.h <= 0
            || stop.x >= topW || stop.y >= topH)
            unshown.push_back(stop.name + " (nowhere in the window: " + std::to_string(stop.x) + ","
                + std::to_string(stop.y) + " " + std::to_string(stop.w) + "x"
                + std::to_string(stop.h) + ")");
    for (const Stop& stop : forward)
        if (!stop.focused.empty() && stop.focused == stop.unfocused) {
            unshown.push_back(stop.name);
            TabTo(window, stop.widget, forward.size());
            uitest::PumpUntilDrawn(window);
            KeepPicture(window,
                std::string(title) + " " + std::to_string(unshown.size()) + " " + stop.name);
        }
    return unshown;
}

// Checks the order of one dialog, run by open, with the window that is key once it shows; at
// least minimumStops controls must take the focus.
// keysFirst, when given, are pressed once the dialog shows (another tab: "ctrl+Page_Down").
void CheckDialog(const char* title, const std::function<void()>& open, size_t minimumStops = 2,
    const char* keysFirst = nullptr)
{
    SCOPED_TRACE(title);
    std::vector<Stop> forward, backward;
    std::vector<std::string> unshown;
    bool squeezed = false, walked = false;
    uitest::When(
        [] {
            LNativeWindow* w = LNativeWindow::KeyWindow();
            return w && w->Gtk() && gtk_widget_get_mapped(GTK_WIDGET(w->Gtk()));
        },
        [&] {
            LNativeWindow* window = LNativeWindow::KeyWindow();
            uitest::Pump(150);
            if (keysFirst) {
                Key(window, keysFirst);
                uitest::PumpUntilDrawn(window);
            }
            // A dialog larger than the test's screen (at a backing scale of 2) is squeezed into
            // it and its controls may overlap: its order is then not compared with its layout.
            LUiScreen screen;
            const LUiRect frame = window->Frame();
            squeezed = !LUiMainScreen(screen) || frame.width + 8 > screen.frame.width
                || frame.height + 40 > screen.frame.height;
            forward = Walk(window, "Tab", true);
            unshown = Unshown(window, title, forward);
            if (!forward.empty())
                TabTo(window, forward.front().widget, forward.size());
            backward = Walk(window, "shift+Tab");
            LastKey(window, "Escape");
            walked = true;
        });
    open();
    // A dialog without a modal loop of its own has only been opened.
    uitest::PumpUntil([&] { return walked; }, 60000);
    EXPECT_TRUE(walked);
    for (const std::string& name : unshown)
        ADD_FAILURE() << name << " shows no focus";
    SCOPED_TRACE("forward:\n" + Describe(forward) + "backward:\n" + Describe(backward));
    ASSERT_GE(forward.size(), minimumStops);
    // Taken from the stop that comes first in the layout, Tab goes on in the layout's order.
    size_t first = 0;
    for (size_t i = 1; i < forward.size(); ++i)
        if (After(forward[i], forward[first]))
            first = i;
    for (size_t i = 1; i < forward.size() && !squeezed; ++i) {
        const Stop& a = forward[(first + i - 1) % forward.size()];
        const Stop& b = forward[(first + i) % forward.size()];
        EXPECT_TRUE(After(a, b)) << a.name << " before " << b.name;
    }
    // Shift+Tab goes the same way back (a toolbar entered at its last button).
    ASSERT_EQ(backward.size(), forward.size());
    for (size_t i = 0; i < forward.size(); ++i)
        EXPECT_EQ(backward[i].group, forward[(forward.size() - i) % forward.size()].group) << i;
}

// Presses Tab (or the key given) until the view (or a widget inside it) has the focus (at most
// stops times); true when it has it.
bool TabToView(LNativeWindow* window, LView* view, size_t stops, const char* key = "Tab")
{
    auto focused = [&] {
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window->Gtk()));
        return focus && LView::FromWidget(focus) && LView::FromWidget(focus)->IsDescendantOf(view);
    };
    for (size_t i = 0; i < stops && !focused(); ++i)
        Key(window, key);
    return focused();
}

// The one view of a kind in a tree whose tag is the id.
template <class T> T* FindView(LView* root, int id)
{
    std::vector<T*> found;
    FindViews(root, found);
    for (T* view : found)
        if (view->Tag() == id)
            return view;
    return nullptr;
}

// Whether the view's widget is its window's focus (the window has the keyboard again once a
// menu has let it go).
bool IsFocus(LView* view)
{
    GtkWidget* top = gtk_widget_get_toplevel(view->Widget());
    return GTK_IS_WINDOW(top) && gtk_window_get_focus(GTK_WINDOW(top)) == view->Widget();
}

bool MenuOpen(LCocoaPullDownListImpl* list)
{
    return list->menu() && gtk_widget_get_mapped(list->menu());
}

// The entry of the list's menu that the keyboard is on ("" when none).
std::string Highlighted(LCocoaPullDownListImpl* list)
{
    GtkWidget* item = gtk_menu_shell_get_selected_item(GTK_MENU_SHELL(list->menu()));
    const char* title = item ? gtk_menu_item_get_label(GTK_MENU_ITEM(item)) : nullptr;
    return title ? title : "";
}

// Keeps the window with the list's open menu over it, as the screen shows them, under
// <build>/test-artefacts/focus.
void KeepMenuPicture(LNativeWindow* window, LCocoaPullDownListImpl* list, const char* name)
{
    GtkWidget* top = GTK_WIDGET(window->Gtk());
    GtkWidget* menu = gtk_widget_get_toplevel(list->menu());
    uitest::PumpUntilDrawn(window);
    uitest::PumpUntilDrawn(menu);
    int x = 0, y = 0, mx = 0, my = 0;
    gdk_window_get_origin(gtk_widget_get_window(top), &x, &y);
    gdk_window_get_origin(gtk_widget_get_window(menu), &mx, &my);
    const int s = gtk_widget_get_scale_factor(top);
    const int left = std::min(x, mx), up = std::min(y, my);
    const int right = std::max(
        x + gtk_widget_get_allocated_width(top), mx + gtk_widget_get_allocated_width(menu));
    const int bottom = std::max(
        y + gtk_widget_get_allocated_height(top), my + gtk_widget_get_allocated_height(menu));
    const std::string path = uitest::ArtefactPath("focus", name);
    g_mkdir_with_parents(std::string(path, 0, path.rfind('/')).c_str(), 0755);
    uitest::Run("import -window root -crop " + std::to_string((right - left) * s) + "x"
        + std::to_string((bottom - up) * s) + "+" + std::to_string(left * s) + "+"
        + std::to_string(up * s) + " '" + path + "' 2>/dev/null");
}

// Chooses an entry of a pull-down list of the window with the keyboard alone: Tab brings the
// focus to the list, the key opens its menu at the entry it shows, the arrows go to the entry
// wanted and Return chooses it. The window stays open and the list keeps the focus.
void ChooseByKeyboard(LNativeWindow* window, LCocoaPullDownListImpl* list, const char* key,
    const std::string& wanted, const char* picture = nullptr)
{
    SCOPED_TRACE(std::string(key) + " and " + wanted);
    ASSERT_TRUE(TabToView(window, list, 80));
    const std::string shown = list->title();
    ASSERT_TRUE(uitest::PressKeys(window, list->menu(), key));
    ASSERT_TRUE(uitest::PumpUntil([&] { return MenuOpen(list); }));
    EXPECT_EQ(Highlighted(list), shown);
    const int to = list->findItem(wanted.c_str());
    ASSERT_GE(to, 0);
    const char* arrow = to > list->getSelectedItem() ? "Down" : "Up";
    for (int i = 0; i < list->getItemCount() && Highlighted(list) != wanted; ++i)
        ASSERT_TRUE(uitest::PressKeys(window, list->menu(), arrow));
    EXPECT_EQ(Highlighted(list), wanted);
    if (picture)
        KeepMenuPicture(window, list, picture);
    ASSERT_TRUE(uitest::PressKeys(window, list->menu(), "Return"));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !MenuOpen(list); }));
    EXPECT_EQ(list->title(), wanted);
    EXPECT_TRUE(IsFocus(list));
    EXPECT_TRUE(gtk_widget_get_mapped(GTK_WIDGET(window->Gtk())));
}

// Opens the list's menu with the key and closes it with Escape: it opened at the entry the list
// shows, and nothing changed (the window stays open).
void OpenAndClose(LNativeWindow* window, LCocoaPullDownListImpl* list, const char* key)
{
    SCOPED_TRACE(key);
    const std::string shown = list->title();
    ASSERT_TRUE(uitest::PressKeys(window, list->menu(), key));
    ASSERT_TRUE(uitest::PumpUntil([&] { return MenuOpen(list); }));
    EXPECT_EQ(Highlighted(list), shown);
    ASSERT_TRUE(uitest::PressKeys(window, list->menu(), "Escape"));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !MenuOpen(list); }));
    EXPECT_EQ(list->title(), shown);
    EXPECT_TRUE(IsFocus(list));
    EXPECT_TRUE(gtk_widget_get_mapped(GTK_WIDGET(window->Gtk())));
}

bool KeyWindowShown()
{
    LNativeWindow* w = LNativeWindow::KeyWindow();
    return w && w->Gtk() && gtk_widget_get_mapped(GTK_WIDGET(w->Gtk()));
}

// The top-level window that has the keyboard, null when none.
GtkWindow* ActiveWindow()
{
    GtkWindow* active = nullptr;
    GList* list = gtk_window_list_toplevels();
    for (GList* l = list; l; l = l->next)
        if (gtk_window_is_active(GTK_WINDOW(l->data)))
            active = GTK_WINDOW(l->data);
    g_list_free(list);
    return active;
}

// Closes the windows that come over the main window one after another (at most count of them)
// with the keyboard as each has it: an alert with Return, its answer, another window with
// Escape. Their titles (an alert's heading) are added to the list as they show.
void CloseWindowsThatShow(
    GtkWindow* main, const std::shared_ptr<std::vector<std::string>>& titles, int count)
{
    uitest::When([main] { return ActiveWindow() && ActiveWindow() != main; },
        [main, titles, count] {
            GtkWindow* shown = ActiveWindow();
            if (!shown || shown == main)
                return; // none came
            const bool alert = static_cast<void*>(shown) == LUiCurrentAlertWidget();
            // An alert by its heading.
            gchar* text = nullptr;
            if (alert)
                g_object_get(shown, "text", &text, nullptr);
            const char* title = alert ? text : gtk_window_get_title(shown);
            titles->push_back(title ? title : "");
            g_free(text);
            uitest::Run(std::string("xdotool key ") + (alert ? "Return" : "Escape"));
            if (count > 1)
                uitest::When([shown] { return ActiveWindow() != shown; },
                    [main, titles, count] { CloseWindowsThatShow(main, titles, count - 1); });
        });
}

// The main window with a new CD project, shown.
struct MainWindowRun {
    MainWindowRun()
    {
        LUserSettingSetString("Settings", "WelcomeDialogShow", "0");
        w = std::make_unique<MainDialog>();
        const char* argv[] = { "vorantel" };
        ok = w->MainWindowInit(1, argv) && uitest::ShowAndWait(w->GetNativeWindow())
            && w->CmNewDocument(new VTLabelLayoutDataGenericCDStandard)
            && uitest::PumpUntilDrawn(w->GetNativeWindow());
    }
    ~MainWindowRun()
    {
        if (w && !w->IsDestroyed())
            w->MainWindowDestroy();
        w.reset();
        LMainMenu::SetMainMenu(nullptr);
    }
    MainWindowRun(const MainWindowRun&) = delete;
    MainWindowRun& operator=(const MainWindowRun&) = delete;
    LNativeWindow* Window() const { return w->GetNativeWindow(); }
    std::unique_ptr<MainDialog> w;
    bool ok = false;
};

// The test again on a screen of 1280 x 800 points with openbox managing the windows, as a
// person with a laptop has them; false where it has run there already.
bool OnLaptopScreen()
{
    const char* s = std::getenv("GDK_SCALE");
    const int k = s && std::atoi(s) > 1 ? std::atoi(s) : 1;
    return ownscreen::RunOnScreen(
        std::to_string(1280 * k) + "x" + std::to_string(800 * k), "VT_WINDOW_MANAGER=1");
}

class DialogFocusOrder : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        if (!uitest::HaveXdotool())
            GTEST_SKIP() << "no xdotool";
        homes = std::make_unique<PrivateHomes>();
        // A control's look with and without the focus is compared where it ends: the theme's
        // transitions between the two (the border of a field) come to it at once.
        g_object_set(gtk_settings_get_default(), "gtk-enable-animations", FALSE, nullptr);
        VTOptions::PaperSizeIDSet(LPaperSizeA4);
        LCommandLinkButtonInstallHooks();
    }
    void TearDown() override { LDialogMenuHooksGet() = LDialogMenuHooks {}; }
    std::unique_ptr<PrivateHomes> homes;
};

} // namespace

TEST_F(DialogFocusOrder, MainRoadDialogs)
{
    // Its three command links, the box and "Avbryt".
    CheckDialog(
        "welcome", [] { VTWelcomeDialogOpen(nullptr); }, 5);
    CheckDialog("Välj etikettlayout", [] { delete VTLabelLayoutSelectDialogOpen(nullptr); });
    CheckDialog("Välj brevpapper", [] { delete VTStationerySelectDialogOpen(nullptr); });
    CheckDialog("Lägg till mall", [] {
        VTTemplateFormat format = VTTemplateFormatDisc;
        VTAddTemplateDialogOpen(nullptr, format);
    });
    CheckDialog("Alternativ", [] { VTOptionsDialogOpen(nullptr); });
    CheckDialog(
        "Alternativ, andra fliken", [] { VTOptionsDialogOpen(nullptr); }, 2, "ctrl+Page_Down");
    LPtr<VTProject> project(new VTProject(new VTLabelLayoutDataGenericCDStandard));
    CheckDialog("Redigera etikettlayout", [&] {
        VTLabelLayoutTemplate* current = nullptr;
        VTLabelLayoutEditorDialogOpen(nullptr, project, current);
    });
    CheckDialog("Förhandsgranska", [&] {
        VTLabelLayoutPage* page = project->GetLabelLayout()->pages.GetFirst();
        VTPrintPreviewDialogOpen(nullptr, *project, page, page->first);
    });
    CheckDialog("Skivans mått", [&] {
        VTLabelLayoutPage* page = project->GetLabelLayout()->pages.GetFirst();
        VTDiscDimensionsDialogOpen(nullptr, page->first);
    });
}

// The dialogs of the Help menu and the toolbar: the about box (without a modal loop of its own)
// and the program suite.
TEST_F(DialogFocusOrder, AboutAndSuiteDialogs)
{
    for (const char* keys : { (const char*)nullptr, "ctrl+Page_Down" }) {
        CheckDialog(
            keys ? "Om Vorantel, Licensvillkor" : "Om Vorantel", [] { LAboutBoxOpen(nullptr); }, 2,
            keys);
        if (LAboutBox* box = LAboutBoxGetOpen())
            box->Close();
        uitest::PumpUntil([] { return !LAboutBoxGetOpen(); });
    }
    CheckDialog("ZOR-programpaket", [] { LZORSuiteLaunch(nullptr, "grafik"); });
}

// A link is a stop of Tab like a button and opens with Return and with Space as with a click,
// the dialog staying open: in "Välj etikettlayout" the help page on printers that print on discs,
// in "Om Vorantel" the distributor's web page.
TEST_F(DialogFocusOrder, LinksOpenWithReturnAndSpace)
{
    struct Seen {
        bool reached = false;
        std::vector<std::string> opened;
        bool openAfter = false;
    };
    InstalledPrograms programs;
    size_t before = 0;
    // Tabs to the window's one link, then presses Return and Space on it.
    auto useLink = [&](LDialog& dialog, const char* shot, Seen& seen) {
        LNativeWindow* window = dialog.GetNativeWindow();
        std::vector<LCocoaHyperLinkImpl*> links;
        FindViews(dialog.GetContentView(), links);
        ASSERT_EQ(links.size(), 1u);
        GtkWidget* link = links[0]->Widget();
        TabTo(window, link, 40);
        seen.reached = gtk_window_get_focus(GTK_WINDOW(window->Gtk())) == link;
        if (!seen.reached)
            return;
        uitest::PumpUntilDrawn(window);
        KeepPicture(window, shot);
        Key(window, "Return");
        programs.Opened(before + 1, 5000);
        Key(window, "space");
        seen.opened = programs.Opened(before + 2, 5000);
        seen.opened.erase(seen.opened.begin(), seen.opened.begin() + std::ptrdiff_t(before));
        before += seen.opened.size();
        seen.openAfter = dialog.IsOpen();
    };
    auto shown = [](LMacWindow* d) {
        return d && d->GetNativeWindow() && d->GetNativeWindow()->Gtk()
            && gtk_widget_get_mapped(GTK_WIDGET(d->GetNativeWindow()->Gtk()));
    };

    VTLabelLayoutSelectDialog select;
    Seen inSelect;
    uitest::When([&] { return shown(&select); },
        [&] {
            useLink(select, "link-select-layout", inSelect);
            select.PostCommand(kLCmdCancel);
        });
    LDialog::OpenGenData data { 840, 526, "Välj etikettlayout", true,
        [](LDialog&, int, int, bool) {} };
    select.Open(nullptr, data);
    EXPECT_TRUE(inSelect.reached);
    ASSERT_EQ(inSelect.opened.size(), 2u);
    for (const std::string& page : inSelect.opened)
        EXPECT_NE(page.find("concepts_directtodisc"), std::string::npos) << page;
    EXPECT_TRUE(inSelect.openAfter);
    EXPECT_EQ(std::unique_ptr<VTLabelLayout>(select.TakeLayout()), nullptr);

    Seen inAbout;
    bool done = false;
    uitest::When([&] { return shown(LAboutBoxGetOpen()); },
        [&] {
            if (LAboutBox* box = LAboutBoxGetOpen()) {
                useLink(*box, "link-about", inAbout);
                box->Close();
            }
            done = true;
        });
    LAboutBoxOpen(nullptr);
    uitest::PumpUntil([&] { return done && !LAboutBoxGetOpen(); }, 30000);
    EXPECT_TRUE(inAbout.reached);
    ASSERT_EQ(inAbout.opened.size(), 2u);
    for (const std::string& page : inAbout.opened)
        EXPECT_NE(page.find("://"), std::string::npos) << page;
    EXPECT_TRUE(inAbout.openAfter);
}

// The main window used with the keyboard alone under openbox. While "Egenskaper för
// etikettlayout" is collapsed (only its title bar shows) Tab goes to its title bar only, and every
// stop shows its focus. Opened with a click on its title, its controls are stops that show their
// focus and take Space and Return ("Välj etikettlayout...", the layout's next page). Collapsed
// again, the focus that was in it goes, so that Return opens nothing, and Tab passes it over again.
TEST_F(DialogFocusOrder, MainWindowTabPassesOverACollapsedPanel)
{
    if (!OnLaptopScreen())
        return;
    MainWindowRun run;
    ASSERT_TRUE(run.ok);
    LNativeWindow* window = run.Window();
    VTProjectViewer& viewer = run.w->projectViewer;
    VTProjectViewerPanelLabelLayout* panel = viewer.labelLayoutPanel;
    ASSERT_TRUE(panel && panel->bCollapsed && viewer.templatePanel);
    GtkWidget* inside = panel->GetContentView()->Widget();
    GtkWidget* bar = panel->fTitleBar.GetHostView()->Widget();
    // Below the title bar.
    auto inPanel = [&](GtkWidget* w) {
        return w && w != bar && !gtk_widget_is_ancestor(w, bar)
            && (w == inside || gtk_widget_is_ancestor(w, inside));
    };
    // The stops of Tab in the window, each checked for its focus shown; how many lie in the panel.
    auto walk = [&](const char* state) {
        SCOPED_TRACE(state);
        // From the first stop of the cycle.
        gtk_window_set_focus(GTK_WINDOW(window->Gtk()), nullptr);
        const std::vector<Stop> stops = Walk(window, "Tab", true);
        for (const std::string& name : Unshown(window, state, stops))
            ADD_FAILURE() << name << " shows no focus";
        size_t n = 0;
        for (const Stop& stop : stops)
            n += inPanel(stop.widget) ? 1 : 0;
        std::cout << state << ":\n" << Describe(stops);
        return n;
    };
    EXPECT_EQ(walk("main window, panel collapsed"), 0u);

    // Opened: its buttons, the template selector's pages and the check box.
    ASSERT_TRUE(uitest::XClickWidget(panel->fTitleBar.GetHostView()->Widget()));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !panel->bCollapsed; }));
    ASSERT_TRUE(uitest::PumpUntilDrawn(window));
    EXPECT_GE(walk("main window, panel open"), 3u);
    // Return on "Välj etikettlayout..." is its: the note "Märker", then the dialog.
    auto shown = std::make_shared<std::vector<std::string>>();
    CloseWindowsThatShow(window->Gtk(), shown, 2);
    ASSERT_TRUE(TabToView(window, panel->selectButton.GetContentView(), 80));
    LastKey(window, "Return");
    EXPECT_TRUE(uitest::PumpUntil([&] { return shown->size() == 2; }, 20000));
    EXPECT_EQ(*shown, (std::vector<std::string> { "Märker", "Välj etikettlayout" }));
    EXPECT_TRUE(uitest::PumpUntil([&] { return ActiveWindow() == window->Gtk(); }, 10000));

    // Collapsed by a click on the other panel's title while its button has the focus.
    ASSERT_TRUE(TabToView(window, panel->selectButton.GetContentView(), 80));
    ASSERT_TRUE(uitest::XClickWidget(viewer.templatePanel->fTitleBar.GetHostView()->Widget()));
    ASSERT_TRUE(uitest::PumpUntil([&] { return panel->bCollapsed; }));
    ASSERT_TRUE(uitest::PumpUntilDrawn(window));
    EXPECT_FALSE(inPanel(gtk_window_get_focus(GTK_WINDOW(window->Gtk()))));
    // Return then opens nothing: the focus went with the panel.
    auto after = std::make_shared<std::vector<std::string>>();
    CloseWindowsThatShow(window->Gtk(), after, 2);
    ASSERT_TRUE(uitest::PressKeys(window, "Return"));
    uitest::PumpUntilIdle();
    EXPECT_TRUE(after->empty());
    EXPECT_EQ(walk("main window, panel collapsed again"), 0u);
    EXPECT_TRUE(uitest::PumpUntil([&] { return ActiveWindow() == window->Gtk(); }, 10000));

    // Opened again: Space on the paginator's next page shows the layout's next page. (The design
    // of its first position is then shown, and the column may go back to the background panel:
    // the focus is in the label layout panel only while it is open.)
    ASSERT_TRUE(uitest::XClickWidget(panel->fTitleBar.GetHostView()->Widget()));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !panel->bCollapsed; }));
    const uint64_t page = panel->pages.iCurrentPage;
    ASSERT_TRUE(TabToView(window, panel->pages.GetContentView(), 80));
    ASSERT_TRUE(uitest::PressKeys(window, "space"));
    EXPECT_TRUE(uitest::PumpUntil([&] { return panel->pages.iCurrentPage == page + 1; }));
    ASSERT_TRUE(uitest::PumpUntilDrawn(window));
    EXPECT_FALSE(panel->bCollapsed && inPanel(gtk_window_get_focus(GTK_WINDOW(window->Gtk()))));
}

// The pull-down lists of the dialogs, used with the keyboard alone under openbox: Space, Return
// and Alt+Down open a list at the entry it shows, the arrows and Return choose another, which
// takes effect, and Return on a list never presses the dialog's default button. Closed, Up and
// Down choose the entry before or after at once, as in a GTK combo box.
TEST_F(DialogFocusOrder, PullDownListsOpenAndChooseByKeyboard)
{
    if (!OnLaptopScreen())
        return;
    const std::string letter = LPaperSizeGetDisplayName(LPaperSizeUSLetter);
    const std::string a4 = LPaperSizeGetDisplayName(LPaperSizeA4);

    // "Vorantel Inställningar": "Enheter" and "Standardpappersstorlek", kept with "OK".
    LSettingSetMeasurementUnit(0);
    bool optionsUsed = false, optionsDone = false;
    uitest::When(KeyWindowShown, [&] {
        LNativeWindow* window = LNativeWindow::KeyWindow();
        LView* content = window->ContentView();
        auto* units = FindView<LCocoaPullDownListImpl>(content, 8604);
        auto* paper = FindView<LCocoaPullDownListImpl>(content, 8607);
        auto* ok = FindView<LCocoaButtonImpl>(content, kLCmdOk);
        [&] {
            ASSERT_TRUE(units && paper && ok);
            ChooseByKeyboard(window, units, "space", "Inches", "options-units");
            if (HasFatalFailure())
                return;
            EXPECT_EQ(LUnitsGetMeasurementUnit(), 1);
            ASSERT_TRUE(uitest::PressKeys(window, "Up"));
            EXPECT_EQ(units->title(), "Millimeter");
            EXPECT_EQ(LUnitsGetMeasurementUnit(), 0);
            ASSERT_TRUE(uitest::PressKeys(window, "Down"));
            EXPECT_EQ(units->title(), "Inches");
            EXPECT_EQ(LUnitsGetMeasurementUnit(), 1);
            EXPECT_TRUE(IsFocus(units));
            OpenAndClose(window, units, "alt+Down");
            if (HasFatalFailure())
                return;
            ChooseByKeyboard(
                window, paper, "Return", paper->title() == a4 ? letter : a4, "options-paper");
            if (HasFatalFailure())
                return;
            OpenAndClose(window, paper, "Return");
            if (HasFatalFailure())
                return;
            ASSERT_TRUE(TabToView(window, ok, 40));
            optionsUsed = true;
        }();
        for (LCocoaPullDownListImpl* list : { units, paper })
            if (list)
                list->closeMenu();
        LastKey(window, optionsUsed ? "Return" : "Escape");
        optionsDone = true;
    });
    VTOptions::PaperSizeIDSet(LPaperSizeA4);
    VTOptionsDialogOpen(nullptr);
    EXPECT_TRUE(uitest::PumpUntil([&] { return optionsDone && !KeyWindowShown(); }, 20000));
    EXPECT_TRUE(optionsUsed);
    EXPECT_EQ(VTOptions::PaperSizeIDGet(), LPaperSizeUSLetter);
    EXPECT_EQ(LUnitsGetMeasurementUnit(), 1);
    LSettingSetMeasurementUnit(0);

    // The layout editor's "Papper:", applied with "Tillämpa".
    LPtr<VTProject> project(new VTProject(new VTLabelLayoutDataGenericCDStandard));
    project->GetLabelLayout()->paperSize = LPaperSizeA4;
    bool editorUsed = false;
    uitest::When(KeyWindowShown, [&] {
        LNativeWindow* window = LNativeWindow::KeyWindow();
        std::vector<LCocoaPullDownListImpl*> lists;
        FindViews(window->ContentView(), lists);
        LCocoaPullDownListImpl* paper = nullptr;
        for (LCocoaPullDownListImpl* list : lists)
            if (list->findItem(a4.c_str()) >= 0)
                paper = list;
        auto* apply = FindView<LCocoaButtonImpl>(window->ContentView(), kLCmdOk);
        [&] {
            ASSERT_TRUE(paper && apply);
            EXPECT_EQ(paper->title(), a4);
            ChooseByKeyboard(window, paper, "space", letter, "editor-paper");
            if (HasFatalFailure())
                return;
            OpenAndClose(window, paper, "Return");
            if (HasFatalFailure())
                return;
            OpenAndClose(window, paper, "alt+Down");
            if (HasFatalFailure())
                return;
            ASSERT_TRUE(TabToView(window, apply, 80));
            editorUsed = true;
        }();
        if (paper)
            paper->closeMenu();
        LastKey(window, editorUsed ? "Return" : "Escape");
    });
    VTLabelLayoutTemplate* current = nullptr;
    EXPECT_EQ(VTLabelLayoutEditorDialogOpen(nullptr, project, current), 1);
    EXPECT_TRUE(editorUsed);
    EXPECT_EQ(project->GetLabelLayout()->paperSize, LPaperSizeUSLetter);
}

// The main window's "Teckensnitt" for a text just added: it opens with Space at the text's own
// font, and the font chosen there with the arrows and Return is the text's; closed, the arrow
// back gives the text its font again.
TEST_F(DialogFocusOrder, MainWindowFontListByKeyboard)
{
    if (!OnLaptopScreen())
        return;
    MainWindowRun run;
    ASSERT_TRUE(run.ok);
    LNativeWindow* window = run.Window();
    VTProjectViewer& viewer = run.w->projectViewer;
    viewer.AddOverlayText("Hej");
    ASSERT_TRUE(uitest::PumpUntilDrawn(window));
    VTOverlayText* text = nullptr;
    for (VTOverlay* o = viewer.GetCurrentTemplate()->first; o; o = o->next)
        if (auto* t = dynamic_cast<VTOverlayText*>(o))
            text = t;
    ASSERT_NE(text, nullptr);
    auto face = [&] {
        char name[260] = "";
        text->GetFont().GetName(name, sizeof name);
        return std::string(name);
    };
    std::vector<LCocoaPullDownListImpl*> lists;
    FindViews(viewer.textPanel->fontList.GetContentView(), lists);
    ASSERT_EQ(lists.size(), 1u);
    LCocoaPullDownListImpl* fonts = lists[0];
    const std::string before = face();
    ASSERT_EQ(fonts->title(), before);
    // Not the list's first font (the menu would open at it anyway); the one after it is chosen,
    // or the one before where it is the last.
    const int at = fonts->getSelectedItem();
    ASSERT_GE(at, 1);
    const int other = at + 1 < fonts->getItemCount() ? at + 1 : at - 1;
    const std::string chosen = fonts->getItemTitleAtIndex(other);
    std::cout << "the text's font \"" << before << "\", entry " << at + 1 << " of "
              << fonts->getItemCount() << "; chosen \"" << chosen << "\"\n";
    // Backwards from the window's last stop: Tab in the text box above the list is a tab in the
    // text.
    gtk_window_set_focus(window->Gtk(), nullptr);
    ASSERT_TRUE(TabToView(window, fonts, 80, "shift+Tab"));
    ChooseByKeyboard(window, fonts, "space", chosen, "main-window-font");
    if (HasFatalFailure()) {
        fonts->closeMenu();
        return;
    }
    EXPECT_TRUE(uitest::PumpUntil([&] { return face() == chosen; }));
    ASSERT_TRUE(uitest::PressKeys(window, other > at ? "Up" : "Down"));
    EXPECT_TRUE(uitest::PumpUntil([&] { return face() == before; }));
    EXPECT_EQ(fonts->title(), before);
    EXPECT_TRUE(IsFocus(fonts));
}
