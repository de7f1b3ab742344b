#include "platform/ui/LUiToolTipArea.h"

#include "platform/ui/LView.h"

#include <gtk/gtk.h>

namespace {

struct TipArea {
    std::string text;
    GdkRectangle area { 0, 0, 0, 0 };
};

constexpr const char* kKey = "vt-tip-area";

gboolean QueryTooltip(GtkWidget*, gint, gint, gboolean, GtkTooltip* tooltip, gpointer data)
{
    auto* tip = static_cast<TipArea*>(data);
    if (tip->text.empty())
        return FALSE;
    gtk_tooltip_set_text(tooltip, tip->text.c_str());
    gtk_tooltip_set_tip_area(tooltip, &tip->area);
    return TRUE;
}

void FreeTip(gpointer data)
{
    delete static_cast<TipArea*>(data);
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
        g_object_set_data_full(G_OBJECT(widget), kKey, tip, FreeTip);
        g_signal_connect(widget, "query-tooltip", G_CALLBACK(QueryTooltip), tip);
    }
    const std::string wanted = text ? text : "";
    const GdkRectangle rect { int(area.x), int(area.y), int(area.width + 0.5),
        int(area.height + 0.5) };
    const bool same = wanted == tip->text && rect.x == tip->area.x && rect.y == tip->area.y
        && rect.width == tip->area.width && rect.height == tip->area.height;
    tip->text = wanted;
    tip->area = rect;
    gtk_widget_set_has_tooltip(widget, !wanted.empty());
    if (!same)
        gtk_widget_trigger_tooltip_query(widget);
}

std::string LUiGetToolTipArea(LView* view)
{
    GtkWidget* widget = view ? view->Widget() : nullptr;
    if (!widget)
        return {};
    auto* tip = static_cast<TipArea*>(g_object_get_data(G_OBJECT(widget), kKey));
    return tip ? tip->text : std::string();
}
