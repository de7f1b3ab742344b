// What every view can do towards its window, whatever its class: keep the command id each of its
// event kinds sends, send and post commands to a window, bubble control notifications up to a
// registered window, give up an edit's focus, and handle the standard editing keys.
#pragma once

#include "platform/ui/LUiTypes.h"

class LView;
class LCocoaWindow;

namespace LCocoaView {

// Command keys (keyCmd... of LAssociatedData.h): the command the view's event kind sends.
void setCommandId(LView* view, int command, const void* key);
int getCommandId(LView* view, const void* key); // -1 when none

// Synchronous delivery through the command path of the controls: a command of 0 or more reaches
// the window's Command, then a visible window re-runs EnableControls; a negative command (none
// registered) only re-runs EnableControls. NO (false) when the window is null or not alive, or
// for a negative command.
bool sendCommandWithExtraDetail(LView* view, int command, int extraDetail, LCocoaWindow* window);
bool sendCommand(LView* view, int command, LCocoaWindow* window);
bool sendCommandWithKey(LView* view, const void* key, LCocoaWindow* window);
// Queued delivery when the window is alive and the command not negative; true when queued.
bool postCommandToWindow(LView* view, int command, LCocoaWindow* window);

// The window's synchronous path: when alive, Command(command, extra) whatever the sign, then
// EnableControls when still alive and visible.
void sendCommandExtraDetail(LView* view, int command, int extraDetail, LCocoaWindow* window);
// The queued path: carries the content view (never the window) to the main thread, where the
// window is looked up again; a window gone or closing meanwhile gets nothing. Any thread.
void postCommandExtraDetail(LView* view, int command, int extraDetail, LCocoaWindow* window);

// The main thread's end of the queued path: the window of the content view (held by the
// caller) gets the command when it is still alive.
void deliverPostedCommand(LView* contentView, int command, int extraDetail);
// Whether the window is still the one of the content view it had before a handler ran (a
// window that closed or deleted itself in its handler is not, and is touched no more).
bool isStillWindowOf(LView* contentView, const LCocoaWindow* window);

// Control notifications that climb the view tree to the content view of the first window
// registered for inter-window messages (queued there as command = control id, extra = code).
// Control id 0 is dropped; so is a notification that reaches a view marked as window view, or
// the top of the tree, first.
void postCommandFromSender(LView* view, LView* sender);
// The same, for senders that used to delay their notification: it is posted at once.
void postCommandDelayedFromSender(LView* view, LView* sender);
void postCommandWID(LView* view, LView* sender, int controlId, int notifyCode);
void postCommandDelayedWID(LView* view, LView* sender, int controlId, int notifyCode);
void postCommandInternal(LView* view, LView* sender, int controlId, int notifyCode, bool delayed);
bool isWindowView(LView* view);
void setIsWindowView(LView* view, bool isWindowView);
// Whether the view stands as a routing point for command forwarding (view classes decide).
bool canRouteCommands(LView* view);

// On a mouse-down: a text field or text view being edited gives up the focus (its edit commits),
// at most once per pass of the run loop.
void loseEditControlFocus(LView* view);
// The standard editing keys of text-like views: Ctrl+X, C, V, A through the focused widget,
// Ctrl+Z and Ctrl+Shift+Z to the view's undo and redo; other keys with Ctrl or Alt, and
// Escape, are left to the menus (false); every other key goes to the focused widget at once,
// before the menus (true when it took it).
bool performKeyEquivalentCommon(LView* view, const LUiEvent& event);
// Stores the pointer shape to show over the view ("default" when yes; none when no).
void setDefaultCursor(LView* view, bool yes);

} // namespace LCocoaView
