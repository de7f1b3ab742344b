// The tabbed toolbar on a real window: the tables, sizes and colours, the layout as the window
// narrows, clicks on tabs, buttons, drop-downs, toggles and the help icon, the overflow menu,
// tooltips, the share bar, and hostile tables and handlers.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gui/LTabbedToolBar.h"
#include "lfw/gui/LTabbedToolBarPrivate.h"
#include "lfw/mac/LGuiImage.h"
#include "lfw/mac/LMacWindow.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiTooltipArea.h"
#include "platform/ui/UI.h"
#include "support/UiTestSupport.h"

#include <cairo.h>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>
// Last: the X headers define names the others use.
#include <gdk/gdkx.h>

namespace {

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable | kLUiWindowResizable;
constexpr int kControl = 700;
constexpr int kTabHome = 6001, kTabEdit = 6002;

const LToolBar::ToolBarItem kHomeItems[] = {
    { 0, 501, 300, "Ny", "Ny", "Ny etikett", 0, false },
    { 0, 502, 305, "Öppna", "Öppna", "Öppna en etikett", 0, false },
    { 6, 0, 0, "", "", "", 0, false },
    { 3, 503, 306, "Skriv ut", "Skriv ut", "Skriv ut etiketten", 0, false },
    { 16, 504, 307, "Exportera", "Exportera", "Exportera som bild", 0, false },
    { 6, 0, 0, "", "", "", 0, false },
    { 0, 505, 312, "Spara", "Spara", "Spara etiketten", 0, false },
};
const LToolBar::ToolBarItem kEditItems[] = {
    { 14, 601, 300, "Vänster", "Vänster", "Vänsterjustera", 0, false },
    { 14, 602, 305, "Mitten", "Mitten", "Centrera", 0, false },
    { 14, 603, 306, "Höger", "Höger", "Högerjustera", 0, false }, { 6, 0, 0, "", "", "", 0, false },
    { 10, 604, 307, "Fet", "Fet", "Fetstil", 0, false },
    { 0, 605, 9999, "", "", "Saknas", 0, false }, // no image, no label: never drawn
};
const LTabbedToolBarTab kTabs[] = {
    { kTabHome, "Hem", kHomeItems, 7 },
    { kTabEdit, "Redigera", kEditItems, 6 },
    { 0, nullptr, nullptr, 0 },
};
const LKeyToCommandMap kKeys[] = {
    { LKey(LKey::kCommand | 'N'), 501 },
    { LKey(LKey::kCommand | 'P'), 503 },
    { LKey(LKey::kCommand | LKey::kShift | 'N'), 501 },
};

class ProbeWindow : public LMacWindow {
public:
    std::vector<int> commands;
    int helps = 0;
    std::function<void(int)> onCommand;
    void Command(int id, int code) override
    {
        if (id >= 500 && id < 10000)
            commands.push_back(id);
        if (onCommand)
            onCommand(id);
        LMacWindow::Command(id, code);
    }
    void CmHelp() override { ++helps; }
    int Count(int id) const
    {
        int n = 0;
        for (int c : commands)
            n += c == id;
        return n;
    }
};

struct TestWindow {
    ProbeWindow window;
    std::unique_ptr<LTabbedToolBar> toolbar = std::make_unique<LTabbedToolBar>();
    explicit TestWindow(int width = 600)
    {
        // Sizes in pixels: the same points at either scale.
        const char* scale = getenv("GDK_SCALE");
        const int k = scale && atoi(scale) > 1 ? atoi(scale) : 1;
        window.CreateCocoaWindow(width * k, 300 * k, kStyle, false, nullptr);
        toolbar->TabbedToolBarInit(window, kTabs, kKeys, 3, kControl);
        Layout();
    }
    ~TestWindow()
    {
        toolbar.reset();
        window.DestroyCommon();
    }
    void Layout()
    {
        int w = 0, h = 0;
        window.GetClientSize(w, h);
        int y = 0, third = 0;
        toolbar->TabbedToolBarLayout(y, w, third);
    }
    LTabbedToolBarPrivate& d() { return *toolbar->GetPrivate(); }
    double s() const { return window.GetBackingScaleFactor(); }
    bool Show()
    {
        window.InitCommon(kLCocoaDialogCenterNone, false);
        if (!uitest::ShowAndWait(window.GetNativeWindow()))
            return false;
        Layout();
        return uitest::PumpUntil([&] { return d().SelectedTab() && ItemOf(501).drawn; });
    }
    LToolBarItemInternal& ItemOf(int command)
    {
        int tab = d().iSelectedTab, item = 0;
        d().GetCommandIndex(command, tab, item);
        return d().Tab(tab).items[item];
    }
    // A point of the control (pixels) in points of the window's content.
    void Click(int x, int y) { uitest::XClick(window.GetNativeWindow(), x / s(), y / s()); }
    void ClickItem(int command, int dx = -1)
    {
        LToolBarItemInternal& item = ItemOf(command);
        Click(dx < 0 ? item.x + item.width / 2 : item.x + dx, item.y + item.height / 2);
    }
    void ClickTab(int tab, int dx = 0)
    {
        const LTabbedToolBarTabInternal& t = d().Tab(tab);
        Click(t.x + t.width / 2 + dx, d().G + d().H / 2);
    }
};

// Paints the control into an image of its pixel size; the pixel's (r, g, b).
struct Painted {
    cairo_surface_t* surface = nullptr;
    explicit Painted(LTabbedToolBarPrivate& d)
    {
        const int W = d.GetWidth(), H = d.GetHeight();
        const double s = d.GetBackingScale();
        surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, W, H);
        cairo_t* cr = cairo_create(surface);
        cairo_scale(cr, s, s);
        d.PaintInContext(cr, LUiRect { 0, 0, W / s, H / s }, s, W / s, H / s, true);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
    }
    ~Painted() { cairo_surface_destroy(surface); }
    uint32_t At(int x, int y) const
    {
        const unsigned char* p = cairo_image_surface_get_data(surface)
            + y * cairo_image_surface_get_stride(surface) + x * 4;
        return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
};

constexpr uint32_t RGB(int r, int g, int b)
{
    return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}

// The text of the first label inside a widget ("" when none).
std::string LabelOf(GtkWidget* widget)
{
    if (GTK_IS_LABEL(widget))
        return gtk_label_get_text(GTK_LABEL(widget));
    std::string found;
    if (GTK_IS_CONTAINER(widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* c = children; c && found.empty(); c = c->next)
            found = LabelOf(GTK_WIDGET(c->data));
        g_list_free(children);
    }
    return found;
}

// Chooses the item with the title in the pop-up menu that is showing (from a timer, while the
// menu's own loop runs); false when none shows.
gboolean ChooseInOpenMenu(gpointer data)
{
    const std::string title = *static_cast<std::string*>(data);
    GList* tops = gtk_window_list_toplevels();
    for (GList* l = tops; l; l = l->next) {
        GtkWidget* child = gtk_bin_get_child(GTK_BIN(l->data));
        if (!child || !GTK_IS_MENU(child) || !gtk_widget_get_visible(child))
            continue;
        GList* items = gtk_container_get_children(GTK_CONTAINER(child));
        for (GList* i = items; i; i = i->next) {
            if (!GTK_IS_MENU_ITEM(i->data))
                continue;
            if (LabelOf(GTK_WIDGET(i->data)) == title) {
                gtk_menu_shell_activate_item(GTK_MENU_SHELL(child), GTK_WIDGET(i->data), TRUE);
                break;
            }
        }
        g_list_free(items);
    }
    g_list_free(tops);
    return G_SOURCE_REMOVE;
}

// Closes every pop-up menu that shows (so that a test whose choice failed ends).
gboolean CloseOpenMenus(gpointer)
{
    GList* tops = gtk_window_list_toplevels();
    for (GList* l = tops; l; l = l->next) {
        GtkWidget* child = gtk_bin_get_child(GTK_BIN(l->data));
        if (child && GTK_IS_MENU(child) && gtk_widget_get_visible(child))
            gtk_menu_shell_cancel(GTK_MENU_SHELL(child));
    }
    g_list_free(tops);
    return G_SOURCE_REMOVE;
}

// Whether a tooltip shows now, and whether a menu does.
bool TooltipShows()
{
    bool shows = false;
    GList* tops = gtk_window_list_toplevels();
    for (GList* l = tops; l; l = l->next)
        if (gtk_widget_get_visible(GTK_WIDGET(l->data))
            && gtk_window_get_type_hint(GTK_WINDOW(l->data)) == GDK_WINDOW_TYPE_HINT_TOOLTIP)
            shows = true;
    g_list_free(tops);
    return shows;
}

bool MenuShows()
{
    bool shows = false;
    GList* tops = gtk_window_list_toplevels();
    for (GList* l = tops; l; l = l->next) {
        GtkWidget* child = gtk_bin_get_child(GTK_BIN(l->data));
        if (child && GTK_IS_MENU(child) && gtk_widget_get_visible(child))
            shows = true;
    }
    g_list_free(tops);
    return shows;
}

class TabbedToolBar : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        const std::string built = std::string(VT_BINARY_DIR) + "/resources";
        setenv("VT_RESOURCES_DIR", built.c_str(), 1);
        LTabbedToolBarPrivate::pfnShowChevronMenu = nullptr;
    }
};

} // namespace

TEST_F(TabbedToolBar, TypeMasksAndTheBuiltTabs)
{
    const int expected[20] = { 1, 1, 1, 8, 1, 64, 32, 4, 12, 20, 2, 8, 1, 1, 4, 2, 16, 10, 18, 1 };
    for (int type = 0; type < 20; ++type)
        EXPECT_EQ(LToolBarItemInternal::TypeMaskGetFromItem(type), expected[type]) << type;
    EXPECT_EQ(LToolBarItemInternal::TypeMaskGetFromItem(0x100 | 17), 10); // the low byte counts

    TestWindow w;
    LTabbedToolBarPrivate& d = w.d();
    ASSERT_EQ(d.TabCount(), 4);
    EXPECT_STREQ(d.Tab(0).name.get(), "Arkiv");
    EXPECT_TRUE(d.Tab(0).hidden);
    EXPECT_EQ(d.Tab(0).itemCount, 0);
    EXPECT_EQ(d.Tab(3).name, nullptr);
    for (int t = 1; t <= 2; ++t) {
        const LTabbedToolBarTabInternal& tab = d.Tab(t);
        const int n = tab.itemCount;
        EXPECT_EQ(n, kTabs[t - 1].count + 3);
        EXPECT_EQ(tab.items[n - 3].command, 98);
        EXPECT_STREQ(tab.items[n - 3].label, "ZOR-Paket");
        EXPECT_EQ(tab.items[n - 3].image, -314);
        EXPECT_EQ(tab.items[n - 2].mask, 64);
        EXPECT_TRUE(tab.items[n - 1].chevron);
        EXPECT_TRUE(tab.items[n - 1].hidden);
        EXPECT_STREQ(tab.items[n - 1].tooltip, "Visa dolda alternativ");
    }
    // The pictures: the help icons and our own drawings, rasterised at build time.
    for (int id : { 302, 312, 314, 335, 336, 337, 338, 339 }) {
        const std::string path = std::string(VT_BINARY_DIR) + "/resources/resources/png/"
            + std::to_string(id) + ".png";
        EXPECT_EQ(access(path.c_str(), R_OK), 0) << path;
        LGuiJPG image;
        EXPECT_TRUE(image.LoadFromResource(std::to_string(id).c_str())) << id;
    }
    // The first key row of a command wins.
    char ctrlN[260] = "";
    LKey(LKey::kCommand | 'N').GetDescription(ctrlN);
    EXPECT_STREQ(w.ItemOf(501).keyDescription, ctrlN);
    // Sizes follow the backing scale.
    const double s = w.s();
    EXPECT_EQ(d.T, int(26 * s));
    EXPECT_EQ(d.B, int(32 * s + d.T + 1));
    EXPECT_EQ(w.toolbar->GetTabbedToolBarHeight(), s > 1 ? 169 : 85);
    int x = 0, y = 0, cw = 0, ch = 0;
    w.window.GetControlPixels(kControl, x, y, cw, ch);
    EXPECT_EQ(ch, w.toolbar->GetTabbedToolBarHeight());
    // Bounds of an item of the selected tab only.
    EXPECT_FALSE(w.toolbar->GetTabbedToolBarControlBounds(601, x, y, cw, ch));
    EXPECT_FALSE(w.toolbar->GetTabbedToolBarControlBounds(12345, x, y, cw, ch));
}

TEST_F(TabbedToolBar, PaintsTheStripTabsAndButtonRow)
{
    TestWindow w;
    ASSERT_TRUE(w.Show());
    LTabbedToolBarPrivate& d = w.d();
    Painted p(d);
    const double s = w.s();
    const LTabbedToolBarTabInternal& home = d.Tab(1);
    const LTabbedToolBarTabInternal& edit = d.Tab(2);
    EXPECT_GE(home.width, int(74 * s));
    EXPECT_EQ(home.x, d.M);
    EXPECT_EQ(edit.x, home.x + home.width + d.M);
    // The strip, and the line under it except under the selected tab's white fill.
    const int free = edit.x + edit.width + 20;
    EXPECT_EQ(p.At(free, d.T / 2), RGB(211, 213, 215));
    EXPECT_EQ(p.At(free, d.T - 1), RGB(114, 122, 125));
    EXPECT_EQ(p.At(home.x + 3 * int(s), d.T - 1), RGB(255, 255, 255));
    EXPECT_EQ(p.At(edit.x + 3 * int(s), d.T - 1), RGB(114, 122, 125));
    // The row's gradient, white at the top, 221 at the bottom, and the black bottom line.
    EXPECT_GE(int(p.At(d.GetWidth() / 2, d.T + 1) & 0xFF), 250);
    const uint32_t bottom = p.At(d.GetWidth() / 2, d.T + d.B - 2);
    EXPECT_NEAR(int(bottom & 0xFF), 221, 3);
    EXPECT_EQ(p.At(d.GetWidth() / 2, d.T + d.B - 1), RGB(0, 0, 0));
    // Items left to right: separators between buttons, the suite item last in the left group.
    EXPECT_EQ(w.ItemOf(501).x, 0);
    EXPECT_EQ(w.ItemOf(502).x, w.ItemOf(501).width);
    EXPECT_TRUE(w.ItemOf(98).drawn);
    EXPECT_GT(w.ItemOf(98).x, w.ItemOf(505).x);
    EXPECT_GE(w.ItemOf(504).width, w.ItemOf(501).width);
    uitest::SaveScreenshot(
        w.window.GetNativeWindow(), uitest::ArtefactPath("tabbed-toolbar", "home"));
}

TEST_F(TabbedToolBar, TabsSendAtOnceButtonsPostOnceOnRelease)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    TestWindow w;
    ASSERT_TRUE(w.Show());
    ProbeWindow& win = w.window;
    // A tab sends its id at once; the selected tab sends nothing.
    w.ClickTab(2);
    ASSERT_TRUE(uitest::PumpUntil([&] { return win.Count(kTabEdit) == 1; }));
    EXPECT_EQ(w.toolbar->GetSelectedTab(), 2);
    w.ClickTab(2);
    uitest::PumpUntil([&] { return win.Count(kTabEdit) >= 1; });
    uitest::Pump(50);
    EXPECT_EQ(win.Count(kTabEdit), 1);
    uitest::SaveScreenshot(win.GetNativeWindow(), uitest::ArtefactPath("tabbed-toolbar", "edit"));
    // A press on a tab released up to one character width beside it selects it.
    LTabbedToolBarPrivate& d = w.d();
    const LTabbedToolBarTabInternal& home = d.Tab(1);
    const int slack = int(win.CharWidthPixels() + 0.5);
    d.EvLButtonDown(home.x + 2, d.G + 2);
    d.EvLButtonUp(home.x + 2, d.T + slack + 1); // too far below
    EXPECT_EQ(win.Count(kTabHome), 0);
    d.EvLButtonDown(home.x + 2, d.G + 2);
    d.EvLButtonUp(home.x + 2, d.T + slack - 1);
    EXPECT_EQ(win.Count(kTabHome), 1);
    // A button posts its command once, on release.
    w.ClickItem(501);
    ASSERT_TRUE(uitest::PumpUntil([&] { return win.Count(501) == 1; }));
    uitest::Pump(100);
    EXPECT_EQ(win.Count(501), 1);
    // The help icon calls CmHelp.
    w.Click(w.d().iHelpX + 3, w.d().iHelpY + 3);
    ASSERT_TRUE(uitest::PumpUntil([&] { return win.helps == 1; }));
    EXPECT_EQ(win.commands.size(), 3u);
}

TEST_F(TabbedToolBar, DragOutPostsNothingDragBackInPosts)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    TestWindow w;
    ASSERT_TRUE(w.Show());
    ProbeWindow& win = w.window;
    const double s = w.s();
    LToolBarItemInternal& item = w.ItemOf(502);
    const double cx = (item.x + item.width / 2) / s, cy = (item.y + item.height / 2) / s;
    uitest::XDragWithin(
        win.GetNativeWindow(), cx, cy, cx, cy + 200 / s, [] { return false; }, 400);
    uitest::Pump(100);
    EXPECT_EQ(win.Count(502), 0);
    EXPECT_FALSE(item.pressed);
    // Out and back in before the release.
    uitest::XDragWithin(
        win.GetNativeWindow(), cx, cy, cx + 1 / s, cy + 2 / s, [&] { return win.Count(502) == 1; },
        2000);
    EXPECT_EQ(win.Count(502), 1);
}

TEST_F(TabbedToolBar, DropDownsTogglesAndGroups)
{
    TestWindow w;
    ASSERT_TRUE(w.Show());
    ProbeWindow& win = w.window;
    LTabbedToolBarPrivate& d = w.d();
    const double s = w.s();
    // Split drop-down: the main part (the icon's right half included) posts its command...
    LToolBarItemInternal& split = w.ItemOf(503);
    const int my = split.y + split.height / 2;
    const int iconRight
        = split.x + (split.width - int(1.875 * win.CharWidthPixels() + 0.5)) / 2 + int(16 * s) - 1;
    ASSERT_LT(iconRight, d.ArrowPartX(split));
    d.EvLButtonDown(iconRight, my);
    d.EvLButtonUp(iconRight, my);
    ASSERT_TRUE(uitest::PumpUntil([&] { return win.Count(503) == 1; }));
    // ...the arrow part its drop-down command: 0 until the whole-drop-down call sets it.
    d.EvLButtonDown(split.x + split.width - 2, my);
    d.EvLButtonUp(split.x + split.width - 2, my);
    uitest::PumpUntil([&] { return win.Count(503) >= 1; });
    EXPECT_EQ(win.Count(503), 1);
    w.toolbar->HandleToolBarItemDropdownWhole(win, 503);
    d.EvLButtonDown(split.x + split.width - 2, my);
    EXPECT_TRUE(split.arrowPressed);
    ASSERT_TRUE(uitest::PumpUntil([&] { return win.Count(503) == 2; }));
    d.EvLButtonUp(split.x + split.width - 2, my);
    // The reset timer clears the look 0.3 s later.
    ASSERT_TRUE(uitest::PumpUntil([&] { return !split.arrowPressed; }, 1500));
    // A whole drop-down posts on the press.
    LToolBarItemInternal& whole = w.ItemOf(504);
    d.EvLButtonDown(whole.x + 4, my);
    ASSERT_TRUE(uitest::PumpUntil([&] { return win.Count(504) == 1; }));
    d.EvLButtonUp(whole.x + 4, my);
    uitest::PumpUntil([&] { return win.Count(504) >= 1; });
    EXPECT_EQ(win.Count(504), 1);

    // A toggle group (toggle and group bits; no row type gives both, so they are set here)
    // keeps one checked.
    w.toolbar->GetPrivate()->TabToolBarUpdate(2);
    uitest::PumpUntil([&] { return w.ItemOf(601).drawn; });
    for (int g : { 601, 602, 603 }) {
        EXPECT_EQ(w.ItemOf(g).mask, kLTbMaskGroup);
        w.ItemOf(g).mask = kLTbMaskGroup | kLTbMaskToggle;
    }
    for (int c : { 601, 602, 602, 603 }) {
        LToolBarItemInternal& it = w.ItemOf(c);
        d.EvLButtonDown(it.x + 3, my);
        d.EvLButtonUp(it.x + 3, my);
        EXPECT_TRUE(it.checked) << c;
        int checked = 0;
        for (int g : { 601, 602, 603 })
            checked += w.ItemOf(g).checked;
        EXPECT_EQ(checked, 1) << c;
    }
    LToolBarItemInternal& bold = w.ItemOf(604);
    d.EvLButtonDown(bold.x + 3, my);
    d.EvLButtonUp(bold.x + 3, my);
    EXPECT_TRUE(bold.checked);
    d.EvLButtonDown(bold.x + 3, my);
    d.EvLButtonUp(bold.x + 3, my);
    EXPECT_FALSE(bold.checked);
    // The item without image and label is never drawn and takes no clicks.
    Painted p(d);
    EXPECT_FALSE(w.ItemOf(605).drawn);
    d.EvLButtonDown(w.ItemOf(605).x + 2, my);
    d.EvLButtonUp(w.ItemOf(605).x + 2, my);
    ASSERT_TRUE(uitest::PumpUntil([&] { return win.Count(604) == 2; }));
    EXPECT_EQ(win.Count(605), 0);
    // Disabled items take no clicks; enabling repaints them.
    w.toolbar->EnableToolBarItem(604, false);
    EXPECT_FALSE(bold.enabled);
    d.EvLButtonDown(bold.x + 3, my);
    d.EvLButtonUp(bold.x + 3, my);
    uitest::PumpUntil([&] { return win.Count(604) >= 2; });
    EXPECT_EQ(win.Count(604), 2);
    const int list[] = { 604, 601, 0 };
    w.toolbar->EnableToolBarItemList(list, true);
    EXPECT_TRUE(bold.enabled);
}

TEST_F(TabbedToolBar, NarrowingShowsTheChevronAndItsMenu)
{
    TestWindow w;
    ASSERT_TRUE(w.Show());
    LTabbedToolBarPrivate& d = w.d();
    ProbeWindow& win = w.window;
    // Narrow the window until "Exportera" and what follows no longer fit.
    const int keep = w.ItemOf(504).x;
    if (uitest::HaveXdotool()) {
        const unsigned long xid = win.GetNativeWindow()->XWindowId();
        uitest::Run("xdotool windowsize " + std::to_string(xid) + " "
            + std::to_string(keep + int(30 * w.s())) + " " + std::to_string(int(300 * w.s())));
        uitest::PumpUntil([&] {
            w.Layout();
            return d.GetWidth() < keep + int(40 * w.s());
        });
    } else {
        win.SizeWindowPixels(keep + int(30 * w.s()), int(300 * w.s()));
        w.Layout();
    }
    ASSERT_LT(d.GetWidth(), keep + int(40 * w.s()));
    uitest::PumpUntil([&] {
        Painted p(d);
        return !w.ItemOf(504).drawn;
    });
    Painted p(d);
    LTabbedToolBarTabInternal& tab = *d.SelectedTab();
    LToolBarItemInternal& chevron = tab.items[tab.itemCount - 1];
    EXPECT_FALSE(chevron.hidden);
    EXPECT_EQ(chevron.x + chevron.width, d.GetWidth() - 1);
    EXPECT_TRUE(w.ItemOf(501).drawn);
    EXPECT_FALSE(w.ItemOf(505).drawn);
    uitest::SaveScreenshot(win.GetNativeWindow(), uitest::ArtefactPath("tabbed-toolbar", "narrow"));
    // The menu lists the hidden items in order, drop-downs with "...", no outer separators.
    std::vector<std::string> titles;
    for (const auto& e : d.ChevronMenuEntries())
        titles.push_back(e.separator ? "-" : e.title);
    std::vector<std::string> expected;
    if (!w.ItemOf(503).drawn)
        expected = { "Skriv ut...", "Exportera", "-", "Spara", "ZOR-Paket" };
    else
        expected = { "Exportera", "-", "Spara", "ZOR-Paket" };
    EXPECT_EQ(titles, expected);
    // A click on the chevron opens it; a click within 2 ms of its closing does not.
    int shown = 0;
    LTabbedToolBarPrivate::pfnShowChevronMenu
        = [](LTabbedToolBarPrivate&, LPopupMenu& menu) { EXPECT_NE(menu.GetMenu(), nullptr); };
    const int cy = chevron.y + chevron.height / 2;
    d.EvLButtonDown(chevron.x + 2, cy);
    d.EvLButtonUp(chevron.x + 2, cy);
    shown = d.iChevronMenus;
    EXPECT_EQ(shown, 1);
    d.EvLButtonDown(chevron.x + 2, cy);
    EXPECT_EQ(d.iChevronMenus, 1);
    d.EvLButtonUp(chevron.x + 2, cy);
    d.fChevronClosed = std::chrono::steady_clock::now() - std::chrono::milliseconds(5);
    d.EvLButtonDown(chevron.x + 2, cy);
    EXPECT_EQ(d.iChevronMenus, 2);
    d.EvLButtonUp(chevron.x + 2, cy);
    LTabbedToolBarPrivate::pfnShowChevronMenu = nullptr;
}

TEST_F(TabbedToolBar, TooltipsNameKeysTabsAndHelp)
{
    TestWindow w;
    ASSERT_TRUE(w.Show());
    LTabbedToolBarPrivate& d = w.d();
    Painted p(d);
    char ctrlN[260] = "", help[260] = "";
    LKey(LKey::kCommand | 'N').GetDescription(ctrlN);
    LKey(LKey::kCommand | LKey::kShift | '/').GetDescription(help);
    LToolBarItemInternal& ny = w.ItemOf(501);
    d.EvMouseMove(ny.x + 3, ny.y + 5);
    EXPECT_EQ(d.ControlTip(), std::string("Ny etikett (") + ctrlN + ")");
    EXPECT_TRUE(ny.hover);
    LToolBarItemInternal& open = w.ItemOf(502);
    d.EvMouseMove(open.x + 3, open.y + 5);
    EXPECT_EQ(d.ControlTip(), "Öppna en etikett");
    EXPECT_FALSE(ny.hover);
    EXPECT_STREQ(LUiGetToolTipArea(d.GetPaintView()), "Öppna en etikett");
    // A tab's tip, over a tab that is not selected.
    w.toolbar->TabbedToolBarTipSet(2, "Redigera texter och bilder");
    w.toolbar->TabbedToolBarTipSet(99, "ignoreras");
    const LTabbedToolBarTabInternal& edit = d.Tab(2);
    d.EvMouseMove(edit.x + 5, d.G + 3);
    EXPECT_EQ(d.iHotTab, 2);
    EXPECT_EQ(d.ControlTip(), "Redigera texter och bilder");
    // The help icon.
    d.EvMouseMove(d.iHelpX + 2, d.iHelpY + 2);
    EXPECT_EQ(d.iHotTab, -1);
    EXPECT_EQ(d.ControlTip(), std::string("Visa programhjälpsidorna (") + help + ")");
    d.EvMouseMove(2, d.T + d.B - 2);
    d.EvMouseOut();
    EXPECT_FALSE(open.hover);
}

TEST_F(TabbedToolBar, ShareBarPlacesHidesAndAnswers)
{
    TestWindow w;
    ASSERT_TRUE(w.Show());
    LTabbedToolBarPrivate& d = w.d();
    Painted p(d);
    LToolBarShareLinkBar& bar = d.fShareBar;
    ASSERT_EQ(bar.GetButtonCount(), 4);
    const int commands[4] = { 9316, 9311, 9310, 9320 };
    const int P = bar.GetPitch(), S = bar.GetButtonSize();
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(bar.GetButton(i).images.GetNormal().HasImage()) << i; // our 336-339
        EXPECT_EQ(bar.GetButton(i).command, commands[i]);
        EXPECT_EQ(bar.GetButton(i).xOffset, -P * (i + 1));
    }
    EXPECT_TRUE(d.bShareBarShown);
    EXPECT_EQ(bar.iRight, d.iHelpX - int(0.5 * w.window.CharWidthPixels() + 0.5));
    // A click on the second button from the right sends 9311 at once.
    const int x = bar.iRight - P - P / 2 - 1, y = bar.iTop + S / 2;
    EXPECT_EQ(bar.HitIndex(x, y), 1);
    d.EvLButtonDown(x, y);
    d.EvLButtonUp(x, y);
    EXPECT_EQ(w.window.Count(9311), 1);
    // A press on a disabled button hits without pressing.
    bar.EnableButton(9311, false);
    EXPECT_TRUE(bar.ProcessMouseDown(x, y));
    EXPECT_EQ(bar.GetPressed(), -1);
    EXPECT_EQ(bar.ProcessMouseUp(x, y), -1);
    bar.EnableButton(9311, true);
    // Released elsewhere: nothing.
    EXPECT_TRUE(bar.ProcessMouseDown(x, y));
    EXPECT_EQ(bar.ProcessMouseUp(x + P, y), -1);
    // Hidden by the user until shown again, also when there is room.
    w.toolbar->ShareLinkBarHide();
    Painted p2(d);
    EXPECT_FALSE(d.bShareBarShown);
    EXPECT_FALSE(bar.ProcessMouseDown(x, y));
    EXPECT_TRUE(bar.ProcessRightClick(x, y));
    w.toolbar->ShareLinkBarShow();
    Painted p3(d);
    EXPECT_TRUE(d.bShareBarShown);
    // Hidden for lack of room, back when the room returns.
    d.SetPaintControlSize(
        d.TabsWidth(*std::make_unique<LPaintContext>().get()) + 50, d.GetHeight());
    {
        Painted narrow(d);
        EXPECT_FALSE(d.bShareBarShown);
        EXPECT_TRUE(d.bShareBarWanted);
    }
    d.UpdateSize();
    Painted wide(d);
    EXPECT_TRUE(d.bShareBarShown);
}

TEST_F(TabbedToolBar, HostileTablesAndHandlers)
{
    TestWindow w;
    // An empty table: the placeholder and the terminator only; painting draws no tab.
    LTabbedToolBar empty;
    const LTabbedToolBarTab none[] = { { 0, nullptr, nullptr, 0 } };
    empty.TabbedToolBarInit(w.window, none, nullptr, 0, 701);
    ASSERT_EQ(empty.GetPrivate()->TabCount(), 2);
    EXPECT_EQ(empty.GetPrivate()->SelectedTab(), nullptr);
    empty.GetPrivate()->SetPaintControlSize(400, 85);
    Painted emptyPaint(*empty.GetPrivate());
    empty.GetPrivate()->EvLButtonDown(10, 40);
    empty.GetPrivate()->EvLButtonUp(10, 40);
    empty.GetPrivate()->EvMouseMove(10, 40);
    // Long texts are cut at 259 bytes, never inside a character; 200 items fit.
    std::string longText;
    for (int i = 0; i < 5000; ++i)
        longText += "ö";
    std::vector<LToolBar::ToolBarItem> many(200);
    for (int i = 0; i < 200; ++i)
        many[size_t(i)]
            = { 0, 1000 + i, 300, longText.c_str(), longText.c_str(), longText.c_str(), 0, false };
    const LTabbedToolBarTab big[]
        = { { 7001, longText.c_str(), many.data(), 200 }, { 0, nullptr, nullptr, 0 } };
    LTabbedToolBar heavy;
    heavy.TabbedToolBarInit(w.window, big, kKeys, 3, 702);
    LTabbedToolBarPrivate& h = *heavy.GetPrivate();
    EXPECT_EQ(strlen(h.Tab(1).name.get()), 258u);
    EXPECT_EQ(h.Tab(1).itemCount, 203);
    EXPECT_EQ(strlen(h.Tab(1).items[5].label), 258u);
    EXPECT_EQ(strlen(h.Tab(1).items[5].tooltip), 258u);
    h.SetPaintControlSize(int(900 * w.s()), 85);
    Painted heavyPaint(h);
    int drawn = 0;
    for (int i = 0; i < 203; ++i)
        drawn += h.Tab(1).items[i].drawn;
    EXPECT_GT(drawn, 0);
    EXPECT_LT(drawn, 200);
    EXPECT_FALSE(h.ChevronMenuEntries().empty());

    // A handler that destroys the toolbar while a tab's id is sent.
    ASSERT_TRUE(w.Show());
    w.window.onCommand = [&](int id) {
        if (id == kTabEdit)
            w.toolbar.reset();
    };
    LTabbedToolBarPrivate& d = w.d();
    const LTabbedToolBarTabInternal& edit = d.Tab(2);
    const int ex = edit.x + 5, ey = d.G + 3;
    d.EvLButtonDown(ex, ey);
    d.EvLButtonUp(ex, ey);
    EXPECT_EQ(w.toolbar, nullptr);
    EXPECT_EQ(w.window.Count(kTabEdit), 1);
    // The reset timer pending when the toolbar goes.
    w.window.onCommand = nullptr;
    w.toolbar = std::make_unique<LTabbedToolBar>();
    w.toolbar->TabbedToolBarInit(w.window, kTabs, kKeys, 3, kControl);
    w.Layout();
    uitest::PumpUntil([&] { return w.ItemOf(504).drawn; });
    LToolBarItemInternal& whole = w.ItemOf(504);
    w.d().EvLButtonDown(whole.x + 2, whole.y + 4);
    w.toolbar.reset();
    uitest::Pump(450);
    SUCCEED();
}

TEST_F(TabbedToolBar, ScaleChangeMidDragRescalesSizesAndShareBar)
{
    if (getenv("GDK_SCALE"))
        GTEST_SKIP() << "starts at scale 1";
    GdkDisplay* display = gdk_display_get_default();
    if (!GDK_IS_X11_DISPLAY(display))
        GTEST_SKIP() << "not X11";
    TestWindow w;
    ASSERT_TRUE(w.Show());
    LTabbedToolBarPrivate& d = w.d();
    Painted before(d);
    std::vector<int> offsets;
    for (int i = 0; i < d.fShareBar.GetButtonCount(); ++i)
        offsets.push_back(d.fShareBar.GetButton(i).xOffset);
    // A press on a button, then the scale doubles before the release.
    LToolBarItemInternal& item = w.ItemOf(502);
    d.EvLButtonDown(item.x + 3, item.y + 5);
    ASSERT_TRUE(item.pressed);
    gdk_x11_display_set_window_scale(display, 2);
    const bool changed = uitest::PumpUntil([&] { return d.T == 52; }, 3000);
    if (changed) {
        EXPECT_EQ(d.B, 117);
        for (int i = 0; i < d.fShareBar.GetButtonCount(); ++i)
            EXPECT_EQ(d.fShareBar.GetButton(i).xOffset, int(offsets[size_t(i)] * 2 - 0.5)) << i;
        EXPECT_EQ(d.fShareBar.iWidth, d.fShareBar.GetPitch() * 4);
    }
    d.EvMouseMove(item.x + 3, item.y + 5);
    d.EvLButtonUp(item.x + 3, item.y + 5);
    Painted after(d);
    gdk_x11_display_set_window_scale(display, 1);
    uitest::PumpUntil([&] { return d.T == 26; }, 3000);
    if (!changed)
        GTEST_SKIP() << "the display did not change its scale";
}

TEST_F(TabbedToolBar, RealMenusSendTheirCommands)
{
    TestWindow w;
    ASSERT_TRUE(w.Show());
    LTabbedToolBarPrivate& d = w.d();
    ProbeWindow& win = w.window;
    // The share bar's context menu: "Dölj resursikoner" reaches the window.
    Painted wide(d);
    const int S = d.fShareBar.GetButtonSize();
    std::string hide = "Dölj resursikoner";
    g_timeout_add(300, ChooseInOpenMenu, &hide);
    g_timeout_add(3000, CloseOpenMenus, nullptr);
    d.EvRButtonDown(d.fShareBar.iRight - S / 2 - 1, d.fShareBar.iTop + S / 2);
    ASSERT_TRUE(uitest::PumpUntil([&] { return win.Count(9301) == 1; }));
    // The overflow menu of a narrow toolbar: "Spara" is posted to the window.
    d.SetPaintControlSize(w.ItemOf(504).x + int(30 * w.s()), d.GetHeight());
    Painted narrow(d);
    ASSERT_FALSE(w.ItemOf(505).drawn);
    LTabbedToolBarTabInternal& tab = *d.SelectedTab();
    LToolBarItemInternal& chevron = tab.items[tab.itemCount - 1];
    ASSERT_FALSE(chevron.hidden);
    std::string save = "Spara";
    g_timeout_add(300, ChooseInOpenMenu, &save);
    g_timeout_add(3000, CloseOpenMenus, nullptr);
    d.EvLButtonDown(chevron.x + 2, chevron.y + chevron.height / 2);
    d.EvLButtonUp(chevron.x + 2, chevron.y + chevron.height / 2);
    ASSERT_TRUE(uitest::PumpUntil([&] { return win.Count(505) == 1; }));
    EXPECT_EQ(d.iChevronMenus, 1);
}

// The chevron's tip "Visa dolda alternativ" never stands over the menu it names: neither when the
// pointer rested on the chevron until the tip showed, nor when it came and clicked at once (the
// tip asked for on its arrival was then shown over the open menu).
TEST_F(TabbedToolBar, TheChevronsTipGoesWhenItsMenuOpens)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    TestWindow w;
    ASSERT_TRUE(w.Show());
    LTabbedToolBarPrivate& d = w.d();
    d.SetPaintControlSize(w.ItemOf(504).x + int(30 * w.s()), d.GetHeight());
    Painted narrow(d);
    LTabbedToolBarTabInternal& tab = *d.SelectedTab();
    LToolBarItemInternal& chevron = tab.items[tab.itemCount - 1];
    ASSERT_FALSE(chevron.hidden);
    LNativeWindow* window = w.window.GetNativeWindow();
    const double x = (chevron.x + chevron.width / 2) / w.s();
    const double y = (chevron.y + chevron.height / 2) / w.s();
    for (bool rested : { false, true }) {
        SCOPED_TRACE(rested ? "clicked after the tip showed" : "clicked as the pointer came");
        // While the menu is open its state is looked at every 20 ms for a second, longer than
        // GTK takes to show a tip, then the menu is closed.
        struct Watch {
            int menuSamples = 0, tipSamples = 0;
            bool closed = false;
        } watch;
        g_timeout_add(
            20,
            [](gpointer data) -> gboolean {
                auto* watch = static_cast<Watch*>(data);
                if (!MenuShows())
                    return G_SOURCE_CONTINUE;
                ++watch->menuSamples;
                if (TooltipShows())
                    ++watch->tipSamples;
                if (watch->menuSamples < 50)
                    return G_SOURCE_CONTINUE;
                CloseOpenMenus(nullptr);
                watch->closed = true;
                return G_SOURCE_REMOVE;
            },
            &watch);
        if (rested) {
            // From outside the chevron (where the last click left the pointer).
            ASSERT_TRUE(uitest::XMove(window, 2, 2));
            ASSERT_TRUE(uitest::XMove(window, x, y));
            ASSERT_TRUE(uitest::PumpUntil(TooltipShows, 5000)) << "the chevron shows no tip";
            EXPECT_STREQ(LUiGetToolTipArea(d.GetPaintView()), "Visa dolda alternativ");
            ASSERT_TRUE(uitest::XClick(window, x, y));
        } else {
            // The pointer comes from the window's corner and clicks at once, while the window
            // runs (as a person's hand does): the click finds the chevron's tip just asked for.
            ASSERT_TRUE(uitest::XMove(window, 2, 2));
            const double s = w.s();
            const std::string command = "xdotool mousemove --window "
                + std::to_string(window->XWindowId()) + " " + std::to_string(int(x * s)) + " "
                + std::to_string(int((y + window->TopSlotsHeight()) * s)) + " click 1";
            ASSERT_TRUE(g_spawn_command_line_async(command.c_str(), nullptr));
        }
        ASSERT_TRUE(uitest::PumpUntil([&] { return watch.closed; }, 10000));
        EXPECT_EQ(d.iChevronMenus, rested ? 2 : 1);
        EXPECT_EQ(watch.tipSamples, 0) << "of " << watch.menuSamples;
    }
}

TEST_F(TabbedToolBar, AHandlerThatClosesTheWindowDuringATabsCommand)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    TestWindow w;
    ASSERT_TRUE(w.Show());
    ProbeWindow& win = w.window;
    bool closed = false;
    win.onCommand = [&](int id) {
        if (id == kTabEdit && !closed) {
            closed = true;
            win.DestroyCommon(); // the toolbar outlives its window here
        }
    };
    w.ClickTab(2);
    ASSERT_TRUE(uitest::PumpUntil([&] { return closed; }));
    uitest::Pump(400); // the repaint and the reset timer find no window
    EXPECT_EQ(win.Count(kTabEdit), 1);
    EXPECT_EQ(win.GetNativeWindow(), nullptr);
    // What comes late (a move, a release, a tab) does nothing.
    LTabbedToolBarPrivate& d = w.d();
    d.EvMouseMove(3, d.G + 2);
    d.EvLButtonDown(d.Tab(1).x + 3, d.G + 2);
    d.EvLButtonUp(d.Tab(1).x + 3, d.G + 2);
    w.toolbar.reset();
    uitest::Pump(100);
}

TEST_F(TabbedToolBar, AReleaseOneCharacterBesideATabSelectsIt)
{
    TestWindow w;
    ASSERT_TRUE(w.Show());
    ProbeWindow& win = w.window;
    LTabbedToolBarPrivate& d = w.d();
    const LTabbedToolBarTabInternal& edit = d.Tab(2);
    const int slack = int(win.CharWidthPixels() + 0.5);
    const int right = edit.x + edit.width; // first pixel right of the tab
    // Released further right than a character's width: nothing.
    d.EvLButtonDown(right - 2, d.G + 2);
    d.EvLButtonUp(right + slack + 1, d.G + 2);
    EXPECT_EQ(win.Count(kTabEdit), 0);
    EXPECT_EQ(w.toolbar->GetSelectedTab(), 1);
    // Within it: the tab is selected and sends its id, once.
    d.EvLButtonDown(right - 2, d.G + 2);
    d.EvLButtonUp(right + slack - 1, d.G + 2);
    EXPECT_EQ(win.Count(kTabEdit), 1);
    EXPECT_EQ(w.toolbar->GetSelectedTab(), 2);
    d.EvLButtonDown(right - 2, d.G + 2);
    d.EvLButtonUp(right - 2, d.G + 2);
    EXPECT_EQ(win.Count(kTabEdit), 1);
}
