// Showing files in the desktop's file manager (org.freedesktop.FileManager1 on the session bus).
#pragma once

#include <string>
#include <vector>

// Asks the file manager to show the items (local paths) selected in their folders; false when no
// file manager answered within two seconds.
bool LUiShowItemsInFileManager(const std::vector<std::string>& paths);
