// GTK's print panel as the print shows it: a label sheet is printed one page to a sheet, so the
// panel offers neither pages per sheet nor their order, whichever printer it has chosen; the
// scale, which the application makes itself, stays.
#include "platform/print/Print.h"
#include "platform/ui/LUiSystem.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <gtk/gtkunixprint.h>

#include <cstring>
#include <map>
#include <string>

namespace {

// The panel's controls by the names its description gives them: shown or not.
std::map<std::string, bool> gShown;

void Look(GtkWidget* widget, gpointer)
{
    const char* name
        = GTK_IS_BUILDABLE(widget) ? gtk_buildable_get_name(GTK_BUILDABLE(widget)) : nullptr;
    auto shown = [&] {
        for (GtkWidget* w = widget; w; w = gtk_widget_get_parent(w))
            if (!gtk_widget_get_visible(w))
                return false;
        return true;
    };
    if (name)
        gShown[name] = shown();
    if (GTK_IS_LABEL(widget))
        if (GtkWidget* target = gtk_label_get_mnemonic_widget(GTK_LABEL(widget)))
            if (const char* of = GTK_IS_BUILDABLE(target)
                    ? gtk_buildable_get_name(GTK_BUILDABLE(target))
                    : nullptr)
                gShown[std::string("label of ") + of] = shown();
    if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(GTK_CONTAINER(widget), Look, nullptr);
}

GtkTreeView* PrinterList(GtkWidget* widget)
{
    if (GTK_IS_TREE_VIEW(widget))
        return GTK_TREE_VIEW(widget);
    GtkTreeView* found = nullptr;
    if (GTK_IS_CONTAINER(widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* c = children; c && !found; c = c->next)
            found = PrinterList(GTK_WIDGET(c->data));
        g_list_free(children);
    }
    return found;
}

// Looks at the panel once a printer is chosen in it (the first of its list, which comes a moment
// after it opens: the panel then sets itself up for that printer), then cancels it.
int LookAndCancel(GtkWidget* panel)
{
    gtk_widget_show(panel);
    GtkTreeView* list = PrinterList(panel);
    const gint64 end = g_get_monotonic_time() + 20 * G_USEC_PER_SEC;
    while (!gtk_print_unix_dialog_get_selected_printer(GTK_PRINT_UNIX_DIALOG(panel))
        && g_get_monotonic_time() < end) {
        GtkTreeModel* model = list ? gtk_tree_view_get_model(list) : nullptr;
        if (model && gtk_tree_model_iter_n_children(model, nullptr) > 0) {
            GtkTreePath* first = gtk_tree_path_new_first();
            gtk_tree_view_set_cursor(list, first, nullptr, FALSE);
            gtk_tree_path_free(first);
        }
        // Woken by the panel's own work, or after a moment to look at its list again.
        g_timeout_add(
            50, [](gpointer) { return gboolean(G_SOURCE_REMOVE); }, nullptr);
        g_main_context_iteration(nullptr, TRUE);
    }
    EXPECT_NE(gtk_print_unix_dialog_get_selected_printer(GTK_PRINT_UNIX_DIALOG(panel)), nullptr)
        << "no printer chosen";
    // What choosing the printer set going (the panel's options for it) is done.
    while (g_main_context_pending(nullptr))
        g_main_context_iteration(nullptr, FALSE);
    gShown.clear();
    Look(panel, nullptr);
    return GTK_RESPONSE_CANCEL;
}

class NeverPrints : public platform::print::Delegate {
public:
    bool Confirm(platform::print::Choices&) override { return false; }
    platform::print::Result Print(const std::shared_ptr<platform::print::Document>&,
        const platform::print::Choices&, std::string&) override
    {
        return platform::print::Result::Failed;
    }
    bool HandOver(std::function<void(const platform::print::HandOverStop&)>) override
    {
        return false;
    }
};

} // namespace

TEST(PrintPanel, OffersNoPagesPerSheet)
{
    ASSERT_TRUE(LUiInit()) << "no display";
    platform::print::Request request;
    request.runDialog = LookAndCancel;
    NeverPrints delegate;
    EXPECT_EQ(platform::print::Run(nullptr, request, delegate, nullptr),
        platform::print::Result::Cancelled);
    ASSERT_TRUE(gShown.count("scale_spin")) << "the panel's controls were not found";
    EXPECT_TRUE(gShown["scale_spin"]);
    for (const char* name : { "pages_per_sheet", "number_up_layout" }) {
        EXPECT_FALSE(gShown[name]) << name;
        EXPECT_FALSE(gShown[std::string("label of ") + name]) << name;
    }
}
