// The push buttons of the GTK dialogs the layer runs (file choosers, alerts). Pressed from the
// keyboard (Return on the default button, Space, its mnemonic) such a button clicks at once; a
// plain GTK button first shows itself held down for a quarter of a second, and a file chooser
// activates its default button twice on the way to its answer. Main thread only.
#pragma once

typedef struct _GtkDialog GtkDialog;
typedef struct _GtkWidget GtkWidget;

// Adds a button with a mnemonic label ("_Spara") to the dialog's action area as the action widget
// of response, shown and able to be the default; the dialog owns it.
GtkWidget* LUiDialogAddButton(GtkDialog* dialog, const char* label, int response);
