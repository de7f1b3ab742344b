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
// The widest line of a message, in characters; fewer where the screen is narrower.
constexpr int kLineChars = 60;
constexpr int kFewestLineChars = 12;
// Room left between the alert and the edges of the work area, in points: the window manager's
// frame (its title bar above) stands there.
constexpr int kSideMargin = 16;
constexpr int kTopAndBottomMargin = 48;

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

// The work area of the monitor the alert shows on: its parent's, else the primary one.
LUiRect WorkArea(LNativeWindow* parent)
{
    LUiScreen screen;
    if ((parent && !parent->IsClosed() && parent->Screen(screen)) || LUiMainScreen(screen))
        return screen.visibleFrame;
    return LUiRect { 0, 0, 800, 600 };
}

// The message in a scrolled label at most maxHeight points high; answers its scrolled window.
GtkWidget* AddLongMessage(GtkWidget* dialog, const std::string& message, int maxHeight)
{
    GtkWidget* area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog));
    GtkWidget* label = gtk_label_new(message.c_str());
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    gtk_label_set_yalign(GTK_LABEL(label), 0);
    GtkWidget* scroll = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(
        GTK_SCROLLED_WINDOW(scroll), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_max_content_height(GTK_SCROLLED_WINDOW(scroll), maxHeight);
    gtk_scrolled_window_set_propagate_natural_height(GTK_SCROLLED_WINDOW(scroll), TRUE);
    gtk_container_add(GTK_CONTAINER(scroll), label);
    gtk_box_pack_start(GTK_BOX(area), scroll, TRUE, TRUE, 0);
    gtk_widget_show_all(scroll);
    return scroll;
}

// The labels of the alert's text, the headline first (a check box's label is not one of them).
std::vector<GtkLabel*> TextLabels(GtkWidget* dialog)
{
    std::vector<GtkLabel*> labels;
    std::vector<GtkWidget*> pending { gtk_message_dialog_get_message_area(
        GTK_MESSAGE_DIALOG(dialog)) };
    while (!pending.empty()) {
        GtkWidget* w = pending.front();
        pending.erase(pending.begin());
        if (GTK_IS_LABEL(w)) {
            labels.push_back(GTK_LABEL(w));
        } else if (GTK_IS_CONTAINER(w) && !GTK_IS_BUTTON(w)) {
            GList* children = gtk_container_get_children(GTK_CONTAINER(w));
            for (GList* l = children; l; l = l->next)
                pending.push_back(GTK_WIDGET(l->data));
            g_list_free(children);
        }
    }
    return labels;
}

// Lines of at most chars characters; long words (addresses, paths) break anywhere instead of
// widening the alert, without a hyphen that is no part of them. The message may name an address
// or a file to be opened by hand: it can be selected and copied (the dialog still gives its
// buttons the keyboard first).
void SetLines(GtkWidget* dialog, int chars)
{
    std::vector<GtkLabel*> labels = TextLabels(dialog);
    for (size_t i = 0; i < labels.size(); ++i) {
        gtk_label_set_line_wrap(labels[i], TRUE);
        gtk_label_set_line_wrap_mode(labels[i], PANGO_WRAP_WORD_CHAR);
        gtk_label_set_max_width_chars(labels[i], chars);
        if (!gtk_label_get_attributes(labels[i])) {
            PangoAttrList* attributes = pango_attr_list_new();
            pango_attr_list_insert(attributes, pango_attr_insert_hyphens_new(FALSE));
            gtk_label_set_attributes(labels[i], attributes);
            pango_attr_list_unref(attributes);
        }
        if (i > 0)
            gtk_label_set_selectable(labels[i], TRUE);
    }
}

// The alert's lines are made shorter until it is no wider than the work area (less the
// margins); a message that then still makes it higher than the work area scrolls, in a box
// that leaves the rest of the alert on the screen.
void FitToWorkArea(
    GtkWidget* dialog, const LUiRect& work, const std::string& message, GtkWidget* scroll)
{
    const int maxWidth = std::max(1, int(work.width) - 2 * kSideMargin);
    const int maxHeight = std::max(1, int(work.height) - 2 * kTopAndBottomMargin);
    int chars = kLineChars, minimum = 0, natural = 0;
    for (;;) {
        SetLines(dialog, chars);
        gtk_widget_get_preferred_width(dialog, &minimum, &natural);
        if (natural <= maxWidth || chars == kFewestLineChars)
            break;
        chars = std::max(kFewestLineChars, chars - 4);
    }
    const int width = std::max(minimum, std::min(natural, maxWidth));
    int least = 0, height = 0;
    gtk_widget_get_preferred_height_for_width(dialog, width, &least, &height);
    if (height <= maxHeight)
        return;
    if (!scroll) {
        gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), nullptr);
        scroll = AddLongMessage(dialog, message, maxHeight);
        SetLines(dialog, chars);
        gtk_widget_get_preferred_height_for_width(dialog, width, &least, &height);
    }
    // The scrolled box gives up what the alert is too high by.
    const int box = gtk_scrolled_window_get_max_content_height(GTK_SCROLLED_WINDOW(scroll));
    if (height > maxHeight)
        gtk_scrolled_window_set_max_content_height(
            GTK_SCROLLED_WINDOW(scroll), std::max(48, box - (height - maxHeight)));
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
                    g_object_get(widget, "text", &headline, nullptr);
                    std::string said = std::string(headline ? headline : "") + "\n"
                        + LUiAlertMessage(widget) + "\n";
                    g_free(headline);
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
    // An alert belongs to a window of the program, which the window manager keeps it above (and
    // not above other programs): the one it was asked over, else the window the user works in.
    LNativeWindow* owner = alert.parent && !alert.parent->IsClosed() ? alert.parent : nullptr;
    for (LNativeWindow* w :
        { LModalLoop::ModalWindow(), LNativeWindow::KeyWindow(), LNativeWindow::MainWindow() })
        if (!owner && w && !w->IsClosed() && w->IsVisible())
            owner = w;
    GtkWindow* parent = owner ? owner->Gtk() : nullptr;
    GtkWidget* dialog = gtk_message_dialog_new(parent,
        GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT), TypeOf(alert.style),
        GTK_BUTTONS_NONE, "%s", alert.headline.c_str());
    g_object_ref_sink(dialog);
    const LUiRect work = WorkArea(owner);
    GtkWidget* scroll = nullptr;
    if (alert.message.size() > kLongMessage)
        scroll = AddLongMessage(dialog, alert.message, std::max(100, int(work.height * 0.5)));
    else if (!alert.message.empty())
        gtk_message_dialog_format_secondary_text(
            GTK_MESSAGE_DIALOG(dialog), "%s", alert.message.c_str());
    // Added from the last to the first: the first stands rightmost, as the default.
    for (size_t i = alert.buttons.size(); i-- > 0;)
        LUiDialogAddButton(GTK_DIALOG(dialog), alert.buttons[i].c_str(), int(i));
    if (!alert.buttons.empty())
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), 0);
    // The focus set before the dialog shows stays where it is put (the default has it else).
    if (alert.focused > 0 && alert.focused < alert.buttons.size())
        if (GtkWidget* keep
            = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), int(alert.focused)))
            gtk_window_set_focus(GTK_WINDOW(dialog), keep);
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
    FitToWorkArea(dialog, work, alert.message, scroll);
    gtk_window_set_position(
        GTK_WINDOW(dialog), parent ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);

    // On top of every window of the program, also of a progress dialog that is still up (and
    // where no window manager keeps it above), with the keyboard.
    g_signal_connect_after(dialog, "map-event", G_CALLBACK(+[](GtkWidget* w, GdkEvent*, gpointer) {
        if (GdkWindow* window = gtk_widget_get_window(w))
            gdk_window_raise(window);
        LUiFocusMappedWindow(GTK_WINDOW(w));
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

std::string LUiCurrentAlertHeadline()
{
    if (Running().empty())
        return "";
    gchar* text = nullptr;
    g_object_get(Running().back(), "text", &text, nullptr);
    std::string headline = text ? text : "";
    g_free(text);
    return headline;
}

void* LUiAlertMessageLabel(void* alert)
{
    if (!alert || !GTK_IS_MESSAGE_DIALOG(alert))
        return nullptr;
    // The headline's label comes first; the message is in the first shown label after it (the
    // dialog's own secondary label is hidden when the message went into a scrolled box).
    std::vector<GtkLabel*> labels = TextLabels(GTK_WIDGET(alert));
    for (size_t i = 1; i < labels.size(); ++i)
        if (gtk_widget_get_visible(GTK_WIDGET(labels[i])) && *gtk_label_get_text(labels[i]))
            return labels[i];
    return nullptr;
}

std::string LUiAlertMessage(void* alert)
{
    auto* label = static_cast<GtkLabel*>(LUiAlertMessageLabel(alert));
    return label ? gtk_label_get_text(label) : "";
}
