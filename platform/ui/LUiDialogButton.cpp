#include "platform/ui/LUiDialogButton.h"

#include <gtk/gtk.h>

namespace {

struct LUiDialogButtonWidget {
    GtkButton parent;
};

struct LUiDialogButtonWidgetClass {
    GtkButtonClass parentClass;
};

GType DialogButtonType()
{
    static GType type = 0;
    if (!type) {
        GTypeInfo info {};
        info.class_size = sizeof(LUiDialogButtonWidgetClass);
        info.class_init = [](gpointer klass, gpointer) {
            // The keyboard's activation is a click, without the held-down look in between.
            GTK_BUTTON_CLASS(klass)->activate
                = [](GtkButton* button) { gtk_button_clicked(button); };
        };
        info.instance_size = sizeof(LUiDialogButtonWidget);
        type = g_type_register_static(
            GTK_TYPE_BUTTON, "LUiDialogButtonWidget", &info, GTypeFlags(0));
    }
    return type;
}

} // namespace

GtkWidget* LUiDialogAddButton(GtkDialog* dialog, const char* label, int response)
{
    GtkWidget* button = GTK_WIDGET(
        g_object_new(DialogButtonType(), "label", label, "use-underline", TRUE, nullptr));
    gtk_style_context_add_class(gtk_widget_get_style_context(button), "text-button");
    gtk_widget_set_can_default(button, TRUE);
    gtk_widget_show(button);
    gtk_dialog_add_action_widget(dialog, button, response);
    return button;
}
