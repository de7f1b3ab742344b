// The visual every window of the program is made with on X11.
#pragma once

// Makes every top-level window (the program's own, GTK's dialogs, file and print panels,
// menus, lists and tips) on the screen's own visual and colormap, the ones of the root window
// and of a window manager's frames, wherever GDK's choice differs. Called once after the display
// opened, before any window is made.
void LUiKeepWindowsOnScreenVisual();
