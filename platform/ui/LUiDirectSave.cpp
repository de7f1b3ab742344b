#include "platform/ui/LUiDirectSave.h"

#include "platform/ui/LModalLoop.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* kAnswerKey = "vt-direct-save-answer";
constexpr const char* kFinishedKey = "vt-drag-finished";

GdkAtom DirectSaveAtom()
{
    return gdk_atom_intern_static_string(kLUiDirectSaveType);
}

GdkAtom TextPlainAtom()
{
    return gdk_atom_intern_static_string("text/plain");
}

// What the view's data handler fills in when the answer comes.
struct Pending {
    GMainLoop* loop = nullptr;
    char answer = 0;
    bool done = false;
};

} // namespace

bool LUiDirectSaveOffered(const LUiDragInfo& info)
{
    return std::find(info.types.begin(), info.types.end(), kLUiDirectSaveType) != info.types.end();
}

std::string LUiDirectSaveProposedName(const LUiDragInfo& info)
{
    if (!info.context)
        return {};
    GdkWindow* source = gdk_drag_context_get_source_window(info.context);
    if (!source)
        return {};
    GdkAtom type = GDK_NONE;
    gint format = 0, length = 0;
    guchar* data = nullptr;
    // At most 4 KiB of name: a longer one is no file name.
    if (!gdk_property_get(source, DirectSaveAtom(), TextPlainAtom(), 0, 1024, FALSE, &type, &format,
            &length, &data))
        return {};
    std::string name;
    if (data && format == 8 && length > 0)
        name.assign(reinterpret_cast<const char*>(data), size_t(length));
    g_free(data);
    size_t nul = name.find('\0');
    if (nul != std::string::npos)
        name.resize(nul);
    return name;
}

char LUiDirectSaveRequest(
    const LUiDragInfo& info, LView* view, const char* fileUri, unsigned int timeoutMs)
{
    if (!info.context || !view || !fileUri)
        return 0;
    GtkWidget* widget = view->Widget();
    GdkWindow* source = gdk_drag_context_get_source_window(info.context);
    if (!widget || !source)
        return 0;
    gdk_property_change(source, DirectSaveAtom(), TextPlainAtom(), 8, GDK_PROP_MODE_REPLACE,
        reinterpret_cast<const guchar*>(fileUri), gint(std::strlen(fileUri)));
    Pending pending;
    pending.loop = g_main_loop_new(nullptr, FALSE);
    g_object_set_data(G_OBJECT(info.context), kAnswerKey, &pending);
    g_object_ref(info.context);
    gtk_drag_get_data(widget, info.context, DirectSaveAtom(), info.time);
    guint timer = g_timeout_add(
        timeoutMs,
        [](gpointer p) -> gboolean {
            g_main_loop_quit(static_cast<Pending*>(p)->loop);
            return G_SOURCE_REMOVE;
        },
        &pending);
    if (!pending.done) {
        // The drop's answer only: counted as modal, so nothing else starts inside it.
        LModalWait wait(pending.loop);
        wait.Run();
    }
    // The timer is gone once it fired.
    if (GSource* s = g_main_context_find_source_by_id(nullptr, timer))
        g_source_destroy(s);
    g_object_set_data(G_OBJECT(info.context), kAnswerKey, nullptr);
    g_object_unref(info.context);
    g_main_loop_unref(pending.loop);
    return pending.answer;
}

// Called by the view's data handler: true when the data was the answer of a direct save.
bool LUiDirectSaveTakeAnswer(GdkDragContext* context, GtkSelectionData* selection)
{
    auto* pending = static_cast<Pending*>(g_object_get_data(G_OBJECT(context), kAnswerKey));
    if (!pending)
        return false;
    if (selection && gtk_selection_data_get_target(selection) != DirectSaveAtom())
        return false;
    gint length = selection ? gtk_selection_data_get_length(selection) : -1;
    const guchar* bytes = selection ? gtk_selection_data_get_data(selection) : nullptr;
    pending->answer = length >= 1 && bytes && std::strchr("SFE", bytes[0]) ? char(bytes[0]) : 0;
    pending->done = true;
    g_main_loop_quit(pending->loop);
    return true;
}

void LUiDragFinishEarly(const LUiDragInfo& info, bool success)
{
    if (!info.context || g_object_get_data(G_OBJECT(info.context), kFinishedKey))
        return;
    g_object_set_data(G_OBJECT(info.context), kFinishedKey, GINT_TO_POINTER(1));
    gtk_drag_finish(info.context, success, FALSE, info.time);
}

bool LUiDragFinishedEarly(GdkDragContext* context)
{
    return context && g_object_get_data(G_OBJECT(context), kFinishedKey);
}
