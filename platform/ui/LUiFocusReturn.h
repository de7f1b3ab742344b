// Where the keyboard goes when a window of the application closes.
//
// A window manager gives the keyboard to another window when the one that had it goes, but it
// may find none to give it to: an alert over a progress window closes, and the progress window
// closes a moment later. A window manager that handles the alert's going before it has seen the
// progress window go still counts the progress window as the modal window of the one below;
// then no window is a target, the keyboard stays on the window manager's own window, and once
// the progress window has gone nothing looks again. So a window of the application that closes
// with the keyboard hands it itself to the window it belongs to, after the windows closing with
// it are gone too. Main thread only.
#pragma once

#include <gtk/gtk.h>

// The window the window belongs to (its parent window, or the window it was opened from). Kept
// while both live, also after the window stops being transient for it, as a dialog does right
// before it closes. Null forgets it.
void LUiSetFocusOwner(GtkWindow* window, GtkWindow* owner);

// Called by whoever closes or hides a top-level window, before it does. When the window has the
// keyboard, or the keyboard was handed to it and has not arrived yet, the window it belongs to
// (its owner, else the window it is transient for) is given the keyboard once the events now
// waiting have been handled: unless a window of the application has it by then, or another
// window was shown since (the keyboard goes to that one).
void LUiReturnFocus(GtkWindow* closing);

// Gives a window that has just been mapped the keyboard where no window manager hands it to
// new windows (a display without one); where one does, the window manager decides.
void LUiFocusMappedWindow(GtkWindow* window);
