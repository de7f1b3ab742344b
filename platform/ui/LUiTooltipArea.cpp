#include "platform/ui/LUiTooltipArea.h"

#include "platform/ui/LView.h"

#include <gtk/gtk.h>
#include <string>

namespace {

struct TipArea {
    std::string text;
    LUiRect area;
    gulong handler = 0;
};

constexpr const char* kKey = "vt-tip-area";

gboolean Query(GtkWidget*, gint x, gint y, gboolean keyboard, GtkTooltip* tooltip, gpointer data)
{
    auto* tip = static_cast<TipArea*>(data);
    if (tip->text.empty())
        return FALSE;
    const LUiRect& a = tip->area;
    const bool whole = a.width <= 0 || a.height <= 0;
    if (!whole && !keyboard && (x < a.x || y < a.y || x >= a.x + a.width || y >= a.y + a.height))
        return FALSE;
    gtk_tooltip_set_text(tooltip, tip->text.c_str());
    if (!whole) {
        GdkRectangle r { int(a.x), int(a.y), int(a.width + 0.999), int(a.height + 0.999) };
        gtk_tooltip_set_tip_area(tooltip, &r);
    }
    return TRUE;
}

} // namespace

void LUiSetToolTipArea(LView* view, const char* text, const LUiRect& area)
{
    GtkWidget* widget = view ? view->Widget() : nullptr;
    if (!widget)
        return;
    auto* tip = static_cast<TipArea*>(g_object_get_data(G_OBJECT(widget), kKey));
    if (!tip) {
        tip = new TipArea;
        g_object_set_data_full(
            G_OBJECT(widget), kKey, tip, [](gpointer p) { delete static_cast<TipArea*>(p); });
        tip->handler = g_signal_connect(widget, "query-tooltip", G_CALLBACK(Query), tip);
    }
    const std::string next = text ? text : "";
    const bool changed = next != tip->text || area.x != tip->area.x || area.y != tip->area.y
        || area.width != tip->area.width || area.height != tip->area.height;
    tip->text = next;
    tip->area = area;
    gtk_widget_set_has_tooltip(widget, tip->text.empty() ? FALSE : TRUE);
    if (changed && !tip->text.empty())
        gtk_widget_trigger_tooltip_query(widget);
}

const char* LUiGetToolTipArea(LView* view)
{
    GtkWidget* widget = view ? view->ExistingWidget() : nullptr;
    auto* tip = widget ? static_cast<TipArea*>(g_object_get_data(G_OBJECT(widget), kKey)) : nullptr;
    return tip ? tip->text.c_str() : "";
}
