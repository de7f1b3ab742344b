// A 2,000-item menu built from a table and popped up, against the same menu made with plain GTK
// calls. Both build every item, show the menu at a point of a window and take it down again.
#include "lfw/mac/LMenu.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LUiMenu.h"
#include "platform/ui/LUiSystem.h"

#include <benchmark/benchmark.h>
#include <string>
#include <vector>

namespace {

constexpr int kItems = 2000;

struct Fixture {
    GtkWidget* window = nullptr;
    std::vector<std::string> titles;
    std::vector<LMenuItem> rows;
    std::vector<LKeyToCommandMap> keys;

    bool Init()
    {
        if (window)
            return true;
        if (!LUiInit())
            return false;
        window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_default_size(GTK_WINDOW(window), 200, 200);
        gtk_widget_show_all(window);
        while (!gtk_widget_get_mapped(window))
            gtk_main_iteration();
        for (int i = 0; i < kItems; ++i)
            titles.push_back("Kommando nummer " + std::to_string(i + 1));
        rows.push_back({ -1, "Meny", 0 });
        for (int i = 0; i < kItems; ++i)
            rows.push_back({ i + 1, titles[size_t(i)].c_str(), 0 });
        rows.push_back({ -1, nullptr, 0 });
        // Every tenth item has a shortcut.
        for (int i = 0; i < kItems; i += 10)
            keys.push_back({ LKey(LKey::kCommand | uint32_t('A' + i % 26)), i + 1 });
        return true;
    }

    // Shows the menu at a point of the window, waits until it is on the screen, takes it down.
    void PopUpAndDown(GtkWidget* menu)
    {
        GdkRectangle rect { 20, 20, 1, 1 };
        GdkWindow* gw = gtk_widget_get_window(window);
        GdkEvent* trigger = gdk_event_new(GDK_BUTTON_PRESS);
        trigger->button.window = GDK_WINDOW(g_object_ref(gw));
        trigger->button.button = 3;
        trigger->button.time = GDK_CURRENT_TIME;
        gdk_event_set_device(
            trigger, gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())));
        gtk_menu_popup_at_rect(
            GTK_MENU(menu), gw, &rect, GDK_GRAVITY_NORTH_WEST, GDK_GRAVITY_NORTH_WEST, trigger);
        gdk_event_free(trigger);
        GtkWidget* top = gtk_widget_get_toplevel(menu);
        for (int i = 0; i < 1000 && !gtk_widget_get_mapped(top); ++i)
            gtk_main_iteration_do(FALSE);
        gtk_menu_popdown(GTK_MENU(menu));
        while (gtk_events_pending())
            gtk_main_iteration_do(FALSE);
    }
};

Fixture gFixture;

void BM_MenuFromTable(benchmark::State& state)
{
    if (!gFixture.Init()) {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state) {
        LCocoaMenu menu;
        menu.Create(nullptr, "");
        LMenuAdd(menu, gFixture.rows.data(), 0, gFixture.rows.size(), gFixture.keys.data(),
            gFixture.keys.size());
        LUiMenu* sub = menu.GetMenu()->ItemAt(0)->Submenu();
        gFixture.PopUpAndDown(sub->MenuWidget());
    }
    state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_MenuFromTable)->Unit(benchmark::kMillisecond);

void BM_PlainGtkMenu(benchmark::State& state)
{
    if (!gFixture.Init()) {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state) {
        GtkWidget* menu = gtk_menu_new();
        g_object_ref_sink(menu);
        for (int i = 0; i < kItems; ++i) {
            GtkWidget* item = gtk_menu_item_new_with_label(gFixture.titles[size_t(i)].c_str());
            if (i % 10 == 0)
                gtk_accel_label_set_accel(GTK_ACCEL_LABEL(gtk_bin_get_child(GTK_BIN(item))),
                    GDK_KEY_a + guint(i % 26), GDK_CONTROL_MASK);
            gtk_widget_show(item);
            gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
        }
        gFixture.PopUpAndDown(menu);
        gtk_widget_destroy(menu);
        g_object_unref(menu);
    }
    state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_PlainGtkMenu)->Unit(benchmark::kMillisecond);

} // namespace
