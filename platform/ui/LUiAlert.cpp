#include "platform/ui/LUiAlert.h"

#include "platform/ui/LModalLoop.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiDialogButton.h"
#include "platform/ui/LUiFocusReturn.h"
#include "platform/ui/LUiSystem.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <gtk/gtk.h>
#include <string>

namespace {

// Texts longer than this are shown in a scrolled label, so the alert stays on the screen.
constexpr size_t kLongMessage = 2000;

std::vector<GtkWidget*>& Running()
{
    static std::vector<GtkWidget*> running;
    return running;
}

GtkMessageType TypeOf(int style)
{
    switch (style) {
    case 0:
        return GTK_MESSAGE_WARNING;
    case 2:
        return GTK_MESSAGE_ERROR;
    default:
        return GTK_MESSAGE_INFO;
    }
}

void AddLongMessage(GtkWidget* dialog, const std::string& message)
{
    GtkWidget* area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog));
    GtkWidget* label = gtk_label_new(message.c_str());
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD_CHAR);
    gtk_label_set_max_width_chars(GTK_LABEL(label), 60);
    gtk_label_set_selectable(GTK_LABEL(label), TRUE);
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    gtk_label_set_yalign(GTK_LABEL(label), 0);
    GtkWidget* scroll = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(
        GTK_SCROLLED_WINDOW(scroll), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    LUiScreen screen;
    double height = LUiMainScreen(screen) ? screen.visibleFrame.height : 600;
    gtk_scrolled_window_set_max_content_height(
        GTK_SCROLLED_WINDOW(scroll), std::max(100, int(height * 0.5)));
    gtk_scrolled_window_set_propagate_natural_height(GTK_SCROLLED_WINDOW(scroll), TRUE);
    gtk_container_add(GTK_CONTAINER(scroll), label);
    gtk_box_pack_start(GTK_BOX(area), scroll, TRUE, TRUE, 0);
    gtk_widget_show_all(scroll);
}

// Tests of the whole program name a file in VT_TEST_RECTANGLES_FILE; an alert that shows writes
// "<file>.alert": one line "button <label with '_' for spaces> x y width height" per button, in
// screen pixels, so that a test clicks where the buttons are; and "<file>.alert-text" (written
// first): the headline and the message.
void WriteTestButtonRectangles(GtkWidget* dialog)
{
    const char* file = std::getenv("VT_TEST_RECTANGLES_FILE");
    if (!file || !*file)
        return;
    g_signal_connect_after(dialog, "map-event", G_CALLBACK(+[](GtkWidget* w, GdkEvent*, gpointer) {
        g_timeout_add(
            150,
            +[](gpointer data) -> gboolean {
                auto* widget = static_cast<GtkWidget*>(data);
                const char* file = std::getenv("VT_TEST_RECTANGLES_FILE");
                GdkWindow* window = gtk_widget_get_window(widget);
                if (file && window && gtk_widget_get_mapped(widget)) {
                    int ox = 0, oy = 0;
                    gdk_window_get_origin(window, &ox, &oy);
                    int scale = gtk_widget_get_scale_factor(widget);
                    std::string text;
                    for (int response = 0; response < 8; ++response) {
                        GtkWidget* button
                            = gtk_dialog_get_widget_for_response(GTK_DIALOG(widget), response);
                        if (!button || !GTK_IS_BUTTON(button))
                            continue;
                        int x = 0, y = 0;
                        gtk_widget_translate_coordinates(button, widget, 0, 0, &x, &y);
                        GtkAllocation a;
                        gtk_widget_get_allocation(button, &a);
                        std::string label = gtk_button_get_label(GTK_BUTTON(button));
                        std::replace(label.begin(), label.end(), ' ', '_');
                        text += "button " + label + " " + std::to_string((ox + x) * scale) + " "
                            + std::to_string((oy + y) * scale) + " "
                            + std::to_string(a.width * scale) + " "
                            + std::to_string(a.height * scale) + "\n";
                    }
                    // The alert's headline and message, for the test to read what it says.
                    gchar* headline = nullptr;
                    gchar* message = nullptr;
                    g_object_get(widget, "text", &headline, "secondary-text", &message, nullptr);
                    std::string said = std::string(headline ? headline : "") + "\n"
                        + (message ? message : "") + "\n";
                    g_free(headline);
                    g_free(message);
                    std::string textPath = std::string(file) + ".alert-text";
                    if (FILE* f = std::fopen(textPath.c_str(), "w")) {
                        std::fwrite(said.data(), 1, said.size(), f);
                        std::fclose(f);
                    }
                    std::string path = std::string(file) + ".alert";
                    std::string temporary = path + ".tmp";
                    if (FILE* f = std::fopen(temporary.c_str(), "w")) {
                        std::fwrite(text.data(), 1, text.size(), f);
                        std::fclose(f);
                        std::rename(temporary.c_str(), path.c_str());
                    }
                }
                g_object_unref(widget);
                return G_SOURCE_REMOVE;
            },
            g_object_ref(w));
        return FALSE;
    }),
        nullptr);
}

} // namespace

int LUiRunAlert(LUiAlert& alert)
{
    GtkWindow* parent = alert.parent && !alert.parent->IsClosed() ? alert.parent->Gtk() : nullptr;
    GtkWidget* dialog = gtk_message_dialog_new(parent,
        GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT), TypeOf(alert.style),
        GTK_BUTTONS_NONE, "%s", alert.headline.c_str());
    g_object_ref_sink(dialog);
    if (alert.message.size() > kLongMessage)
        AddLongMessage(dialog, alert.message);
    else if (!alert.message.empty())
        gtk_message_dialog_format_secondary_text(
            GTK_MESSAGE_DIALOG(dialog), "%s", alert.message.c_str());
    // Added from the last to the first: the first stands rightmost, as the default.
    for (size_t i = alert.buttons.size(); i-- > 0;)
        LUiDialogAddButton(GTK_DIALOG(dialog), alert.buttons[i].c_str(), int(i));
    if (!alert.buttons.empty())
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), 0);
    GtkWidget* check = nullptr;
    if (alert.showCheckBox) {
        GtkWidget* area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog));
        check = gtk_check_button_new_with_label(alert.checkBoxLabel.c_str());
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(check), alert.checked);
        // Followed as it changes: the box may be gone with its dialog when the run ends.
        g_signal_connect(check, "toggled", G_CALLBACK(+[](GtkToggleButton* b, gpointer state) {
            *static_cast<bool*>(state) = gtk_toggle_button_get_active(b);
        }),
            &alert.checked);
        gtk_box_pack_start(GTK_BOX(area), check, FALSE, FALSE, 0);
        gtk_widget_show(check);
    }
    gtk_window_set_position(
        GTK_WINDOW(dialog), parent ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);

    // On top of every window of the program, also of a progress dialog that is still up (and
    // where no window manager keeps it above).
    g_signal_connect_after(dialog, "map-event", G_CALLBACK(+[](GtkWidget* w, GdkEvent*, gpointer) {
        if (GdkWindow* window = gtk_widget_get_window(w))
            gdk_window_raise(window);
        return FALSE;
    }),
        nullptr);
    WriteTestButtonRectangles(dialog);
    Running().push_back(dialog);
    int response = LModalCounter::RunDialog(GTK_DIALOG(dialog));
    Running().erase(std::find(Running().begin(), Running().end(), dialog));
    LUiReturnFocus(GTK_WINDOW(dialog));
    gtk_widget_destroy(dialog);
    g_object_unref(dialog);
    return response >= 0 && size_t(response) < alert.buttons.size() ? response : -1;
}

void* LUiCurrentAlertWidget()
{
    return Running().empty() ? nullptr : Running().back();
}
