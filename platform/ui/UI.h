// The window layer over GTK 3 and GLib. What it offers:
//
// - LRunLoop.h: the main thread's run loop (GLib only): post (always queued), send-and-wait from a
//   worker, run once, run until a condition or time-out with descriptors watched, timers.
// - LModalLoop.h: modal loops (a nested main loop per level, stopped with a code) and the
//   application's modal counter, which also counts GTK's own modal dialogs.
// - LUiSystem.h: start-up (LUiInit), screens (monitors, visible frames, backing scale), the
//   system font and text measuring.
// - LView.h: the view object (tree, tag, frame in points, hidden, enabled, associated data,
//   virtual draw, mouse, key, focus and drop handlers) that owns one GtkWidget.
// - LNativeWindow.h: a GtkWindow with menu-bar slot, toolbar slot and content view; delegate for
//   close, key, resize, miniaturise, zoom, scale and Escape; level, modality, child windows.
// - LLayout.h: the absolute-layout container that places each child exactly at its frame.
// - LEventHub.h: the one GDK event handler, with local event monitors (mouse capture).
// - LUiImage.h: image files of the user interface into Cairo surfaces, and GDK cursors.
// - LAssociations.h, LUiTypes.h: associated data by key; reference counting, geometry, events.
//
// Coordinates are points (GTK's application pixels), y down. A window's backing scale is GTK's
// scale factor (GDK_SCALE). Everything here runs on the main thread unless a header says
// otherwise.
#pragma once

#include "platform/ui/LAssociations.h"
#include "platform/ui/LEventHub.h"
#include "platform/ui/LLayout.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LUiImage.h"
#include "platform/ui/LUiSystem.h"
#include "platform/ui/LUiTypes.h"
#include "platform/ui/LView.h"
