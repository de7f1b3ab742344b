#include "platform/ui/LUiFilePanel.h"

#include "platform/ui/LModalLoop.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiDialogButton.h"
#include "platform/ui/LUiFocusReturn.h"
#include "platform/ui/LUiSystem.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace {

GtkWidget* gCurrentPanel = nullptr;

struct FilterData {
    std::vector<std::string> extensions;
};

// A file is matched by its real name, the bytes on the disk (the choosers show local files
// only): the name shown for one that is not UTF-8, "f\xEF\xBF\xBDr.vtproj (invalid encoding)",
// does not end in its extension.
gboolean MatchExtension(const GtkFileFilterInfo* info, gpointer data)
{
    const auto* f = static_cast<const FilterData*>(data);
    if (!info->filename)
        return FALSE;
    const char* slash = std::strrchr(info->filename, '/');
    const char* name = slash ? slash + 1 : info->filename;
    const char* dot = std::strrchr(name, '.');
    if (!dot)
        return FALSE;
    for (const std::string& e : f->extensions)
        if (strcasecmp(dot + 1, e.c_str()) == 0)
            return TRUE;
    return FALSE;
}

// The data keys: on a save panel, that names without an extension get one; on a filter, the
// extension they get under it.
constexpr const char* kAddsExtension = "vt-adds-extension";
constexpr const char* kFirstExtension = "vt-first-extension";

GtkFileFilter* MakeFilter(const LUiFileFilter& filter)
{
    GtkFileFilter* f = gtk_file_filter_new();
    gtk_file_filter_set_name(f, filter.name.c_str());
    if (filter.extensions.empty()) {
        gtk_file_filter_add_pattern(f, "*");
    } else {
        g_object_set_data_full(
            G_OBJECT(f), kFirstExtension, g_strdup(filter.extensions.front().c_str()), g_free);
        auto* data = new FilterData { filter.extensions };
        gtk_file_filter_add_custom(
            f, GtkFileFilterFlags(GTK_FILE_FILTER_FILENAME), MatchExtension, data,
            +[](gpointer p) { delete static_cast<FilterData*>(p); });
    }
    return f;
}

// Whether the name typed in the chooser is that of an existing folder (which the chooser opens
// instead of answering): relative to the folder shown, from the home folder with "~", or whole.
bool NamesFolder(GtkFileChooser* chooser, const char* name)
{
    std::string path;
    if (name[0] == '/') {
        path = name;
    } else if (name[0] == '~' && (name[1] == '/' || name[1] == 0)) {
        path = std::string(g_get_home_dir()) + (name + 1);
    } else {
        gchar* shown = gtk_file_chooser_get_current_folder(chooser);
        if (!shown)
            return false;
        path = std::string(shown) + "/" + name;
        g_free(shown);
    }
    return g_file_test(path.c_str(), G_FILE_TEST_IS_DIR);
}

// A save panel's acceptance: a name without an extension (after its last "/") gets the shown
// filter's first extension, unless it names a folder. It runs before the chooser's own answer to
// the acceptance, so the chooser checks the name as it will be saved and asks before replacing a
// file of that name.
gboolean AddFilterExtension(GSignalInvocationHint*, guint count, const GValue* values, gpointer)
{
    if (count < 2 || !G_VALUE_HOLDS_OBJECT(&values[0]) || !G_VALUE_HOLDS_INT(&values[1]))
        return TRUE;
    auto* dialog = static_cast<GObject*>(g_value_get_object(&values[0]));
    if (!GTK_IS_FILE_CHOOSER(dialog) || !g_object_get_data(dialog, kAddsExtension)
        || g_value_get_int(&values[1]) != GTK_RESPONSE_ACCEPT)
        return TRUE;
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    GtkFileFilter* shown = gtk_file_chooser_get_filter(chooser);
    const char* extension = shown
        ? static_cast<const char*>(g_object_get_data(G_OBJECT(shown), kFirstExtension))
        : nullptr;
    gchar* name = extension ? gtk_file_chooser_get_current_name(chooser) : nullptr;
    if (name && *name && !NamesFolder(chooser, name)) {
        const char* slash = std::strrchr(name, '/');
        const char* file = slash ? slash + 1 : name;
        if (*file && !std::strchr(file, '.')) {
            const std::string extended = std::string(name) + "." + extension;
            gtk_file_chooser_set_current_name(chooser, extended.c_str());
        }
    }
    g_free(name);
    return TRUE; // the hook stays
}

void HookSavePanelAcceptance()
{
    static bool hooked = false;
    if (hooked)
        return;
    hooked = true;
    g_signal_add_emission_hook(
        g_signal_lookup("response", GTK_TYPE_DIALOG), 0, AddFilterExtension, nullptr, nullptr);
}

// The file an open panel's answer stands for. The chooser's location field completes a name
// that is not UTF-8 as the list shows it ("f\xEF\xBF\xBDr.vtproj (invalid encoding)"), and
// answers that, a file that does not exist: the file of that folder shown under that name is
// meant. Any other path stays as it is.
std::string ShownFile(const std::string& path)
{
    if (g_file_test(path.c_str(), G_FILE_TEST_EXISTS))
        return path;
    std::string found = path;
    gchar* shown = g_path_get_basename(path.c_str());
    GFile* file = g_file_new_for_path(path.c_str());
    GFile* folder = g_file_get_parent(file);
    GFileEnumerator* entries = folder
        ? g_file_enumerate_children(folder,
            G_FILE_ATTRIBUTE_STANDARD_NAME "," G_FILE_ATTRIBUTE_STANDARD_DISPLAY_NAME,
            G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS, nullptr, nullptr)
        : nullptr;
    while (GFileInfo* info
        = entries ? g_file_enumerator_next_file(entries, nullptr, nullptr) : nullptr) {
        const char* display = g_file_info_get_display_name(info);
        if (display && std::strcmp(display, shown) == 0) {
            GFile* child = g_file_get_child(folder, g_file_info_get_name(info));
            gchar* real = g_file_get_path(child);
            found = real ? real : path;
            g_free(real);
            g_object_unref(child);
            g_object_unref(info);
            break;
        }
        g_object_unref(info);
    }
    if (entries)
        g_object_unref(entries);
    if (folder)
        g_object_unref(folder);
    g_object_unref(file);
    g_free(shown);
    return found;
}

// The save panel's name field is not completed on its own. GTK completes it with what the names
// of the folder it begins have in common (the addition selected) when the folder has loaded
// while the field has the focus, a race: "f\xEF\xBF\xBDr.vtproj" proposed beside a file shown
// as "f\xEF\xBF\xBDr.vtproj (invalid encoding)" became that name, which is neither file's.
// Completing by Tab and the list of matches offered while typing stay.
void KeepNameUncompleted(GtkWidget* widget)
{
    if (GTK_IS_ENTRY(widget)) {
        if (GtkEntryCompletion* completion = gtk_entry_get_completion(GTK_ENTRY(widget)))
            g_signal_connect(completion, "insert-prefix",
                G_CALLBACK(+[](GtkEntryCompletion*, gchar*, gpointer) -> gboolean {
                    return TRUE; // handled: nothing inserted
                }),
                nullptr);
        return;
    }
    if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(
            GTK_CONTAINER(widget), [](GtkWidget* child, gpointer) { KeepNameUncompleted(child); },
            nullptr);
}

class PanelScope {
public:
    explicit PanelScope(GtkWidget* panel)
        : fPrevious(gCurrentPanel)
    {
        gCurrentPanel = panel;
    }
    ~PanelScope() { gCurrentPanel = fPrevious; }

private:
    GtkWidget* fPrevious;
};

// Destroying a file chooser costs GTK several milliseconds (a large tree of widgets), which the
// work the user chose a file for should not wait for: the chooser is hidden at once and destroyed
// once no modal window or job runs any more.
void DestroyWhenIdle(GtkWidget* dialog)
{
    LUiReturnFocus(GTK_WINDOW(dialog));
    gtk_widget_hide(dialog);
    g_timeout_add(
        100,
        [](gpointer data) -> gboolean {
            if (LModalCounter::Count() > 0)
                return G_SOURCE_CONTINUE;
            gtk_widget_destroy(GTK_WIDGET(data));
            return G_SOURCE_REMOVE;
        },
        dialog);
}

// A chooser takes its size from the text (and from the size it had last): at a large text or on
// a low monitor that is larger than the work area, and a window manager that does not fit it
// (xfwm4) puts its bottom, with its buttons, past the screen. The panel is never larger than the
// work area of its parent's monitor holds with a frame around it as large as the parent's.
void KeepInsideWorkArea(GtkWindow* panel, LNativeWindow* parent)
{
    const bool framed = parent && !parent->IsClosed() && parent->IsVisible();
    LUiScreen screen;
    if (!((framed && parent->Screen(screen)) || LUiMainScreen(screen)))
        return;
    const LUiEdges edges = framed ? parent->DecorationEdges() : LUiEdges {};
    GdkGeometry hints {};
    hints.max_width = std::max(1, int(screen.visibleFrame.width - edges.left - edges.right));
    hints.max_height = std::max(1, int(screen.visibleFrame.height - edges.top - edges.bottom));
    gtk_window_set_geometry_hints(panel, nullptr, &hints, GDK_HINT_MAX_SIZE);
}

} // namespace

bool LUiRunFilePanel(const LUiFilePanelRequest& request, LUiFilePanelResult& result)
{
    result = LUiFilePanelResult();
    if (!LUiIsAvailable())
        return false;
    GtkFileChooserAction action = GTK_FILE_CHOOSER_ACTION_OPEN;
    const char* accept = "_Öppna";
    if (request.kind == LUiFilePanelRequest::kFolder) {
        action = GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER;
        accept = "_Välj";
    } else if (request.kind == LUiFilePanelRequest::kSave) {
        action = GTK_FILE_CHOOSER_ACTION_SAVE;
        accept = "_Spara";
    }
    std::string acceptLabel = request.acceptLabel.empty() ? accept : request.acceptLabel;
    GtkWindow* parent = request.parent ? request.parent->Gtk() : nullptr;
    GtkWidget* dialog
        = gtk_file_chooser_dialog_new(request.title.c_str(), parent, action, nullptr, nullptr);
    LUiDialogAddButton(GTK_DIALOG(dialog), "_Avbryt", GTK_RESPONSE_CANCEL);
    LUiDialogAddButton(GTK_DIALOG(dialog), acceptLabel.c_str(), GTK_RESPONSE_ACCEPT);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    if (request.kind == LUiFilePanelRequest::kOpenMultiple)
        gtk_file_chooser_set_select_multiple(chooser, TRUE);
    if (request.kind == LUiFilePanelRequest::kFolder || request.kind == LUiFilePanelRequest::kSave)
        gtk_file_chooser_set_create_folders(chooser, request.createFolders);
    if (request.kind == LUiFilePanelRequest::kSave)
        gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
    if (!request.startFolder.empty()
        && g_file_test(request.startFolder.c_str(), G_FILE_TEST_IS_DIR))
        gtk_file_chooser_set_current_folder(chooser, request.startFolder.c_str());
    std::vector<GtkFileFilter*> filters;
    for (const LUiFileFilter& f : request.filters) {
        GtkFileFilter* filter = MakeFilter(f);
        filters.push_back(filter);
        gtk_file_chooser_add_filter(chooser, filter); // the chooser holds it
    }
    if (!filters.empty()) {
        int index = std::clamp(request.selectedFilter, 0, int(filters.size()) - 1);
        gtk_file_chooser_set_filter(chooser, filters[size_t(index)]);
    }
    if (request.kind == LUiFilePanelRequest::kSave) {
        gtk_file_chooser_set_current_name(chooser, request.proposedName.c_str());
        KeepNameUncompleted(dialog);
        g_object_set_data(G_OBJECT(dialog), kAddsExtension, GINT_TO_POINTER(1));
        HookSavePanelAcceptance();
    }

    KeepInsideWorkArea(GTK_WINDOW(dialog), request.parent);

    int response;
    {
        PanelScope scope(dialog);
        response = LModalCounter::RunDialog(GTK_DIALOG(dialog));
    }
    if (!filters.empty()) {
        GtkFileFilter* shown = gtk_file_chooser_get_filter(chooser);
        auto it = std::find(filters.begin(), filters.end(), shown);
        result.selectedFilter = it == filters.end() ? 0 : int(it - filters.begin());
    }
    if (response == GTK_RESPONSE_ACCEPT) {
        GSList* files = gtk_file_chooser_get_filenames(chooser);
        // A save panel's name is taken as typed: another file of the name shown is never
        // replaced without the chooser's question.
        const bool save = request.kind == LUiFilePanelRequest::kSave;
        for (GSList* l = files; l; l = l->next) {
            const std::string path = static_cast<const char*>(l->data);
            result.paths.push_back(save ? path : ShownFile(path));
            g_free(l->data);
        }
        g_slist_free(files);
        result.accepted = !result.paths.empty();
    }
    DestroyWhenIdle(dialog);
    return result.accepted;
}

bool LUiRunColorPanel(
    LNativeWindow* parent, const char* title, double rgb[3], const std::vector<uint32_t>& recentRGB)
{
    if (!LUiIsAvailable())
        return false;
    GtkWidget* dialog
        = gtk_color_chooser_dialog_new(title ? title : "", parent ? parent->Gtk() : nullptr);
    GtkColorChooser* chooser = GTK_COLOR_CHOOSER(dialog);
    gtk_color_chooser_set_use_alpha(chooser, FALSE);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    if (!recentRGB.empty() && recentRGB.size() <= 16) {
        std::vector<GdkRGBA> colours;
        for (uint32_t c : recentRGB)
            colours.push_back(GdkRGBA {
                ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0, 1.0 });
        gtk_color_chooser_add_palette(chooser, GTK_ORIENTATION_HORIZONTAL, int(colours.size()),
            int(colours.size()), colours.data());
    }
    GdkRGBA start { rgb[0], rgb[1], rgb[2], 1.0 };
    gtk_color_chooser_set_rgba(chooser, &start);
    int response;
    {
        PanelScope scope(dialog);
        response = LModalCounter::RunDialog(GTK_DIALOG(dialog));
    }
    bool chosen = response == GTK_RESPONSE_OK;
    if (chosen) {
        GdkRGBA c;
        gtk_color_chooser_get_rgba(chooser, &c);
        rgb[0] = c.red;
        rgb[1] = c.green;
        rgb[2] = c.blue;
    }
    LUiReturnFocus(GTK_WINDOW(dialog));
    gtk_widget_destroy(dialog);
    return chosen;
}

void* LUiCurrentPanel()
{
    return gCurrentPanel;
}
